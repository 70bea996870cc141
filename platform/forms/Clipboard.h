// The clipboard: one object for the process (Clipboard()), on the system
// clipboard through Qt.
//
// Assigning a bitmap puts its picture on the system clipboard as an image,
// in every image type Qt offers for one (PNG among them, and the system's
// own bitmap types), so that it pastes into image editors and office
// programs. Under X11 the program itself serves the clipboard: the picture
// lasts while the program runs, or until another program (a clipboard
// manager) takes it over, or something else is copied.
//
// Errors: EClipboardException when there is no clipboard (no Qt application
// object) or the source is no bitmap.
//
// Threads: main thread.
#pragma once

#include "platform/classes/Classes.h"

class QImage;

KESTRUNE_EXCEPTION(EClipboardException, Exception)

class TClipboard {
 public:
  // A bitmap's picture onto the clipboard (the clipboard keeps a copy).
  void Assign(TPersistent* source);
  // The clipboard's image now (null when it holds none).
  QImage Image() const;
};

TClipboard* Clipboard();
