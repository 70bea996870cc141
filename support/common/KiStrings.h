// Character tables and string constants of the support units.
//
// The tables classify the 256 single-byte codes as Latin-1 (ISO 8859-1):
// each code's character type and its lower-case, upper-case and
// reversed-case counterparts. They are built once, at the unit's start-up.
//
// Threads: built on the main thread at start-up; read from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Character-type bits.
inline constexpr uint16_t C1_UPPER = 0x0001;
inline constexpr uint16_t C1_LOWER = 0x0002;
inline constexpr uint16_t C1_DIGIT = 0x0004;
inline constexpr uint16_t C1_SPACE = 0x0008;
inline constexpr uint16_t C1_PUNCT = 0x0010;
inline constexpr uint16_t C1_CNTRL = 0x0020;
inline constexpr uint16_t C1_BLANK = 0x0040;
inline constexpr uint16_t C1_XDIGIT = 0x0080;
inline constexpr uint16_t C1_ALPHA = 0x0100;

struct TKiCharTables {
  std::array<uint16_t, 256> Types{};
  std::array<uint8_t, 256> Lower{};
  std::array<uint8_t, 256> Upper{};
  std::array<uint8_t, 256> ReverseCase{};
};

const TKiCharTables& KiCharTables();

// The string constants: the texts of the two Boolean values, "False" and
// "True" (empty outside the unit's start-up and shutdown).
const std::array<std::string, 2>& KiBoolStrings();

void StartKiStrings();
void StopKiStrings();
