#include "support/common/QarnGlobals.h"

#include <filesystem>

#include "platform/win/Libraries.h"

namespace {

TQarnGlobals globals;

}  // namespace

const TQarnGlobals& QarnGlobals() {
  return globals;
}

void StartQarnGlobals() {
  globals.Digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  globals.DefaultFontName = "Arial";
  globals.SettingsSection = "Defaults";
  const std::filesystem::path exe = kestrune::ExecutablePath();
  globals.SettingsFile = (exe.parent_path() / "qarn.ini").string();
  globals.RegistryKey.clear();
}

void StopQarnGlobals() {
  globals = TQarnGlobals{};
}
