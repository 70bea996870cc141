#include "platform/graphics/Bitmap.h"

#include <QImage>
#include <algorithm>
#include <cstring>

#include "platform/classes/Streaming.h"
#include "platform/graphics/BitmapPrivate.h"
#include "platform/graphics/CanvasRasterPrivate.h"
#include "platform/graphics/GraphicsResources.h"
#include "platform/graphics/JpegPicture.h"

// ---------------------------------------------------------------------------
// BMP

namespace {

[[noreturn]] void BadBmp(const char* why) {
  throw EInvalidGraphic(std::string("Image bitmap incorrecte : ") + why);
}

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

constexpr size_t kFileHeader = 14;
constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;

struct BmpHeader {
  uint32_t dataOffset = 0;
  uint32_t headerSize = 0;
  int32_t width = 0;
  int64_t height = 0;  // absolute
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint64_t stride = 0;
  uint64_t total = 0;  // bytes of the whole file as we read it
};

// Parses the two headers from the first `size` bytes (at least 18: the
// header sizes are then known). Raises EInvalidGraphic.
BmpHeader ParseHeader(const uint8_t* p, size_t size) {
  if (size < kFileHeader + 4)
    BadBmp("fichier tronqué");
  if (p[0] != 'B' || p[1] != 'M')
    BadBmp("ce n'est pas un fichier BMP");
  BmpHeader h;
  h.dataOffset = U32(p + 10);
  h.headerSize = U32(p + 14);
  if (h.headerSize < 40 || h.headerSize > 1024)
    BadBmp("en-tête non pris en charge");
  if (size < kFileHeader + h.headerSize)
    BadBmp("fichier tronqué");
  const uint8_t* ih = p + kFileHeader;
  h.width = static_cast<int32_t>(U32(ih + 4));
  const int32_t rawHeight = static_cast<int32_t>(U32(ih + 8));
  if (U16(ih + 12) != 1)
    BadBmp("nombre de plans incorrect");
  h.bitCount = U16(ih + 14);
  h.compression = U32(ih + 16);
  h.colorsUsed = U32(ih + 32);
  if (h.width < 0 || rawHeight == INT32_MIN)
    BadBmp("dimensions incorrectes");
  h.topDown = rawHeight < 0;
  h.height = rawHeight < 0 ? -int64_t{rawHeight} : rawHeight;
  if (h.width > kMaxBitmapSide || h.height > kMaxBitmapSide ||
      int64_t{h.width} * h.height > kMaxBitmapPixels)
    BadBmp("dimensions trop grandes");
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (h.compression != kBiRgb)
        BadBmp("compression non prise en charge");
      break;
    case 16:
    case 32:
      if (h.compression != kBiRgb && h.compression != kBiBitfields)
        BadBmp("compression non prise en charge");
      break;
    default:
      BadBmp("profondeur de couleur non prise en charge");
  }
  if (h.bitCount <= 8 && h.colorsUsed > (1u << h.bitCount))
    BadBmp("palette incorrecte");
  h.stride = ((uint64_t{static_cast<uint32_t>(h.width)} * h.bitCount + 31) / 32) * 4;
  const uint64_t paletteEnd =
      kFileHeader + h.headerSize + (h.compression == kBiBitfields && h.headerSize == 40 ? 12 : 0) +
      (h.bitCount <= 8 ? 4ull * (h.colorsUsed ? h.colorsUsed : (1u << h.bitCount)) : 0);
  if (h.dataOffset < paletteEnd)
    BadBmp("position des données incorrecte");
  h.total = uint64_t{h.dataOffset} + h.stride * static_cast<uint64_t>(h.height);
  return h;
}

int MaskShift(uint32_t mask) {
  int s = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++s;
  }
  return s;
}
uint32_t MaskValue(uint32_t v, uint32_t mask) {
  if (mask == 0)
    return 0;
  const int shift = MaskShift(mask);
  const uint32_t m = mask >> shift;
  return ((v & mask) >> shift) * 255 / m;
}

}  // namespace

void DecodeBmp(const uint8_t* data, size_t size, QImage& image, TPixelFormat& format,
               size_t& consumed) {
  const BmpHeader h = ParseHeader(data, size);
  if (h.total > size)
    BadBmp("fichier tronqué");
  const uint8_t* ih = data + kFileHeader;
  // Palette.
  std::vector<uint32_t> palette;
  if (h.bitCount <= 8) {
    const uint32_t n = h.colorsUsed ? h.colorsUsed : (1u << h.bitCount);
    const uint8_t* pal = ih + h.headerSize;
    for (uint32_t i = 0; i < n; ++i)
      palette.push_back(0xFF000000u | (uint32_t{pal[4 * i + 2]} << 16) |
                        (uint32_t{pal[4 * i + 1]} << 8) | pal[4 * i]);
    palette.resize(size_t{1} << h.bitCount, 0xFF000000u);
  }
  uint32_t rMask = 0x00FF0000, gMask = 0x0000FF00, bMask = 0x000000FF;
  if (h.bitCount == 16) {
    rMask = 0x7C00;
    gMask = 0x03E0;
    bMask = 0x001F;
  }
  if (h.compression == kBiBitfields) {
    const uint8_t* masks = ih + 40;
    rMask = U32(masks);
    gMask = U32(masks + 4);
    bMask = U32(masks + 8);
  }
  QImage out;
  if (h.width > 0 && h.height > 0) {
    out = QImage(h.width, static_cast<int>(h.height), QImage::Format_RGB32);
    if (out.isNull())
      throw EOutOfMemory("Mémoire insuffisante pour l'image");
  }
  for (int64_t row = 0; row < h.height && h.width > 0; ++row) {
    const uint8_t* src = data + h.dataOffset + static_cast<uint64_t>(row) * h.stride;
    const int y = static_cast<int>(h.topDown ? row : h.height - 1 - row);
    auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y));
    for (int x = 0; x < h.width; ++x) {
      uint32_t c = 0;
      switch (h.bitCount) {
        case 1:
          c = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
          break;
        case 4:
          c = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
          break;
        case 8:
          c = palette[src[x]];
          break;
        case 24:
          c = 0xFF000000u | (uint32_t{src[3 * x + 2]} << 16) | (uint32_t{src[3 * x + 1]} << 8) |
              src[3 * x];
          break;
        case 16: {
          const uint32_t v = U16(src + 2 * x);
          c = 0xFF000000u | (MaskValue(v, rMask) << 16) | (MaskValue(v, gMask) << 8) |
              MaskValue(v, bMask);
          break;
        }
        case 32: {
          const uint32_t v = U32(src + 4 * x);
          c = 0xFF000000u | (MaskValue(v, rMask) << 16) | (MaskValue(v, gMask) << 8) |
              MaskValue(v, bMask);
          break;
        }
      }
      dst[x] = c;
    }
  }
  switch (h.bitCount) {
    case 1: {
      const bool blackWhite = (palette[0] & 0xFFFFFF) == 0 && (palette[1] & 0xFFFFFF) == 0xFFFFFF;
      format = blackWhite ? pf1bit : pfDevice;
      break;
    }
    case 24:
      format = pf24bit;
      break;
    case 32:
      format = pf32bit;
      break;
    default:
      format = pfDevice;
  }
  image = std::move(out);
  consumed = static_cast<size_t>(h.total);
}

std::string EncodeBmp(const QImage& image, TPixelFormat format) {
  const int w = image.isNull() ? 0 : image.width();
  const int h = image.isNull() ? 0 : image.height();
  const uint16_t bits = format == pf1bit ? 1 : format == pf24bit ? 24 : 32;
  const uint32_t stride = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
  const uint32_t paletteSize = bits == 1 ? 8 : 0;
  const uint32_t offset = static_cast<uint32_t>(kFileHeader) + 40 + paletteSize;
  const uint64_t total = uint64_t{offset} + uint64_t{stride} * static_cast<uint64_t>(h);
  std::string s;
  s.reserve(static_cast<size_t>(total));
  s += "BM";
  Put32(s, static_cast<uint32_t>(total));
  Put32(s, 0);
  Put32(s, offset);
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(h));
  Put16(s, 1);
  Put16(s, bits);
  Put32(s, kBiRgb);
  Put32(s, stride * static_cast<uint32_t>(h));
  Put32(s, 3780);  // 96 pixels per inch, as pixels per metre
  Put32(s, 3780);
  Put32(s, bits == 1 ? 2 : 0);
  Put32(s, 0);
  if (bits == 1) {
    Put32(s, 0x00000000);
    Put32(s, 0x00FFFFFF);
  }
  std::string row(stride, '\0');
  for (int y = h - 1; y >= 0; --y) {
    const auto* src = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    std::fill(row.begin(), row.end(), '\0');
    for (int x = 0; x < w; ++x) {
      const uint32_t c = src[x];
      if (bits == 1) {
        if ((ToMonochrome(c) & 0xFFFFFF) != 0)
          row[static_cast<size_t>(x >> 3)] |= static_cast<char>(0x80 >> (x & 7));
      } else if (bits == 24) {
        row[3 * static_cast<size_t>(x)] = static_cast<char>(c & 0xFF);
        row[3 * static_cast<size_t>(x) + 1] = static_cast<char>((c >> 8) & 0xFF);
        row[3 * static_cast<size_t>(x) + 2] = static_cast<char>((c >> 16) & 0xFF);
      } else {
        row[4 * static_cast<size_t>(x)] = static_cast<char>(c & 0xFF);
        row[4 * static_cast<size_t>(x) + 1] = static_cast<char>((c >> 8) & 0xFF);
        row[4 * static_cast<size_t>(x) + 2] = static_cast<char>((c >> 16) & 0xFF);
      }
    }
    s += row;
  }
  return s;
}

// ---------------------------------------------------------------------------
// TGraphic

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  LoadFromStream(&file);
}

// The picture is encoded first, so that an encoding failure is raised before
// the file system is touched; the file is then replaced whole or not at all.
void TGraphic::SaveToFile(const std::string& fileName) {
  TMemoryStream memory;
  SaveToStream(&memory);
  memory.SaveToFile(fileName);
}

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_)
    return;
  transparent_ = transparent;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange.Assigned())
    OnChange(this);
}

void TGraphic::DefineProperties(TFiler* filer) {
  filer->DefineProperty("Data", TMethod<void(TReader*)>(this, &TGraphic::ReadDataText),
                        TMethod<void(TWriter*)>(this, &TGraphic::WriteDataText), !Empty());
}

void TGraphic::ReadDataText(TReader* reader) {
  TMemoryStream bytes;
  if (!ReadHexText(reader->ReadString(), bytes))
    reader->ReadError("Données d'image incorrectes");
  ReadData(&bytes);
}

void TGraphic::WriteDataText(TWriter* writer) {
  TMemoryStream bytes;
  WriteData(&bytes);
  writer->WriteString(HexTextOf(bytes));
}

// ---------------------------------------------------------------------------
// TBitmap

TBitmap::TBitmap() : image_(std::make_unique<QImage>()) {}

TBitmap::~TBitmap() {
  FreeObject(canvas_);
}

QImage& TBitmap::Image() {
  return *image_;
}
const QImage& TBitmap::Image() const {
  return *image_;
}

bool TBitmap::Empty() const {
  return image_->isNull();
}
int TBitmap::Width() const {
  return image_->isNull() ? 0 : image_->width();
}
int TBitmap::Height() const {
  return image_->isNull() ? 0 : image_->height();
}

void TBitmap::ResizeImage(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      int64_t{width} * height > kMaxBitmapPixels)
    throw EInvalidGraphicOperation("Dimensions de bitmap incorrectes");
  QImage next;
  if (width > 0 && height > 0) {
    next = QImage(width, height, QImage::Format_RGB32);
    if (next.isNull())
      throw EOutOfMemory("Mémoire insuffisante pour l'image");
    next.fill(0xFF000000u);
    const int w = std::min(width, Width()), h = std::min(height, Height());
    for (int y = 0; y < h; ++y)
      std::memcpy(next.scanLine(y), image_->constScanLine(y), static_cast<size_t>(w) * 4);
  }
  *image_ = std::move(next);
  if (canvas_ != nullptr)
    canvas_->SetTarget(image_.get());
}

void TBitmap::SetSize(int width, int height) {
  if (width == Width() && height == Height())
    return;
  ResizeImage(width, height);
  Changed();
}
void TBitmap::SetWidth(int width) {
  SetSize(width, Height());
}
void TBitmap::SetHeight(int height) {
  SetSize(Width(), height);
}

TCanvas* TBitmap::Canvas() {
  if (canvas_ == nullptr) {
    canvas_ = Create<TCanvas>(image_.get());
    canvas_->SetMonochrome(pixel_format_ == pf1bit);
    canvas_->OnChange = TNotifyEvent(this, &TBitmap::CanvasChanged);
  }
  return canvas_;
}

void TBitmap::CanvasChanged(TObject*) {
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pixel_format_)
    return;
  pixel_format_ = format;
  if (format == pf1bit && !image_->isNull()) {
    for (int y = 0; y < image_->height(); ++y) {
      auto* row = reinterpret_cast<uint32_t*>(image_->scanLine(y));
      for (int x = 0; x < image_->width(); ++x)
        row[x] = ToMonochrome(row[x]);
    }
  }
  if (canvas_ != nullptr)
    canvas_->SetMonochrome(format == pf1bit);
  Changed();
}

void* TBitmap::ScanLine(int row) {
  if (pixel_format_ != pfDevice && pixel_format_ != pf32bit)
    throw EInvalidGraphicOperation("Accès aux lignes réservé aux bitmaps 32 bits");
  if (row < 0 || row >= Height())
    throw EInvalidGraphicOperation("Indice de ligne hors limites");
  return image_->scanLine(row);
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparent_mode_)
    return;
  transparent_mode_ = mode;
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparent_mode_ == tmFixed)
    return transparent_color_;
  if (image_->isNull())
    return clDefault;
  const auto* row = reinterpret_cast<const uint32_t*>(image_->constScanLine(image_->height() - 1));
  return static_cast<TColor>(DeviceToRgb(row[0]));
}

void TBitmap::SetTransparentColor(TColor color) {
  transparent_color_ = color;
  transparent_mode_ = tmFixed;
  Changed();
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
  if (canvas == nullptr || image_->isNull())
    return;
  if (Transparent()) {
    const uint32_t key = RgbToDevice(ColorToRGB(TransparentColor()) & 0xFFFFFF);
    TransferImage(canvas, rect.Left, rect.Top, rect.Width(), rect.Height(), *image_, 0, 0, Width(),
                  Height(), SRCCOPY, &key, Monochrome());
    return;
  }
  TransferImage(canvas, rect.Left, rect.Top, rect.Width(), rect.Height(), *image_, 0, 0, Width(),
                Height(), canvas->CopyMode(), nullptr, Monochrome());
}

void TBitmap::Assign(TPersistent* source) {
  if (source == nullptr) {
    ResizeImage(0, 0);
    Changed();
    return;
  }
  if (auto* other = dynamic_cast<TBitmap*>(source)) {
    if (other == this)
      return;
    *image_ = other->image_->copy();
    if (canvas_ != nullptr)
      canvas_->SetTarget(image_.get());
    pixel_format_ = other->pixel_format_;
    if (canvas_ != nullptr)
      canvas_->SetMonochrome(pixel_format_ == pf1bit);
    transparent_mode_ = other->transparent_mode_;
    transparent_color_ = other->transparent_color_;
    SetTransparent(other->Transparent());
    Changed();
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(source)) {
    Assign(picture->Graphic());
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    ResizeImage(0, 0);
    ResizeImage(graphic->Width(), graphic->Height());
    if (!image_->isNull()) {
      image_->fill(0xFFFFFFFFu);
      graphic->Draw(Canvas(), Rect(0, 0, Width(), Height()));
    }
    Changed();
    return;
  }
  inherited::Assign(source);
}

void TBitmap::LoadFromStream(TStream* stream) {
  const int64_t start = stream->Position();
  QImage image;
  TPixelFormat format = pfDevice;
  try {
    uint8_t head[kFileHeader + 4];
    if (stream->Read(head, sizeof head) != static_cast<int64_t>(sizeof head))
      BadBmp("fichier tronqué");
    const uint32_t headerSize = U32(head + 14);
    if (headerSize < 40 || headerSize > 1024)
      BadBmp("en-tête non pris en charge");
    std::vector<uint8_t> bytes(kFileHeader + std::min<uint32_t>(headerSize, 1024));
    std::memcpy(bytes.data(), head, sizeof head);
    if (stream->Read(bytes.data() + sizeof head, headerSize - 4) != int64_t{headerSize} - 4)
      BadBmp("fichier tronqué");
    const BmpHeader h = ParseHeader(bytes.data(), bytes.size());
    const uint64_t left = static_cast<uint64_t>(stream->Size() - stream->Position());
    if (h.total < bytes.size() || h.total - bytes.size() > left)
      BadBmp("fichier tronqué");
    const size_t have = bytes.size();
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(h.total, uint64_t{1} << 40)));
    stream->ReadBuffer(bytes.data() + have, static_cast<int64_t>(h.total - have));
    size_t consumed = 0;
    DecodeBmp(bytes.data(), bytes.size(), image, format, consumed);
  } catch (...) {
    stream->SetPosition(start);
    throw;
  }
  *image_ = std::move(image);
  if (canvas_ != nullptr) {
    canvas_->SetTarget(image_.get());
    canvas_->SetMonochrome(format == pf1bit);
  }
  pixel_format_ = format;
  Changed();
}

void TBitmap::SaveToStream(TStream* stream) {
  const std::string bytes = EncodeBmp(*image_, pixel_format_);
  stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::LoadFromResourceName(const std::string& name) {
  const TResource& r = ResourceByName(TResourceKind::Bitmap, name);
  TMemoryStream bytes;
  bytes.WriteBuffer(r.bytes.data(), static_cast<int64_t>(r.bytes.size()));
  bytes.SetPosition(0);
  LoadFromStream(&bytes);
}

// ---------------------------------------------------------------------------
// TPicture

TPicture::TPicture() = default;

TPicture::~TPicture() {
  FreeObject(graphic_);
}

void TPicture::Take(TGraphic* graphic) {
  FreeObject(graphic_);
  graphic_ = graphic;
  if (graphic_ != nullptr)
    graphic_->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  if (OnChange.Assigned())
    OnChange(this);
}

void TPicture::GraphicChanged(TObject*) {
  if (OnChange.Assigned())
    OnChange(this);
}

void TPicture::SetGraphic(TGraphic* graphic) {
  if (graphic == graphic_)
    return;
  if (graphic == nullptr) {
    Take(nullptr);
    return;
  }
  TGraphic* copy = nullptr;
  if (dynamic_cast<TJpegPicture*>(graphic) != nullptr) {
    copy = Create<TJpegPicture>();
  } else if (dynamic_cast<TBitmap*>(graphic) != nullptr) {
    copy = Create<TBitmap>();
  } else if (TPersistentCreator make = FindCreator(graphic->ClassType())) {
    copy = dynamic_cast<TGraphic*>(make(nullptr));
  }
  if (copy == nullptr)
    throw EInvalidGraphicOperation("Classe d'image inconnue : " + graphic->ClassName());
  try {
    copy->Assign(graphic);
  } catch (...) {
    copy->Free();
    throw;
  }
  Take(copy);
}

void TPicture::Assign(TPersistent* source) {
  if (source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture != this)
      SetGraphic(picture->Graphic());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    inherited::Assign(source);
  }
}

TBitmap* TPicture::Bitmap() {
  auto* bitmap = dynamic_cast<TBitmap*>(graphic_);
  if (bitmap == nullptr) {
    bitmap = Create<TBitmap>();
    Take(bitmap);
  }
  return bitmap;
}

int TPicture::Width() const {
  return graphic_ == nullptr ? 0 : graphic_->Width();
}
int TPicture::Height() const {
  return graphic_ == nullptr ? 0 : graphic_->Height();
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext;
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    ext = fileName.substr(dot);
  TGraphic* graphic = nullptr;
  if (SameText(ext, ".bmp"))
    graphic = Create<TBitmap>();
  else if (SameText(ext, ".jpg") || SameText(ext, ".jpeg"))
    graphic = Create<TJpegPicture>();
  else
    throw EInvalidGraphic("Extension de fichier inconnue (" + ext + ")");
  try {
    graphic->LoadFromFile(fileName);
  } catch (...) {
    graphic->Free();
    throw;
  }
  Take(graphic);
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (graphic_ == nullptr)
    throw EInvalidGraphicOperation("Image vide");
  graphic_->SaveToFile(fileName);
}

void TPicture::DefineProperties(TFiler* filer) {
  filer->DefineProperty("Data", TMethod<void(TReader*)>(this, &TPicture::ReadDataText),
                        TMethod<void(TWriter*)>(this, &TPicture::WriteDataText),
                        graphic_ != nullptr && !graphic_->Empty());
}

// The stored form: the graphic's class name, a space, then its data as the
// graphic stores it (hexadecimal).
void TPicture::ReadDataText(TReader* reader) {
  const std::string text = reader->ReadString();
  const size_t space = text.find(' ');
  const std::string cls = text.substr(0, space);
  TGraphic* graphic = nullptr;
  if (SameText(cls, "TBitmap"))
    graphic = Create<TBitmap>();
  else if (SameText(cls, "TJpegPicture"))
    graphic = Create<TJpegPicture>();
  else
    reader->ReadError("Classe d'image inconnue : " + cls);
  try {
    TMemoryStream bytes;
    if (space == std::string::npos || !ReadHexText(text.substr(space + 1), bytes))
      reader->ReadError("Données d'image incorrectes");
    graphic->LoadFromStream(&bytes);
  } catch (...) {
    graphic->Free();
    throw;
  }
  Take(graphic);
}

void TPicture::WriteDataText(TWriter* writer) {
  TMemoryStream bytes;
  graphic_->SaveToStream(&bytes);
  writer->WriteString(graphic_->ClassName() + " " + HexTextOf(bytes));
}
