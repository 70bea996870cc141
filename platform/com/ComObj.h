// The few COM conventions the recording control and its wrapper use: result
// codes, the exception a failed call raises, and the check that raises it.
//
// Threads: any.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

inline constexpr bool Succeeded(HRESULT result) {
  return result >= 0;
}
inline constexpr bool Failed(HRESULT result) {
  return result < 0;
}

// A failed COM call: the message of its result code, and the code.
class EOleSysError : public Exception {
 public:
  EOleSysError(std::string message, HRESULT errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  const char* ClassName() const override { return "EOleSysError"; }
  HRESULT ErrorCode() const { return errorCode_; }

 private:
  HRESULT errorCode_;
};

// The text of a result code ("Erreur non spécifiée" for E_FAIL, ...); codes
// without a text of their own give "Erreur OLE XXXXXXXX".
std::string OleErrorText(HRESULT result);

// Raises EOleSysError with OleErrorText when `result` is a failure; returns
// success codes (S_OK, S_FALSE) unchanged.
HRESULT OleCheck(HRESULT result);
