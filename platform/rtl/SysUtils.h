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

#define KESTRUNE_EXCEPTION(Name, Base)                             \
  class Name : public Base {                                       \
   public:                                                         \
    using Base::Base;                                              \
    const char* ClassName() const override { return #Name; }       \
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
KESTRUNE_EXCEPTION(EOSError, Exception)
KESTRUNE_EXCEPTION(EThread, Exception)
KESTRUNE_EXCEPTION(EComponentError, Exception)
KESTRUNE_EXCEPTION(EPropertyError, Exception)
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
#define KESTRUNE_ASSERT(condition, message)                                        \
  do {                                                                             \
    if (!(condition)) ::kestrune::RaiseAssertion((message), __FILE__, __LINE__);   \
  } while (0)

// A check of our own callers' usage; aborts with the message when violated.
#define KESTRUNE_USAGE_CHECK(condition, message)                                    \
  do {                                                                              \
    if (!(condition)) ::kestrune::UsageCheckFailed((message), __FILE__, __LINE__);  \
  } while (0)

namespace kestrune {
[[noreturn]] void RaiseAssertion(std::string_view message, const char* file, int line);
[[noreturn]] void UsageCheckFailed(std::string_view message, const char* file, int line);
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

// Formats like the runtime's Format: %[index:][-][width][.prec]type with types
// d, u, x (upper-case hex), e, f, g, n, m, s, p, c and %%. A specifier that
// does not fit its argument, or a missing argument, raises EConvertError
// "Format '<format>' invalid or incompatible with argument".
std::string Format(std::string_view format, std::initializer_list<TVarRec> args);

std::string IntToStr(int64_t value);
std::string IntToHex(uint64_t value, int digits);
// Raises EConvertError "'<text>' is not a valid integer value".
int64_t StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, int64_t& value);
// Shortest text that reads back to the same double ("0.1", "1E-5", "3").
std::string FloatToStr(double value);
bool TryStrToFloat(const std::string& text, double& value);

// Rounds half to even. A NaN, an infinity or a value outside the 64-bit range
// raises EInvalidOp "Invalid floating point operation".
int64_t Round(double value);
// Truncates toward zero; the same range rule as Round.
int64_t Trunc(double value);
// Round and Trunc checked against the 32-bit range (ERangeError otherwise).
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
// Replaces (or adds) the extension; `extension` includes its dot.
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);

// Milliseconds since an arbitrary start, as a 32-bit value that wraps.
uint32_t GetTickCount();
