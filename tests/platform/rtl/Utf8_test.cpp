// UTF-8 to UTF-16, well-formed and bad input.
#include "platform/rtl/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Code units written out from the Unicode tables: U+00E9 is C3 A9, U+20AC is
// E2 82 AC, U+1F600 is F0 9F 98 80 and the pair D83D DE00.
TEST(Utf8ToUtf16, WellFormedAndBadInput) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"empty", "", u""},
      {"ascii", "Kestrune 1", u"Kestrune 1"},
      {"two_bytes",
       "d\xC3\xA9"
       "cal\xC3\xA9",
       u"d\u00E9cal\u00E9"},
      {"three_bytes", "5 \xE2\x82\xAC", u"5 \u20AC"},
      {"four_bytes_make_a_pair", "\xF0\x9F\x98\x80!", u"\xD83D\xDE00!"},
      {"stray_continuation_byte",
       "a\x80"
       "b",
       u"a\uFFFDb"},
      {"overlong_form_byte_by_byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"surrogate_encoded", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"cut_at_the_end", "ab\xE2\x82", u"ab\uFFFD\uFFFD"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
}

}  // namespace
