// The main window's stored description, compiled into the program.
#pragma once

#include <string_view>

// The text of TfmMain's description (see platform/classes/Streaming.h for
// its format).
std::string_view MainFormDescription();
