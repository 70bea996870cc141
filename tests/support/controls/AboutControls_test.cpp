// The about box's controls: the RTF label and its rich-text subset, and the
// executable information.
#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "platform/forms/RichEdit.h"
#include "platform/graphics/Bitmap.h"
#include "platform/win/Libraries.h"
#include "support/controls/ExeInfo.h"
#include "support/controls/RTFLabel.h"

namespace {

// Colour table entry 1 red, \cf1 and \b on the first word, \fs36, right
// alignment, a control word to skip (\ansi, \fswiss) and a destination to
// skip with its text.
constexpr const char* kTitle =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}"
    "{\\*\\generator HIDDEN TEXT;}\\pard\\qr\\plain\\f0\\fs36\\b\\cf1 Ab\\b0\\cf0 cd\\par}";

TEST(RichText, ReadsTheSubsetAndSkipsTheRest) {
  const std::vector<TRichTextParagraph> paragraphs = ParseRichText(kTitle);
  ASSERT_EQ(paragraphs.size(), 1u);
  EXPECT_EQ(paragraphs[0].alignment, taRightJustify);
  ASSERT_EQ(paragraphs[0].runs.size(), 2u);
  const TRichTextRun& red = paragraphs[0].runs[0];
  EXPECT_EQ(red.text, "Ab");
  EXPECT_EQ(red.fontName, "Arial");
  EXPECT_EQ(red.halfPoints, 36);
  EXPECT_EQ(red.color, static_cast<TColor>(0x0000FF));
  EXPECT_TRUE(red.bold);
  const TRichTextRun& plain = paragraphs[0].runs[1];
  EXPECT_EQ(plain.text, "cd");
  EXPECT_EQ(plain.color, clWindowText) << "\\cf0 is the default colour";
  EXPECT_FALSE(plain.bold);
  EXPECT_EQ(plain.halfPoints, 36);
}

TEST(RichText, GroupsKeepTheirFormatAndPardEndsTheAlignment) {
  const auto paragraphs =
      ParseRichText("{\\rtf1\\qr{\\b x}y\\par\\pard z\\'e9\\{\\}\\\\\\unknownword7 w}");
  ASSERT_EQ(paragraphs.size(), 2u);
  EXPECT_EQ(paragraphs[0].alignment, taRightJustify);
  ASSERT_EQ(paragraphs[0].runs.size(), 2u);
  EXPECT_TRUE(paragraphs[0].runs[0].bold);
  EXPECT_FALSE(paragraphs[0].runs[1].bold) << "the group's bold ends with the group";
  EXPECT_EQ(paragraphs[1].alignment, taLeftJustify);
  ASSERT_EQ(paragraphs[1].runs.size(), 1u);
  EXPECT_EQ(paragraphs[1].runs[0].text, "z\xC3\xA9{}\\w");
}

class AboutControlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!FormsUnit.Initialized())
      FormsUnit.Initialize();
    Application->Initialize();
  }
  void TearDown() override { kestrune::InstallExecutableVersionInfo(nullptr); }
  // Renders the label's text into a fresh 160 x 40 bitmap filled with
  // fuchsia and returns the bitmap (owned by the caller).
  static TBitmap* Render(TRTFLabel* label) {
    TBitmap* bitmap = Create<TBitmap>();
    bitmap->SetSize(160, 40);
    bitmap->Canvas()->Brush()->SetColor(clFuchsia);
    bitmap->Canvas()->FillRect(Rect(0, 0, 160, 40));
    label->RenderRichText(bitmap->Canvas(), Rect(0, 0, 160, 40));
    return bitmap;
  }
};

TEST_F(AboutControlsTest, RTFLabelDrawsOnePixelInFromItsRectangle) {
  auto* label = Create<TRTFLabel>(nullptr);
  label->SetColor(clWhite);
  label->SetRichText(kTitle);
  TBitmap* bitmap = Render(label);
  TCanvas* canvas = bitmap->Canvas();
  EXPECT_EQ(canvas->Pixel(0, 0), clFuchsia) << "the margin of one pixel is left alone";
  EXPECT_EQ(canvas->Pixel(0, 39), clFuchsia);
  EXPECT_EQ(canvas->Pixel(1, 1), clWhite) << "the background is the label's colour";
  EXPECT_EQ(canvas->Pixel(159, 39), clWhite);
  // Right-aligned: the red first word and the default-coloured rest lie in
  // the right half, nothing on the left.
  int red_left = 160, red_right = -1, dark_right = -1, left_ink = 0;
  for (int y = 1; y < 40; ++y) {
    for (int x = 1; x < 160; ++x) {
      const TColor c = canvas->Pixel(x, y);
      if (c == clRed) {
        red_left = std::min(red_left, x);
        red_right = std::max(red_right, x);
      } else if (c == clBlack) {
        dark_right = std::max(dark_right, x);
      }
      if (x < 80 && c != clWhite)
        ++left_ink;
    }
  }
  EXPECT_EQ(left_ink, 0);
  EXPECT_GT(red_left, 80);
  EXPECT_GT(dark_right, red_right) << "the default-coloured part follows the red one";
  EXPECT_GE(dark_right, 150);
  bitmap->Free();
  label->Free();
}

TEST_F(AboutControlsTest, TransparentRTFLabelRendersOnItsParentsBrushColour) {
  TForm* form = Create<TForm>(nullptr);
  form->SetColor(clYellow);
  auto* label = Create<TRTFLabel>(form);
  label->SetParent(form);
  label->SetColor(clWhite);
  label->SetRichText(kTitle);
  label->SetTransparent(true);
  TBitmap* bitmap = Render(label);
  EXPECT_EQ(bitmap->Canvas()->Pixel(1, 1), clYellow);
  bitmap->Free();
  label->SetTransparent(false);
  bitmap = Render(label);
  EXPECT_EQ(bitmap->Canvas()->Pixel(1, 1), clWhite);
  bitmap->Free();
  EXPECT_EQ(label->Version(), "1.3.0.0");
  label->SetVersion("9.9.9.9");
  EXPECT_EQ(label->Version(), "1.3.0.0");
  form->Free();
}

TEST_F(AboutControlsTest, ExeInfoWithoutARecordKeepsItsTexts) {
  kestrune::InstallExecutableVersionInfo(nullptr);
  auto* info = Create<TExeInfo>(nullptr);
  for (const std::string* text :
       {&info->CompanyName(), &info->FileDescription(), &info->FileVersion(), &info->InternalName(),
        &info->LegalCopyright(), &info->LegalTradeMark(), &info->OriginalFileName(),
        &info->ProductName(), &info->ProductVersion(), &info->Comments()}) {
    EXPECT_EQ(*text, "Updated at run-time");
  }
  EXPECT_EQ(info->OSName(), "Unknown");
  EXPECT_EQ(info->WindowsDir(), "");
  EXPECT_EQ(info->Version(), "1.2.0.0");
  info->Free();
}

TEST_F(AboutControlsTest, ExeInfoReadsTheRecordAndAMissingKeyGivesEmpty) {
  kestrune::FileVersionInfo record;
  record.language = 0x040C;
  record.codePage = 0x04B0;
  record.fixed.dwFileFlagsMask = 0x3F;
  record.fixed.dwFileFlags = 0x41;  // a flag outside the mask is dropped
  record.fixed.dwFileType = 1;
  record.fixed.dwFileOS = 0x40004;
  // 2000-01-01 00:00 as a file time.
  const uint64_t ticks = 125911584000000000ull;
  record.fixed.dwFileDateMS = static_cast<uint32_t>(ticks >> 32);
  record.fixed.dwFileDateLS = static_cast<uint32_t>(ticks);
  record.strings = {{"CompanyName", "Compagnie"},   {"FileVersion", "3.4.5.6"},
                    {"LegalCopyright", "(c) nous"}, {"LegalTradeMarks", "TM"},
                    {"ProductName", "Velmora"},     {"Comments", "Rien"}};
  kestrune::InstallExecutableVersionInfo(&record);
  auto* info = Create<TExeInfo>(nullptr);
  EXPECT_EQ(info->CompanyName(), "Compagnie");
  EXPECT_EQ(info->FileVersion(), "3.4.5.6");
  EXPECT_EQ(info->LegalCopyright(), "(c) nous");
  EXPECT_EQ(info->LegalTradeMark(), "TM");
  EXPECT_EQ(info->ProductName(), "Velmora");
  EXPECT_EQ(info->Comments(), "Rien");
  EXPECT_EQ(info->FileDescription(), "") << "a key missing from the table";
  EXPECT_EQ(info->InternalName(), "");
  EXPECT_EQ(info->FileFlags(), 0x01u);
  EXPECT_EQ(info->FileType(), 1u);
  EXPECT_EQ(info->TargetOS(), 0x40004u);
  EXPECT_DOUBLE_EQ(info->FileDate(), 36526.0);  // days from 1899-12-30 to 2000-01-01
  info->Free();
  // Another translation's key finds nothing.
  std::string value;
  EXPECT_FALSE(VerQueryString(record, "\\StringFileInfo\\040904B0\\CompanyName", value));
  EXPECT_TRUE(VerQueryString(record, "\\StringFileInfo\\040c04b0\\companyname", value));
  EXPECT_EQ(GetFileVersionInfoSize("/bin/sh"), 0u) << "no other file has a record";
}

TEST_F(AboutControlsTest, ComputerNameFitsSixteenCharactersAndIsReadOnly) {
  std::string name = "old";
  EXPECT_TRUE(kestrune::ComputerNameFromHostName("abcdefghijklmno", 16, name));  // 15
  EXPECT_EQ(name, "abcdefghijklmno");
  EXPECT_FALSE(kestrune::ComputerNameFromHostName("abcdefghijklmnop", 16, name));  // 16
  EXPECT_EQ(name, "");
  auto* info = Create<TExeInfo>(nullptr);
  const std::string before = info->ComputerName();
  EXPECT_LE(before.size(), 15u);
  info->SetComputerName("renamed");
  EXPECT_EQ(info->ComputerName(), before);
  EXPECT_EQ(info->TempDir().back(), '/');
  info->Free();
}

}  // namespace
