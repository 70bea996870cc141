// The scrolling text's step routine (called directly, as its thread would
// on the main thread), its text layout and its hint pause.
#include "support/controls/KiScrollText.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/forms/Forms.h"

namespace {

class KiScrollTextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!FormsUnit.Initialized())
      FormsUnit.Initialize();
    Application->Initialize();
  }
  void SetUp() override {
    Application->HintPause = 500;
    scroll_ = Create<TKiScrollText>(nullptr);  // 200 x 150, no lines
  }
  void TearDown() override {
    if (scroll_ != nullptr)
      scroll_->Free();
  }
  // The moves of `steps` steps.
  std::vector<int> Moves(int steps) {
    std::vector<int> moves;
    for (int i = 0; i < steps; ++i) {
      const int before = scroll_->Position();
      scroll_->ScrollStep(nullptr);
      moves.push_back(scroll_->Position() - before);
    }
    return moves;
  }
  TKiScrollText* scroll_ = nullptr;
};

TEST_F(KiScrollTextTest, PauseSlowsDownToAStopAndClearsActive) {
  // Leftwards, with an inner text wide enough that no step wraps.
  scroll_->SetScrollDirection(drFromLeft);
  scroll_->Text()->SetWidth(1000);
  scroll_->SetScrollPixels(3);
  scroll_->SetActive(true);
  scroll_->Pause();
  EXPECT_EQ(Moves(3), (std::vector<int>{-3, -2, -1}));
  EXPECT_TRUE(scroll_->Active());
  // The next step only stops (clearing Active lays the text out again,
  // which resets the position).
  scroll_->ScrollStep(nullptr);
  EXPECT_FALSE(scroll_->Active());
}

TEST_F(KiScrollTextTest, UnpauseSpeedsUpFromRest) {
  scroll_->SetScrollDirection(drFromLeft);
  scroll_->Text()->SetWidth(1000);
  scroll_->SetScrollPixels(3);
  EXPECT_FALSE(scroll_->Active());
  scroll_->Unpause();
  EXPECT_TRUE(scroll_->Active());
  EXPECT_EQ(Moves(6), (std::vector<int>{0, -1, -2, -3, -3, -3}));
}

TEST_F(KiScrollTextTest, EachDirectionMovesAndWraps) {
  // Without lines the inner text is as large as the control: 200 x 150.
  struct WrapCase {
    TKiScrollTextDirection direction;
    int start;        // after Reset
    int afterStep;    // one step of 2 pixels
    int afterWrap;    // the next step wraps
    bool horizontal;  // the position is the inner text's left edge
  };
  const WrapCase cases[] = {
      {drFromLeft, -200, -202, 200, true},  // leftwards
      {drFromRight, 200, 202, -200, true},  // rightwards
      {drFromTop, 150, 152, -150, false},   // downwards
      {drFromBottom, -150, -152, 150, false},
  };
  scroll_->SetScrollPixels(2);
  for (const WrapCase& c : cases) {
    SCOPED_TRACE(c.direction);
    scroll_->SetScrollDirection(c.direction);
    EXPECT_EQ(scroll_->Position(), c.start);
    scroll_->ScrollStep(nullptr);
    EXPECT_EQ(scroll_->Position(), c.afterStep);
    scroll_->ScrollStep(nullptr);
    EXPECT_EQ(scroll_->Position(), c.afterWrap);
    const int edge = c.horizontal ? scroll_->Text()->Left() : scroll_->Text()->Top();
    EXPECT_EQ(edge, c.afterWrap) << "the inner text follows the position";
  }
}

TEST_F(KiScrollTextTest, TextHeightRule) {
  TCanvas measure;
  measure.Font()->Assign(scroll_->Text()->Font());
  std::string wide = "W";  // wider than the control, narrower than twice: two rows
  while (measure.TextWidth(wide) <= 200)
    wide += 'W';
  ASSERT_LT(measure.TextWidth(wide), 400);
  TStringList lines;
  lines.Add("Merci");
  lines.Add("");
  lines.Add(wide);
  scroll_->SetBounds(0, 0, 200, 10);
  scroll_->SetItems(&lines);
  const int expected = measure.TextHeight("Merci") + KiFontHeight(scroll_->Text()->Font()) +
                       measure.TextHeight(wide) * 2;
  EXPECT_EQ(scroll_->Text()->Height(), expected) << "a longer text keeps its full height";
  scroll_->SetBounds(0, 0, 200, 400);
  scroll_->SetItems(&lines);
  EXPECT_EQ(scroll_->Text()->Height(), 400) << "a shorter one is stretched to the control";
  TStringList none;
  scroll_->SetItems(&none);
  EXPECT_EQ(scroll_->Text()->Height(), 400);
}

TEST_F(KiScrollTextTest, DelaySetsTheHintPauseAndDestructionRestoresIt) {
  struct DelayCase {
    uint32_t delay;
    int hintPause;
  };
  const DelayCase cases[] = {{5, 4}, {0, 1}, {10, 9}, {11, 1}, {100, 90}, {500, 490}, {600, 500}};
  for (const DelayCase& c : cases) {
    scroll_->SetDelay(c.delay);
    EXPECT_EQ(Application->HintPause, c.hintPause) << c.delay;
  }
  scroll_->SetDelay(100);
  FreeAndNil(scroll_);
  EXPECT_EQ(Application->HintPause, 500);
}

TEST_F(KiScrollTextTest, ItemsTextKeepsOneLinePerBreak) {
  scroll_->SetItemsText("un\n\ntrois");
  ASSERT_EQ(scroll_->Items()->Count(), 3);
  EXPECT_EQ(scroll_->Items()->Strings(1), "");
  EXPECT_EQ(scroll_->ItemsText(), "un\n\ntrois");
}

}  // namespace
