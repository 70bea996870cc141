// The list of generated type information and the list of property engines.
//
// Generated type information records are counted: KiAddGeneratedTypeInfo
// makes one (or counts one more use of the record of that name),
// KiReleaseGeneratedTypeInfo drops a use and frees the record at 0; the
// unit's shutdown frees all. The property-engine list owns its engines and
// frees them, last first, at shutdown; nothing registers one here.
//
// Threads: the type list from any thread (locked); start-up and shutdown on
// the main thread.
#pragma once

#include <memory>
#include <string>

struct TKiGeneratedTypeInfo {
  std::string Name;
  int RefCount = 0;
};

// The record for `name`, with one more use.
TKiGeneratedTypeInfo* KiAddGeneratedTypeInfo(const std::string& name);
// Drops one use of `info`; frees it at 0. False when it is not listed.
bool KiReleaseGeneratedTypeInfo(TKiGeneratedTypeInfo* info);
int KiGeneratedTypeInfoCount();

// A property engine (none exists in this program).
class TKiPropertyEngine {
 public:
  virtual ~TKiPropertyEngine() = default;
};
// Takes ownership; the engine is freed at shutdown.
void KiRegisterPropertyEngine(std::unique_ptr<TKiPropertyEngine> engine);
int KiPropertyEngineCount();

void StartKiTypeInfo();
void StopKiTypeInfo();
