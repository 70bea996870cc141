// Entries from Qt into our code.
//
// Qt's event dispatch is not built to carry exceptions: one that unwinds
// through it skips Qt's own clean-up. So every place where Qt calls us
// (event handlers, the main loop's wake-up, timers, the close query) runs our
// code through CallFromQt, which catches whatever escapes and hands it to the
// central exception handler; Qt then goes on as if the handler had returned
// normally.
//
// Threads: main thread (Qt delivers events to our objects there).
#pragma once

#include <exception>
#include <utility>

namespace kestrune {

// Hands an exception that escaped an event handler to the current main
// loop's central handler (the application's HandleException once the
// application is initialised), or writes its text to stderr when no loop
// exists. Never raises. Main thread.
void HandleEscapedException(std::exception_ptr error) noexcept;

// Runs `body`; an exception that escapes it goes to HandleEscapedException.
template <class Body>
void CallFromQt(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
    HandleEscapedException(std::current_exception());
  }
}

}  // namespace kestrune
