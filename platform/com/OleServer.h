// The base of components that wrap an external COM server object.
//
// A TOleServer is an ordinary component (owned, named, freed with its owner)
// that reaches its server through an interface it obtains on first use:
// Connect obtains it, Disconnect drops it. A wrapper's methods call the
// server through that interface and raise EOleSysError on a failure code
// (OleCheck in ComObj.h).
//
// Threads: main thread.
#pragma once

#include "platform/classes/Classes.h"

class TOleServer : public TComponent {
  KESTRUNE_CLASS(TOleServer, TComponent)
  explicit TOleServer(TComponent* owner) : TComponent(owner) {}

  // Obtains the server object; leaves the wrapper unconnected when it cannot.
  virtual void Connect() = 0;
  // Drops the server object (nothing when unconnected).
  virtual void Disconnect() = 0;
};
