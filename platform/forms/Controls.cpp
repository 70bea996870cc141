// The painted controls (Controls.h): TGraphicControl and TCustomControl on
// the back buffers of ControlWidgets.cpp, and painting a control or a
// parent's background into a canvas.
#include "platform/forms/Controls.h"

#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/rtl/ScopeExit.h"

using kestrune::BackBuffer;
using kestrune::ControlDispatch;
using kestrune::WinWidget;

// ---------------------------------------------------------------------------
// TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
  ControlStyle.Exclude(csOpaque);
}

TGraphicControl::~TGraphicControl() = default;

TCanvas* TGraphicControl::Canvas() {
  if (painting_ != nullptr)
    return painting_;
  if (canvas_ == nullptr) {
    canvas_ = std::make_unique<TCanvas>();
    canvas_->Font()->Assign(Font());
  }
  TWinControl* parent = Parent();
  if (parent == nullptr) {
    canvas_->SetTarget(nullptr);
    return canvas_.get();
  }
  // The canvas keeps what the control set on it (clip, origin, font) until
  // the control moves or the parent's buffer is made anew.
  BackBuffer& buffer = ControlDispatch::Buffer(*parent);
  if (canvas_->Target() != &buffer.image || canvas_bounds_ != BoundsRect() ||
      canvas_image_key_ != buffer.generation) {
    canvas_->SetTarget(&buffer.image);
    canvas_->SetWindowOrg(buffer.origin);
    canvas_->IntersectClipRect(BoundsRect());
    canvas_->SetWindowOrg(OffsetPoint(buffer.origin, -int64_t{Left()}, -int64_t{Top()}));
    canvas_bounds_ = BoundsRect();
    canvas_image_key_ = buffer.generation;
  }
  // What is drawn now reaches the screen with the parent's next paint.
  if (auto* widget = WinWidget::Of(parent)) {
    TRect shown;
    if (IntersectRect(shown, BoundsRect(), parent->ClientRect()))
      widget->update(QRect(shown.Left, shown.Top, shown.Width(), shown.Height()));
  }
  return canvas_.get();
}

void TGraphicControl::Paint() {}

// ---------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {
  ControlStyle.Include(csAcceptsControls);
}

TCustomControl::~TCustomControl() = default;

TCanvas* TCustomControl::Canvas() {
  if (painting_ != nullptr)
    return painting_;
  BackBuffer& buffer = ControlDispatch::Buffer(*this);
  if (auto* widget = WinWidget::Of(this))
    widget->update();
  return &buffer.canvas;
}

void TCustomControl::Paint() {}

void TCustomControl::EraseBackground(TCanvas* canvas) {
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(ClientRect());
}

// ---------------------------------------------------------------------------

void PaintControlTo(TWinControl* control, TCanvas* canvas) {
  if (control == nullptr || canvas == nullptr)
    return;
  const int level = canvas->SaveState();
  kestrune::ScopeExit restore([&] { canvas->RestoreState(level); });
  ControlDispatch::PaintWindow(*control, *canvas, nullptr);
}

void PaintParentBackground(TControl* control, TCanvas* canvas) {
  if (control == nullptr || canvas == nullptr || control->Parent() == nullptr)
    return;
  TWinControl* parent = control->Parent();
  // On the screen every non-windowed control lies below every windowed
  // one: a windowed control sees all of them, a non-windowed one those
  // before it.
  const TControl* stopAt = dynamic_cast<TWinControl*>(control) != nullptr ? nullptr : control;
  const int level = canvas->SaveState();
  const TPoint origin = canvas->WindowOrg();
  canvas->SetWindowOrg(OffsetPoint(origin, control->Left(), control->Top()));
  kestrune::ScopeExit restore([&] { canvas->RestoreState(level); });
  ControlDispatch::PaintWindow(*parent, *canvas, stopAt);
}
