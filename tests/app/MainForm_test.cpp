// The main window read from its stored description: the graph and its links,
// the start-up sequence against a scripted recording control and a scripted
// wave device (also with a failure at each control call), the mode switch,
// the scales, and the level-meter feed.
#include "app/MainForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "app/AppState.h"
#include "app/AudioCtl_TLB.h"
#include "audio/MoskAudioIn.h"
#include "audio/MoskAudioUnit.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "controls/ControlsUnit.h"
#include "controls/LmVuMeter.h"
#include "controls/LuTrackBar.h"
#include "controls/StyComboBox.h"
#include "controls/StyGlassButton.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/MainLoop.h"
#include "platform/com/ScriptedAudioRecord.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/GraphicsObjects.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeUnit.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelStreamTypes.h"

namespace {

using kestrune::ScriptedAudioRecordScript;
using kestrune::TScriptedAudioRecord;

void StartUnits() {
  static bool started = false;
  if (started)
    return;
  started = true;
  for (TUnit* unit :
       {&ClassesUnit, &GraphicsUnit, &FormsUnit, &VekPinsUnit, &VekStdTypesUnit,
        &TrelStreamTypesUnit, &MoskStreamTypesUnit, &TrelSimpleDataBufferUnit, &MoskAudioUnit})
    unit->Initialize();
  Application->Initialize();
  for (TUnit* unit : {&TrelMainThreadNotifyUnit, &TrelScopeUnit, &ControlsUnit, &MainFormUnit})
    unit->Initialize();
}

// The program's state as a fresh run has it.
void ResetAppState() {
  initializing = false;
  closing = false;
  DisplayMode = 0;
  VertAuto = 0;
  HorzAuto = 0;
  UserPrefs = {};
}

const ScriptedAudioRecordScript kTwoDevices{
    {{"Micro", {"Capture", "Ligne"}}, {"Carte USB", {"Entrée"}}}, {}};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartUnits();
    ResetAppState();
    kestrune::ScriptedDeviceScript micro;
    micro.name = "Micro";
    backend_ = std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{micro});
    kestrune::SetWaveInBackend(backend_);
  }
  void TearDown() override {
    if (form_ != nullptr) {
      bool canClose = true;
      form_->FormCloseQuery(form_, canClose);
      FreeAndNil(form_);
    }
    kestrune::MainLoop::Current()->ProcessMessages();
    kestrune::SetWaveInBackend(nullptr);
    kestrune::SetAudioRecordFactory(previous_);
  }
  void Make(const ScriptedAudioRecordScript& script, HRESULT createResult = S_OK) {
    previous_ = kestrune::InstallScriptedAudioRecord(script, &control_, createResult);
    form_ = Create<TfmMain>(nullptr);
  }
  std::vector<std::string> ControlLog() const {
    return control_ ? control_->Log() : std::vector<std::string>{};
  }

  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
  kestrune::AudioRecordFactory previous_;
  IPtr<TScriptedAudioRecord> control_;
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

}  // namespace
