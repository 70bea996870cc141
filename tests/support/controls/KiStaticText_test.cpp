// The static text: its text flags, its sizing once its window exists, and
// the hot-track font rule.
#include "support/controls/KiStaticText.h"

#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "support/SupportUnits.h"

namespace {

class KiStaticTextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!FormsUnit.Initialized())
      FormsUnit.Initialize();
    Application->Initialize();
  }
};

TEST_F(KiStaticTextTest, TextFlags) {
  const TAlignment alignments[] = {taLeftJustify, taRightJustify, taCenter};
  const TTextLayout layouts[] = {tlTop, tlCenter, tlBottom};
  auto* text = Create<TKiStaticText>(nullptr);
  for (TAlignment alignment : alignments) {
    for (TBiDiMode bidi : {bdLeftToRight, bdRightToLeft}) {
      for (TTextLayout layout : layouts) {
        for (bool accel : {true, false}) {
          for (bool wrap : {false, true}) {
            text->SetAlignment(alignment);
            text->SetBiDiMode(bidi);
            text->SetLayout(layout);
            text->SetShowAccelChar(accel);
            text->SetWordWrap(wrap);
            // Right-to-left reading swaps left and right; centre stays.
            UINT horizontal = alignment == taCenter                                     ? DT_CENTER
                              : (alignment == taLeftJustify) == (bidi == bdLeftToRight) ? DT_LEFT
                                                                                        : DT_RIGHT;
            UINT expected = horizontal | DT_EXPANDTABS;
            expected |= layout == tlCenter ? DT_VCENTER : layout == tlBottom ? DT_BOTTOM : 0;
            expected |= accel ? 0 : DT_NOPREFIX;
            expected |= wrap ? DT_WORDBREAK : 0;
            EXPECT_EQ(text->GetTextFlags(), expected)
                << alignment << " " << bidi << " " << layout << " " << accel << " " << wrap;
          }
        }
      }
    }
  }
  text->Free();
}

TEST_F(KiStaticTextTest, ANewControlSizesToItsCaptionOnceItsWindowExists) {
  TForm* form = Create<TForm>(nullptr);
  form->SetBounds(0, 0, 300, 200);
  form->Show();
  auto* text = Create<TKiStaticText>(form);
  EXPECT_EQ(text->Width(), 65);
  EXPECT_EQ(text->Height(), 17);
  text->SetCaption("Une légende assez longue");
  EXPECT_EQ(text->Width(), 65) << "no window yet: the size stays";
  EXPECT_EQ(text->Height(), 17);
  text->SetParent(form);
  ASSERT_NE(text->Widget(), nullptr);
  TCanvas measure;
  measure.Font()->Assign(text->Font());
  const TSize extent = measure.TextExtent("Une légende assez longue");
  EXPECT_EQ(text->Width(), extent.cx + 4);
  EXPECT_EQ(text->Height(), extent.cy + 4);
  text->SetCaption("Court");
  EXPECT_EQ(text->Width(), measure.TextWidth("Court") + 4) << "a text change sizes again";
  form->Free();
}

TEST_F(KiStaticTextTest, HotTrackFontRule) {
  struct RuleCase {
    const char* name;
    TKiTrackFontOptions options;
    bool color, height, name_, pitch, style;  // taken from the font
  };
  const TKiTrackFontOptions follow = TrackFontOptionBit(hoFollowFont);
  const RuleCase cases[] = {
      {"not following: nothing", TrackFontOptionBit(hoPreserveColor), false, false, false, false,
       false},
      {"following: everything", follow, true, true, true, true, true},
      {"keeping colour and pitch", kDefaultHotTrackFontOptions, false, true, true, false, true},
      {"keeping height, name and style",
       static_cast<TKiTrackFontOptions>(
           follow | TrackFontOptionBit(hoPreserveHeight) | TrackFontOptionBit(hoPreserveName) |
           TrackFontOptionBit(hoPreserveStyle) | TrackFontOptionBit(hoPreserveCharSet)),
       true, false, false, true, false},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFont font;
    font.SetColor(clRed);
    font.SetHeight(-20);
    font.SetName("Arial");
    font.SetPitch(fpFixed);
    font.SetStyle(FontStyleBit(fsBold));
    TFont hot;
    KiHandleHotTrackFont(&hot, &font, c.options);
    const TFont fresh;
    EXPECT_EQ(hot.Color(), c.color ? font.Color() : fresh.Color());
    EXPECT_EQ(hot.Height(), c.height ? font.Height() : fresh.Height());
    EXPECT_EQ(hot.Name(), c.name_ ? font.Name() : fresh.Name());
    EXPECT_EQ(hot.Pitch(), c.pitch ? font.Pitch() : fresh.Pitch());
    EXPECT_EQ(hot.Style(), c.style ? font.Style() : fresh.Style());
  }
  // The control applies the rule when its font changes.
  auto* text = Create<TKiStaticText>(nullptr);
  text->SetHotTrackFontOptions(follow);
  text->Font()->SetName("Arial");
  EXPECT_EQ(text->HotTrackFont()->Name(), "Arial");
  text->Free();
}

TEST_F(KiStaticTextTest, AcceleratorOfACaption) {
  EXPECT_EQ(AcceleratorOf("&Fichier"), 'F');
  EXPECT_EQ(AcceleratorOf("A && B &c"), 'c');
  EXPECT_EQ(AcceleratorOf("Sans"), 0);
  EXPECT_EQ(AcceleratorOf("fin&"), 0);
}

}  // namespace
