// The main window, TfmMain (component name "fmMain", caption "Kestrune").
//
// The window, its processing graph, its controls and their events are read
// from the stored description registered for the class (MainFormDescription,
// compiled into the program). Loading starts capture on the device
// "Default"; then FormCreate recolours the mode buttons and runs the start-up
// sequence: paths, the recording control and its device and line lists, the
// level meter's peak mark, the control's file name and setting, and the
// oscilloscope's start-up scales. FormCloseQuery stops capture and closes
// the trace log; the window always closes.
//
// The handlers are published methods, bound by name from the description.
// Every step of start-up that talks to the recording control drops its
// failures, so start-up always completes and `initializing` is cleared.
//
// Made by the program entry through Application->CreateForm, so it is the
// application's MainForm: closing it ends the program.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/Forms.h"

class TActionList;
class TAction;
class TCAudioRecord;
class TCheckBox;
class TLuTrackBar;
class TMoskAmplifier;
class TMoskAudioIn;
class TMoskAudioToReal;
class TMoskPPMMeter;
class TMoskRemoveDC;
class TMoskSpectrum;
class TStyComboBox;
class TStyGlassButton;
class TStyGroupBox;
class TStyMainMenu;
class TStyMenuOfficeStyler;
class TStyPopupMenu;
class TTrelScope;
class TVekPinList;
class TlmVuMeter;

class TfmMain : public TForm {
  KESTRUNE_CLASS(TfmMain, TForm)
  explicit TfmMain(TComponent* owner);

  // Components of the stored description (owned by the window).
  TTrelScope* TrelScope1 = nullptr;
  TMoskAudioIn* MoskAudioIn1 = nullptr;
  TMoskPPMMeter* MoskAudioIn1PPM = nullptr;
  TMoskRemoveDC* MoskRemoveDC1 = nullptr;
  TMoskAmplifier* MoskAmplifier1 = nullptr;
  TMoskAudioToReal* MoskAudioToReal1 = nullptr;
  TMoskSpectrum* MoskSpectrum1 = nullptr;
  TStyGlassButton* btnScope = nullptr;
  TStyGlassButton* btnSpectrum = nullptr;
  TStyGroupBox* StyGroupBox1 = nullptr;
  TStyGroupBox* StyGroupBox2 = nullptr;
  TStyGroupBox* StyGroupBox3 = nullptr;
  TLuTrackBar* tbScaleHorz = nullptr;
  TCheckBox* cbScaleHorzAuto = nullptr;
  TLuTrackBar* tbScaleVert1 = nullptr;
  TCheckBox* cbScaleVertAuto1 = nullptr;
  TLuTrackBar* tbScaleVert2 = nullptr;
  TCheckBox* cbScaleVertAuto2 = nullptr;
  TLuTrackBar* LuTrackBar1 = nullptr;
  TLuTrackBar* LuTrackBar2 = nullptr;
  TLuTrackBar* LuTrackBar4 = nullptr;
  TLuTrackBar* LuTrackBar5 = nullptr;
  TStyComboBox* lstAudioIn1Devices = nullptr;
  TStyComboBox* lstAudioIn1DeviceLines = nullptr;
  TlmVuMeter* vuAudioIn1 = nullptr;
  TActionList* ActionList1 = nullptr;
  TAction* ActAppClose = nullptr;
  TAction* ActAppHelpIndex = nullptr;
  TAction* ActAppReadme = nullptr;
  TAction* ActAppAbout = nullptr;
  // The menu bar ("Fichier", "Aide"), the popup menu (no items) and the
  // office styler both paint with.
  // "Quitter" runs ActAppClose; the other entries' actions have no handler
  // and do nothing (the about box is not shown).
  TStyMainMenu* StyMainMenu1 = nullptr;
  TStyPopupMenu* StyPopupMenu1 = nullptr;
  TStyMenuOfficeStyler* StyMenuOfficeStyler1 = nullptr;

  // The recording control "AC1", owned by the window; null before start-up
  // and when it could not be made.
  TCAudioRecord* AudioRecord = nullptr;

  // Published handlers.
  void FormCreate(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void btnScopeClick(TObject* Sender);
  void ActAppCloseExecute(TObject* Sender);
  void lstAudioIn1DevicesChange(TObject* Sender);
  void lstAudioIn1DeviceLinesChange(TObject* Sender);
  void MoskAudioIn1PPMValueChange(TObject* Sender, int32_t AChannel, double AValue, double AMax);
  void cbScaleVertAuto1Click(TObject* Sender);
  void tbScaleVert1Change(TObject* Sender);
  void tbScaleHorzChange(TObject* Sender);

  // Start-up and shutdown steps.
  void StartUp();
  void StartMultimedia();
  void StopMultimedia();
  void InitAudioIn();
  void InitAudioOut();
  void InitScope();
  void PrepareAudioInCapture();
  void SetAudioInEnabled(bool on);
  void SetCaptureActive(bool on);

  // Device and line lists.
  void ListAudioInDevices();
  void SelectAudioInDevice(int index, const std::string& name);
  void ListAudioInDeviceLines(int index, const std::string& name);
  void SelectAudioInDeviceLine(int index, const std::string& name);
  int IndexOfAudioInDevice(const std::string& name) const;
  int IndexOfAudioInDeviceLine(const std::string& name) const;

  // Display mode and scales.
  // A switch to the mode on display does nothing. A switch stops capture,
  // re-links the scope's two channels and starts capture again, with a wait
  // after each (the waits serve queued input, so a click on either mode
  // button may arrive inside them). Such a click only changes the mode the
  // running switch ends in: it re-links again until the display shows the
  // mode asked for last. A failure ends the switch with the old mode.
  void SwitchToScope();
  void SwitchToSpectrum();
  void SetDisplayMode(uint8_t mode);
  void SetHorzAuto(uint8_t on);
  void SetVertAuto(uint8_t on);
  void ApplyTimeBase(int32_t samples);
  void ApplyVertScale(int channel, int32_t v);
  void ApplyVertScale1(int32_t v) { ApplyVertScale(1, v); }
  void ApplyVertScale2(int32_t v) { ApplyVertScale(2, v); }
  int32_t HorzSampleCount() const;
  int32_t Channel1Sensitivity() const;
  int32_t Channel2Sensitivity() const;

 protected:
  // Binds the component fields to the loaded components.
  void Loaded() override;

 private:
  void SwitchTo(uint8_t mode);
  // Unlinks the scope's two channels (0, then 1) and links them (0, then 1)
  // to the outputs of the mode's component.
  void RelinkScope(uint8_t mode);

  // The mode asked for last, and whether a switch is running.
  uint8_t wanted_mode_ = 0;
  bool switching_ = false;
};

// The main window while the program runs; null before it is made and after
// it is freed.
extern TfmMain* fmMain;

// The main window's unit: registers TfmMain's published handlers and its
// stored description.
extern TUnit MainFormUnit;
