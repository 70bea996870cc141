#include "platform/forms/HintWindow.h"

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetColor(clInfoBk);
  SetVisible(false);
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& text) {
  SetCaption(text);
  SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
  SetVisible(true);
  Repaint();
}
