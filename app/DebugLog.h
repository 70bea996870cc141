// The trace log: a text file of dated lines, written only while the debug
// switch is on (it is off, and nothing in the program turns it on).
//
// The file is LogPath (app/AppState.h), beside the executable; where that
// folder cannot be written, $XDG_STATE_HOME/kestrune/kestrune.log (default
// ~/.local/state/kestrune/kestrune.log). Text is UTF-8, lines end in CR LF,
// and each line but the rules starts with the local date and time in the
// user's short-date and long-time form ("%x %X" of the C library's locale).
// A fresh log starts with a creation block; each run appends an opening
// block at its first message.
//
// Every operation does nothing while DebugEnabled is off and drops any
// failure it meets.
//
// Threads: main thread.
#pragma once

#include <string>

// The debug switch.
extern bool DebugEnabled;
// The log file is open for appending.
extern bool DebugLogOpen;

// Creates the file anew with its creation block, then closes it.
void CreateDebugLog();
// Opens the file for appending (creating it first when missing) and writes
// the opening block.
void OpenDebugLog();
// Writes a dated message (opening the file first when needed) and flushes.
void DebugLog(const std::string& message);
// Writes a rule of 47 "-" and flushes, when the file is open.
void WriteDebugLogSeparator();
// Closes the file.
void CloseDebugLog();

// The file the log goes to: LogPath when its folder can be written, else the
// state folder's file (its folder is made when missing).
std::string DebugLogFileName();
