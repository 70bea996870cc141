#include "app/DebugLog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "app/AppState.h"
#include "platform/rtl/SysUtils.h"

bool DebugEnabled = false;
bool DebugLogOpen = false;

namespace {

std::FILE* logFile = nullptr;
const std::string kRule(47, '-');

bool IsWritableFolder(const std::string& folder) {
  struct stat info {};
  return !folder.empty() && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string StateFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/')
    return std::string(state) + "/kestrune";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/state/kestrune";
}

std::string DateText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[128];
  const size_t length = std::strftime(text, sizeof text, "%x %X", &local);
  return std::string(text, length);
}

void WriteLine(std::FILE* file, const std::string& line) {
  std::fputs(line.c_str(), file);
  std::fputs("\r\n", file);
}

// Runs `body`, dropping any exception (the log never disturbs the program).
template <class Body>
void Dropping(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace

std::string DebugLogFileName() {
  if (IsWritableFolder(ExtractFilePath(LogPath)))
    return LogPath;
  const std::string folder = StateFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder + "/kestrune.log";
}

void CreateDebugLog() {
  if (!DebugEnabled)
    return;
  Dropping([] {
    std::FILE* file = std::fopen(DebugLogFileName().c_str(), "wb");
    if (file == nullptr)
      return;
    WriteLine(file, "[Velmora]");
    WriteLine(file, DateText() + " : Creation fichier traçage / debug");
    WriteLine(file, kRule);
    std::fclose(file);
  });
}

void OpenDebugLog() {
  if (!DebugEnabled)
    return;
  Dropping([] {
    if (logFile != nullptr) {
      std::fclose(logFile);
      logFile = nullptr;
    }
    DebugLogOpen = false;
    const std::string name = DebugLogFileName();
    if (access(name.c_str(), F_OK) != 0)
      CreateDebugLog();
    logFile = std::fopen(name.c_str(), "ab");
    if (logFile == nullptr)
      return;
    WriteLine(logFile, kRule);
    WriteLine(logFile, DateText() + " : Ouverture fichier traçage / debug");
    WriteLine(logFile, kRule);
    std::fflush(logFile);
    DebugLogOpen = true;
  });
}

void DebugLog(const std::string& message) {
  if (!DebugEnabled)
    return;
  Dropping([&] {
    if (!DebugLogOpen)
      OpenDebugLog();
    if (!DebugLogOpen || logFile == nullptr)
      return;
    WriteLine(logFile, DateText() + " : " + message);
    std::fflush(logFile);
  });
}

void WriteDebugLogSeparator() {
  if (!DebugEnabled)
    return;
  Dropping([] {
    if (!DebugLogOpen || logFile == nullptr)
      return;
    WriteLine(logFile, kRule);
    std::fflush(logFile);
  });
}

void CloseDebugLog() {
  if (!DebugEnabled)
    return;
  Dropping([] {
    if (logFile != nullptr)
      std::fclose(logFile);
    logFile = nullptr;
    DebugLogOpen = false;
  });
}
