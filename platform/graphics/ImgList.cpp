#include "platform/graphics/ImgList.h"

#include <QImage>

#include "platform/graphics/CanvasRasterPrivate.h"

struct TImageList::Image {
  QImage pixels;                // width x height, RGB32
  std::vector<uint8_t> opaque;  // 1 where the image shows
};

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}
TImageList::~TImageList() = default;

int TImageList::Count() const {
  return static_cast<int>(images_.size());
}

void TImageList::Changed() {
  if (OnChange.Assigned())
    OnChange(this);
}

void TImageList::SetWidth(int width) {
  if (width < 1)
    throw EInvalidOperation("Taille d'image incorrecte");
  if (width == width_)
    return;
  width_ = width;
  Clear();
}

void TImageList::SetHeight(int height) {
  if (height < 1)
    throw EInvalidOperation("Taille d'image incorrecte");
  if (height == height_)
    return;
  height_ = height;
  Clear();
}

namespace {

// The pixel of `bitmap` at (x, y), or black outside it.
uint32_t PixelAt(const QImage& image, int x, int y) {
  if (image.isNull() || x >= image.width() || y >= image.height())
    return 0xFF000000u;
  return reinterpret_cast<const uint32_t*>(image.constScanLine(y))[x] | 0xFF000000u;
}

[[noreturn]] void RaiseIndexError(int index) {
  throw EListError("Indice de liste hors limites (" + std::to_string(index) + ")");
}

}  // namespace

TImageList::Image TImageList::Cut(TBitmap* image, TBitmap* mask, int k) const {
  Image img;
  img.pixels = QImage(width_, height_, QImage::Format_RGB32);
  img.opaque.assign(static_cast<size_t>(width_) * height_, 1);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const int sx = k * width_ + x;
      reinterpret_cast<uint32_t*>(img.pixels.scanLine(y))[x] = PixelAt(image->Image(), sx, y);
      if (mask != nullptr && (PixelAt(mask->Image(), sx, y) & 0xFFFFFF) == 0xFFFFFF)
        img.opaque[static_cast<size_t>(y) * width_ + x] = 0;
    }
  }
  return img;
}

void TImageList::MaskColor(Image& img, TColor maskColor) const {
  const uint32_t key = RgbToDevice(ColorToRGB(maskColor) & 0xFFFFFF) & 0xFFFFFF;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if ((PixelAt(img.pixels, x, y) & 0xFFFFFF) == key)
        img.opaque[static_cast<size_t>(y) * width_ + x] = 0;
    }
  }
}

int TImageList::Add(TBitmap* image, TBitmap* mask) {
  if (image == nullptr || image->Width() < width_)
    return -1;
  const int first = Count();
  const int n = image->Width() / width_;
  for (int k = 0; k < n; ++k)
    images_.push_back(Cut(image, mask, k));
  Changed();
  return first;
}

int TImageList::AddMasked(TBitmap* image, TColor maskColor) {
  const int first = Add(image, nullptr);
  if (first < 0)
    return first;
  for (size_t i = static_cast<size_t>(first); i < images_.size(); ++i)
    MaskColor(images_[i], maskColor);
  return first;
}

void TImageList::ReplaceMasked(int index, TBitmap* image, TColor maskColor) {
  if (index < 0 || index >= Count())
    RaiseIndexError(index);
  if (image == nullptr)
    return;
  Image img = Cut(image, nullptr, 0);
  MaskColor(img, maskColor);
  images_[static_cast<size_t>(index)] = std::move(img);
  Changed();
}

void TImageList::Delete(int index) {
  if (index < 0 || index >= Count())
    RaiseIndexError(index);
  images_.erase(images_.begin() + index);
  Changed();
}

void TImageList::Clear() {
  if (images_.empty())
    return;
  images_.clear();
  Changed();
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  if (canvas == nullptr || index < 0 || index >= Count())
    return;
  const Image& img = images_[static_cast<size_t>(index)];
  if (enabled) {
    for (int iy = 0; iy < height_; ++iy) {
      for (int ix = 0; ix < width_; ++ix) {
        if (img.opaque[static_cast<size_t>(iy) * width_ + ix])
          canvas->SetPixel(x + ix, y + iy,
                           static_cast<TColor>(DeviceToRgb(PixelAt(img.pixels, ix, iy))));
      }
    }
    return;
  }
  // Greyed: the dark pixels embossed (see the header).
  auto dark = [&](int ix, int iy) {
    if (!img.opaque[static_cast<size_t>(iy) * width_ + ix])
      return false;
    const uint32_t c = PixelAt(img.pixels, ix, iy);
    const uint32_t lum = ((c >> 16) & 0xFF) * 299 + ((c >> 8) & 0xFF) * 587 + (c & 0xFF) * 114;
    return lum < 192u * 1000u;
  };
  for (int pass = 0; pass < 2; ++pass) {
    const int off = pass == 0 ? 1 : 0;
    const TColor color = pass == 0 ? clBtnHighlight : clBtnShadow;
    for (int iy = 0; iy < height_; ++iy) {
      for (int ix = 0; ix < width_; ++ix) {
        if (dark(ix, iy))
          canvas->SetPixel(x + ix + off, y + iy + off, color);
      }
    }
  }
}

void TImageList::GetBitmap(int index, TBitmap* bitmap) {
  if (bitmap == nullptr || index < 0 || index >= Count())
    return;
  bitmap->SetSize(width_, height_);
  TCanvas* c = bitmap->Canvas();
  c->FillRect(Rect(0, 0, width_, height_));
  Draw(c, 0, 0, index, true);
}
