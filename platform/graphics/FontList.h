// The fonts a screen offers: the installed families and the substituted
// Windows face names.
//
// Needs Qt's application object. Threads: the main thread.
#pragma once

#include <string>
#include <vector>

// The installed font families, then each substituted face name ("Tahoma",
// "MS Sans Serif", "Arial") that is not installed itself, sorted without
// regard to case and without repeats.
std::vector<std::string> ScreenFontNames();

// Is `name` (after substitution) an outline font, one that scales to any
// size? False for an unknown name.
bool IsOutlineFont(const std::string& name);

// Device fonts (built into an output device) do not exist here: always
// false.
inline bool IsDeviceFont(const std::string&) {
  return false;
}
