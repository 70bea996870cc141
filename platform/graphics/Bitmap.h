// Pictures: the graphic base, the bitmap and the picture holder.
//
// TGraphic is the base of everything a canvas can Draw: bitmaps, the JPEG
// picture (JpegPicture.h) and the pictures of the controls. TBitmap holds
// its pixels in a QImage (RGB32) with a canvas on them; its pixel format
// says how it is stored in files (pf24bit, pf32bit, pf1bit monochrome,
// pfDevice = 32-bit) and, for pf1bit, that every pixel is black or white.
// Its stream form is the BMP file itself: SaveToStream writes a complete BMP
// file at the stream's position and LoadFromStream reads one, leaving the
// position just after it.
//
// BMP reading takes 1-, 4-, 8-, 24- and 32-bit uncompressed files, bottom-up
// and top-down, and 16/32-bit files with bit-field masks. A file that is
// truncated, gives a size beyond kMaxBitmapPixels, a bad data offset or an
// unsupported format raises EInvalidGraphic with a message saying which;
// the bitmap is then unchanged.
//
// Transparency (Draw and the image lists): with Transparent set, the pixels
// of TransparentColor are left out; in tmAuto mode that colour is the
// bottom-left pixel's.
//
// Threads: one thread at a time. Bitmaps work without Qt's application
// object except for text drawn on their canvas.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/classes/Classes.h"
#include "platform/classes/Streams.h"
#include "platform/classes/Types.h"
#include "platform/graphics/Canvas.h"

class QImage;

KESTRUNE_EXCEPTION(EInvalidGraphic, Exception)
KESTRUNE_EXCEPTION(EInvalidGraphicOperation, Exception)

// The largest bitmap we make or read, in pixels (width x height), and the
// largest side.
inline constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;
inline constexpr int kMaxBitmapSide = 1 << 16;

class TGraphic : public TPersistent {
  KESTRUNE_CLASS(TGraphic, TPersistent)
  // Draws the graphic stretched over `rect` of `canvas`.
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual void LoadFromStream(TStream* stream) = 0;
  virtual void SaveToStream(TStream* stream) = 0;
  // Through a file stream; errors as the stream and the format raise. A save
  // encodes the whole picture first and then replaces the file whole or not
  // at all (SaveFileAtomically).
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName);
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  // Stored descriptions keep a graphic as the property "Data": its stream
  // form as a string of hexadecimal digits.
  void DefineProperties(TFiler* filer) override;

  // Fired after every change of the picture.
  TNotifyEvent OnChange;

 protected:
  TGraphic() = default;
  virtual void Changed();
  // The stored form (by default the stream form).
  virtual void ReadData(TStream* stream) { LoadFromStream(stream); }
  virtual void WriteData(TStream* stream) { SaveToStream(stream); }

 private:
  void ReadDataText(TReader* reader);
  void WriteDataText(TWriter* writer);
  bool transparent_ = false;
};

enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf24bit, pf32bit };
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

class TBitmap : public TGraphic {
  KESTRUNE_CLASS(TBitmap, TGraphic)
  // An empty (0 x 0) bitmap.
  TBitmap();
  ~TBitmap() override;

  // Copies another bitmap (pixels, format, transparency), or the picture
  // of a TPicture, or any graphic by drawing it onto a bitmap of its size;
  // nullptr empties the bitmap.
  void Assign(TPersistent* source) override;

  void Draw(TCanvas* canvas, const TRect& rect) override;
  bool Empty() const override;
  int Width() const override;
  int Height() const override;
  // New pixels are black; the old ones keep their place. A size below 0 or
  // beyond the limits raises EInvalidGraphicOperation.
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  void SetSize(int width, int height);
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;
  // A bitmap resource compiled into the program (GraphicsResources.h);
  // EResNotFound when there is none of that name.
  void LoadFromResourceName(const std::string& name);

  // The canvas on the pixels; valid while the bitmap lives.
  TCanvas* Canvas();

  TPixelFormat PixelFormat() const { return pixel_format_; }
  // Changing to pf1bit turns every pixel black or white (white where the
  // luminance is at least half).
  void SetPixelFormat(TPixelFormat format);
  bool Monochrome() const { return pixel_format_ == pf1bit; }
  void SetMonochrome(bool mono) { SetPixelFormat(mono ? pf1bit : pfDevice); }

  // The first byte of row `row` (0 = top): 4 bytes per pixel, blue, green,
  // red, unused. Only for pfDevice and pf32bit bitmaps (other formats raise
  // EInvalidGraphicOperation, as does a row outside the bitmap). Valid until
  // the size or format changes.
  void* ScanLine(int row);

  TTransparentMode TransparentMode() const { return transparent_mode_; }
  void SetTransparentMode(TTransparentMode mode);
  // tmAuto: the bottom-left pixel (clDefault when the bitmap is empty);
  // tmFixed: the colour set.
  TColor TransparentColor() const;
  // Sets the colour and tmFixed.
  void SetTransparentColor(TColor color);

  // The pixels, for the graphics and forms layers. Drawing through the
  // canvas keeps a pf1bit bitmap black and white; direct writes must too.
  QImage& Image();
  const QImage& Image() const;

 private:
  void CanvasChanged(TObject* sender);
  void ResizeImage(int width, int height);

  std::unique_ptr<QImage> image_;
  TCanvas* canvas_ = nullptr;
  TPixelFormat pixel_format_ = pfDevice;
  TTransparentMode transparent_mode_ = tmAuto;
  TColor transparent_color_ = clDefault;
};

// Holds one graphic of any class; what properties of type "picture" store.
class TPicture : public TPersistent {
  KESTRUNE_CLASS(TPicture, TPersistent)
  TPicture();
  ~TPicture() override;
  // From another picture or a graphic: a copy of its graphic (same class);
  // nullptr empties.
  void Assign(TPersistent* source) override;

  // The graphic held, nullptr when empty.
  TGraphic* Graphic() const { return graphic_; }
  // Holds a copy of `graphic` (nullptr empties).
  void SetGraphic(TGraphic* graphic);
  // The graphic as a bitmap: an empty picture, or one holding another
  // class, is first replaced by an empty bitmap.
  TBitmap* Bitmap();
  int Width() const;
  int Height() const;

  // By extension (case ignored): ".bmp" a bitmap, ".jpg" and ".jpeg" a JPEG
  // picture; another extension raises EInvalidGraphic "Extension de fichier
  // inconnue (.ext)". On failure the picture is unchanged.
  void LoadFromFile(const std::string& fileName);
  // The held graphic's own format; raises EInvalidGraphicOperation when
  // empty.
  void SaveToFile(const std::string& fileName);
  void DefineProperties(TFiler* filer) override;

  TNotifyEvent OnChange;

 private:
  void Take(TGraphic* graphic);  // takes ownership
  void GraphicChanged(TObject* sender);
  void ReadDataText(TReader* reader);
  void WriteDataText(TWriter* writer);
  TGraphic* graphic_ = nullptr;
};
