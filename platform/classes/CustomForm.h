// The windowless form base.
//
// TCustomForm is a component that roots a tree of components (the root of
// pin paths and of stored descriptions) and may own a hidden message window:
// HandleNeeded creates it, and every message posted to it reaches the form's
// replaceable WindowProc on the main thread. Code that must hand work to the
// main thread without any visible window (the main-thread notification, the
// spectrum component's delivery) makes a TCustomForm with no owner, takes its
// Handle, and replaces WindowProc, keeping the previous one for the messages
// it does not handle. The widget form of the program (platform/forms) derives
// from it and adds the visible window.
//
// Threads: create, free, HandleNeeded and WindowProc changes on the main
// thread; PostMessage to Handle() from any thread.
#pragma once

#include <string>

#include "platform/classes/Classes.h"
#include "platform/win/Messages.h"

using TWndMethod = TMethod<void(TMessage&)>;
using TNotifyEvent = TMethod<void(TObject*)>;

class TCustomForm : public TComponent {
  KESTRUNE_CLASS(TCustomForm, TComponent)
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  // The hidden message window, created on first use.
  HWND Handle();
  void HandleNeeded() { (void)Handle(); }
  bool HandleAllocated() const { return handle_ != HWND{}; }

  // Receives every message of the window; by default WndProc. Replace it to
  // intercept messages, and pass the others to the previous value.
  TWndMethod WindowProc;

  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& caption) { caption_ = caption; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

 protected:
  // The default message handling: nothing.
  virtual void WndProc(TMessage& message);
  // Runs OnCreate (called once construction is complete).
  virtual void DoCreate();

 private:
  HWND handle_{};
  std::string caption_;
};
