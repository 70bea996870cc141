// The styled controls' unit: its start-up starts the graphics unit (the
// colour names of stored descriptions), then the anti-aliased drawing
// layer, binds the theme functions (absent here), registers the Lu
// resources, puts the hand cursor into the screen's cursor table at slot 99
// (when the screen exists), registers the controls' published properties
// and starts the office styler's unit (StyMenuStylers.h, which starts the
// menus unit); its shutdown finalizes that unit, frees the theme library,
// stops the drawing layer and finalizes the graphics unit.
//
// Threads: main thread, at program start-up and shutdown.
#pragma once

#include "platform/classes/Units.h"

extern TUnit ControlsUnit;
