#include "app/MainForm.h"

TfmMain* fmMain = nullptr;

TfmMain::TfmMain(TComponent* owner) : TForm(owner) {
  SetName("fmMain");
  SetCaption("Kestrune");
}
