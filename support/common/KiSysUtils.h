// System helpers of the support units: a critical section used as a scope
// lock through an interface, the process's list of mapped file views, and
// module unloading.
//
// TKiIntfCriticalSection enters its section when an interface reference is
// taken (_AddRef) and leaves it when the reference goes (_Release); its
// life is not counted (the owner frees it). The process-wide instance
// (KiGlobalSection) guards the list of mapped views.
//
// Threads: the views and the section from any thread; start-up and shutdown
// on the main thread.
#pragma once

#include <cstddef>

#include "platform/classes/SyncObjs.h"
#include "platform/rtl/System.h"

class TKiIntfCriticalSection : public TObject, public virtual IInterface {
  KESTRUNE_CLASS(TKiIntfCriticalSection, TObject)
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  // Enters the section; 1 (the life is not counted).
  int32_t _AddRef() override;
  // Leaves the section; 1.
  int32_t _Release() override;

 private:
  TCriticalSection section_;
};

// The process-wide section (between the unit's start-up and shutdown; null
// outside).
TKiIntfCriticalSection* KiGlobalSection();

// Maps `length` bytes of the open file `fd` read-only and keeps the view;
// the view owns `fd` from now on. Null (and `fd` closed) on failure.
void* KiMapFileView(int fd, size_t length);
// Unmaps a kept view and closes its file; false when it is not one.
bool KiUnmapFileView(void* view);
// How many views are kept.
int KiMappedViewCount();

// Unloads a module handle (dlopen's) when it is not null, then nulls it.
void KiUnloadModule(void*& handle);

// The unit's start-up (the section) and shutdown (unmaps and closes every
// kept view, one by one, then frees the section).
void StartKiSysUtils();
void StopKiSysUtils();
