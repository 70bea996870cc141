// Run-time libraries and system versions.
//
// No dynamic library of the original platform exists here: LoadLibrary
// answers "not found" (a handle of 0) for every name, so code that binds a
// library at run time takes its "missing" branch. The system's version and a
// library's file version are not available either: every check of them
// takes its older-system branch. Only the running executable has version
// information (below).
//
// Threads: any.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using HMODULE = uintptr_t;
using FARPROC = void*;

// 0: the library does not exist here.
HMODULE LoadLibrary(std::string_view fileName);
// nullptr for every name (no library can be loaded).
FARPROC GetProcAddress(HMODULE module, std::string_view procName);
// False: nothing was loaded.
bool FreeLibrary(HMODULE module);

// The system's version: false (not available), `major` and `minor` 0.
bool GetSystemVersion(int& major, int& minor);
// The major file version of a file, from its version record: -1 when it has
// none (every library).
int GetFileMajorVersion(std::string_view fileName);

// ---------------------------------------------------------------------------
// Version information.
//
// The running executable carries one version record, compiled into it and
// installed at start-up (InstallExecutableVersionInfo); no other file has
// one. A record holds the fixed part, one translation and the string table
// of that translation.

// The fixed part of a version record.
struct VS_FIXEDFILEINFO {
  uint32_t dwSignature = 0xFEEF04BD;
  uint32_t dwStrucVersion = 0x00010000;
  uint32_t dwFileVersionMS = 0;
  uint32_t dwFileVersionLS = 0;
  uint32_t dwProductVersionMS = 0;
  uint32_t dwProductVersionLS = 0;
  uint32_t dwFileFlagsMask = 0;
  uint32_t dwFileFlags = 0;
  uint32_t dwFileOS = 0;
  uint32_t dwFileType = 0;
  uint32_t dwFileSubtype = 0;
  uint32_t dwFileDateMS = 0;
  uint32_t dwFileDateLS = 0;
};

namespace kestrune {

struct FileVersionInfo {
  VS_FIXEDFILEINFO fixed;
  // The translation: language and code page.
  uint16_t language = 0;
  uint16_t codePage = 0;
  // Name and value of each string of the translation's table.
  std::vector<std::pair<std::string, std::string>> strings;
};

// Makes `info` the running executable's record (nullptr: it has none). The
// record is not copied and must outlive its use. Main thread, at start-up
// (tests install one or none).
void InstallExecutableVersionInfo(const FileVersionInfo* info);

// The path of the running executable (empty when it cannot be read).
std::string ExecutablePath();

// The computer name as a query with a buffer of `bufferChars` characters
// (terminator included) gives it for the host name `hostName`: the host name
// when it fits, else nothing (false).
bool ComputerNameFromHostName(const std::string& hostName, size_t bufferChars, std::string& name);

}  // namespace kestrune

// The size of `fileName`'s version record: 0 when the file has none (every
// file but the running executable, and the executable without an installed
// record).
uint32_t GetFileVersionInfoSize(std::string_view fileName);
// `fileName`'s record, or nullptr when it has none.
const kestrune::FileVersionInfo* GetFileVersionInfo(std::string_view fileName);
// A value of the record: "\" the fixed part (into `fixed`); the others
// through the string forms below. False when the block does not exist.
bool VerQueryFixedFileInfo(const kestrune::FileVersionInfo& info, VS_FIXEDFILEINFO& fixed);
// "\VarFileInfo\Translation": the translations (language, code page).
bool VerQueryTranslation(const kestrune::FileVersionInfo& info,
                         std::vector<std::pair<uint16_t, uint16_t>>& translations);
// "\StringFileInfo\<language><code page>\<name>" (the key in hexadecimal, case
// ignored; one leading "\" optional): the string's value.
bool VerQueryString(const kestrune::FileVersionInfo& info, std::string_view subBlock,
                    std::string& value);

// The computer's name, asked for with a buffer of `bufferChars` characters
// (terminator included): false when the host name does not fit.
bool GetComputerName(std::string& name, size_t bufferChars);
// The folder for temporary files, with a trailing "/": $TMPDIR when set, else
// the system's ("/tmp/").
std::string GetTempPath();
