// Run-time libraries and system versions.
//
// No dynamic library of the original platform exists here: LoadLibrary
// answers "not found" (a handle of 0) for every name, so code that binds a
// library at run time takes its "missing" branch. The system's version and a
// library's file version are not available either: every check of them
// takes its older-system branch.
//
// Threads: any.
#pragma once

#include <cstdint>
#include <string_view>

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
// The major file version of a library, from its version resource: -1 (no
// library, no resource).
int GetFileMajorVersion(std::string_view fileName);
