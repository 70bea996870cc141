// Scope channels against what their handlers and their users do to them: a
// commit from inside a drawing handler, a channel moved to another index
// (its input pin goes with it, also into a stored description), and a hidden
// channel under the pointer.
#include "scope/TrelScopeChannel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "Vek/VekPinList.h"
#include "platform/classes/Streaming.h"
#include "scope/TrelScope.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

using scopetest::ScopeFixture;

std::vector<double> Constant(double v, int n) {
  return std::vector<double>(static_cast<std::size_t>(n), v);
}

// The plot area fills the 377 x 329 control; X 0 .. 1024, Y -10000 .. 10000.
class TrelScopeChannelTest : public ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    BarePlot(377, 329, 1024, -10000, 10000);
  }
  // The row of value v: 10000 on row 1, -10000 on row 328, linear between.
  static int RowOf(double v) {
    return static_cast<int>(std::lround(328.0 - (v + 10000.0) / 20000.0 * 327.0));
  }
  void ExpectPixelRows(TTrelScopeChannel* c, int count, int row) {
    ASSERT_EQ(c->PixelY()->GetCount(), count);
    for (int i = 0; i < count; ++i)
      ASSERT_NEAR(c->PixelY()->GetValue(i), row, 1) << "sample " << i;
  }
};

// ---------------------------------------------------------------------------
// A commit from inside a drawing

class TrelScopeCommitDuringDrawingTest : public TrelScopeChannelTest {
 public:
  void ChannelDraw(TObject*, int, const double* data, int size, bool wasChanged) {
    sizes_.push_back(size);
    changed_.push_back(wasChanged);
    last_value_ = data[size - 1];
    if (commit_) {
      commit_ = false;
      CommitShorterBlock();
    }
  }
  void SampleDraw(TObject*, double, double y, TCanvas*&, bool, bool& defaultDraw) {
    drawn_values_.push_back(y);
    defaultDraw = true;
    if (commit_) {
      commit_ = false;
      CommitShorterBlock();
    }
  }

 protected:
  // What the refresh timer does when a handler lets it run: a shorter block
  // arrives and the update pass commits it.
  void CommitShorterBlock() {
    producer_->Send(0, Constant(-5000.0, 10));
    scope_->UpdateData();
  }

  bool commit_ = false;
  std::vector<int> sizes_;
  std::vector<bool> changed_;
  double last_value_ = 0.0;
  std::vector<double> drawn_values_;
};

TEST_F(TrelScopeCommitDuringDrawingTest, TheDrawingEndsOnTheSamplesItStartedWith) {
  Channel(1)->SetVisible(false);
  producer_->Send(0, Constant(5000.0, 1024));
  Refresh();
  Channel(0)->OnChannelDraw =
      TTrelChannelDrawEvent(this, &TrelScopeCommitDuringDrawingTest::ChannelDraw);
  commit_ = true;
  scope_->PaintTo();  // the handler commits 10 samples of -5000
  ASSERT_EQ(sizes_, std::vector<int>{1024});
  // The running drawing mapped and drew its own 1024 samples.
  ExpectPixelRows(Channel(0), 1024, RowOf(5000.0));
  EXPECT_EQ(PixelAt(300, Channel(0)->PixelY()->GetValue(800)), clRed);
  // The committed block is shown by the next drawing, which hears that it
  // changed.
  EXPECT_EQ(Channel(0)->DisplayedY()->GetCount(), 10);
  scope_->PaintTo();
  EXPECT_EQ(sizes_, (std::vector<int>{1024, 10}));
  EXPECT_EQ(changed_.back(), true);
  EXPECT_EQ(last_value_, -5000.0);
  ExpectPixelRows(Channel(0), 10, RowOf(-5000.0));
}

TEST_F(TrelScopeCommitDuringDrawingTest, ASampleHandlerThatCommitsSeesTheDrawnSamplesToTheEnd) {
  Channel(1)->SetVisible(false);
  Channel(0)->SetChannelMode(cmBar);
  producer_->Send(0, Constant(5000.0, 1024));
  Refresh();
  Channel(0)->OnSampleDraw =
      TTrelSampleDrawEvent(this, &TrelScopeCommitDuringDrawingTest::SampleDraw);
  commit_ = true;
  scope_->PaintTo();  // the first sample's handler commits 10 samples of -5000
  EXPECT_EQ(drawn_values_, Constant(5000.0, 1024));
  drawn_values_.clear();
  scope_->PaintTo();
  EXPECT_EQ(drawn_values_, Constant(-5000.0, 10));
}

// ---------------------------------------------------------------------------
// Moving channels

// A producer whose outputs are published as a pin list, so a stored
// description names them.
class TListProducer : public TComponent {
  KESTRUNE_CLASS(TListProducer, TComponent)
  explicit TListProducer(TComponent* owner) : TComponent(owner) {
    OutputPins = Create<TVekPinList>(this, true);
    for (int i = 0; i < 3; ++i)
      OutputPins->Add(Create<TTrelVekRealSourcePin>(this));
  }
  ~TListProducer() override { FreeAndNil(OutputPins); }
  void Loaded() override {
    inherited::Loaded();
    OutputPins->CompletePendingPlaceholders();
  }
  TVekPinList* GetOutputPins() { return OutputPins; }
  TVekBasicPin* Output(int i) { return OutputPins->GetPin(i); }
  TVekPinList* OutputPins;
};

class TrelScopeChannelMoveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopetest::StartUnits();
    static bool registered = false;
    if (!registered) {
      registered = true;
      RegisterClass<TListProducer>().Object("OutputPins", &TListProducer::GetOutputPins);
    }
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    producer_ = Create<TListProducer>(form_);
    producer_->SetName("Producer");
    scope_ = Create<TTrelScope>(form_);
    scope_->SetName("TrelScope1");
    scope_->GetChannels()->Add();
    scope_->GetChannels()->Add();
    // Channel<i> listens to output i.
    for (int c = 0; c < 3; ++c)
      ASSERT_TRUE(Channel(c)->GetInputPin()->Connect(producer_->Output(c)));
  }
  void TearDown() override { FreeAndNil(form_); }

  TTrelScopeChannel* Channel(int i) const { return scope_->GetChannels()->GetItem(i); }
  // The channel names in index order.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < scope_->GetChannels()->Count(); ++i)
      names.push_back(Channel(i)->GetName());
    return names;
  }
  // Every entry of InputPins is the pin, under the name, of the channel at
  // its index, and each channel still listens to its own output.
  void ExpectPinsFollowChannels(TTrelScope* scope, TListProducer* producer) {
    TVekPinList* pins = scope->GetInputPins();
    TTrelScopeChannels* channels = scope->GetChannels();
    ASSERT_EQ(pins->GetCount(), channels->Count());
    for (int i = 0; i < channels->Count(); ++i) {
      TTrelScopeChannel* c = channels->GetItem(i);
      SCOPED_TRACE(c->GetName());
      EXPECT_EQ(pins->GetPin(i), c->GetInputPin());
      EXPECT_EQ(pins->GetPinName(i), c->GetName());
      const auto source = original_source_.find(c->GetName());
      ASSERT_NE(source, original_source_.end());
      EXPECT_TRUE(c->GetInputPin()->IsConnectedTo(producer->Output(source->second)));
    }
  }

  vektest::TTestForm* form_ = nullptr;
  TListProducer* producer_ = nullptr;
  TTrelScope* scope_ = nullptr;
  // The output each channel name listens to.
  std::map<std::string, int> original_source_{{"Channel0", 0}, {"Channel1", 1}, {"Channel2", 2}};
};

TEST_F(TrelScopeChannelMoveTest, EachPinFollowsItsChannelForAMoveOfAnyDistance) {
  const struct {
    const char* name;
    int from;
    int to;
    std::vector<std::string> order;
  } moves[] = {
      {"down by one", 0, 1, {"Channel1", "Channel0", "Channel2"}},
      {"up by one", 2, 1, {"Channel1", "Channel2", "Channel0"}},
      {"down by two", 0, 2, {"Channel2", "Channel0", "Channel1"}},
      {"up by two", 2, 0, {"Channel1", "Channel2", "Channel0"}},
      {"beyond the end stops at the last index", 0, 7, {"Channel2", "Channel0", "Channel1"}},
      {"to the index it has", 1, 1, {"Channel2", "Channel0", "Channel1"}},
  };
  for (const auto& move : moves) {
    SCOPED_TRACE(move.name);
    Channel(move.from)->SetIndex(move.to);
    EXPECT_EQ(Names(), move.order);
    ExpectPinsFollowChannels(scope_, producer_);
  }
  // Inserting makes a channel at the end and moves it with its pin.
  TTrelScopeChannel* inserted = static_cast<TTrelScopeChannel*>(scope_->GetChannels()->Insert(0));
  EXPECT_EQ(inserted->Index(), 0);
  EXPECT_EQ(scope_->GetInputPins()->GetPin(0), inserted->GetInputPin());
  EXPECT_EQ(scope_->GetInputPins()->GetPinName(0), inserted->GetName());
}

TEST_F(TrelScopeChannelMoveTest, AMovedChannelRenamesItsOwnPin) {
  Channel(0)->SetIndex(2);  // Channel1, Channel2, Channel0
  Channel(2)->SetName("Left");
  original_source_["Left"] = 0;
  EXPECT_EQ(Names(), (std::vector<std::string>{"Channel1", "Channel2", "Left"}));
  ExpectPinsFollowChannels(scope_, producer_);
}

TEST_F(TrelScopeChannelMoveTest, AStoredDescriptionLinksEachPinToItsChannel) {
  Channel(0)->SetIndex(2);
  Channel(2)->SetIndex(1);  // Channel1, Channel0, Channel2
  ASSERT_EQ(Names(), (std::vector<std::string>{"Channel1", "Channel0", "Channel2"}));
  std::string text = WriteComponentToText(form_);
  // The pin lists name pin i after channel i and link it to that channel's
  // output: output 0 to pin 1 (Channel0), output 1 to pin 0 (Channel1).
  EXPECT_NE(text.find("    OutputPins.Pins = ("
                      "Sinks, ((fmMain.TrelScope1.InputPins._Pin1, "
                      "\"fmMain.TrelScope1.InputPins.Channel0\")), "
                      "Sinks, ((fmMain.TrelScope1.InputPins._Pin0, "
                      "\"fmMain.TrelScope1.InputPins.Channel1\")), "
                      "Sinks, ((fmMain.TrelScope1.InputPins._Pin2, "
                      "\"fmMain.TrelScope1.InputPins.Channel2\")))\n"),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("    InputPins.Pins = ("
                "(fmMain.Producer.OutputPins._Pin1, \"fmMain.Producer.OutputPins.Pin [1]\"), "
                "(fmMain.Producer.OutputPins._Pin0, \"fmMain.Producer.OutputPins.Pin [0]\"), "
                "(fmMain.Producer.OutputPins._Pin2, \"fmMain.Producer.OutputPins.Pin [2]\"))\n"),
      std::string::npos)
      << text;
  // Read back with the links of the pin lists alone (the channels' own
  // InputPin lines dropped), as the main window's description holds them.
  std::string listsOnly;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at + 1);
    if (line.find(" InputPin.") == std::string::npos)
      listsOnly += line;
    at = end + 1;
  }
  FreeAndNil(form_);
  form_ = static_cast<vektest::TTestForm*>(CreateComponentFromText(listsOnly, nullptr));
  auto* scope = dynamic_cast<TTrelScope*>(form_->FindComponent("TrelScope1"));
  auto* producer = dynamic_cast<TListProducer*>(form_->FindComponent("Producer"));
  ASSERT_NE(scope, nullptr);
  ASSERT_NE(producer, nullptr);
  ASSERT_EQ(scope->GetChannels()->Count(), 3);
  EXPECT_EQ(scope->GetChannels()->GetItem(0)->GetName(), "Channel1");
  EXPECT_EQ(scope->GetInputPins()->PendingCount(), 0);
  ExpectPinsFollowChannels(scope, producer);
}

// ---------------------------------------------------------------------------
// Hidden channels

TEST_F(TrelScopeChannelTest, AHiddenChannelIsNeverFoundUnderThePointer) {
  // Both traces on one row; on a tie the higher index would win.
  producer_->Send(0, Constant(5000.0, 1024));
  producer_->Send(1, Constant(5000.0, 1024));
  Refresh();
  const int row = RowOf(5000.0);
  Channel(1)->SetVisible(false);
  Refresh();
  TPoint hit;
  double fraction = 0.0;
  int channel = -1, begin = 0, end = 0;
  EXPECT_EQ(Channel(1)->GetHitDistance(200, row, hit, fraction, begin, end), 10000.0);
  ASSERT_TRUE(scope_->GetChannels()->HitTest(200, row, channel, hit, fraction, begin, end));
  EXPECT_EQ(channel, 0);
  // The visible trace under it gets the hover box, in its colour, from
  // (x - 2, y - 2) to (x + 3, y + 3) around the hit point.
  scope_->MouseMove(0, 200, row);
  EXPECT_EQ(scope_->GetDataView()->HighlightedItem(), Channel(0));
  scope_->PaintTo();
  const TPoint p = scope_->GetDataView()->HitPoint();
  EXPECT_EQ(PixelAt(p.X - 2, p.Y - 2), clRed);
  EXPECT_EQ(PixelAt(p.X + 2, p.Y + 2), clRed);
  // With nothing else under the pointer, a hidden channel leaves no hit.
  Channel(0)->SetVisible(false);
  Refresh();
  EXPECT_FALSE(scope_->GetChannels()->HitTest(200, row, channel, hit, fraction, begin, end));
}

}  // namespace
