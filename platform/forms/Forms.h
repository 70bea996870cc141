// The application object and the widget form.
//
// TApplication is the program's application object: the global `Application`,
// made by the Forms unit's start-up (FormsUnit) and freed by its shutdown. It
// owns the forms made through CreateForm. Its life cycle is the program's:
//
//   FormsUnit.Initialize()      `Application` exists; nothing of Qt does yet.
//   Application->Initialize()   creates Qt's application object, the main loop
//                               (unless one exists already) on Qt's backend,
//                               and makes HandleException the loop's central
//                               exception handler.
//   Application->CreateForm(f)  makes a form owned by the application; the
//                               first form made is MainForm.
//   Application->Run()          shows MainForm and runs the loop until
//                               Terminate; closing MainForm terminates.
//   FormsUnit.Finalize()        frees the forms (and their windows) while
//                               `Application` and Qt still exist, then takes
//                               the Qt backend out of the loop and destroys
//                               Qt's application object: nothing touches Qt
//                               afterwards.
//
// TForm is a form with a visible top-level window, the windowed parent of
// its controls. It extends the windowless form base TCustomForm
// (platform/classes/CustomForm.h: the root of component paths, the hidden
// message window, the active control, OnCreate; itself a TWinControl) with
// a Qt window made on first need (Show, or Visible set) and a back buffer
// like every painted control (platform/forms/Controls.h). A form reads the
// description registered for its class before its OnCreate and stays hidden
// until shown (Application->Run shows the main form). The window is private
// to this module: no Qt type appears here; the bounds, caption and borders
// are plain state that the window mirrors.
//
// A form with a parent (SetParent before it is first shown) is placed
// inside that control as a plain child window, without a frame: a page form
// filling its tab sheet.
//
// A form may show a main menu (Menu): its bar lies above the client area,
// as high as the tallest root item (0 without visible root items), so the
// window grows by the bar's height while ClientWidth, ClientHeight and the
// controls' coordinates stay those of the client area. The bar is painted
// by the menu's items (PaintMenuBar); the form's mouse input over the bar,
// over the drop-down windows and its keys go to the menu's tracker first
// (TMenuTracker): Alt (pressed and released alone) or F10 select the bar, a
// mnemonic with Alt opens its root item, an item's shortcut runs it, and a
// press anywhere else in the form while a menu is open closes it (and does
// nothing more). A hovered item's sub-menu opens after
// TMenuTracker::SubMenuDelayMs.
//
// TScreen (the global `Screen`) answers the screen's size, its fonts, the
// menu font, the focus and the cursor table; GetCursorPos,
// GetAsyncKeyState and FindDragTarget answer where the pointer is, which
// buttons are down and which control lies under the pointer.
//
// Errors: an exception that escapes a form's OnCreate, or any handler Qt
// calls (the window manager's close query included), reaches the central
// handler, HandleException, which shows it in a message box (on stderr when
// there is no screen) and lets the loop go on.
//
// Threads: all of this runs on the main thread.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/classes/Classes.h"
#include "platform/classes/CustomForm.h"
#include "platform/classes/Units.h"
#include "platform/forms/Controls.h"

// What closing a form does after its OnClose: nothing (caNone) or hide the
// window (caHide, the default). Closing the main form with any action but
// caNone terminates the application instead.
enum TCloseAction { caNone, caHide };

using TCloseEvent = TMethod<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TMethod<void(TObject* Sender, bool& CanClose)>;

// The form's frame: none, single (fixed size), sizeable, or a dialog's
// (fixed size, no minimise or maximise box).
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
// Boxes of the title bar: a set, bit i for the i-th value.
enum TBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = uint8_t;
constexpr TBorderIcons BorderIconBit(TBorderIcon icon) {
  return static_cast<TBorderIcons>(1u << icon);
}
// Where the form appears when it is first shown: at its stored position, or
// centred on the screen.
enum TPosition { poDesigned, poScreenCenter };

class TMainMenu;
class TMenuTracker;
class TGraphic;

class TForm : public TCustomForm {
  KESTRUNE_CLASS(TForm, TCustomForm)
  // Makes no window yet (see the file comment). Hidden, 640 x 480, colour
  // clBtnFace, the default font.
  explicit TForm(TComponent* owner);
  // Destroys the window. Qt's application object must still exist then: the
  // application frees its forms before it destroys Qt's.
  ~TForm() override;

  // Also the window's title, which is how a window manager (and our
  // whole-program test) finds it.
  void SetCaption(const std::string& caption) override;

  // Left and Top are the position of the window's outer frame on the
  // screen; Width and Height the size of its client area (the frame a
  // window manager adds is not known before the window is shown, and no
  // caller needs it), so ClientWidth = Width. A negative width or height is
  // refused with EInvalidOperation.
  void SetBounds(int left, int top, int width, int height) override;
  void SetClientSize(int width, int height) override;

  // Showing makes the window when it does not exist yet; raises
  // EInvalidOperation when Application->Initialize has not run.
  void SetVisible(bool visible) override;

  // The frame and the title-bar boxes are given to the window when it is
  // made (the first Show); a single or dialog frame fixes the window's size.
  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle value);
  TBorderIcons BorderIcons() const { return border_icons_; }
  void SetBorderIcons(TBorderIcons value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value);

  // Asks the form to close: CloseQuery, then (when it agreed) OnClose with
  // caHide, then the action: the main form terminates the application,
  // another form hides its window. Handler exceptions pass to the caller
  // (for the window manager's close query, Qt's entry hands them to the
  // central handler; the window then stays open).
  void Close();
  // Runs OnCloseQuery with CanClose True and returns its answer.
  virtual bool CloseQuery();

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  // Shows the form as a modal window and runs a nested loop (which may
  // start inside any handler, a mouse press included) until ModalResult
  // turns non-zero or the form is closed (mrCancel); then hides the form
  // and returns the result. The test hook (FormsTestingPrivate.h,
  // SetModalFormAnswerer) answers instead of the loop while it is set.
  int ShowModal();
  // A button with a ModalResult sets it on its form when clicked; any
  // non-zero value ends ShowModal's loop.
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int value) { modal_result_ = value; }
  // A dialog key (Enter, Esc) that reached `control` of this form (or of a
  // form placed inside it) and that its key handlers left alone, before it
  // types anything: Enter clicks the form's visible, enabled default button,
  // Esc its cancel button. True when the key was used (nothing types it
  // then).
  virtual bool DialogKey(uint16_t key, TShiftState shift, TWinControl* control);

  // The main menu the form shows as its bar; null for none. The form
  // measures it again when it is set (and after loading).
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* value);
  // The bar's height in pixels: 0 without a menu.
  int MenuBarHeight() const;
  // What the user is doing with the menu; null without a menu. Its bar
  // origin is the window's place on the screen now.
  TMenuTracker* MenuTracker() const;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // Reads the description registered for the form's class (when there is
  // one), then runs OnCreate. A description that cannot be read raises
  // from the construction (Create<T> and CreateForm pass it on); an
  // exception OnCreate raises goes to the central handler and the form is
  // still made.
  void DoCreate() override;
  // Runs OnClose.
  virtual void DoClose(TCloseAction& action);
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  void Loaded() override;

 private:
  // The menu's items or bar changed: the window takes the bar's height and
  // paints it again.
  void MenuBarChanged();
  void ReleaseMenu();
  TMainMenu* menu_ = nullptr;
  TMenuTracker* tracker_ = nullptr;
  TFormBorderStyle border_style_ = TFormBorderStyle::bsSizeable;
  TBorderIcons border_icons_ =
      BorderIconBit(biSystemMenu) | BorderIconBit(biMinimize) | BorderIconBit(biMaximize);
  TPosition position_ = poDesigned;
  bool positioned_ = false;  // the first show placed the window
  int modal_result_ = 0;
};

class TApplication : public TComponent {
  KESTRUNE_CLASS(TApplication, TComponent)
  explicit TApplication(TComponent* owner);
  // Frees the owned forms, then leaves Qt (see the file comment).
  ~TApplication() override;

  // Creates Qt's application object (or adopts one that exists), the main
  // loop unless MainLoop::Current() exists (in which case its backend is
  // replaced), installs Qt's loop backend, the font aliases and the central
  // exception handler. Later calls do nothing. Without a usable display Qt
  // itself stops the process with its own message.
  void Initialize();
  bool Initialized() const;

  // Makes a T (a component class) owned by the application and stores it in
  // `reference` once it is complete (its OnCreate has run). The first TForm
  // made this way becomes MainForm. An exception from T's construction passes
  // to the caller; `reference` is then left alone.
  template <class T>
  void CreateForm(T*& reference) {
    static_assert(std::is_base_of_v<TComponent, T>, "CreateForm makes components");
    T* instance = Create<T>(this);
    reference = instance;
    FormCreated(instance);
  }

  // Shows MainForm (when there is one) and runs the main loop until
  // Terminate. Requires Initialize.
  void Run();
  // Dispatches pending window events and serves every call pending at entry,
  // once, without waiting. May be called from inside a handler (waits that
  // keep the window alive do). Requires Initialize.
  void ProcessMessages();
  // Makes Run return once the current pass is done; stays set. Requires
  // Initialize.
  void Terminate();
  bool Terminated() const;

  // The form that ends the application when it closes; null before the
  // first CreateForm of a form, or once that form is freed.
  TForm* MainForm() const { return main_form_; }

  // The text the application's message boxes carry as their title: the
  // executable's name without extension until set.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  // The absolute path of the running executable.
  const std::string& ExeName() const { return exe_name_; }

  // Milliseconds the pointer rests on a control before its hint shows.
  int HintPause = 500;
  // The hint windows' background.
  TColor HintColor = clInfoBk;
  // The program's icon: a 32 x 32 picture of ours, compiled in, made on
  // first use and owned by the application (AppIcon.cpp).
  TGraphic* Icon();

  // The central exception handler: shows the exception's text in a message
  // box titled with Title, or writes it on a line to stderr when headless
  // (before Initialize, or on a platform with no screen such as Qt's
  // "offscreen"). Returns once the box is closed (the loop keeps serving
  // meanwhile); never raises.
  void HandleException(std::exception_ptr error);
  // True when HandleException writes to stderr instead of showing a box.
  bool Headless() const;

  void Notification(TComponent* component, TOperation operation) override;

 private:
  struct Impl;
  void FormCreated(TComponent* instance);

  std::unique_ptr<Impl> impl_;
  std::shared_ptr<TGraphic> icon_;
  TForm* main_form_ = nullptr;
  std::string exe_name_;
  std::string title_;
};

// Starts the window system's move of `form`'s window with the pointer, as a
// press on its caption does (the window follows the pointer until the button
// is released). False when the form has no window or the window system
// cannot move it.
bool BeginFormDrag(TForm* form);

// The application object; null outside FormsUnit's start-up and shutdown.
extern TApplication* Application;

// A cursor of the screen's table (0: none).
enum class HCURSOR : uintptr_t {};
// Makes a cursor from the cursor resource `name` (GraphicsResources.h).
// Raises EResNotFound when there is none.
HCURSOR LoadCursor(std::string_view name);

// The screen: its size, fonts, the focus, the cursors.
class TScreen : public TComponent {
  KESTRUNE_CLASS(TScreen, TComponent)
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  // Pixels of the primary screen (1024 x 768 before Qt exists).
  int Width() const;
  int Height() const;
  // The installed font families and the substituted faces ("Tahoma", "MS
  // Sans Serif", "Arial"), sorted, each once. Needs Qt's application object.
  TStringList* Fonts();
  // The menus' font: "Tahoma", height -11.
  TFont* MenuFont() const { return menu_font_; }
  // The active form's active control, or null.
  TWinControl* ActiveControl() const;
  // The form whose window is active (the last form shown), or null.
  TCustomForm* ActiveForm() const;
  // The cursor shown over every control while not crDefault.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  // The cursor table: the standard shapes at their (negative) identifiers,
  // the program's own at the slots it sets (a null handle for an empty one).
  HCURSOR Cursors(int index) const;
  void SetCursors(int index, HCURSOR cursor);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  TFont* menu_font_ = nullptr;
  TCursor cursor_ = crDefault;
};

// The screen object; exists between FormsUnit's start-up and shutdown.
extern TScreen* Screen;

// The pointer's position on the screen.
bool GetCursorPos(TPoint* point);
// Bit 15 set while the key or mouse button is down (VK_LBUTTON, VK_RBUTTON,
// VK_MBUTTON, VK_SHIFT, VK_CONTROL, VK_MENU).
int16_t GetAsyncKeyState(int virtualKey);
// The control under the screen point `pos`: the innermost visible control
// of a shown form, enabled unless allowDisabled; null when none.
TControl* FindDragTarget(const TPoint& pos, bool allowDisabled);

// Start-up makes `Application`; shutdown frees its forms and then it.
extern TUnit FormsUnit;
