#include "platform/forms/ExtCtrls.h"

#include <QCoreApplication>
#include <QTimer>

#include "platform/classes/TypInfo.h"
#include "platform/forms/QtEntry.h"
#include "platform/graphics/Bitmap.h"

struct TTimer::Impl {
  QTimer timer;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool value) {
  if (value == enabled_)
    return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == interval_)
    return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  on_timer_ = handler;
  UpdateTimer();
}

void TTimer::Loaded() {
  inherited::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  if (on_timer_.Assigned())
    on_timer_(this);
}

void TTimer::UpdateTimer() {
  if (impl_ != nullptr)
    impl_->timer.stop();
  const bool run = enabled_ && interval_ > 0 && on_timer_.Assigned() &&
                   !ComponentState().Contains(csLoading) && QCoreApplication::instance() != nullptr;
  if (!run)
    return;
  if (impl_ == nullptr) {
    impl_ = std::make_unique<Impl>();
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout,
                     [this] { kestrune::CallFromQt([this] { Timer(); }); });
  }
  // QTimer takes an int: longer intervals than it holds are kept at its
  // largest (about 24 days).
  const uint32_t limit = 0x7FFFFFFF;
  impl_->timer.start(static_cast<int>(std::min(interval_, limit)));
}

// ---------------------------------------------------------------------------
// TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_ = Create<TPicture>();
  picture_->OnChange = TNotifyEvent(this, &TImage::PictureChanged);
}

TImage::~TImage() {
  FreeObject(picture_);
}

void TImage::SetPicture(TPicture* value) {
  picture_->Assign(value);
}

void TImage::SetStretch(bool value) {
  if (value == stretch_)
    return;
  stretch_ = value;
  Invalidate();
}

void TImage::PictureChanged(TObject*) {
  Invalidate();
}

void TImage::Paint() {
  TGraphic* graphic = picture_->Graphic();
  if (graphic == nullptr || graphic->Empty())
    return;
  if (stretch_)
    Canvas()->StretchDraw(ClientRect(), graphic);
  else
    Canvas()->Draw(0, 0, graphic);
}

// ---------------------------------------------------------------------------
// TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value) {
  if (value == shape_)
    return;
  shape_ = value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
  if (value == style_)
    return;
  style_ = value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* canvas = Canvas();
  const TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  const TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  const int w = Width();
  const int h = Height();
  auto line = [canvas](TColor color, int x1, int y1, int x2, int y2) {
    canvas->Pen()->SetColor(color);
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  switch (shape_) {
    case bsBox:
      line(first, 0, h - 1, 0, 0);
      line(first, 0, 0, w - 1, 0);
      line(second, w - 1, 0, w - 1, h - 1);
      line(second, w - 1, h - 1, 0, h - 1);
      break;
    case bsFrame:
      canvas->Brush()->SetStyle(bsClear);
      canvas->Pen()->SetColor(first);
      canvas->Rectangle(0, 0, w - 1, h - 1);
      canvas->Pen()->SetColor(second);
      canvas->Rectangle(1, 1, w, h);
      break;
    case bsTopLine:
      line(first, 0, 0, w, 0);
      line(second, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(first, 0, h - 2, w, h - 2);
      line(second, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(first, 0, 0, 0, h);
      line(second, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(first, w - 2, 0, w - 2, h);
      line(second, w - 1, 0, w - 1, h);
      break;
    case bsSpacer:
      break;
  }
}

void RegisterExtControlClasses() {
  RegisterClass<TImage>()
      .Object("Picture", &TImage::Picture)
      .Bool("Stretch", &TImage::Stretch, &TImage::SetStretch, false);
  RegisterClass<TBevel>()
      .Enum("Shape", &TBevel::Shape, &TBevel::SetShape,
            {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine",
             "bsSpacer"},
            bsBox)
      .Enum("Style", &TBevel::Style, &TBevel::SetStyle, {"bsLowered", "bsRaised"}, bsLowered);
}
