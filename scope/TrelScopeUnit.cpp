#include "scope/TrelScopeUnit.h"

#include "scope/TrelScope.h"
#include "scope/TrelScopeProperties.h"

namespace {

void StartTrelScope() {
  RegisterTrelScopeClasses();
  RegisterTrelScopePropertiesClasses();
}

}  // namespace

TUnit TrelScopeUnit("TrelScope", &StartTrelScope, nullptr);
