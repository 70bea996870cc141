#include "platform/win/Libraries.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::atomic<const kestrune::FileVersionInfo*> installed_info{nullptr};

// True when `fileName` names the running executable.
bool IsExecutable(std::string_view fileName) {
  const std::string exe = kestrune::ExecutablePath();
  if (exe.empty() || fileName.empty())
    return false;
  std::error_code error;
  return std::filesystem::equivalent(std::filesystem::path(std::string(fileName)), exe, error);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

namespace kestrune {

void InstallExecutableVersionInfo(const FileVersionInfo* info) {
  installed_info.store(info, std::memory_order_release);
}

std::string ExecutablePath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

bool ComputerNameFromHostName(const std::string& hostName, size_t bufferChars, std::string& name) {
  // The buffer holds the terminator too.
  if (bufferChars == 0 || hostName.size() + 1 > bufferChars) {
    name.clear();
    return false;
  }
  name = hostName;
  return true;
}

}  // namespace kestrune

uint32_t GetFileVersionInfoSize(std::string_view fileName) {
  const kestrune::FileVersionInfo* info = GetFileVersionInfo(fileName);
  if (info == nullptr)
    return 0;
  uint32_t size = sizeof(VS_FIXEDFILEINFO) + 4;
  for (const auto& [key, value] : info->strings)
    size += static_cast<uint32_t>(key.size() + value.size() + 2);
  return size;
}

const kestrune::FileVersionInfo* GetFileVersionInfo(std::string_view fileName) {
  const kestrune::FileVersionInfo* info = installed_info.load(std::memory_order_acquire);
  if (info == nullptr || !IsExecutable(fileName))
    return nullptr;
  return info;
}

bool VerQueryFixedFileInfo(const kestrune::FileVersionInfo& info, VS_FIXEDFILEINFO& fixed) {
  fixed = info.fixed;
  return true;
}

bool VerQueryTranslation(const kestrune::FileVersionInfo& info,
                         std::vector<std::pair<uint16_t, uint16_t>>& translations) {
  translations.assign(1, {info.language, info.codePage});
  return true;
}

bool VerQueryString(const kestrune::FileVersionInfo& info, std::string_view subBlock,
                    std::string& value) {
  if (!subBlock.empty() && subBlock.front() == '\\')
    subBlock.remove_prefix(1);
  constexpr std::string_view kTable = "StringFileInfo\\";
  if (!EqualNoCase(subBlock.substr(0, kTable.size()), kTable))
    return false;
  subBlock.remove_prefix(kTable.size());
  const size_t slash = subBlock.find('\\');
  if (slash == std::string_view::npos)
    return false;
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", info.language, info.codePage);
  if (!EqualNoCase(subBlock.substr(0, slash), key))
    return false;
  const std::string_view name = subBlock.substr(slash + 1);
  for (const auto& [entry, text] : info.strings) {
    if (EqualNoCase(entry, name)) {
      value = text;
      return true;
    }
  }
  return false;
}

bool GetComputerName(std::string& name, size_t bufferChars) {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) {
    name.clear();
    return false;
  }
  return kestrune::ComputerNameFromHostName(host, bufferChars, name);
}

std::string GetTempPath() {
  std::string path;
  if (const char* dir = std::getenv("TMPDIR"); dir != nullptr && *dir != '\0')
    path = dir;
  else
    path = std::filesystem::temp_directory_path().string();
  if (path.empty() || path.back() != '/')
    path += '/';
  return path;
}

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
  const kestrune::FileVersionInfo* info = GetFileVersionInfo(fileName);
  if (info == nullptr)
    return -1;
  return static_cast<int>(info->fixed.dwFileVersionMS >> 16);
}
