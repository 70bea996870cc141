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
// TForm is a form with a visible top-level window. It extends the windowless
// form base TCustomForm (platform/classes/CustomForm.h: the root of component
// paths, the hidden message window, OnCreate) with a Qt window made on first
// need (Show, or Visible set). The window is private to this module: no Qt
// type appears here. Everything TForm adds that does not need the window
// (caption, bounds, close logic, events) is plain state that the window
// mirrors, so it can move into the base when a windowless caller needs it.
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
#include <type_traits>

#include "platform/classes/Classes.h"
#include "platform/classes/CustomForm.h"
#include "platform/classes/Units.h"

// What closing a form does after its OnClose: nothing (caNone) or hide the
// window (caHide, the default). Closing the main form with any action but
// caNone terminates the application instead.
enum TCloseAction { caNone, caHide };

using TCloseEvent = TMethod<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TMethod<void(TObject* Sender, bool& CanClose)>;

class TForm : public TCustomForm {
  KESTRUNE_CLASS(TForm, TCustomForm)
  // Makes no window yet (see the file comment).
  explicit TForm(TComponent* owner);
  // Destroys the window. Qt's application object must still exist then: the
  // application frees its forms before it destroys Qt's.
  ~TForm() override;

  // Also the window's title, which is how a window manager (and our
  // whole-program test) finds it.
  void SetCaption(const std::string& caption) override;

  // Position of the window's outer frame on the screen, and the size of its
  // client area. (With a window manager that adds a frame, a Width that
  // includes the frame would need the frame's size, which is only known once
  // the window is shown; no caller needs that yet.)
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  // A negative width or height is refused with EInvalidOperation.
  void SetBounds(int left, int top, int width, int height);

  bool Visible() const;
  // Showing makes the window when it does not exist yet; raises
  // EInvalidOperation when Application->Initialize has not run.
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

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

 protected:
  // Runs OnCreate; an exception it raises goes to the central handler and
  // the form is still made.
  void DoCreate() override;
  // Runs OnClose.
  virtual void DoClose(TCloseAction& action);

 private:
  class Window;  // the Qt top-level window (Forms.cpp)

  // Makes the window when it does not exist. Raises EInvalidOperation before
  // Application->Initialize.
  Window& WindowNeeded();

  std::unique_ptr<Window> window_;
  // The bounds while no window exists; the window holds them afterwards.
  int left_ = 0;
  int top_ = 0;
  int width_ = 640;
  int height_ = 480;
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
  TForm* main_form_ = nullptr;
  std::string exe_name_;
  std::string title_;
};

// The application object; null outside FormsUnit's start-up and shutdown.
extern TApplication* Application;

// Start-up makes `Application`; shutdown frees its forms and then it.
extern TUnit FormsUnit;
