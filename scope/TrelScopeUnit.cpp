#include "scope/TrelScopeUnit.h"

#include "scope/TrelScope.h"

TUnit TrelScopeUnit("TrelScope", &RegisterTrelScopeClasses, nullptr);
