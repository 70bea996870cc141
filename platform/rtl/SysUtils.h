// Exceptions, text formatting and the small helpers of the runtime.
//
// Exceptions form a tree rooted in `Exception`, which carries the message text
// the user sees. Two kinds of check exist and must not be confused:
//  - KESTRUNE_ASSERT(cond, msg) is the runtime's assertion: code that the program
//    specifies raises EAssertionFailed through it in every build;
//  - KESTRUNE_USAGE_CHECK(cond, msg) guards against misuse by our own callers
//    (releasing a lock out of order, freeing a referenced object); it is on in
//    every build that runs tests and aborts with the message.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
};

#define KESTRUNE_EXCEPTION(Name, Base)                       \
  class Name : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    const char* ClassName() const override { return #Name; } \
  };

KESTRUNE_EXCEPTION(EAbort, Exception)
KESTRUNE_EXCEPTION(EAssertionFailed, Exception)
KESTRUNE_EXCEPTION(EConvertError, Exception)
KESTRUNE_EXCEPTION(EListError, Exception)
KESTRUNE_EXCEPTION(EStringListError, Exception)
KESTRUNE_EXCEPTION(EOutOfMemory, Exception)
KESTRUNE_EXCEPTION(EInvalidOperation, Exception)
KESTRUNE_EXCEPTION(EInvalidPointer, Exception)
KESTRUNE_EXCEPTION(EInvalidCast, Exception)
KESTRUNE_EXCEPTION(EIntfCastError, EInvalidCast)
KESTRUNE_EXCEPTION(EOSError, Exception)
KESTRUNE_EXCEPTION(EThread, Exception)
KESTRUNE_EXCEPTION(EComponentError, Exception)
KESTRUNE_EXCEPTION(EPropertyError, Exception)
// An index of an indexed property that names no property: "Invalid property
// index %d."
KESTRUNE_EXCEPTION(EInvalidPropertyIndex, Exception)
KESTRUNE_EXCEPTION(EFilerError, Exception)
KESTRUNE_EXCEPTION(EReadError, EFilerError)
KESTRUNE_EXCEPTION(EWriteError, EFilerError)
KESTRUNE_EXCEPTION(EClassNotFound, EFilerError)
KESTRUNE_EXCEPTION(EMathError, Exception)
KESTRUNE_EXCEPTION(EInvalidOp, EMathError)
KESTRUNE_EXCEPTION(EZeroDivide, EMathError)
KESTRUNE_EXCEPTION(EOverflow, EMathError)
KESTRUNE_EXCEPTION(EIntError, Exception)
KESTRUNE_EXCEPTION(EDivByZero, EIntError)
KESTRUNE_EXCEPTION(ERangeError, EIntError)
KESTRUNE_EXCEPTION(EIntOverflow, EIntError)

// The runtime's assertion: raises EAssertionFailed with the message (and the
// source position) when `condition` is false. Always on.
#define KESTRUNE_ASSERT(condition, message)                      \
  do {                                                           \
    if (!(condition))                                            \
      ::kestrune::RaiseAssertion((message), __FILE__, __LINE__); \
  } while (0)

// A check of our own callers' usage; aborts with the message when violated.
#define KESTRUNE_USAGE_CHECK(condition, message)                   \
  do {                                                             \
    if (!(condition))                                              \
      ::kestrune::UsageCheckFailed((message), __FILE__, __LINE__); \
  } while (0)

namespace kestrune {
[[noreturn]] void RaiseAssertion(std::string_view message, const char* file, int line);
[[noreturn]] void UsageCheckFailed(std::string_view message, const char* file, int line);

// The runtime's own errors, one helper each, so that every raise of an error
// carries the same text, in the runtime's language.
// EInvalidCast "Transtypage de classe incorrect": an object of the wrong class.
[[noreturn]] void RaiseInvalidCast();
// EIntfCastError "Interface non supportée": an object without the interface
// asked for. EIntfCastError derives from EInvalidCast.
[[noreturn]] void RaiseIntfCastError();
// EDivByZero "Division par zéro": an integer division by zero.
[[noreturn]] void RaiseDivByZero();
// EOutOfMemory "Mémoire insuffisante": an allocation the heap refused.
[[noreturn]] void RaiseOutOfMemory();
// EInvalidOp "Opération en virgule flottante incorrecte": a NaN, an infinity
// or an out-of-range value where a number was needed.
[[noreturn]] void RaiseInvalidOp();
// ERangeError "Erreur de vérification des limites": a value outside the
// range of its destination type.
[[noreturn]] void RaiseRangeError();
}  // namespace kestrune

// One argument of Format. Integers remember whether they came as 32 or 64
// bits, so that %u prints a negative 32-bit value as its unsigned reading.
class TVarRec {
 public:
  enum class Kind { Int32, Int64, UInt64, Double, String, Pointer, Char };
  TVarRec(int v) : kind_(Kind::Int32), i_(v) {}
  TVarRec(unsigned v) : kind_(Kind::Int64), i_(static_cast<int64_t>(v)) {}
  TVarRec(long v) : kind_(Kind::Int64), i_(v) {}
  TVarRec(long long v) : kind_(Kind::Int64), i_(v) {}
  TVarRec(unsigned long v) : kind_(Kind::UInt64), u_(v) {}
  TVarRec(unsigned long long v) : kind_(Kind::UInt64), u_(v) {}
  TVarRec(double v) : kind_(Kind::Double), d_(v) {}
  TVarRec(float v) : kind_(Kind::Double), d_(v) {}
  TVarRec(char v) : kind_(Kind::Char), s_(1, v) {}
  TVarRec(const char* v) : kind_(Kind::String), s_(v ? v : "") {}
  TVarRec(std::string v) : kind_(Kind::String), s_(std::move(v)) {}
  TVarRec(std::string_view v) : kind_(Kind::String), s_(v) {}
  TVarRec(const void* v) : kind_(Kind::Pointer), p_(v) {}

  Kind kind() const { return kind_; }
  int64_t AsInt64() const { return i_; }
  uint64_t AsUInt64() const { return u_; }
  double AsDouble() const { return d_; }
  const std::string& AsString() const { return s_; }
  const void* AsPointer() const { return p_; }

 private:
  Kind kind_;
  union {
    int64_t i_;
    uint64_t u_;
    double d_;
    const void* p_;
  };
  std::string s_;
};

// The decimal separator Format writes in numbers. It starts as the user's
// (UserDecimalSeparator) and the program may change it; a change is seen by
// every thread that formats afterwards. The C locale gives '.'.
extern std::atomic<char> DecimalSeparator;

// The decimal separator of the user's numeric locale, read from the
// environment (LC_ALL, LC_NUMERIC, LANG) whatever locale the process has set;
// '.' when that locale is not installed or its separator is not one byte.
char UserDecimalSeparator();

// Formats like the runtime's Format: %[index:][-][width][.prec]type with types
// d, u, x (upper-case hex), e, f, g, n, m, s, p, c and %%. A specifier that
// does not fit its argument, a missing argument, or a width or precision
// above 99999 raises EConvertError
// "Format '<format>' incorrect ou incompatible avec l'argument".
//
// Numbers (e, f, g, n, m) carry DecimalSeparator, never the process locale's
// point or comma. %f, %n and %m write `prec` decimals (2 by default); %n and
// %m group thousands with ',' (with '.' when the decimal separator is ',').
// A value whose fixed text would have more than 15 digits before the
// separator (|value| of 1e15 and more once rounded) is written in exponent
// form instead, since a double holds no more than 15 significant decimal
// digits: 15 significant digits, "E", '-' for a negative exponent, and the
// exponent in at least 3 digits ("1.00000000000000E020" for 1e20). A NaN
// gives "NAN" and infinities "INF" and "-INF" with every number type.
std::string Format(std::string_view format, std::initializer_list<TVarRec> args);

std::string IntToStr(int64_t value);
std::string IntToHex(uint64_t value, int digits);
// Raises EConvertError "'<text>' n'est pas une valeur entière correcte".
int64_t StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, int64_t& value);
// Shortest text that reads back to the same double ("0.1", "1E-5", "3"),
// always with a point: stored descriptions read it back on any machine.
std::string FloatToStr(double value);
// Reads a decimal number with a point (and an optional exponent, "INF" or
// "NAN"), whatever the process locale; false for any other text.
bool TryStrToFloat(const std::string& text, double& value);

// Rounds half to even. A NaN, an infinity or a value outside the 64-bit range
// raises EInvalidOp (RaiseInvalidOp).
int64_t Round(double value);
// Truncates toward zero; the same range rule as Round.
int64_t Trunc(double value);
// Round and Trunc checked against the 32-bit range (ERangeError otherwise,
// RaiseRangeError).
int32_t RoundToInt32(double value);
int32_t TruncToInt32(double value);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// ASCII case-insensitive comparison: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
std::string Trim(std::string_view s);

// The folder part of a file name, with its trailing separator ("" if none).
std::string ExtractFilePath(std::string_view fileName);
std::string ExtractFileName(std::string_view fileName);
// The extension with its dot ("" when the name has none).
std::string ExtractFileExt(std::string_view fileName);
// Replaces (or adds) the extension; `extension` includes its dot.
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);

// Milliseconds since an arbitrary start, as a 32-bit value that wraps.
uint32_t GetTickCount();
