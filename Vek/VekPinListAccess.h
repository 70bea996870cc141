// The side of a pin list that pins, pin paths and placeholders reach.
// Callers include Vek/VekPins.h.
//
// A component's numbered list of pins (TVekPinList) implements this; a pin
// that the list holds carries it in its PinList field. Pin paths use it to
// name a numbered pin ("._Pin0" in identifier form, ".Pin [0]" or the pin's
// own name in display form) and to find the list's property path on its
// owner, and the property-path search descends into a list's pins through
// it.
//
// Threads: the list's own rules (queries take the global read section and
// the list's read section).
#pragma once

#include <string>

class TObject;
class TVekBasicPin;

class TVekPinListAccess {
 public:
  // The list as an object: the value of the owner's published property that
  // holds it.
  virtual TObject* PinListObject() = 0;
  // Entries of the list, placeholders still pending included.
  virtual int PinEntryCount() = 0;
  // The pin of an entry (nullptr for an index out of range).
  virtual TVekBasicPin* PinEntry(int index) = 0;
  // The first index holding the pin, or -1.
  virtual int IndexOfPin(TVekBasicPin* pin) = 0;
  // The display name of an index: its stored name, or "Pin [<index>]".
  virtual std::string GetPinName(int index) = 0;
  // `pin`, which the list holds, is being destroyed: the list forgets it
  // (a list that frees the pin itself ignores the call). Called from the
  // pin's BeforeDestruction under the global write section. Nothing by
  // default.
  virtual void PinDestroying(TVekBasicPin* pin) { (void)pin; }

 protected:
  ~TVekPinListAccess() = default;
};
