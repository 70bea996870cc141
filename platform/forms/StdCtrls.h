// The standard controls the program uses.
//
// TLabel (on TCustomLabel): a non-windowed caption, drawn with the control's font, optionally
// transparent and auto-sized to its text.
// TCheckBox: a hosted check box (a Qt check box inside our windowed
// control; the program talks to this class only). A user's click toggles
// it and fires OnClick once; setting Checked from code to a new state fires
// OnClick too, except while its form's description is being read; setting
// the state it has fires nothing.
// TCustomComboBox: a hosted combo box whose text is editable (csDropDown, and
// csSimple, which behaves the same) or a choice from the list only
// (csDropDownList). Setting ItemIndex or Text from code fires nothing; a
// user's choice from the list and each edit the user makes to the text fire
// OnChange once. Opening and closing the list fire OnDropDown and OnCloseUp;
// DroppedWidth (when above 0) is the opened list's least width. What a
// descendant draws in PaintOverlay lands on top of the hosted box's own
// painting.
// TCustomGroupBox: a custom-drawn group box; the base draws an etched frame
// with the caption on its top edge.
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

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// The label's behaviour, the base of TLabel and of other labels.
class TCustomLabel : public TGraphicControl {
  KESTRUNE_CLASS(TCustomLabel, TGraphicControl)
  explicit TCustomLabel(TComponent* owner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  // Stored only: nothing here moves the focus to it. Borrowed; cleared when
  // that control is freed.
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* value);

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void Paint() override;
  // Sizes the label to its text (AutoSize).
  void AdjustSize() override;
  void CMTextChanged() override;
  void CMFontChanged() override;

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool transparent_ = false;
  bool word_wrap_ = false;
  TWinControl* focus_control_ = nullptr;
};

class TLabel : public TCustomLabel {
  KESTRUNE_CLASS(TLabel, TCustomLabel)
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
  KESTRUNE_CLASS(TCheckBox, TWinControl)
  explicit TCheckBox(TComponent* owner);
  ~TCheckBox() override;

  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool value);
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState value);

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  void CMTextChanged() override;

 private:
  struct Host;
  friend struct Host;
  // The user toggled the hosted box.
  void UserToggled(bool checked);

  TCheckBoxState state_ = cbUnchecked;
  // Owned by this control; its box pointer is cleared when Qt destroys the box.
  std::unique_ptr<Host> host_;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

// The item texts of a combo box, owned by the box. Every change reaches the
// hosted list and fires nothing; an ItemIndex that no longer names an item
// becomes -1.
class TComboBoxStrings : public TPersistent {
  KESTRUNE_CLASS(TComboBoxStrings, TPersistent)
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EStringListError for an index out of range.
  const std::string& Strings(int index) const;
  // Appends; returns the new item's index.
  int Add(const std::string& text);
  // Raises EStringListError for an index outside 0..Count; the list stays
  // as it was.
  void Insert(int index, const std::string& text);
  // Raises EStringListError for an index out of range; the list stays as it
  // was.
  void Delete(int index);
  void Clear();
  // Case-insensitive; -1 when absent.
  int IndexOf(std::string_view text) const;
  // From another TComboBoxStrings (its texts); any other source raises
  // EConvertError and changes nothing.
  void Assign(TPersistent* source) override;

 private:
  friend class TCustomComboBox;
  class TCustomComboBox* owner_ = nullptr;
  std::vector<std::string> items_;
};

class TCustomComboBox : public TWinControl {
  KESTRUNE_CLASS(TCustomComboBox, TWinControl)
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);
  // Owned by the box and freed with it.
  TComboBoxStrings* Items() const { return items_; }
  // -1 when nothing is chosen. Setting it fires nothing; a value out of
  // range becomes -1.
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int value);
  // The chosen item's text (csDropDownList) or the edit text (the other
  // styles).
  std::string Text() const;
  // Stores the edit text and chooses the item of that text (case-
  // insensitive); with no such item csDropDownList chooses none and the
  // other styles keep ItemIndex.
  void SetText(const std::string& value);
  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int value);
  // Above 0: the opened list is at least this wide (applied at each
  // opening). 0 or below applies nothing, so a width applied at an earlier
  // opening stays.
  int DroppedWidth() const { return dropped_width_; }
  void SetDroppedWidth(int value);
  bool DroppedDown() const { return dropped_down_; }
  // Opens or closes the list as the user would (OnDropDown, OnCloseUp);
  // nothing without a widget.
  void SetDroppedDown(bool value);

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  // Draws on top of the hosted box (its own frame, button or line): the
  // canvas covers the client area and starts transparent at every paint;
  // Invalidate asks for a new paint. The base draws nothing.
  virtual void PaintOverlay(TCanvas* canvas);
  // Fire OnChange, OnDropDown, OnCloseUp.
  virtual void Change();
  virtual void DropDown();
  virtual void CloseUp();

 private:
  struct Host;
  friend struct Host;
  friend class TComboBoxStrings;
  void ItemsChanged();

  TComboBoxStyle style_ = csDropDown;
  TComboBoxStrings* items_ = nullptr;
  int item_index_ = -1;
  std::string edit_text_;
  int drop_down_count_ = 8;
  int dropped_width_ = 0;
  bool dropped_down_ = false;
  // Owned by this control; its box pointer is cleared when Qt destroys the box.
  std::unique_ptr<Host> host_;
};

class TCustomGroupBox : public TCustomControl {
  KESTRUNE_CLASS(TCustomGroupBox, TCustomControl)
  explicit TCustomGroupBox(TComponent* owner);

 protected:
  // The frame and the caption on the top edge.
  void Paint() override;
  // Leaves room for the frame and the caption's height.
  void AdjustClientRect(TRect& rect) override;
  void CMTextChanged() override;
  void CMFontChanged() override;
};

// Registers the published properties of the standard controls, the timer
// and the painted control bases (called by the forms unit's start-up).
void RegisterStandardControls();
