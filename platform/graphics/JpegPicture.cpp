// The JPEG picture on the codec's classic interface.
//
// The codec reports fatal errors through its error_exit hook, which must not
// return. Ours records the message and jumps back (longjmp) to the entry
// point that armed it; the entry point then cleans the codec up and raises
// EJpegError. No C++ object with a destructor lives between the jump and its
// target (the codec calls run in the helper functions below, whose locals
// are plain data), so the jump skips no destructor.
#include "platform/graphics/JpegPicture.h"

#include <QImage>
#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

#include "platform/graphics/CanvasRasterPrivate.h"
#include "platform/graphics/JpegPicturePrivate.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->message);
  std::longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {
  // Nothing is shown: errors become exceptions.
}

// A warning (level -1) means damaged data (a premature end of the file, a
// corrupt entropy segment): the codec would go on with a made-up picture.
// We stop there and report it like an error; trace messages (level >= 0)
// are ignored.
void EmitMessage(j_common_ptr info, int level) {
  if (level < 0)
    ErrorExit(info);
}

// Points the codec's error reporting at `err` (see the file comment).
jpeg_error_mgr* ArmErrors(ErrorManager& err) {
  jpeg_error_mgr* base = jpeg_std_error(&err.base);
  err.base.error_exit = &ErrorExit;
  err.base.output_message = &OutputMessage;
  err.base.emit_message = &EmitMessage;
  return base;
}

[[noreturn]] void RaiseJpeg(const char* message) {
  throw EJpegError(std::string("Image JPEG incorrecte : ") + message);
}

// Decompresses into `out` (allocated with malloc by us, freed by the
// caller). Returns false with `err.message` set on failure.
bool DecompressRaw(const unsigned char* data, unsigned long size, bool headerOnly,
                   ErrorManager& err, int& width, int& height, unsigned char*& out) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = ArmErrors(err);
  out = nullptr;
  if (setjmp(err.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    std::free(out);
    out = nullptr;
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  width = static_cast<int>(cinfo.image_width);
  height = static_cast<int>(cinfo.image_height);
  if (width > kMaxBitmapSide || height > kMaxBitmapSide ||
      int64_t{width} * height > kMaxBitmapPixels) {
    std::snprintf(err.message, sizeof err.message, "dimensions trop grandes (%d x %d)", width,
                  height);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  if (headerOnly) {
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const size_t rowBytes = static_cast<size_t>(cinfo.output_width) * 3;
  out = static_cast<unsigned char*>(std::malloc(rowBytes * cinfo.output_height + 1));
  if (out == nullptr) {
    std::snprintf(err.message, sizeof err.message, "mémoire insuffisante");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out + rowBytes * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// Compresses `rgb` (width x height, 3 bytes per pixel) with default
// settings into a buffer the codec allocates (freed by the caller with
// free()).
bool CompressRaw(const unsigned char* rgb, int width, int height, ErrorManager& err,
                 unsigned char*& out, unsigned long& outSize) {
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = ArmErrors(err);
  out = nullptr;
  outSize = 0;
  if (setjmp(err.jump) != 0) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    out = nullptr;
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(rgb + rowBytes * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

std::string CompressJpeg(const QImage& image) {
  if (image.isNull() || image.width() == 0 || image.height() == 0)
    RaiseJpeg("image vide");
  std::vector<unsigned char> rgb(static_cast<size_t>(image.width()) * image.height() * 3);
  for (int y = 0; y < image.height(); ++y) {
    const auto* src = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    unsigned char* dst = rgb.data() + static_cast<size_t>(y) * image.width() * 3;
    for (int x = 0; x < image.width(); ++x) {
      dst[3 * x] = static_cast<unsigned char>((src[x] >> 16) & 0xFF);
      dst[3 * x + 1] = static_cast<unsigned char>((src[x] >> 8) & 0xFF);
      dst[3 * x + 2] = static_cast<unsigned char>(src[x] & 0xFF);
    }
  }
  ErrorManager err{};
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  if (!CompressRaw(rgb.data(), image.width(), image.height(), err, out, outSize))
    RaiseJpeg(err.message);
  std::string result(reinterpret_cast<const char*>(out), outSize);
  std::free(out);
  return result;
}

void DecompressJpeg(const std::string& data, QImage& image) {
  ErrorManager err{};
  int width = 0, height = 0;
  unsigned char* out = nullptr;
  if (data.empty())
    RaiseJpeg("fichier vide");
  if (!DecompressRaw(reinterpret_cast<const unsigned char*>(data.data()),
                     static_cast<unsigned long>(data.size()), false, err, width, height, out))
    RaiseJpeg(err.message);
  QImage result(width, height, QImage::Format_RGB32);
  if (result.isNull()) {
    std::free(out);
    throw EOutOfMemory("Mémoire insuffisante pour l'image");
  }
  for (int y = 0; y < height; ++y) {
    auto* dst = reinterpret_cast<uint32_t*>(result.scanLine(y));
    const unsigned char* src = out + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x)
      dst[x] = 0xFF000000u | (uint32_t{src[3 * x]} << 16) | (uint32_t{src[3 * x + 1]} << 8) |
               src[3 * x + 2];
  }
  std::free(out);
  image = std::move(result);
}

void ReadJpegSize(const std::string& data, int& width, int& height) {
  ErrorManager err{};
  unsigned char* out = nullptr;
  if (data.empty())
    RaiseJpeg("fichier vide");
  if (!DecompressRaw(reinterpret_cast<const unsigned char*>(data.data()),
                     static_cast<unsigned long>(data.size()), true, err, width, height, out))
    RaiseJpeg(err.message);
}

// ---------------------------------------------------------------------------
// TJpegPicture

TJpegPicture::TJpegPicture() = default;

TJpegPicture::~TJpegPicture() {
  FreeObject(decoded_);
}

void TJpegPicture::Assign(TPersistent* source) {
  if (source == nullptr) {
    data_.clear();
    width_ = height_ = 0;
    FreeAndNil(decoded_);
    Changed();
    return;
  }
  if (auto* other = dynamic_cast<TJpegPicture*>(source)) {
    if (other == this)
      return;
    data_ = other->data_;
    width_ = other->width_;
    height_ = other->height_;
    FreeAndNil(decoded_);
    Changed();
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    std::string data = CompressJpeg(bitmap->Image());
    data_ = std::move(data);
    width_ = bitmap->Width();
    height_ = bitmap->Height();
    FreeAndNil(decoded_);
    Changed();
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(source)) {
    Assign(picture->Graphic());
    return;
  }
  inherited::Assign(source);
}

void TJpegPicture::Draw(TCanvas* canvas, const TRect& rect) {
  if (canvas == nullptr || Empty())
    return;
  TBitmap* b = Bitmap();
  TransferImage(canvas, rect.Left, rect.Top, rect.Width(), rect.Height(), b->Image(), 0, 0,
                b->Width(), b->Height(), canvas->CopyMode(), nullptr, false);
}

void TJpegPicture::SetWidth(int) {
  throw EInvalidGraphicOperation("La taille d'une image JPEG vient de ses données");
}
void TJpegPicture::SetHeight(int) {
  throw EInvalidGraphicOperation("La taille d'une image JPEG vient de ses données");
}

void TJpegPicture::LoadFromStream(TStream* stream) {
  // A refused read leaves the stream where it was, as the bitmap's does.
  const int64_t start = stream->Position();
  std::string data;
  int width = 0, height = 0;
  TBitmap* decoded = nullptr;
  try {
    const int64_t left = stream->Size() - start;
    if (left <= 0)
      RaiseJpeg("fichier vide");
    data.assign(static_cast<size_t>(left), '\0');
    stream->ReadBuffer(data.data(), left);
    ReadJpegSize(data, width, height);
    // Decode now, so that a corrupt body is reported here and not at the
    // first paint.
    QImage image;
    DecompressJpeg(data, image);
    decoded = Create<TBitmap>();
    decoded->Image() = std::move(image);
  } catch (...) {
    stream->SetPosition(start);
    throw;
  }
  FreeObject(decoded_);
  decoded_ = decoded;
  data_ = std::move(data);
  width_ = width;
  height_ = height;
  Changed();
}

void TJpegPicture::SaveToStream(TStream* stream) {
  stream->WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

TBitmap* TJpegPicture::Bitmap() {
  if (decoded_ == nullptr) {
    TBitmap* b = Create<TBitmap>();
    if (!data_.empty()) {
      try {
        DecompressJpeg(data_, b->Image());
      } catch (...) {
        b->Free();
        throw;
      }
    }
    decoded_ = b;
  }
  return decoded_;
}
