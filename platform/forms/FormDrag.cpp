// Moving a form's window with the pointer, through the window system.
#include <QWindow>

#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/Forms.h"

bool BeginFormDrag(TForm* form) {
  kestrune::WinWidget* widget = kestrune::WinWidget::Of(form);
  if (widget == nullptr)
    return false;
  QWindow* window = widget->window()->windowHandle();
  return window != nullptr && window->startSystemMove();
}
