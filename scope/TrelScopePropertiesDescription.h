// The stored descriptions of the property dialog, its pages and editors.
#pragma once

// Registers every form's description under its class name (the property
// unit's start-up).
void RegisterTrelScopePropertiesDescriptions();
