#include "platform/forms/OwnerDraw.h"

#include <QPainter>

#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/QtEntry.h"
#include "platform/rtl/ScopeExit.h"

namespace {

class OwnerDrawWidget final : public kestrune::WinWidget {
 public:
  OwnerDrawWidget(TWinControl& control, QWidget* parent,
                  std::function<void(const TDrawItemStruct&)> drawItem)
      : WinWidget(control, parent), draw_item_(std::move(drawItem)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    kestrune::CallFromQt([this] {
      kestrune::BackBuffer& buffer = kestrune::ControlDispatch::Buffer(Control());
      if (buffer.valid)
        return;
      buffer.valid = true;  // a draw that invalidates again asks for another paint
      const int level = buffer.canvas.SaveState();
      kestrune::ScopeExit restore([&] { buffer.canvas.RestoreState(level); });
      draw_item_(TDrawItemStruct{&buffer.canvas, Control().ClientRect()});
    });
    QPainter painter(this);
    if (kestrune::BackBuffer* buffer = kestrune::ControlDispatch::ExistingBuffer(Control()))
      painter.drawImage(0, 0, buffer->image);
  }

 private:
  std::function<void(const TDrawItemStruct&)> draw_item_;
};

}  // namespace

std::unique_ptr<kestrune::ControlWidget> CreateOwnerDrawWidget(
    TWinControl& control, std::function<void(const TDrawItemStruct&)> drawItem) {
  QWidget* parent = kestrune::WinWidget::ParentWidgetOf(control);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<OwnerDrawWidget>(control, parent, std::move(drawItem));
  if (control.Visible() && control.Parent() != nullptr && control.Parent()->Showing())
    widget->show();
  return widget;
}

TCanvas* BackBufferCanvas(TWinControl& control) {
  return &kestrune::ControlDispatch::Buffer(control).canvas;
}
