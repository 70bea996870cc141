#include "platform/rtl/Utf8.h"

#include <cstdint>

namespace {

// The well-formed UTF-8 sequences, by their first byte: the length and the
// range of the second byte (the others are all 0x80..0xBF). This leaves out
// overlong forms, surrogates and values beyond U+10FFFF.
struct Utf8Lead {
  unsigned first;
  unsigned last;
  size_t length;
  unsigned low;
  unsigned high;
};
constexpr Utf8Lead kUtf8Leads[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

}  // namespace

size_t Utf8CharLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) {
    return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0u;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80)
    return 1;
  for (const Utf8Lead& form : kUtf8Leads) {
    if (lead < form.first || lead > form.last)
      continue;
    if (byte(1) < form.low || byte(1) > form.high)
      return 0;
    for (size_t k = 2; k < form.length; ++k) {
      if (byte(k) < 0x80 || byte(k) > 0xBF)
        return 0;
    }
    return form.length;
  }
  return 0;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t length = Utf8CharLength(utf8, i);
    if (length == 0) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    // The lead byte keeps 7, 5, 4 or 3 bits of the code point, each
    // continuation byte 6.
    static constexpr unsigned kLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t code = static_cast<unsigned char>(utf8[i]) & kLeadMask[length];
    for (size_t k = 1; k < length; ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
    i += length;
  }
  return out;
}
