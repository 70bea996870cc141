// Bitmaps: the BMP stream form (round trips, malformed files), pixel
// formats, transparency.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/classes/Streaming.h"
#include "platform/graphics/GraphicsTestSupport.h"
#include "platform/rtl/ScopeExit.h"
#include "tests/platform/classes/SaveFileChecks.h"

namespace {

// A bitmap of the size with pixels from a fixed seed.
TBitmap* Noise(int w, int h, TPixelFormat format, uint32_t seed) {
  TBitmap* b = Create<TBitmap>();
  b->SetSize(w, h);
  b->SetPixelFormat(format);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      b->Canvas()->SetPixel(x, y, static_cast<TColor>(rng() & 0xFFFFFF));
  }
  return b;
}

std::string BmpBytes(TBitmap* b) {
  TMemoryStream s;
  b->SaveToStream(&s);
  return std::string(reinterpret_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

void ExpectSamePixels(TBitmap& a, TBitmap& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x)
      ASSERT_EQ(PixelOf(a, x, y), PixelOf(b, x, y)) << x << "," << y;
  }
}

TEST(BitmapStream, RoundTripKeepsPixelsFormatAndLength) {
  struct Case {
    int w, h;
    TPixelFormat format;
    int bits;
  };
  const Case cases[] = {{5, 3, pf24bit, 24},
                        {7, 2, pf32bit, 32},
                        {1, 1, pf24bit, 24},
                        {13, 4, pf1bit, 1},
                        {3, 5, pfDevice, 32}};
  for (const Case& k : cases) {
    TBitmap* a = Noise(k.w, k.h, k.format, 7u + static_cast<uint32_t>(k.w));
    TBitmap* second = Noise(2, 2, pf24bit, 99);
    // Two bitmaps back to back: each read stops at its own end.
    TMemoryStream s;
    a->SaveToStream(&s);
    const int64_t firstLength = s.Position();
    const int64_t stride = ((int64_t{k.w} * k.bits + 31) / 32) * 4;
    const int64_t palette = k.bits == 1 ? 8 : 0;
    EXPECT_EQ(firstLength, 14 + 40 + palette + stride * k.h) << k.w << "x" << k.h;
    second->SaveToStream(&s);
    s.SetPosition(0);
    TBitmap* b = Create<TBitmap>();
    TBitmap* c = Create<TBitmap>();
    b->LoadFromStream(&s);
    EXPECT_EQ(s.Position(), firstLength);
    c->LoadFromStream(&s);
    EXPECT_EQ(s.Position(), s.Size());
    ExpectSamePixels(*a, *b);
    ExpectSamePixels(*second, *c);
    EXPECT_EQ(b->PixelFormat(), k.format == pfDevice ? pf32bit : k.format);
    for (TBitmap* x : {a, second, b, c})
      x->Free();
  }
}

TEST(BitmapStream, MonochromeHoldsOnlyBlackAndWhite) {
  TBitmap* b = Create<TBitmap>();
  b->SetSize(4, 1);
  b->SetMonochrome(true);
  b->Canvas()->SetPixel(0, 0, clSilver);  // light: white
  b->Canvas()->SetPixel(1, 0, clMaroon);  // dark: black
  b->Canvas()->Pen()->SetColor(clYellow);
  b->Canvas()->MoveTo(2, 0);
  b->Canvas()->LineTo(4, 0);
  EXPECT_EQ(PixelOf(*b, 0, 0), clWhite);
  EXPECT_EQ(PixelOf(*b, 1, 0), clBlack);
  EXPECT_EQ(PixelOf(*b, 2, 0), clWhite);
  b->Free();
}

// Byte offsets in a BMP file.
constexpr size_t kOffBits = 10, kWidth = 18, kHeight = 22, kPlanes = 26, kBitCount = 28;

void Poke32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST(BitmapStream, MalformedFilesRaiseAndLeaveBitmapAlone) {
  TBitmap* source = Noise(6, 4, pf24bit, 3);
  const std::string good = BmpBytes(source);
  struct Case {
    const char* name;
    std::function<std::string()> bytes;
  };
  const Case cases[] = {
      {"Empty", [] { return std::string(); }},
      {"OnlyMagic", [] { return std::string("BM"); }},
      {"TruncatedHeader", [&] { return good.substr(0, 30); }},
      {"TruncatedPixels", [&] { return good.substr(0, good.size() - 1); }},
      {"NotBmp", [&] { return "XY" + good.substr(2); }},
      {"HugeSize",
       [&] {
         std::string s = good;
         Poke32(s, kWidth, 100000);
         Poke32(s, kHeight, 100000);
         return s;
       }},
      {"NegativeWidth",
       [&] {
         std::string s = good;
         Poke32(s, kWidth, static_cast<uint32_t>(-6));
         return s;
       }},
      {"MostNegativeHeight",
       [&] {
         std::string s = good;
         Poke32(s, kHeight, 0x80000000u);
         return s;
       }},
      {"OffsetBeyondFile",
       [&] {
         std::string s = good;
         Poke32(s, kOffBits, 0x7FFFFFF0u);
         return s;
       }},
      {"OffsetInsideHeader",
       [&] {
         std::string s = good;
         Poke32(s, kOffBits, 20);
         return s;
       }},
      {"TwoPlanes",
       [&] {
         std::string s = good;
         s[kPlanes] = 2;
         return s;
       }},
      {"SevenBits",
       [&] {
         std::string s = good;
         s[kBitCount] = 7;
         return s;
       }},
      {"HugeHeaderSize",
       [&] {
         std::string s = good;
         Poke32(s, 14, 0x7FFFFFFFu);
         return s;
       }},
  };
  for (const Case& k : cases) {
    TBitmap* b = Noise(3, 3, pf24bit, 11);
    TBitmap* keep = Noise(3, 3, pf24bit, 11);
    const std::string bytes = k.bytes();
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(0);
    EXPECT_THROW(b->LoadFromStream(&s), EInvalidGraphic) << k.name;
    ExpectSamePixels(*b, *keep);
    EXPECT_EQ(s.Position(), 0) << k.name;  // the stream is left where it was
    b->Free();
    keep->Free();
  }
  source->Free();
}

TEST(BitmapStream, ReadsPaletteAndTopDownFiles) {
  // A 2 x 2 eight-bit top-down file with a two-colour palette.
  std::string s = "BM";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto put16 = [&](uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  };
  put32(14 + 40 + 8 + 8);
  put32(0);
  put32(14 + 40 + 8);
  put32(40);
  put32(2);
  put32(static_cast<uint32_t>(-2));  // top-down
  put16(1);
  put16(8);
  put32(0);
  put32(8);
  put32(0);
  put32(0);
  put32(2);
  put32(0);
  put32(0x000000FF);  // index 0: blue (B, G, R, 0 bytes: FF 00 00 00)
  put32(0x0000FF00);  // index 1: green
  s += std::string("\x00\x01\x00\x00\x01\x00\x00\x00", 8);
  TMemoryStream m;
  m.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  m.SetPosition(0);
  TBitmap* b = Create<TBitmap>();
  b->LoadFromStream(&m);
  EXPECT_EQ(PixelOf(*b, 0, 0), clBlue);
  EXPECT_EQ(PixelOf(*b, 1, 0), clLime);
  EXPECT_EQ(PixelOf(*b, 0, 1), clLime);
  EXPECT_EQ(PixelOf(*b, 1, 1), clBlue);
  b->Free();
}

TEST(BitmapFile, MissingFileRaisesOpenError) {
  TBitmap* b = Create<TBitmap>();
  EXPECT_THROW(b->LoadFromFile("/nonexistent/dir/x.bmp"), EFOpenError);
  b->Free();
}

TEST(BitmapDraw, TransparentColourIsBottomLeftPixel) {
  EnsureGuiApplication();
  TBitmap* sprite = Create<TBitmap>();
  sprite->SetSize(3, 2);
  sprite->Canvas()->Brush()->SetColor(clFuchsia);
  sprite->Canvas()->FillRect(Rect(0, 0, 3, 2));
  sprite->Canvas()->SetPixel(1, 0, clNavy);
  sprite->SetTransparent(true);
  EXPECT_EQ(sprite->TransparentColor(), clFuchsia);
  TBitmap* dest = Create<TBitmap>();
  dest->SetSize(5, 5);
  dest->Canvas()->Brush()->SetColor(clWhite);
  dest->Canvas()->FillRect(Rect(0, 0, 5, 5));
  dest->Canvas()->Draw(1, 1, sprite);
  EXPECT_EQ(PaintedBounds(*dest, clWhite), Rect(2, 1, 3, 2));
  EXPECT_EQ(PixelOf(*dest, 2, 1), clNavy);
  // Opaque, stretched twice the size.
  sprite->SetTransparent(false);
  dest->Canvas()->StretchDraw(Rect(0, 0, 6, 4), sprite);
  EXPECT_EQ(PixelOf(*dest, 2, 0), clNavy);
  EXPECT_EQ(PixelOf(*dest, 3, 1), clNavy);
  EXPECT_EQ(PixelOf(*dest, 4, 0), clFuchsia);
  sprite->Free();
  dest->Free();
}

TEST(BitmapSize, ResizeKeepsPixelsAndRefusesBadSizes) {
  TBitmap* b = Noise(4, 4, pf32bit, 5);
  const TColor corner = PixelOf(*b, 3, 3);
  b->SetSize(6, 5);
  EXPECT_EQ(PixelOf(*b, 3, 3), corner);
  EXPECT_EQ(PixelOf(*b, 5, 4), clBlack);
  EXPECT_THROW(b->SetSize(-1, 4), EInvalidGraphicOperation);
  EXPECT_THROW(b->SetSize(1 << 20, 1 << 20), EInvalidGraphicOperation);
  EXPECT_EQ(b->Width(), 6);
  auto* row = static_cast<uint8_t*>(b->ScanLine(3));
  EXPECT_EQ(row[3 * 4 + 2], static_cast<uint8_t>(corner & 0xFF));  // red byte of pixel 3
  EXPECT_THROW(b->ScanLine(5), EInvalidGraphicOperation);
  b->Free();
}

TEST(PictureFile, ChoosesClassByExtension) {
  TBitmap* b = Noise(5, 5, pf24bit, 21);
  const std::string dir = testing::TempDir();
  b->SaveToFile(dir + "/pic.BMP");
  TPicture* p = Create<TPicture>();
  p->LoadFromFile(dir + "/pic.BMP");
  ASSERT_NE(dynamic_cast<TBitmap*>(p->Graphic()), nullptr);
  ExpectSamePixels(*b, *p->Bitmap());
  EXPECT_THROW(p->LoadFromFile(dir + "/pic.png"), EInvalidGraphic);
  EXPECT_NE(dynamic_cast<TBitmap*>(p->Graphic()), nullptr);  // unchanged
  p->Free();
  b->Free();
}

// ---------------------------------------------------------------------------
// Saving to a file: every graphic's SaveToFile and the picture's replace the
// file whole or not at all.

// The saved pictures, made again from their seed for each save and check.
TBitmap* SavedBitmap() {
  return Noise(8, 8, pf24bit, 31);
}
TJpegPicture* SavedJpeg() {
  TBitmap* b = Noise(16, 16, pf24bit, 32);
  TJpegPicture* j = Create<TJpegPicture>();
  j->Assign(b);
  b->Free();
  return j;
}

// The file read back by a bitmap holds SavedBitmap's pixels.
void ExpectSavedBitmap(TGraphic* read) {
  TBitmap* expected = SavedBitmap();
  auto* bitmap = dynamic_cast<TBitmap*>(read);
  ASSERT_NE(bitmap, nullptr);
  ExpectSamePixels(*expected, *bitmap);
  expected->Free();
}
// The file read back by a JPEG picture holds SavedJpeg's bytes.
void ExpectSavedJpeg(TGraphic* read) {
  TJpegPicture* expected = SavedJpeg();
  auto* jpeg = dynamic_cast<TJpegPicture*>(read);
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(jpeg->Data(), expected->Data());
  EXPECT_EQ(jpeg->Width(), 16);
  expected->Free();
}

template <class Graphic>
void ReadBackAs(const std::string& fileName, void (*expect)(TGraphic*)) {
  Graphic* g = Create<Graphic>();
  g->LoadFromFile(fileName);
  expect(g);
  g->Free();
}

void ReadBackByPicture(const std::string& fileName, void (*expect)(TGraphic*)) {
  TPicture* p = Create<TPicture>();
  p->LoadFromFile(fileName);
  expect(p->Graphic());
  p->Free();
}

template <TGraphic* (*Make)()>
void SaveGraphic(const std::string& fileName) {
  TGraphic* g = Make();
  kestrune::ScopeExit free([&] { g->Free(); });
  g->SaveToFile(fileName);
}

template <TGraphic* (*Make)()>
void SaveThroughPicture(const std::string& fileName) {
  TGraphic* g = Make();
  TPicture* p = Create<TPicture>();
  kestrune::ScopeExit free([&] { p->Free(); });
  p->SetGraphic(g);
  g->Free();
  p->SaveToFile(fileName);
}

TGraphic* MakeBitmap() {
  return SavedBitmap();
}
TGraphic* MakeJpeg() {
  return SavedJpeg();
}

class GraphicSave : public ::testing::TestWithParam<savetest::SaveEntry> {};

TEST_P(GraphicSave, SavesWholeOrNotAtAll) {
  savetest::ExpectSavedWholeOrNotAtAll(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, GraphicSave,
    ::testing::Values(
        savetest::SaveEntry{
            "Bitmap", ".bmp", SaveGraphic<MakeBitmap>,
            [](const std::string& f) { ReadBackAs<TBitmap>(f, ExpectSavedBitmap); }},
        savetest::SaveEntry{
            "JpegPicture", ".jpg", SaveGraphic<MakeJpeg>,
            [](const std::string& f) { ReadBackAs<TJpegPicture>(f, ExpectSavedJpeg); }},
        savetest::SaveEntry{"PictureOfABitmap", ".bmp", SaveThroughPicture<MakeBitmap>,
                            [](const std::string& f) { ReadBackByPicture(f, ExpectSavedBitmap); }},
        savetest::SaveEntry{"PictureOfAJpeg", ".jpg", SaveThroughPicture<MakeJpeg>,
                            [](const std::string& f) { ReadBackByPicture(f, ExpectSavedJpeg); }}),
    savetest::EntryName);

}  // namespace

namespace {

class TPictureHolder : public TComponent {
  KESTRUNE_CLASS(TPictureHolder, TComponent)
  explicit TPictureHolder(TComponent* owner) : TComponent(owner) {}
  ~TPictureHolder() override { picture->Free(); }
  TPicture* Picture() { return picture; }
  TPicture* picture = Create<TPicture>();
};

// A picture property is stored in a description as its graphic's class and
// stream form, and read back to the same pixels.
TEST(PictureDescription, StoredAndReadBack) {
  RegisterClass<TPictureHolder>().Object("Picture", &TPictureHolder::Picture);
  auto* h = Create<TPictureHolder>(nullptr);
  h->SetName("H");
  TBitmap* b = Noise(3, 2, pf24bit, 8);
  h->picture->SetGraphic(b);
  const std::string text = WriteComponentToText(h);
  EXPECT_NE(text.find("Picture.Data = \"TBitmap 424D"), std::string::npos) << text;
  auto* back = Create<TPictureHolder>(nullptr);
  ReadComponentFromText(back, text);
  ASSERT_NE(back->picture->Graphic(), nullptr);
  ExpectSamePixels(*b, *back->picture->Bitmap());
  EXPECT_THROW(ReadComponentFromText(
                   back, "object H: TPictureHolder\n Picture.Data = \"TBitmap 42ZZ\"\nend\n"),
               EDescriptionError);
  back->Free();
  h->Free();
  b->Free();
}

TEST(BitmapResource, LoadsByNameOrRaises) {
  TBitmap* b = Noise(4, 3, pf24bit, 2);
  RegisterResource(TResourceKind::Bitmap, "TEST_THUMB", BmpBytes(b));
  TBitmap* r = Create<TBitmap>();
  r->LoadFromResourceName("test_thumb");
  ExpectSamePixels(*b, *r);
  EXPECT_THROW(r->LoadFromResourceName("NO_SUCH"), EResNotFound);
  EXPECT_EQ(FindResource(TResourceKind::Cursor, "TEST_THUMB"), nullptr);
  r->Free();
  b->Free();
}

TEST(ImageList, MaskedImagesDrawEnabledOrGreyed) {
  EnsureGuiApplication();
  // A 32 x 16 strip: two images; fuchsia is the mask colour.
  TBitmap* strip = Create<TBitmap>();
  strip->SetSize(32, 16);
  strip->Canvas()->Brush()->SetColor(clFuchsia);
  strip->Canvas()->FillRect(Rect(0, 0, 32, 16));
  strip->Canvas()->SetPixel(3, 4, clNavy);    // dark, image 0
  strip->Canvas()->SetPixel(5, 4, clYellow);  // light, image 0
  strip->Canvas()->SetPixel(16 + 7, 8, clRed);
  auto* list = Create<TImageList>(nullptr);
  EXPECT_EQ(list->AddMasked(strip, clFuchsia), 0);
  EXPECT_EQ(list->Count(), 2);
  TBitmap* dest = Create<TBitmap>();
  dest->SetSize(40, 20);
  dest->Canvas()->Brush()->SetColor(clCream);
  dest->Canvas()->FillRect(Rect(0, 0, 40, 20));
  list->Draw(dest->Canvas(), 2, 1, 1);
  EXPECT_EQ(PaintedBounds(*dest, clCream), Rect(9, 9, 10, 10));
  EXPECT_EQ(PixelOf(*dest, 9, 9), clRed);
  dest->Canvas()->FillRect(Rect(0, 0, 40, 20));
  list->Draw(dest->Canvas(), 0, 0, 0, false);
  // The dark pixel embossed: shadow at its place, highlight one down-right;
  // the light one left out.
  EXPECT_EQ(PixelOf(*dest, 3, 4), static_cast<TColor>(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(PixelOf(*dest, 4, 5), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
  EXPECT_EQ(PaintedBounds(*dest, clCream), Rect(3, 4, 5, 6));
  list->Free();
  dest->Free();
  strip->Free();
}

}  // namespace
