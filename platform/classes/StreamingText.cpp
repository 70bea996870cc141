// The text format: the lexer and the parser of stored descriptions, and the
// identifier and message helpers the reader and the writer share.
#include "platform/classes/StreamingText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Utf8.h"

EDescriptionError::EDescriptionError(const std::string& message, int line, std::string text)
    : EReadError(message + " (ligne " + std::to_string(line) + " : « " + text + " »)"),
      line_(line),
      text_(std::move(text)) {}

namespace kestrune::detail {
namespace {

// Offending texts longer than this are cut in messages.
constexpr size_t kMaxQuotedText = 60;

bool IsIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

// An identifier, dotted or not, that reads back as one: not a float
// spelling and not a keyword of the format.
bool IsWritableIdent(std::string_view s, bool allowDots) {
  if (s == "INF" || s == "NAN" || s == "object" || s == "end" || s == "item")
    return false;
  size_t i = 0;
  for (;;) {
    if (i >= s.size() || !IsIdentStart(s[i]))
      return false;
    ++i;
    while (i < s.size() && IsIdentChar(s[i]))
      ++i;
    if (i == s.size())
      return true;
    if (s[i] != '.' || !allowDots)
      return false;
    ++i;
  }
}

// True, False and nil, in any case, read as keywords wherever a value
// stands: a name spelt so cannot be written there as it is.
bool ReadsAsKeyword(std::string_view name) {
  return SameText(name, "True") || SameText(name, "False") || SameText(name, "nil");
}

// Input text as a message shows it: cut after kMaxQuotedText bytes at most,
// on a character boundary ("..." marks the cut); control characters and
// bytes that are not UTF-8 appear as \xHH, so a message is always valid
// UTF-8 and never carries raw input bytes.
std::string Shown(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t wellFormed = Utf8CharLength(text, i);
    const size_t length = std::max<size_t>(wellFormed, 1);  // a stray byte counts alone
    if (text.size() > kMaxQuotedText && i + length > kMaxQuotedText)
      return out + "...";
    const auto u = static_cast<unsigned char>(text[i]);
    if (wellFormed == 0 || u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof(buf), "\\x%02X", u);
      out += buf;
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

[[noreturn]] void Fail(const std::string& message, int line, std::string_view text) {
  throw EDescriptionError(message, line, Shown(text));
}

namespace {

// ---------------------------------------------------------------------------
// Lexer

class Lexer {
 public:
  explicit Lexer(std::string_view src) : src_(src) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    for (;;) {
      SkipSpace();
      if (i_ >= src_.size()) {
        // An early end is reported on the last line that holds anything.
        int line = tokens.empty() ? 1 : tokens.back().line;
        tokens.push_back(Token{TokKind::End, line, i_, i_, "", 0, 0});
        return tokens;
      }
      tokens.push_back(Next());
    }
  }

 private:
  void SkipSpace() {
    while (i_ < src_.size()) {
      char c = src_[i_];
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++i_;
    }
  }

  char At(size_t k) const { return k < src_.size() ? src_[k] : '\0'; }

  Token Next() {
    char c = src_[i_];
    if (IsIdentStart(c))
      return Ident();
    if (IsDigit(c) || (c == '-' && (IsDigit(At(i_ + 1)) || src_.substr(i_ + 1, 3) == "INF")))
      return Number();
    if (c == '"')
      return String();
    if (std::string_view("=:,()[]<>").find(c) != std::string_view::npos) {
      Token t{TokKind::Symbol, line_, i_, i_ + 1, std::string(1, c), 0, 0};
      ++i_;
      return t;
    }
    // The whole character when it is one, else the byte.
    Fail("Caractère incorrect", line_,
         src_.substr(i_, std::max<size_t>(Utf8CharLength(src_, i_), 1)));
  }

  Token Ident() {
    size_t start = i_;
    for (;;) {
      while (i_ < src_.size() && IsIdentChar(src_[i_]))
        ++i_;
      if (At(i_) == '.' && IsIdentStart(At(i_ + 1))) {
        ++i_;
        continue;
      }
      break;
    }
    Token t{TokKind::Ident, line_, start, i_, std::string(src_.substr(start, i_ - start)), 0, 0};
    if (t.text == "INF" || t.text == "NAN") {
      t.kind = TokKind::Float;
      t.real = t.text == "INF" ? HUGE_VAL : std::nan("");
    }
    return t;
  }

  Token Number() {
    size_t start = i_;
    bool negative = src_[i_] == '-';
    if (negative)
      ++i_;
    Token t{TokKind::Integer, line_, start, i_, "", 0, 0};
    if (src_.substr(i_, 3) == "INF") {
      i_ += 3;
      t.kind = TokKind::Float;
      t.real = -HUGE_VAL;
    } else {
      while (IsDigit(At(i_)))
        ++i_;
      if (At(i_) == '.' && IsDigit(At(i_ + 1))) {
        t.kind = TokKind::Float;
        ++i_;
        while (IsDigit(At(i_)))
          ++i_;
      }
      if (At(i_) == 'e' || At(i_) == 'E') {
        size_t j = i_ + 1;
        if (At(j) == '+' || At(j) == '-')
          ++j;
        if (IsDigit(At(j))) {
          t.kind = TokKind::Float;
          i_ = j;
          while (IsDigit(At(i_)))
            ++i_;
        }
      }
    }
    // A number runs straight into a name: "12abc", "1.5.2".
    if (IsIdentChar(At(i_)) || At(i_) == '.') {
      while (IsIdentChar(At(i_)) || At(i_) == '.')
        ++i_;
      Fail("Nombre incorrect", line_, src_.substr(start, i_ - start));
    }
    t.end = i_;
    std::string text(src_.substr(start, i_ - start));
    if (t.kind == TokKind::Integer) {
      auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), t.integer);
      if (ec != std::errc() || ptr != text.data() + text.size())
        Fail("Nombre incorrect", line_, text);
    } else if (!std::isinf(t.real)) {
      t.real = std::strtod(text.c_str(), nullptr);
      if (std::isinf(t.real))
        Fail("Nombre incorrect", line_, text);
    }
    return t;
  }

  Token String() {
    size_t start = i_;
    int line = line_;
    ++i_;
    std::string out;
    for (;;) {
      if (i_ >= src_.size() || src_[i_] == '\n') {
        size_t stop = std::min(src_.find('\n', start), src_.size());
        Fail("Chaîne non terminée", line, src_.substr(start, stop - start));
      }
      char c = src_[i_];
      if (c == '"') {
        ++i_;
        break;
      }
      if (c == '\\') {
        char e = At(i_ + 1);
        switch (e) {
          case '"':
          case '\\':
            out += e;
            i_ += 2;
            continue;
          case 'n':
            out += '\n';
            i_ += 2;
            continue;
          case 'r':
            out += '\r';
            i_ += 2;
            continue;
          case 't':
            out += '\t';
            i_ += 2;
            continue;
          case 'x': {
            int value = 0;
            bool ok = true;
            for (size_t k = i_ + 2; k < i_ + 4; ++k) {
              char h = At(k);
              int digit = IsDigit(h)               ? h - '0'
                          : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                          : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                   : -1;
              if (digit < 0)
                ok = false;
              value = value * 16 + digit;
            }
            if (ok) {
              out += static_cast<char>(value);
              i_ += 4;
              continue;
            }
            break;
          }
          default:
            break;
        }
        Fail("Séquence d'échappement incorrecte", line_,
             src_.substr(i_, std::min<size_t>(2, src_.size() - i_)));
      }
      auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F)
        Fail("Caractère incorrect dans une chaîne", line_, src_.substr(i_, 1));
      out += c;
      ++i_;
    }
    return Token{TokKind::String, line, start, i_, std::move(out), 0, 0};
  }

  std::string_view src_;
  size_t i_ = 0;
  int line_ = 1;
};

// ---------------------------------------------------------------------------
// Parser: the whole text is checked before anything is built.

class Parser {
 public:
  Parser(std::string_view src, const std::vector<Token>& tokens) : src_(src), tokens_(tokens) {}

  ObjectNode ParseDescription() {
    ObjectNode root = ParseObject(0);
    if (Peek().kind != TokKind::End)
      FailAt(Peek(), "Texte inattendu après la fin de la description");
    return root;
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }

  [[noreturn]] void FailAt(const Token& t, const std::string& message) const {
    if (t.kind == TokKind::End)
      Fail("Fin de description inattendue : " + message, t.line, "");
    Fail(message, t.line, src_.substr(t.begin, t.end - t.begin));
  }

  void Expect(char symbol) {
    if (!Peek().Is(symbol))
      FailAt(Peek(), std::string("« ") + symbol + " » attendu");
    ++pos_;
  }

  size_t ExpectPlainIdent(const char* what) {
    const Token& t = Peek();
    if (t.kind != TokKind::Ident || t.text.find('.') != std::string::npos || IsKeyword(t))
      FailAt(t, what);
    return pos_++;
  }

  static bool IsKeyword(const Token& t) {
    return t.IsKeyword("object") || t.IsKeyword("end") || t.IsKeyword("item");
  }

  ObjectNode ParseObject(int depth) {
    if (depth > kMaxNesting)
      FailAt(Peek(), "Imbrication trop profonde");
    if (!Peek().IsKeyword("object"))
      FailAt(Peek(), "« object » attendu");
    ++pos_;
    ObjectNode node;
    node.nameToken = ExpectPlainIdent("Nom de composant attendu");
    Expect(':');
    node.classToken = ExpectPlainIdent("Nom de classe attendu");
    for (;;) {
      const Token& t = Peek();
      if (t.IsKeyword("end")) {
        ++pos_;
        return node;
      }
      if (t.IsKeyword("object")) {
        node.children.push_back(ParseObject(depth + 1));
      } else {
        node.props.push_back(ParseProperty(depth));
      }
    }
  }

  PropNode ParseProperty(int depth) {
    const Token& t = Peek();
    if (t.kind != TokKind::Ident || IsKeyword(t))
      FailAt(t, "Nom de propriété ou « end » attendu");
    PropNode prop;
    prop.nameToken = pos_++;
    Expect('=');
    prop.valueBegin = pos_;
    if (Peek().Is('<')) {
      prop.isCollection = true;
      ++pos_;
      for (;;) {
        if (Peek().Is('>')) {
          ++pos_;
          break;
        }
        if (!Peek().IsKeyword("item"))
          FailAt(Peek(), "« item » ou « > » attendu");
        if (depth + 1 > kMaxNesting)
          FailAt(Peek(), "Imbrication trop profonde");
        ItemNode item;
        item.itemToken = pos_++;
        while (!Peek().IsKeyword("end"))
          item.props.push_back(ParseProperty(depth + 1));
        ++pos_;
        prop.items.push_back(std::move(item));
      }
    } else {
      ParseValue(depth);
    }
    prop.valueEnd = pos_;
    return prop;
  }

  void ParseValue(int depth) {
    const Token& t = Peek();
    if (depth > kMaxNesting)
      FailAt(t, "Imbrication trop profonde");
    switch (t.kind) {
      case TokKind::Integer:
      case TokKind::Float:
      case TokKind::String:
        ++pos_;
        return;
      case TokKind::Ident:
        if (IsKeyword(t))
          FailAt(t, "Valeur attendue");
        ++pos_;
        return;
      default:
        break;
    }
    if (t.Is('[')) {
      ++pos_;
      if (Peek().Is(']')) {
        ++pos_;
        return;
      }
      for (;;) {
        ExpectPlainIdent("Nom d'élément attendu");
        if (Peek().Is(']')) {
          ++pos_;
          return;
        }
        if (!Peek().Is(','))
          FailAt(Peek(), "« , » ou « ] » attendu");
        ++pos_;
      }
    }
    if (t.Is('(')) {
      ++pos_;
      if (Peek().Is(')')) {
        ++pos_;
        return;
      }
      for (;;) {
        ParseValue(depth + 1);
        if (Peek().Is(')')) {
          ++pos_;
          return;
        }
        if (!Peek().Is(','))
          FailAt(Peek(), "« , » ou « ) » attendu");
        ++pos_;
      }
    }
    FailAt(t, "Valeur attendue");
  }

  std::string_view src_;
  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
};

}  // namespace

ParsedDescription ParseDescriptionText(std::string_view text) {
  ParsedDescription d;
  d.tokens = Lexer(text).Run();
  d.root = Parser(text, d.tokens).ParseDescription();
  return d;
}

}  // namespace kestrune::detail
