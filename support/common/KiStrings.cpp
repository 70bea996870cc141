#include "support/common/KiStrings.h"

namespace {

TKiCharTables tables;
bool tables_built = false;
std::array<std::string, 2> bool_strings;

uint16_t Latin1Type(unsigned c) {
  uint16_t type = 0;
  const bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
  const bool lower =
      (c >= 'a' && c <= 'z') || (c >= 0xDF && c != 0xF7) || c == 0xAA || c == 0xBA || c == 0xB5;
  if (upper)
    type |= C1_UPPER | C1_ALPHA;
  if (lower)
    type |= C1_LOWER | C1_ALPHA;
  if (c >= '0' && c <= '9')
    type |= C1_DIGIT | C1_XDIGIT;
  if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
    type |= C1_XDIGIT;
  if (c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0)
    type |= C1_SPACE;
  if (c == ' ' || c == '\t' || c == 0xA0)
    type |= C1_BLANK;
  if (c < 0x20 || (c >= 0x7F && c < 0xA0))
    type |= C1_CNTRL;
  const bool graphic = (c > 0x20 && c < 0x7F) || (c > 0xA0);
  if (graphic && !upper && !lower && !(c >= '0' && c <= '9'))
    type |= C1_PUNCT;
  return type;
}

}  // namespace

const TKiCharTables& KiCharTables() {
  return tables;
}

const std::array<std::string, 2>& KiBoolStrings() {
  return bool_strings;
}

void StartKiStrings() {
  if (!tables_built) {
    for (unsigned c = 0; c < 256; ++c) {
      tables.Types[c] = Latin1Type(c);
      uint8_t lower = static_cast<uint8_t>(c);
      uint8_t upper = static_cast<uint8_t>(c);
      // Latin-1's case pairs lie 32 codes apart: A..Z and 0xC0..0xDE
      // (without the multiplication sign 0xD7); 0xDF and 0xFF have no
      // upper case of one byte.
      if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        lower = static_cast<uint8_t>(c + 32);
      if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        upper = static_cast<uint8_t>(c - 32);
      tables.Lower[c] = lower;
      tables.Upper[c] = upper;
      tables.ReverseCase[c] = lower != c ? lower : upper;
    }
    tables_built = true;
  }
  bool_strings = {"False", "True"};
}

void StopKiStrings() {
  bool_strings = {};
}
