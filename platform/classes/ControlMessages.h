// The numbers of the class library's component messages (CM_...), the
// control-notification forms (CN_...) and the window messages the control
// bases dispatch, for code that sends them through Perform. The stand-in's
// controls get their own change notifications as virtual calls
// (platform/classes/Controls.h); these numbers serve the messages that come
// through Perform and WndProc.
#pragma once

#include "platform/classes/Messages.h"

inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_PRINT = 0x0317;
inline constexpr UINT WM_PRINTCLIENT = 0x0318;
inline constexpr UINT WM_DRAWITEM = 0x002B;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;

inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
inline constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
inline constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr UINT CM_HITTEST = CM_BASE + 10;
inline constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
inline constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
inline constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
inline constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
inline constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
inline constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
inline constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
inline constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
inline constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
inline constexpr UINT CM_HINTSHOW = CM_BASE + 48;
inline constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
inline constexpr UINT CN_BASE = 0xBC00;
inline constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;

// Dialog codes (WM_GETDLGCODE's answer).
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_HASSETSEL = 0x0008;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;
inline constexpr LRESULT DLGC_BUTTON = 0x2000;

// The system command that moves a window with the pointer, as its caption
// does.
inline constexpr WPARAM SC_DRAGMOVE = 0xF012;
