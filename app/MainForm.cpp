#include "app/MainForm.h"

#include <exception>

#include "app/AboutForm.h"
#include "app/AppState.h"
#include "app/AudioCtl_TLB.h"
#include "app/DebugLog.h"
#include "app/Delay.h"
#include "app/MainFormDescription.h"
#include "audio/MoskAudioIn.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "controls/LmVuMeter.h"
#include "controls/LuTrackBar.h"
#include "controls/StyComboBox.h"
#include "controls/StyGlassButton.h"
#include "controls/StyGroupBox.h"
#include "controls/StyMenuStylers.h"
#include "controls/StyMenus.h"
#include "platform/classes/ActnList.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "scope/TrelScope.h"

TfmMain* fmMain = nullptr;

namespace {

// The component of the loaded description named `name`, of class T; a
// description without it cannot make the window.
template <class T>
T* Stored(TComponent* root, const char* name) {
  T* found = dynamic_cast<T*>(root->FindComponent(name));
  if (found == nullptr)
    throw EComponentError(Format("La fenêtre principale n'a pas de composant %s", {name}));
  return found;
}

// Runs `step`, dropping any exception (logged while logging is on).
template <class F>
void Guarded(const char* what, F&& step) {
  try {
    step();
  } catch (...) {
    DebugLog(std::string(what) + " : " + kestrune::ExceptionText(std::current_exception()));
  }
}

}  // namespace

TfmMain::TfmMain(TComponent* owner) : TForm(owner) {
  SetName("fmMain");
  SetCaption("Kestrune");
}

void TfmMain::Loaded() {
  inherited::Loaded();
  TrelScope1 = Stored<TTrelScope>(this, "TrelScope1");
  MoskAudioIn1 = Stored<TMoskAudioIn>(this, "MoskAudioIn1");
  MoskAudioIn1PPM = Stored<TMoskPPMMeter>(this, "MoskAudioIn1PPM");
  MoskRemoveDC1 = Stored<TMoskRemoveDC>(this, "MoskRemoveDC1");
  MoskAmplifier1 = Stored<TMoskAmplifier>(this, "MoskAmplifier1");
  MoskAudioToReal1 = Stored<TMoskAudioToReal>(this, "MoskAudioToReal1");
  MoskSpectrum1 = Stored<TMoskSpectrum>(this, "MoskSpectrum1");
  btnScope = Stored<TStyGlassButton>(this, "btnScope");
  btnSpectrum = Stored<TStyGlassButton>(this, "btnSpectrum");
  StyGroupBox1 = Stored<TStyGroupBox>(this, "StyGroupBox1");
  StyGroupBox2 = Stored<TStyGroupBox>(this, "StyGroupBox2");
  StyGroupBox3 = Stored<TStyGroupBox>(this, "StyGroupBox3");
  tbScaleHorz = Stored<TLuTrackBar>(this, "tbScaleHorz");
  cbScaleHorzAuto = Stored<TCheckBox>(this, "cbScaleHorzAuto");
  tbScaleVert1 = Stored<TLuTrackBar>(this, "tbScaleVert1");
  cbScaleVertAuto1 = Stored<TCheckBox>(this, "cbScaleVertAuto1");
  tbScaleVert2 = Stored<TLuTrackBar>(this, "tbScaleVert2");
  cbScaleVertAuto2 = Stored<TCheckBox>(this, "cbScaleVertAuto2");
  LuTrackBar1 = Stored<TLuTrackBar>(this, "LuTrackBar1");
  LuTrackBar2 = Stored<TLuTrackBar>(this, "LuTrackBar2");
  LuTrackBar4 = Stored<TLuTrackBar>(this, "LuTrackBar4");
  LuTrackBar5 = Stored<TLuTrackBar>(this, "LuTrackBar5");
  lstAudioIn1Devices = Stored<TStyComboBox>(this, "lstAudioIn1Devices");
  lstAudioIn1DeviceLines = Stored<TStyComboBox>(this, "lstAudioIn1DeviceLines");
  vuAudioIn1 = Stored<TlmVuMeter>(this, "vuAudioIn1");
  ActionList1 = Stored<TActionList>(this, "ActionList1");
  ActAppClose = Stored<TAction>(this, "ActAppClose");
  ActAppHelpIndex = Stored<TAction>(this, "ActAppHelpIndex");
  ActAppReadme = Stored<TAction>(this, "ActAppReadme");
  ActAppAbout = Stored<TAction>(this, "ActAppAbout");
  StyMainMenu1 = Stored<TStyMainMenu>(this, "StyMainMenu1");
  StyPopupMenu1 = Stored<TStyPopupMenu>(this, "StyPopupMenu1");
  StyMenuOfficeStyler1 = Stored<TStyMenuOfficeStyler>(this, "StyMenuOfficeStyler1");
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TfmMain::FormCreate(TObject*) {
  btnScopeClick(btnScope);
  StartUp();
}

void TfmMain::StartUp() {
  initializing = true;
  InitPaths(Application != nullptr ? Application->ExeName() : std::string());
  StartMultimedia();
  InitAudioIn();
  InitAudioOut();
  InitScope();
  initializing = false;
}

void TfmMain::StartMultimedia() {
  Guarded("[AudioIn1] Recording control", [this] {
    auto* control = Create<TCAudioRecord>(this);
    control->SetName("AC1");
    AudioRecord = control;
  });
  Delay(50);
  // The lists are guarded like the selections, so that a control that cannot
  // be reached leaves the rest of start-up to run.
  Guarded("[AudioIn1] Devices", [this] { ListAudioInDevices(); });
  vuAudioIn1->SetPeakShow(true);
}

void TfmMain::InitAudioIn() {
  SplashStatus("Initialisation Entrée Audio...");
  PrepareAudioInCapture();
}

void TfmMain::PrepareAudioInCapture() {
  if (AudioRecord != nullptr) {
    Guarded("[AudioIn1] SetFileName", [this] { AudioRecord->SetFileName(AppDir + "ac1.wav"); });
    Guarded("[AudioIn1] SetControlValue", [this] { AudioRecord->SetControlValue(0); });
  }
  SetAudioInEnabled(true);
}

void TfmMain::InitAudioOut() {
  // The program has no audio output: only the status text.
  SplashStatus("Initialisation Sorties Audio...");
}

void TfmMain::InitScope() {
  SwitchToScope();
  SetHorzAuto(0);
  SetVertAuto(0);
  tbScaleVert1Change(tbScaleVert1);
}

void TfmMain::SetAudioInEnabled(bool on) {
  Guarded("[AudioIn1] Enabled", [this, on] { MoskAudioIn1->SetEnabled(on); });
  Delay(100);
}

void TfmMain::SetCaptureActive(bool on) {
  Guarded("[AudioIn1] Capture", [this, on] {
    if (on) {
      MoskAudioIn1->SetEnabled(true);
      MoskAudioIn1->Start();
    } else {
      // Disabling stops capture and closes the device.
      MoskAudioIn1->SetEnabled(false);
    }
  });
  Delay(100);
}

void TfmMain::FormCloseQuery(TObject*, bool&) {
  closing = true;
  StopMultimedia();
  CloseDebugLog();
}

void TfmMain::StopMultimedia() {
  SetCaptureActive(false);
  SetAudioInEnabled(false);
}

void TfmMain::ActAppCloseExecute(TObject*) {
  Close();
}

// ---------------------------------------------------------------------------
// Device and line lists

void TfmMain::ListAudioInDevices() {
  DebugLog("[AudioIn1] Devices searching...");
  lstAudioIn1Devices->Items()->Clear();
  if (AudioRecord == nullptr)
    return;
  const int32_t count = AudioRecord->GetDeviceCount();
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = AudioRecord->GetDeviceName(i);
    lstAudioIn1Devices->Items()->Add(name);
    DebugLog("[AudioIn1] - Device detection : " + name);
  }
  if (lstAudioIn1Devices->Items()->Count() > 0) {
    lstAudioIn1Devices->SetItemIndex(0);
    lstAudioIn1DevicesChange(lstAudioIn1Devices);
  }
}

void TfmMain::SelectAudioInDevice(int index, const std::string& name) {
  DebugLog("[AudioIn1] Device selection");
  if (index == -1)
    index = IndexOfAudioInDevice(name);
  if (index < 0 || AudioRecord == nullptr)
    return;
  Guarded("[AudioIn1] SetDevice", [this, index] {
    AudioRecord->SelectDevice(index);
    const std::string chosen = lstAudioIn1Devices->Items()->Strings(index);
    UserPrefs[0] = chosen;
    MoskAudioIn1->SetEnabled(false);
    Delay(50);
    MoskAudioIn1->GetDevice()->SetDeviceName(chosen);
    Delay(50);
    MoskAudioIn1->SetEnabled(true);
    Delay(50);
    DebugLog(Format("[AudioIn1] - SetDevice : %d - %s", {index, chosen}));
    ListAudioInDeviceLines(index, "");
  });
}

void TfmMain::ListAudioInDeviceLines(int index, const std::string& name) {
  DebugLog("[AudioIn1] Device lines searching...");
  lstAudioIn1DeviceLines->Items()->Clear();
  const int device = index == -1 ? IndexOfAudioInDevice(name) : index;
  if (AudioRecord == nullptr || device == -1)
    return;
  // Guarded like the selections: a failing control leaves the list as far as
  // it got and start-up goes on.
  Guarded("[AudioIn1] Device lines", [this] {
    const int32_t count = AudioRecord->GetLineCount();
    for (int32_t j = 0; j < count; ++j) {
      const std::string line = AudioRecord->GetLineName(j);
      lstAudioIn1DeviceLines->Items()->Add(line);
      DebugLog("[AudioIn1] - Device Line detection : " + line);
    }
    if (lstAudioIn1DeviceLines->Items()->Count() > 0) {
      lstAudioIn1DeviceLines->SetItemIndex(0);
      lstAudioIn1DeviceLinesChange(lstAudioIn1DeviceLines);
    }
  });
}

void TfmMain::SelectAudioInDeviceLine(int index, const std::string& name) {
  Guarded("[AudioIn1] SetDeviceLine", [&] {
    DebugLog("[AudioIn1] Device line selection");
    if (AudioRecord == nullptr)
      return;
    const int j = index == -1 ? IndexOfAudioInDeviceLine(name) : index;
    AudioRecord->SelectLine(j);
    const std::string chosen = lstAudioIn1DeviceLines->Items()->Strings(j);
    if (!initializing)
      UserPrefs[1] = chosen;
    DebugLog(Format("[AudioIn1] - SetDeviceLine : %d - %s", {j, chosen}));
  });
}

int TfmMain::IndexOfAudioInDevice(const std::string& name) const {
  return lstAudioIn1Devices->Items()->IndexOf(name);
}

int TfmMain::IndexOfAudioInDeviceLine(const std::string& name) const {
  return lstAudioIn1DeviceLines->Items()->IndexOf(name);
}

void TfmMain::lstAudioIn1DevicesChange(TObject*) {
  SelectAudioInDevice(lstAudioIn1Devices->ItemIndex(), "");
}

void TfmMain::lstAudioIn1DeviceLinesChange(TObject*) {
  SelectAudioInDeviceLine(lstAudioIn1DeviceLines->ItemIndex(), "");
}

// ---------------------------------------------------------------------------
// Display mode and scales

void TfmMain::btnScopeClick(TObject* Sender) {
  btnScope->Font()->SetColor(clSilver);
  btnSpectrum->Font()->SetColor(clSilver);
  auto* button = dynamic_cast<TStyGlassButton*>(Sender);
  if (button != nullptr && button->Down())
    button->Font()->SetColor(clLime);
  if (Sender == btnScope)
    SwitchToScope();
  else if (Sender == btnSpectrum)
    SwitchToSpectrum();
}

void TfmMain::RelinkScope(uint8_t mode) {
  TVekPinList* outputs =
      mode == 0 ? MoskAudioToReal1->GetOutputPins() : MoskSpectrum1->GetOutputPins();
  for (int c = 0; c < 2; ++c)
    TrelScope1->GetChannels()->GetItem(c)->GetInputPin()->DisconnectAll();
  for (int c = 0; c < 2; ++c)
    TrelScope1->GetChannels()->GetItem(c)->GetInputPin()->Connect(outputs->GetPin(c));
}

void TfmMain::SwitchToScope() {
  SwitchTo(0);
}

void TfmMain::SwitchToSpectrum() {
  SwitchTo(1);
}

void TfmMain::SwitchTo(uint8_t mode) {
  wanted_mode_ = mode;
  // Called from a wait of a running switch: that switch ends in this mode.
  if (switching_ || DisplayMode == mode)
    return;
  switching_ = true;
  Guarded("[Scope] Switch", [this] {
    while (DisplayMode != wanted_mode_) {
      SetCaptureActive(false);
      // A click served in the wait may have asked for the other mode.
      const uint8_t target = wanted_mode_;
      RelinkScope(target);
      SetCaptureActive(true);
      SetDisplayMode(target);
    }
  });
  switching_ = false;
}

void TfmMain::SetDisplayMode(uint8_t mode) {
  DisplayMode = mode;
  ApplyVertScale1(Channel1Sensitivity());
  ApplyTimeBase(HorzSampleCount());
}

void TfmMain::SetHorzAuto(uint8_t on) {
  HorzAuto = on;
  tbScaleHorzChange(tbScaleHorz);
}

void TfmMain::SetVertAuto(uint8_t on) {
  VertAuto = on;
  tbScaleVert1Change(tbScaleVert1);
}

int32_t TfmMain::HorzSampleCount() const {
  return TimeBaseSamples(tbScaleHorz->Position());
}

int32_t TfmMain::Channel1Sensitivity() const {
  return SensitivityRange(tbScaleVert1->Position());
}

int32_t TfmMain::Channel2Sensitivity() const {
  return SensitivityRange(tbScaleVert2->Position());
}

void TfmMain::ApplyTimeBase(int32_t samples) {
  TTrelScopeXAxis* x = TrelScope1->GetXAxis();
  const bool a = DisplayMode != 0 || HorzAuto == 1;
  x->GetMaxSample()->SetAutosize(a);
  x->GetMax()->SetAutoScale(a);
  x->GetMin()->SetAutoScale(a);
  x->GetMaxSample()->SetValue(a ? 1024 : static_cast<uint32_t>(samples));
  x->GetMin()->SetValue(0.0);
  x->GetMax()->SetValue(a ? 1024.0 : static_cast<double>(samples));
}

void TfmMain::ApplyVertScale(int, int32_t v) {
  TTrelScopeYAxis* y = TrelScope1->GetYAxis();
  y->GetAutoScaling()->SetEnabled(VertAuto == 1);
  if (VertAuto == 0) {
    y->SetMax(v);
    y->SetMin(DisplayMode == 1 ? -(v / 100.0) : -static_cast<double>(v));
  } else if (VertAuto == 1) {
    y->SetMin(0.0);
    y->SetMax(0.0);
  }
}

void TfmMain::tbScaleHorzChange(TObject*) {
  ApplyTimeBase(HorzSampleCount());
}

void TfmMain::tbScaleVert1Change(TObject* Sender) {
  auto* bar = dynamic_cast<TLuTrackBar*>(Sender);
  if (bar == nullptr)
    return;
  if (bar->Tag == 1)
    ApplyVertScale1(Channel1Sensitivity());
  else if (bar->Tag == 2)
    ApplyVertScale2(Channel2Sensitivity());
}

void TfmMain::cbScaleVertAuto1Click(TObject*) {
  cbScaleVertAuto2->SetChecked(cbScaleVertAuto1->Checked());
  SetVertAuto(cbScaleVertAuto1->Checked() ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Level-meter feed

void TfmMain::MoskAudioIn1PPMValueChange(TObject* Sender, int32_t AChannel, double AValue,
                                         double AMax) {
  if (initializing || closing || dynamic_cast<TMoskPPMMeter*>(Sender) == nullptr)
    return;
  Guarded("[AudioIn1] Level", [&] {
    const int level = LevelFromReading(AValue, AMax);
    if (AChannel == 0) {
      if (level > vuAudioIn1->LeftPeak)
        vuAudioIn1->LeftPeakResetCount = 0;
      vuAudioIn1->SetLeftValue(level);
    } else if (AChannel == 1) {
      if (level > vuAudioIn1->RightPeak)
        vuAudioIn1->RightPeakResetCount = 0;
      vuAudioIn1->SetRightValue(level);
    }
  });
  if (++vuAudioIn1->LeftPeakResetCount >= 30)
    vuAudioIn1->ResetLeftPeak();
  if (++vuAudioIn1->RightPeakResetCount >= 30)
    vuAudioIn1->ResetRightPeak();
}

// ---------------------------------------------------------------------------
// The unit

namespace {

void StartMainForm() {
  RegisterClass<TCAudioRecord>();
  RegisterClass<TfmMain>()
      .Method("FormCreate", &TfmMain::FormCreate)
      .Method("FormCloseQuery", &TfmMain::FormCloseQuery)
      .Method("btnScopeClick", &TfmMain::btnScopeClick)
      .Method("ActAppCloseExecute", &TfmMain::ActAppCloseExecute)
      .Method("lstAudioIn1DevicesChange", &TfmMain::lstAudioIn1DevicesChange)
      .Method("lstAudioIn1DeviceLinesChange", &TfmMain::lstAudioIn1DeviceLinesChange)
      .Method("MoskAudioIn1PPMValueChange", &TfmMain::MoskAudioIn1PPMValueChange)
      .Method("cbScaleVertAuto1Click", &TfmMain::cbScaleVertAuto1Click)
      .Method("tbScaleVert1Change", &TfmMain::tbScaleVert1Change)
      .Method("tbScaleHorzChange", &TfmMain::tbScaleHorzChange);
  RegisterComponentDescription("TfmMain", MainFormDescription());
}

}  // namespace

TUnit MainFormUnit("MainForm", &StartMainForm, nullptr);
