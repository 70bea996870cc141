// The recording control's wrapper: connection on first use, the not-connected
// failure, and result codes turned into exceptions.
#include "app/AudioCtl_TLB.h"

#include <gtest/gtest.h>

#include "platform/com/ScriptedAudioRecord.h"

namespace {

using kestrune::AudioRecordFactory;
using kestrune::InstallScriptedAudioRecord;
using kestrune::SetAudioRecordFactory;
using kestrune::TScriptedAudioRecord;

class AudioCtlTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetAudioRecordFactory(previous_);
    if (owner_ != nullptr)
      owner_->Free();
  }
  TCAudioRecord* MakeWrapper() {
    owner_ = Create<TComponent>(nullptr);
    auto* wrapper = Create<TCAudioRecord>(owner_);
    wrapper->SetName("AC1");
    return wrapper;
  }
  AudioRecordFactory previous_;
  TComponent* owner_ = nullptr;
};

TEST_F(AudioCtlTest, ConnectsOnceOnFirstUseAndPassesCallsThrough) {
  int made = 0;
  IPtr<TScriptedAudioRecord> control;
  kestrune::ScriptedAudioRecordScript script{{{"Micro", {"Capture", "Ligne"}}}, {}};
  previous_ = InstallScriptedAudioRecord(script, &control);
  AudioRecordFactory inner = SetAudioRecordFactory({});
  SetAudioRecordFactory([&made, inner](IPtr<IAudioRecord>& out) {
    ++made;
    return inner(out);
  });
  TCAudioRecord* wrapper = MakeWrapper();
  EXPECT_EQ(made, 0);
  EXPECT_EQ(wrapper->GetDeviceCount(), 1);
  EXPECT_EQ(wrapper->GetDeviceName(0), "Micro");
  wrapper->SelectDevice(0);
  EXPECT_EQ(wrapper->GetLineCount(), 2);
  EXPECT_EQ(wrapper->GetLineName(1), "Ligne");
  wrapper->SelectLine(1);
  wrapper->SetFileName("/app/ac1.wav");
  wrapper->SetControlValue(0);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(control->Log(),
            (std::vector<std::string>{"GetDeviceCount", "GetDeviceName 0", "SelectDevice 0",
                                      "GetLineCount", "GetLineName 1", "SelectLine 1",
                                      "SetFileName /app/ac1.wav", "SetControlValue 0"}));
  EXPECT_EQ(control->CurrentLine(), 1);
}

TEST_F(AudioCtlTest, FailedConnectRaisesTheNotConnectedText) {
  previous_ = InstallScriptedAudioRecord({}, nullptr, E_FAIL);
  TCAudioRecord* wrapper = MakeWrapper();
  try {
    wrapper->GetDeviceCount();
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(),
              "DefaultInterface is NULL. Component is not connected to Server. You must call "
              "'Connect' or 'ConnectTo' before this operation");
  }
}

TEST_F(AudioCtlTest, FailureCodesRaise) {
  const std::vector<std::string> methods = {"GetDeviceCount", "GetDeviceName",  "SelectDevice",
                                            "SetFileName",    "GetLineCount",   "SelectLine",
                                            "GetLineName",    "SetControlValue"};
  for (const std::string& method : methods) {
    SCOPED_TRACE(method);
    kestrune::ScriptedAudioRecordScript script{{{"Micro", {"Capture"}}}, {method}};
    AudioRecordFactory before = InstallScriptedAudioRecord(script, nullptr);
    if (!previous_)
      previous_ = before;
    auto* owner = Create<TComponent>(nullptr);
    auto* wrapper = Create<TCAudioRecord>(owner);
    const auto call = [&] {
      if (method == "GetDeviceCount")
        wrapper->GetDeviceCount();
      if (method == "GetDeviceName")
        wrapper->GetDeviceName(0);
      if (method == "SelectDevice")
        wrapper->SelectDevice(0);
      if (method == "SetFileName")
        wrapper->SetFileName("x");
      if (method == "GetLineCount")
        wrapper->GetLineCount();
      if (method == "SelectLine")
        wrapper->SelectLine(0);
      if (method == "GetLineName")
        wrapper->GetLineName(0);
      if (method == "SetControlValue")
        wrapper->SetControlValue(0);
    };
    EXPECT_THROW(call(), EOleSysError);
    owner->Free();
  }
}

}  // namespace
