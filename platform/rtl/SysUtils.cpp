#include "platform/rtl/SysUtils.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace kestrune {

void RaiseAssertion(std::string_view message, const char* file, int line) {
  std::string text(message.empty() ? "Assertion failed" : message);
  text += " (" + std::string(file) + ", line " + std::to_string(line) + ")";
  throw EAssertionFailed(text);
}

void UsageCheckFailed(std::string_view message, const char* file, int line) {
  std::fprintf(stderr, "usage error: %.*s (%s:%d)\n", static_cast<int>(message.size()),
               message.data(), file, line);
  std::abort();
}

void RaiseInvalidCast() {
  throw EInvalidCast("Transtypage de classe incorrect");
}
void RaiseIntfCastError() {
  throw EIntfCastError("Interface non supportée");
}
void RaiseDivByZero() {
  throw EDivByZero("Division par zéro");
}
void RaiseOutOfMemory() {
  throw EOutOfMemory("Mémoire insuffisante");
}
void RaiseInvalidOp() {
  throw EInvalidOp("Opération en virgule flottante incorrecte");
}
void RaiseRangeError() {
  throw ERangeError("Erreur de vérification des limites");
}

}  // namespace kestrune

char UserDecimalSeparator() {
  locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0))
    return '.';
  const char* radix = nl_langinfo_l(RADIXCHAR, user);
  char separator = '.';
  if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0' &&
      static_cast<unsigned char>(radix[0]) < 0x80)
    separator = radix[0];
  freelocale(user);
  return separator;
}

// Constant-initialised to '.', so that formatting during another unit's
// static initialisation works; the user's separator is taken just below.
std::atomic<char> DecimalSeparator{'.'};

namespace {

const bool kUserSeparatorTaken = (DecimalSeparator.store(UserDecimalSeparator()), true);

// Runs the calling thread in the C locale for its lifetime, so that printf
// and strtod use the point whatever locale the process has set (the GUI
// toolkit sets the user's at start-up). Only the calling thread is affected.
class CNumericLocale {
 public:
  CNumericLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (c != static_cast<locale_t>(0))
      saved_ = uselocale(c);
  }
  ~CNumericLocale() {
    if (saved_ != static_cast<locale_t>(0))
      uselocale(saved_);
  }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  locale_t saved_ = static_cast<locale_t>(0);
};

[[noreturn]] void FormatError(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) +
                      "' incorrect ou incompatible avec l'argument");
}

// Digits before the decimal separator `point` of a fixed-point text.
size_t IntegerDigits(const std::string& fixed, char point = '.') {
  size_t start = (!fixed.empty() && fixed[0] == '-') ? 1 : 0;
  size_t dot = fixed.find(point);
  return (dot == std::string::npos ? fixed.size() : dot) - start;
}

// Inserts `group` between the thousands of the integer part of a fixed-point
// text whose decimal separator is `point`.
std::string WithThousands(const std::string& fixed, char point, char group) {
  size_t start = (!fixed.empty() && fixed[0] == '-') ? 1 : 0;
  size_t end = start + IntegerDigits(fixed, point);
  std::string out = fixed.substr(0, start);
  for (size_t i = start; i < end; ++i) {
    out += fixed[i];
    size_t remaining = end - i - 1;
    if (remaining > 0 && remaining % 3 == 0)
      out += group;
  }
  out += fixed.substr(end);
  return out;
}

// The text with its decimal point (if any) replaced by `separator`.
std::string WithSeparator(std::string text, char separator) {
  size_t dot = text.find('.');
  if (dot != std::string::npos)
    text[dot] = separator;
  return text;
}

std::string NonFiniteText(double v) {
  if (std::isnan(v))
    return "NAN";
  return v > 0 ? "INF" : "-INF";
}

std::string Pad(std::string s, int width, bool left) {
  if (width > 0 && static_cast<int>(s.size()) < width) {
    std::string fill(static_cast<size_t>(width) - s.size(), ' ');
    s = left ? s + fill : fill + s;
  }
  return s;
}

// printf of one finite double with a point, whatever the process locale.
// `decimals` is at most 99999 (Format refuses more).
std::string Printf(const char* fmt, int decimals, double v) {
  const CNumericLocale c;
  std::string buf(static_cast<size_t>(decimals) + 400, '\0');  // a double has <= 309 digits
  int n = std::snprintf(buf.data(), buf.size(), fmt, decimals, v);
  buf.resize(n < 0 ? 0 : std::min(static_cast<size_t>(n), buf.size() - 1));
  return buf;
}

// Scientific form with `significant` digits: the mantissa with a point, "E",
// the exponent's sign ('-' only, or '+' too with `plus`) and at least 3
// exponent digits.
std::string ScientificForm(double v, int significant, bool plus) {
  std::string s = Printf("%.*E", significant - 1, v);
  size_t e = s.find('E');
  if (e == std::string::npos)
    return s;
  std::string mant = s.substr(0, e);
  char sign = s[e + 1];
  std::string digits = s.substr(e + 2);
  while (digits.size() < 3)
    digits = "0" + digits;
  return mant + "E" + (sign == '-' || plus ? std::string(1, sign) : std::string()) + digits;
}

// %e in the runtime's style: mantissa with `prec` significant digits and an
// exponent with its sign and at least 3 digits ("1.00000000000000E+002").
std::string ExpForm(double v, int prec) {
  if (prec < 1)
    prec = 15;
  return ScientificForm(v, prec, true);
}

// The most digits a fixed-point text keeps before its point: a double holds
// 15 significant decimal digits, so a larger value switches to exponent form.
constexpr size_t kFixedIntegerDigits = 15;

// %f with `decimals` decimals, or the exponent form of a value that needs
// more than kFixedIntegerDigits digits before the point. The bool tells
// which one was written (true: fixed).
std::pair<std::string, bool> FixedForm(double v, int decimals) {
  std::string fixed = Printf("%.*f", decimals, v);
  if (IntegerDigits(fixed) <= kFixedIntegerDigits)
    return {fixed, true};
  return {ScientificForm(v, 15, false), false};
}

std::string GeneralForm(double v, int prec) {
  if (!std::isfinite(v))
    return NonFiniteText(v);
  if (prec < 1 || prec > 15)
    prec = 15;
  std::string s = Printf("%.*G", prec, v);
  size_t e = s.find('E');
  if (e != std::string::npos) {
    // Runtime style: "1E-5", "1.5E20": no '+' and no leading zeros.
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    bool neg = exp[0] == '-';
    size_t k = (exp[0] == '-' || exp[0] == '+') ? 1 : 0;
    while (k + 1 < exp.size() && exp[k] == '0')
      ++k;
    s = mant + "E" + (neg ? "-" : "") + exp.substr(k);
  }
  return s;
}

}  // namespace

// Widths and precisions above this are refused: they could only be typing
// errors, and they bound the text a single specifier can make.
constexpr int kLargestFormatNumber = 99999;

std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
  std::vector<const TVarRec*> list;
  for (const TVarRec& a : args)
    list.push_back(&a);
  std::string out;
  size_t next_arg = 0;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    ++i;
    if (i >= format.size())
      FormatError(format);
    if (format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // [index:][-][width][.prec]type
    auto read_number = [&](int& value) {
      bool any = false;
      value = 0;
      if (i < format.size() && format[i] == '*') {
        if (next_arg >= list.size() || list[next_arg]->kind() != TVarRec::Kind::Int32)
          FormatError(format);
        value = static_cast<int>(list[next_arg++]->AsInt64());
        if (value > kLargestFormatNumber)
          FormatError(format);
        ++i;
        return true;
      }
      while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) {
        value = value * 10 + (format[i] - '0');
        if (value > kLargestFormatNumber)
          FormatError(format);
        ++i;
        any = true;
      }
      return any;
    };
    int number = 0;
    bool left = false;
    int width = -1, prec = -1;
    // A number followed by ':' is an index; otherwise it is read again as
    // the width (a '*' there must not use up its argument twice).
    const size_t save = i;
    const size_t save_arg = next_arg;
    if (read_number(number) && i < format.size() && format[i] == ':') {
      next_arg = static_cast<size_t>(number);
      ++i;
    } else {
      i = save;
      next_arg = save_arg;
    }
    if (i < format.size() && format[i] == '-') {
      left = true;
      ++i;
    }
    if (read_number(number))
      width = number;
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (read_number(number))
        prec = number;
      else
        prec = 0;
    }
    if (i >= format.size())
      FormatError(format);
    char type = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
    ++i;
    if (next_arg >= list.size())
      FormatError(format);
    const TVarRec& arg = *list[next_arg++];
    using K = TVarRec::Kind;
    bool is_int = arg.kind() == K::Int32 || arg.kind() == K::Int64 || arg.kind() == K::UInt64;
    std::string piece;
    switch (type) {
      case 'd':
      case 'u': {
        if (!is_int)
          FormatError(format);
        std::string digits;
        if (arg.kind() == K::UInt64) {
          digits = std::to_string(arg.AsUInt64());
        } else if (type == 'u' && arg.kind() == K::Int32) {
          digits = std::to_string(static_cast<uint32_t>(arg.AsInt64()));
        } else if (type == 'u' && arg.AsInt64() < 0) {
          digits = std::to_string(static_cast<uint64_t>(arg.AsInt64()));
        } else {
          digits = std::to_string(arg.AsInt64());
        }
        bool neg = !digits.empty() && digits[0] == '-';
        if (neg)
          digits.erase(0, 1);
        if (prec > 0 && static_cast<int>(digits.size()) < prec)
          digits = std::string(static_cast<size_t>(prec) - digits.size(), '0') + digits;
        piece = (neg ? "-" : "") + digits;
        break;
      }
      case 'x': {
        if (!is_int)
          FormatError(format);
        uint64_t v = arg.kind() == K::Int32 ? static_cast<uint32_t>(arg.AsInt64())
                                            : static_cast<uint64_t>(arg.AsInt64());
        if (arg.kind() == K::UInt64)
          v = arg.AsUInt64();
        piece = IntToHex(v, prec > 0 ? prec : 1);
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        if (arg.kind() != K::Double)
          FormatError(format);
        double v = arg.AsDouble();
        const char separator = DecimalSeparator.load(std::memory_order_relaxed);
        if (!std::isfinite(v)) {
          piece = NonFiniteText(v);
        } else if (type == 'e') {
          piece = WithSeparator(ExpForm(v, prec), separator);
        } else if (type == 'g') {
          piece = WithSeparator(GeneralForm(v, prec), separator);
        } else {
          auto [text, fixed] = FixedForm(v, prec < 0 ? 2 : prec);
          piece = WithSeparator(std::move(text), separator);
          if (fixed && type != 'f')
            piece = WithThousands(piece, separator, separator == ',' ? '.' : ',');
        }
        break;
      }
      case 's':
        if (arg.kind() != K::String && arg.kind() != K::Char)
          FormatError(format);
        piece = arg.AsString();
        if (prec >= 0 && static_cast<int>(piece.size()) > prec)
          piece.resize(static_cast<size_t>(prec));
        break;
      case 'c':
        if (arg.kind() != K::Char)
          FormatError(format);
        piece = arg.AsString();
        break;
      case 'p': {
        if (arg.kind() != K::Pointer)
          FormatError(format);
        piece = IntToHex(reinterpret_cast<uintptr_t>(arg.AsPointer()), 16);
        break;
      }
      default:
        FormatError(format);
    }
    out += Pad(piece, width, left);
  }
  return out;
}

std::string IntToStr(int64_t value) {
  return std::to_string(value);
}

std::string IntToHex(uint64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

bool TryStrToInt(const std::string& text, int64_t& value) {
  std::string t = Trim(text);
  if (t.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  long long v;
  if (t[0] == '$') {
    v = static_cast<long long>(std::strtoull(t.c_str() + 1, &end, 16));
  } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    v = static_cast<long long>(std::strtoull(t.c_str() + 2, &end, 16));
  } else {
    v = std::strtoll(t.c_str(), &end, 10);
  }
  if (errno != 0 || end == nullptr || *end != '\0')
    return false;
  value = v;
  return true;
}

int64_t StrToInt(const std::string& text) {
  int64_t v;
  if (!TryStrToInt(text, v))
    throw EConvertError("'" + text + "' n'est pas une valeur entière correcte");
  return v;
}

std::string FloatToStr(double value) {
  if (!std::isfinite(value))
    return NonFiniteText(value);
  for (int prec = 15; prec <= 17; ++prec) {
    std::string s = GeneralForm(value, prec);
    double back = 0;
    if (TryStrToFloat(s, back) && back == value)
      return s;
  }
  return Printf("%.*G", 17, value);
}

bool TryStrToFloat(const std::string& text, double& value) {
  std::string t = Trim(text);
  if (t.empty())
    return false;
  const CNumericLocale c;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(t.c_str(), &end);
  if (end == nullptr || *end != '\0')
    return false;
  value = v;
  return true;
}

namespace {
using kestrune::RaiseInvalidOp;
using kestrune::RaiseRangeError;
// 2^63 as a double: the first value outside the signed 64-bit range.
constexpr double kTwo63 = 9223372036854775808.0;
}  // namespace

int64_t Round(double value) {
  if (!std::isfinite(value))
    RaiseInvalidOp();
  double r = std::nearbyint(value);  // the default rounding mode: half to even
  if (r >= kTwo63 || r < -kTwo63)
    RaiseInvalidOp();
  return static_cast<int64_t>(r);
}

int64_t Trunc(double value) {
  if (!std::isfinite(value))
    RaiseInvalidOp();
  double r = std::trunc(value);
  if (r >= kTwo63 || r < -kTwo63)
    RaiseInvalidOp();
  return static_cast<int64_t>(r);
}

int32_t RoundToInt32(double value) {
  int64_t r = Round(value);
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    RaiseRangeError();
  return static_cast<int32_t>(r);
}

int32_t TruncToInt32(double value) {
  int64_t r = Trunc(value);
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    RaiseRangeError();
  return static_cast<int32_t>(r);
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::toupper(static_cast<unsigned char>(a[i]));
    int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb)
      return ca - cb;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
    ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
    --e;
  return std::string(s.substr(b, e - b));
}

std::string ExtractFilePath(std::string_view fileName) {
  size_t p = fileName.find_last_of('/');
  return p == std::string_view::npos ? std::string() : std::string(fileName.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view fileName) {
  size_t p = fileName.find_last_of('/');
  return std::string(p == std::string_view::npos ? fileName : fileName.substr(p + 1));
}

namespace {

// Where the extension's dot stands, or the name's length when it has none.
size_t ExtensionStart(std::string_view fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return fileName.size();
  return dot;
}

}  // namespace

std::string ExtractFileExt(std::string_view fileName) {
  return std::string(fileName.substr(ExtensionStart(fileName)));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension) {
  return std::string(fileName.substr(0, ExtensionStart(fileName))) + std::string(extension);
}

uint32_t GetTickCount() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}
