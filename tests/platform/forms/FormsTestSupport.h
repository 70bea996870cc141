// Shared fixture of the forms tests: the units started, Qt's application
// made, and a shown form at a known place with helpers to reach its
// controls' pixels and screen points.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <string>
#include <vector>

#include "platform/classes/ClassesUnit.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/gdiobj/GraphicsObjects.h"

namespace forms_test {

class FormsFixture : public testing::Test {
 public:
  void SetUp() override {
    ClassesUnit.Initialize();
    GraphicsUnit.Initialize();
    FormsUnit.Initialize();
    Application->Initialize();
    form = Create<TForm>(Application);
    form->SetBounds(40, 30, 200, 120);
    form->SetColor(clBlue);
  }
  void TearDown() override {
    FormsUnit.Finalize();
    GraphicsUnit.Finalize();
    ClassesUnit.Finalize();
  }

  // The screen point of (x, y) in `control`'s client area.
  static TPoint At(TControl* control, int x, int y) { return control->ClientToScreen(Point(x, y)); }

  // The colour of the form's image at (x, y) of the form's client area, as
  // a TColor (0x00BBGGRR).
  TColor PixelAt(const QImage& image, int x, int y) const {
    const QRgb p = image.pixel(x, y);
    return static_cast<TColor>(qRed(p) | (qGreen(p) << 8) | (qBlue(p) << 16));
  }

  TForm* form = nullptr;
};

}  // namespace forms_test
