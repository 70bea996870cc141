#include "platform/forms/RichEdit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace {

struct CharFormat {
  int font = 0;
  int halfPoints = 24;
  int color = 0;  // colour-table index; 0 the default colour
  bool bold = false;
};

enum class Destination { Text, FontTable, ColorTable, Skip };

struct GroupState {
  CharFormat format;
  Destination destination = Destination::Text;
};

// Appends the Latin-1 code `code` to `out` as UTF-8.
void AppendLatin1(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

class Parser {
 public:
  explicit Parser(std::string_view rtf) : rtf_(rtf) {}

  std::vector<TRichTextParagraph> Run() {
    stack_.push_back({});
    while (pos_ < rtf_.size()) {
      const char c = rtf_[pos_++];
      if (c == '{') {
        GroupState inner = stack_.back();
        if (pos_ + 1 < rtf_.size() && rtf_[pos_] == '\\' && rtf_[pos_ + 1] == '*')
          inner.destination = Destination::Skip;
        stack_.push_back(inner);
      } else if (c == '}') {
        EndGroup();
      } else if (c == '\\') {
        ControlWord();
      } else if (c == '\r' || c == '\n') {
        // Line breaks of the RTF source are not text.
      } else {
        Char(static_cast<unsigned char>(c));
      }
    }
    if (!current_.runs.empty())
      paragraphs_.push_back(current_);
    return paragraphs_;
  }

 private:
  GroupState& State() { return stack_.back(); }

  void EndGroup() {
    if (State().destination == Destination::FontTable && !font_name_.empty())
      FinishFont();
    if (stack_.size() > 1)
      stack_.pop_back();
  }

  void FinishFont() {
    std::string name = font_name_;
    while (!name.empty() && (name.back() == ';' || name.back() == ' '))
      name.pop_back();
    fonts_[font_index_] = name;
    font_name_.clear();
  }

  void ControlWord() {
    if (pos_ >= rtf_.size())
      return;
    const char c = rtf_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      if (c == '\\' || c == '{' || c == '}') {
        Char(static_cast<unsigned char>(c));
      } else if (c == '\'' && pos_ + 1 < rtf_.size()) {
        const int high = HexDigit(rtf_[pos_]);
        const int low = HexDigit(rtf_[pos_ + 1]);
        pos_ += 2;
        if (high >= 0 && low >= 0)
          Char(static_cast<unsigned>(high * 16 + low));
      }
      // \* was seen at the group's start; other symbols are skipped.
      return;
    }
    std::string word;
    while (pos_ < rtf_.size() && std::isalpha(static_cast<unsigned char>(rtf_[pos_])))
      word += rtf_[pos_++];
    bool hasParam = false;
    int param = 0;
    bool negative = false;
    if (pos_ < rtf_.size() && rtf_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < rtf_.size() && std::isdigit(static_cast<unsigned char>(rtf_[pos_]))) {
      hasParam = true;
      param = std::min(param * 10 + (rtf_[pos_++] - '0'), 1 << 20);
    }
    if (negative)
      param = -param;
    if (pos_ < rtf_.size() && rtf_[pos_] == ' ')
      ++pos_;  // the delimiter belongs to the word
    Apply(word, hasParam, param);
  }

  void Apply(const std::string& word, bool hasParam, int param) {
    GroupState& state = State();
    if (state.destination == Destination::Skip)
      return;
    CharFormat& format = state.format;
    if (word == "fonttbl") {
      state.destination = Destination::FontTable;
    } else if (word == "colortbl") {
      state.destination = Destination::ColorTable;
      colors_.clear();
      color_ = {};
    } else if (state.destination == Destination::ColorTable) {
      const int value = std::clamp(param, 0, 255);
      if (word == "red" || word == "green" || word == "blue")
        color_.empty = false;
      if (word == "red")
        color_.red = value;
      else if (word == "green")
        color_.green = value;
      else if (word == "blue")
        color_.blue = value;
    } else if (word == "f") {
      if (state.destination == Destination::FontTable) {
        if (!font_name_.empty())
          FinishFont();
        font_index_ = param;
      } else {
        format.font = param;
      }
    } else if (state.destination == Destination::FontTable) {
      // The font family and character set words of the table are skipped.
    } else if (word == "fs") {
      if (hasParam && param > 0)
        format.halfPoints = param;
    } else if (word == "cf") {
      format.color = param;
    } else if (word == "b") {
      format.bold = !hasParam || param != 0;
    } else if (word == "plain") {
      format = CharFormat{};
    } else if (word == "pard") {
      current_.alignment = taLeftJustify;
    } else if (word == "qr") {
      current_.alignment = taRightJustify;
    } else if (word == "par") {
      paragraphs_.push_back(current_);
      const TAlignment alignment = current_.alignment;
      current_ = TRichTextParagraph{};
      current_.alignment = alignment;  // a paragraph's format goes on until \pard
    }
  }

  void Char(unsigned code) {
    GroupState& state = State();
    switch (state.destination) {
      case Destination::Skip:
        return;
      case Destination::FontTable:
        if (code == ';') {
          FinishFont();
        } else {
          AppendLatin1(font_name_, code);
        }
        return;
      case Destination::ColorTable:
        if (code == ';') {
          colors_.push_back(color_.empty ? TColor(clWindowText)
                                         : static_cast<TColor>(color_.red | (color_.green << 8) |
                                                               (color_.blue << 16)));
          color_ = {};
        }
        return;
      case Destination::Text:
        break;
    }
    const CharFormat& f = state.format;
    const auto font = fonts_.find(f.font);
    const std::string fontName = font != fonts_.end() ? font->second : std::string();
    TColor color = clWindowText;
    if (f.color > 0 && f.color < static_cast<int>(colors_.size()))
      color = colors_[f.color];
    if (current_.runs.empty() || current_.runs.back().fontName != fontName ||
        current_.runs.back().halfPoints != f.halfPoints || current_.runs.back().color != color ||
        current_.runs.back().bold != f.bold) {
      current_.runs.push_back({std::string(), fontName, f.halfPoints, color, f.bold});
    }
    AppendLatin1(current_.runs.back().text, code);
  }

  // The colour-table entry being read; an entry without a colour word is
  // the default colour.
  struct ColorEntry {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool empty = true;
  };

  std::string_view rtf_;
  size_t pos_ = 0;
  std::vector<GroupState> stack_;
  std::map<int, std::string> fonts_;
  int font_index_ = 0;
  std::string font_name_;
  std::vector<TColor> colors_;
  ColorEntry color_;
  std::vector<TRichTextParagraph> paragraphs_;
  TRichTextParagraph current_;
};

}  // namespace

std::vector<TRichTextParagraph> ParseRichText(std::string_view rtf) {
  return Parser(rtf).Run();
}

void TRichEditLines::LoadFromStream(TStream* stream) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const int64_t got = stream->Read(buffer, sizeof buffer);
    if (got <= 0)
      break;
    text.append(buffer, static_cast<size_t>(got));
  }
  owner_->SetRichText(text);
}

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 89);
}

TRichEdit::~TRichEdit() = default;

void TRichEdit::SetRichText(std::string_view rtf) {
  if (rtf.substr(0, 5) == "{\\rtf") {
    paragraphs_ = ParseRichText(rtf);
  } else {
    // Plain text: one paragraph per line, in the default format.
    paragraphs_.clear();
    size_t start = 0;
    while (start <= rtf.size()) {
      size_t end = rtf.find('\n', start);
      if (end == std::string_view::npos)
        end = rtf.size();
      std::string_view line = rtf.substr(start, end - start);
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      TRichTextParagraph paragraph;
      paragraph.runs.push_back({std::string(line), std::string(), 24, clWindowText, false});
      if (end < rtf.size() || !line.empty())
        paragraphs_.push_back(std::move(paragraph));
      start = end + 1;
    }
  }
  if (OnChange)
    OnChange(this);
}

namespace {

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

// A piece of a line: text in one format, measured.
struct Piece {
  const TRichTextRun* run;
  std::string text;
  TSize size;
};

void SelectRunFont(TCanvas* canvas, const TRichTextRun& run) {
  TFont* font = canvas->Font();
  if (!run.fontName.empty())
    font->SetName(run.fontName);
  // Half-points to points; the height is the em height.
  font->SetHeight(
      -static_cast<int>(std::lround(run.halfPoints / 2.0 * TFont::PixelsPerInch / 72.0)));
  font->SetStyle(run.bold ? FontStyleBit(fsBold) : 0);
  font->SetColor(run.color);
}

}  // namespace

int TRichEdit::FormatRange(const TFormatRange& fr, bool render) {
  TCanvas* canvas = fr.hdc;
  if (canvas == nullptr)
    return 0;
  const int dpi = TCanvas::PixelsPerInch;
  const TRect box = Rect(TwipsToPixels(fr.rc.Left, dpi), TwipsToPixels(fr.rc.Top, dpi),
                         TwipsToPixels(fr.rc.Right, dpi), TwipsToPixels(fr.rc.Bottom, dpi));
  const int level = canvas->SaveState();
  if (render) {
    canvas->IntersectClipRect(box);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(background_);
    canvas->FillRect(box);
  }
  canvas->Brush()->SetStyle(bsClear);
  int drawn = 0;
  int y = box.Top;
  for (const TRichTextParagraph& paragraph : paragraphs_) {
    // Break the paragraph into lines of measured pieces.
    std::vector<std::vector<Piece>> lines(1);
    int line_width = 0;
    for (const TRichTextRun& run : paragraph.runs) {
      SelectRunFont(canvas, run);
      if (!word_wrap_) {
        lines.back().push_back({&run, run.text, canvas->TextExtent(run.text)});
        continue;
      }
      size_t start = 0;
      while (start < run.text.size()) {
        size_t end = run.text.find(' ', start);
        end = end == std::string::npos ? run.text.size() : end + 1;
        const std::string word = run.text.substr(start, end - start);
        const TSize size = canvas->TextExtent(word);
        if (line_width > 0 && line_width + size.cx > box.Width()) {
          lines.emplace_back();
          line_width = 0;
        }
        lines.back().push_back({&run, word, size});
        line_width += size.cx;
        start = end;
      }
    }
    for (const std::vector<Piece>& line : lines) {
      int width = 0;
      int height = 0;
      for (const Piece& piece : line) {
        width += piece.size.cx;
        height = std::max(height, piece.size.cy);
      }
      if (height == 0) {
        // An empty paragraph is one line of the default size.
        SelectRunFont(canvas, TRichTextRun{});
        height = canvas->TextHeight(" ");
      }
      int x = paragraph.alignment == taRightJustify ? box.Right - width : box.Left;
      for (const Piece& piece : line) {
        if (render) {
          SelectRunFont(canvas, *piece.run);
          // Pieces of one line share their bottom edge.
          canvas->TextOut(x, y + height - piece.size.cy, piece.text);
        }
        x += piece.size.cx;
        if (y + height <= box.Bottom)
          drawn += static_cast<int>(piece.text.size());
      }
      y += height;
    }
  }
  canvas->RestoreState(level);
  return drawn;
}
