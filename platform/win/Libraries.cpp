#include "platform/win/Libraries.h"

HMODULE LoadLibrary(std::string_view fileName) {
  (void)fileName;
  return 0;
}

FARPROC GetProcAddress(HMODULE module, std::string_view procName) {
  (void)module;
  (void)procName;
  return nullptr;
}

bool FreeLibrary(HMODULE module) {
  (void)module;
  return false;
}

bool GetSystemVersion(int& major, int& minor) {
  major = 0;
  minor = 0;
  return false;
}

int GetFileMajorVersion(std::string_view fileName) {
  (void)fileName;
  return -1;
}
