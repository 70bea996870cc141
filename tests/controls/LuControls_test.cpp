// The Lu family's shared layer: the bevel's layers and update counting, the
// gradient helper, and the bitmap list's stream (round trip and refusals).
#include "controls/LuControls.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cstring>
#include <string>

#include "controls/LuUtils.h"
#include "platform/classes/Streaming.h"
#include "platform/rtl/ScopeExit.h"
#include "tests/platform/classes/SaveFileChecks.h"

namespace {

struct Counter : TObject {
  int changes = 0;
  void Changed(TObject*) { ++changes; }
};

TBitmap* Solid(int width, int height, QRgb color) {
  TBitmap* b = Create<TBitmap>();
  b->SetSize(width, height);
  b->Image().fill(color);
  return b;
}

QRgb Rgb(TBitmap* b, int x, int y) {
  return b->Image().pixel(x, y) & 0xFFFFFF;
}

TEST(LuBevel, DefaultBevelLayersLeaveTwelveByTwo) {
  TBitmap* bitmap = Solid(20, 10, qRgb(255, 0, 255));
  TLuBevel* bevel = Create<TLuBevel>();
  TRect rect{0, 0, 20, 10};
  bevel->Paint(bitmap->Canvas(), rect);
  EXPECT_EQ(rect, (TRect{4, 4, 16, 6}));
  // Outside in: black outline, raised (highlight above, shadow below),
  // lowered (the reverse), one pixel of the inner colour.
  const struct {
    int x, y;
    QRgb color;
  } pixels[] = {
      {0, 0, 0x000000},  {19, 9, 0x000000}, {1, 1, 0xFFFFFF},  {18, 8, 0x808080}, {2, 2, 0x808080},
      {17, 7, 0xFFFFFF}, {3, 3, 0xD4D0C8},  {16, 6, 0xD4D0C8}, {4, 4, 0xFF00FF},  {15, 5, 0xFF00FF},
  };
  for (const auto& p : pixels)
    EXPECT_EQ(Rgb(bitmap, p.x, p.y), p.color) << p.x << "," << p.y;
  bevel->Free();
  bitmap->Free();
}

TEST(LuBevel, OneChangePerUpdatePair) {
  Counter counter;
  TLuBevel* bevel = Create<TLuBevel>();
  bevel->OnChange = TNotifyEvent(&counter, &Counter::Changed);
  bevel->BeginUpdate();
  bevel->SetOuterWidth(3);
  bevel->SetInnerStyle(TLuBevelStyle::bsRaised);
  bevel->SetBorderColor(clRed);
  EXPECT_EQ(counter.changes, 0);
  bevel->EndUpdate();
  EXPECT_EQ(counter.changes, 1);
  // A value that is already there changes nothing.
  bevel->SetOuterWidth(3);
  EXPECT_EQ(counter.changes, 1);
  TLuBevel* other = Create<TLuBevel>();
  other->Assign(bevel);
  other->OnChange = TNotifyEvent(&counter, &Counter::Changed);
  bevel->SetInnerSpace(5);
  counter.changes = 0;
  other->Assign(bevel);
  EXPECT_EQ(counter.changes, 1);
  EXPECT_EQ(other->OuterWidth(), 3);
  EXPECT_EQ(other->InnerSpace(), 5);
  other->Free();
  bevel->Free();
}

TEST(LuGradient, VerticalBandsFromBlackToWhiteGiveGreyLevelY) {
  TBitmap* bitmap = Solid(3, 255, qRgb(255, 0, 255));
  LuUtils::DrawGradient(bitmap->Canvas(), TRect{0, 0, 3, 255}, clBlack, 1, 1, clWhite);
  for (int y = 0; y < 255; ++y) {
    ASSERT_EQ(Rgb(bitmap, 1, y), qRgb(y, y, y) & 0xFFFFFF) << y;
  }
  bitmap->Free();
}

TEST(LuGradient, ZeroSpansTakeTheStartColour) {
  const struct {
    const char* name;
    int style;
    TRect rect;
    int x, y;
  } cases[] = {
      {"style 5 on one row", 5, {0, 2, 4, 3}, 2, 2},
      {"style 6 on one column", 6, {2, 0, 3, 4}, 2, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap* bitmap = Solid(4, 4, qRgb(255, 0, 255));
    LuUtils::DrawGradient(bitmap->Canvas(), c.rect, clRed, 1, c.style, clBlue);
    EXPECT_EQ(Rgb(bitmap, c.x, c.y), 0xFF0000u);
    bitmap->Free();
  }
  // An empty rectangle draws nothing, in every style.
  TBitmap* bitmap = Solid(4, 4, qRgb(255, 0, 255));
  for (int style = 1; style <= 6; ++style) {
    LuUtils::DrawGradient(bitmap->Canvas(), TRect{1, 1, 1, 3}, clRed, 1, style, clBlue);
  }
  EXPECT_EQ(Rgb(bitmap, 1, 1), 0xFF00FFu);
  bitmap->Free();
}

TEST(LuText, BitmapTextShowsTheTextureInsideTheGlyphsOnly) {
  if (QGuiApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
  }
  TBitmap* canvas = Solid(60, 40, qRgb(255, 0, 0));
  TBitmap* texture = Solid(4, 4, qRgb(0, 0, 255));
  canvas->Canvas()->Font()->SetHeight(-36);
  canvas->Canvas()->Font()->SetStyle(FontStyleBit(fsBold));
  LuUtils::DrawBitmapText(canvas->Canvas(), TRect{0, 0, 60, 40}, 2, 0, 0, texture, "M");
  int blue = 0, red = 0, other = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      const QRgb c = Rgb(canvas, x, y);
      if (c == 0x0000FFu) {
        ++blue;
      } else if (c == 0xFF0000u) {
        ++red;
      } else {
        ++other;
      }
    }
  }
  EXPECT_GT(blue, 100);  // the glyph, filled with the texture
  EXPECT_EQ(other, 0);   // nothing but canvas or texture
  EXPECT_EQ(Rgb(canvas, 59, 39), 0xFF0000u);
  texture->Free();
  canvas->Free();
}

class LuBitmapsStream : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = Create<TLuBitmaps>();
    source_->Add(Solid(3, 2, qRgb(10, 20, 30)));
    source_->Add(Solid(5, 1, qRgb(200, 100, 50)));
    TMemoryStream* s = Create<TMemoryStream>();
    source_->SaveToStream(s);
    bytes_.assign(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size()));
    s->Free();
    target_ = Create<TLuBitmaps>();
    target_->Add(Solid(7, 7, qRgb(1, 1, 1)));
  }
  void TearDown() override {
    source_->Free();
    target_->Free();
  }
  void Load(const std::string& bytes) {
    TMemoryStream* s = Create<TMemoryStream>();
    s->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    s->SetPosition(0);
    kestrune::ScopeExit freeStream([&] { s->Free(); });
    target_->LoadFromStream(s);
  }

  TLuBitmaps* source_ = nullptr;
  TLuBitmaps* target_ = nullptr;
  std::string bytes_;
};

TEST_F(LuBitmapsStream, RoundTripAppendsTheBitmapsInOrder) {
  ASSERT_EQ(bytes_.substr(0, 4), std::string("bT5\0", 4));
  ASSERT_EQ(bytes_.substr(4, 4), std::string("\x02\0\0\0", 4));
  Load(bytes_);
  ASSERT_EQ(target_->Count(), 3);
  EXPECT_EQ(target_->Items(1)->Width(), 3);
  EXPECT_EQ(target_->Items(1)->Height(), 2);
  EXPECT_EQ(Rgb(target_->Items(1), 2, 1), qRgb(10, 20, 30) & 0xFFFFFF);
  EXPECT_EQ(target_->Items(2)->Width(), 5);
  EXPECT_EQ(Rgb(target_->Items(2), 4, 0), qRgb(200, 100, 50) & 0xFFFFFF);
}

TEST_F(LuBitmapsStream, BadStreamsRaiseInvalidFileFormatAndLoadNothing) {
  std::string wrong_magic = bytes_;
  wrong_magic[2] = '6';
  std::string overstated = bytes_;
  overstated[4] = 3;
  std::string huge_count = bytes_;
  std::memcpy(huge_count.data() + 4, "\xFF\xFF\xFF\x7F", 4);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"wrong magic", wrong_magic},      {"short stream", bytes_.substr(0, bytes_.size() - 5)},
      {"no count", bytes_.substr(0, 6)}, {"count above the bitmaps", overstated},
      {"huge count", huge_count},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      Load(c.bytes);
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Invalid file format");
    }
    ASSERT_EQ(target_->Count(), 1);
    EXPECT_EQ(target_->Items(0)->Width(), 7);
  }
}

// The list's SaveToFile replaces the file whole or not at all, with the bytes
// SaveToStream writes.
TEST_F(LuBitmapsStream, SavingToAFileIsWholeOrNotAtAll) {
  savetest::ExpectSavedWholeOrNotAtAll(
      {"LuBitmaps", ".bmps", [&](const std::string& f) { source_->SaveToFile(f); },
       [&](const std::string& f) { EXPECT_EQ(savetest::ReadFile(f), bytes_); }});
}

TEST(LuBitmapList, BitmapsTravelThroughAStoredDescription) {
  RegisterLuControlClasses();
  TLuBitmapList* list = Create<TLuBitmapList>(nullptr);
  list->SetName("Pictures");
  list->Bitmaps()->Add(Solid(2, 3, qRgb(9, 8, 7)));
  const std::string text = WriteComponentToText(list);
  TComponent* copy = CreateComponentFromText(text, nullptr);
  auto* read = dynamic_cast<TLuBitmapList*>(copy);
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->Bitmaps()->Count(), 1);
  EXPECT_EQ(read->Bitmaps()->Items(0)->Height(), 3);
  EXPECT_EQ(Rgb(read->Bitmaps()->Items(0), 1, 2), qRgb(9, 8, 7) & 0xFFFFFF);
  copy->Free();
  list->Free();
}

}  // namespace
