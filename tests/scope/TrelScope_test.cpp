// The scope control on its main road: intake through the input pins and the
// update cycle, holding, the axes' ranges with auto-scaling, the X axis's
// values and captions, label texts, the trace pixels of the off-screen
// picture, the channel hit test and the hover decoration.
#include "scope/TrelScope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "scope/TrelAxisRules.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

using scopetest::ScopeFixture;

std::vector<double> Constant(double v, int n) {
  return std::vector<double>(static_cast<std::size_t>(n), v);
}

// --------------------------------------------------------------------------
// Intake and update cycle

class TrelScopeIntakeTest : public ScopeFixture {};

TEST_F(TrelScopeIntakeTest, StartsSetTheChannelRateAndKindAtTheNextUpdate) {
  struct Case {
    const char* name;
    IPtr<IVekNotifyOperation> start;
    double rate;
    bool spectrum;
  };
  const Case cases[] = {
      {"sample-rate start (44100, 128) gives 44100",
       NewOperation<TVekStartSampleRateOperation>(44100.0, 128), 44100.0, false},
      {"spectrum start gives its sample rate",
       NewOperation<TVekStartSpectrumOperation>(44100.0, 128), 44100.0, true},
      {"plain start-rate gives its rate", NewOperation<TVekStartRateOperation>(8000.0f), 8000.0,
       false},
      {"bare start gives 10000", NewOperation<TVekStartOperation>(), 10000.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    producer_->Send(0, {1, 2, 3});
    scope_->UpdateData();
    ASSERT_EQ(Channel(0)->DisplayedY()->GetCount(), 3);
    producer_->Start(0, c.start);
    // Nothing of the start reaches the display before the main thread's
    // update.
    EXPECT_EQ(Channel(0)->DisplayedY()->GetCount(), 3);
    scope_->UpdateData();
    EXPECT_EQ(Channel(0)->SampleRate(), c.rate);
    EXPECT_EQ(Channel(0)->IsSpectrum(), c.spectrum);
    EXPECT_EQ(scope_->GetSampleRate(), c.rate);
    EXPECT_EQ(scope_->HasSpectrumChannel(), c.spectrum);
    EXPECT_EQ(Channel(0)->DisplayedY()->GetCount(), 0);
  }
}

TEST_F(TrelScopeIntakeTest, AStartTakenAfterItsSamplesWereCommittedKeepsThemShown) {
  // The channel's own commit stands for an update whose look for starts
  // ran before the producer's start and block arrived and whose commit ran
  // after: the next update takes the start and must still show the block.
  struct Case {
    const char* name;
    bool throughHold;
  };
  const Case cases[] = {{"plain update", false}, {"hold, then release", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    producer_->Start(0, NewOperation<TVekStartSampleRateOperation>(44100.0, 0));
    producer_->Send(0, {4, 5, 6});
    Channel(0)->CommitData();
    ASSERT_EQ(Channel(0)->DisplayedY()->GetCount(), 3);
    if (c.throughHold) {
      // The start is applied while held; the block waits for the release.
      scope_->SetHold(true);
      EXPECT_EQ(Channel(0)->SampleRate(), 44100.0);
      EXPECT_EQ(Channel(0)->DisplayedY()->GetCount(), 0);
      scope_->SetHold(false);
    } else {
      scope_->UpdateData();
      EXPECT_EQ(Channel(0)->SampleRate(), 44100.0);
    }
    ITrelRealBuffer* y = Channel(0)->DisplayedY();
    ASSERT_EQ(y->GetCount(), 3);
    EXPECT_EQ(y->GetValue(2), 6.0);
    EXPECT_FALSE(Channel(0)->HasChangedData());
    // A bare start empties the channel for the next case.
    producer_->Start(0, NewOperation<TVekStartOperation>());
    scope_->UpdateData();
  }
}

TEST_F(TrelScopeIntakeTest, UpdateCommitsChangedChannelsAndHandsTheSampleCountToTheXAxis) {
  EXPECT_EQ(scope_->GetSampleRate(), 10000.0);  // no rate yet
  producer_->Send(0, Constant(1.0, 100));
  producer_->Send(1, Constant(2.0, 300));
  EXPECT_TRUE(scope_->UpdateData());
  EXPECT_EQ(Channel(0)->DisplayedY()->GetCount(), 100);
  EXPECT_EQ(Channel(1)->DisplayedY()->GetCount(), 300);
  EXPECT_EQ(scope_->GetXAxis()->SampleCount(), 300);
  EXPECT_EQ(scope_->GetSampleStart(), 0.0);
  EXPECT_EQ(scope_->GetSampleEnd(), 299.0);
  // A hidden channel's count does not count.
  Channel(1)->SetVisible(false);
  scope_->UpdateData();
  EXPECT_EQ(scope_->GetXAxis()->SampleCount(), 100);
}

TEST_F(TrelScopeIntakeTest, WhileHeldDataArrivesButThePictureStaysAndReleasingCommitsAtOnce) {
  HideViews();
  FixScales(1024, -10000, 10000);
  scope_->SetBounds(0, 0, 377, 329);
  producer_->Send(0, Constant(5000.0, 1024));
  Refresh();
  scope_->SetHold(true);
  producer_->Send(0, Constant(-5000.0, 1024));
  EXPECT_EQ(Channel(0)->Data()->IncomingYValues().front(), -5000.0);
  EXPECT_FALSE(scope_->UpdateData());
  EXPECT_EQ(Channel(0)->DisplayedY()->GetValue(0), 5000.0);
  scope_->SetHold(false);
  EXPECT_EQ(Channel(0)->DisplayedY()->GetValue(0), -5000.0);
}

TEST_F(TrelScopeIntakeTest, ALowerSizeLimitCutsTheWaitingSamplesToTheNewest) {
  producer_->Send(0, {1, 2, 3, 4, 5, 6});
  scope_->SetSizeLimit(4);
  EXPECT_EQ(Channel(0)->Data()->IncomingYValues(), (std::vector<double>{3, 4, 5, 6}));
  EXPECT_EQ(Channel(0)->Data()->IncomingXValues(), (std::vector<double>{0, 1, 2, 3}));
  producer_->Send(0, {7, 8});
  EXPECT_EQ(Channel(0)->Data()->IncomingYValues(), (std::vector<double>{5, 6, 7, 8}));
}

TEST_F(TrelScopeIntakeTest, OnlyARealResizeAsksForANewLayout) {
  scope_->SetBounds(0, 0, 300, 200);
  scope_->PaintTo();
  ASSERT_FALSE(scope_->FullRedrawPending());
  scope_->SetBounds(10, 20, 300, 200);  // moved, same size
  EXPECT_FALSE(scope_->FullRedrawPending());
  scope_->SetBounds(10, 20, 301, 200);
  EXPECT_TRUE(scope_->FullRedrawPending());
}

TEST_F(TrelScopeIntakeTest, AFreedChannelUnderTheMouseIsForgotten) {
  scope_->SetBounds(0, 0, 377, 329);
  FixScales(1024, -10000, 10000);
  producer_->Send(1, Constant(0.0, 1024));
  Refresh();
  scope_->MouseMove(0, 100, Channel(1)->PixelY()->GetValue(0));
  ASSERT_EQ(scope_->GetDataView()->HighlightedItem(), Channel(1));
  Channel(1)->Free();
  EXPECT_EQ(scope_->GetDataView()->HighlightedItem(), nullptr);
  scope_->PaintTo();
}

TEST_F(TrelScopeIntakeTest, NewChannelsTakeTheLeastUsedPaletteColourAndTheirPins) {
  EXPECT_EQ(Channel(0)->GetColor(), clRed);
  EXPECT_EQ(Channel(1)->GetColor(), clLime);
  TTrelScopeChannel* third = scope_->GetChannels()->Add();
  EXPECT_EQ(third->GetColor(), clBlue);
  EXPECT_EQ(third->GetName(), "Channel2");
  EXPECT_EQ(scope_->GetInputPins()->GetCount(), 3);
  EXPECT_EQ(scope_->GetInputPins()->GetPinName(2), "Channel2");
  third->Free();
  EXPECT_EQ(scope_->GetInputPins()->GetCount(), 2);
}

// --------------------------------------------------------------------------
// Y axis ranges and auto-scaling

class TrelScopeAutoScalingTest : public ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    Channel(1)->SetVisible(false);
  }
  // One update cycle with `block` on channel 0.
  void Cycle(const std::vector<double>& block) {
    producer_->Send(0, block);
    scope_->UpdateData();
  }
  TTrelScopeYAxis* Y() { return scope_->GetYAxis(); }
};

TEST_F(TrelScopeAutoScalingTest, RangesFollowTheRules) {
  // Constant 0.3: the extent is widened by 0.5 each way.
  Cycle(Constant(0.3, 64));
  EXPECT_DOUBLE_EQ(Y()->DataMin(), -0.2);
  EXPECT_DOUBLE_EQ(Y()->DataMax(), 0.8);
  for (int i = 0; i < 25; ++i)
    Cycle(Constant(0.3, 64));
  // 20 % of the span split over both ends.
  EXPECT_NEAR(Y()->RangeMin(), -0.3, 1e-12);
  EXPECT_NEAR(Y()->RangeMax(), 0.9, 1e-12);
}

TEST_F(TrelScopeAutoScalingTest, WithoutDataTheRangeIsMinMaxWithoutMargin) {
  Y()->SetMin(0.0);
  EXPECT_DOUBLE_EQ(Y()->GetDataMin(), -0.5);  // equal to the unchanged Hi of 0.0
  Y()->SetMin(-1000.0);
  Y()->SetMax(1000.0);
  EXPECT_DOUBLE_EQ(Y()->RangeMin(), -1000.0);
  EXPECT_DOUBLE_EQ(Y()->RangeMax(), 1000.0);
}

TEST_F(TrelScopeAutoScalingTest, AFallingPeakWaitsForTheHistoryARisingOneIsTakenAtOnce) {
  std::vector<double> high = Constant(0.0, 64);
  high[10] = 1.0;
  std::vector<double> low = Constant(0.0, 64);
  low[10] = 0.5;
  for (int i = 0; i < 20; ++i)
    Cycle(high);
  const double withHigh = Y()->RangeMax();
  EXPECT_NEAR(withHigh, 1.1, 1e-12);  // 1.0 + 20 % of (1.0 - 0.0) / 2
  for (int i = 0; i < 20; ++i) {
    Cycle(low);
    EXPECT_EQ(Y()->RangeMax(), withHigh) << "cycle " << i;  // the ring still holds 1.0
  }
  Cycle(low);
  EXPECT_NEAR(Y()->RangeMax(), 0.55, 1e-12);  // forgotten: the fall exceeds the threshold
  // A rise: the update that brings it computes the range before recording
  // it, so the next cycle widens the range, in one step.
  Cycle(high);
  Cycle(high);
  EXPECT_NEAR(Y()->RangeMax(), 1.1, 1e-12);
}

TEST_F(TrelScopeAutoScalingTest, HistoryEdgeCases) {
  // No history: the current extent plus the margins.
  Y()->GetAutoScaling()->SetMaxHistory(0);
  Cycle({0.0, 2.0});
  EXPECT_NEAR(Y()->RangeMin(), -0.2, 1e-12);
  EXPECT_NEAR(Y()->RangeMax(), 2.2, 1e-12);
  // A new history size restarts the ring: nothing stale is read.
  Y()->GetAutoScaling()->SetMaxHistory(5);
  EXPECT_EQ(Y()->HistoryFilled(), 0);
  Cycle({0.0, 1.0});
  EXPECT_EQ(Y()->HistoryFilled(), 1);
  EXPECT_NEAR(Y()->RangeMax(), 1.1, 1e-12);
  // A stop restarts it too, at the next update.
  producer_->Output(0)->SendStop();
  scope_->UpdateData();
  EXPECT_EQ(Y()->HistoryFilled(), 0);
  // Non-finite samples give the fixed fall-back extent.
  Cycle({std::nan(""), std::numeric_limits<double>::infinity()});
  EXPECT_TRUE(std::isfinite(Y()->RangeMin()));
  EXPECT_TRUE(std::isfinite(Y()->RangeMax()));
}

TEST_F(TrelScopeAutoScalingTest, TheExtentFollowsAZoomOfTheXAxisAtTheNextPaint) {
  // Samples 0..31 at 1.0, 32..63 at 5.0: the extent over all is 1 .. 5.
  std::vector<double> block = Constant(1.0, 64);
  std::fill(block.begin() + 32, block.end(), 5.0);
  Cycle(block);
  scope_->SetBounds(0, 0, 400, 300);
  scope_->PaintTo();
  EXPECT_DOUBLE_EQ(Y()->DataMin(), 1.0);
  EXPECT_DOUBLE_EQ(Y()->DataMax(), 5.0);
  // The X window over the second half only (no update brings data): the
  // extent there is the constant 5.0, widened by 0.5 each way.
  scope_->GetXAxis()->SetZoomWindow(false, 40.0, 63.0);
  scope_->PaintTo();
  EXPECT_DOUBLE_EQ(Y()->DataMin(), 4.5);
  EXPECT_DOUBLE_EQ(Y()->DataMax(), 5.5);
}

TEST_F(TrelScopeAutoScalingTest, AStoredRangeWithMinEqualToMaxLoadsSymmetric) {
  struct Case {
    double stored, min, max;
  };
  for (const Case& c : {Case{5.0, -5.0, 5.0}, Case{0.0, 0.0, 0.0}}) {
    Y()->SetMin(c.stored);
    Y()->SetMax(c.stored);
    scope_->Loaded();
    EXPECT_EQ(Y()->GetMin(), c.min);
    EXPECT_EQ(Y()->GetMax(), c.max);
  }
}

// --------------------------------------------------------------------------
// X axis

class TrelScopeXAxisTest : public ScopeFixture {
 protected:
  TTrelScopeXAxis* X() { return scope_->GetXAxis(); }
};

TEST_F(TrelScopeXAxisTest, CaptionsFollowTheStreamAndTheUnitScale) {
  struct Case {
    const char* name;
    TTrelDisplayAxisTicksMode mode;
    bool spectrum;
    int samples;
    bool autoUnit;
    int exponent;
    const char* caption;
  };
  const Case cases[] = {
      {"spectrum at 44100", atmAuto, true, 1024, true, 0, "kHz"},
      {"1024 samples of time", atmTime, false, 1024, true, 0, "mSec"},
      {"two seconds of time", atmTime, false, 88200, true, 0, "Sec"},
      {"fixed exponent 12", atmTime, false, 1024, false, 12, "Sec (E-12)"},
      {"plain samples", atmAuto, false, 1024, true, 0, "Samples"},
      {"manual", atmManual, false, 1024, true, 0, "X Axis"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    X()->SetTicksMode(c.mode);
    X()->GetUnitScale()->SetAutoScale(c.autoUnit);
    X()->GetUnitScale()->SetExponent(c.exponent);
    IPtr<IVekNotifyOperation> start = c.spectrum
                                          ? NewOperation<TVekStartSpectrumOperation>(44100.0, 128)
                                          : NewOperation<TVekStartSampleRateOperation>(44100.0, 0);
    producer_->Start(0, start);
    producer_->Start(1, start);
    producer_->Send(0, Constant(1.0, c.samples));
    scope_->UpdateData();
    EXPECT_EQ(X()->GetTitle(), c.caption);
  }
}

TEST_F(TrelScopeXAxisTest, RangesFromTheAxisValues) {
  // No data, sample count 1: 0 .. 1024 from the values.
  X()->GetMaxSample()->SetAutosize(false);
  X()->GetMaxSample()->SetValue(1);
  scope_->UpdateData();
  ASSERT_EQ(X()->SampleCount(), 1);
  EXPECT_DOUBLE_EQ(X()->DataMin(), 0.0);
  EXPECT_DOUBLE_EQ(X()->DataMax(), 1024.0);
  // A count of 0 with Autosize becomes 1024: the sample end is 1023.
  X()->GetMaxSample()->SetAutosize(true);
  scope_->UpdateData();
  EXPECT_EQ(X()->SampleCount(), 1024);
  EXPECT_DOUBLE_EQ(X()->DataMax(), 1023.0);
  // mamOffset: Min + Max.
  X()->GetMax()->SetAutoScale(false);
  X()->GetMin()->SetAutoScale(false);
  X()->GetMax()->SetMode(mamOffset);
  X()->GetMin()->SetValue(100.0);
  X()->GetMax()->SetValue(50.0);
  EXPECT_DOUBLE_EQ(X()->DataMax(), 150.0);
  EXPECT_DOUBLE_EQ(X()->RangeMin(), 100.0);
  // Autosize off: the sample count is MaxSample's at the next update.
  X()->GetMaxSample()->SetAutosize(false);
  X()->GetMaxSample()->SetValue(2048);
  producer_->Send(0, Constant(1.0, 100));
  scope_->UpdateData();
  EXPECT_EQ(X()->SampleCount(), 2048);
  // Frequency: 0 .. rate / 2 in the unit scale.
  X()->GetMax()->SetAutoScale(true);
  X()->GetMin()->SetAutoScale(true);
  X()->GetMaxSample()->SetAutosize(true);
  producer_->Start(0, NewOperation<TVekStartSpectrumOperation>(44100.0, 128));
  producer_->Send(0, Constant(1.0, 128));
  scope_->UpdateData();
  EXPECT_DOUBLE_EQ(X()->DataMin(), 0.0);
  EXPECT_DOUBLE_EQ(X()->DataMax(), 22.05);  // kHz
}

TEST_F(TrelScopeXAxisTest, SampleWindowAndConversionsGuardEmptyRanges) {
  X()->GetMax()->SetAutoScale(false);
  X()->GetMin()->SetAutoScale(false);
  X()->GetMin()->SetValue(5.0);
  X()->GetMax()->SetValue(5.0);  // Max not above Min: an empty value range
  EXPECT_EQ(X()->GetFirstSample(), X()->GetFirstSample());
  EXPECT_TRUE(std::isfinite(X()->SamplesToAxis(10.0)));
  EXPECT_TRUE(std::isfinite(X()->AxisToSamples(10.0)));
  EXPECT_EQ(X()->GetFirstSample(), 0);  // an empty window, no division by zero
  EXPECT_EQ(X()->GetLastSample(), 0);
}

// --------------------------------------------------------------------------
// Labels

TEST_F(ScopeFixture, LabelMacrosUseTheAxesFormatters) {
  FixScales(1024, -10000, 10000);
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"", "12 : -2500"},       {"%y V", "-2500 V"}, {"%%%X", "%12"},
      {"[%D]", "[12 : -2500]"}, {"%Q%", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(scope_->FormatLabel(c.text, "%X : %Y", 12.0, -2500.0), c.expected) << c.text;
  EXPECT_EQ(scope_->FormatValueLabel("", "%V %D%%", "3.5"), "3.5 %");
}

TEST_F(ScopeFixture, AxisLabelsOfTheYRange) {
  FixScales(1024, -1000, 1000);
  TTrelScopeYAxis* y = scope_->GetYAxis();
  EXPECT_EQ(y->FormatLabel(-500.0), "-500");
  y->SetMin(0.0);
  y->SetMax(0.5);
  EXPECT_EQ(y->FormatLabel(0.25), "0.250");
  y->SetMax(10.0);
  EXPECT_EQ(y->FormatLabel(2.5), "2.5");
  // A NaN range still formats and its tick walk ends.
  y->SetMax(std::nan(""));
  EXPECT_FALSE(y->FormatLabel(1.0).empty());
  HideViews();
  scope_->SetBounds(0, 0, 200, 200);
  scope_->PaintTo();
}

// --------------------------------------------------------------------------
// Trace pixels on the off-screen picture

class TrelScopeTraceTest : public ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    BarePlot(377, 329, 1024, -10000, 10000);
  }
  // The row the Y mapping gives a value: RangeMax at top + 1 (1), RangeMin
  // at bottom - 1 (328) of the data view (0, 0, 377, 329), linear in between.
  static double RowOf(double v) { return 328.0 - (v + 10000.0) / 20000.0 * 327.0; }
  // The column of sample i: X RangeMin at the left (0), 1024 at the right
  // edge - 1 (376).
  static double ColumnOf(double i) { return i * 376.0 / 1024.0; }
  int CountColour(TColor colour) {
    int n = 0;
    for (int y = 0; y < 329; ++y)
      for (int x = 0; x < 377; ++x)
        n += PixelAt(x, y) == colour;
    return n;
  }
};

TEST_F(TrelScopeTraceTest, TracesLieOnTheRowsOfTheMapping) {
  producer_->Send(0, Constant(5000.0, 1024));
  producer_->Send(1, Constant(-5000.0, 1024));
  Refresh();
  for (int x : {5, 100, 250, 370}) {
    SCOPED_TRACE(x);
    bool red = false, lime = false;
    for (int dy = -1; dy <= 1; ++dy) {
      red |= PixelAt(x, static_cast<int>(std::lround(RowOf(5000.0))) + dy) == clRed;
      lime |= PixelAt(x, static_cast<int>(std::lround(RowOf(-5000.0))) + dy) == clLime;
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(lime);
  }
  EXPECT_EQ(PixelAt(200, 164), clBlack);  // nothing between them
  // A ramp: sample i on its column and row.
  std::vector<double> ramp(1024);
  for (int i = 0; i < 1024; ++i)
    ramp[static_cast<std::size_t>(i)] = -10000.0 + i * 20000.0 / 1024.0;
  producer_->Send(0, ramp);
  Refresh();
  for (int i : {0, 256, 700, 1000}) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(Channel(0)->PixelX()->GetValue(i), ColumnOf(i), 1.0);
    EXPECT_NEAR(Channel(0)->PixelY()->GetValue(i), RowOf(ramp[static_cast<std::size_t>(i)]), 1.0);
  }
}

TEST_F(TrelScopeTraceTest, EdgeCases) {
  // One sample in cmLine: only its pixel.
  Channel(1)->SetVisible(false);
  producer_->Send(0, {0.0});
  Refresh();
  EXPECT_EQ(CountColour(clRed), 1);
  EXPECT_NEAR(Channel(0)->PixelY()->GetValue(0), RowOf(0.0), 1.0);
  EXPECT_EQ(PixelAt(0, Channel(0)->PixelY()->GetValue(0)), clRed);

  // Gap markers with a scale of 2 pass unscaled and are clamped below.
  scope_->GetYAxis()->SetMin(0.0);
  scope_->GetYAxis()->SetMax(163.5);  // 327 pixel steps / 163.5 = 2 per unit
  producer_->Send(0, {1.7e308, -1.7e308, 10.0});
  Refresh();
  EXPECT_LT(Channel(0)->PixelY()->GetValue(0), -1000000000);
  EXPECT_EQ(Channel(0)->PixelY()->GetValue(1), 10000000);
  EXPECT_EQ(Channel(0)->PixelY()->GetValue(2), 328 - 20);

  // An empty channel draws nothing and is never hit.
  producer_->Start(0, NewOperation<TVekStartOperation>());
  Refresh();
  EXPECT_EQ(CountColour(clRed), 0);
  TPoint p;
  double f = 0.0;
  int b = 0, e = 0;
  EXPECT_EQ(Channel(0)->GetHitDistance(10, 10, p, f, b, e), 10000.0);
}

TEST_F(TrelScopeTraceTest, HitTestTakesTheNearerTraceAndTheHigherIndexOnATie) {
  producer_->Send(0, Constant(5000.0, 1024));
  producer_->Send(1, Constant(5000.0, 1024));
  Refresh();
  const int row = Channel(0)->PixelY()->GetValue(500);
  int channel = -1, begin = 0, end = 0;
  TPoint hit;
  double fraction = 0.0;
  TTrelScopeChannels* channels = scope_->GetChannels();
  ASSERT_TRUE(channels->HitTest(200, row, channel, hit, fraction, begin, end));
  EXPECT_EQ(channel, 1);  // both at distance 0
  EXPECT_EQ(hit.Y, row);
  EXPECT_EQ(end, begin + 1);
  // Pen width 1 counts half a pixel (rounded up): 3 pixels off is 2.0, a
  // hit; 4 pixels off is 3.0, a miss.
  EXPECT_TRUE(channels->HitTest(200, row + 3, channel, hit, fraction, begin, end));
  EXPECT_FALSE(channels->HitTest(200, row + 4, channel, hit, fraction, begin, end));
}

class TrelScopeHoverTest : public TrelScopeTraceTest {
 protected:
  void SetUp() override {
    TrelScopeTraceTest::SetUp();
    scope_->OnLeaveChannel = TNotifyEvent(this, &TrelScopeHoverTest::Left);
    Channel(1)->SetVisible(false);
    producer_->Send(0, Constant(5000.0, 1024));
    Refresh();
    row_ = Channel(0)->PixelY()->GetValue(0);
  }
  void Left(TObject*) { ++leaves_; }
  // White label pixels in the columns [from, to).
  int LabelPixels(int from, int to) {
    int n = 0;
    for (int y = row_ - 30; y < row_ + 30; ++y)
      for (int x = from; x < to; ++x)
        n += PixelAt(x, y) == clWhite;
    return n;
  }
  int row_ = 0;
  int leaves_ = 0;
};

TEST_F(TrelScopeHoverTest, APointerNearATraceShowsTheHitPointAndItsLabel) {
  scope_->MouseMove(0, 100, row_ + 2);
  EXPECT_EQ(scope_->GetDataView()->HighlightedItem(), Channel(0));
  scope_->PaintTo();
  EXPECT_EQ(scope_->GetDataView()->HitPoint().Y, row_);
  // The box from (x - 2, y - 2) to (x + 3, y + 3) in the channel's colour.
  EXPECT_EQ(PixelAt(98, row_ - 2), clRed);
  EXPECT_EQ(PixelAt(102, row_ + 2), clRed);
  EXPECT_NE(scope_->FormatHitPointLabel().find(" : 5000"), std::string::npos);
  EXPECT_GT(LabelPixels(104, 200), 0);  // right of the point
  EXPECT_EQ(LabelPixels(0, 98), 0);

  // Near the right edge the label flips to the left of the point.
  scope_->MouseMove(0, 360, row_ + 1);
  scope_->PaintTo();
  EXPECT_EQ(LabelPixels(362, 377), 0);
  EXPECT_GT(LabelPixels(250, 358), 0);
}

TEST_F(TrelScopeHoverTest, LeavingTheTraceFiresOnLeaveChannelOnce) {
  scope_->MouseMove(0, 100, row_ + 1);
  ASSERT_EQ(scope_->GetDataView()->HighlightedItem(), Channel(0));
  scope_->MouseMove(0, 100, row_ + 40);  // away from the trace
  EXPECT_EQ(scope_->GetDataView()->HighlightedItem(), nullptr);
  EXPECT_EQ(leaves_, 1);
  scope_->MouseLeave();
  EXPECT_EQ(leaves_, 1);
  scope_->MouseMove(0, 100, row_);
  scope_->MouseLeave();  // leaving the control over the trace
  EXPECT_EQ(leaves_, 2);
  scope_->PaintTo();
  EXPECT_EQ(LabelPixels(0, 377), 0);
}

}  // namespace

namespace {

// Dragging the axes' strips moves a zoomed range; the X axis stops at the
// data's ends.
class TrelScopeAxisDragTest : public ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    FixScales(1024, -1000, 1000);
    scope_->GetTitle()->SetVisible(false);
    scope_->GetLegend()->SetVisible(false);
    scope_->SetBounds(0, 0, 400, 300);
    scope_->PaintTo();  // lays the views out
  }
  void Drag(TTrelDisplayView* strip, int dx, int dy) {
    const TRect r = strip->Rect();
    const int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
    scope_->MouseMove(0, x, y);
    scope_->MouseDown(mbLeft, 0, x, y);
    scope_->MouseMove(0, x + dx, y + dy);
    scope_->MouseUp(mbLeft, 0, x + dx, y + dy);
  }
};

TEST_F(TrelScopeAxisDragTest, TheXAxisMovesTheZoomWindowAndStopsAtTheData) {
  TTrelScopeXAxis* x = scope_->GetXAxis();
  Drag(x, 50, 0);  // not zoomed: nothing moves
  EXPECT_DOUBLE_EQ(x->RangeMin(), 0.0);
  EXPECT_DOUBLE_EQ(x->RangeMax(), 1024.0);
  x->SetZoomWindow(false, 256.0, 768.0);  // the middle half
  const int width = scope_->GetDataView()->GetWidth();
  ASSERT_EQ(width % 4, 0) << "a quarter of the data view in whole pixels";
  Drag(x, width / 4, 0);
  EXPECT_DOUBLE_EQ(x->RangeMin(), 128.0);  // left by a quarter of the window
  EXPECT_DOUBLE_EQ(x->RangeMax(), 640.0);
  Drag(x, width, 0);
  EXPECT_DOUBLE_EQ(x->RangeMin(), 0.0);  // never past DataMin
  EXPECT_DOUBLE_EQ(x->RangeMax(), 512.0);
}

TEST_F(TrelScopeAxisDragTest, TheYAxisMovesItsWindowOnlyWhileZoomed) {
  TTrelScopeYAxis* y = scope_->GetYAxis();
  Drag(y, 0, 20);
  EXPECT_DOUBLE_EQ(y->RangeMin(), -1000.0);
  y->SetZoomWindow(false, -500.0, 500.0);
  const double height = scope_->GetDataView()->GetHeight();
  Drag(y, 0, 20);  // downwards: the window moves up in value
  const double d = 1000.0 * 20.0 / height;
  EXPECT_NEAR(y->RangeMin(), -500.0 + d, 1e-9);
  EXPECT_NEAR(y->RangeMax(), 500.0 + d, 1e-9);
  y->SetReversed(true);
  Drag(y, 0, 20);  // reversed: back again
  EXPECT_NEAR(y->RangeMin(), -500.0, 1e-9);
}

}  // namespace

namespace {

struct Crossing {
  double at;
  double value;
};

class TrelScopeCrossingTest : public scopetest::ScopeFixture {
 protected:
  std::vector<Crossing> Levels(double level) {
    std::vector<Crossing> out;
    Channel(0)->ForEachLevelCrossing(
        level,
        [&](void*, int, double l, double v, int) {
          out.push_back({l, v});
        },
        nullptr);
    return out;
  }
};

TEST_F(TrelScopeCrossingTest, LevelCrossingsReportTheirSamplePositions) {
  FixScales(2, -10, 10);
  HideViews();
  scope_->SetBounds(0, 0, 200, 100);
  producer_->Send(0, {0.0, 2.0, 0.0});
  Refresh();
  // Rising at position 0.5, falling at 1.5 (X axis units are samples here).
  std::vector<Crossing> got = Levels(1.0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_DOUBLE_EQ(got[0].value, 0.5);
  EXPECT_DOUBLE_EQ(got[1].value, 1.5);
  // A sample exactly at the level reports once, for that sample.
  got = Levels(2.0);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_DOUBLE_EQ(got[0].value, 1.0);
  // A position between samples 0 and 1 gives the interpolated value.
  std::vector<double> values;
  Channel(0)->ForEachPositionCrossing(
      0.25, [&](void*, int, double, double v, int) { values.push_back(v); }, nullptr);
  EXPECT_EQ(values, (std::vector<double>{0.5}));
}

}  // namespace

namespace {

TEST_F(TrelScopeTraceTest, SymbolBoxesAndAnEmptyVisibleRange) {
  // A point a sample's symbol box covers, right and bottom edges excluded.
  Channel(1)->SetVisible(false);
  Channel(0)->SetChannelMode(cmPoint);
  producer_->Send(0, Constant(0.0, 1024));
  Refresh();
  const int px = Channel(0)->PixelX()->GetValue(512);
  const int py = Channel(0)->PixelY()->GetValue(512);
  TPoint hit;
  double fraction = 1.0;
  int begin = 0, end = 0;
  EXPECT_EQ(Channel(0)->GetHitDistance(px + 1, py + 1, hit, fraction, begin, end), 0.0);
  EXPECT_EQ(fraction, 0.0);
  EXPECT_EQ(begin, end);
  EXPECT_EQ(Channel(0)->GetHitDistance(px - 2, py - 2, hit, fraction, begin, end), 0.0);
  // Columns sit about 0.37 pixels apart here, so the only boxes that can
  // reach the row below are the sample's own: its bottom edge is outside.
  EXPECT_EQ(Channel(0)->GetHitDistance(px, py + 2, hit, fraction, begin, end), 10000.0);

  // A visible X range of 5 .. 5 maps as 4 .. 6: sample 4 at the left edge,
  // sample 5 in the middle of a 201-pixel span.
  producer_->Send(0, {0, 0, 0, 0, 0, 0});
  scope_->GetXAxis()->GetMin()->SetAutoScale(true);
  scope_->GetXAxis()->GetMax()->SetAutoScale(true);
  scope_->UpdateData();
  TBitmap* bitmap = Create<TBitmap>();
  bitmap->SetSize(201, 100);
  Channel(0)->DrawChannel(bitmap->Canvas(), {0, 0, 201, 100}, 1.0, 0, false, 5.0, 5.0);
  EXPECT_EQ(Channel(0)->PixelX()->GetValue(4), 0);
  EXPECT_EQ(Channel(0)->PixelX()->GetValue(5), 100);
  bitmap->Free();
}

}  // namespace

namespace {

// The control in its window system's cycle: the refresh timer commits on
// its own, and a paint copies the scene into the control's back buffer.
TEST_F(TrelScopeTraceTest, TheRefreshTimerCommitsAndThePaintCycleShowsTheScene) {
  scope_->SetRefreshInterval(10);
  producer_->Send(0, Constant(5000.0, 1024));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Channel(0)->DisplayedY()->GetCount() == 0 && std::chrono::steady_clock::now() < end) {
    kestrune::MainLoop::Current()->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(Channel(0)->DisplayedY()->GetCount(), 1024);
  TBitmap* surface = Create<TBitmap>();
  surface->SetSize(377, 329);
  PaintControlTo(scope_, surface->Canvas());
  const int row = Channel(0)->PixelY()->GetValue(500);
  EXPECT_EQ(surface->Canvas()->Pixel(Channel(0)->PixelX()->GetValue(500), row), clRed);
  EXPECT_EQ(surface->Canvas()->Pixel(10, 10), clBlack);
  surface->Free();
}

}  // namespace

namespace {

TEST_F(TrelScopeAxisDragTest, VisibleAxesDrawTheirLinesTicksAndLabels) {
  TCanvas* picture = scope_->Picture()->Canvas();
  TTrelScopeYAxis* y = scope_->GetYAxis();
  TTrelScopeXAxis* x = scope_->GetXAxis();
  const TRect data = scope_->GetDataView()->Rect();
  ASSERT_GT(y->Right - y->Left, 20);
  ASSERT_GT(x->Bottom - x->Top, 10);
  EXPECT_EQ(data.Left, y->Right);
  EXPECT_EQ(data.Bottom, x->Top);
  // The axis lines, in the axes' colour (white), beside the data view.
  const int midY = (data.Top + data.Bottom) / 2;
  const int midX = (data.Left + data.Right) / 2;
  EXPECT_EQ(picture->Pixel(y->Right - 5, midY), clWhite);
  EXPECT_EQ(picture->Pixel(midX, x->Top + 5), clWhite);
  // Tick labels left of the Y axis's ticks and below the X axis's.
  int yLabels = 0, xLabels = 0;
  for (int yy = data.Top; yy < data.Bottom; ++yy)
    for (int xx = y->Left; xx < y->Right - 14; ++xx)
      yLabels += picture->Pixel(xx, yy) == clWhite;
  for (int yy = x->Top + 14; yy < x->Bottom; ++yy)
    for (int xx = data.Left; xx < data.Right; ++xx)
      xLabels += picture->Pixel(xx, yy) == clWhite;
  EXPECT_GT(yLabels, 20);
  EXPECT_GT(xLabels, 20);
  // The labels' texts come from the ranges: -1000 .. 1000 and 0 .. 1024.
  EXPECT_EQ(y->FormatLabel(-500.0), "-500");
  EXPECT_EQ(x->GetTitle(), "Samples");
}

// --------------------------------------------------------------------------
// Entering the control at extreme places

// Entering the control, the data view takes the pointer's place in the
// chart's client coordinates: exact where it fits, saturated where it does
// not, whatever the chart's and its parent's bounds (a scope or a form
// stored at the ends of the range and read back).
class TrelScopeEnterTest : public ScopeFixture {};

TEST_F(TrelScopeEnterTest, EnteringAtExtremeOriginsPlacesThePointerSaturated) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  struct Case {
    const char* what;
    bool inForm;  // the scope inside the form, the form at `formAt`
    TPoint formAt, scopeAt, pointer, expected;
  };
  const Case cases[] = {
      // 100 - kMin and -100 - kMax do not fit.
      {"scope at the ends", false, {}, {kMin, kMax}, {100, -100}, {kMax, kMin}},
      {"scope at the ends, pointer inside", false, {}, {kMin, kMax}, {kMin + 7, kMax - 9}, {7, -9}},
      // The origin is (2 kMax, 2 kMin) = (4294967294, -4294967296):
      // kMax - 4294967294 = -2147483647 fits, kMin + 4294967296 does not.
      {"form and scope at the ends",
       true,
       {kMax, kMin},
       {kMax, kMin},
       {kMax, kMin},
       {-2147483647, kMax}},
      // The origin is (kMin + 10, kMax - 10).
      {"form beside the ends", true, {kMin + 4, kMax - 4}, {6, -6}, {kMin, kMax}, {-10, 10}},
  };
  for (const Case& c : cases) {
    if (c.inForm) {
      form_->SetBounds(c.formAt.X, c.formAt.Y, 500, 400);
      scope_->SetParent(form_);
    }
    scope_->SetBounds(c.scopeAt.X, c.scopeAt.Y, 400, 300);
    kestrune::testing::SetPointer(c.pointer);
    scope_->MouseEnter();
    EXPECT_EQ(scope_->GetDataView()->LastMouse(), c.expected) << c.what;
    scope_->MouseLeave();
    scope_->SetParent(nullptr);
  }
  // Far from every control, for the tests after this one.
  kestrune::testing::SetPointer({kMin, kMin});
}

}  // namespace
