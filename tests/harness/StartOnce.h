// Once-only start-up steps of test and benchmark programs.
//
// Units (platform/classes/Units.h) count their Initialize calls, so a test may
// start the units it needs as often as it likes. What is not a unit, such as
// registering a test class, a stream type's name or converter, a stored
// description, or starting the application object, must run once per program;
// StartOnce runs such a step on its first call and does nothing on later ones:
//
//   inline void StartFramework() {
//     kestrune::test_support::StartOnce([] {
//       VekPinsUnit.Initialize();
//       RegisterClass<TTestForm>();
//     });
//   }
//
// Header only, so the benchmarks use it as the tests do.
#pragma once

#include <type_traits>

namespace kestrune::test_support {

// Runs `start` the first time the program reaches this call. The once is kept
// per type of `start`: pass a lambda written at the call, since every lambda
// has a type of its own (a function pointer or std::function would share one
// once with every other call of that type). A `start` that raises passes its
// exception on and runs again on the next call. Any thread may call; a second
// caller waits until the first one's `start` has returned. `start` must not
// reach its own call again.
template <class Start>
void StartOnce(Start start) {
  static_assert(std::is_class_v<Start>, "StartOnce takes a lambda written at the call");
  [[maybe_unused]] static const bool started = (start(), true);
}

}  // namespace kestrune::test_support
