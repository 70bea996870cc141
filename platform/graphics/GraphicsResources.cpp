#include "platform/graphics/GraphicsResources.h"

#include "platform/graphics/BitmapPrivate.h"
#include "platform/graphics/CanvasRasterPrivate.h"

#include <QImage>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<TResource>>& Resources() {
  static std::vector<std::unique_ptr<TResource>> resources;
  return resources;
}

}  // namespace

void RegisterResource(TResourceKind kind, std::string_view name, std::string_view bmpBytes,
                      TPoint hotSpot) {
  for (auto& r : Resources()) {
    if (r->kind == kind && SameText(r->name, name)) {
      r->bytes = std::string(bmpBytes);
      r->hotSpot = hotSpot;
      return;
    }
  }
  Resources().push_back(std::make_unique<TResource>(
      TResource{kind, std::string(name), std::string(bmpBytes), hotSpot}));
}

const TResource* FindResource(TResourceKind kind, std::string_view name) {
  for (const auto& r : Resources()) {
    if (r->kind == kind && SameText(r->name, name))
      return r.get();
  }
  return nullptr;
}

const TResource& ResourceByName(TResourceKind kind, std::string_view name) {
  const TResource* r = FindResource(kind, name);
  if (r == nullptr)
    throw EResNotFound("Ressource " + std::string(name) + " introuvable");
  return *r;
}

void RegisterLetterBitmap(TResourceKind kind, std::string_view name,
                          const std::vector<std::string>& rows,
                          const std::vector<TLetterColor>& palette, TColor otherColor,
                          TPoint hotSpot) {
  KESTRUNE_ASSERT(!rows.empty() && !rows.front().empty(), "a letter picture needs its rows");
  const size_t width = rows.front().size();
  for (const std::string& row : rows)
    KESTRUNE_ASSERT(row.size() == width, "the rows of a letter picture differ in length");
  const auto colorOf = [&](char letter) {
    for (const TLetterColor& entry : palette) {
      if (entry.letter == letter)
        return entry.color;
    }
    return otherColor;
  };
  QImage image(static_cast<int>(width), static_cast<int>(rows.size()), QImage::Format_RGB32);
  for (size_t y = 0; y < rows.size(); ++y) {
    for (size_t x = 0; x < width; ++x)
      image.setPixel(static_cast<int>(x), static_cast<int>(y),
                     RgbToDevice(static_cast<COLORREF>(colorOf(rows[y][x]))));
  }
  RegisterResource(kind, name, EncodeBmp(image, pf24bit), hotSpot);
}
