// The application's own state, beside the main window: the program's paths,
// the start-up and shutdown flags, the display choices and the in-memory user
// choices. Nothing of it is saved: the program keeps no settings between
// runs.
//
// Threads: main thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The folder of the executable, with its trailing separator.
extern std::string AppDir;
// The executable's path with its extension replaced by ".ini"; computed, read
// by nothing.
extern std::string IniPath;
// The executable's path with its extension replaced by ".log": the trace log.
extern std::string LogPath;

// True while the main window's start-up sequence runs.
extern bool initializing;
// Set when the main window is asked to close; never cleared.
extern bool closing;

// 0 oscilloscope, 1 spectrum analyser.
extern uint8_t DisplayMode;
// Vertical and horizontal auto-scaling choices (0 or 1).
extern uint8_t VertAuto;
extern uint8_t HorzAuto;

// The user's choices: 0 the last chosen capture device name, 1 the last
// chosen input line name; 2 and 3 are unused.
using TUserPrefs = std::array<std::string, 4>;
extern TUserPrefs UserPrefs;

// Sets AppDir, IniPath and LogPath from the executable's path.
void InitPaths(const std::string& exePath);

// The time-base table: samples across the scope for a time-base slider
// position (1..9: 16 to 4096, doubling; any other position 1000).
int32_t TimeBaseSamples(int position);
// The sensitivity table: the vertical range for a sensitivity slider
// position, in sample units (1..9: 100, 200, 500, 1000, ... 50000; any other
// position 10000).
int32_t SensitivityRange(int position);
// A meter reading as a level-meter value: 100 x value / maximum, truncated
// toward zero; 0 for a zero, negative or non-finite maximum or a non-finite
// value; saturated to the int range (the meter clamps to 0..100).
int32_t LevelFromReading(double value, double maximum);
