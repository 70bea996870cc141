// System colours through the fixed table, and colours and cursors stored in
// descriptions by name or number.
#include <gtest/gtest.h>

#include "platform/classes/ClassesUnit.h"
#include "platform/classes/Streaming.h"
#include "platform/gdiobj/Colors.h"
#include "platform/gdiobj/GraphicsObjects.h"

namespace {

// The standard scheme as the system lists it, 0xRRGGBB by index.
constexpr uint32_t kScheme[] = {
    0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8,
    0x808080, 0x808080, 0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000,
    0xFFFFE1, 0xB5B5B5, 0x000080, 0xA6CAF0, 0xC0C0C0, 0x0A246A, 0xD4D0C8};

TEST(SystemColors, ResolveThroughTableWithRedInLowByte) {
  for (int i = 0; i < 31; ++i) {
    const uint32_t rgb = kScheme[i];
    const COLORREF want = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    EXPECT_EQ(ColorToRGB(SystemColor(i)), want) << "index " << i;
    EXPECT_EQ(GetSysColor(i), want) << "index " << i;
  }
  EXPECT_EQ(ColorToRGB(clBtnFace), 0x00C8D0D4u);
  EXPECT_EQ(ColorToRGB(clInfoBk), 0x00E1FFFFu);
  EXPECT_EQ(ColorToRGB(SystemColor(31)), 0u);
  EXPECT_EQ(ColorToRGB(SystemColor(255)), 0u);
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(clCream), 0xF0FBFFu);
}

class TColorHolder : public TComponent {
  KESTRUNE_CLASS(TColorHolder, TComponent)
  explicit TColorHolder(TComponent* owner) : TComponent(owner) {}
  TColor color = clBlack;
  TColor back = clBtnFace;
  TCursor cursor = crDefault;
  TFont* font = Create<TFont>();
  ~TColorHolder() override { font->Free(); }
  TFont* Font() { return font; }
};

class StoredColors : public testing::Test {
 protected:
  void SetUp() override {
    ClassesUnit.Initialize();
    GraphicsUnit.Initialize();
    RegisterClass<TColorHolder>()
        .MappedInteger("Color", &TColorHolder::color, &TColorHolder::color, kColorIdents, clBlack)
        .MappedInteger("Back", &TColorHolder::back, &TColorHolder::back, kColorIdents, clBtnFace)
        .MappedInteger("Cursor", &TColorHolder::cursor, &TColorHolder::cursor, kCursorIdents,
                       crDefault)
        .Object("Font", &TColorHolder::Font);
  }
  void TearDown() override {
    GraphicsUnit.Finalize();
    ClassesUnit.Finalize();
  }
};

TEST_F(StoredColors, ReadByNameIntegerOrSystemColour) {
  struct Case {
    const char* text;
    TColor color;
    TColor back;
    TCursor cursor;
  };
  const Case cases[] = {
      {"Color = clRed", clRed, clBtnFace, crDefault},
      {"Color = 12345", 12345, clBtnFace, crDefault},
      {"Color = CLLIME\n Back = clWindow", clLime, clWindow, crDefault},
      {"Back = -2147483633", clBlack, clBtnFace, crDefault},  // the number of clBtnFace
      {"Cursor = crHandPoint", clBlack, clBtnFace, crHandPoint},
      {"Cursor = 99", clBlack, clBtnFace, 99},
  };
  for (const Case& k : cases) {
    auto* h = Create<TColorHolder>(nullptr);
    ReadComponentFromText(h, std::string("object H: TColorHolder\n") + k.text + "\nend\n");
    EXPECT_EQ(h->color, k.color) << k.text;
    EXPECT_EQ(h->back, k.back) << k.text;
    EXPECT_EQ(h->cursor, k.cursor) << k.text;
    h->Free();
  }
}

TEST_F(StoredColors, WrittenByNameWhereThereIsOne) {
  auto* h = Create<TColorHolder>(nullptr);
  h->SetName("H");
  h->color = clCream;
  h->back = 0x123456;
  h->cursor = crHandPoint;
  h->font->SetColor(clBtnShadow);
  const std::string text = WriteComponentToText(h);
  EXPECT_NE(text.find("Color = clCream"), std::string::npos) << text;
  EXPECT_NE(text.find("Back = 1193046"), std::string::npos) << text;
  EXPECT_NE(text.find("Cursor = crHandPoint"), std::string::npos) << text;
  EXPECT_NE(text.find("Font.Color = clBtnShadow"), std::string::npos) << text;
  auto* back = Create<TColorHolder>(nullptr);
  ReadComponentFromText(back, text);
  EXPECT_EQ(back->color, clCream);
  EXPECT_EQ(back->back, 0x123456);
  EXPECT_EQ(back->cursor, crHandPoint);
  EXPECT_EQ(back->font->Color(), clBtnShadow);
  back->Free();
  h->Free();
}

TEST_F(StoredColors, UnknownNameIsAClearError) {
  auto* h = Create<TColorHolder>(nullptr);
  EXPECT_THROW(ReadComponentFromText(h, "object H: TColorHolder\n Color = clBogus\nend\n"),
               EDescriptionError);
  EXPECT_EQ(h->color, clBlack);
  // A name of the other map is no colour.
  EXPECT_THROW(ReadComponentFromText(h, "object H: TColorHolder\n Color = crHandPoint\nend\n"),
               EDescriptionError);
  h->Free();
}

}  // namespace
