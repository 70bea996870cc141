// Placeholders still waiting for their pins when the pin framework stops.
#include <gtest/gtest.h>

#include <string>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace vektest;

// Each test starts the framework itself and stops it in the middle, while
// pins still link to placeholders.
class VekPlaceholderShutdownTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void TearDown() override {
    // The form's pins are freed with a running framework.
    if (!VekPinsUnit.Initialized())
      Start();
    FreeAndNil(form_);
    Stop();
  }
  static void Start() {
    VekPinsUnit.Initialize();
    VekStdTypesUnit.Initialize();
  }
  static void Stop() {
    VekStdTypesUnit.Finalize();
    VekPinsUnit.Finalize();
  }
  TTestComponent* Component(const std::string& name) {
    if (form_ == nullptr) {
      form_ = Create<TTestForm>(nullptr);
      form_->SetName("fmMain");
    }
    auto* c = Create<TTestComponent>(form_);
    c->SetName(name);
    return c;
  }
  TVekBasicPin* Placeholder(TVekPinKind kind, const std::string& path) {
    return ResolvePinByPath(AllPins(), form_, kind, path, path, "");
  }

  TTestForm* form_ = nullptr;
};

TEST_F(VekPlaceholderShutdownTest, StoppingReleasesPlaceholdersAndTheirLinks) {
  TTestComponent* a = Component("A");
  TTestComponent* b = Component("B");
  TVekBasicPin* source = Placeholder(vpkSource, "fmMain.Late.OutputPin");
  TVekBasicPin* sink = Placeholder(vpkSink, "fmMain.Late.InputPin");
  Placeholder(vpkSink, "fmMain.Never.InputPin");  // linked to nothing
  ASSERT_TRUE(a->InputPin->Connect(source));
  ASSERT_TRUE(b->OutputPin->Connect(sink));
  ASSERT_EQ(UnloadedPins()->Count(), 3);

  Stop();

  // The pins that linked to a placeholder no longer refer to it (they are
  // read with the framework running again).
  Start();
  EXPECT_EQ(UnloadedPins()->Count(), 0);
  EXPECT_EQ(a->InputPin->GetSourcePin(), nullptr);
  EXPECT_EQ(b->OutputPin->GetSinkCount(), 0);
}

TEST_F(VekPlaceholderShutdownTest, StoppingWithOnlyPlaceholdersLeft) {
  TVekBasicPin* source = Placeholder(vpkSource, "fmMain.Late.OutputPin");
  TVekBasicPin* sink = Placeholder(vpkSink, "fmMain.Late.InputPin");
  ASSERT_NE(source, nullptr);
  ASSERT_NE(sink, nullptr);
  Stop();
  EXPECT_EQ(UnloadedPins(), nullptr);
}

}  // namespace
