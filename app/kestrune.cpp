// The program entry: starts the units, makes the application object and the
// main window, runs the message loop, and stops everything in reverse order
// when the loop ends (the main window was closed).
//
// The program shows a window, so it needs a graphical desktop. Without one
// (no display variable, or a display that cannot be opened) it says so in
// one line and ends with status 1, instead of the toolkit's own abort.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/ProgramUnits.h"
#include "app/ProgramVersion.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Units.h"
#include "platform/forms/Forms.h"
#include "platform/forms/ToolkitMessages.h"
#include "platform/win/Libraries.h"

namespace {

// The variable's value, or empty when it is not set.
std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Says in one line that the program needs a graphical desktop, and why, and
// ends the program with status 1. Runs before the window exists (nothing to
// save), also from inside the toolkit's failed start, which must not go on.
[[noreturn]] void NoDesktop(const std::string& why) {
  std::fprintf(stderr, "kestrune : il faut un bureau graphique pour afficher la fenêtre : %s\n",
               why.c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

// Why the display named by the environment could not be opened.
std::string DisplayNotOpened() {
  if (const std::string platform = Variable("QT_QPA_PLATFORM"); !platform.empty())
    return "la plateforme graphique QT_QPA_PLATFORM=\"" + platform + "\" ne démarre pas";
  for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"})
    if (const std::string display = Variable(name); !display.empty())
      return std::string("l'affichage ") + name + "=\"" + display + "\" ne peut pas être ouvert";
  return "aucun affichage ne peut être ouvert";
}

// Ends the program when the environment names no display (and no other
// platform for the toolkit).
void RequireDesktop() {
  if (Variable("DISPLAY").empty() && Variable("WAYLAND_DISPLAY").empty() &&
      Variable("QT_QPA_PLATFORM").empty())
    NoDesktop("la variable d'affichage (DISPLAY ou WAYLAND_DISPLAY) n'est pas définie");
}

// Starts the program's units, the windowing layer among them; ends the
// program when it cannot open the display.
void StartUnitsOnTheDesktop() {
  kestrune::RunHoldingToolkitMessages(
      [] {
        kestrune::InstallExecutableVersionInfo(&ProgramVersionInfo());
        StartProgramUnits();
      },
      [] { NoDesktop(DisplayNotOpened()); });
}

}  // namespace

int main() {
  RequireDesktop();
  int status = 0;
  try {
    StartUnitsOnTheDesktop();
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
