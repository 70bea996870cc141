#include "controls/acxpvs.h"

#include <string>

#include "platform/rtl/SysUtils.h"

namespace acxpvs {

const char* const kBoundNames[kBoundNameCount] = {"OpenThemeData",
                                                  "CloseThemeData",
                                                  "DrawThemeBackground",
                                                  "DrawThemeText",
                                                  "GetThemeBackgroundContentRect",
                                                  "GetThemeBackgroundExtent",
                                                  "GetThemeTextExtent",
                                                  "GetThemeTextMetrics",
                                                  "GetThemeBackgroundRegion",
                                                  "HitTestThemeBackground",
                                                  "DrawThemeEdge",
                                                  "DrawThemeIcon",
                                                  "IsThemePartDefined",
                                                  "IsThemeBackgroundPartiallyTransparent",
                                                  "GetThemeColor",
                                                  "GetThemeMetric",
                                                  "GetThemeString",
                                                  "GetThemeBool",
                                                  "GetThemeInt",
                                                  "GetThemeEnumValue",
                                                  "GetThemePosition",
                                                  "GetThemeFont",
                                                  "GetThemeRect",
                                                  "GetThemeMargins",
                                                  "GetThemeIntList",
                                                  "SetWindowTheme",
                                                  "GetThemeFilename",
                                                  "GetThemeSysColor",
                                                  "GetThemeSysColorBrush",
                                                  "GetThemeSysBool",
                                                  "GetThemeSysSize",
                                                  "GetThemeSysFont",
                                                  "GetThemeSysString",
                                                  "GetThemeSysInt",
                                                  "IsThemeActive",
                                                  "IsAppThemed",
                                                  "GetWindowTheme",
                                                  "EnableThemeDialogTexture",
                                                  "IsThemeDialogTextureEnabled",
                                                  "GetThemeAppProperties",
                                                  "SetThemeAppProperties",
                                                  "GetCurrentThemeName",
                                                  "GetThemeDocumentationProperty",
                                                  "DrawThemeParentBackground",
                                                  "EnableTheming"};

bool ThemeLibraryLoaded = false;
HMODULE ThemeLibrary = 0;
OpenThemeDataProc OpenThemeData = nullptr;
CloseThemeDataProc CloseThemeData = nullptr;
DrawThemeBackgroundProc DrawThemeBackground = nullptr;
IsThemeActiveProc IsThemeActive = nullptr;
FARPROC BoundEntries[kBoundNameCount] = {};

void LoadUxTheme() {
  if (ThemeLibraryLoaded)
    return;
  ThemeLibrary = LoadLibrary("UXTHEME.DLL");
  if (ThemeLibrary < 32) {
    ThemeLibraryLoaded = false;
    return;
  }
  ThemeLibraryLoaded = true;
  for (int i = 0; i < kBoundNameCount; ++i) {
    BoundEntries[i] = GetProcAddress(ThemeLibrary, kBoundNames[i]);
    KESTRUNE_ASSERT(BoundEntries[i] != nullptr, std::string("acxpvs: ") + kBoundNames[i] +
                                                    " not found (binding " + std::to_string(i + 1) +
                                                    ")");
  }
  OpenThemeData = reinterpret_cast<OpenThemeDataProc>(BoundEntries[0]);
  CloseThemeData = reinterpret_cast<CloseThemeDataProc>(BoundEntries[1]);
  DrawThemeBackground = reinterpret_cast<DrawThemeBackgroundProc>(BoundEntries[2]);
  IsThemeActive = reinterpret_cast<IsThemeActiveProc>(BoundEntries[34]);
}

void FreeUxTheme() {
  if (!ThemeLibraryLoaded)
    return;
  FreeLibrary(ThemeLibrary);
  ThemeLibraryLoaded = false;
}

}  // namespace acxpvs
