// The flat drawing API's links to the graphics layer: graphics objects on a
// canvas, images from byte streams, BMP and JPEG through the layer's readers.
#include <QImage>
#include <string>

#include "platform/classes/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapPrivate.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/GdiPlus.h"
#include "platform/graphics/GdiPlusPrivate.h"
#include "platform/graphics/JpegPicture.h"
#include "platform/graphics/JpegPicturePrivate.h"

GpStatus GdipCreateFromHDC(TCanvas* dc, GpGraphics** graphics) {
  if (dc == nullptr || graphics == nullptr)
    return InvalidParameter;
  GpGraphics* made = new GpGraphics();
  made->target = dc->Target();
  const TPoint origin = dc->WindowOrg();
  made->origin = QPoint(origin.X, origin.Y);
  if (dc->HasClipRegion()) {
    made->hasDeviceClip = true;
    made->deviceClip = dc->ClipRegion().Qt();
  }
  *graphics = made;
  return Ok;
}

namespace {
GpStatus LoadFromStream(TStream* stream, GpImage** image) {
  if (stream == nullptr || image == nullptr)
    return InvalidParameter;
  *image = nullptr;
  const int64_t available = stream->Size() - stream->Position();
  if (available <= 0)
    return InvalidParameter;
  std::string bytes(static_cast<size_t>(available), '\0');
  if (stream->Read(bytes.data(), available) != available)
    return GenericError;
  return GdipLoadImageFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                image);
}
}  // namespace

GpStatus GdipLoadImageFromStream(TStream* stream, GpImage** image) {
  return LoadFromStream(stream, image);
}

GpStatus GdipLoadImageFromStreamICM(TStream* stream, GpImage** image) {
  return LoadFromStream(stream, image);
}

namespace kestrune::gdiplus {

bool DecodeWithGraphicsReaders(const uint8_t* data, size_t size, QImage& image,
                               GpImageFormatId& format) {
  try {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
      TPixelFormat pixels;
      size_t consumed = 0;
      DecodeBmp(data, size, image, pixels, consumed);
      format = ImageFormatBMP;
      return !image.isNull();
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
      DecompressJpeg(std::string(reinterpret_cast<const char*>(data), size), image);
      format = ImageFormatJPEG;
      return !image.isNull();
    }
  } catch (const Exception&) {
    return false;
  }
  return false;
}

}  // namespace kestrune::gdiplus
