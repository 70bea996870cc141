#include "platform/classes/Streaming.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/classes/TypInfo.h"

EDescriptionError::EDescriptionError(const std::string& message, int line, std::string text)
    : EReadError(message + " (ligne " + std::to_string(line) + " : « " + text + " »)"),
      line_(line),
      text_(std::move(text)) {}

namespace kestrune::detail {
namespace {

// Lists and objects nest at most this deep: a hostile text cannot exhaust
// the stack.
constexpr int kMaxNesting = 100;
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

// The length of the well-formed UTF-8 character at text[at], or 0 when the
// byte there starts none (a stray continuation byte, an overlong form, a
// surrogate, a value beyond U+10FFFF, a cut sequence).
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
// Syntax tree: the whole text is checked before anything is built.

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

// ---------------------------------------------------------------------------
// Building the components: the reader engine behind TReader.

class DescriptionReader {
 public:
  DescriptionReader(std::string_view src, std::vector<Token> tokens, TComponent* root)
      : src_(src), tokens_(std::move(tokens)), root_(root), reader_(this, root) {}

  // Reads `node` into root_ (see ReadComponentFromText). `rootCreated`: the
  // caller made the root for this read, so its class is known to fit.
  void Read(const ObjectNode& node, bool rootCreated) {
    const Token& rootName = tokens_[node.nameToken];
    stored_root_name_ = rootName.text;
    root_->SetLoadingState(true);
    root_->SetReadingState(true);
    try {
      if (!rootCreated)
        CheckRootClass(node);
      if (root_->Name().empty()) {
        Guarded(rootName, Lexeme(rootName), [&] { root_->SetName(rootName.text); });
      }
      ReadBody(root_, node, 0);
      ResolveFixups();
      for (TComponent* c : created_)
        c->SetReadingState(false);
      root_->SetReadingState(false);
      for (TComponent* c : created_)
        c->Loaded();
      root_->Loaded();
    } catch (...) {
      for (auto it = created_.rbegin(); it != created_.rend(); ++it)
        (*it)->Free();
      created_.clear();
      root_->SetReadingState(false);
      root_->SetLoadingState(false);
      throw;
    }
  }

  // --- The value cursor of TReader.

  TValueKind NextValue() const {
    if (pos_ >= limit_)
      return TValueKind::None;
    const Token& t = tokens_[pos_];
    switch (t.kind) {
      case TokKind::Integer:
        return TValueKind::Integer;
      case TokKind::Float:
        return TValueKind::Float;
      case TokKind::String:
        return TValueKind::String;
      case TokKind::Ident:
        if (SameText(t.text, "True"))
          return TValueKind::True;
        if (SameText(t.text, "False"))
          return TValueKind::False;
        if (SameText(t.text, "nil"))
          return TValueKind::Nil;
        return TValueKind::Ident;
      default:
        break;
    }
    if (t.Is('('))
      return TValueKind::List;
    if (t.Is('['))
      return TValueKind::Set;
    if (t.Is('<'))
      return TValueKind::Collection;
    return TValueKind::None;
  }

  std::string ReadIdent() {
    TValueKind k = NextValue();
    if (k != TValueKind::Ident && k != TValueKind::True && k != TValueKind::False &&
        k != TValueKind::Nil)
      BadValue();
    return TakeScalar().text;
  }
  std::string ReadString() {
    Require(TValueKind::String);
    return TakeScalar().text;
  }
  bool ReadBoolean() {
    TValueKind k = NextValue();
    if (k != TValueKind::True && k != TValueKind::False)
      BadValue();
    TakeScalar();
    return k == TValueKind::True;
  }
  int64_t ReadInteger() {
    Require(TValueKind::Integer);
    return TakeScalar().integer;
  }
  double ReadFloat() {
    TValueKind k = NextValue();
    if (k == TValueKind::Integer)
      return static_cast<double>(TakeScalar().integer);
    Require(TValueKind::Float);
    return TakeScalar().real;
  }
  void ReadListBegin() {
    Require(TValueKind::List);
    ++pos_;
  }
  void ReadListEnd() {
    if (pos_ >= limit_ || !tokens_[pos_].Is(')'))
      BadValue();
    ++pos_;
    AfterValue();
  }
  bool EndOfList() const { return pos_ >= limit_ || tokens_[pos_].Is(')'); }
  void SkipValue() {
    TValueKind k = NextValue();
    if (k == TValueKind::None || k == TValueKind::Collection)
      BadValue();
    if (k == TValueKind::List || k == TValueKind::Set) {
      // The syntax was checked: brackets are balanced within the value.
      int depth = 0;
      do {
        const Token& t = tokens_[pos_++];
        if (t.Is('(') || t.Is('['))
          ++depth;
        if (t.Is(')') || t.Is(']'))
          --depth;
      } while (depth > 0);
      AfterValue();
    } else {
      TakeScalar();
    }
  }
  [[noreturn]] void ErrorHere(const std::string& message) const {
    size_t at = pos_ < limit_ ? pos_ : (limit_ > 0 ? limit_ - 1 : 0);
    const Token& t = tokens_[std::min(at, tokens_.size() - 1)];
    Fail(message, t.line, Lexeme(t));
  }

  void DefineProperty(const std::string& name, const TMethod<void(TReader*)>& readData) {
    if (looking_for_ != nullptr && !found_ && readData.Assigned() &&
        SameText(name, *looking_for_)) {
      found_ = true;
      handler_ = readData;
    }
  }

 private:
  struct Fixup {
    TObject* instance;
    const TPropInfo* prop;
    size_t valueToken;
  };

  std::string_view Lexeme(const Token& t) const { return src_.substr(t.begin, t.end - t.begin); }

  std::string_view ValueText(const PropNode& p) const {
    const Token& first = tokens_[p.valueBegin];
    const Token& last = tokens_[p.valueEnd > p.valueBegin ? p.valueEnd - 1 : p.valueBegin];
    return src_.substr(first.begin, last.end - first.begin);
  }

  [[noreturn]] void BadValue() const { ErrorHere("Valeur de propriété incorrecte"); }
  [[noreturn]] void BadValue(const PropNode& p) const {
    Fail("Valeur de propriété incorrecte", tokens_[p.valueBegin].line, ValueText(p));
  }

  void Require(TValueKind kind) const {
    if (NextValue() != kind)
      BadValue();
  }
  const Token& TakeScalar() {
    const Token& t = tokens_[pos_++];
    AfterValue();
    return t;
  }
  // A value inside a list is followed by "," or ")".
  void AfterValue() {
    if (pos_ < limit_ && tokens_[pos_].Is(','))
      ++pos_;
  }

  // Runs `f`; an exception of the runtime raised by it is raised again as an
  // EDescriptionError at `where`.
  template <class F>
  auto Guarded(const Token& where, std::string_view text, F&& f) -> decltype(f()) {
    try {
      return f();
    } catch (const EDescriptionError&) {
      throw;
    } catch (const Exception& e) {
      Fail(e.Message(), where.line, text);
    }
  }

  void CheckRootClass(const ObjectNode& node) {
    const Token& cls = tokens_[node.classToken];
    for (TClass c = root_->ClassType(); c != nullptr; c = c->Parent) {
      if (SameText(c->Name, cls.text))
        return;
    }
    Fail("La description de " + Shown(cls.text) + " ne convient pas à " + root_->ClassName(),
         cls.line, cls.text);
  }

  void ReadBody(TComponent* component, const ObjectNode& node, int depth) {
    for (const PropNode& p : node.props)
      ReadProperty(component, p);
    for (const ObjectNode& child : node.children)
      CreateChild(child, component, depth + 1);
  }

  void CreateChild(const ObjectNode& node, TComponent* enclosing, int depth) {
    const Token& cls = tokens_[node.classToken];
    TClass c = FindClassByName(cls.text);
    TPersistentCreator creator = c != nullptr ? FindCreator(c) : nullptr;
    if (creator == nullptr || !c->InheritsFrom(TComponent::StaticClass()))
      Fail("Classe " + Shown(cls.text) + " non trouvée", cls.line, cls.text);
    TPersistent* made = Guarded(cls, cls.text, [&] { return creator(root_); });
    auto* component = static_cast<TComponent*>(made);
    created_.push_back(component);
    component->SetLoadingState(true);
    component->SetReadingState(true);
    const Token& name = tokens_[node.nameToken];
    Guarded(name, name.text, [&] { component->SetName(name.text); });
    if (enclosing != root_) {
      Guarded(name, name.text, [&] { component->SetParentComponent(enclosing); });
    }
    ReadBody(component, node, depth);
  }

  void ReadProperty(TObject* object, const PropNode& p) {
    const Token& nameTok = tokens_[p.nameToken];
    const std::string& path = nameTok.text;
    auto unknown = [&] { Fail("Propriété " + Shown(path) + " inexistante", nameTok.line, path); };
    // Walk the published sub-objects of a dotted name.
    TObject* target = object;
    size_t start = 0;
    for (size_t dot = path.find('.'); dot != std::string::npos; dot = path.find('.', start)) {
      const TPropInfo* info = GetPropInfo(target->ClassType(), path.substr(start, dot - start));
      if (info == nullptr || info->Kind() != TPropKind::Object)
        unknown();
      target = Guarded(nameTok, path, [&] { return GetObjectProp(target, info); });
      if (target == nullptr)
        unknown();
      start = dot + 1;
    }
    const std::string name = path.substr(start);
    if (const TPropInfo* info = GetPropInfo(target->ClassType(), name)) {
      ReadPublished(target, info, p);
      return;
    }
    auto* persistent = dynamic_cast<TPersistent*>(target);
    if (persistent == nullptr)
      unknown();
    looking_for_ = &name;
    found_ = false;
    handler_ = nullptr;
    try {
      Guarded(nameTok, path, [&] { persistent->DefineProperties(&reader_); });
    } catch (...) {
      looking_for_ = nullptr;
      throw;
    }
    looking_for_ = nullptr;
    if (!found_)
      unknown();
    if (p.isCollection)
      BadValue(p);
    SetRange(p);
    TMethod<void(TReader*)> handler = handler_;
    Guarded(tokens_[p.valueBegin], ValueText(p), [&] { handler(&reader_); });
    // The handler must take the whole value, no more and no less.
    if (pos_ != limit_)
      BadValue();
  }

  void SetRange(const PropNode& p) {
    pos_ = p.valueBegin;
    limit_ = p.valueEnd;
  }

  void ReadPublished(TObject* target, const TPropInfo* info, const PropNode& p) {
    if (info->Kind() == TPropKind::Collection) {
      if (!p.isCollection)
        BadValue(p);
      ReadCollection(target, info, p);
      return;
    }
    if (p.isCollection)
      BadValue(p);
    SetRange(p);
    TPropValue value;
    TValueKind kind = NextValue();
    switch (info->Kind()) {
      case TPropKind::Integer:
        if (kind == TValueKind::Ident && info->IdentMap() != nullptr) {
          std::optional<int64_t> named = info->IdentMap()->ValueOf(ReadIdent());
          if (!named)
            BadValue(p);
          value = *named;
          break;
        }
        if (kind != TValueKind::Integer)
          BadValue(p);
        value = ReadInteger();
        break;
      case TPropKind::Single:
      case TPropKind::Double:
        if (kind != TValueKind::Integer && kind != TValueKind::Float)
          BadValue(p);
        value = ReadFloat();
        break;
      case TPropKind::String:
        if (kind != TValueKind::String)
          BadValue(p);
        value = ReadString();
        break;
      case TPropKind::Boolean:
        if (kind != TValueKind::True && kind != TValueKind::False)
          BadValue(p);
        value = ReadBoolean();
        break;
      case TPropKind::Enumeration: {
        if (kind != TValueKind::Ident)
          BadValue(p);
        int index = info->IndexOfName(ReadIdent());
        if (index < 0)
          BadValue(p);
        value = int64_t{index};
        break;
      }
      case TPropKind::Set: {
        if (kind != TValueKind::Set)
          BadValue(p);
        int64_t bits = 0;
        ++pos_;  // "["
        while (!tokens_[pos_].Is(']')) {
          int index = info->IndexOfName(tokens_[pos_].text);
          if (index < 0)
            BadValue(p);
          bits |= int64_t{1} << index;
          ++pos_;
          AfterValue();
        }
        ++pos_;
        value = bits;
        break;
      }
      case TPropKind::Component:
      case TPropKind::Event:
        // Names are resolved once the whole description is read; nil clears
        // at once.
        if (kind == TValueKind::Ident) {
          fixups_.push_back(Fixup{target, info, pos_});
          ++pos_;
          return;
        }
        if (kind != TValueKind::Nil)
          BadValue(p);
        ++pos_;
        break;
      case TPropKind::Object:
      case TPropKind::Collection:
        BadValue(p);
    }
    Guarded(tokens_[p.valueBegin], ValueText(p), [&] { info->SetValue(target, value); });
  }

  void ReadCollection(TObject* target, const TPropInfo* info, const PropNode& p) {
    const Token& at = tokens_[p.valueBegin];
    auto* collection =
        dynamic_cast<TCollection*>(Guarded(at, "<", [&] { return GetObjectProp(target, info); }));
    if (collection == nullptr)
      BadValue(p);
    // A second read would free the items the first one left fix-ups on.
    if (!read_collections_.insert(collection).second) {
      const Token& name = tokens_[p.nameToken];
      Fail("Propriété " + Shown(name.text) + " lue deux fois", name.line, name.text);
    }
    collection->BeginUpdate();
    try {
      Guarded(at, "<", [&] { collection->Clear(); });
      for (const ItemNode& node : p.items) {
        const Token& itemTok = tokens_[node.itemToken];
        TCollectionItem* item = Guarded(itemTok, "item", [&] { return collection->Add(); });
        for (const PropNode& prop : node.props)
          ReadProperty(item, prop);
      }
    } catch (...) {
      collection->EndUpdate();
      throw;
    }
    Guarded(at, "<", [&] { collection->EndUpdate(); });
  }

  // "Name" among the root's components (or the root itself); "Owner.Name"
  // below one of the root's components or below another root of the root's
  // owner.
  TComponent* FindReference(const std::string& name) const {
    auto isRootName = [&](std::string_view n) {
      return SameText(n, root_->Name()) || SameText(n, stored_root_name_);
    };
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
      if (TComponent* c = root_->FindComponent(name))
        return c;
      return isRootName(name) ? root_ : nullptr;
    }
    std::string first = name.substr(0, dot);
    std::string rest = name.substr(dot + 1);
    if (rest.find('.') != std::string::npos)
      return nullptr;
    TComponent* holder = isRootName(first) ? root_ : root_->FindComponent(first);
    if (holder == nullptr && root_->Owner() != nullptr)
      holder = root_->Owner()->FindComponent(first);
    return holder != nullptr ? holder->FindComponent(rest) : nullptr;
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      const Token& t = tokens_[f.valueToken];
      if (f.prop->Kind() == TPropKind::Component) {
        TComponent* component = FindReference(t.text);
        if (component == nullptr)
          Fail("Composant " + Shown(t.text) + " non trouvé", t.line, t.text);
        Guarded(t, t.text, [&] { f.prop->SetValue(f.instance, component); });
      } else {
        const TMethodInfo* method = FindPublishedMethod(root_->ClassType(), t.text);
        if (method == nullptr)
          Fail("Méthode " + Shown(t.text) + " non trouvée", t.line, t.text);
        if (method->Signature() != f.prop->EventSignature()) {
          Fail("La méthode " + Shown(t.text) + " ne convient pas à l'événement " + f.prop->Name(),
               t.line, t.text);
        }
        Guarded(t, t.text, [&] { f.prop->BindEvent(f.instance, *method, root_); });
      }
    }
  }

  std::string_view src_;
  std::vector<Token> tokens_;
  TComponent* root_;
  TReader reader_;
  std::string stored_root_name_;
  std::vector<TComponent*> created_;
  std::vector<Fixup> fixups_;
  std::set<TCollection*> read_collections_;
  // The value being read: tokens [pos_, limit_).
  size_t pos_ = 0;
  size_t limit_ = 0;
  // The DefineProperties search in progress.
  const std::string* looking_for_ = nullptr;
  bool found_ = false;
  TMethod<void(TReader*)> handler_;
};

// ---------------------------------------------------------------------------
// Writing: the engine behind TWriter.

namespace {

std::string FloatText(std::string s) {
  // Keep a float a float when it reads back: "3" would be an integer.
  if (s.find_first_of(".eEIN") == std::string::npos)
    s += ".0";
  return s;
}

std::string FormatDouble(double v) {
  return FloatText(FloatToStr(v));
}

// The shortest text that reads back to the same single.
std::string FormatSingle(float v) {
  if (!std::isfinite(v))
    return FloatToStr(v);
  char buf[32];
  for (int precision = 1; precision <= 9; ++precision) {
    std::snprintf(buf, sizeof(buf), "%.*G", precision, static_cast<double>(v));
    if (std::strtof(buf, nullptr) == v)
      break;
  }
  // The exponent without leading zeros, as the double form writes it.
  std::string text = buf;
  size_t e = text.find('E');
  if (e != std::string::npos) {
    size_t digits = e + 2;
    while (digits + 1 < text.size() && text[digits] == '0')
      text.erase(digits, 1);
  }
  return FloatText(text);
}

std::string QuoteString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\x%02X", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

class DescriptionWriter {
 public:
  explicit DescriptionWriter(TComponent* root) : root_(root), writer_(this, root) {}

  std::string Run() {
    WriteComponent(root_, 0);
    // Components whose parent components loop were never reached.
    if (written_ != root_->ComponentCount())
      throw EWriteError("Les composants parents de " + root_->Name() + " forment une boucle");
    return out_;
  }

  // --- The value calls of TWriter.

  void Raw(const std::string& text) {
    BeginValue();
    out_ += text;
  }
  void ListBegin() {
    BeginValue();
    out_ += '(';
    lists_.push_back(0);
  }
  void ListEnd() {
    if (!in_handler_ || lists_.empty())
      throw EWriteError("Fin de liste sans début de liste");
    lists_.pop_back();
    out_ += ')';
  }

  void DefineProperty(const std::string& name, const TMethod<void(TWriter*)>& writeData,
                      bool hasData) {
    if (!hasData || !writeData.Assigned() || in_handler_)
      return;
    const std::string full = prefix_ + name;
    out_ += std::string(static_cast<size_t>(indent_), ' ') + full + " = ";
    in_handler_ = true;
    value_written_ = false;
    lists_.clear();
    try {
      writeData(&writer_);
    } catch (...) {
      in_handler_ = false;
      throw;
    }
    in_handler_ = false;
    if (!value_written_ || !lists_.empty())
      throw EWriteError("La propriété " + full + " n'a pas reçu exactement une valeur");
    out_ += '\n';
  }

 private:
  void BeginValue() {
    if (!in_handler_)
      throw EWriteError("Valeur écrite hors d'une propriété");
    if (lists_.empty()) {
      if (value_written_)
        throw EWriteError("Plus d'une valeur pour une propriété");
      value_written_ = true;
    } else if (lists_.back()++ > 0) {
      out_ += ", ";
    }
  }

  void Line(int indent, const std::string& text) {
    out_ += std::string(static_cast<size_t>(indent), ' ') + text + '\n';
  }

  // The block that encloses `c` in the text: its parent component when that
  // is another of the root's components, otherwise the root.
  TComponent* EnclosingOf(TComponent* c) const {
    TComponent* parent = c->GetParentComponent();
    if (parent != nullptr && parent != root_ && parent->Owner() == root_)
      return parent;
    return root_;
  }

  void WriteComponent(TComponent* component, int indent) {
    if (!IsWritableIdent(component->Name(), false))
      throw EWriteError("Nom de composant incorrect pour l'écriture : « " + component->Name() +
                        " » (" + component->ClassName() + ")");
    Line(indent, "object " + component->Name() + ": " + component->ClassName());
    WriteProperties(component, "", indent + 2);
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* child = root_->Components(i);
      if (child != component && EnclosingOf(child) == component) {
        ++written_;
        WriteComponent(child, indent + 2);
      }
    }
    Line(indent, "end");
  }

  // A reference reads back as the component it names. One of the root's
  // components whose name reads as a keyword (True, False, nil) is named
  // through the root ("Form1.nil"), which the reader resolves the same way;
  // the root itself so named cannot be referred to.
  std::string ReferenceName(TComponent* c, const std::string& prop) const {
    TComponent* owner = c->Owner();
    if (c == root_ || owner == root_) {
      if (IsWritableIdent(c->Name(), false)) {
        if (!ReadsAsKeyword(c->Name()))
          return c->Name();
        if (c != root_)
          return root_->Name() + "." + c->Name();
        throw EWriteError("La propriété " + prop + " désigne le composant " + c->Name() +
                          ", dont le nom se lit comme un mot-clé");
      }
    } else if (owner != nullptr && IsWritableIdent(owner->Name(), false) &&
               IsWritableIdent(c->Name(), false)) {
      return owner->Name() + "." + c->Name();
    }
    throw EWriteError("La propriété " + prop + " désigne un composant sans nom");
  }

  std::string ScalarText(const TPropInfo* info, const TPropValue& value,
                         const std::string& prop) const {
    switch (info->Kind()) {
      case TPropKind::Integer: {
        const int64_t i = std::get<int64_t>(value);
        if (const TIdentMap* map = info->IdentMap()) {
          if (const std::string* name = map->NameOf(i))
            return *name;
        }
        return std::to_string(i);
      }
      case TPropKind::Single:
        return FormatSingle(static_cast<float>(std::get<double>(value)));
      case TPropKind::Double:
        return FormatDouble(std::get<double>(value));
      case TPropKind::String:
        return QuoteString(std::get<std::string>(value));
      case TPropKind::Boolean:
        return std::get<bool>(value) ? "True" : "False";
      case TPropKind::Enumeration: {
        int64_t i = std::get<int64_t>(value);
        if (i < 0 || i >= static_cast<int64_t>(info->Names().size()))
          throw EWriteError("Valeur hors limites pour la propriété " + prop);
        const std::string& text = info->Names()[static_cast<size_t>(i)];
        if (ReadsAsKeyword(text))
          throw EWriteError("La valeur " + text + " de la propriété " + prop +
                            " se lit comme un mot-clé");
        return text;
      }
      case TPropKind::Set: {
        auto bits = static_cast<uint64_t>(std::get<int64_t>(value));
        std::string text = "[";
        for (size_t i = 0; i < 64; ++i) {
          if ((bits & (uint64_t{1} << i)) == 0)
            continue;
          if (i >= info->Names().size())
            throw EWriteError("Valeur hors limites pour la propriété " + prop);
          if (text.size() > 1)
            text += ", ";
          text += info->Names()[i];
        }
        return text + "]";
      }
      default:
        return {};
    }
  }

  void WriteProperties(TObject* object, const std::string& prefix, int indent) {
    if (!visiting_.insert(object).second)
      throw EWriteError("Le sous-objet " + prefix + " se contient lui-même");
    for (const TPropInfo* info : GetPropList(object)) {
      const std::string name = prefix + info->Name();
      switch (info->Kind()) {
        case TPropKind::Object:
          if (TPersistent* sub = GetObjectProp(object, info))
            WriteProperties(sub, name + ".", indent);
          break;
        case TPropKind::Collection:
          if (auto* c = dynamic_cast<TCollection*>(GetObjectProp(object, info)))
            WriteCollection(c, name, indent);
          break;
        case TPropKind::Component:
          if (auto* c = dynamic_cast<TComponent*>(GetObjectProp(object, info)))
            Line(indent, name + " = " + ReferenceName(c, name));
          break;
        case TPropKind::Event: {
          std::string method;
          try {
            method = info->EventMethodName(object, root_);
          } catch (const EPropertyError& e) {
            throw EWriteError(e.Message());
          }
          if (ReadsAsKeyword(method))
            throw EWriteError("La méthode " + method + " de l'événement " + name +
                              " se lit comme un mot-clé");
          if (!method.empty())
            Line(indent, name + " = " + method);
          break;
        }
        default:
          if (!info->IsDefault(object))
            Line(indent, name + " = " + ScalarText(info, info->GetValue(object), name));
      }
    }
    if (auto* persistent = dynamic_cast<TPersistent*>(object)) {
      std::string savedPrefix = std::exchange(prefix_, prefix);
      int savedIndent = std::exchange(indent_, indent);
      persistent->DefineProperties(&writer_);
      prefix_ = savedPrefix;
      indent_ = savedIndent;
    }
    visiting_.erase(object);
  }

  void WriteCollection(TCollection* collection, const std::string& name, int indent) {
    if (collection->Count() == 0) {
      Line(indent, name + " = <>");
      return;
    }
    Line(indent, name + " = <");
    for (int i = 0; i < collection->Count(); ++i) {
      Line(indent + 2, "item");
      WriteProperties(collection->Items(i), "", indent + 4);
      Line(indent + 2, i + 1 == collection->Count() ? "end>" : "end");
    }
  }

  TComponent* root_;
  TWriter writer_;
  std::string out_;
  int written_ = 0;
  std::set<TObject*> visiting_;
  // The object whose DefineProperties runs: its name prefix and indent.
  std::string prefix_;
  int indent_ = 0;
  // The DefineProperties handler being run and its open lists (items so
  // far in each).
  bool in_handler_ = false;
  bool value_written_ = false;
  std::vector<int> lists_;
};

}  // namespace kestrune::detail

using kestrune::detail::DescriptionReader;
using kestrune::detail::DescriptionWriter;

// ---------------------------------------------------------------------------
// TReader and TWriter

TValueKind TReader::NextValue() {
  return engine_->NextValue();
}
std::string TReader::ReadIdent() {
  return engine_->ReadIdent();
}
std::string TReader::ReadString() {
  return engine_->ReadString();
}
bool TReader::ReadBoolean() {
  return engine_->ReadBoolean();
}
int64_t TReader::ReadInteger() {
  return engine_->ReadInteger();
}
double TReader::ReadFloat() {
  return engine_->ReadFloat();
}
void TReader::ReadListBegin() {
  engine_->ReadListBegin();
}
void TReader::ReadListEnd() {
  engine_->ReadListEnd();
}
bool TReader::EndOfList() {
  return engine_->EndOfList();
}
void TReader::SkipValue() {
  engine_->SkipValue();
}
void TReader::ReadError(const std::string& message) {
  engine_->ErrorHere(message);
}

void TReader::DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                             TMethod<void(TWriter*)> writeData, bool hasData) {
  (void)writeData;
  (void)hasData;
  engine_->DefineProperty(name, readData);
}

void TWriter::WriteIdent(std::string_view ident) {
  if (!kestrune::detail::IsWritableIdent(ident, true))
    throw EWriteError("Identificateur incorrect : « " + std::string(ident) + " »");
  engine_->Raw(std::string(ident));
}
void TWriter::WriteString(std::string_view value) {
  engine_->Raw(kestrune::detail::QuoteString(value));
}
void TWriter::WriteBoolean(bool value) {
  engine_->Raw(value ? "True" : "False");
}
void TWriter::WriteInteger(int64_t value) {
  engine_->Raw(std::to_string(value));
}
void TWriter::WriteFloat(double value) {
  engine_->Raw(kestrune::detail::FormatDouble(value));
}
void TWriter::WriteListBegin() {
  engine_->ListBegin();
}
void TWriter::WriteListEnd() {
  engine_->ListEnd();
}

void TWriter::DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                             TMethod<void(TWriter*)> writeData, bool hasData) {
  (void)readData;
  engine_->DefineProperty(name, writeData, hasData);
}

// ---------------------------------------------------------------------------
// Entry points

namespace {
struct ParsedDescription {
  std::vector<kestrune::detail::Token> tokens;
  kestrune::detail::ObjectNode root;
};

ParsedDescription Parse(std::string_view text) {
  ParsedDescription d;
  d.tokens = kestrune::detail::Lexer(text).Run();
  d.root = kestrune::detail::Parser(text, d.tokens).ParseDescription();
  return d;
}
}  // namespace

void ReadComponentFromText(TComponent* root, std::string_view text) {
  ParsedDescription d = Parse(text);
  DescriptionReader reader(text, std::move(d.tokens), root);
  reader.Read(d.root, /*rootCreated=*/false);
}

TComponent* CreateComponentFromText(std::string_view text, TComponent* owner) {
  ParsedDescription d = Parse(text);
  const kestrune::detail::Token& cls = d.tokens[d.root.classToken];
  TClass c = FindClassByName(cls.text);
  TPersistentCreator creator = c != nullptr ? FindCreator(c) : nullptr;
  if (creator == nullptr || !c->InheritsFrom(TComponent::StaticClass()))
    kestrune::detail::Fail("Classe " + kestrune::detail::Shown(cls.text) + " non trouvée", cls.line,
                           cls.text);
  TPersistent* made;
  try {
    made = creator(owner);
  } catch (const Exception& e) {
    kestrune::detail::Fail(e.Message(), cls.line, cls.text);
  }
  auto* root = static_cast<TComponent*>(made);
  try {
    DescriptionReader reader(text, std::move(d.tokens), root);
    reader.Read(d.root, /*rootCreated=*/true);
  } catch (...) {
    root->Free();
    throw;
  }
  return root;
}

std::string WriteComponentToText(TComponent* root) {
  return DescriptionWriter(root).Run();
}

namespace {
std::map<std::string, std::string>& Descriptions() {
  static std::map<std::string, std::string> descriptions;
  return descriptions;
}
}  // namespace

void RegisterComponentDescription(std::string_view className, std::string_view text) {
  Descriptions()[UpperCase(className)] = std::string(text);
}

bool HasComponentDescription(std::string_view className) {
  return Descriptions().count(UpperCase(className)) != 0;
}

bool ReadComponentDescription(TComponent* root) {
  auto& descriptions = Descriptions();
  auto it = descriptions.find(UpperCase(root->ClassName()));
  if (it == descriptions.end())
    return false;
  ReadComponentFromText(root, it->second);
  return true;
}
