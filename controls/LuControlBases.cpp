#include "controls/LuControlBases.h"

// ---------------------------------------------------------------------------
// Control bases

void TLuCustomControl::RepaintControl() {
  if (!Loading())
    Repaint();
}

TLuCustomImageControl::TLuCustomImageControl(TComponent* owner) : TLuCustomControl(owner) {
  image_ = Create<TBitmap>();
}

TLuCustomImageControl::~TLuCustomImageControl() {
  FreeAndNil(image_);
}

void TLuCustomImageControl::Paint() {
  const int width = ClientWidth();
  const int height = ClientHeight();
  if (width <= 0 || height <= 0)
    return;
  if (image_->Width() != width || image_->Height() != height)
    image_->SetSize(width, height);
  TCanvas* canvas = image_->Canvas();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(TRect(0, 0, width, height));
  DrawImage(canvas);
  Canvas()->Draw(0, 0, image_);
}

void TLuGraphicControl::RepaintControl() {
  if (!Loading())
    Repaint();
}

TLuGraphicImageControl::TLuGraphicImageControl(TComponent* owner) : TLuGraphicControl(owner) {
  image_ = Create<TBitmap>();
  background_ = Create<TBitmap>();
}

TLuGraphicImageControl::~TLuGraphicImageControl() {
  FreeAndNil(background_);
  FreeAndNil(image_);
}

void TLuGraphicImageControl::SetTransparent(bool value) {
  if (transparent_ == value)
    return;
  transparent_ = value;
  if (value) {
    ControlStyle.Exclude(csOpaque);
  } else {
    ControlStyle.Include(csOpaque);
  }
  background_captured_ = false;
  RepaintControl();
}

void TLuGraphicImageControl::RepaintControl() {
  if (Loading())
    return;
  if (transparent_ && background_captured_) {
    // Our own repaint: the parent must not draw beneath us meanwhile, and
    // the background captured at the last outside paint is reused.
    own_repaint_pending_ = true;
    ControlStyle.Include(csOpaque);
  }
  Repaint();
}

void TLuGraphicImageControl::Paint() {
  const int width = Width();
  const int height = Height();
  if (width <= 0 || height <= 0)
    return;
  if (image_->Width() != width || image_->Height() != height)
    image_->SetSize(width, height);
  TCanvas* canvas = image_->Canvas();
  const TRect area(0, 0, width, height);
  if (transparent_) {
    const bool reuse = own_repaint_pending_ && background_captured_ &&
                       background_->Width() == width && background_->Height() == height;
    if (!reuse) {
      // A paint from outside: what lies under the control now is the
      // parent's background and the siblings below.
      background_->SetSize(width, height);
      background_->Canvas()->CopyRect(area, Canvas(), area);
      background_captured_ = true;
    }
    canvas->CopyRect(area, background_->Canvas(), area);
    own_repaint_pending_ = false;
    ControlStyle.Exclude(csOpaque);
  } else {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(area);
  }
  DrawImage(canvas);
  Canvas()->Draw(0, 0, image_);
}

TWinControl* TopmostWinControlParent(TControl* control) {
  TWinControl* result = nullptr;
  for (TWinControl* p = control != nullptr ? control->Parent() : nullptr; p != nullptr;
       p = p->Parent()) {
    result = p;
  }
  return result;
}
