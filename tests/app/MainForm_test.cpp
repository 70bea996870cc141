// The main window read from its stored description: the graph and its links,
// the start-up sequence against a scripted recording control and a scripted
// wave device (also with a failure at each control call), the mode switch
// (also with clicks queued while it waits), the scales, and the level-meter
// feed.
#include "app/MainForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Vek/VekPins.h"
#include "app/AppState.h"
#include "app/AudioCtl_TLB.h"
#include "app/Delay.h"
#include "app/ProgramUnits.h"
#include "audio/MoskAudioIn.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "controls/LmVuMeter.h"
#include "controls/LuTrackBar.h"
#include "controls/StyComboBox.h"
#include "controls/StyGlassButton.h"
#include "platform/classes/MainLoop.h"
#include "platform/com/ScriptedAudioRecord.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/StdCtrls.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "scope/TrelScope.h"
#include "tests/app/MainFormTestSupport.h"

namespace {

using apptest::JournalWaveIn;
using apptest::ResetAppState;
using apptest::StartUnits;
using kestrune::ScriptedAudioRecordScript;
using kestrune::TScriptedAudioRecord;

const ScriptedAudioRecordScript kTwoDevices{
    {{"Micro", {"Capture", "Ligne"}}, {"Carte USB", {"Entrée"}}}, {}};

// Notes in the journal each change of what the scope's two input pins are
// linked to: "Channel0 -> none", "Channel1 -> spectrum", ...
class ScopeLinkJournal : public TInterfacedObject, public IVekPinEvents {
  KESTRUNE_CLASS(ScopeLinkJournal, TInterfacedObject)
  ScopeLinkJournal(TfmMain* form, std::vector<std::string>& journal)
      : form_(form), journal_(journal) {
    for (int c = 0; c < 2; ++c)
      last_[c] = LinkOf(c);
  }
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    HRESULT r = QueryInterfaceTable<IVekPinEvents>(this, iid, obj);
    return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
  }
  void BroadcastPinLinksChanged(TVekBasicPin*) override {
    for (int c = 0; c < 2; ++c) {
      const std::string to = LinkOf(c);
      if (to != last_[c])
        journal_.push_back("Channel" + std::to_string(c) + " -> " + to);
      last_[c] = to;
    }
  }
  void BroadcastPinCreated(TVekBasicPin*) override {}
  void BroadcastPinDestroying(TVekBasicPin*, bool) override {}
  void BroadcastPinJoinedDispatcher(TVekBasicPin*, TObject*) override {}
  void BroadcastPinUnlinking(TVekBasicPin*, TObject*) override {}
  void BroadcastPinListCreated(TObject*) override {}
  void BroadcastPinListDestroying(TObject*) override {}
  void BroadcastPinListChanged(TObject*) override {}
  void BroadcastPinListPinAdded(TObject*, TVekBasicPin*, int) override {}
  void BroadcastPinListPinRemoved(TObject*, TVekBasicPin*, int) override {}
  void BroadcastPinListExchanged(TObject*, TVekBasicPin*, int, int, TVekBasicPin*) override {}
  void BroadcastDispatcherCreated(TVekStateDispatcher*) override {}
  void BroadcastDispatcherDestroying(TVekStateDispatcher*, bool) override {}
  void BroadcastDispatcherChanged(TVekStateDispatcher*) override {}

 private:
  std::string LinkOf(int c) const {
    TVekBasicPin* in = form_->TrelScope1->GetChannels()->GetItem(c)->GetInputPin();
    if (in->IsConnectedTo(form_->MoskAudioToReal1->GetOutputPins()->GetPin(c)))
      return "converter";
    if (in->IsConnectedTo(form_->MoskSpectrum1->GetOutputPins()->GetPin(c)))
      return "spectrum";
    return in->IsConnected() ? "other" : "none";
  }

  TfmMain* form_;
  std::vector<std::string>& journal_;
  std::string last_[2];
};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartUnits();
    ResetAppState();
    kestrune::ScriptedDeviceScript micro;
    micro.name = "Micro";
    backend_ = std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{micro});
    kestrune::SetWaveInBackend(std::make_shared<JournalWaveIn>(backend_, journal_));
    // Every wait, with the number of capture streams open as it begins.
    previousObserver_ = kestrune::detail::SetDelayObserver([this](uint32_t ms) {
      journal_.push_back("Delay " + std::to_string(ms) + " streams " +
                         std::to_string(backend_->OpenStreams()));
    });
  }
  void TearDown() override {
    StopLinkJournal();
    if (form_ != nullptr) {
      bool canClose = true;
      form_->FormCloseQuery(form_, canClose);
      FreeAndNil(form_);
    }
    kestrune::MainLoop::Current()->ProcessMessages();
    kestrune::detail::SetDelayObserver(previousObserver_);
    kestrune::SetWaveInBackend(nullptr);
    kestrune::SetAudioRecordFactory(previous_);
  }
  void Make(ScriptedAudioRecordScript script, HRESULT createResult = S_OK) {
    script.onCall = [this](const std::string& entry) { journal_.push_back(entry); };
    previous_ = kestrune::InstallScriptedAudioRecord(script, &control_, createResult);
    form_ = Create<TfmMain>(nullptr);
  }
  std::vector<std::string> ControlLog() const {
    return control_ ? control_->Log() : std::vector<std::string>{};
  }
  // The journal from entry `from` on.
  std::vector<std::string> JournalFrom(std::size_t from) const {
    return {journal_.begin() + static_cast<std::ptrdiff_t>(from), journal_.end()};
  }
  void StartLinkJournal() {
    links_ = IPtr<ScopeLinkJournal>(Create<ScopeLinkJournal>(form_, journal_));
    PinEventListeners()->Add(IPtr<IInterface>(static_cast<IVekPinEvents*>(links_.get())));
  }
  void StopLinkJournal() {
    if (links_)
      PinEventListeners()->Remove(static_cast<IVekPinEvents*>(links_.get()));
    links_ = nullptr;
  }

  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
  std::vector<std::string> journal_;
  std::function<void(uint32_t)> previousObserver_;
  kestrune::AudioRecordFactory previous_;
  IPtr<TScriptedAudioRecord> control_;
  IPtr<ScopeLinkJournal> links_;
  TfmMain* form_ = nullptr;
};

TEST_F(MainFormTest, TheStoredGraphLoadsWithEveryLinkAndNoPlaceholder) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  EXPECT_EQ(f.Caption(), "Kestrune");
  EXPECT_EQ(f.ClientWidth(), 665);
  EXPECT_EQ(f.ClientHeight(), 385);
  EXPECT_EQ(f.BorderStyle(), TFormBorderStyle::bsSingle);
  EXPECT_EQ(f.BorderIcons(), BorderIconBit(biSystemMenu) | BorderIconBit(biMinimize));
  TVekBasicPin* audio = f.MoskAudioIn1->GetOutputPin();
  EXPECT_TRUE(f.MoskAudioIn1PPM->GetInputPin()->IsConnectedTo(audio));
  EXPECT_TRUE(f.MoskRemoveDC1->GetInputPin()->IsConnectedTo(audio));
  EXPECT_TRUE(f.MoskAmplifier1->GetInputPin()->IsConnectedTo(f.MoskRemoveDC1->GetOutputPin()));
  EXPECT_TRUE(f.MoskSpectrum1->GetInputPin()->IsConnectedTo(f.MoskAmplifier1->GetOutputPin()));
  EXPECT_TRUE(f.MoskAudioToReal1->GetInputPin()->IsConnectedTo(f.MoskAmplifier1->GetOutputPin()));
  for (int c = 0; c < 2; ++c)
    EXPECT_TRUE(f.TrelScope1->GetChannels()->GetItem(c)->GetInputPin()->IsConnectedTo(
        f.MoskAudioToReal1->GetOutputPins()->GetPin(c)));
  EXPECT_EQ(UnloadedPins()->Count(), 0) << "a stored link was left unresolved";
  EXPECT_EQ(f.MoskAudioIn1->GetAudioFormat()->GetSampleRate(), 44100u);
  EXPECT_EQ(f.tbScaleVert2->Tag, 2);
  EXPECT_TRUE(f.cbScaleHorzAuto->Checked());
  EXPECT_FALSE(f.cbScaleVertAuto2->Enabled());
}

// The scope's axis settings, as one comparable record.
struct Scales {
  bool autosize, maxAuto, minAuto;
  uint32_t maxSample;
  double xMin, xMax;
  bool yAuto;
  double yMin, yMax;
  bool operator==(const Scales&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Scales& s) {
  return os << "X autosize " << s.autosize << " max auto " << s.maxAuto << " min auto " << s.minAuto
            << " samples " << s.maxSample << " " << s.xMin << ".." << s.xMax << " Y auto "
            << s.yAuto << " " << s.yMin << ".." << s.yMax;
}

Scales ScalesOf(TTrelScope* scope) {
  TTrelScopeXAxis* x = scope->GetXAxis();
  TTrelScopeYAxis* y = scope->GetYAxis();
  return {x->GetMaxSample()->GetAutosize(),
          x->GetMax()->GetAutoScale(),
          x->GetMin()->GetAutoScale(),
          x->GetMaxSample()->GetValue(),
          x->GetMin()->GetValue(),
          x->GetMax()->GetValue(),
          y->GetAutoScaling()->GetEnabled(),
          y->GetMin(),
          y->GetMax()};
}

// The oscilloscope's scales right after start-up.
const Scales kStartUpScales{false, false, false, 1024, 0.0, 1024.0, false, -10000.0, 10000.0};
// The spectrum analyser's scales with the stored slider positions.
const Scales kSpectrumScales{true, true, true, 1024, 0.0, 1024.0, false, -100.0, 10000.0};

std::vector<std::string> ItemsOf(TStyComboBox* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->Items()->Count(); ++i)
    items.push_back(box->Items()->Strings(i));
  return items;
}

TEST_F(MainFormTest, StartUpTalksToTheControlInOrderAndLeavesTheScopeAtItsStartScales) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  const std::string file = AppDir + "ac1.wav";
  // Loading starts capture on "Default" (the mapper); the control is made and
  // waited for; the first device is chosen: capture stops, waits, takes the
  // name, waits, starts on the named device, waits; then its lines.
  EXPECT_EQ(journal_, (std::vector<std::string>{
                          "open mapper", "Delay 50 streams 1", "GetDeviceCount", "GetDeviceName 0",
                          "GetDeviceName 1", "SelectDevice 0", "Delay 50 streams 0",
                          "Delay 50 streams 0", "open Micro", "Delay 50 streams 1", "GetLineCount",
                          "GetLineName 0", "GetLineName 1", "SelectLine 0", "SetFileName " + file,
                          "SetControlValue 0", "Delay 100 streams 1"}));
  EXPECT_FALSE(AppDir.empty());
  EXPECT_EQ(AppDir.back(), '/');
  ASSERT_NE(f.AudioRecord, nullptr);
  EXPECT_EQ(f.AudioRecord->Name(), "AC1");
  EXPECT_EQ(f.AudioRecord->Owner(), form_);
  EXPECT_EQ(ItemsOf(f.lstAudioIn1Devices), (std::vector<std::string>{"Micro", "Carte USB"}));
  EXPECT_EQ(ItemsOf(f.lstAudioIn1DeviceLines), (std::vector<std::string>{"Capture", "Ligne"}));
  EXPECT_EQ(f.lstAudioIn1Devices->ItemIndex(), 0);
  EXPECT_EQ(f.lstAudioIn1DeviceLines->ItemIndex(), 0);
  // Capture moved to the chosen device by name and runs.
  EXPECT_EQ(f.MoskAudioIn1->GetDevice()->GetDeviceName(), "Micro");
  EXPECT_TRUE(f.MoskAudioIn1->GetEnabled());
  EXPECT_GE(backend_->SuccessfulOpens(), 2);  // "Default" on loading, then "Micro"
  EXPECT_EQ(ScalesOf(f.TrelScope1), kStartUpScales);
  EXPECT_FALSE(initializing);
  EXPECT_EQ(DisplayMode, 0);
  EXPECT_EQ(VertAuto, 0);
  EXPECT_EQ(HorzAuto, 0);
  // The line chosen during start-up is not kept among the user's choices.
  EXPECT_EQ(UserPrefs, (TUserPrefs{"Micro", "", "", ""}));
  EXPECT_TRUE(f.vuAudioIn1->PeakShow());
  EXPECT_EQ(f.btnScope->Font()->Color(), clLime);
  EXPECT_EQ(f.btnSpectrum->Font()->Color(), clSilver);
}

TEST_F(MainFormTest, AFailureAtAnyControlCallLetsStartUpComplete) {
  struct Case {
    const char* failing;  // method name; "create" for a control that cannot be made
    std::vector<std::string> devices, lines;
  };
  const std::vector<Case> cases = {
      {"create", {}, {}},
      {"GetDeviceCount", {}, {}},
      {"GetDeviceName", {}, {}},
      {"SelectDevice", {"Micro", "Carte USB"}, {}},
      {"GetLineCount", {"Micro", "Carte USB"}, {}},
      {"GetLineName", {"Micro", "Carte USB"}, {}},
      {"SelectLine", {"Micro", "Carte USB"}, {"Capture", "Ligne"}},
      {"SetFileName", {"Micro", "Carte USB"}, {"Capture", "Ligne"}},
      {"SetControlValue", {"Micro", "Carte USB"}, {"Capture", "Ligne"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    ResetAppState();
    ScriptedAudioRecordScript script = kTwoDevices;
    const bool create = std::string(c.failing) == "create";
    if (!create)
      script.failing = {c.failing};
    Make(script, create ? E_FAIL : S_OK);
    TfmMain& f = *form_;
    EXPECT_FALSE(initializing);
    EXPECT_EQ(ScalesOf(f.TrelScope1), kStartUpScales);
    EXPECT_TRUE(f.MoskAudioIn1->GetEnabled());
    EXPECT_EQ(ItemsOf(f.lstAudioIn1Devices), c.devices);
    EXPECT_EQ(ItemsOf(f.lstAudioIn1DeviceLines), c.lines);
    const std::vector<std::string> log = ControlLog();
    if (!create) {
      // The file name and the setting are still passed, in that order.
      ASSERT_GE(log.size(), 2u);
      EXPECT_EQ(log[log.size() - 2], "SetFileName " + AppDir + "ac1.wav");
      EXPECT_EQ(log.back(), "SetControlValue 0");
    }
    // The level meter works afterwards.
    f.MoskAudioIn1PPMValueChange(f.MoskAudioIn1PPM, 0, 0.5, 1.0);
    EXPECT_EQ(f.vuAudioIn1->LeftValue(), 50);
    bool canClose = true;
    f.FormCloseQuery(form_, canClose);
    FreeAndNil(form_);
    kestrune::SetAudioRecordFactory(previous_);
    control_.reset();
  }
}

TEST_F(MainFormTest, NoDevicesOrADeviceWithoutLinesLeaveTheListsEmpty) {
  Make({{{"Micro", {}}}, {}});
  EXPECT_EQ(ItemsOf(form_->lstAudioIn1Devices), (std::vector<std::string>{"Micro"}));
  EXPECT_TRUE(ItemsOf(form_->lstAudioIn1DeviceLines).empty());
  EXPECT_EQ(form_->lstAudioIn1DeviceLines->ItemIndex(), -1);
  bool canClose = true;
  form_->FormCloseQuery(form_, canClose);
  FreeAndNil(form_);
  kestrune::SetAudioRecordFactory(previous_);

  ResetAppState();
  Make({{}, {}});
  EXPECT_TRUE(ItemsOf(form_->lstAudioIn1Devices).empty());
  EXPECT_TRUE(ItemsOf(form_->lstAudioIn1DeviceLines).empty());
  EXPECT_EQ(ControlLog(),
            (std::vector<std::string>{"GetDeviceCount", "SetFileName " + AppDir + "ac1.wav",
                                      "SetControlValue 0"}));
  // Capture keeps running on the wave mapper.
  EXPECT_EQ(form_->MoskAudioIn1->GetDevice()->GetDeviceName(), "Default");
  EXPECT_TRUE(form_->MoskAudioIn1->GetEnabled());
  EXPECT_EQ(UserPrefs[0], "");
}

TEST_F(MainFormTest, AUserDeviceChoiceMovesCaptureAndKeepsTheChoices) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  std::size_t before = journal_.size();
  f.lstAudioIn1Devices->SetItemIndex(1);
  f.lstAudioIn1DevicesChange(f.lstAudioIn1Devices);
  EXPECT_EQ(JournalFrom(before),
            (std::vector<std::string>{"SelectDevice 1", "Delay 50 streams 0", "Delay 50 streams 0",
                                      "open mapper", "Delay 50 streams 1", "GetLineCount",
                                      "GetLineName 0", "SelectLine 0"}));
  EXPECT_EQ(ItemsOf(f.lstAudioIn1DeviceLines), (std::vector<std::string>{"Entrée"}));
  // No wave device has that name: capture runs on the mapper, the list
  // shows the choice.
  EXPECT_EQ(f.MoskAudioIn1->GetDevice()->GetDeviceName(), "Carte USB");
  EXPECT_TRUE(f.MoskAudioIn1->GetEnabled());
  EXPECT_EQ(UserPrefs, (TUserPrefs{"Carte USB", "Entrée", "", ""}));
  // The same device again still restarts capture and lists its lines anew.
  before = journal_.size();
  f.lstAudioIn1DevicesChange(f.lstAudioIn1Devices);
  EXPECT_EQ(JournalFrom(before),
            (std::vector<std::string>{"SelectDevice 1", "Delay 50 streams 0", "Delay 50 streams 0",
                                      "open mapper", "Delay 50 streams 1", "GetLineCount",
                                      "GetLineName 0", "SelectLine 0"}));
  // Back to the first device, which the wave layer knows by that name.
  before = journal_.size();
  f.lstAudioIn1Devices->SetItemIndex(0);
  f.lstAudioIn1DevicesChange(f.lstAudioIn1Devices);
  EXPECT_EQ(JournalFrom(before),
            (std::vector<std::string>{"SelectDevice 0", "Delay 50 streams 0", "Delay 50 streams 0",
                                      "open Micro", "Delay 50 streams 1", "GetLineCount",
                                      "GetLineName 0", "GetLineName 1", "SelectLine 0"}));
  EXPECT_EQ(UserPrefs, (TUserPrefs{"Micro", "Capture", "", ""}));
  // Closing: capture stops, with the close query's two waits.
  before = journal_.size();
  bool canClose = true;
  f.FormCloseQuery(form_, canClose);
  EXPECT_TRUE(canClose);
  EXPECT_EQ(JournalFrom(before),
            (std::vector<std::string>{"Delay 100 streams 0", "Delay 100 streams 0"}));
}

TEST_F(MainFormTest, TheModeSwitchRelinksTheScopeAndSetsTheModesScales) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  auto linkedTo = [&](TVekPinList* outputs) {
    for (int c = 0; c < 2; ++c) {
      TVekBasicPin* in = f.TrelScope1->GetChannels()->GetItem(c)->GetInputPin();
      if (!in->IsConnectedTo(outputs->GetPin(c)))
        return false;
    }
    return true;
  };
  StartLinkJournal();
  // A click on the current mode does nothing: no stop, no wait, no relink.
  std::size_t before = journal_.size();
  f.btnScopeClick(f.btnScope);
  EXPECT_EQ(journal_.size(), before);
  EXPECT_TRUE(linkedTo(f.MoskAudioToReal1->GetOutputPins()));

  // Capture stops and waits; channel 0, then 1, leave the converter; channel
  // 0, then 1, join the spectrum; capture starts again and waits.
  before = journal_.size();
  f.btnSpectrum->SetDown(true);
  f.btnScopeClick(f.btnSpectrum);
  EXPECT_EQ(JournalFrom(before),
            (std::vector<std::string>{"Delay 100 streams 0", "Channel0 -> none", "Channel1 -> none",
                                      "Channel0 -> spectrum", "Channel1 -> spectrum", "open Micro",
                                      "Delay 100 streams 1"}));
  EXPECT_EQ(DisplayMode, 1);
  EXPECT_TRUE(linkedTo(f.MoskSpectrum1->GetOutputPins()));
  EXPECT_FALSE(f.MoskAudioToReal1->GetOutputPins()->GetPin(0)->IsConnectedTo(
      f.TrelScope1->GetChannels()->GetItem(0)->GetInputPin()));
  EXPECT_TRUE(f.MoskAudioIn1->GetEnabled());
  EXPECT_EQ(ScalesOf(f.TrelScope1), kSpectrumScales);
  EXPECT_EQ(f.btnSpectrum->Font()->Color(), clLime);
  EXPECT_EQ(f.btnScope->Font()->Color(), clSilver);

  before = journal_.size();
  f.btnScope->SetDown(true);
  f.btnScopeClick(f.btnScope);
  EXPECT_EQ(JournalFrom(before),
            (std::vector<std::string>{"Delay 100 streams 0", "Channel0 -> none", "Channel1 -> none",
                                      "Channel0 -> converter", "Channel1 -> converter",
                                      "open Micro", "Delay 100 streams 1"}));
  EXPECT_EQ(DisplayMode, 0);
  EXPECT_TRUE(linkedTo(f.MoskAudioToReal1->GetOutputPins()));
  EXPECT_EQ(ScalesOf(f.TrelScope1), kStartUpScales);
}

// Clicks on the mode buttons that arrive while a switch waits (queued input,
// served by the switch's waits): the display ends in the mode of the button
// pressed last, with that button down, its caption lit, the scope linked to
// that mode's component, the mode's scales and capture running.
TEST_F(MainFormTest, ClicksQueuedDuringAModeSwitchEndInTheModeOfTheLastButton) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  f.Show();
  kestrune::MainLoop& loop = *kestrune::MainLoop::Current();
  auto centre = [](TStyGlassButton* b) {
    return b->ClientToScreen(TPoint{b->Width() / 2, b->Height() / 2});
  };
  // Clicks the first button; the others are queued before it, so they are
  // served in the waits of the switch the first one starts.
  auto clickWithQueued = [&](std::vector<TStyGlassButton*> buttons) {
    for (size_t i = 1; i < buttons.size(); ++i)
      loop.Post([p = centre(buttons[i])] { kestrune::testing::Click(p); });
    ASSERT_TRUE(kestrune::testing::Click(centre(buttons[0])));
    loop.ProcessMessages();
  };
  auto expectShows = [&](TStyGlassButton* last, const char* what) {
    const uint8_t mode = last == f.btnScope ? 0 : 1;
    TStyGlassButton* other = last == f.btnScope ? f.btnSpectrum : f.btnScope;
    TVekPinList* outputs =
        mode == 0 ? f.MoskAudioToReal1->GetOutputPins() : f.MoskSpectrum1->GetOutputPins();
    TVekPinList* others =
        mode == 0 ? f.MoskSpectrum1->GetOutputPins() : f.MoskAudioToReal1->GetOutputPins();
    EXPECT_EQ(DisplayMode, mode) << what;
    EXPECT_TRUE(last->Down()) << what;
    EXPECT_FALSE(other->Down()) << what;
    EXPECT_EQ(last->Font()->Color(), clLime) << what;
    EXPECT_EQ(other->Font()->Color(), clSilver) << what;
    for (int c = 0; c < 2; ++c) {
      TVekBasicPin* in = f.TrelScope1->GetChannels()->GetItem(c)->GetInputPin();
      EXPECT_TRUE(in->IsConnectedTo(outputs->GetPin(c))) << what << ": channel " << c;
      EXPECT_FALSE(in->IsConnectedTo(others->GetPin(c))) << what << ": channel " << c;
    }
    EXPECT_EQ(ScalesOf(f.TrelScope1), mode == 0 ? kStartUpScales : kSpectrumScales) << what;
    EXPECT_TRUE(f.MoskAudioIn1->GetEnabled()) << what;
    EXPECT_EQ(backend_->OpenStreams(), 1) << what;
  };

  clickWithQueued({f.btnSpectrum, f.btnScope});
  expectShows(f.btnScope, "spectrum, then oscilloscope queued");

  clickWithQueued({f.btnSpectrum});
  expectShows(f.btnSpectrum, "spectrum alone");
  clickWithQueued({f.btnScope, f.btnSpectrum});
  expectShows(f.btnSpectrum, "oscilloscope, then spectrum queued");

  // Twenty alternating clicks, oscilloscope first, so spectrum last.
  std::vector<TStyGlassButton*> twenty;
  for (int i = 0; i < 20; ++i)
    twenty.push_back(i % 2 == 0 ? f.btnScope : f.btnSpectrum);
  clickWithQueued(twenty);
  expectShows(f.btnSpectrum, "twenty alternating clicks");
}

TEST_F(MainFormTest, SlidersAndAutoBoxesSetTheScalesPerMode) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  // Time base, oscilloscope, auto off: the table's samples across.
  const int32_t samples[] = {16, 32, 64, 128, 256, 512, 1024, 2048, 4096};
  for (int position = 1; position <= 9; ++position) {
    SCOPED_TRACE(position);
    f.tbScaleHorz->SetPosition(position);  // its OnChange applies it
    const Scales s = ScalesOf(f.TrelScope1);
    EXPECT_EQ(s.maxSample, static_cast<uint32_t>(samples[position - 1]));
    EXPECT_EQ(s.xMax, samples[position - 1]);
    EXPECT_FALSE(s.autosize);
  }
  // Horizontal auto in the oscilloscope: autosize over 1024.
  HorzAuto = 1;
  f.ApplyTimeBase(64);
  EXPECT_EQ(ScalesOf(f.TrelScope1),
            (Scales{true, true, true, 1024, 0.0, 1024.0, false, -10000.0, 10000.0}));
  HorzAuto = 0;

  // Sensitivity: the last slider moved sets the one vertical axis.
  struct Case {
    TLuTrackBar* bar;
    int position;
    uint8_t mode, vertAuto;
    double yMin, yMax;
  };
  const Case cases[] = {
      {f.tbScaleVert1, 1, 0, 0, -100.0, 100.0}, {f.tbScaleVert1, 9, 0, 0, -50000.0, 50000.0},
      {f.tbScaleVert2, 3, 0, 0, -500.0, 500.0}, {f.tbScaleVert2, 6, 1, 0, -50.0, 5000.0},
      {f.tbScaleVert1, 4, 1, 0, -10.0, 1000.0}, {f.tbScaleVert1, 2, 0, 1, 0.0, 0.0},
      {f.tbScaleVert2, 8, 1, 1, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bar->Tag) + " at " + std::to_string(c.position));
    DisplayMode = c.mode;
    VertAuto = c.vertAuto;
    c.bar->SetPosition(c.position);
    f.tbScaleVert1Change(c.bar);
    const Scales s = ScalesOf(f.TrelScope1);
    EXPECT_EQ(s.yAuto, c.vertAuto == 1);
    EXPECT_EQ(s.yMin, c.yMin);
    EXPECT_EQ(s.yMax, c.yMax);
  }
  DisplayMode = 0;
  VertAuto = 0;

  // The vertical auto box: both boxes follow, the axis scales itself.
  f.tbScaleVert1->SetPosition(7);
  f.cbScaleVertAuto1->SetChecked(true);
  EXPECT_TRUE(f.cbScaleVertAuto2->Checked());
  EXPECT_EQ(VertAuto, 1);
  EXPECT_TRUE(ScalesOf(f.TrelScope1).yAuto);
  // The time-base group's box runs the same handler, as stored.
  f.cbScaleVertAuto1->SetChecked(false);
  f.cbScaleHorzAuto->SetChecked(false);
  EXPECT_EQ(VertAuto, 0);
  EXPECT_EQ(HorzAuto, 0);
  EXPECT_EQ(ScalesOf(f.TrelScope1).yMax, 10000.0);
  // The decorative sliders change nothing.
  const Scales before = ScalesOf(f.TrelScope1);
  f.LuTrackBar1->SetPosition(3);
  f.LuTrackBar5->SetPosition(1);
  EXPECT_EQ(ScalesOf(f.TrelScope1), before);
}

TEST_F(MainFormTest, TheMeterFeedTruncatesAndKeepsAFallingPeakFor30Events) {
  Make(kTwoDevices);
  TfmMain& f = *form_;
  TlmVuMeter* vu = f.vuAudioIn1;
  auto feed = [&](TObject* sender, int channel, double value, double max) {
    f.MoskAudioIn1PPMValueChange(sender, channel, value, max);
  };
  // The left level falls to 40 after a peak of 90; the events of both
  // channels count, and the mark drops at the 30th event after it was set.
  feed(f.MoskAudioIn1PPM, 0, 0.9, 1.0);
  EXPECT_EQ(vu->LeftPeak, 90);
  for (int event = 2; event <= 29; ++event) {
    feed(f.MoskAudioIn1PPM, event % 2, 0.4, 1.0);
    ASSERT_EQ(vu->LeftPeak, 90) << "event " << event;
  }
  feed(f.MoskAudioIn1PPM, 1, 0.4, 1.0);
  EXPECT_EQ(vu->LeftPeak, 40);
  EXPECT_EQ(vu->LeftValue(), 40);
  // A steady level keeps its mark at the level.
  for (int event = 0; event < 40; ++event)
    feed(f.MoskAudioIn1PPM, 0, 0.4, 1.0);
  EXPECT_EQ(vu->LeftPeak, 40);

  // 100 x value / maximum, truncated.
  feed(f.MoskAudioIn1PPM, 0, 0.8, 0.8);
  EXPECT_EQ(vu->LeftValue(), 100);
  feed(f.MoskAudioIn1PPM, 1, 0.999 * 0.8, 0.8);
  EXPECT_EQ(vu->RightValue(), 99);
  feed(f.MoskAudioIn1PPM, 2, 0.1, 1.0);  // no third channel
  EXPECT_EQ(vu->LeftValue(), 100);
  EXPECT_EQ(vu->RightValue(), 99);

  // Ignored: another sender, while initializing, once closing.
  feed(f.MoskAudioIn1, 0, 0.1, 1.0);
  initializing = true;
  feed(f.MoskAudioIn1PPM, 0, 0.1, 1.0);
  initializing = false;
  closing = true;
  feed(f.MoskAudioIn1PPM, 0, 0.1, 1.0);
  closing = false;
  EXPECT_EQ(vu->LeftValue(), 100);
}

}  // namespace
