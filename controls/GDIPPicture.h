// The glass button's pictures and hint data.
//
// TGDIPPicture keeps an image file's bytes exactly as loaded and draws them
// through the anti-aliased drawing layer, so PNG and JPEG draw with their
// transparency and scaling; a BMP file draws unstretched through a
// transparent bitmap (its bottom-left pixel's colour left out). Width and
// Height are those of the last decoded image (0 for a new picture); a
// picture whose bytes do not decode draws nothing. Decoding works on a copy
// of the bytes: when that copy cannot be allocated, Assign, LoadFromStream
// and Draw raise EGDIPPictureError (Assign and LoadFromStream have taken
// the new bytes in by then).
//
// TStyHintInfo is the data of a rich hint (title, notes, picture).
//
// GradientFill is the banded gradient the shortcut hint window paints.
//
// Threads: main thread only.
#pragma once

#include <string>

#include "platform/classes/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"

KESTRUNE_EXCEPTION(EGDIPPictureError, Exception)

class TGDIPPicture : public TGraphic {
  KESTRUNE_CLASS(TGDIPPicture, TGraphic)
  TGDIPPicture();
  ~TGDIPPicture() override;

  // From another TGDIPPicture (its bytes), a bitmap or a TPicture (saved in
  // BMP form): not empty, OnChange, then the size is decoded. nullptr
  // clears: empty, OnChange, then OnClear. Any other source only sets the
  // empty flag (the bytes stay, no event); the picture itself changes
  // nothing.
  void Assign(TPersistent* source) override;
  // Decodes and draws into `rect`: stretched, or for BMP unstretched at its
  // top-left. Nothing when empty or undecodable.
  void Draw(TCanvas* canvas, const TRect& rect) override;
  bool Empty() const override { return empty_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // The size comes from the image: these do nothing.
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  // The stream's whole content (from its start) replaces the data; not
  // empty; the size is decoded; OnChange. A null stream does nothing.
  void LoadFromStream(TStream* stream) override;
  // The data bytes unchanged (a null stream does nothing).
  void SaveToStream(TStream* stream) override;
  // The file's bytes replace the data; not empty; OnClear; the size is
  // decoded; OnChange. A missing or unreadable file changes nothing and
  // reports nothing.
  void LoadFromFile(const std::string& fileName) override;

  // The held bytes, owned by the picture. LoadFromFile replaces the stream
  // object: a pointer taken before it is left dangling.
  TMemoryStream* Data() const { return data_; }

  TNotifyEvent OnClear;

 protected:
  // Stored descriptions: the bytes replace the data, not empty, no event,
  // no decoding.
  void ReadData(TStream* stream) override;
  void WriteData(TStream* stream) override { SaveToStream(stream); }

 private:
  void UpdateSize();
  void FireClear();

  TMemoryStream* data_ = nullptr;
  bool empty_ = true;
  int width_ = 0;
  int height_ = 0;
};

class TStyHintInfo : public TPersistent {
  KESTRUNE_CLASS(TStyHintInfo, TPersistent)
  TStyHintInfo();
  ~TStyHintInfo() override;
  // From another TStyHintInfo; other sources are ignored.
  void Assign(TPersistent* source) override;

  TGDIPPicture* Picture() const { return picture_; }
  void SetPicture(TGDIPPicture* value) { picture_->Assign(value); }
  bool ShowHelp = false;
  std::vector<std::string> Notes;
  std::string Title;
  std::u16string WideTitle;
  std::u16string WideNotes;

 private:
  TGDIPPicture* picture_ = nullptr;
};

enum class TFillDirection { gdHorizontal, gdVertical };

// Fills `rect` in `steps` bands (0 counts as 1) from `fromColor` to
// `toColor` (both resolved to RGB), along x for gdHorizontal, else along y;
// each band is drawn one pixel longer than its share, so bands of a
// fractional size leave no gap.
void GradientFill(TCanvas* canvas, TColor fromColor, TColor toColor, TFillDirection direction,
                  const TRect& rect, int steps);

void RegisterGDIPPictureClasses();
