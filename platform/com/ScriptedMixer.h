// Scripted mixers for tests (test machines have no sound card).
//
// Install a ScriptedMixerBackend with SetMixerBackend (CaptureMixer.h); the
// device named in a script opens a mixer with the script's elements; other
// devices have none. Every write is logged, as "switch <element> on|off" or
// "item <element> <item>" with the element's name, and a script can make
// writes fail.
//
// Threads: any member from any thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/CaptureMixer.h"

namespace kestrune {

struct ScriptedMixerScript {
  std::vector<MixerElementInfo> elements;
  bool failWrites = false;  // every write raises EOSError (after it is logged)
};

class ScriptedMixerBackend final : public MixerBackend {
 public:
  // `mixers` maps a device name to its mixer.
  explicit ScriptedMixerBackend(std::map<std::string, ScriptedMixerScript> mixers);

  std::unique_ptr<CaptureMixer> Open(const CaptureDeviceEntry& device) override;

  // The writes made so far, in order, on every mixer of this backend.
  std::vector<std::string> Writes() const;

 private:
  struct Shared {
    mutable std::mutex mutex;
    std::vector<std::string> writes;
  };
  std::map<std::string, ScriptedMixerScript> mixers_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace kestrune
