// The controls unit: the controls are made and set from a stored
// description, as the main window's is read (names of colours, enumerations,
// a Down stored before its GroupIndex), and the compiled-in resources exist.
#include "controls/ControlsUnit.h"

#include <gtest/gtest.h>

#include "controls/LmVuMeter.h"
#include "controls/LuTrackBar.h"
#include "controls/StyGlassButton.h"
#include "controls/StyGroupBox.h"
#include "platform/classes/Streaming.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/GraphicsResources.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class ControlsUnitTest : public ControlsTest {};

TEST_F(ControlsUnitTest, ControlsReadFromADescription) {
  const char* text = R"desc(object Window: TForm
  object StyGroupBox1: TStyGroupBox
    Left = 8
    Top = 40
    Width = 200
    Height = 120
    Caption = "Base de temps (Horz)"
    object tbScaleHorz: TLuTrackBar
      Left = 8
      Top = 20
      Width = 145
      Height = 40
      BorderWidth = 4
      Frequency = 1
      MinValue = 1
      MaxValue = 9
      Position = 7
    end
  end
  object btnScope: TStyGlassButton
    Down = True
    GroupIndex = 10
    Caption = "Oscilloscope"
  end
  object vuAudioIn1: TlmVuMeter
    Left = 480
    Top = 8
    Width = 169
    Height = 21
    Orientation = voHorizontal
    LedLength = 2
    LedSpacing = 1
    ShaddowColor = clSilver
    BackGroundColor = clBlack
  end
end
)desc";
  TComponent* window = CreateComponentFromText(text, nullptr);
  ASSERT_NE(window, nullptr);
  auto* slider = dynamic_cast<TLuTrackBar*>(window->FindComponent("tbScaleHorz"));
  auto* button = dynamic_cast<TStyGlassButton*>(window->FindComponent("btnScope"));
  auto* meter = dynamic_cast<TlmVuMeter*>(window->FindComponent("vuAudioIn1"));
  auto* box = dynamic_cast<TStyGroupBox*>(window->FindComponent("StyGroupBox1"));
  ASSERT_NE(slider, nullptr);
  ASSERT_NE(button, nullptr);
  ASSERT_NE(meter, nullptr);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(slider->Position(), 7);
  EXPECT_EQ(slider->Parent(), box);
  EXPECT_TRUE(button->Down());
  EXPECT_EQ(meter->Orientation(), TOrientation::voHorizontal);
  EXPECT_EQ(meter->ShaddowColor(), clSilver);
  EXPECT_EQ(meter->Bitmap()->Width(), 169);
  window->Free();
}

TEST_F(ControlsUnitTest, ThumbStripsAndHandCursorAreCompiledIn) {
  for (const char* name : {"LUTB_HORI", "LUTB_VERT"}) {
    TBitmap* strip = Create<TBitmap>();
    strip->LoadFromResourceName(name);
    EXPECT_FALSE(strip->Empty()) << name;
    // The transparent key is the bottom-left pixel, fuchsia.
    EXPECT_EQ(strip->TransparentColor(), clFuchsia) << name;
    strip->Free();
  }
  EXPECT_NE(FindResource(TResourceKind::Cursor, "LUCURSORHANDPOINT"), nullptr);
  EXPECT_NE(Screen->Cursors(99), HCURSOR{});
}

}  // namespace
