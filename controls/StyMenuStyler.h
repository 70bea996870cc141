// Menu stylers: every colour, font and glyph the styled menus paint with.
//
// A styler (TCustomStyMenuStyler, published as TStyMenuStyler) holds its
// settings in parts: gradient bars (the icon bar, the selected item, the root
// items, the background, the separator), the side bar with its caption, the
// glyphs and the toolbar-button colours. A menu registers with the styler it
// uses (RegisterMenu); the styler and every part then keep a reference to
// that menu, the one that registered last, and tell it of changes through
// the IStyMenu interface: the settings that change an item's size ask the
// menu to rebuild (every item is measured and drawn again), the others only
// renew its hooks and show at the next painting.
//
// Colours are TColor values; clNone (0x1FFFFFFF) draws nothing.
//
// Life cycle: a styler is a component of its form, or the private styler a
// menu owns ("InternalMenuStyler"). A menu that goes away unregisters, so the
// styler never calls a freed menu. Parts are owned by their styler and
// copied, never taken over, by the part-valued setters; a part owns its
// fonts, pictures and glyph bitmaps likewise.
//
// Assign: a part takes a source of its own class, or the values of a base
// part from a source of that base (any gradient bar gives its colours and
// direction); any other source raises EConvertError and changes nothing.
//
// Threads: main thread.
#pragma once

#include <cstdint>

#include "controls/GdipObjects.h"
#include "platform/classes/Classes.h"
#include "platform/classes/TypInfo.h"
#include "platform/classes/Units.h"
#include "platform/forms/StdCtrls.h"  // TAlignment
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/graphics/Bitmap.h"
#include "platform/rtl/SysUtils.h"

class TCustomStyMenuStyler;

// What a styled menu offers its styler and its painting code.
class IStyMenu {
 public:
  // The menu component itself.
  virtual TComponent* MenuComponent() = 0;
  // The styler the menu paints with (its own private one when none is set).
  virtual TCustomStyMenuStyler* MenuStylerInUse() = 0;
  virtual bool MenuShowNotes() = 0;
  virtual bool MenuIntlKeybShortCuts() = 0;
  // With either flag set, the native items are rebuilt (measured and drawn
  // again); then the menu's hooks are renewed.
  virtual void Update(bool rebuild, bool remeasure) = 0;
  // A main menu redraws its bar; a popup menu does nothing.
  virtual void RedrawMenuBar() = 0;

 protected:
  ~IStyMenu() = default;
};

enum TGradientDirection : uint8_t { gdVertical, gdHorizontal };
enum TGradientType : uint8_t { gtLeft, gtRight, gtBoth };
enum TBackgroundPosition : uint8_t {
  bpTopLeft,
  bpTopRight,
  bpBottomLeft,
  bpBottomRight,
  bpTopCenter,
  bpBottomCenter,
  bpTiled,
  bpStretched,
  bpCenter,
  bpXY
};
enum TDirection : uint8_t { dDownToUp, dUpToDown };
enum TSideBarVisibleIn : uint8_t { viFirstVisible, viFirstLevel, viAnyLevel };

namespace kestrune {
// The menu a part serves, and the two kinds of change it tells of.
class StyMenuRef {
 public:
  IStyMenu* Menu() const { return menu_; }
  void SetMenu(IStyMenu* menu) { menu_ = menu; }
  // A change of size: the menu rebuilds. Otherwise: its hooks are renewed.
  void Changed(bool rebuild) const {
    if (menu_ != nullptr)
      menu_->Update(rebuild, rebuild);
  }
  // Stores `value` in `field` when it differs and tells the menu.
  template <class V>
  void Store(V& field, V value, bool rebuild) const {
    if (field == value)
      return;
    field = value;
    Changed(rebuild);
  }

 private:
  IStyMenu* menu_ = nullptr;
};
}  // namespace kestrune

// A getter and a setter for the field `Name` of the values struct `store_`;
// `rebuild` says whether a change asks the menu to rebuild.
#define STY_MENU_VALUE(Type, Name, rebuild)   \
  Type Name() const {                         \
    return store_.Name;                       \
  }                                           \
  void Set##Name(Type value) {                \
    menu_.Store(store_.Name, value, rebuild); \
  }

namespace kestrune {
// The colours of the check and radio marks (the icon bar's and the selected
// item's): fill, fill-to (none: solid), border and gradient direction of
// each.
struct StyMarkColors {
  explicit StyMarkColors(TColor fill) : CheckColor(fill), RadioColor(fill) {}
  TColor CheckColor;
  TColor CheckColorTo = clNone;
  TColor CheckBorder = 0x6F4B4B;
  TGradientDirection CheckGradientDirection = gdVertical;
  TColor RadioColor;
  TColor RadioColorTo = clNone;
  TColor RadioBorder = 0x6F4B4B;
  TGradientDirection RadioGradientDirection = gdVertical;
};
}  // namespace kestrune

#define STY_MARK_VALUE(Type, Name)          \
  Type Name() const {                       \
    return marks_.Name;                     \
  }                                         \
  void Set##Name(Type value) {              \
    menu_.Store(marks_.Name, value, false); \
  }
// The accessors of the mark colours, on a member `marks_`.
#define STY_MARK_VALUES                                      \
  STY_MARK_VALUE(TColor, CheckColor)                         \
  STY_MARK_VALUE(TColor, CheckColorTo)                       \
  STY_MARK_VALUE(TColor, CheckBorder)                        \
  STY_MARK_VALUE(TGradientDirection, CheckGradientDirection) \
  STY_MARK_VALUE(TColor, RadioColor)                         \
  STY_MARK_VALUE(TColor, RadioColorTo)                       \
  STY_MARK_VALUE(TColor, RadioBorder)                        \
  STY_MARK_VALUE(TGradientDirection, RadioGradientDirection)

// A colour pair with a gradient direction: Color (index 0) to ColorTo
// (index 1; clNone: a solid Color).
class TGradientBar : public TPersistent {
  KESTRUNE_CLASS(TGradientBar, TPersistent)
  TGradientBar();
  // Copies Color, ColorTo and GradientDirection from another gradient bar.
  void Assign(TPersistent* source) override;

  // Index 0 Color, 1 ColorTo; any other index raises EInvalidPropertyIndex
  // "Invalid property index <index>." and changes nothing.
  TColor GetColor(int index) const;
  void SetColor(int index, TColor value);
  TColor Color() const { return GetColor(0); }
  TColor ColorTo() const { return GetColor(1); }
  TGradientDirection GradientDirection() const { return direction_; }
  void SetGradientDirection(TGradientDirection value) { menu_.Store(direction_, value, false); }

  IStyMenu* Menu() const { return menu_.Menu(); }
  void SetMenu(IStyMenu* menu) { menu_.SetMenu(menu); }

 protected:
  // Whether a change of the two colours rebuilds the menu.
  bool colors_rebuild_ = false;
  kestrune::StyMenuRef menu_;
  TColor colors_[2] = {0xD8BDAF, clNone};
  TGradientDirection direction_ = gdVertical;
};

class TIconBar : public TGradientBar {
  KESTRUNE_CLASS(TIconBar, TGradientBar)
  TIconBar();
  void Assign(TPersistent* source) override;

  STY_MARK_VALUES
  const kestrune::StyMarkColors& Marks() const { return marks_; }
  STY_MENU_VALUE(TColor, SeparatorColor, false)
  // The bar's width; a value below 16 is raised to 16. Rebuilds.
  int Size() const { return store_.Size; }
  void SetSize(int value);

 private:
  struct Values {
    TColor SeparatorColor = clNone;
    int Size = 24;
  } store_;
  kestrune::StyMarkColors marks_{0x6FC0FF};
};

class TSelectedItem : public TGradientBar {
  KESTRUNE_CLASS(TSelectedItem, TGradientBar)
  TSelectedItem();
  ~TSelectedItem() override;
  void Assign(TPersistent* source) override;

  STY_MENU_VALUE(TColor, ColorMirror, false)
  STY_MENU_VALUE(TColor, ColorMirrorTo, false)
  STY_MENU_VALUE(TColor, BorderColor, false)
  STY_MENU_VALUE(bool, UseSystemFont, true)
  STY_MARK_VALUES
  const kestrune::StyMarkColors& Marks() const { return marks_; }
  TFont* Font() const { return font_; }
  // Copies the font; rebuilds.
  void SetFont(TFont* value);
  TFont* NotesFont() const { return notes_font_; }
  void SetNotesFont(TFont* value);

 private:
  struct Values {
    TColor ColorMirror = clNone;
    TColor ColorMirrorTo = clNone;
    TColor BorderColor = 0x6F4B4B;
    bool UseSystemFont = true;
  } store_;
  kestrune::StyMarkColors marks_{0x3E80FE};
  TFont* font_;
  TFont* notes_font_;
};

class TRootItem : public TGradientBar {
  KESTRUNE_CLASS(TRootItem, TGradientBar)
  TRootItem();
  ~TRootItem() override;
  void Assign(TPersistent* source) override;

  STY_MENU_VALUE(bool, UseSystemFont, true)
  STY_MENU_VALUE(TColor, SelectedColor, true)
  STY_MENU_VALUE(TColor, SelectedColorTo, true)
  STY_MENU_VALUE(TColor, SelectedColorMirror, true)
  STY_MENU_VALUE(TColor, SelectedColorMirrorTo, true)
  STY_MENU_VALUE(TGradientDirection, SelectedGradientDirection, true)
  STY_MENU_VALUE(TColor, SelectedBorderColor, true)
  STY_MENU_VALUE(TColor, SelectedTextColor, true)
  STY_MENU_VALUE(TColor, HoverColor, true)
  STY_MENU_VALUE(TColor, HoverColorTo, true)
  STY_MENU_VALUE(TColor, HoverColorMirror, true)
  STY_MENU_VALUE(TColor, HoverColorMirrorTo, true)
  STY_MENU_VALUE(TGradientDirection, HoverGradientDirection, true)
  STY_MENU_VALUE(TColor, HoverBorderColor, true)
  STY_MENU_VALUE(TColor, HoverTextColor, true)
  TFont* Font() const { return font_; }
  void SetFont(TFont* value);

 private:
  struct Values {
    bool UseSystemFont = true;
    TColor SelectedColor = 0xF2E8E8;
    TColor SelectedColorTo = 0xCDB8B9;
    TColor SelectedColorMirror = clNone;
    TColor SelectedColorMirrorTo = clNone;
    TGradientDirection SelectedGradientDirection = gdVertical;
    TColor SelectedBorderColor = 0x947C7C;
    TColor SelectedTextColor = clWindowText;
    TColor HoverColor = 0xCFF6FF;
    TColor HoverColorTo = 0x9DD8FF;
    TColor HoverColorMirror = clNone;
    TColor HoverColorMirrorTo = clNone;
    TGradientDirection HoverGradientDirection = gdVertical;
    TColor HoverBorderColor = 0x6F4B4B;
    TColor HoverTextColor = clWindowText;
  } store_;
  TFont* font_;
};

// A gradient with an optional picture placed on it.
class TBackground : public TGradientBar {
  KESTRUNE_CLASS(TBackground, TGradientBar)
  TBackground();
  ~TBackground() override;
  void Assign(TPersistent* source) override;

  STY_MENU_VALUE(TBackgroundPosition, Position, false)
  STY_MENU_VALUE(int, OffsetX, false)
  STY_MENU_VALUE(int, OffsetY, false)
  STY_MENU_VALUE(int, MarginX, false)
  STY_MENU_VALUE(int, MarginY, false)
  TPicture* Image() const { return image_; }
  // Copies the picture.
  void SetImage(TPicture* value);

 private:
  struct Values {
    TBackgroundPosition Position = bpCenter;
    int OffsetX = 0;
    int OffsetY = 0;
    int MarginX = 0;
    int MarginY = 0;
  } store_;
  TPicture* image_;
};

// The separator line: horizontal, fading at its ends by GradientType.
class TSeparator : public TGradientBar {
  KESTRUNE_CLASS(TSeparator, TGradientBar)
  TSeparator();
  void Assign(TPersistent* source) override;

  STY_MENU_VALUE(int, Width, false)
  STY_MENU_VALUE(TGradientType, GradientType, false)
  STY_MENU_VALUE(int, GradientWidth, false)
  STY_MENU_VALUE(int, Margin, false)

 private:
  struct Values {
    int Width = 1;
    TGradientType GradientType = gtBoth;
    int GradientWidth = 0;
    int Margin = 2;
  } store_;
};

// A caption drawn turned along a bar.
class TBarCaption : public TPersistent {
  KESTRUNE_CLASS(TBarCaption, TPersistent)
  TBarCaption();
  ~TBarCaption() override;
  void Assign(TPersistent* source) override;

  STY_MENU_VALUE(TAlignment, Alignment, false)
  STY_MENU_VALUE(std::string, Caption, false)
  STY_MENU_VALUE(TColor, ShadowColor, false)
  STY_MENU_VALUE(int, Depth, false)
  STY_MENU_VALUE(TDirection, Direction, false)
  // The unpublished second colour (clNone: not drawn) and offset (6).
  STY_MENU_VALUE(TColor, HighlightColor, false)
  STY_MENU_VALUE(int, Offset, false)
  TFont* Font() const { return font_; }
  // Copies the font; rebuilds.
  void SetFont(TFont* value);

  IStyMenu* Menu() const { return menu_.Menu(); }
  virtual void SetMenu(IStyMenu* menu) { menu_.SetMenu(menu); }

 protected:
  kestrune::StyMenuRef menu_;

 private:
  struct Values {
    TAlignment Alignment = taLeftJustify;
    std::string Caption;
    TColor ShadowColor = clNone;
    int Depth = 1;
    TDirection Direction = dDownToUp;
    TColor HighlightColor = clNone;
    int Offset = 6;
  } store_;
  TFont* font_;
};

class TSideBar : public TBarCaption {
  KESTRUNE_CLASS(TSideBar, TBarCaption)
  TSideBar();
  ~TSideBar() override;
  void Assign(TPersistent* source) override;
  void SetMenu(IStyMenu* menu) override;

  STY_MENU_VALUE(bool, Visible, true)
  STY_MENU_VALUE(TSideBarVisibleIn, VisibleIn, false)
  STY_MENU_VALUE(int, Size, false)
  STY_MENU_VALUE(TColor, SplitterColor, false)
  STY_MENU_VALUE(TColor, SplitterColorTo, false)
  STY_MENU_VALUE(int, SplitterWidth, false)
  STY_MENU_VALUE(int, SplitterMargin, false)
  STY_MENU_VALUE(int, SplitterGradientWidth, false)
  STY_MENU_VALUE(TGradientType, SplitterGradientType, false)
  STY_MENU_VALUE(TColor, BorderColor, false)
  // The unpublished placement: 0 on the left, 1 on the right.
  STY_MENU_VALUE(int, Placement, false)
  TBackground* Image() const { return image_; }
  // Copies the part; rebuilds.
  void SetImage(TBackground* value);
  TBackground* Background() const { return background_; }
  void SetBackground(TBackground* value);

 private:
  struct Values {
    bool Visible = false;
    TSideBarVisibleIn VisibleIn = viFirstVisible;
    int Size = 24;
    TColor SplitterColor = 0x808080;
    // Declared default clNone, initial value black: a fresh side bar
    // stores it.
    TColor SplitterColorTo = 0;
    int SplitterWidth = 1;
    int SplitterMargin = 0;
    int SplitterGradientWidth = 0;
    TGradientType SplitterGradientType = gtBoth;
    TColor BorderColor = 0xA19D9D;
    int Placement = 0;
  } store_;
  TBackground* image_;
  TBackground* background_;
};

// The sub-menu arrow, check and radio glyphs, loaded from the bitmaps
// "STYSUBMENUITEM", "STYCHECKITEM" and "STYRADIOITEM" and made transparent.
class TMenuGlyphs : public TPersistent {
  KESTRUNE_CLASS(TMenuGlyphs, TPersistent)
  TMenuGlyphs();
  ~TMenuGlyphs() override;
  void Assign(TPersistent* source) override;

  TBitmap* SubMenu() const { return glyphs_[0]; }
  TBitmap* Check() const { return glyphs_[1]; }
  TBitmap* Radio() const { return glyphs_[2]; }
  // Copy the bitmap.
  void SetSubMenu(TBitmap* value) { SetGlyph(0, value); }
  void SetCheck(TBitmap* value) { SetGlyph(1, value); }
  void SetRadio(TBitmap* value) { SetGlyph(2, value); }

  IStyMenu* Menu() const { return menu_.Menu(); }
  void SetMenu(IStyMenu* menu) { menu_.SetMenu(menu); }

 private:
  void SetGlyph(int index, TBitmap* value);
  kestrune::StyMenuRef menu_;
  TBitmap* glyphs_[3];
};

// Toolbar-button colours: held, copied and stored, drawn by nothing here.
class TButtonAppearance : public TPersistent {
  KESTRUNE_CLASS(TButtonAppearance, TPersistent)
  TButtonAppearance();
  ~TButtonAppearance() override;
  void Assign(TPersistent* source) override;

#define STY_BUTTON_VALUE(Type, Name) \
  Type Name() const {                \
    return store_.Name;              \
  }                                  \
  void Set##Name(Type value) {       \
    if (store_.Name == value)        \
      return;                        \
    store_.Name = value;             \
    Changed();                       \
  }
  STY_BUTTON_VALUE(TColor, Color)
  STY_BUTTON_VALUE(TColor, ColorTo)
  STY_BUTTON_VALUE(TColor, DownColor)
  STY_BUTTON_VALUE(TColor, DownColorTo)
  STY_BUTTON_VALUE(TColor, HoverColor)
  STY_BUTTON_VALUE(TColor, HoverColorTo)
  STY_BUTTON_VALUE(TGradientDirection, GradientDirection)
  STY_BUTTON_VALUE(TColor, BorderColor)
  STY_BUTTON_VALUE(TColor, DownBorderColor)
  STY_BUTTON_VALUE(TColor, HoverBorderColor)
  STY_BUTTON_VALUE(bool, UseSystemFont)
#undef STY_BUTTON_VALUE
  TFont* CaptionFont() const {
    return caption_font_;
  }
  void SetCaptionFont(TFont* value);

  // Raised after every change.
  TNotifyEvent OnChange;

 private:
  void Changed();
  void FontChanged(TObject* sender);
  struct Values {
    TColor Color = clNone;
    TColor ColorTo = clNone;
    TColor DownColor = 0xB59285;
    TColor DownColorTo = clNone;
    TColor HoverColor = 0xD2BDB6;
    TColor HoverColorTo = clNone;
    TGradientDirection GradientDirection = gdVertical;
    TColor BorderColor = clNone;
    TColor DownBorderColor = 0x6A240A;
    TColor HoverBorderColor = 0x6A240A;
    bool UseSystemFont = true;
  } store_;
  TFont* caption_font_;
};

// The settings every styled menu paints with. The fonts start as the
// screen's menu font (the notes font 2 points smaller and grey): the forms
// unit (the `Screen`) must be started before a styler is made (a usage
// check stops the program otherwise).
class TCustomStyMenuStyler : public TComponent {
  KESTRUNE_CLASS(TCustomStyMenuStyler, TComponent)
  explicit TCustomStyMenuStyler(TComponent* owner);
  ~TCustomStyMenuStyler() override;
  // From another TCustomStyMenuStyler: the background, icon bar, selected
  // and root items, glyphs, side bar, separator, font and UseSystemFont.
  void Assign(TPersistent* source) override;

  // Makes `menu` the one this styler and its parts serve (the last one to
  // register), then renews its hooks. nullptr serves none.
  void RegisterMenu(IStyMenu* menu);
  // Forgets `menu` when it is the one served (a menu that goes away).
  void UnregisterMenu(IStyMenu* menu);
  IStyMenu* Menu() const { return menu_.Menu(); }

  TAntiAlias AntiAlias() const { return anti_alias_; }
  void SetAntiAlias(TAntiAlias value) { menu_.Store(anti_alias_, value, true); }
  bool UseSystemFont() const { return use_system_font_; }
  void SetUseSystemFont(bool value) { menu_.Store(use_system_font_, value, true); }
  TColor MenuBorderColor() const { return menu_border_color_; }
  void SetMenuBorderColor(TColor value) { menu_.Store(menu_border_color_, value, false); }

  TBackground* Background() const { return background_; }
  TIconBar* IconBar() const { return icon_bar_; }
  TSelectedItem* SelectedItem() const { return selected_item_; }
  TRootItem* RootItem() const { return root_item_; }
  TMenuGlyphs* Glyphs() const { return glyphs_; }
  TSideBar* SideBar() const { return side_bar_; }
  TSeparator* Separator() const { return separator_; }
  TButtonAppearance* ButtonAppearance() const { return button_appearance_; }
  TFont* Font() const { return font_; }
  TFont* NotesFont() const { return notes_font_; }
  // The part-valued setters copy the given part; the side bar and the fonts
  // rebuild the menu, the others renew its hooks.
  void SetBackground(TBackground* value);
  void SetIconBar(TIconBar* value);
  void SetSelectedItem(TSelectedItem* value);
  void SetRootItem(TRootItem* value);
  void SetGlyphs(TMenuGlyphs* value);
  void SetSideBar(TSideBar* value);
  void SetSeparator(TSeparator* value);
  void SetButtonAppearance(TButtonAppearance* value);
  void SetFont(TFont* value);
  void SetNotesFont(TFont* value);

  // The cached drop-down background picture (redrawn when the window size
  // changes), owned by the styler.
  TBitmap* BackgroundCache() const { return background_cache_; }

 protected:
  kestrune::StyMenuRef menu_;

 private:
  TAntiAlias anti_alias_ = TAntiAlias::aaNone;
  bool use_system_font_ = true;
  TColor menu_border_color_ = 0x7C7C94;
  TBackground* background_;
  TIconBar* icon_bar_;
  TSelectedItem* selected_item_;
  TRootItem* root_item_;
  TMenuGlyphs* glyphs_;
  TSideBar* side_bar_;
  TSeparator* separator_;
  TFont* font_;
  TFont* notes_font_;
  TBitmap* background_cache_;
  TButtonAppearance* button_appearance_;
};

// The styler with its settings published.
class TStyMenuStyler : public TCustomStyMenuStyler {
  KESTRUNE_CLASS(TStyMenuStyler, TCustomStyMenuStyler)
  explicit TStyMenuStyler(TComponent* owner) : TCustomStyMenuStyler(owner) {}
};

// Publishes the styler's settings on T (TStyMenuStyler, and the office
// styler, which publishes the same).
template <class T>
TClassRegistration<T> RegisterStylerProperties(TClassRegistration<T> r) {
  using S = TCustomStyMenuStyler;
  r.Enum("AntiAlias", &S::AntiAlias, &S::SetAntiAlias, {"aaNone", "aaClearType", "aaAntiAlias"},
         TAntiAlias::aaNone)
      .Object("Background", &S::Background)
      .Object("IconBar", &S::IconBar)
      .Object("SelectedItem", &S::SelectedItem)
      .Object("RootItem", &S::RootItem)
      .Object("Glyphs", &S::Glyphs)
      .Object("SideBar", &S::SideBar)
      .Object("Separator", &S::Separator)
      .Object("Font", &S::Font)
      .Object("NotesFont", &S::NotesFont)
      .Bool("UseSystemFont", &S::UseSystemFont, &S::SetUseSystemFont, true)
      .MappedInteger("MenuBorderColor", &S::MenuBorderColor, &S::SetMenuBorderColor, kColorIdents,
                     0x7C7C94)
      .Object("ButtonAppearance", &S::ButtonAppearance);
  return r;
}

// Sets a font from the screen's menu font.
void AssignMenuFont(TFont* font);

// Registers the published properties of the parts and the stylers, the
// identifier maps they use and the glyph bitmaps. Part of the menus unit's
// start-up (StyMenusUnit, controls/StyMenus.h), which needs the classes and
// graphics units started.
void RegisterStyMenuStylerClasses();
