// Test hooks: move the pointer, send input as the window system would, and
// render a form to an image. In Qt's types, so private to the Qt half and
// the tests.
//
// The input goes through Qt's event delivery to our widgets (so through the
// same entries as real input, CallFromQt included), synchronously: when a
// call returns, every handler has run. Mouse input goes to the widget under
// the screen point (an open menu's drop-down windows lie above the forms),
// or to the capturing control's widget while a button is down, and a
// release to the widget that got the press (as the window system grabs the
// pointer for it), with the buttons held so far.
//
// Threads: main thread, with Application->Initialize done.
#pragma once

#include <QImage>
#include <functional>
#include <string>

#include "platform/classes/Controls.h"

class TForm;
class QWidget;
class TCommonDialog;

namespace kestrune::testing {

// Moves the pointer to `screenPos` (GetCursorPos answers it from now on)
// and tells the controls it leaves and enters.
void SetPointer(TPoint screenPos);

enum class MouseAction { Press, Release, Move, DoubleClick };
// Moves the pointer to `screenPos`, then sends the action. Returns false
// when no widget of ours lies there.
bool SendMouse(MouseAction action, TPoint screenPos, TMouseButton button = mbLeft,
               TShiftState modifiers = {});
// A press and a release at `screenPos`.
bool Click(TPoint screenPos, TShiftState modifiers = {});
// The wheel turned by `delta` (WHEEL_DELTA per notch) with the pointer at
// `screenPos`.
bool SendWheel(TPoint screenPos, int delta, TShiftState modifiers = {});
// A key (a Qt key code) pressed and released on the form's window, with the
// text it types.
void SendKey(TForm* form, int qtKey, const std::string& text, TShiftState modifiers = {});

// The form's window as it shows now (its controls painted), client area
// only; shows nothing of a form without a window.
QImage RenderForm(TForm* form);
// The whole window as it shows now: the menu bar above the client area.
QImage RenderWindow(TForm* form);

// The Qt widget hosted in a standard control (check box, combo box), or
// null.
QWidget* HostedWidget(TWinControl* control);

// The common dialogs (Dialogs.h, ColorDialogs.h) answered without showing
// them: while an answerer is set, every dialog's Execute asks it instead of
// running its Qt dialog, with the dialog's kind and the dialog itself (its
// settings can be read). The answer cancels, or confirms with the value a
// user would give: for the save dialog the file name as typed (the dialog
// then adds its default extension), for the print dialog a PDF file to
// print into (empty: the printer as it is set up); the colour and font
// dialogs take no Value: the answerer sets the choice on the dialog itself
// (SetColor, Font()) before it confirms.
enum class DialogKind { Save, Print, Color, Font };
struct DialogAnswer {
  bool Confirmed = false;
  std::string Value;
};
using DialogAnswerer = std::function<DialogAnswer(DialogKind kind, TCommonDialog* dialog)>;
// An empty answerer brings the real dialogs back.
void SetDialogAnswerer(DialogAnswerer answerer);

// Our modal forms (TForm::ShowModal) answered without running their loop:
// while an answerer is set, ShowModal hands it the form, made and placed
// but not shown, and returns its answer as the modal result (mrOk, or
// mrCancel). The answerer may work the form's controls meanwhile, as a user
// would before closing it. An empty answerer runs the real loop again.
using ModalFormAnswerer = std::function<int(TForm* form)>;
void SetModalFormAnswerer(ModalFormAnswerer answerer);
// The answerer set now (empty when none); ShowModal asks it.
const ModalFormAnswerer& CurrentModalFormAnswerer();

}  // namespace kestrune::testing
