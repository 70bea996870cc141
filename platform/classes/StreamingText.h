// The text format of stored descriptions (see platform/classes/Streaming.h):
// its tokens, the syntax tree the parser builds from them, and what the
// reader and the writer share about identifiers and messages. Internal to the
// streaming files: users include platform/classes/Streaming.h.
//
// The whole text is lexed and parsed before anything is built, so a
// description with a syntax error creates no component.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/Streaming.h"

namespace kestrune::detail {

// Lists and objects nest at most this deep: a hostile text cannot exhaust
// the stack. The depth of objects runs on across the reads a read starts
// (a component whose construction reads its own description).
inline constexpr int kMaxNesting = 100;

// An identifier, dotted or not, that reads back as one: not a float
// spelling and not a keyword of the format.
bool IsWritableIdent(std::string_view s, bool allowDots);
// True, False and nil, in any case, read as keywords wherever a value
// stands: a name spelt so cannot be written there as it is.
bool ReadsAsKeyword(std::string_view name);

// Input text as a message shows it: cut after 60 bytes at most, on a
// character boundary ("..." marks the cut); control characters and
// bytes that are not UTF-8 appear as \xHH, so a message is always valid
// UTF-8 and never carries raw input bytes.
std::string Shown(std::string_view text);

// Raises EDescriptionError naming `line` and `text` (shown as Shown does).
[[noreturn]] void Fail(const std::string& message, int line, std::string_view text);

// ---------------------------------------------------------------------------
// Tokens

enum class TokKind { Ident, Integer, Float, String, Symbol, End };

struct Token {
  TokKind kind;
  int line;
  size_t begin;  // offsets of the token's text in the source
  size_t end;
  std::string text;  // identifier, decoded string, or the symbol
  int64_t integer = 0;
  double real = 0;

  bool Is(char symbol) const {
    return kind == TokKind::Symbol && text.size() == 1 && text[0] == symbol;
  }
  bool IsKeyword(std::string_view word) const { return kind == TokKind::Ident && text == word; }
};

// ---------------------------------------------------------------------------
// Syntax tree

struct ItemNode;

struct PropNode {
  size_t nameToken = 0;
  // A plain value: its tokens [valueBegin, valueEnd). A collection: the
  // position of "<" in valueBegin and the items.
  size_t valueBegin = 0;
  size_t valueEnd = 0;
  bool isCollection = false;
  std::vector<ItemNode> items;
};

struct ItemNode {
  size_t itemToken = 0;
  std::vector<PropNode> props;
};

struct ObjectNode {
  size_t nameToken = 0;
  size_t classToken = 0;
  std::vector<PropNode> props;
  std::vector<ObjectNode> children;
};

// A description lexed and parsed: its tokens and its root object.
struct ParsedDescription {
  std::vector<Token> tokens;
  ObjectNode root;
};

// Lexes and parses `text`; raises EDescriptionError at the first fault.
ParsedDescription ParseDescriptionText(std::string_view text);

}  // namespace kestrune::detail
