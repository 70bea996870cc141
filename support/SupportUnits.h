// The support units, each with its version record in the unit version
// registry: it registers the record at its start-up and unregisters its
// module's records at its shutdown.
//
// The program starts them in this order (app/ProgramUnits.cpp): the
// registry first, so that it registers first and unregisters last; the
// other Qt-free units (system helpers, system facts, character tables and
// string constants, the type-information and property-engine lists, the
// Qarn defaults) with the units that need no windowing layer; after
// Application->Initialize the units that make cursors or register
// controls (drawing helpers with their cursor slots, the extended control
// bases, the static text, the scrolling text, the about box's controls).
//
// Threads: main thread, at program start-up and shutdown.
#pragma once

#include "platform/classes/Units.h"

extern TUnit KiUnitVersioningUnit;
extern TUnit KiSysUtilsUnit;
extern TUnit KiSysInfoUnit;
extern TUnit KiStringsUnit;
extern TUnit KiTypeInfoUnit;
extern TUnit QarnGlobalsUnit;

extern TUnit KiGraphUtilsUnit;
extern TUnit KiExControlsUnit;
extern TUnit KiStaticTextUnit;
extern TUnit KiScrollTextUnit;
extern TUnit AboutControlsUnit;
