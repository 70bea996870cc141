// A cleanup that runs when its scope ends, on every exit.
//
//   canvas.SaveState();
//   ScopeExit restore([&] { canvas.RestoreState(level); });
//   ... work that may throw ...
//
// The cleanup is written once, beside what it undoes, instead of once in a
// `catch (...) { cleanup; throw; }` and once more after it. Guards in one
// scope run in the reverse order of their declaration.
//
// On a normal exit an exception the cleanup raises passes on to the caller.
// While the scope unwinds for another exception, that first exception wins:
// the cleanup's own is dropped, since two in flight would end the process.
//
// Threads: a guard belongs to the thread whose scope holds it.
#pragma once

#include <exception>
#include <utility>

namespace kestrune {

template <class Cleanup>
class ScopeExit {
 public:
  explicit ScopeExit(Cleanup cleanup)
      : cleanup_(std::move(cleanup)), exceptions_(std::uncaught_exceptions()) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

  ~ScopeExit() noexcept(false) {
    if (std::uncaught_exceptions() == exceptions_) {
      cleanup_();
      return;
    }
    try {
      cleanup_();
    } catch (...) {
      // Unwinding already: the exception in flight is the one to report.
    }
  }

 private:
  Cleanup cleanup_;
  int exceptions_;  // in flight when the guard was made
};

}  // namespace kestrune
