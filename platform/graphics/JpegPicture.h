// The JPEG picture: a graphic held as a JPEG file's bytes and, once needed,
// as the decoded pixels.
//
// Assign from a bitmap compresses its pixels with the codec's default
// settings (no option is set); LoadFromStream reads a JPEG file (from the
// stream's position to its end); SaveToStream writes the held JPEG bytes.
// Drawing decodes on first use. Every codec failure (a truncated or corrupt
// file, a size beyond kMaxBitmapPixels, a file that is not JPEG) raises
// EJpegError with the codec's message; the process never ends, the picture
// is unchanged and the stream is left at the position it had.
//
// Threads: one thread at a time; separate pictures may work on separate
// threads.
#pragma once

#include <memory>
#include <string>

#include "platform/graphics/Bitmap.h"

KESTRUNE_EXCEPTION(EJpegError, EInvalidGraphic)

class TJpegPicture : public TGraphic {
  KESTRUNE_CLASS(TJpegPicture, TGraphic)
  TJpegPicture();
  ~TJpegPicture() override;

  // From a bitmap (compressed), another JPEG picture (its bytes) or a
  // TPicture holding either; nullptr empties.
  void Assign(TPersistent* source) override;
  void Draw(TCanvas* canvas, const TRect& rect) override;
  bool Empty() const override { return data_.empty(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // A JPEG picture's size comes from its data: these raise
  // EInvalidGraphicOperation.
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;

  // The decoded pixels (decoded on first call); empty bitmap when empty.
  TBitmap* Bitmap();
  // The JPEG file's bytes.
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
  int width_ = 0;
  int height_ = 0;
  TBitmap* decoded_ = nullptr;
};

// The codec's entry points on Qt images are in JpegPicturePrivate.h.
// Reads the header only: the picture's size. Raises EJpegError.
void ReadJpegSize(const std::string& data, int& width, int& height);
