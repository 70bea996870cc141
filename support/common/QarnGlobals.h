// Default values of the Qarn helper units. Nothing in this program reads
// them. There is no registry here, so the default registry key is empty;
// the default settings file is a name beside the executable.
#pragma once

#include <string>

struct TQarnGlobals {
  std::string Digits;           // "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
  std::string DefaultFontName;  // "Arial"
  std::string SettingsSection;  // "Defaults"
  std::string SettingsFile;     // <executable folder>/qarn.ini
  std::string RegistryKey;      // empty
};

// The values (empty outside the unit's start-up and shutdown).
const TQarnGlobals& QarnGlobals();

void StartQarnGlobals();
void StopQarnGlobals();
