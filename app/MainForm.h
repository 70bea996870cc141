// The main window, TfmMain (component name "fmMain", caption "Kestrune").
//
// For now an empty window: the program's components and controls, and the
// start-up and shutdown sequences its handlers run, join it as they are
// built. Made by the program entry through Application->CreateForm, so it is
// the application's MainForm: closing it ends the program.
//
// Threads: main thread.
#pragma once

#include "platform/forms/Forms.h"

class TfmMain : public TForm {
  KESTRUNE_CLASS(TfmMain, TForm)
  explicit TfmMain(TComponent* owner);
};

// The main window while the program runs; null before it is made and after
// it is freed.
extern TfmMain* fmMain;
