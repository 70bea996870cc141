// The JPEG picture: round trip within a stated error, malformed files.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/GraphicsTestSupport.h"

namespace {

// A smooth picture: JPEG keeps it well.
TBitmap* Gradient(int w, int h) {
  TBitmap* b = Create<TBitmap>();
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int r = 255 * x / (w - 1), g = 255 * y / (h - 1), bl = 128;
      b->Canvas()->SetPixel(x, y, static_cast<TColor>(r | (g << 8) | (bl << 16)));
    }
  }
  return b;
}

std::string JpegOf(TBitmap* b) {
  TJpegPicture* j = Create<TJpegPicture>();
  j->Assign(b);
  std::string data = j->Data();
  j->Free();
  return data;
}

// Default settings (quality 75) on a smooth gradient: every channel within
// 24 levels, on average within 3.
TEST(JpegPicture, RoundTripWithinStatedError) {
  TBitmap* b = Gradient(33, 17);
  TJpegPicture* j = Create<TJpegPicture>();
  j->Assign(b);
  EXPECT_EQ(j->Width(), 33);
  EXPECT_EQ(j->Height(), 17);
  TMemoryStream s;
  j->SaveToStream(&s);
  s.SetPosition(0);
  TJpegPicture* k = Create<TJpegPicture>();
  k->LoadFromStream(&s);
  TBitmap* d = k->Bitmap();
  ASSERT_EQ(d->Width(), 33);
  ASSERT_EQ(d->Height(), 17);
  double sum = 0;
  int worst = 0;
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 33; ++x) {
      const TColor a = PixelOf(*b, x, y), c = PixelOf(*d, x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        const int e = std::abs(((a >> shift) & 0xFF) - ((c >> shift) & 0xFF));
        sum += e;
        worst = std::max(worst, e);
      }
    }
  }
  EXPECT_LE(worst, 24);
  EXPECT_LE(sum / (33 * 17 * 3), 3.0);
  // Drawn onto a canvas it shows the decoded pixels.
  TBitmap* onto = Create<TBitmap>();
  onto->SetSize(40, 20);
  onto->Canvas()->Draw(2, 1, k);
  EXPECT_EQ(PixelOf(*onto, 2 + 10, 1 + 5), PixelOf(*d, 10, 5));
  for (TObject* o : std::initializer_list<TObject*>{b, j, k, onto})
    o->Free();
}

TEST(JpegPicture, MalformedFilesRaiseAndNeverEndTheProcess) {
  TBitmap* b = Gradient(16, 16);
  const std::string good = JpegOf(b);
  b->Free();
  // The start-of-frame segment holds the height and width (big-endian)
  // 5 and 7 bytes after its marker.
  std::string huge = good;
  const size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge[sof + 5] = static_cast<char>(0xEA);
  huge[sof + 6] = static_cast<char>(0x60);  // 60000
  huge[sof + 7] = static_cast<char>(0xEA);
  huge[sof + 8] = static_cast<char>(0x60);
  std::string corrupt = good;
  for (size_t i = corrupt.size() / 2; i < corrupt.size() - 2; i += 7)
    corrupt[i] = static_cast<char>(0xFF);
  const std::pair<const char*, std::string> cases[] = {
      {"Empty", std::string()},
      {"NotJpeg", std::string("BM this is no picture")},
      {"OnlyMarker", good.substr(0, 2)},
      {"TruncatedHeader", good.substr(0, 40)},
      {"TruncatedBody", good.substr(0, good.size() / 2)},
      {"HugeSize", huge},
      {"CorruptBody", corrupt},
  };
  for (const auto& [name, bytes] : cases) {
    TJpegPicture* j = Create<TJpegPicture>();
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(0);
    EXPECT_THROW(j->LoadFromStream(&s), EJpegError) << name;
    EXPECT_TRUE(j->Empty()) << name;
    j->Free();
  }
  // A refused read leaves the stream where it was (here after a prefix that
  // is not part of the picture) and the picture as it was.
  for (const auto& [name, bytes] : cases) {
    TJpegPicture* j = Create<TJpegPicture>();
    TMemoryStream held;
    held.WriteBuffer(good.data(), static_cast<int64_t>(good.size()));
    held.SetPosition(0);
    j->LoadFromStream(&held);
    const std::string prefix = "abc";
    TMemoryStream s;
    s.WriteBuffer(prefix.data(), static_cast<int64_t>(prefix.size()));
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(static_cast<int64_t>(prefix.size()));
    EXPECT_THROW(j->LoadFromStream(&s), EJpegError) << name;
    EXPECT_EQ(s.Position(), static_cast<int64_t>(prefix.size())) << name;
    EXPECT_EQ(j->Data(), good) << name;
    EXPECT_EQ(j->Width(), 16) << name;
    EXPECT_EQ(j->Height(), 16) << name;
    j->Free();
  }
}

TEST(JpegPicture, EmptyBitmapCannotBeCompressed) {
  TBitmap* b = Create<TBitmap>();
  TJpegPicture* j = Create<TJpegPicture>();
  EXPECT_THROW(j->Assign(b), EJpegError);
  EXPECT_TRUE(j->Empty());
  j->Free();
  b->Free();
}

}  // namespace
