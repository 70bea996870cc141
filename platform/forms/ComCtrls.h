// The page control with its tab sheets, and the up-down control.
//
// TPageControl: a hosted tab bar with a frame (Qt's tab bar inside our
// windowed control) above its pages. A TTabSheet joins it when its
// PageControl is set (sheets made at run time, in order) and fills the area
// below the tabs; its Caption is its tab's text. Only the active sheet
// shows. Setting ActivePageIndex from code fires nothing; the user's choice
// of a tab makes that sheet the active one and fires OnChange.
// TUpDown: hosted arrow buttons (two Qt tool buttons) tied to an edit
// (Associate): the control sits at the edit's right edge, and each press
// steps Position by one inside Min .. Max, reading the edit's number first
// and writing the new one into it (which fires the edit's OnChange).
//
// Threads: main thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/classes/Controls.h"
#include "platform/forms/Controls.h"

class TPageControl;
class TEdit;

class TTabSheet : public TWinControl {
  KESTRUNE_CLASS(TTabSheet, TWinControl)
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return page_control_; }
  // Moves the sheet to `value`'s pages (the last one); null takes it out.
  void SetPageControl(TPageControl* value);
  int PageIndex() const;
  // A stored description places a sheet in its page control this way.
  void SetParentComponent(TComponent* parent) override;

 protected:
  void CMTextChanged() override;

 private:
  friend class TPageControl;
  TPageControl* page_control_ = nullptr;
};

class TPageControl : public TWinControl {
  KESTRUNE_CLASS(TPageControl, TWinControl)
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const;
  // -1 without pages. Out of range: ignored.
  int ActivePageIndex() const { return active_; }
  void SetActivePageIndex(int value);
  TTabSheet* ActivePage() const { return active_ >= 0 ? Pages(active_) : nullptr; }
  void SetActivePage(TTabSheet* page);
  // Height of the tab row above the pages.
  static constexpr int kTabHeight = 22;

  TNotifyEvent OnChange;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  // The pages' area: below the tabs, inside the frame.
  void AdjustClientRect(TRect& rect) override;
  // Every sheet, shown or not, covers the pages' area.
  void AlignControls(TControl* control, TRect& rect) override;
  // Sheets read from a stored description take their place.
  void Loaded() override;
  virtual void Change();

 private:
  struct Host;
  friend struct Host;
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void TabsChanged();
  void UserChose(int index);

  std::vector<TTabSheet*> pages_;
  int active_ = -1;
  // Owned by this control; its widget pointers are cleared when Qt destroys them.
  std::unique_ptr<Host> host_;
};

class TUpDown : public TWinControl {
  KESTRUNE_CLASS(TUpDown, TWinControl)
  explicit TUpDown(TComponent* owner);
  ~TUpDown() override;

  int Min() const { return min_; }
  void SetMin(int value) { min_ = value; }
  int Max() const { return max_; }
  void SetMax(int value) { max_ = value; }
  int Position() const { return position_; }
  // Limited to Min .. Max; the edit shows it.
  void SetPosition(int value);
  TEdit* Associate() const { return associate_; }
  // Places the control at the edit's right edge, as high as the edit.
  void SetAssociate(TEdit* value);
  // One step up (+1) or down (-1), as a press of an arrow does.
  void Step(int direction);

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;

 private:
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  TEdit* associate_ = nullptr;
};

// Registers the published properties of the controls above (the forms
// unit's start-up).
void RegisterComCtrlsClasses();
