// The graphics layer in one include: colours, font, pen and brush, the
// canvas, the system drawing calls, bitmaps and pictures, image lists, the
// JPEG picture and compiled-in resources.
//
// GraphicsUnit's start-up registers the colour and cursor name maps and the
// published properties of font, pen and brush (needed before a stored
// description that holds colours or fonts is read).
#pragma once

#include "platform/gdiobj/Colors.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/FontList.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/GraphicsResources.h"
#include "platform/graphics/ImgList.h"
#include "platform/graphics/JpegPicture.h"
