// The about box, TfmAbout (component name "fmAbout", caption "A propos..."),
// and the start-up status display.
//
// The box is read from its stored description (AboutFormDescription): a
// gradient background, the product title as rich text, the program's icon,
// the version, legal-notice and comment values of the executable's version
// information (ExeInfo1) with their small pictures, a short description and
// the scrolling acknowledgements. The program makes it right after the main
// window and never shows it; its FormCreate still starts the scrolling
// text, whose thread then runs until the box is freed (with the main window,
// before the units stop).
//
// SplashStatus shows a start-up text on the splash window's lblStatus when
// a splash window exists; the program makes none.
//
// Threads: main thread.
#pragma once

#include <string>

#include "platform/forms/Forms.h"

class TBevel;
class TButton;
class TExeInfo;
class TImage;
class TKiScrollText;
class TLabel;
class TLuGradient;
class TRTFLabel;

class TfmAbout : public TForm {
  KESTRUNE_CLASS(TfmAbout, TForm)
  explicit TfmAbout(TComponent* owner);

  // Components of the stored description (owned by the window).
  TLuGradient* LuGradient1 = nullptr;
  TLabel* lblStatus = nullptr;
  TLabel* lblThanks = nullptr;
  TImage* ProgramIcon = nullptr;
  TImage* Image1 = nullptr;
  TImage* Image2 = nullptr;
  TImage* Image3 = nullptr;
  TLabel* Version = nullptr;
  TLabel* Copyright = nullptr;
  TLabel* Comments = nullptr;
  TBevel* Bevel1 = nullptr;
  TBevel* Bevel2 = nullptr;
  TLabel* Label2 = nullptr;
  TRTFLabel* RTFLabel1 = nullptr;
  TLabel* lblVersion = nullptr;
  TLabel* lblCopyright = nullptr;
  TLabel* lblComments = nullptr;
  TButton* btnOK = nullptr;
  TKiScrollText* KiScrollText1 = nullptr;
  TExeInfo* ExeInfo1 = nullptr;

  // Published handlers.
  // Starts the scrolling text, gives ProgramIcon the application's icon and
  // the three value labels their texts from ExeInfo1.
  void FormCreate(TObject* Sender);
  // Stops the scrolling text.
  void FormClose(TObject* Sender, TCloseAction& Action);

 protected:
  // Binds the component fields to the loaded components.
  void Loaded() override;
};

// The about box while the program runs; null before it is made and after it
// is freed.
extern TfmAbout* fmAbout;
// The splash window, when one exists (the program makes none).
extern TfmAbout* fmSplash;

// With a splash window: its lblStatus shows `text`, pending window messages
// run and the program waits 100 ms (Delay). Without one: nothing.
void SplashStatus(const std::string& text);

// The about box's unit: registers TfmAbout's published handlers and its
// stored description.
extern TUnit AboutFormUnit;
