// The windowless form base.
//
// TCustomForm is a windowed control (platform/classes/Controls.h) that roots
// a tree of components (the root of pin paths and of stored descriptions)
// and may own a hidden message window: HandleNeeded creates it, and every
// message posted to it reaches the form's replaceable WindowProc on the main
// thread. Code that must hand work to the main thread without any visible
// window (the main-thread notification, the spectrum component's delivery)
// makes a TCustomForm with no owner, takes its Handle, and replaces
// WindowProc, keeping the previous one for the messages it does not handle.
// Such a form never gets a widget. The widget form of the program
// (platform/forms) derives from it and adds the visible window.
//
// The form keeps which of its controls has the focus (ActiveControl) and
// tells the controls of every change.
//
// Threads: create, free, HandleNeeded and WindowProc changes on the main
// thread; PostMessage to Handle() from any thread.
#pragma once

#include <string>

#include "platform/classes/Classes.h"
#include "platform/classes/Controls.h"
#include "platform/classes/Messages.h"

class TCustomForm : public TWinControl {
  KESTRUNE_CLASS(TCustomForm, TWinControl)
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  // The control that has the keyboard focus in this form, or null.
  TWinControl* ActiveControl() const { return active_control_; }
  // Moves the focus to `control` (a control of this form, or null). In
  // order: the old control's WMKillFocus and DoExit (OnExit), then every
  // control of the form gets CMFocusChanged, then the new control's DoEnter
  // (OnEnter) and WMSetFocus. Setting the control that has the focus does
  // nothing. Raises EInvalidOperation when `control` is not on this form, or
  // it or a parent below the form is hidden or disabled, or the form is
  // disabled (a hidden form keeps its active control until it is shown).
  void SetActiveControl(TWinControl* control);

  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

 protected:
  // Runs OnCreate (called once construction is complete).
  virtual void DoCreate();

 private:
  friend class TWinControl;
  TWinControl* active_control_ = nullptr;
};
