#include "app/AppState.h"

#include <array>
#include <cmath>
#include <limits>

#include "platform/rtl/SysUtils.h"

std::string AppDir;
std::string IniPath;
std::string LogPath;
bool initializing = false;
bool closing = false;
uint8_t DisplayMode = 0;
uint8_t VertAuto = 0;
uint8_t HorzAuto = 0;
TUserPrefs UserPrefs;

void InitPaths(const std::string& exePath) {
  AppDir = ExtractFilePath(exePath);
  IniPath = ChangeFileExt(exePath, ".ini");
  LogPath = ChangeFileExt(exePath, ".log");
}

int32_t TimeBaseSamples(int position) {
  if (position < 1 || position > 9)
    return 1000;
  return int32_t{16} << (position - 1);
}

int32_t SensitivityRange(int position) {
  static constexpr std::array<int32_t, 9> kValues = {10, 20, 50, 100, 200, 500, 1000, 2000, 5000};
  if (position < 1 || position > 9)
    return 10000;
  return kValues[static_cast<size_t>(position - 1)] * 10;
}

int32_t LevelFromReading(double value, double maximum) {
  if (!std::isfinite(value) || !std::isfinite(maximum) || !(maximum > 0.0))
    return 0;
  // An overflowing quotient is infinite and saturates below.
  const double level = std::trunc(100.0 * value / maximum);
  if (level >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (level <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(level);
}
