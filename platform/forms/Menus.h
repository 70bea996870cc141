// Menus: the main menu of a form, popup menus, and their items.
//
// A menu (TMenu) owns a root item whose sub-items are its top-level items;
// every item (TMenuItem) is a component of the form and may hold sub-items
// of its own. A main menu (TMainMenu) is drawn by its form as the menu bar;
// a popup menu (TPopupMenu) opens at a screen point. Items carry a caption
// ("&" marks the mnemonic letter, "&&" a plain "&", "-" makes a separator),
// check and radio marks, default, enabled and visible flags, a shortcut, a
// bitmap, an image index into the menu's Images, a column break, an action
// link (caption, enabled, visible and checked read from a linked TAction,
// and a click runs it) and a click event.
//
// Owner drawing: a menu with OwnerDraw set measures each item through the
// item's OnMeasureItem (starting from the plain look's size, see
// MeasurePlainItem) and draws it through OnAdvancedDrawItem (or
// OnDrawItem), with the owner-draw state (selected, disabled, default, hot
// light). A menu without owner drawing draws in the plain look of the layer.
//
// Changes to an item reach its menu's MenuChanged; Rebuild measures every
// item again (the sizes are kept on the items, ItemSize).
//
// Shortcuts are 16-bit words: the key's virtual-key code in the low byte,
// scShift, scCtrl and scAlt, and scWin (0x0200) for the Windows key.
//
// Life cycle: items are owned by the form (or whatever owns them) and also
// listed by their parent item; freeing an item takes it out of its parent
// and frees its sub-items' links (not the sub-items, which their owner
// frees). A menu frees its root item. Stored descriptions nest an item's
// block in its parent item's, the top-level items in the menu's.
//
// The drop-down windows and the bar's painting are in MenuWindows.h, what a
// user does with a main menu (mouse and keys) in MenuTracker.h.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/ActnList.h"
#include "platform/classes/Classes.h"
#include "platform/classes/Types.h"
#include "platform/classes/Units.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/ImgList.h"

class TMenu;
class TMenuDropDown;
// What the pointer does over a drop-down window (MenuWindows.h).
enum class TMenuInput;

using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scWin = 0x0200;
inline constexpr TShortCut scNone = 0;

// The owner-draw state of an item being drawn: a set of these bits.
enum TOwnerDrawStateFlag : uint16_t {
  odSelected = 1u << 0,
  odDisabled = 1u << 1,
  odChecked = 1u << 2,
  odDefault = 1u << 3,
  odHotLight = 1u << 4,
  odInactive = 1u << 5,
};
using TOwnerDrawState = uint16_t;

using TMenuMeasureItemEvent =
    TMethod<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent =
    TMethod<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    TMethod<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)>;

class TMenuItem : public TComponent {
  KESTRUNE_CLASS(TMenuItem, TComponent)
  explicit TMenuItem(TComponent* owner);
  // Leaves the parent item and the action; sub-items lose their parent.
  ~TMenuItem() override;

  // --- What the item shows. Caption, Enabled, Visible and Checked read the
  // linked action's values while an action is linked.
  std::string Caption() const;
  void SetCaption(const std::string& value);
  bool Checked() const;
  void SetChecked(bool value);
  bool RadioItem() const { return radio_item_; }
  void SetRadioItem(bool value);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Enabled() const;
  void SetEnabled(bool value);
  bool Visible() const;
  void SetVisible(bool value);
  TShortCut ShortCut() const { return short_cut_; }
  void SetShortCut(TShortCut value);
  // The item's own bitmap (owned; empty unless set). Setting copies.
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* value);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int value);
  // The item starts a new column.
  bool Break() const { return break_; }
  void SetBreak(bool value);
  uint8_t GroupIndex() const { return group_index_; }
  void SetGroupIndex(uint8_t value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }

  // A separator: the caption "-".
  bool IsLine() const { return Caption() == "-"; }

  // --- Sub-items
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  TMenuItem* Items(int index) const;
  TMenuItem* Parent() const { return parent_; }
  // Appends (or inserts) `item`, which must have no parent yet (else
  // EInvalidOperation "Élément de menu déjà inséré").
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes `item` out of the sub-items (it is not freed).
  void Remove(TMenuItem* item);
  int IndexOf(const TMenuItem* item) const;
  // The position among the parent's sub-items; -1 without a parent.
  int MenuIndex() const;
  // The menu the item belongs to (through its ancestors); null when none.
  TMenu* GetParentMenu() const;
  // Number of ancestors: a menu's top-level item has 1 (the menu's root).
  int Level() const;

  // --- Action link
  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* value);

  // Runs the item: when enabled, its action's Execute, else OnClick. A
  // disabled item does nothing.
  virtual void Click();
  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

  // The size the last rebuild measured.
  TSize ItemSize() const { return size_; }
  void SetItemSize(TSize size) { size_ = size; }

  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // Tells the menu; `rebuild` when the change alters the item's size.
  void Changed(bool rebuild);

 private:
  friend class TMenu;
  std::string caption_;
  bool checked_ = false;
  bool radio_item_ = false;
  bool default_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  TShortCut short_cut_ = 0;
  TBitmap* bitmap_;
  int image_index_ = -1;
  bool break_ = false;
  uint8_t group_index_ = 0;
  std::string hint_;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on a menu's root item only
  TBasicAction* action_ = nullptr;
  TSize size_;
};

class TMenu : public TComponent {
  KESTRUNE_CLASS(TMenu, TComponent)
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  // The root item, whose sub-items are the top-level items.
  TMenuItem* Items() const { return items_; }
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* value);
  bool OwnerDraw() const { return owner_draw_; }
  void SetOwnerDraw(bool value);
  virtual bool IsPopup() const = 0;

  // An item (or the menu, with `source` null) changed; with `rebuild` every
  // item is measured again. Descendants hook here; call the inherited one.
  virtual void MenuChanged(TObject* sender, TMenuItem* source, bool rebuild);
  // Measures every item again (MeasureItem on each).
  void Rebuild();
  // The size of `item`: the plain look's, then, with OwnerDraw, the item's
  // OnMeasureItem. `canvas` measures text (its font is set to the screen's
  // menu font first).
  TSize MeasureItem(TMenuItem* item, TCanvas* canvas);
  // Draws `item` into `canvas` at `rect` with `state`: with OwnerDraw its
  // OnAdvancedDrawItem (else OnDrawItem), else the plain look. The canvas's
  // font is first set to the screen's menu font.
  void DrawItem(TMenuItem* item, TCanvas* canvas, const TRect& rect, TOwnerDrawState state);

  // The visible, enabled item (at any depth) with `shortCut`; null when none.
  TMenuItem* FindItemByShortCut(TShortCut shortCut) const;
  // Runs the item with `shortCut`; false when there is none.
  bool IsShortCut(TShortCut shortCut);

  void Notification(TComponent* component, TOperation operation) override;

  // How many times Rebuild ran (for the painting code, which caches sizes).
  int RebuildCount() const { return rebuild_count_; }

 private:
  TMenuItem* items_;
  TImageList* images_ = nullptr;
  bool owner_draw_ = false;
  int rebuild_count_ = 0;
};

class TMainMenu : public TMenu {
  KESTRUNE_CLASS(TMainMenu, TMenu)
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  bool IsPopup() const override { return false; }
  // Asks the form that shows the menu to paint its bar again.
  void DrawMenuBar();
  int BarRedrawCount() const { return bar_redraws_; }
  // Also tells the form that shows the menu (its bar may change height).
  void MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) override;

  // The form that shows the menu listens here: `repaint` after DrawMenuBar,
  // `changed` after any change of the items. Set by the form; empty ones
  // when it lets the menu go.
  void SetBarListener(std::function<void()> repaint, std::function<void()> changed);

 private:
  int bar_redraws_ = 0;
  std::function<void()> repaint_listener_;
  std::function<void()> change_listener_;
};

enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
  KESTRUNE_CLASS(TPopupMenu, TMenu)
  explicit TPopupMenu(TComponent* owner);
  bool IsPopup() const override { return true; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment value) { alignment_ = value; }
  ~TPopupMenu() override;
  // Opens the menu's drop-down window (level 1) with its top-left at the
  // screen point (X, Y), replacing one still open. A menu without visible
  // items shows nothing. While it is open, hovering selects an item, a
  // press on an enabled item without sub-items closes the window and runs
  // the item, and a press anywhere else or Esc closes it. Sub-menus of a
  // popup menu do not open.
  virtual void Popup(int X, int Y);
  // The open drop-down window, or null.
  TMenuDropDown* PopupWindow() const { return window_; }
  // The selected item's index in the open window, or -1.
  int PopupSelection() const { return selected_; }
  // Closes the drop-down window.
  void CloseUp();
  // Where the last Popup opened (for its caller and tests).
  TPoint PopupPoint() const { return popup_point_; }

 private:
  class Closer;
  void PopupInput(TMenuInput input, TPoint screen);
  TPopupAlignment alignment_ = paLeft;
  TPoint popup_point_{};
  TMenuDropDown* window_ = nullptr;
  int selected_ = -1;
  std::unique_ptr<Closer> closer_;
};

// The size of a menu-bar item (19 x 19).
TSize MenuBarItemSize();
// The plain look's size of `item` measured with `canvas`: a separator is 9
// high; a root item is its caption's width + 12 wide and 19 high; a
// drop-down item is the menu font's text height + 6 high and its caption's
// width (+ the shortcut text's width + 24 when it has one) + 40 wide.
TSize MeasurePlainItem(TMenuItem* item, TCanvas* canvas);

// The caption without its mnemonic marks ("&&" stays as "&").
std::string StripHotkey(std::string_view caption);
// The mnemonic letter of a caption, upper-cased (0 when there is none).
char MnemonicOf(std::string_view caption);

// A shortcut from a key code and modifiers (any of scShift, scCtrl, scAlt,
// scWin).
constexpr TShortCut ShortCut(uint16_t key, TShortCut modifiers) {
  return static_cast<TShortCut>((key & 0xFF) | modifiers);
}
// "Shift+", "Ctrl+", "Alt+" for the modifiers present, in that order, then
// the key's name re-cased ("Ctrl+Q", "Shift+F5", "Alt+Page up"); the
// Windows-key flag is left to the caller. Empty for no key, or a key
// without a name.
std::string ShortCutToText(TShortCut shortCut);
// The key-name table: the name of a virtual key as a keyboard layout gives
// it, in capitals ("ENTER", "PAGE UP", "/ (NUM)", "CTRL"); empty for a key
// without a name. Letters and digits are themselves. The name depends on
// the virtual key alone (the keypad's keys have codes of their own).
std::string KeyNameText(uint16_t key);
// A key name with an initial capital and the rest in lower case, except
// that a letter right after "(" is upper-cased: "PAGE UP" -> "Page up",
// "/ (NUM)" -> "/ (Num)".
std::string RecaseKeyName(std::string_view name);

// Registers the published properties of menus and items. Called from the
// start-up of a unit that uses menus (again is harmless).
void RegisterMenuClasses();
