#include "platform/classes/ClassesUnit.h"

#include "platform/classes/TypInfo.h"

TUnit ClassesUnit(
    "Classes", [] { RegisterStandardClasses(); }, nullptr);
