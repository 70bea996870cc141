#include "platform/forms/QtEntry.h"

#include <cstdio>

#include "platform/classes/MainLoop.h"

namespace kestrune {

void HandleEscapedException(std::exception_ptr error) noexcept {
  // MainLoop::HandleException catches what its handler raises; the fallback
  // below only formats a text. Both keep this function from raising.
  if (MainLoop* loop = MainLoop::Current()) {
    loop->HandleException(std::move(error));
    return;
  }
  try {
    std::fprintf(stderr, "%s\n", ExceptionText(error).c_str());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception\n");
  }
}

}  // namespace kestrune
