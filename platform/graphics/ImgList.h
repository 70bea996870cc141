// An image list: images of one size (16 x 16 by default), drawn enabled or
// greyed.
//
// Each image has a mask: added with a mask bitmap (white bits are
// transparent) or with a mask colour (pixels of that colour are
// transparent). A bitmap wider than the list's width is cut into as many
// images as fit. Drawing greyed paints the image's opaque pixels as an
// embossed shape: the darker pixels (luminance below 3/4 of white) in
// button highlight one pixel right and down, then in button shadow at the
// place; lighter pixels are left out.
//
// Threads: the main thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/graphics/Bitmap.h"

class TImageList : public TComponent {
  KESTRUNE_CLASS(TImageList, TComponent)
  explicit TImageList(TComponent* owner);
  ~TImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size clears the list. Sizes below 1 raise
  // EInvalidOperation.
  void SetWidth(int width);
  void SetHeight(int height);
  int Count() const;

  // Adds the images cut from `image` with `mask` (nullptr: all opaque);
  // returns the index of the first, -1 when the bitmap is narrower than one
  // image.
  int Add(TBitmap* image, TBitmap* mask);
  // Adds the images cut from `image`, pixels of `maskColor` transparent.
  int AddMasked(TBitmap* image, TColor maskColor);
  // Replaces image `index` by the top-left image of `image` (pixels beyond
  // the bitmap black), pixels of `maskColor` transparent. An index outside
  // the list raises EListError and changes nothing.
  void ReplaceMasked(int index, TBitmap* image, TColor maskColor);
  void Delete(int index);
  void Clear();

  // Draws image `index` with its top-left at (x, y); an index outside the
  // list draws nothing.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  // Copies image `index` into `bitmap` (its transparent pixels as the
  // canvas brush colour of `bitmap`, white by default).
  void GetBitmap(int index, TBitmap* bitmap);

  TNotifyEvent OnChange;

 private:
  struct Image;
  void Changed();
  // Image `k` cut from `image` with `mask` (nullptr: all opaque).
  Image Cut(TBitmap* image, TBitmap* mask, int k) const;
  // Pixels of `maskColor` become transparent.
  void MaskColor(Image& img, TColor maskColor) const;
  int width_ = 16;
  int height_ = 16;
  std::vector<Image> images_;
};
