// The JPEG codec's entry points on Qt images (JpegPicture.cpp), for the
// graphics layer and its tests; code above the platform uses TJPEGImage.
#pragma once

#include <QImage>
#include <string>

#include "platform/graphics/JpegPicture.h"

// Compress: RGB32 pixels to a JPEG file with default settings. Decompress: a
// JPEG file to RGB32 pixels. Both raise EJpegError.
std::string CompressJpeg(const QImage& image);
void DecompressJpeg(const std::string& data, QImage& image);
