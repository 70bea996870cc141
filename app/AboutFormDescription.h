// The about box's stored description, compiled into the program.
#pragma once

#include <string_view>

// The text of TfmAbout's description (see platform/classes/Streaming.h for
// its format).
std::string_view AboutFormDescription();
