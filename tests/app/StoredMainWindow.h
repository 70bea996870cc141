// The main window as its stored description leaves it, for the tests that
// look at what the description holds.
#pragma once

#include "app/MainForm.h"
#include "app/MainFormDescription.h"
#include "platform/classes/Streaming.h"

namespace apptest {

// The description is read, its components are loaded, and the creation
// handler (the start-up, which changes the scope's scales and the buttons'
// colours) does not run.
class TStoredMainWindow : public TfmMain {
  KESTRUNE_CLASS(TStoredMainWindow, TfmMain)
  explicit TStoredMainWindow(TComponent* owner) : TfmMain(owner) {}

 protected:
  void DoCreate() override { ReadComponentFromText(this, MainFormDescription()); }
};

}  // namespace apptest
