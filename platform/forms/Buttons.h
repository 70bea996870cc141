// TButton: a push button, a hosted Qt push button inside our windowed
// control (the program talks to this class only).
//
// Its caption marks the accelerator with "&" ("&&" for an "&" itself).
// Default makes it the button Enter presses on its form, Cancel the one
// Escape presses; ModalResult is what a click makes of the form's modal
// result (kept for the dialogs that show modally). A user's click, or
// Click from code, fires OnClick once.
//
// Threads: main thread.
#pragma once

#include <memory>

#include "platform/classes/Controls.h"
#include "platform/forms/Controls.h"

// A dialog's result.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;

class TButton : public TWinControl {
  KESTRUNE_CLASS(TButton, TWinControl)
  explicit TButton(TComponent* owner);
  ~TButton() override;

  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult value) { modal_result_ = value; }

  // Presses the button: fires the action or OnClick.
  void Click() override;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  void CMTextChanged() override;

 private:
  struct Host;
  bool default_ = false;
  bool cancel_ = false;
  TModalResult modal_result_ = mrNone;
  std::unique_ptr<Host> host_;
};

// Registers TButton's published properties (the forms unit's start-up).
void RegisterButtonClasses();
