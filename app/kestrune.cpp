// The program entry: starts the units, makes the application object and the
// main window, runs the message loop, and stops everything in reverse order
// when the loop ends (the main window was closed).
#include <cstdio>
#include <exception>

#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/ProgramUnits.h"
#include "app/ProgramVersion.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Units.h"
#include "platform/forms/Forms.h"
#include "platform/win/Libraries.h"

int main() {
  int status = 0;
  try {
    kestrune::InstallExecutableVersionInfo(&ProgramVersionInfo());
    StartProgramUnits();
    Application->CreateForm(fmMain);
    Application->CreateForm(fmAbout);  // made, never shown
    Application->Run();
    // The window and its components go while every unit still runs: the
    // graph's pins need the pin framework, the meter its notification window,
    // the about box's controls the support units (its scrolling text's
    // thread ends here).
    FreeAndNil(fmAbout);
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
  fmAbout = nullptr;
  return status;
}
