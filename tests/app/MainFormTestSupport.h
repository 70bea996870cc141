// Shared pieces of the main window's tests: the program's units, a fresh
// application state, and a wave backend that notes its opens in a journal.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/AppState.h"
#include "app/ProgramUnits.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "tests/harness/StartOnce.h"

namespace apptest {

// Starts the program's units once per test program.
inline void StartUnits() {
  kestrune::test_support::StartOnce([] { StartProgramUnits(); });
}

// The program's state as a fresh run has it.
inline void ResetAppState() {
  initializing = false;
  closing = false;
  DisplayMode = 0;
  VertAuto = 0;
  HorzAuto = 0;
  UserPrefs = {};
}

// Passes everything to the scripted wave backend and notes each open in the
// journal: "open <device>" or "open mapper".
class JournalWaveIn final : public kestrune::WaveInBackend {
 public:
  JournalWaveIn(std::shared_ptr<kestrune::ScriptedWaveInBackend> inner,
                std::vector<std::string>& journal)
      : inner_(std::move(inner)), journal_(journal) {}
  std::vector<kestrune::CaptureDeviceEntry> ListDevices() override { return inner_->ListDevices(); }
  MMRESULT Open(const kestrune::CaptureDeviceEntry* entry, const kestrune::WaveInFormat& format,
                bool mayConvert, std::unique_ptr<kestrune::WaveInStream>& stream) override {
    journal_.push_back("open " + (entry != nullptr ? entry->name : std::string("mapper")));
    return inner_->Open(entry, format, mayConvert, stream);
  }

 private:
  std::shared_ptr<kestrune::ScriptedWaveInBackend> inner_;
  std::vector<std::string>& journal_;
};

}  // namespace apptest
