// The main window's scope: read from its stored description with the
// converter it is linked to, given the start-up scales, and fed end to end
// by the scripted capture device through the audio graph, in oscilloscope
// and in spectrum mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>

#include "audio/MoskAudioIn.h"
#include "audio/MoskAudioUnit.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskSpectrum.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

// The main window's description, as far as the scope and the converter
// feeding it go.
std::string MainWindowText(const std::string& extraPinLink = "") {
  return R"txt(object fmMain: TTestForm
  object MoskAudioToReal1: TMoskAudioToReal
    OutputPins.Count = 2
    OutputPins.Form = fmMain
    OutputPins.Pins = (Sinks, ((fmMain.TrelScope1.InputPins._Pin0, "fmMain.TrelScope1.InputPins.Channel0")), Sinks, ((fmMain.TrelScope1.InputPins._Pin1, "fmMain.TrelScope1.InputPins.Channel1")))
  end
  object TrelScope1: TTrelScope
    Left = 16
    Top = 40
    Width = 377
    Height = 329
    ToolBar.Visible = False
    Zooming.MouseZoom = False
    Zooming.KeyboardZoom = False
    Zooming.MouseWheelEnabled = False
    Zooming.HoldOnZoom = False
    InputPins.Count = 2
    InputPins.Form = fmMain
    InputPins.Pins = ((fmMain.MoskAudioToReal1.OutputPins._Pin0, "fmMain.MoskAudioToReal1.OutputPins.Pin [0]"), (fmMain.MoskAudioToReal1.OutputPins._Pin1, "fmMain.MoskAudioToReal1.OutputPins.Pin [1]"))txt" +
         extraPinLink + R"txt()
    XAxis.Visible = False
    XAxis.Font.Color = clWhite
    XAxis.Font.Name = "Arial"
    XAxis.Max.Mode = mamValue
    XAxis.Max.Value = 2048.0
    XAxis.MaxSample.Value = 2048
    XAxis.Min.Value = 0.0
    YAxis.Visible = False
    YAxis.Font.Color = clWhite
    YAxis.Font.Name = "Arial"
    YAxis.AutoScaling.Enabled = True
    YAxis.MinMax = (-1000.0, 1000.0)
    Legend.Visible = False
    Legend.Font.Color = clWhite
    Legend.Font.Name = "Arial"
    Title.Visible = False
    Title.Text = "Scope"
    Title.Font.Color = clWhite
    Title.Font.Name = "Arial"
    Channels = <
      item
        Name = "Channel0"
        Color = clRed
        ChannelMode = cmLine
        ShadeMode = csmZero
        Points.Visible = False
        Points.Shape = psCircle
        Points.Brush.Color = clRed
        Points.Pen.Color = clRed
      end
      item
        Name = "Channel1"
        Color = clLime
        ChannelMode = cmLine
        ShadeMode = csmZero
        Points.Visible = False
        Points.Shape = psCircle
        Points.Brush.Color = clRed
        Points.Pen.Color = clRed
      end>
  end
end
)txt";
}

void StartUnits() {
  scopetest::StartUnits();
  static bool started = false;
  if (started)
    return;
  started = true;
  MoskAudioUnit.Initialize();
  TrelMainThreadNotifyUnit.Initialize();
  RegisterClass<vektest::TTestForm>();
}

// The main window's start-up scales: oscilloscope, time base 1024 samples,
// vertical auto off with the channel-1 sensitivity 10000.
void ApplyStartUpScales(TTrelScope* scope) {
  TTrelScopeXAxis* x = scope->GetXAxis();
  x->GetMaxSample()->SetAutosize(false);
  x->GetMax()->SetAutoScale(false);
  x->GetMin()->SetAutoScale(false);
  x->GetMaxSample()->SetValue(1024);
  x->GetMin()->SetValue(0.0);
  x->GetMax()->SetValue(1024.0);
  TTrelScopeYAxis* y = scope->GetYAxis();
  y->GetAutoScaling()->SetEnabled(false);
  y->SetMax(10000.0);
  y->SetMin(-10000.0);
}

TEST(TrelScopeMainWindowTest, TheStoredScopeLoadsLinkedAndTakesTheStartUpScales) {
  StartUnits();
  TComponent* root = CreateComponentFromText(MainWindowText(), nullptr);
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

  ApplyStartUpScales(scope);
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
  root->Free();
}

TEST(TrelScopeMainWindowTest, MorePinLinksThanChannelsLeaveNoPlaceholder) {
  StartUnits();
  TComponent* root = CreateComponentFromText(
      MainWindowText(", (fmMain.MoskAudioToReal1.OutputPins._Pin1, \"fmMain.MoskAudioToReal1."
                     "OutputPins.Pin [1]\")"),
      nullptr);
  auto* scope = dynamic_cast<TTrelScope*>(root->FindComponent("TrelScope1"));
  ASSERT_NE(scope, nullptr);
  EXPECT_EQ(scope->GetInputPins()->PendingCount(), 0);
  EXPECT_EQ(scope->GetInputPins()->GetCount(), 2);
  root->Free();
}

// ---------------------------------------------------------------------------
// End to end

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrames = 1024;
constexpr int kWindow = 256;      // the spectrum component's window
constexpr int kBin[2] = {6, 20};  // whole cycles in every window
constexpr double kAmplitude[2] = {8000.0, 6000.0};

std::int16_t Sample(std::uint64_t n, int c) {
  const double phase = 2.0 * std::numbers::pi * kBin[c] * static_cast<double>(n) / kWindow;
  return static_cast<std::int16_t>(std::lround(kAmplitude[c] * std::sin(phase)));
}

class TrelScopeEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartUnits();
    kestrune::ScriptedDeviceScript script;
    script.name = "Two tones";
    script.endAfterFrames = 24 * kFrames;
    script.signal = [](const kestrune::WaveInFormat& format, std::uint64_t first,
                       std::uint32_t frames, std::uint8_t* dest) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      auto* samples = reinterpret_cast<std::int16_t*>(dest);
      for (std::uint32_t f = 0; f < frames; ++f)
        for (std::uint32_t c = 0; c < format.channels; ++c)
          samples[f * format.channels + c] = Sample(first + f, static_cast<int>(c));
    };
    backend_ = std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{script});
    kestrune::SetWaveInBackend(backend_);
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    audio_in_ = Make<TMoskAudioIn>("MoskAudioIn1");
    audio_in_->GetDevice()->SetDeviceName("Two tones");
    audio_in_->GetAudioFormat()->SetSampleRate(kRate);
    audio_in_->GetAudioFormat()->SetBufferSize(kFrames);
    remove_dc_ = Make<TMoskRemoveDC>("MoskRemoveDC1");
    amplifier_ = Make<TMoskAmplifier>("MoskAmplifier1");
    amplifier_->SetCoefficient(1.0);
    spectrum_ = Make<TMoskSpectrum>("MoskSpectrum1");
    to_real_ = Make<TMoskAudioToReal>("MoskAudioToReal1");
    scope_ = Make<TTrelScope>("TrelScope1");
    scope_->GetChannels()->Add();
    scope_->SetBounds(16, 40, 377, 329);
    scope_->GetTitle()->SetVisible(false);
    scope_->GetLegend()->SetVisible(false);
    scope_->GetXAxis()->SetVisible(false);
    scope_->GetYAxis()->SetVisible(false);
    ApplyStartUpScales(scope_);
    ASSERT_TRUE(remove_dc_->GetInputPin()->Connect(audio_in_->GetOutputPin()));
    ASSERT_TRUE(amplifier_->GetInputPin()->Connect(remove_dc_->GetOutputPin()));
    ASSERT_TRUE(spectrum_->GetInputPin()->Connect(amplifier_->GetOutputPin()));
    ASSERT_TRUE(to_real_->GetInputPin()->Connect(amplifier_->GetOutputPin()));
  }
  void TearDown() override {
    FreeAndNil(form_);
    loop_.ProcessMessages();
    kestrune::SetWaveInBackend(nullptr);
  }
  template <class T>
  T* Make(const char* name) {
    T* component = Create<T>(form_);
    component->SetName(name);
    return component;
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
      loop_.ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    audio_in_->SetEnabled(false);
    loop_.ProcessMessages();
    scope_->UpdateAndRepaint();
    scope_->PaintTo();
  }
  TColor PixelAt(int x, int y) { return scope_->Picture()->Canvas()->Pixel(x, y); }

  kestrune::MainLoop& loop_ = *kestrune::MainLoop::Current();
  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
  vektest::TTestForm* form_ = nullptr;
  TMoskAudioIn* audio_in_ = nullptr;
  TMoskRemoveDC* remove_dc_ = nullptr;
  TMoskAmplifier* amplifier_ = nullptr;
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

}  // namespace
