#include "platform/classes/ActnList.h"

#include <algorithm>

#include "platform/classes/TypInfo.h"

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  const std::vector<TControl*> clients = clients_;
  for (TControl* c : clients)
    c->SetAction(nullptr);
}

bool TBasicAction::Execute() {
  if (!OnExecute.Assigned())
    return false;
  OnExecute(this);
  return true;
}

void TBasicAction::RegisterClient(TControl* client) {
  if (std::find(clients_.begin(), clients_.end(), client) == clients_.end())
    clients_.push_back(client);
}

void TBasicAction::UnRegisterClient(TControl* client) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
}

void TBasicAction::Change() {
  const std::vector<TControl*> clients = clients_;
  for (TControl* c : clients)
    c->ActionChange(this);
}

TAction::TAction(TComponent* owner) : TBasicAction(owner) {}

TAction::~TAction() {
  SetActionList(nullptr);
}

void TAction::SetCaption(const std::string& value) {
  if (value == caption_)
    return;
  caption_ = value;
  Change();
}

void TAction::SetHint(const std::string& value) {
  if (value == hint_)
    return;
  hint_ = value;
  Change();
}

void TAction::SetChecked(bool value) {
  if (value == checked_)
    return;
  checked_ = value;
  Change();
}

void TAction::SetEnabled(bool value) {
  if (value == enabled_)
    return;
  enabled_ = value;
  Change();
}

void TAction::SetVisible(bool value) {
  if (value == visible_)
    return;
  visible_ = value;
  Change();
}

void TAction::SetActionList(TActionList* list) {
  if (list == action_list_)
    return;
  if (action_list_ != nullptr) {
    auto& v = action_list_->actions_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  action_list_ = list;
  if (list != nullptr)
    list->actions_.push_back(this);
}

TComponent* TAction::GetParentComponent() const {
  return action_list_;
}

void TAction::SetParentComponent(TComponent* parent) {
  if (auto* list = dynamic_cast<TActionList*>(parent))
    SetActionList(list);
}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {}

TActionList::~TActionList() {
  const std::vector<TAction*> actions = actions_;
  for (TAction* a : actions)
    a->SetActionList(nullptr);
}

TAction* TActionList::Actions(int index) const {
  if (index < 0 || index >= ActionCount())
    throw EListError(Format("Indice de liste hors limites (%d)", {index}));
  return actions_[static_cast<size_t>(index)];
}

void RegisterActionClasses() {
  RegisterClass<TActionList>();
  RegisterClass<TAction>()
      .String("Caption", &TAction::Caption, &TAction::SetCaption, "")
      .Bool("Checked", &TAction::Checked, &TAction::SetChecked, false)
      .Bool("Enabled", &TAction::Enabled, &TAction::SetEnabled, true)
      .String("Hint", &TAction::Hint, &TAction::SetHint, "")
      .Bool("Visible", &TAction::Visible, &TAction::SetVisible, true)
      .Event("OnExecute", &TAction::OnExecute, &TAction::OnExecute);
}
