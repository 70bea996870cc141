// The text format of stored descriptions: the parser's limit on nesting, and
// how error messages show the offending text.
#include "platform/classes/Streaming.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/classes/StreamingFixtures.h"

namespace {

using namespace streamingtest;

class StreamingText : public StreamingFixture {};

TEST_F(StreamingText, RejectsHostileNesting) {
  std::string deep = "object F: TSampleForm\n  object A: TSample\n    Extra = ";
  deep += std::string(5000, '(') + std::string(5000, ')') + "\n  end\nend\n";
  try {
    CreateComponentFromText(deep, nullptr);
    ADD_FAILURE() << "no error";
  } catch (const EDescriptionError& e) {
    EXPECT_EQ(e.Line(), 3);
    EXPECT_NE(e.Message().find("Imbrication trop profonde"), std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// How messages show the offending text: at most 60 bytes, cut between
// characters with "..." after the cut; control characters and bytes that are
// not UTF-8 as \xHH; the unknown root class like every other.

struct ShownTextRow {
  const char* name;
  std::string text;   // the description
  std::string shown;  // the offending text as the error shows it
};

std::string InCount(const std::string& value) {
  return "object F: TSampleForm\n  object A: TSample\n    Count = " + value + "\n  end\nend\n";
}

const ShownTextRow kShownTexts[] = {
    {"two-byte character across the cut is left out",
     InCount("\"" + std::string(58, 'a') + "\xC3\xA9" + std::string(10, 'b') + "\""),
     "\"" + std::string(58, 'a') + "..."},
    {"three-byte character ending at the cut is kept",
     InCount("\"" + std::string(56, 'a') + "\xE2\x82\xAC" + std::string(5, 'b') + "\""),
     "\"" + std::string(56, 'a') + "\xE2\x82\xAC..."},
    {"four-byte character across the cut is left out",
     InCount("\"" + std::string(57, 'a') + "\xF0\x9F\x8E\xB5" + std::string(5, 'b') + "\""),
     "\"" + std::string(57, 'a') + "..."},
    {"sixty bytes are not cut", InCount("\"" + std::string(58, 'a') + "\""),
     "\"" + std::string(58, 'a') + "\""},
    {"valid UTF-8 is shown as it is", InCount("\"d\xC3\xA9j\xC3\xA0\""), "\"d\xC3\xA9j\xC3\xA0\""},
    {"bytes that are not UTF-8 are escaped",
     InCount("\"\xFF\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82\""),
     "\"\\xFF\\x80\\xC0\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80\\xE2\\x82\""},
    {"escaped bytes count as one byte each at the cut",
     InCount("\"" + std::string(56, 'a') + "\xFF\xFF\xFF" + "b\""),
     "\"" + std::string(56, 'a') + "\\xFF\\xFF\\xFF..."},
    {"stray character outside a string, whole", InCount("\xC3\xA9"), "\xC3\xA9"},
    {"stray byte outside a string", InCount("\xFF"), "\\xFF"},
    {"control character in a string", InCount("\"a\x01\""), "\\x01"},
    {"unknown root class", "object F: T" + std::string(100, 'x') + "\nend\n",
     "T" + std::string(59, 'x') + "..."},
    {"unknown child class",
     "object F: TSampleForm\n  object A: T" + std::string(100, 'x') + "\n  end\nend\n",
     "T" + std::string(59, 'x') + "..."},
};

TEST_F(StreamingText, MessagesShowOffendingTextCutOnCharactersAndEscaped) {
  for (const ShownTextRow& row : kShownTexts) {
    SCOPED_TRACE(row.name);
    try {
      CreateComponentFromText(row.text, nullptr);
      ADD_FAILURE() << "no error";
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Text(), row.shown);
      EXPECT_NE(e.Message().find("« " + row.shown + " »)"), std::string::npos) << e.Message();
      // Names in the message are cut the same way: no more than the cut
      // text of any input run.
      EXPECT_EQ(e.Message().find(std::string(61, 'x')), std::string::npos) << e.Message();
    }
    EXPECT_EQ(g_live_samples, samples_before_);
    EXPECT_EQ(g_live_forms, forms_before_);
  }
}

}  // namespace
