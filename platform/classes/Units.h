// Unit start-up and shutdown.
//
// A unit (a module's set of global objects: registries, locks, class
// registrations) has one start-up and one shutdown function. TUnit guards them
// with a counter, so that several users may ask for the unit and its start-up
// runs once, on the first Initialize, and its shutdown once, on the matching
// last Finalize. The program starts its units in one fixed order with
// InitializeUnits and stops them in reverse order with FinalizeUnits; a test
// initialises just the units it needs.
//
// Threads: start-up and shutdown run on the main thread, before other threads
// start and after they end.
#pragma once

#include <initializer_list>
#include <vector>

class TUnit {
 public:
  constexpr TUnit(const char* name, void (*init)(), void (*fini)())
      : name_(name), init_(init), fini_(fini) {}
  // Runs the start-up on the first call; later calls only count.
  void Initialize();
  // Runs the shutdown when the count returns to 0; extra calls do nothing.
  void Finalize();
  bool Initialized() const { return count_ > 0; }
  const char* Name() const { return name_; }

 private:
  const char* name_;
  void (*init_)();
  void (*fini_)();
  int count_ = 0;
};

// Initialises the units in the given order and remembers them for
// FinalizeUnits. A start-up that raises finalises the units already started,
// in reverse order, and passes the exception on.
void InitializeUnits(std::initializer_list<TUnit*> units);
// Finalises every unit started by InitializeUnits, in reverse order.
void FinalizeUnits();
