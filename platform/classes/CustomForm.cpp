#include "platform/classes/CustomForm.h"

TCustomForm::TCustomForm(TComponent* owner) : TComponent(owner) {
  WindowProc = TWndMethod(this, &TCustomForm::WndProc);
}

TCustomForm::~TCustomForm() {
  if (handle_ != HWND{}) kestrune::DestroyMessageWindow(handle_);
}

void TCustomForm::BeforeDestruction() {
  if (OnDestroy.Assigned()) OnDestroy(this);
  inherited::BeforeDestruction();
}

void TCustomForm::AfterConstruction() {
  inherited::AfterConstruction();
  DoCreate();
}

void TCustomForm::DoCreate() {
  if (OnCreate.Assigned()) OnCreate(this);
}

HWND TCustomForm::Handle() {
  if (handle_ == HWND{}) {
    // The window's handler reads WindowProc at each message, so a replaced
    // WindowProc takes effect at once.
    handle_ = kestrune::CreateMessageWindow([this](TMessage& message) { WindowProc(message); });
  }
  return handle_;
}

void TCustomForm::WndProc(TMessage& message) { (void)message; }
