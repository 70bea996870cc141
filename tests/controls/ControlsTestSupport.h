// Test scaffolding for the styled controls: Qt's application object on the
// offscreen platform, the forms and controls units, and a painted panel
// (665 x 385, the main window's client size) on a form, the parent of the
// controls under test; the panel's back buffer is what a test reads.
#pragma once

#include <gtest/gtest.h>

#include <QImage>

#include "controls/ControlsUnit.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Bitmap.h"

namespace kestrune::test {

class ControlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!FormsUnit.Initialized())
      FormsUnit.Initialize();
    Application->Initialize();
    ControlsUnit.Initialize();
  }
  void SetUp() override {
    form_ = Create<TForm>(nullptr);
    form_->SetBounds(0, 0, 665, 385);
    panel_ = Create<TCustomControl>(form_);
    panel_->SetParent(form_);
    panel_->SetBounds(0, 0, 665, 385);
  }
  void TearDown() override { form_->Free(); }
  // The parent (and owner) of the controls under test.
  TCustomControl* Form() const { return panel_; }
  // The parent's back buffer.
  const QImage& Image() const { return *panel_->Canvas()->Target(); }
  // The windowed control's client area as its paint cycle draws it.
  static QImage Render(TWinControl* control) {
    TBitmap* bitmap = Create<TBitmap>();
    bitmap->SetSize(control->ClientWidth(), control->ClientHeight());
    PaintControlTo(control, bitmap->Canvas());
    QImage image = bitmap->Image().copy();
    bitmap->Free();
    return image;
  }

 private:
  TForm* form_ = nullptr;
  TCustomControl* panel_ = nullptr;
};

}  // namespace kestrune::test
