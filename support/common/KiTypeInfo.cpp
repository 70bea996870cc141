#include "support/common/KiTypeInfo.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

std::mutex type_lock;
std::vector<std::unique_ptr<TKiGeneratedTypeInfo>> types;  // guarded by type_lock
std::vector<std::unique_ptr<TKiPropertyEngine>> engines;   // main thread

}  // namespace

TKiGeneratedTypeInfo* KiAddGeneratedTypeInfo(const std::string& name) {
  const std::lock_guard<std::mutex> lock(type_lock);
  for (const auto& info : types) {
    if (info->Name == name) {
      ++info->RefCount;
      return info.get();
    }
  }
  types.push_back(std::make_unique<TKiGeneratedTypeInfo>(TKiGeneratedTypeInfo{name, 1}));
  return types.back().get();
}

bool KiReleaseGeneratedTypeInfo(TKiGeneratedTypeInfo* info) {
  const std::lock_guard<std::mutex> lock(type_lock);
  const auto found = std::find_if(types.begin(), types.end(),
                                  [info](const auto& entry) { return entry.get() == info; });
  if (found == types.end())
    return false;
  if (--(*found)->RefCount == 0)
    types.erase(found);
  return true;
}

int KiGeneratedTypeInfoCount() {
  const std::lock_guard<std::mutex> lock(type_lock);
  return static_cast<int>(types.size());
}

void KiRegisterPropertyEngine(std::unique_ptr<TKiPropertyEngine> engine) {
  engines.push_back(std::move(engine));
}

int KiPropertyEngineCount() {
  return static_cast<int>(engines.size());
}

void StartKiTypeInfo() {}

void StopKiTypeInfo() {
  {
    const std::lock_guard<std::mutex> lock(type_lock);
    types.clear();
  }
  while (!engines.empty())
    engines.pop_back();  // last first
}
