// The hint window shows as a borderless popup at its screen rectangle, not as
// a framed top-level window.
#include "platform/forms/HintWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "platform/forms/Forms.h"

namespace {

TEST(HintWindowTest, ShowsAsABorderlessPopupAtItsRectangle) {
  if (!FormsUnit.Initialized())
    FormsUnit.Initialize();
  Application->Initialize();
  THintWindow* hint = Create<THintWindow>(nullptr);
  hint->ActivateHint(TRect{300, 200, 380, 218}, "Ctrl+Q");
  QWidget* shown = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->geometry() == QRect(300, 200, 80, 18))
      shown = widget;
  }
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(shown->windowType(), Qt::ToolTip);
  hint->Free();
}

}  // namespace
