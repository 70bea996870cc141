// The BMP codec on Qt images, shared by the bitmaps, pictures and resources
// of the graphics layer (Bitmap.h) and its tests; code above the platform
// reaches it through TBitmap and RegisterLetterBitmap (GraphicsResources.h).
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/graphics/Bitmap.h"

// Decodes a BMP file; raises EInvalidGraphic (see Bitmap.h's file comment);
// `consumed` receives the file's length in bytes.
void DecodeBmp(const uint8_t* data, size_t size, QImage& image, TPixelFormat& format,
               size_t& consumed);
// A complete BMP file of the image in the given format (pfDevice: 32-bit).
std::string EncodeBmp(const QImage& image, TPixelFormat format);
