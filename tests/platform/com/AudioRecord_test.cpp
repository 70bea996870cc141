// The recording control on scripted wave-input and mixer backends: devices as
// the wave layer lists them, lines by the mixer rule, and exactly the mixer
// writes a line choice makes.
#include "platform/com/AudioRecord.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/com/AlsaMixer.h"
#include "platform/com/ScriptedAudioRecord.h"
#include "platform/com/ScriptedMixer.h"
#include "platform/win/ScriptedWaveIn.h"

namespace kestrune {
namespace {

MixerElementInfo Switch(std::string name) {
  MixerElementInfo info;
  info.name = std::move(name);
  info.hasCaptureSwitch = true;
  return info;
}

MixerElementInfo Plain(std::string name) {
  MixerElementInfo info;
  info.name = std::move(name);
  return info;
}

MixerElementInfo Source(std::string name, std::vector<std::string> items) {
  MixerElementInfo info;
  info.name = std::move(name);
  info.isCaptureSource = true;
  info.items = std::move(items);
  return info;
}

// Three scripted capture devices and a mixer backend set per test; both are
// put back afterwards.
class AudioRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<ScriptedDeviceScript> devices(3);
    devices[0].name = "Server";
    devices[1].name = "Card A";
    devices[2].name = "Card B";
    previousWave_ = SetWaveInBackend(std::make_shared<ScriptedWaveInBackend>(devices));
  }
  void TearDown() override {
    SetMixerBackend(previousMixer_);
    SetWaveInBackend(previousWave_);
  }
  std::shared_ptr<ScriptedMixerBackend> UseMixers(std::map<std::string, ScriptedMixerScript> m) {
    auto backend = std::make_shared<ScriptedMixerBackend>(std::move(m));
    previousMixer_ = SetMixerBackend(backend);
    return backend;
  }
  static IPtr<IAudioRecord> MakeControl() {
    IPtr<IAudioRecord> control;
    EXPECT_EQ(CreateAudioRecord(control), S_OK);
    return control;
  }
  static std::vector<std::string> LinesOf(IAudioRecord& control) {
    int32_t count = -1;
    EXPECT_EQ(control.GetLineCount(count), S_OK);
    std::vector<std::string> lines;
    for (int32_t j = 0; j < count; ++j) {
      std::string name;
      EXPECT_EQ(control.GetLineName(j, name), S_OK);
      lines.push_back(name);
    }
    return lines;
  }

 private:
  std::shared_ptr<WaveInBackend> previousWave_;
  std::shared_ptr<MixerBackend> previousMixer_;
};

TEST_F(AudioRecordTest, ListsTheWaveInputDevicesInTheirOrder) {
  UseMixers({});
  IPtr<IAudioRecord> control = MakeControl();
  int32_t count = 0;
  ASSERT_EQ(control->GetDeviceCount(count), S_OK);
  ASSERT_EQ(count, 3);
  std::vector<std::string> names;
  for (int32_t i = 0; i < count; ++i) {
    std::string name;
    ASSERT_EQ(control->GetDeviceName(i, name), S_OK);
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Server", "Card A", "Card B"}));
  // The same names the capture component looks a device up by.
  for (UINT i = 0; i < 3; ++i) {
    WAVEINCAPSA caps{};
    ASSERT_EQ(waveInGetDevCapsA(i, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(names[i], caps.szPname);
  }
  std::string untouched = "kept";
  EXPECT_EQ(control->GetDeviceName(3, untouched), E_INVALIDARG);
  EXPECT_EQ(control->GetDeviceName(-1, untouched), E_INVALIDARG);
  EXPECT_EQ(untouched, "kept");
  EXPECT_EQ(control->SelectDevice(3), E_INVALIDARG);
}

struct LineCase {
  const char* what;
  std::vector<MixerElementInfo> elements;
  bool hasMixer;
  bool failWrites;
  int select;
  std::vector<std::string> lines;
  std::vector<std::string> writes;
  HRESULT selectResult;
};

TEST_F(AudioRecordTest, LinesAndTheWritesALineChoiceMakes) {
  const std::vector<LineCase> cases = {
      {"enumerated source",
       {Switch("Mic Boost"), Source("Capture Source", {"Mic", "Line", "CD"}), Switch("Capture")},
       true,
       false,
       1,
       {"Mic", "Line", "CD"},
       {"item Capture Source 1"},
       S_OK},
      {"switches only",
       {Plain("Master"), Switch("Capture"), Switch("Mic")},
       true,
       false,
       1,
       {"Capture", "Mic"},
       {"switch Mic on"},
       S_OK},
      {"server: one capture element",
       {Plain("Master"), Switch("Capture")},
       true,
       false,
       0,
       {"Capture"},
       {"switch Capture on"},
       S_OK},
      {"index past the lines", {Switch("Capture")}, true, false, 1, {"Capture"}, {}, S_OK},
      {"negative index", {Switch("Capture")}, true, false, -1, {"Capture"}, {}, S_OK},
      {"mixer without capture elements", {Plain("Master")}, true, false, 0, {}, {}, S_OK},
      {"no mixer", {}, false, false, 0, {}, {}, S_OK},
      {"failing write",
       {Switch("Capture")},
       true,
       true,
       0,
       {"Capture"},
       {"switch Capture on"},
       E_FAIL},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, ScriptedMixerScript> mixers;
    if (c.hasMixer)
      mixers["Card A"] = {c.elements, c.failWrites};
    auto backend = UseMixers(std::move(mixers));
    IPtr<IAudioRecord> control = MakeControl();
    int32_t count = 0;
    ASSERT_EQ(control->GetDeviceCount(count), S_OK);
    ASSERT_EQ(control->SelectDevice(1), S_OK);
    EXPECT_EQ(LinesOf(*control), c.lines);
    EXPECT_EQ(control->SelectLine(c.select), c.selectResult);
    EXPECT_EQ(backend->Writes(), c.writes);
  }
}

TEST_F(AudioRecordTest, LinesFollowTheCurrentDevice) {
  UseMixers({{"Server", {{Switch("Capture")}, false}},
             {"Card B", {{Source("Input Source", {"Front Mic", "Rear Mic"})}, false}}});
  IPtr<IAudioRecord> control = MakeControl();
  int32_t count = 0;
  ASSERT_EQ(control->GetDeviceCount(count), S_OK);
  EXPECT_TRUE(LinesOf(*control).empty());  // nothing selected yet
  std::string name = "kept";
  EXPECT_EQ(control->GetLineName(0, name), E_INVALIDARG);
  EXPECT_EQ(name, "kept");
  ASSERT_EQ(control->SelectDevice(0), S_OK);
  EXPECT_EQ(LinesOf(*control), (std::vector<std::string>{"Capture"}));
  ASSERT_EQ(control->SelectDevice(2), S_OK);
  EXPECT_EQ(LinesOf(*control), (std::vector<std::string>{"Front Mic", "Rear Mic"}));
  ASSERT_EQ(control->SelectDevice(1), S_OK);  // no mixer
  EXPECT_TRUE(LinesOf(*control).empty());
}

TEST_F(AudioRecordTest, FileNameAndControlValueAreOnlyStored) {
  UseMixers({});
  IPtr<TAudioRecordControl> control(Create<TAudioRecordControl>());
  EXPECT_EQ(control->SetFileName("/nonexistent-dir/ac1.wav"), S_OK);
  EXPECT_EQ(control->SetControlValue(0), S_OK);
  EXPECT_EQ(control->FileName(), "/nonexistent-dir/ac1.wav");
  EXPECT_EQ(control->ControlValue(), 0);
}

// The control a device's lines come from, by which controls answer: the
// server's device prefers "pulse" (it switches the default source itself),
// and takes its own PCM's control only where "pulse" does not answer.
TEST(AlsaMixerControlNameTest, ThePulseControlWhereverItAnswersThenThePcmsOwn) {
  CaptureDeviceEntry pipewire;
  pipewire.soundServer = true;
  pipewire.pcmName = "pipewire";
  CaptureDeviceEntry pulse;
  pulse.soundServer = true;
  pulse.pcmName = "pulse";
  CaptureDeviceEntry card;
  card.cardIndex = 2;
  card.device = 1;
  card.pcmName = "plughw:2,1";
  CaptureDeviceEntry other;
  other.pcmName = "whatever";
  struct Case {
    const char* what;
    const CaptureDeviceEntry* device;
    std::set<std::string> answering;
    std::string control;
    std::vector<std::string> tried;
  };
  const Case cases[] = {
      {"PipeWire with its pulse server", &pipewire, {"pulse", "pipewire"}, "pulse", {"pulse"}},
      {"PipeWire without a pulse server",
       &pipewire,
       {"pipewire"},
       "pipewire",
       {"pulse", "pipewire"}},
      {"PipeWire, no control answers", &pipewire, {}, "", {"pulse", "pipewire"}},
      {"PulseAudio", &pulse, {"pulse", "pipewire"}, "pulse", {"pulse"}},
      {"PulseAudio not answering", &pulse, {"pipewire"}, "", {"pulse"}},
      {"a card", &card, {"pulse", "pipewire", "hw:2"}, "hw:2", {"hw:2"}},
      {"a card whose control is gone", &card, {"pulse"}, "", {"hw:2"}},
      {"no mixer", &other, {"pulse", "pipewire", "whatever"}, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> tried;
    const std::string control = AlsaMixerControlName(*c.device, [&](const std::string& name) {
      tried.push_back(name);
      return c.answering.count(name) != 0;
    });
    EXPECT_EQ(control, c.control);
    EXPECT_EQ(tried, c.tried);
  }
  AlsaMixerBackend backend;
  EXPECT_EQ(backend.Open(other), nullptr);
  CaptureDeviceEntry missingCard;
  missingCard.cardIndex = 97;  // no such card: no mixer, no error
  EXPECT_EQ(backend.Open(missingCard), nullptr);
}

TEST(AudioRecordFactoryTest, FailureLeavesTheControlEmpty) {
  IPtr<TScriptedAudioRecord> made;
  const AudioRecordFactory previous = InstallScriptedAudioRecord({}, &made, E_FAIL);
  IPtr<IAudioRecord> control;
  EXPECT_EQ(CreateAudioRecord(control), E_FAIL);
  EXPECT_FALSE(control);
  SetAudioRecordFactory([](IPtr<IAudioRecord>&) -> HRESULT { throw std::runtime_error("x"); });
  EXPECT_EQ(CreateAudioRecord(control), E_FAIL);
  EXPECT_FALSE(control);
  SetAudioRecordFactory(previous);
}

TEST(OleCheckTest, RaisesOnFailureCodesOnly) {
  EXPECT_EQ(OleCheck(S_OK), S_OK);
  EXPECT_EQ(OleCheck(S_FALSE), S_FALSE);
  try {
    OleCheck(E_FAIL);
    FAIL() << "no exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
    EXPECT_EQ(e.Message(), "Erreur non spécifiée");
  }
  try {
    OleCheck(static_cast<HRESULT>(0x80001234u));
    FAIL() << "no exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Message(), "Erreur OLE 80001234");
  }
}

}  // namespace
}  // namespace kestrune
