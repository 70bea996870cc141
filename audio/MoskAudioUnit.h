// The audio module's start-up: registers the published properties of the
// module's classes. The program starts it after the class library's unit;
// tests that read or write stored descriptions of audio classes start it
// themselves. Starting it again re-registers the same properties. Its
// shutdown joins the wave threads that capture components destroyed under
// the global write lock left to end later.
#pragma once

#include "platform/classes/Units.h"

extern TUnit MoskAudioUnit;
