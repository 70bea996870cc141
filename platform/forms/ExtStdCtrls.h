// More standard controls: the edit, the list boxes, the panel, the paint
// box, and the concrete group and combo boxes.
//
// TEdit: a hosted one-line edit (a Qt line edit inside our windowed
// control). Setting Text from code to a new text fires OnChange, as the
// user's typing does; the selection (SelStart, SelLength) and SelText (the
// text replacing the selection at the caret) read and write the hosted
// edit's. Keys reach KeyDown and KeyPress (and their events) before the
// hosted edit: a handler that sets the key to 0 swallows it. Leaving the
// edit (another control of the form takes the focus) fires OnExit.
// TListBox: a hosted list of texts, one chosen (ItemIndex, -1 for none;
// setting it from code fires nothing). A user's click on an item chooses
// it and fires OnClick; a double click fires OnDblClick; a button released
// over the list fires OnMouseUp. ItemAtPos answers the item under a point.
// TCheckListBox: a list box whose items carry a tick (Checked); the user's
// toggle of a tick fires OnClickCheck, setting it from code fires nothing.
// TPanel: our own painted container: its colour, a raised or lowered
// bevel and its caption centred.
// TPaintBox: our own non-windowed control that its OnPaint draws on
// Canvas.
//
// Without a window system (no widget yet) each control keeps its state and
// the hosted widget takes it when it is made.
//
// Threads: main thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/Controls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/StdCtrls.h"

class TEdit : public TWinControl {
  KESTRUNE_CLASS(TEdit, TWinControl)
  explicit TEdit(TComponent* owner);
  ~TEdit() override;

  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  // The caret's place (characters before it) and the selection's length.
  int SelStart() const;
  void SetSelStart(int value);
  int SelLength() const;
  void SetSelLength(int value);
  void SelectAll();
  // The selected text; setting it replaces the selection (inserts at the
  // caret when nothing is selected) and puts the caret after the new text.
  std::string SelText() const;
  void SetSelText(const std::string& value);

  TNotifyEvent OnChange;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  // Fires OnChange.
  virtual void Change();

 private:
  struct Host;
  friend struct Host;
  void UserEdited(const std::string& text);

  std::string text_;
  int sel_start_ = 0;
  int sel_length_ = 0;
  // Owned by this control; its widget pointers are cleared when Qt destroys them.
  std::unique_ptr<Host> host_;
};

class TCustomListBox;

// The item texts of a list box; changes reach the hosted list.
class TListBoxStrings : public TPersistent {
  KESTRUNE_CLASS(TListBoxStrings, TPersistent)
  int Count() const { return static_cast<int>(items_.size()); }
  // Raise EStringListError for an index out of range.
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& text);
  int Add(const std::string& text);
  void Delete(int index);
  void Clear();

 private:
  friend class TCustomListBox;
  TCustomListBox* owner_ = nullptr;
  std::vector<std::string> items_;
};

class TCustomListBox : public TWinControl {
  KESTRUNE_CLASS(TCustomListBox, TWinControl)
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TListBoxStrings* Items() const { return items_; }
  int ItemIndex() const { return item_index_; }
  // A value out of range becomes -1. Fires nothing.
  void SetItemIndex(int value);
  // The item under `pos` (client coordinates); -1 when none, or with
  // `existing` False the index past the last item.
  int ItemAtPos(TPoint pos, bool existing) const;
  // Height of one row in pixels.
  int ItemHeight() const;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  // The user toggled the item's tick (check lists); the base does nothing.
  virtual void ItemTicked(int index);
  // Items carry ticks (check lists): set by the check list's constructor.
  void SetCheckable() { checkable_ = true; }
  bool Tick(int index) const;
  void SetTick(int index, bool checked);

 private:
  struct Host;
  friend struct Host;
  friend class TListBoxStrings;
  void ItemsChanged();

  TListBoxStrings* items_ = nullptr;
  std::vector<bool> ticks_;  // one per item
  int item_index_ = -1;
  bool checkable_ = false;
  // Owned by this control; its widget pointers are cleared when Qt destroys them.
  std::unique_ptr<Host> host_;
};

class TListBox : public TCustomListBox {
  KESTRUNE_CLASS(TListBox, TCustomListBox)
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

class TCheckListBox : public TCustomListBox {
  KESTRUNE_CLASS(TCheckListBox, TCustomListBox)
  explicit TCheckListBox(TComponent* owner);

  // False for an index out of range.
  bool Checked(int index) const { return Tick(index); }
  // Ignored for an index out of range; fires nothing.
  void SetChecked(int index, bool value) { SetTick(index, value); }

  TNotifyEvent OnClickCheck;

 protected:
  // Fires OnClickCheck.
  void ItemTicked(int index) override;
};

enum TPanelBevel { bvNone, bvLowered, bvRaised };

class TPanel : public TCustomControl {
  KESTRUNE_CLASS(TPanel, TCustomControl)
  explicit TPanel(TComponent* owner);
  TPanelBevel BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TPanelBevel value);

 protected:
  void Paint() override;
  void CMTextChanged() override;

 private:
  TPanelBevel bevel_outer_ = bvRaised;
};

class TPaintBox : public TGraphicControl {
  KESTRUNE_CLASS(TPaintBox, TGraphicControl)
  explicit TPaintBox(TComponent* owner);
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
  KESTRUNE_CLASS(TGroupBox, TCustomGroupBox)
  explicit TGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}
};

class TComboBox : public TCustomComboBox {
  KESTRUNE_CLASS(TComboBox, TCustomComboBox)
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

// Registers the published properties of the controls above (the forms
// unit's start-up).
void RegisterExtStdControlClasses();
