// The main window's scope and processing graph as its stored description
// holds them: the scope read with the converter it is linked to, given the
// start-up scales, and fed end to end by the scripted capture device through
// the window's graph, in oscilloscope and in spectrum mode; last, the graph
// the tests' shared fixture builds in code is the one the description holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/MainForm.h"
#include "app/MainFormDescription.h"
#include "audio/MoskAudioIn.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "scope/TrelScope.h"
#include "tests/app/MainFormTestSupport.h"
#include "tests/app/StoredMainWindow.h"
#include "tests/fixtures/MainWindowGraph.h"
#include "tests/fixtures/TwoTones.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace {

using apptest::TStoredMainWindow;

// The main window's description with `extraPinLink` added to the links
// stored on the scope's input pins.
std::string MainWindowText(const std::string& extraPinLink) {
  std::string text(MainFormDescription());
  const std::size_t scope = text.find("  object TrelScope1: TTrelScope\n");
  const std::size_t pins = text.find("    InputPins.Pins = (", scope);
  const std::size_t close = text.find(")\n", pins);  // the list's own bracket
  if (scope == std::string::npos || pins == std::string::npos || close == std::string::npos) {
    ADD_FAILURE() << "the description stores no links on the scope's input pins";
    return text;
  }
  text.insert(close, extraPinLink);
  return text;
}

// The main window read from MainWindowText(extraPinLink), its start-up not
// run.
class TOverLinkedMainWindow : public TStoredMainWindow {
  KESTRUNE_CLASS(TOverLinkedMainWindow, TStoredMainWindow)
  explicit TOverLinkedMainWindow(TComponent* owner) : TStoredMainWindow(owner) {}
  static inline std::string extraPinLink;

 protected:
  void DoCreate() override { ReadComponentFromText(this, MainWindowText(extraPinLink)); }
};

// The program's units, a fresh state, and a backend without devices: the
// description starts capture on "Default" as it loads.
class TrelScopeMainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::StartUnits();
    apptest::ResetAppState();
    loop_ = kestrune::MainLoop::Current();
    kestrune::SetWaveInBackend(std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{}));
  }
  void TearDown() override {
    FreeAndNil(form_);
    loop_->ProcessMessages();
    kestrune::SetWaveInBackend(nullptr);
  }

  kestrune::MainLoop* loop_ = nullptr;  // the program's units make it
  TfmMain* form_ = nullptr;
};

TEST_F(TrelScopeMainWindowTest, TheStoredScopeLoadsLinkedAndTakesTheStartUpScales) {
  form_ = Create<TStoredMainWindow>(nullptr);
  TComponent* root = form_;
  auto* scope = dynamic_cast<TTrelScope*>(root->FindComponent("TrelScope1"));
  auto* converter = dynamic_cast<TMoskAudioToReal*>(root->FindComponent("MoskAudioToReal1"));
  ASSERT_NE(scope, nullptr);
  ASSERT_NE(converter, nullptr);
  ASSERT_EQ(scope->GetChannels()->Count(), 2);
  EXPECT_EQ(scope->GetChannels()->GetItem(0)->GetColor(), clRed);
  EXPECT_EQ(scope->GetChannels()->GetItem(1)->GetColor(), clLime);
  EXPECT_EQ(scope->Width(), 377);
  EXPECT_EQ(scope->Height(), 329);
  EXPECT_FALSE(scope->GetToolBar()->GetVisible());
  EXPECT_FALSE(scope->GetZooming()->MouseZoom);
  EXPECT_TRUE(scope->GetYAxis()->GetAutoScaling()->GetEnabled());
  EXPECT_EQ(scope->GetYAxis()->GetMin(), -1000.0);
  EXPECT_EQ(scope->GetXAxis()->GetMaxSample()->GetValue(), 2048u);
  for (int c = 0; c < 2; ++c)
    EXPECT_TRUE(scope->GetChannels()->GetItem(c)->GetInputPin()->IsConnectedTo(
        converter->GetOutputPins()->GetPin(c)));
  EXPECT_EQ(scope->GetInputPins()->PendingCount(), 0);
  // The hover is on by default.
  EXPECT_TRUE(scope->GetHighlighting()->GetMouseHitPoint()->GetEnabled());

  // The window's start-up scales: oscilloscope, time base 1024 samples,
  // vertical auto off with the channel-1 sensitivity 10000.
  form_->InitScope();
  scope->UpdateAndRepaint();
  scope->PaintTo();
  EXPECT_DOUBLE_EQ(scope->GetXAxis()->RangeMin(), 0.0);
  EXPECT_DOUBLE_EQ(scope->GetXAxis()->RangeMax(), 1024.0);
  EXPECT_DOUBLE_EQ(scope->GetYAxis()->RangeMin(), -10000.0);
  EXPECT_DOUBLE_EQ(scope->GetYAxis()->RangeMax(), 10000.0);
  // Both axes are hidden, yet the grid has its normal steps: green lines
  // and the white zero line in the middle.
  EXPECT_GT(scope->GetYAxis()->GetMajorStep(), 1.0);
  EXPECT_GT(scope->GetXAxis()->GetMajorStep(), 1.0);
  TCanvas* picture = scope->Picture()->Canvas();
  int green = 0, whiteRows = 0;
  for (int y = 0; y < 329; ++y) {
    green += picture->Pixel(180, y) == clGreen;
    whiteRows += picture->Pixel(180, y) == clWhite;
  }
  EXPECT_GE(green, 3);
  EXPECT_EQ(whiteRows, 1);
}

TEST_F(TrelScopeMainWindowTest, MorePinLinksThanChannelsLeaveNoPlaceholder) {
  TOverLinkedMainWindow::extraPinLink =
      ", (fmMain.MoskAudioToReal1.OutputPins._Pin1, \"fmMain.MoskAudioToReal1."
      "OutputPins.Pin [1]\")";
  form_ = Create<TOverLinkedMainWindow>(nullptr);
  TComponent* root = form_;
  auto* scope = dynamic_cast<TTrelScope*>(root->FindComponent("TrelScope1"));
  ASSERT_NE(scope, nullptr);
  EXPECT_EQ(scope->GetInputPins()->PendingCount(), 0);
  EXPECT_EQ(scope->GetInputPins()->GetCount(), 2);
}

// ---------------------------------------------------------------------------
// End to end

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrames = 1024;
constexpr int kWindow = 256;      // the spectrum component's window
constexpr int kBin[2] = {6, 20};  // whole cycles in every window
constexpr double kAmplitude[2] = {8000.0, 6000.0};

const fixtures::TwoTones kTones{
    {kBin[0], kBin[1]}, kWindow, {kAmplitude[0], kAmplitude[1]}, {0.0, 0.0}};

// The window's own graph and scope, capture switched over to the two tones.
class TrelScopeEndToEndTest : public TrelScopeMainWindowTest {
 protected:
  void SetUp() override {
    TrelScopeMainWindowTest::SetUp();
    form_ = Create<TStoredMainWindow>(nullptr);
    audio_in_ = form_->MoskAudioIn1;
    audio_in_->SetEnabled(false);
    backend_ = std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{
            fixtures::TwoTonesDevice(kTones, {.endAfterFrames = 24 * kFrames})});
    kestrune::SetWaveInBackend(backend_);
    audio_in_->GetDevice()->SetDeviceName("Two tones");
    audio_in_->GetAudioFormat()->SetSampleRate(kRate);
    audio_in_->GetAudioFormat()->SetBufferSize(kFrames);
    spectrum_ = form_->MoskSpectrum1;
    to_real_ = form_->MoskAudioToReal1;
    scope_ = form_->TrelScope1;
    form_->InitScope();  // the start-up scales, as in the first test
  }
  void LinkScopeTo(TVekPinList* outputs) {
    for (int c = 0; c < 2; ++c) {
      TVekBasicPin* pin = scope_->GetChannels()->GetItem(c)->GetInputPin();
      pin->DisconnectAll();
      ASSERT_TRUE(pin->Connect(outputs->GetPin(c)));
    }
  }
  // Captures until the device has delivered everything, then refreshes.
  void Run() {
    audio_in_->SetEnabled(false);
    audio_in_->SetEnabled(true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (backend_->FramesRead() < 24 * kFrames && std::chrono::steady_clock::now() < end) {
      loop_->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    audio_in_->SetEnabled(false);
    loop_->ProcessMessages();
    scope_->UpdateAndRepaint();
    scope_->PaintTo();
  }
  TColor PixelAt(int x, int y) { return scope_->Picture()->Canvas()->Pixel(x, y); }

  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
  TMoskAudioIn* audio_in_ = nullptr;
  TMoskSpectrum* spectrum_ = nullptr;
  TMoskAudioToReal* to_real_ = nullptr;
  TTrelScope* scope_ = nullptr;
};

TEST_F(TrelScopeEndToEndTest, TheSinesLieOnTheRowsOfTheMappingInRedAndLime) {
  LinkScopeTo(to_real_->GetOutputPins());
  Run();
  const TColor colours[2] = {clRed, clLime};
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    TTrelScopeChannel* channel = scope_->GetChannels()->GetItem(c);
    ITrelRealBuffer* y = channel->DisplayedY();
    ASSERT_EQ(y->GetCount(), static_cast<int>(kFrames));
    EXPECT_EQ(channel->SampleRate(), kRate);
    // The DC-free tone: its peak near the amplitude.
    EXPECT_NEAR(y->Max(), kAmplitude[c], 0.03 * kAmplitude[c]);
    EXPECT_NEAR(y->Min(), -kAmplitude[c], 0.03 * kAmplitude[c]);
    // Each sample on its row: RangeMax at top + 1, RangeMin at bottom - 1
    // of the data view (0, 0, 377, 329); the traces' own colours there
    // (or the other trace's where they cross).
    int onRow = 0, coloured = 0;
    for (int i = 0; i < static_cast<int>(kFrames); ++i) {
      const double row = 328.0 - (y->GetValue(i) + 10000.0) / 20000.0 * 327.0;
      const int px = channel->PixelX()->GetValue(i);
      const int py = channel->PixelY()->GetValue(i);
      onRow += std::fabs(py - row) <= 1.0;
      const TColor at = PixelAt(px, py);
      coloured += at == colours[c] || at == colours[1 - c];
    }
    EXPECT_EQ(onRow, static_cast<int>(kFrames));
    EXPECT_GE(coloured, static_cast<int>(kFrames) * 9 / 10);
    // The extreme rows of the trace's colour are those of the peaks.
    int top = 329, bottom = -1;
    for (int yy = 0; yy < 329; ++yy)
      for (int xx = 0; xx < 377; ++xx)
        if (PixelAt(xx, yy) == colours[c]) {
          top = std::min(top, yy);
          bottom = std::max(bottom, yy);
        }
    EXPECT_NEAR(top, 328.0 - (kAmplitude[c] + 10000.0) / 20000.0 * 327.0, 3.0);
    EXPECT_NEAR(bottom, 328.0 - (-kAmplitude[c] + 10000.0) / 20000.0 * 327.0, 3.0);
  }
}

TEST_F(TrelScopeEndToEndTest, InSpectrumModeThePeakLiesInTheColumnOfTheSinesBin) {
  LinkScopeTo(spectrum_->GetOutputPins());
  // The spectrum analyser's scales: the X range from the data, the Y range
  // followed by auto-scaling.
  TTrelScopeXAxis* x = scope_->GetXAxis();
  x->GetMaxSample()->SetAutosize(true);
  x->GetMax()->SetAutoScale(true);
  x->GetMin()->SetAutoScale(true);
  scope_->GetYAxis()->GetAutoScaling()->SetEnabled(true);
  Run();
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    TTrelScopeChannel* channel = scope_->GetChannels()->GetItem(c);
    const int bins = channel->DisplayedY()->GetCount();
    ASSERT_EQ(bins, kWindow / 2);
    EXPECT_TRUE(channel->IsSpectrum());
    // The highest point of the trace (smallest row).
    const std::int32_t* py = channel->PixelY()->GetData();
    const int peak = static_cast<int>(std::min_element(py, py + bins) - py);
    EXPECT_EQ(peak, kBin[c]);
    // The bins span the X axis's frequency range: bin k at column
    // k * (width - 1) / (bins - 1).
    const double column = kBin[c] * 376.0 / (bins - 1);
    EXPECT_NEAR(channel->PixelX()->GetValue(peak), column, 1.0);
  }
  EXPECT_EQ(scope_->GetXAxis()->GetTitle(), "kHz");
}

// ---------------------------------------------------------------------------
// The shared fixture

// The graph's pins by their stored names.
using NamedPins = std::vector<std::pair<std::string, TVekBasicPin*>>;

NamedPins PinsOf(TMoskAudioIn* audioIn, const fixtures::MainWindowGraph& g) {
  return {{"MoskAudioIn1.OutputPin", audioIn->GetOutputPin()},
          {"MoskAudioIn1PPM.InputPin", g.ppm->GetInputPin()},
          {"MoskRemoveDC1.InputPin", g.removeDc->GetInputPin()},
          {"MoskRemoveDC1.OutputPin", g.removeDc->GetOutputPin()},
          {"MoskAmplifier1.InputPin", g.amplifier->GetInputPin()},
          {"MoskAmplifier1.OutputPin", g.amplifier->GetOutputPin()},
          {"MoskSpectrum1.InputPin", g.spectrum->GetInputPin()},
          {"MoskAudioToReal1.InputPin", g.toReal->GetInputPin()}};
}

// Every link between two of `pins`, as "a -> b".
std::vector<std::string> LinksOf(const NamedPins& pins) {
  std::vector<std::string> links;
  for (const auto& [from, a] : pins)
    for (const auto& [to, b] : pins)
      if (a->IsConnectedTo(b))
        links.push_back(from + " -> " + to);
  return links;
}

std::vector<std::string> NamesOf(TMoskAudioIn* audioIn, const fixtures::MainWindowGraph& g) {
  return {audioIn->Name(),     g.ppm->Name(),      g.removeDc->Name(),
          g.amplifier->Name(), g.spectrum->Name(), g.toReal->Name()};
}

// The graph the tests and benchmarks build in code holds the components the
// description names, linked as it links them, with its stored settings.
TEST_F(TrelScopeMainWindowTest, TheSharedGraphFixtureIsTheStoredGraph) {
  form_ = Create<TStoredMainWindow>(nullptr);
  TfmMain& f = *form_;
  const fixtures::MainWindowGraph stored{f.MoskAudioIn1PPM, f.MoskRemoveDC1,    f.MoskAmplifier1,
                                         f.MoskSpectrum1,   f.MoskAudioToReal1, true};
  auto* owner = Create<vektest::TTestForm>(nullptr);
  TMoskAudioIn* audioIn = fixtures::MakeMainWindowCapture(
      owner, "Default", f.MoskAudioIn1->GetAudioFormat()->GetSampleRate(), 1024);
  const fixtures::MainWindowGraph built =
      fixtures::BuildMainWindowGraph(owner, audioIn->GetOutputPin());
  EXPECT_TRUE(built.linked);
  EXPECT_EQ(NamesOf(audioIn, built), NamesOf(f.MoskAudioIn1, stored));
  const std::vector<std::string> links = LinksOf(PinsOf(audioIn, built));
  EXPECT_EQ(links, LinksOf(PinsOf(f.MoskAudioIn1, stored)));
  EXPECT_EQ(links.size(), 10u);  // five links, each seen from both ends
  EXPECT_EQ(built.amplifier->GetCoefficient(), stored.amplifier->GetCoefficient());
  EXPECT_EQ(audioIn->GetDevice()->GetDeviceName(), f.MoskAudioIn1->GetDevice()->GetDeviceName());
  owner->Free();
}

}  // namespace
