#include "support/controls/RTFLabel.h"

#include <cmath>

#include "platform/classes/Streams.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr uint32_t kRTFLabelVersion = 0x01030000;

int Twips(double pixels, int dpi) {
  return static_cast<int>(std::lround(pixels / dpi * 1440.0));
}

}  // namespace

std::string VersionText(uint32_t packed) {
  return std::to_string(packed >> 24) + "." + std::to_string((packed >> 16) & 0xFF) + "." +
         std::to_string((packed >> 8) & 0xFF) + "." + std::to_string(packed & 0xFF);
}

TRTFLabel::TRTFLabel(TComponent* owner) : TCustomLabel(owner) {
  rich_edit_ = Create<TRichEdit>(this);
  rich_edit_->OnChange = TNotifyEvent(this, &TRTFLabel::RichEditChanged);
  SetAutoSize(false);
  SetCaption("");
}

std::string TRTFLabel::Version() const {
  return VersionText(kRTFLabelVersion);
}

void TRTFLabel::SetRichText(const std::string& value) {
  if (value == rich_text_)
    return;
  rich_text_ = value;
  Invalidate();
}

void TRTFLabel::SetWordWrap(bool value) {
  word_wrap_ = value;
  if (Parent() != nullptr && rich_edit_ != nullptr && !ComponentState().Contains(csLoading))
    rich_edit_->SetWordWrap(value);
  Invalidate();
}

void TRTFLabel::Loaded() {
  inherited::Loaded();
  rich_edit_->SetVisible(false);
  rich_edit_->SetBounds(0, 0, 10, 10);
  rich_edit_->SetWordWrap(false);
  rich_edit_->SetBorderVisible(false);
}

void TRTFLabel::Paint() {
  if (!Caption().empty())
    SetCaption("");
  inherited::Paint();
  if (paint_lock_ > 0 || painting_)
    return;
  painting_ = true;
  TWinControl* parent = Parent();
  rich_edit_->SetParent(parent);
  kestrune::ScopeExit cleanup([&] {
    rich_edit_->SetParent(nullptr);
    painting_ = false;
  });
  if (parent != nullptr && parent->Widget() != nullptr) {
    rich_edit_->TransparentStyle = true;
    rich_edit_->SetHeight(0);
    Canvas()->Brush()->SetStyle(bsClear);
    RenderRichText(Canvas(), Rect(0, 0, Width(), Height()));
  }
}

void TRTFLabel::RenderRichText(TCanvas* canvas, const TRect& rect) {
  TMemoryStream* stream = Create<TMemoryStream>();
  {
    kestrune::ScopeExit freeStream([&] { stream->Free(); });
    stream->Write(rich_text_.data(), static_cast<int64_t>(rich_text_.size()));
    stream->SetPosition(0);
    rich_edit_->Lines()->LoadFromStream(stream);
  }
  const int dpi_x = TCanvas::PixelsPerInch > 0 ? TCanvas::PixelsPerInch : 96;
  const int dpi_y = dpi_x;
  const TColor background = Transparent() && Parent() != nullptr ? Parent()->Color() : Color();
  rich_edit_->SetBackgroundColor(ColorToRGB(background));
  TFormatRange range;
  range.hdc = canvas;
  range.hdcTarget = canvas;
  range.cpMin = 0;
  range.cpMax = -1;
  range.rc.Left = Twips(rect.Left + 1, dpi_x);
  range.rc.Top = Twips(rect.Top + 1, dpi_y);
  range.rc.Right = range.rc.Left + Twips(rect.Width() - 1, dpi_x);
  range.rc.Bottom = range.rc.Top + Twips(rect.Height() - 1, dpi_y);
  range.rcPage = range.rc;
  rich_edit_->FormatRange(range, true);
  rich_edit_->ReleaseFormatCache();
}

void RegisterRTFLabelClass() {
  RegisterClass<TRTFLabel>()
      .String("RichText", &TRTFLabel::RichText, &TRTFLabel::SetRichText, "")
      .Bool("WordWrap", &TRTFLabel::WordWrap, &TRTFLabel::SetWordWrap, false)
      .String("Version", &TRTFLabel::Version, &TRTFLabel::SetVersion, "1.3.0.0");
}
