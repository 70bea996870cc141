// Named resources compiled into the program: bitmaps and cursors.
//
// A resource is the bytes of a BMP file, registered under a name (case
// ignored) by the unit that brings it (the controls that use it); a cursor
// also has its hot spot. TBitmap::LoadFromResourceName reads a bitmap
// resource; the screen's cursor table reads cursor resources.
//
// Threads: registration during unit start-up; lookups on any thread after.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/Types.h"
#include "platform/gdiobj/Colors.h"
#include "platform/rtl/SysUtils.h"

KESTRUNE_EXCEPTION(EResNotFound, Exception)

enum class TResourceKind { Bitmap, Cursor };

struct TResource {
  TResourceKind kind;
  std::string name;
  std::string bytes;  // a BMP file
  TPoint hotSpot;     // cursors only
};

// Registers (or replaces) a resource; the bytes are copied.
void RegisterResource(TResourceKind kind, std::string_view name, std::string_view bmpBytes,
                      TPoint hotSpot = {});
// The resource, or nullptr.
const TResource* FindResource(TResourceKind kind, std::string_view name);
// The resource, or raises EResNotFound "Ressource <name> introuvable".
const TResource& ResourceByName(TResourceKind kind, std::string_view name);

// One letter of a picture drawn as rows of letters, and its colour.
struct TLetterColor {
  char letter;
  TColor color;
};

// Registers (or replaces) a resource whose picture is drawn as rows of
// letters: rows[y][x] is the pixel (x, y), in the colour `palette` gives its
// letter, or `otherColor` for a letter the palette does not name. The
// picture is stored as a 24-bit BMP. Colours are plain RGB values (no
// system colours). There must be one row at least and every row as long as
// the first (KESTRUNE_ASSERT: EAssertionFailed, and nothing is registered).
void RegisterLetterBitmap(TResourceKind kind, std::string_view name,
                          const std::vector<std::string>& rows,
                          const std::vector<TLetterColor>& palette, TColor otherColor,
                          TPoint hotSpot = {});
