#include "controls/StyGroupBox.h"

#include <algorithm>

#include "platform/classes/TypInfo.h"
#include "platform/graphics/Gdi.h"

std::string PackedVersionText(uint32_t packed) {
  return std::to_string((packed >> 24) & 0xFF) + "." + std::to_string((packed >> 16) & 0xFF) + "." +
         std::to_string((packed >> 8) & 0xFF) + "." + std::to_string(packed & 0xFF);
}

TStyCustomGroupBox::TStyCustomGroupBox(TComponent* owner) : TCustomGroupBox(owner) {
  ControlStyle.Exclude(csOpaque);
  Ctl3D = false;
  ParentCtl3D = false;
}

std::string TStyCustomGroupBox::Version() const {
  return PackedVersionText(kStyGroupBoxVersion);
}

void TStyCustomGroupBox::ChangedLayout() {
  Realign();
  Invalidate();
}

void TStyCustomGroupBox::SetBorderColor(TColor value) {
  if (value == border_color_)
    return;
  border_color_ = value;
  Invalidate();
}

void TStyCustomGroupBox::SetBorderStyle(TStyBorderStyle value) {
  if (value == border_style_)
    return;
  border_style_ = value;
  ChangedLayout();
}

void TStyCustomGroupBox::SetCaptionPosition(TCaptionPosition value) {
  if (value == caption_position_)
    return;
  caption_position_ = value;
  ChangedLayout();
}

void TStyCustomGroupBox::SetImages(TImageList* value) {
  if (value == images_)
    return;
  if (images_ != nullptr)
    images_->RemoveFreeNotification(this);
  images_ = value;
  if (images_ != nullptr) {
    images_->FreeNotification(this);
  } else {
    image_index_ = -1;
  }
  ChangedLayout();
}

void TStyCustomGroupBox::SetImageIndex(int value) {
  if (value == image_index_)
    return;
  image_index_ = value;
  ChangedLayout();
}

void TStyCustomGroupBox::SetTransparent(bool value) {
  if (value == transparent_)
    return;
  transparent_ = value;
  Invalidate();
}

void TStyCustomGroupBox::SetRoundEdges(bool value) {
  if (value == round_edges_)
    return;
  round_edges_ = value;
  Invalidate();
}

void TStyCustomGroupBox::SetCtl3D(bool value) {
  if (value == Ctl3D)
    return;
  Ctl3D = value;
  ChangedLayout();
}

void TStyCustomGroupBox::Notification(TComponent* component, TOperation operation) {
  TCustomGroupBox::Notification(component, operation);
  if (operation == opRemove && component == images_ && !ComponentState().Contains(csDestroying)) {
    SetImages(nullptr);
  }
}

int TStyCustomGroupBox::BorderWidth() const {
  switch (border_style_) {
    case TStyBorderStyle::bsNone:
      return 1;
    case TStyBorderStyle::bsSingle:
      return Ctl3D ? 2 : 1;
    case TStyBorderStyle::bsDouble:
      return Ctl3D ? 4 : 2;
  }
  return 1;
}

bool TStyCustomGroupBox::TopPosition() const {
  return caption_position_ == TCaptionPosition::cpTopLeft ||
         caption_position_ == TCaptionPosition::cpTopRight ||
         caption_position_ == TCaptionPosition::cpTopCenter;
}

TSize TStyCustomGroupBox::CaptionTextSize() {
  if (Caption().empty())
    return TSize{0, 0};
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  TRect r{0, 0, 1000, 100};
  DrawText(canvas, Caption(), &r, DT_SINGLELINE | DT_CALCRECT);
  return TSize{r.Right - r.Left, r.Bottom - r.Top};
}

TRect TStyCustomGroupBox::CaptionRect() {
  const TSize text = CaptionTextSize();
  const int image_width = HasImage() ? images_->Width() : 0;
  const int image_height = HasImage() ? images_->Height() : 0;
  const int gap = text.cx >= 1 && image_width >= 1 ? 3 : 0;
  const int block_width = image_width + gap + text.cx;
  const int block_height = std::max(image_height, text.cy) + 2;
  const int width = Width();
  const int height = Height();
  constexpr int kMargin = 8;
  int left = kMargin;
  switch (caption_position_) {
    case TCaptionPosition::cpTopLeft:
    case TCaptionPosition::cpBottomLeft:
      left = kMargin;
      break;
    case TCaptionPosition::cpTopRight:
    case TCaptionPosition::cpBottomRight:
      left = width - kMargin - block_width;
      break;
    case TCaptionPosition::cpTopCenter:
    case TCaptionPosition::cpBottomCenter:
      left = (width - block_width) / 2;
      break;
  }
  const int top = TopPosition() ? 0 : height - block_height;
  return Bounds(left, top, block_width, block_height);
}

void TStyCustomGroupBox::AdjustClientRect(TRect& rect) {
  // The base's own adjustment is not used: the rectangle starts from what
  // came in.
  const int border = BorderWidth();
  const int offset = std::max(border, CaptionRect().Height());
  if (TopPosition()) {
    rect.Top += offset;
    rect.Left += border;
    rect.Right -= border;
    rect.Bottom -= border;
  } else {
    rect.Bottom -= offset;
    rect.Left += border;
    rect.Top += border;
    rect.Right -= border;
  }
  rect = InflateRect(rect, -1, -1);
}

TRect TStyCustomGroupBox::InnerClientRect() {
  TRect r = ClientRect();
  AdjustClientRect(r);
  return r;
}

TRect TStyCustomGroupBox::FrameRect() {
  TRect r = ClientRect();
  const int offset = std::max(BorderWidth(), CaptionRect().Height());
  if (TopPosition()) {
    r.Top += offset / 2;
  } else if (!Caption().empty() || HasImage()) {
    r.Bottom -= offset / 2;
    if (border_style_ == TStyBorderStyle::bsDouble)
      r.Bottom += 1;
  }
  return r;
}

void TStyCustomGroupBox::DrawShape(TCanvas* canvas, const TRect& r, TColor color) {
  canvas->Pen()->SetColor(color);
  canvas->Pen()->SetWidth(1);
  if (round_edges_) {
    canvas->RoundRect(r.Left, r.Top, r.Right, r.Bottom, 6, 6);
  } else {
    canvas->Rectangle(r);
  }
}

void TStyCustomGroupBox::Paint() {
  TCanvas* canvas = Canvas();
  if (transparent_)
    PaintParentBackground(this, canvas);

  const TRect block = CaptionRect();
  TBitmap* strip = Create<TBitmap>();
  strip->SetSize(block.Width() + 2, block.Height());
  int text_left = block.Left;
  if (HasImage()) {
    images_->Draw(canvas, block.Left, block.Top, image_index_, Enabled());
    text_left += images_->Width() + 3;
  }
  canvas->Brush()->SetStyle(bsClear);
  if (!Caption().empty()) {
    canvas->Font()->Assign(Font());
    TRect text_rect{text_left, block.Top, block.Right, block.Bottom};
    DrawText(canvas, Caption(), &text_rect, DT_SINGLELINE | DT_VCENTER);
  }
  const TRect saved{block.Left - 1, block.Top, block.Right + 1, block.Bottom};
  const TRect strip_rect{0, 0, saved.Width(), saved.Height()};
  strip->Canvas()->CopyRect(strip_rect, canvas, saved);

  const TRect frame = FrameRect();
  canvas->Brush()->SetStyle(bsClear);
  auto etched = [&](const TRect& r) {
    DrawShape(canvas, TRect{r.Left + 1, r.Top + 1, r.Right, r.Bottom}, clWhite);
    DrawShape(canvas, TRect{r.Left, r.Top, r.Right - 1, r.Bottom - 1}, clGray);
  };
  switch (border_style_) {
    case TStyBorderStyle::bsSingle:
      if (Ctl3D) {
        etched(frame);
      } else {
        DrawShape(canvas, frame, border_color_);
      }
      break;
    case TStyBorderStyle::bsDouble:
      if (Ctl3D) {
        etched(frame);
        etched(InflateRect(frame, -2, -2));
      } else {
        DrawShape(canvas, frame, border_color_);
        DrawShape(canvas, InflateRect(frame, -2, -2), border_color_);
      }
      break;
    case TStyBorderStyle::bsNone:
      break;
  }
  if (!Caption().empty() || HasImage())
    canvas->CopyRect(saved, strip->Canvas(), strip_rect);
  strip->Free();
}

void RegisterStyGroupBoxClass() {
  RegisterClass<TStyGroupBox>()
      .MappedInteger("BorderColor", &TStyGroupBox::BorderColor, &TStyGroupBox::SetBorderColor,
                     kColorIdents, clSilver)
      .Enum("BorderStyle", &TStyGroupBox::BorderStyle, &TStyGroupBox::SetBorderStyle,
            {"bsNone", "bsSingle", "bsDouble"}, TStyBorderStyle::bsSingle)
      .Enum("CaptionPosition", &TStyGroupBox::CaptionPosition, &TStyGroupBox::SetCaptionPosition,
            {"cpTopLeft", "cpTopRight", "cpTopCenter", "cpBottomLeft", "cpBottomRight",
             "cpBottomCenter"},
            TCaptionPosition::cpTopLeft)
      .Component("Images", &TStyGroupBox::Images, &TStyGroupBox::SetImages)
      .Integer("ImageIndex", &TStyGroupBox::ImageIndex, &TStyGroupBox::SetImageIndex, -1)
      .Bool("Transparent", &TStyGroupBox::Transparent, &TStyGroupBox::SetTransparent, true)
      .Bool("RoundEdges", &TStyGroupBox::RoundEdges, &TStyGroupBox::SetRoundEdges, false)
      .String("Version", &TStyGroupBox::Version, &TStyGroupBox::SetVersion, "1.0.0.0");
}
