#include "platform/graphics/GraphicsResources.h"

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
