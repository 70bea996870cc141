// The pictures the Lu controls load by name, drawn by us and compiled in:
// the track bar's thumb strips "LUTB_HORI" (11 x 19, pointing down) and
// "LUTB_VERT" (19 x 11, pointing left), each one frame whose transparent key
// is fuchsia (their bottom-left pixel), and the hand cursor
// "LUCURSORHANDPOINT" (32 x 32, fuchsia transparent, hot spot 6, 0).
#pragma once

// Registers the three resources (the controls unit's start-up).
void RegisterLuResources();
