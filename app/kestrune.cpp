// The program entry: starts the units, makes the application object and the
// main window, runs the message loop, and stops everything in reverse order
// when the loop ends (the main window was closed).
#include <cstdio>
#include <exception>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "app/MainForm.h"
#include "audio/MoskAudioUnit.h"
#include "controls/ControlsUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Units.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/GraphicsObjects.h"
#include "scope/TrelScopeUnit.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelStreamTypes.h"

int main() {
  int status = 0;
  try {
    InitializeUnits({&ClassesUnit, &GraphicsUnit, &FormsUnit, &VekPinsUnit, &VekStdTypesUnit,
                     &TrelStreamTypesUnit, &MoskStreamTypesUnit, &TrelSimpleDataBufferUnit,
                     &MoskAudioUnit});
    Application->Initialize();
    // These units make pictures, cursors and the notification window, which
    // need the application's windowing layer.
    InitializeUnits({&TrelMainThreadNotifyUnit, &TrelScopeUnit, &ControlsUnit, &MainFormUnit});
    Application->CreateForm(fmMain);
    Application->Run();
    // The window and its components go while every unit still runs: the
    // graph's pins need the pin framework, the meter its notification window.
    FreeAndNil(fmMain);
  } catch (...) {
    // Start-up itself failed (an exception during the loop went to the
    // central handler instead): nothing runs, so say why and fail.
    std::fprintf(stderr, "kestrune: %s\n",
                 kestrune::ExceptionText(std::current_exception()).c_str());
    status = 1;
  }
  FinalizeUnits();
  fmMain = nullptr;  // freed with the application's forms when start-up failed
  return status;
}
