#include "platform/classes/CustomForm.h"

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  // A form is hidden until shown.
  SetVisible(false);
  ControlStyle.Include(csAcceptsControls);
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::BeforeDestruction() {
  if (OnDestroy.Assigned())
    OnDestroy(this);
  active_control_ = nullptr;
  inherited::BeforeDestruction();
}

void TCustomForm::AfterConstruction() {
  inherited::AfterConstruction();
  DoCreate();
}

void TCustomForm::DoCreate() {
  if (OnCreate.Assigned())
    OnCreate(this);
}

namespace {

// The control and its parents below the form are visible and enabled, and
// the form enabled (a hidden form keeps its active control for when it is
// shown).
bool CanTakeFocusIn(const TWinControl* control, const TCustomForm* form) {
  for (const TControl* c = control; c != form; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled())
      return false;
  }
  return form->Enabled();
}

void TellFocusChanged(TWinControl* parent, TWinControl* focused,
                      void (*tell)(TWinControl*, TWinControl*)) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    if (auto* win = dynamic_cast<TWinControl*>(parent->Controls(i))) {
      tell(win, focused);
      TellFocusChanged(win, focused, tell);
    }
  }
}

}  // namespace

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == active_control_)
    return;
  if (control != nullptr) {
    if (control->ParentForm() != this || control == this)
      throw EInvalidOperation("Le contrôle n'est pas sur cette fiche");
    if (!CanTakeFocusIn(control, this))
      throw EInvalidOperation("Impossible de focaliser une fenêtre désactivée ou invisible");
  }
  TWinControl* old = active_control_;
  active_control_ = control;
  if (old != nullptr) {
    old->WMKillFocus();
    old->DoExit();
  }
  auto tell = [](TWinControl* c, TWinControl* focused) { c->CMFocusChanged(focused); };
  CMFocusChanged(control);
  TellFocusChanged(this, control, tell);
  if (control != nullptr && active_control_ == control) {
    control->DoEnter();
    control->WMSetFocus();
    if (control->Widget() != nullptr)
      control->Widget()->SetFocus();
  }
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == active_control_)
    active_control_ = nullptr;
}
