// The theme functions bound at run time: the combo box draws its drop-down
// button through them where a theme library exists. None exists here, so
// Load leaves the flag False and every function variable nil, and the combo
// box takes its unthemed branch.
//
// Life cycle: LoadUxTheme runs at the controls unit's start-up (once for
// nested start-ups), FreeUxTheme at its shutdown.
//
// Threads: main thread, during unit start-up and shutdown; read-only after.
#pragma once

#include <cstdint>

#include "platform/graphics/Gdi.h"
#include "platform/win/Libraries.h"

namespace acxpvs {

using HTHEME = void*;
using OpenThemeDataProc = HTHEME (*)(void* window, const char16_t* classList);
using CloseThemeDataProc = int32_t (*)(HTHEME theme);
using DrawThemeBackgroundProc = int32_t (*)(HTHEME theme, HDC dc, int partId, int stateId,
                                            const TRect* rect, const TRect* clipRect);
using IsThemeActiveProc = int32_t (*)();

// The 45 names, in binding order.
inline constexpr int kBoundNameCount = 45;
extern const char* const kBoundNames[kBoundNameCount];

extern bool ThemeLibraryLoaded;
extern HMODULE ThemeLibrary;
// The four the combo box calls; nil until bound.
extern OpenThemeDataProc OpenThemeData;
extern CloseThemeDataProc CloseThemeData;
extern DrawThemeBackgroundProc DrawThemeBackground;
extern IsThemeActiveProc IsThemeActive;
// Every bound entry by its position in kBoundNames (the four above too);
// the others carry no signature (nothing calls them).
extern FARPROC BoundEntries[kBoundNameCount];

// Asks for "UXTHEME.DLL": a handle of 32 or more sets the flag and binds the
// names in order (a missing name raises EAssertionFailed naming this unit
// and the binding); a lower one clears the flag and binds nothing. Does
// nothing when the flag is already set.
void LoadUxTheme();
// Frees the library when the flag is set.
void FreeUxTheme();

}  // namespace acxpvs
