// Actions: named commands that menus and controls share.
//
// TBasicAction is a component with an execute event and a list of client
// controls; TAction adds the caption, hint, checked, enabled and visible
// state that its clients show (TControl::ActionChange); TActionList holds
// actions (a stored description nests them in the list's block). Freeing an
// action detaches it from its clients.
//
// Threads: main thread.
#pragma once

#include <string>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/classes/Controls.h"

class TActionList;

class TBasicAction : public TComponent {
  KESTRUNE_CLASS(TBasicAction, TComponent)
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;

  // Fires OnExecute; returns whether a handler ran.
  virtual bool Execute();
  TNotifyEvent OnExecute;

  // Clients (controls whose Action is this one), told of every change.
  void RegisterClient(TControl* client);
  void UnRegisterClient(TControl* client);
  int ClientCount() const { return static_cast<int>(clients_.size()); }

 protected:
  // Tells every client.
  void Change();

 private:
  std::vector<TControl*> clients_;
};

class TAction : public TBasicAction {
  KESTRUNE_CLASS(TAction, TBasicAction)
  explicit TAction(TComponent* owner);
  ~TAction() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  TActionList* ActionList() const { return action_list_; }
  void SetActionList(TActionList* list);
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

 private:
  std::string caption_;
  std::string hint_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  TActionList* action_list_ = nullptr;
};

class TActionList : public TComponent {
  KESTRUNE_CLASS(TActionList, TComponent)
  explicit TActionList(TComponent* owner);
  ~TActionList() override;

  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TAction* Actions(int index) const;

 private:
  friend class TAction;
  std::vector<TAction*> actions_;
};

// Registers the published properties of the action classes. Idempotent;
// call from a unit's start-up.
void RegisterActionClasses();
