// The program entry: starts the units, makes the application object and the
// main window, runs the message loop, and stops everything in reverse order
// when the loop ends (the main window was closed).
#include <cstdio>
#include <exception>

#include "app/MainForm.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Units.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/GraphicsObjects.h"

int main() {
  int status = 0;
  try {
    InitializeUnits({&ClassesUnit, &GraphicsUnit, &FormsUnit});
    Application->Initialize();
    Application->CreateForm(fmMain);
    Application->Run();
  } catch (...) {
    // Start-up itself failed (an exception during the loop went to the
    // central handler instead): nothing runs, so say why and fail.
    std::fprintf(stderr, "kestrune: %s\n",
                 kestrune::ExceptionText(std::current_exception()).c_str());
    status = 1;
  }
  FinalizeUnits();
  fmMain = nullptr;  // freed with the application's forms
  return status;
}
