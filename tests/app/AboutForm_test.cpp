// The about box: made from its description and never shown, its captions
// from the executable's version information, and the start-up status.
#include "app/AboutForm.h"

#include <gtest/gtest.h>

#include "MainFormTestSupport.h"
#include "app/ProgramVersion.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "platform/win/Libraries.h"
#include "support/controls/ExeInfo.h"
#include "support/controls/KiScrollText.h"
#include "support/controls/RTFLabel.h"

namespace {

class AboutFormTest : public ::testing::Test {
 protected:
  void SetUp() override { apptest::StartUnits(); }
  void TearDown() override {
    kestrune::InstallExecutableVersionInfo(nullptr);
    fmSplash = nullptr;
  }
};

TEST_F(AboutFormTest, MadeNeverShownWithItsCaptionsFromTheVersionInformation) {
  kestrune::InstallExecutableVersionInfo(&ProgramVersionInfo());
  auto* about = Create<TfmAbout>(nullptr);
  EXPECT_EQ(about->Caption(), "A propos...");
  EXPECT_EQ(about->ClientWidth(), 305);
  EXPECT_EQ(about->ClientHeight(), 193);
  EXPECT_FALSE(about->Visible());
  EXPECT_TRUE(about->KiScrollText1->Active()) << "its creation starts the scrolling text";
  EXPECT_EQ(about->KiScrollText1->Items()->Count(), 3);
  EXPECT_EQ(about->lblVersion->Caption(), "0.1.0.0");
  EXPECT_EQ(about->lblVersion->Caption(), about->ExeInfo1->FileVersion());
  EXPECT_EQ(about->lblCopyright->Caption(), about->ExeInfo1->LegalCopyright());
  EXPECT_EQ(about->lblComments->Caption(), about->ExeInfo1->Comments());
  EXPECT_FALSE(about->lblComments->Caption().empty());
  EXPECT_EQ(about->ExeInfo1->ProductName(), "Velmora");
  EXPECT_NE(about->RTFLabel1->RichText().find("Vel\\cf0 mora"), std::string::npos);
  ASSERT_NE(about->ProgramIcon->Picture()->Graphic(), nullptr);
  EXPECT_EQ(about->ProgramIcon->Picture()->Width(), 32) << "the application's icon";
  EXPECT_EQ(about->Image1->Picture()->Width(), 12);
  EXPECT_FALSE(about->lblStatus->Visible());
  TCloseAction action = caHide;
  about->FormClose(about, action);
  EXPECT_FALSE(about->KiScrollText1->Active());
  about->Free();
}

TEST_F(AboutFormTest, WithoutVersionInformationTheCaptionsSayUpdatedAtRunTime) {
  auto* about = Create<TfmAbout>(nullptr);
  EXPECT_EQ(about->lblVersion->Caption(), "Updated at run-time");
  EXPECT_EQ(about->lblCopyright->Caption(), "Updated at run-time");
  EXPECT_EQ(about->lblComments->Caption(), "Updated at run-time");
  about->Free();
}

TEST_F(AboutFormTest, SplashStatusShowsOnTheSplashWindowOnly) {
  auto* about = Create<TfmAbout>(nullptr);
  const std::string shown = about->lblStatus->Caption();
  EXPECT_EQ(shown, "Initialisation en cours...");
  SplashStatus("Initialisation Entrée Audio...");  // no splash window
  EXPECT_EQ(about->lblStatus->Caption(), shown);
  fmSplash = about;
  SplashStatus("Initialisation Entrée Audio...");
  EXPECT_EQ(about->lblStatus->Caption(), "Initialisation Entrée Audio...");
  fmSplash = nullptr;
  about->Free();
}

}  // namespace
