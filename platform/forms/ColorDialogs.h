// The colour and font dialogs: common dialogs (Dialogs.h) on Qt's own
// widget dialogs, preset with the current value. Confirmed, Color or Font
// holds the user's choice; cancelled, they keep what they held.
//
// Tests answer them without showing anything (FormsTestingPrivate.h,
// SetDialogAnswerer, kinds Color and Font): the answerer sets the value on
// the dialog it is given and confirms.
//
// Threads: main thread, with Qt's application object made.
#pragma once

#include "platform/forms/Dialogs.h"
#include "platform/gdiobj/GraphicsObjects.h"

class TColorDialog : public TCommonDialog {
  KESTRUNE_CLASS(TColorDialog, TCommonDialog)
  explicit TColorDialog(TComponent* owner) : TCommonDialog(owner) {}
  bool Execute() override;
  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }

 private:
  TColor color_ = clBlack;
};

class TFontDialog : public TCommonDialog {
  KESTRUNE_CLASS(TFontDialog, TCommonDialog)
  explicit TFontDialog(TComponent* owner);
  ~TFontDialog() override;
  bool Execute() override;
  // The dialog's own font: copy into it before, out of it after.
  TFont* Font() const { return font_; }

 private:
  TFont* font_;
};
