// The program's version record, generated at build time from the project's
// version (ProgramVersion.cpp.in): installed by the program entry as the
// running executable's version information.
#pragma once

#include "platform/win/Libraries.h"

const kestrune::FileVersionInfo& ProgramVersionInfo();
