// The styled menus: TStyMainMenu and TStyPopupMenu, owner-drawn menus of the
// menu layer that measure and paint every item with the colours, fonts and
// glyphs of a menu styler (controls/StyMenuStyler.h).
//
// A styled menu paints with its assigned styler, or with the private one it
// owns ("InternalMenuStyler") while none is assigned; it registers with the
// styler in use and unregisters when it goes away. Its measure and draw
// handlers are put on every item that has none of its own. The assigned
// styler and DisabledImages are borrowed: the menu forgets either when it
// is freed, and a freed styler's place goes to a new private one.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <string>

#include "controls/StyMenuStyler.h"
#include "platform/classes/Classes.h"
#include "platform/classes/Units.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/ImgList.h"

// The menus unit: start-up starts the classes and graphics units, registers
// the glyphs and the published classes of the menus and stylers, and looks
// up the layered-window calls. Stylers also need the forms unit (Screen).
extern TUnit StyMenusUnit;

// The shortcut's text as the styled menus show it. With `intl`, the key's
// name from the key-name table, re-cased, after the names of Alt, Ctrl and
// Shift (in that order, those present, each followed by "+"); otherwise the
// layer's shortcut text, preceded by "Win+" for the Windows-key flag.
std::string StyShortCutText(uint16_t shortCut, bool intl);

// The measure rule of the styled menus (see the menus' MeasureItem): `width`
// and `height` arrive as the layer's plain size and leave as the styled one.
void StyMeasureMenuItem(IStyMenu* menu, TMenuItem* item, TCanvas* canvas, int& width, int& height);

// The parts shared by the styled main and popup menus: the styler in use
// (the assigned one, else the private "InternalMenuStyler" the menu owns),
// the two settings, the disabled images, and the handlers installed on
// every item.
namespace kestrune {
class StyMenuState {
 public:
  // `menu` is the TMainMenu or TPopupMenu this state belongs to, `self` its
  // IStyMenu; `mainMenu` picks the private styler's class.
  StyMenuState(TMenu* menu, IStyMenu* self, bool mainMenu);
  ~StyMenuState();

  TCustomStyMenuStyler* Assigned() const { return assigned_; }
  TCustomStyMenuStyler* InUse() const { return assigned_ != nullptr ? assigned_ : private_; }
  // Owned by the menu (its component owner); null while an assigned
  // styler has replaced it.
  TCustomStyMenuStyler* Private() const { return private_; }
  // Leaves the former assigned styler; an assigned one frees the private
  // styler, nullptr makes a new private one; then registers with the one in
  // use.
  void SetMenuStyler(TCustomStyMenuStyler* value);
  // The assigned styler goes away: a private one takes its place.
  void StylerRemoved();
  // Loading ended: the private styler goes when an external one is set.
  void Loaded();
  // Puts the menu's measure and draw handlers on every item that has none of
  // its own (not while loading).
  void InstallHandlers();

  bool show_notes = true;
  bool intl_keyb_short_cuts = false;
  TImageList* disabled_images = nullptr;

 private:
  void MakePrivate();
  void FreePrivate();
  TMenu* menu_;
  IStyMenu* self_;
  bool main_menu_;
  TCustomStyMenuStyler* assigned_ = nullptr;
  TCustomStyMenuStyler* private_ = nullptr;
};
}  // namespace kestrune

// Draws `background` into `rect` of `canvas`: the rectangle shrunk by the
// margins is filled with the gradient unless a non-transparent picture
// covers it (tiled or stretched); the picture is then placed by Position
// and the offsets (bpXY at the offsets themselves). Without `fill` only the
// picture is drawn (the side bar's image over its background).
void DrawStyBackground(TCanvas* canvas, const TRect& rect, TBackground* background,
                       bool fill = true);

// The read-only version text of the styled menus: "2.5.2.0".
std::string StyMenusVersion();

#define STY_MENU_COMMON(Self)                                                          \
 public:                                                                               \
  TCustomStyMenuStyler* MenuStyler() const {                                           \
    return state_.Assigned();                                                          \
  }                                                                                    \
  void SetMenuStyler(TCustomStyMenuStyler* value) {                                    \
    state_.SetMenuStyler(value);                                                       \
  }                                                                                    \
  bool ShowNotes() const {                                                             \
    return state_.show_notes;                                                          \
  }                                                                                    \
  void SetShowNotes(bool value) {                                                      \
    if (state_.show_notes != value) {                                                  \
      state_.show_notes = value;                                                       \
      Rebuild();                                                                       \
    }                                                                                  \
  }                                                                                    \
  bool IntlKeybShortCuts() const {                                                     \
    return state_.intl_keyb_short_cuts;                                                \
  }                                                                                    \
  void SetIntlKeybShortCuts(bool value) {                                              \
    state_.intl_keyb_short_cuts = value;                                               \
  }                                                                                    \
  TImageList* DisabledImages() const {                                                 \
    return state_.disabled_images;                                                     \
  }                                                                                    \
  void SetDisabledImages(TImageList* value);                                           \
  std::string Version() const {                                                        \
    return StyMenusVersion();                                                          \
  }                                                                                    \
  void SetVersion(const std::string&) {}                                               \
  TComponent* MenuComponent() override {                                               \
    return this;                                                                       \
  }                                                                                    \
  TCustomStyMenuStyler* MenuStylerInUse() override {                                   \
    return state_.InUse();                                                             \
  }                                                                                    \
  bool MenuShowNotes() override {                                                      \
    return state_.show_notes;                                                          \
  }                                                                                    \
  bool MenuIntlKeybShortCuts() override {                                              \
    return state_.intl_keyb_short_cuts;                                                \
  }                                                                                    \
  void Update(bool rebuild, bool remeasure) override;                                  \
  void Loaded() override;                                                              \
  void Notification(TComponent* component, TOperation operation) override;             \
  void MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) override;         \
  /* The handlers put on the items. */                                                 \
  void MeasureItemHandler(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height); \
  void AdvancedDrawItemHandler(TObject* Sender, TCanvas* ACanvas, TRect ARect,         \
                               TOwnerDrawState State);                                 \
                                                                                       \
 private:                                                                              \
  kestrune::StyMenuState state_

class TStyMainMenu : public TMainMenu, public IStyMenu {
  KESTRUNE_CLASS(TStyMainMenu, TMainMenu)
  // OwnerDraw on, ShowNotes on, a private TStyMenuStyler.
  explicit TStyMainMenu(TComponent* owner);
  ~TStyMainMenu() override;
  void RedrawMenuBar() override { DrawMenuBar(); }
  // Nested; when the count falls to 0 the handlers are installed again and
  // the bar redrawn.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  STY_MENU_COMMON(TStyMainMenu);
  int update_count_ = 0;
};

class TStyPopupMenu : public TPopupMenu, public IStyMenu {
  KESTRUNE_CLASS(TStyPopupMenu, TPopupMenu)
  // OwnerDraw on, ShowNotes on, a private TCustomStyMenuStyler.
  explicit TStyPopupMenu(TComponent* owner);
  ~TStyPopupMenu() override;
  void RedrawMenuBar() override {}
  // Measures the first item (seeded 10 x 10) to keep the menu on the
  // screen, then opens it. A menu without items measures and shows nothing.
  void Popup(int X, int Y) override;
  STY_MENU_COMMON(TStyPopupMenu);
};

#undef STY_MENU_COMMON
