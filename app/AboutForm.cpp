#include "app/AboutForm.h"

#include "app/AboutFormDescription.h"
#include "app/Delay.h"
#include "controls/LuGradient.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "platform/rtl/SysUtils.h"
#include "support/controls/ExeInfo.h"
#include "support/controls/KiScrollText.h"
#include "support/controls/RTFLabel.h"

TfmAbout* fmAbout = nullptr;
TfmAbout* fmSplash = nullptr;

namespace {

template <class T>
T* Stored(TComponent* root, const char* name) {
  T* found = dynamic_cast<T*>(root->FindComponent(name));
  if (found == nullptr)
    throw EComponentError(Format("La boîte « A propos » n'a pas de composant %s", {name}));
  return found;
}

}  // namespace

TfmAbout::TfmAbout(TComponent* owner) : TForm(owner) {
  SetName("fmAbout");
  SetCaption("A propos...");
}

void TfmAbout::Loaded() {
  inherited::Loaded();
  LuGradient1 = Stored<TLuGradient>(this, "LuGradient1");
  lblStatus = Stored<TLabel>(this, "lblStatus");
  lblThanks = Stored<TLabel>(this, "lblThanks");
  ProgramIcon = Stored<TImage>(this, "ProgramIcon");
  Image1 = Stored<TImage>(this, "Image1");
  Image2 = Stored<TImage>(this, "Image2");
  Image3 = Stored<TImage>(this, "Image3");
  Version = Stored<TLabel>(this, "Version");
  Copyright = Stored<TLabel>(this, "Copyright");
  Comments = Stored<TLabel>(this, "Comments");
  Bevel1 = Stored<TBevel>(this, "Bevel1");
  Bevel2 = Stored<TBevel>(this, "Bevel2");
  Label2 = Stored<TLabel>(this, "Label2");
  RTFLabel1 = Stored<TRTFLabel>(this, "RTFLabel1");
  lblVersion = Stored<TLabel>(this, "lblVersion");
  lblCopyright = Stored<TLabel>(this, "lblCopyright");
  lblComments = Stored<TLabel>(this, "lblComments");
  btnOK = Stored<TButton>(this, "btnOK");
  KiScrollText1 = Stored<TKiScrollText>(this, "KiScrollText1");
  ExeInfo1 = Stored<TExeInfo>(this, "ExeInfo1");
}

void TfmAbout::FormCreate(TObject*) {
  KiScrollText1->SetActive(true);
  if (Application != nullptr)
    ProgramIcon->Picture()->Assign(Application->Icon());
  lblVersion->SetCaption(ExeInfo1->FileVersion());
  lblCopyright->SetCaption(ExeInfo1->LegalCopyright());
  lblComments->SetCaption(ExeInfo1->Comments());
}

void TfmAbout::FormClose(TObject*, TCloseAction&) {
  KiScrollText1->SetActive(false);
}

void SplashStatus(const std::string& text) {
  if (fmSplash == nullptr)
    return;
  fmSplash->lblStatus->SetCaption(text);
  if (Application != nullptr && Application->Initialized())
    Application->ProcessMessages();
  Delay(100);
}

namespace {

void StartAboutForm() {
  RegisterClass<TfmAbout>()
      .Method("FormCreate", &TfmAbout::FormCreate)
      .Method("FormClose", &TfmAbout::FormClose);
  RegisterComponentDescription("TfmAbout", AboutFormDescription());
}

}  // namespace

TUnit AboutFormUnit("AboutForm", &StartAboutForm, nullptr);
