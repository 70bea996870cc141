// The scope module's start-up: registers the published properties of the
// scope's classes and the property dialog's forms with their stored
// descriptions. The program starts it after the class library's and the
// graphics units; tests that read or write stored descriptions of scopes
// start it themselves. Starting it again re-registers the same properties.
#pragma once

#include "platform/classes/Units.h"

extern TUnit TrelScopeUnit;
