// The start-up of the class library: registers the published properties of
// the library's own classes (TComponent's Tag, ...). The program starts it
// first; tests that read stored descriptions start it themselves.
#pragma once

#include "platform/classes/Units.h"

extern TUnit ClassesUnit;
