#include "platform/forms/Buttons.h"

#include <QPushButton>

#include "platform/classes/TypInfo.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/Forms.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtTextPrivate.h"

using kestrune::CallFromQt;
using kestrune::HostWidget;

struct TButton::Host {
  QPushButton* button = nullptr;
};

TButton::TButton(TComponent* owner) : TWinControl(owner), host_(std::make_unique<Host>()) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  ControlStyle.Exclude(csClickEvents);  // the hosted button says when it is clicked
  ControlStyle.Exclude(csCaptureMouse);
}

TButton::~TButton() = default;

void TButton::SetDefault(bool value) {
  if (value == default_)
    return;
  default_ = value;
  if (host_->button != nullptr)
    host_->button->setDefault(value);
}

void TButton::Click() {
  // The result goes to the outermost form (a page form's button ends its
  // dialog), before the handler runs.
  if (modal_result_ != mrNone) {
    TForm* outer = nullptr;
    for (TWinControl* c = Parent(); c != nullptr; c = c->Parent()) {
      if (auto* form = dynamic_cast<TForm*>(c))
        outer = form;
    }
    if (outer != nullptr)
      outer->SetModalResult(modal_result_);
  }
  inherited::Click();
}

std::unique_ptr<kestrune::ControlWidget> TButton::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* button = new QPushButton(ToQString(Caption()), widget.get());
  button->setDefault(default_);
  QObject::connect(button, &QPushButton::clicked, [this] { CallFromQt([this] { Click(); }); });
  QObject::connect(button, &QObject::destroyed, [this] { host_->button = nullptr; });
  host_->button = button;
  widget->Host(button);
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void TButton::CMTextChanged() {
  inherited::CMTextChanged();
  if (host_->button != nullptr)
    host_->button->setText(ToQString(Caption()));
}

void RegisterButtonClasses() {
  RegisterClass<TButton>()
      .Bool("TabStop", &TButton::TabStop, &TButton::SetTabStop, true)
      .Bool("Default", &TButton::Default, &TButton::SetDefault, false)
      .Bool("Cancel", &TButton::Cancel, &TButton::SetCancel, false)
      .Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, mrNone);
}
