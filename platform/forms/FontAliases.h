// Stand-ins for the Windows font faces our forms and controls name.
//
// The stored descriptions name faces this system does not have ("Tahoma",
// "MS Sans Serif", "Arial"). Texts must measure close to the design, so each
// is mapped to an installed face of the same width class: Liberation Sans,
// Arial's metric twin (Debian's fonts-liberation2). Where the named face
// itself is installed it still wins; the stand-in only fills its absence.
//
// Threads: main thread, once Qt's application object exists.
#pragma once

namespace kestrune {

// Adds the stand-ins to Qt's font substitution table. Idempotent.
void InstallFontAliases();

}  // namespace kestrune
