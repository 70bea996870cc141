// TRTFLabel: a label that draws a rich-text (RTF) string.
//
// The label keeps a hidden rich-edit control (TRichEdit, owned by the
// label). Each paint empties the caption, paints the label's background as
// a label does, and, when the label's parent has a window, lends the rich
// edit to that parent and renders RichText into the label's rectangle
// (RenderRichText): on the parent's colour when the label is transparent,
// else on the label's colour, one pixel in from the rectangle's top-left.
//
// Threads: main thread.
#pragma once

#include <string>

#include "platform/forms/RichEdit.h"
#include "platform/forms/StdCtrls.h"

class TRTFLabel : public TCustomLabel {
  KESTRUNE_CLASS(TRTFLabel, TCustomLabel)
  explicit TRTFLabel(TComponent* owner);

  const std::string& RichText() const { return rich_text_; }
  void SetRichText(const std::string& value);
  bool WordWrap() const { return word_wrap_; }
  // Stores; passes it to the rich edit when the label has a parent and is
  // not loading.
  void SetWordWrap(bool value);
  // "1.3.0.0"; writes are ignored.
  std::string Version() const;
  void SetVersion(const std::string&) {}

  TRichEdit* RichEdit() const { return rich_edit_; }
  // While locked (a count), paints draw no rich text.
  void LockPaint() { ++paint_lock_; }
  void UnlockPaint() {
    if (paint_lock_ > 0)
      --paint_lock_;
  }

  // Loads RichText into the rich edit and renders it into `canvas` within
  // `rect` (see the file comment).
  void RenderRichText(TCanvas* canvas, const TRect& rect);

  void Loaded() override;

 protected:
  void Paint() override;

 private:
  void RichEditChanged(TObject*) {}

  std::string rich_text_;
  bool word_wrap_ = false;
  TRichEdit* rich_edit_ = nullptr;
  bool painting_ = false;
  int paint_lock_ = 0;
};

// The text of a packed version number: its four bytes from the most
// significant, joined by ".".
std::string VersionText(uint32_t packed);

void RegisterRTFLabelClass();
