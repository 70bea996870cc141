// Closing the main window while a device switch waits: the window is the
// application's main form and the switch runs from the loop, as a list change
// does in the program. The close request is served inside the switch's first
// wait. Closing the main form ends the application for good, so this program
// holds this one case.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/AudioCtl_TLB.h"
#include "app/Delay.h"
#include "app/MainForm.h"
#include "audio/MoskAudioIn.h"
#include "controls/StyComboBox.h"
#include "platform/classes/MainLoop.h"
#include "platform/com/ScriptedAudioRecord.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/win/ScriptedWaveIn.h"
#include "tests/app/MainFormTestSupport.h"

namespace {

TEST(MainFormCloseTest, ACloseRequestInADeviceSwitchsWaitLetsTheSwitchEndFirst) {
  apptest::StartUnits();
  apptest::ResetAppState();
  std::vector<std::string> journal;
  kestrune::ScriptedDeviceScript micro;
  micro.name = "Micro";
  auto wave = std::make_shared<kestrune::ScriptedWaveInBackend>(
      std::vector<kestrune::ScriptedDeviceScript>{micro});
  kestrune::SetWaveInBackend(std::make_shared<apptest::JournalWaveIn>(wave, journal));
  kestrune::ScriptedAudioRecordScript script{
      {{"Micro", {"Capture", "Ligne"}}, {"Carte USB", {"Entrée"}}}, {}};
  script.onCall = [&journal](const std::string& entry) { journal.push_back(entry); };
  IPtr<kestrune::TScriptedAudioRecord> control;
  const kestrune::AudioRecordFactory previous =
      kestrune::InstallScriptedAudioRecord(script, &control);

  Application->CreateForm(fmMain);
  ASSERT_EQ(Application->MainForm(), fmMain);
  TfmMain* form = fmMain;
  // Each wait notes whether the window is still there, closing and terminated.
  kestrune::detail::SetDelayObserver([&](uint32_t ms) {
    journal.push_back("Delay " + std::to_string(ms) + (closing ? " closing" : "") +
                      (Application->Terminated() ? " terminated" : ""));
  });
  kestrune::MainLoop& loop = *kestrune::MainLoop::Current();
  const std::size_t before = journal.size();
  bool switchEnded = false;
  // The user picks the second device; a close request arrives meanwhile.
  loop.Post([&] {
    loop.Post([&] { form->Close(); });
    form->lstAudioIn1Devices->SetItemIndex(1);
    form->lstAudioIn1DevicesChange(form->lstAudioIn1Devices);
    switchEnded = true;
    // The window is whole when the switch's handler returns.
    EXPECT_EQ(Application->MainForm(), form);
    EXPECT_NE(form->AudioRecord, nullptr);
  });
  Application->Run();

  EXPECT_TRUE(switchEnded);
  EXPECT_TRUE(closing);
  // The switch's first wait serves the close query (its two waits, once);
  // then the switch goes on to its end.
  EXPECT_EQ(std::vector<std::string>(journal.begin() + static_cast<std::ptrdiff_t>(before),
                                     journal.end()),
            (std::vector<std::string>{"SelectDevice 1", "Delay 50", "Delay 100 closing",
                                      "Delay 100 closing", "Delay 50 closing terminated",
                                      "open mapper", "Delay 50 closing terminated", "GetLineCount",
                                      "GetLineName 0", "SelectLine 0"}));
  EXPECT_EQ(UserPrefs[0], "Carte USB");
  EXPECT_EQ(fmMain, form);

  kestrune::detail::SetDelayObserver({});
  FreeAndNil(fmMain);
  kestrune::SetWaveInBackend(nullptr);
  kestrune::SetAudioRecordFactory(previous);
}

}  // namespace
