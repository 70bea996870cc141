// The menu tracker: the input state machine of a main menu's bar and its
// drop-down windows (MenuWindows.h).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/classes/Controls.h"
#include "platform/classes/Types.h"
#include "platform/forms/Menus.h"

class TMenuDropDown;

// What a user does with a main menu, as a desktop menu behaves: the bar's
// root items lie side by side from BarOrigin (screen coordinates), each in
// its slot (MenuBarSlotWidth), the bar as high as its tallest root item.
//  - A click on a root item opens its drop-down (a second click closes it);
//    while one is open, hovering another root item switches to it.
//  - Hovering an item selects it; a sub-menu opens SubMenuDelayMs after the
//    hover (OpenPendingSubMenu, which the caller's timer runs) or at once on
//    a click or the Right key.
//  - A click on an enabled item without sub-items closes every level and
//    runs it (Click); a disabled item or a separator does nothing.
//  - Esc closes one level; a click outside the bar and the windows closes
//    all.
//  - Alt or F10 selects the bar; Left and Right move along it, Down or
//    Enter opens; in a drop-down Up and Down move (skipping separators;
//    hidden items are not in the window), Right opens a sub-menu, Left
//    closes one, Enter runs the selected item. A mnemonic letter picks its
//    item (with Alt from the form, the root item's).
//  - A key with modifiers that is an item's shortcut runs it.
//  - Pressing on a root item and releasing over an item runs it too.
// Level-1 drop-downs open under their root item, sub-menus beside their
// parent item, on its left where the screen ends. The windows' own mouse
// input comes back here.
//
// OnChange runs after every change of what the bar or the windows show.
// An item is run last, after everything has closed and OnChange ran, so
// that its handler may free the form, the menu and the tracker.
//
// Threads: main thread.
class TMenuTracker : public TObject {
  KESTRUNE_CLASS(TMenuTracker, TObject)
  static constexpr int SubMenuDelayMs = 400;
  TMenuTracker(TMainMenu* menu, TPoint barOrigin);
  ~TMenuTracker() override;

  // The screen rectangle of the root item `index` (among the visible ones).
  TRect RootRect(int index) const;
  int BarHeight() const;

  // The bar moved (its window did).
  void SetBarOrigin(TPoint barOrigin) { origin_ = barOrigin; }
  TPoint BarOrigin() const { return origin_; }

  void MouseDown(TPoint screen);
  void MouseMove(TPoint screen);
  void MouseUp(TPoint screen);
  // Returns whether the menu took the key.
  bool KeyDown(uint16_t key, TShiftState shift);
  void OpenPendingSubMenu();
  // A hovered item waits for its sub-menu (the caller's timer then runs
  // OpenPendingSubMenu).
  bool SubMenuPending() const { return pending_sub_menu_; }
  // The bar is selected (by the mouse or the keyboard) or a window is open.
  bool Active() const { return bar_selected_ >= 0; }
  // Closes every window and leaves the bar.
  void Cancel();

  std::function<void()> OnChange;

  // The open windows, level 1 first.
  int WindowCount() const { return static_cast<int>(windows_.size()); }
  TMenuDropDown* Window(int level) const { return windows_[static_cast<size_t>(level - 1)]; }
  // The selected root item (-1: the bar is not active) and the selected item
  // of each window.
  int BarSelection() const { return bar_selected_; }
  int Selection(int level) const { return selected_[static_cast<size_t>(level - 1)]; }

 private:
  std::vector<TMenuItem*> Roots() const;
  void OpenRoot(int index);
  // The selected item of the deepest window; null when none (or when the
  // index no longer names one).
  TMenuItem* SelectedItem() const;
  // Opens the root item `index` with its first selectable item selected.
  void OpenRootOnFirstItem(int index);
  // Opens the root item whose mnemonic is `key`; false when none has it.
  bool OpenRootByMnemonic(uint16_t key);
  // The steps of KeyDown. A key while the bar is not active: F10 or Alt
  // selects the bar, Alt with a letter opens the root item of that
  // mnemonic, any other key runs the item whose shortcut it is. Returns
  // whether the menu took the key.
  bool SelectBarOrRunShortCut(uint16_t key, TShiftState shift);
  // A key on the active bar while no drop-down is open: Left and Right move
  // along the bar, Down, Up and Enter open the selected root item, a letter
  // the root item of that mnemonic.
  void MoveAlongBarOrOpenRoot(uint16_t key);
  // Selects the root item `step` places along the bar (wrapping); while a
  // drop-down is open, that root item's opens in its place.
  void MoveAlongBar(int step);
  // A key in the deepest open drop-down: Up and Down move, Right opens the
  // selected item's sub-menu (else moves along the bar), Left closes a
  // sub-menu (else moves along the bar), Enter runs the selected item, a
  // letter runs the item of that mnemonic. True when an item ran: the
  // caller returns at once.
  bool NavigateDropDown(uint16_t key);
  // Selects and runs the item of the deepest drop-down whose mnemonic is
  // `key`; true when it ran (as Run).
  bool RunByMnemonic(uint16_t key);
  void OpenSubMenu();
  void CloseLevel();
  void CloseAll();
  void Select(int level, int index);
  void Move(int step);
  // Runs `item`: a sub-menu opens, anything else closes all and runs. True
  // when the item ran: the caller returns at once.
  bool Run(TMenuItem* item);
  // A press or release at `screen` over an open drop-down: selects and runs
  // the item under it (nothing on the window's border). False when no
  // drop-down lies there; true otherwise, and the caller returns at once.
  bool PressOnDropDown(TPoint screen);
  void Repaint();
  void Changed();
  // The window `window` at `level` sends its input here.
  void Listen(TMenuDropDown* window);
  TMainMenu* menu_;
  TPoint origin_;
  int bar_selected_ = -1;
  std::vector<TMenuDropDown*> windows_;
  std::vector<int> selected_;
  bool pending_sub_menu_ = false;
  // A press opened a root item: a release over an item runs it.
  bool dragging_ = false;
};
