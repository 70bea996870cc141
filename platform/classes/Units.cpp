#include "platform/classes/Units.h"

namespace {
std::vector<TUnit*>& StartedUnits() {
  static std::vector<TUnit*> units;
  return units;
}
}  // namespace

void TUnit::Initialize() {
  if (count_++ == 0 && init_ != nullptr) {
    try {
      init_();
    } catch (...) {
      count_ = 0;
      throw;
    }
  }
}

void TUnit::Finalize() {
  if (count_ == 0)
    return;
  if (--count_ == 0 && fini_ != nullptr)
    fini_();
}

void InitializeUnits(std::initializer_list<TUnit*> units) {
  auto& started = StartedUnits();
  for (TUnit* unit : units) {
    try {
      unit->Initialize();
    } catch (...) {
      FinalizeUnits();
      throw;
    }
    started.push_back(unit);
  }
}

void FinalizeUnits() {
  auto& started = StartedUnits();
  while (!started.empty()) {
    TUnit* unit = started.back();
    started.pop_back();
    unit->Finalize();
  }
}
