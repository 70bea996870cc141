// The toolkit's log messages while the windowing layer starts.
//
// Opening the display is the first thing that can fail, and the toolkit
// then logs a fatal message and aborts. The program start runs under
// RunHoldingToolkitMessages: the toolkit's messages are kept back meanwhile
// and passed on afterwards, and a fatal one goes to the caller's handler,
// which says why in its own words and ends the program.
//
// Threads: main thread, before the loop runs.
#pragma once

#include <functional>

namespace kestrune {

// Runs `start` with the toolkit's messages held back, then passes them on
// (to the handler installed before, or to stderr in the toolkit's format)
// in their order, also when `start` raises (the exception then goes on to
// the caller). A fatal message during `start` calls `onFatal`, which must
// not return (it ends the program; nothing is passed on).
void RunHoldingToolkitMessages(const std::function<void()>& start, void (*onFatal)());

}  // namespace kestrune
