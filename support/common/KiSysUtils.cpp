#include "support/common/KiSysUtils.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

namespace {

struct MappedView {
  void* address;
  size_t length;
  int fd;
};

TKiIntfCriticalSection* global_section = nullptr;
std::vector<MappedView> views;  // guarded by global_section

void UnmapView(const MappedView& view) {
  munmap(view.address, view.length);
  close(view.fd);
}

}  // namespace

HRESULT TKiIntfCriticalSection::QueryInterface(const TGUID& iid, void** obj) {
  *obj = nullptr;
  return QueryInterfaceTable<IInterface>(this, iid, obj);
}

int32_t TKiIntfCriticalSection::_AddRef() {
  section_.Enter();
  return 1;
}

int32_t TKiIntfCriticalSection::_Release() {
  section_.Leave();
  return 1;
}

TKiIntfCriticalSection* KiGlobalSection() {
  return global_section;
}

void* KiMapFileView(int fd, size_t length) {
  void* address = length == 0 ? MAP_FAILED : mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  const IPtr<IInterface> lock(global_section);
  views.push_back({address, length, fd});
  return address;
}

bool KiUnmapFileView(void* view) {
  const IPtr<IInterface> lock(global_section);
  for (auto it = views.begin(); it != views.end(); ++it) {
    if (it->address == view) {
      UnmapView(*it);
      views.erase(it);
      return true;
    }
  }
  return false;
}

int KiMappedViewCount() {
  const IPtr<IInterface> lock(global_section);
  return static_cast<int>(views.size());
}

void KiUnloadModule(void*& handle) {
  if (handle != nullptr)
    dlclose(handle);
  handle = nullptr;
}

void StartKiSysUtils() {
  global_section = Create<TKiIntfCriticalSection>();
}

void StopKiSysUtils() {
  {
    const IPtr<IInterface> lock(global_section);
    for (const MappedView& view : views)
      UnmapView(view);
    views.clear();
  }
  FreeAndNil(global_section);
}
