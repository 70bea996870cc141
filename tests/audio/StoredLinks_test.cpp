// Stored links of the components whose output pins follow their channel
// count (the audio-to-real converter, the spectrum, the peak-programme
// meter): a form is written to text with three channels linked, read back
// with the stored channel count removed, and the component makes two pins
// only; the links to those two are restored, the stored links to the third,
// which names a pin never made, are dropped when loading ends, and no
// placeholder is left behind.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "audio/MoskChannelSplitter.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "tests/audio/MoskSplitterTestSupport.h"
#include "tests/harness/StartOnce.h"

namespace {

using namespace splittertest;

// A level display with one real-value input, for the stored links.
class TLevelDisplay : public TComponent {
  KESTRUNE_CLASS(TLevelDisplay, TComponent)
  explicit TLevelDisplay(TComponent* owner) : TComponent(owner) {
    InputPin = Create<vektest::TTestSinkPin>(this, std::vector<TGUID>{VekRealSingleType});
  }
  ~TLevelDisplay() override { FreeAndNil(InputPin); }
  vektest::TTestSinkPin* GetInputPin() const { return InputPin; }
  vektest::TTestSinkPin* InputPin;
};

// The input pins of the form's sinks ("Scope" and "Led0" .. "Led2"); null
// when the sink is not on the form.
TVekSinkPin* ScopeChannel(TComponent* form, int i) {
  auto* scope = static_cast<TRealSinks*>(form->FindComponent("Scope"));
  return scope == nullptr ? nullptr : scope->Channel(i);
}
TVekSinkPin* ScopeValue(TComponent* form, int) {
  auto* scope = static_cast<TRealSinks*>(form->FindComponent("Scope"));
  return scope == nullptr ? nullptr : scope->ValuePin;
}
TVekSinkPin* Led(TComponent* form, int i) {
  auto* led = static_cast<TLevelDisplay*>(form->FindComponent("Led" + std::to_string(i)));
  return led == nullptr ? nullptr : led->InputPin;
}

// One stored link: sink input `input(form, sinkIndex)` linked to pin `pin`
// of the component's pin list `list`.
struct StoredLink {
  TVekSinkPin* (*input)(TComponent* form, int index);
  int sinkIndex;
  int list;
  int pin;
};

// What differs per component: its class and name, its pin lists that follow
// the channel count, and the links stored.
struct AudioToRealTraits {
  using Component = TMoskAudioToReal;
  static constexpr const char* kName = "Conv";
  static std::vector<TVekPinList*> PinLists(Component* c) { return {c->GetOutputPins()}; }
  static std::vector<StoredLink> Links() {
    return {{ScopeChannel, 0, 0, 0}, {ScopeChannel, 1, 0, 1}, {ScopeChannel, 2, 0, 2}};
  }
};

struct SpectrumTraits {
  using Component = TMoskSpectrum;
  static constexpr const char* kName = "Spectrum";
  static std::vector<TVekPinList*> PinLists(Component* c) {
    return {c->GetOutputPins(), c->GetFrequencyOutputPins()};
  }
  // The third spectrum and the third frequency are linked across (to the
  // scope's first channel and its value input); two links to pins that are
  // made stand beside them.
  static std::vector<StoredLink> Links() {
    return {
        {ScopeChannel, 0, 0, 2}, {ScopeValue, 0, 1, 2}, {ScopeChannel, 1, 0, 0}, {Led, 0, 1, 1}};
  }
};

struct MeterTraits {
  using Component = TMoskPPMMeter;
  static constexpr const char* kName = "PPM";
  static std::vector<TVekPinList*> PinLists(Component* c) { return {c->GetOutputPins()}; }
  static std::vector<StoredLink> Links() {
    return {{Led, 0, 0, 0}, {Led, 1, 0, 1}, {Led, 2, 0, 2}};
  }
};

// The main-thread notifier the meter posts through, and the level displays'
// class, once per process.
void StartLevelDisplays() {
  kestrune::test_support::StartOnce([] {
    TrelMainThreadNotifyUnit.Initialize();
    RegisterClass<TLevelDisplay>().Object("InputPin", &TLevelDisplay::GetInputPin);
  });
}

// The splitter tests' form ("fmMain" with "Capture" and "Scope") and three
// level displays, under a main loop.
template <class Traits>
class StoredLinksTest : public SplitterTest {
 public:
  void SetUp() override {
    loop_ = std::make_unique<kestrune::MainLoop>();
    SplitterTest::SetUp();
    StartLevelDisplays();
    for (int i = 0; i < 3; ++i)
      Create<TLevelDisplay>(form_)->SetName("Led" + std::to_string(i));
  }
  void TearDown() override {
    SplitterTest::TearDown();
    loop_.reset();
  }

  std::unique_ptr<kestrune::MainLoop> loop_;
};

struct TraitsName {
  template <class Traits>
  static std::string GetName(int) {
    return Traits::kName;
  }
};

using Components = ::testing::Types<AudioToRealTraits, SpectrumTraits, MeterTraits>;
TYPED_TEST_SUITE(StoredLinksTest, Components, TraitsName);

TYPED_TEST(StoredLinksTest, StoredLinksOfPinsNeverMadeAreDroppedWhenLoadingEnds) {
  using Traits = TypeParam;
  using Component = typename Traits::Component;
  auto* component = Create<Component>(this->form_);
  component->SetName(Traits::kName);
  component->SetCountChannels(3);
  for (const StoredLink& link : Traits::Links()) {
    TVekSinkPin* input = link.input(this->form_, link.sinkIndex);
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(input->Connect(Traits::PinLists(component)[link.list]->GetPin(link.pin)));
  }
  std::string text = WriteComponentToText(this->form_);
  // The component will make two pins only: a stored link to a third names no
  // pin.
  const std::string countLine = "    CountChannels = 3\n";
  const std::size_t at = text.find(countLine);
  ASSERT_NE(at, std::string::npos) << text;
  text.erase(at, countLine.size());

  FreeAndNil(this->source_);
  FreeAndNil(this->form_);
  this->form_ = static_cast<vektest::TTestForm*>(CreateComponentFromText(text, nullptr));
  auto* loaded = static_cast<Component*>(this->form_->FindComponent(Traits::kName));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetCountChannels(), 2);
  const std::vector<TVekPinList*> lists = Traits::PinLists(loaded);
  for (std::size_t l = 0; l < lists.size(); ++l)
    EXPECT_EQ(lists[l]->PendingCount(), 0) << "pin list " << l;
  EXPECT_EQ(UnloadedPins()->Count(), 0) << "a placeholder was left behind";
  const std::vector<StoredLink> links = Traits::Links();
  for (std::size_t k = 0; k < links.size(); ++k) {
    SCOPED_TRACE("link " + std::to_string(k));
    TVekSinkPin* input = links[k].input(this->form_, links[k].sinkIndex);
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->GetSourcePin(),
              links[k].pin < 2 ? lists[links[k].list]->GetPin(links[k].pin) : nullptr);
  }
}

}  // namespace
