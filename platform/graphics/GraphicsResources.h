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

#include "platform/classes/Types.h"
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
