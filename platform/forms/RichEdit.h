// TRichEdit: a rich-text control that is never shown. It loads a text in
// the rich text format (RTF), keeps a background colour and the word-wrap
// flag, and draws its text into a canvas within a rectangle given in twips
// (FormatRange), as a label that renders rich text asks of it.
//
// The RTF read is a small subset: groups, the font table (\fonttbl) and
// the colour table (\colortbl), \f (font), \fs (size in half-points), \cf
// (colour; 0 the default colour), \b and \b0, \plain (the default
// character format), \pard (the default paragraph: left-aligned), \qr
// (right-aligned), \par (paragraph end), \\, \{, \} and \'hh (a Latin-1
// character), and plain text. Every other control word is skipped, and so
// is every {\* ...} destination with its contents.
//
// The control has no window of its own: parenting it shows nothing (no
// widget is made), so it may stand on a shown form.
//
// Threads: main thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/Controls.h"
#include "platform/classes/Streams.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Canvas.h"

class TRichEdit;

// The text of a rich edit, as its Lines.
class TRichEditLines {
 public:
  explicit TRichEditLines(TRichEdit* owner) : owner_(owner) {}
  // Reads the stream from its position to its end as RTF and replaces the
  // text; a text without the "{\rtf" start is taken as plain text.
  void LoadFromStream(TStream* stream);

 private:
  TRichEdit* owner_;
};

// A run of text in one character format.
struct TRichTextRun {
  std::string text;  // UTF-8
  std::string fontName;
  int halfPoints = 24;
  TColor color = clWindowText;
  bool bold = false;
};

struct TRichTextParagraph {
  TAlignment alignment = taLeftJustify;
  std::vector<TRichTextRun> runs;
};

// Parses `rtf` (see the file comment) into paragraphs: one per \par, and a
// last one for the text after the last \par (none when that is empty).
std::vector<TRichTextParagraph> ParseRichText(std::string_view rtf);

// The platform's format-range request: draw into `hdc` (measure with
// `hdcTarget`), the character range [cpMin, cpMax) (-1: to the end), in
// `rc` (the render rectangle, twips) on the page `rcPage` (twips).
struct TFormatRange {
  TCanvas* hdc = nullptr;
  TCanvas* hdcTarget = nullptr;
  TRect rc;
  TRect rcPage;
  int cpMin = 0;
  int cpMax = -1;
};

class TRichEdit : public TWinControl {
  KESTRUNE_CLASS(TRichEdit, TWinControl)
  explicit TRichEdit(TComponent* owner);
  ~TRichEdit() override;

  TRichEditLines* Lines() { return &lines_; }
  const std::vector<TRichTextParagraph>& Paragraphs() const { return paragraphs_; }

  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value) { word_wrap_ = value; }
  bool BorderVisible() const { return border_; }
  void SetBorderVisible(bool value) { border_ = value; }
  // The background the text is drawn on (an RGB value or a system colour).
  TColor BackgroundColor() const { return background_; }
  void SetBackgroundColor(TColor value) { background_ = value; }
  // The window's transparent style and a clear brush: kept for the callers
  // that set them; the control has no window to show them.
  bool TransparentStyle = false;

  // Renders (when `render`) the range into fr.hdc: fills the render
  // rectangle with the background colour and draws the paragraphs from its
  // top, each line aligned within its width (broken at spaces to fit with
  // WordWrap, else one line per paragraph), clipped to the rectangle.
  // Returns the number of characters that fit (the text length when all
  // did).
  int FormatRange(const TFormatRange& fr, bool render);
  // Drops the cached formatting (nothing is cached here).
  void ReleaseFormatCache() {}

  TNotifyEvent OnChange;

 protected:
  // No window: the control is never shown.
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override { return nullptr; }

 private:
  friend class TRichEditLines;
  void SetRichText(std::string_view rtf);

  TRichEditLines lines_{this};
  std::vector<TRichTextParagraph> paragraphs_;
  bool word_wrap_ = true;
  bool border_ = true;
  TColor background_ = clWindow;
};
