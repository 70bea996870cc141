// The program's units, started in their fixed order.
//
// StartProgramUnits starts the units that need no windowing layer, then the
// application object (Application->Initialize), then the units that make
// pictures, cursors or the notification window. FinalizeUnits stops them all
// in reverse order; the main window must be freed before that, while the pin
// framework and the notification window still exist.
//
// Threads: main thread, at program start-up.
#pragma once

void StartProgramUnits();
