#include "controls/StyMenuStyler.h"

#include <string>
#include <vector>

#include "controls/GdipObjects.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/GraphicsResources.h"

namespace {

// `source` as a T, or null when it is of another class.
template <class T>
T* Same(TPersistent* source) {
  return dynamic_cast<T*>(source);
}

void ScreenFontSmaller(TFont* font, TColor color) {
  AssignMenuFont(font);
  font->SetSize(font->Size() - 2);
  font->SetColor(color);
}

}  // namespace

void AssignMenuFont(TFont* font) {
  KESTRUNE_USAGE_CHECK(Screen != nullptr, "menu fonts need the forms unit started");
  font->Assign(Screen->MenuFont());
}

// ---------------------------------------------------------------------------
// TGradientBar and its descendants

TGradientBar::TGradientBar() = default;

void TGradientBar::Assign(TPersistent* source) {
  auto* bar = Same<TGradientBar>(source);
  if (bar == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  colors_[0] = bar->colors_[0];
  colors_[1] = bar->colors_[1];
  direction_ = bar->direction_;
  menu_.Changed(colors_rebuild_);
}

TColor TGradientBar::GetColor(int index) const {
  if (index < 0 || index > 1)
    throw EInvalidPropertyIndex(Format("Invalid property index %d.", {index}));
  return colors_[index];
}

void TGradientBar::SetColor(int index, TColor value) {
  if (index < 0 || index > 1)
    throw EInvalidPropertyIndex(Format("Invalid property index %d.", {index}));
  menu_.Store(colors_[index], value, colors_rebuild_);
}

TIconBar::TIconBar() {
  colors_[0] = 0xFFF9F9;
  colors_[1] = 0xBBA0A1;
  direction_ = gdHorizontal;
}

void TIconBar::Assign(TPersistent* source) {
  if (auto* s = Same<TIconBar>(source)) {
    store_ = s->store_;
    marks_ = s->marks_;
  }
  TGradientBar::Assign(source);
}

void TIconBar::SetSize(int value) {
  menu_.Store(store_.Size, value < 16 ? 16 : value, true);
}

TSelectedItem::TSelectedItem() : font_(Create<TFont>()), notes_font_(Create<TFont>()) {
  colors_[0] = 0xC2EEFF;
  colors_[1] = clNone;
  AssignMenuFont(font_);
  font_->SetColor(clWindowText);
  ScreenFontSmaller(notes_font_, clWindowText);
}

TSelectedItem::~TSelectedItem() {
  notes_font_->Free();
  font_->Free();
}

void TSelectedItem::Assign(TPersistent* source) {
  if (auto* s = Same<TSelectedItem>(source)) {
    store_ = s->store_;
    marks_ = s->marks_;
    font_->Assign(s->font_);
    notes_font_->Assign(s->notes_font_);
  }
  TGradientBar::Assign(source);
}

void TSelectedItem::SetFont(TFont* value) {
  font_->Assign(value);
  menu_.Changed(true);
}

void TSelectedItem::SetNotesFont(TFont* value) {
  notes_font_->Assign(value);
  menu_.Changed(true);
}

TRootItem::TRootItem() : font_(Create<TFont>()) {
  colors_[0] = 0xE5D7D7;
  colors_[1] = 0xF7F2F2;
  direction_ = gdHorizontal;
  AssignMenuFont(font_);
}

TRootItem::~TRootItem() {
  font_->Free();
}

void TRootItem::Assign(TPersistent* source) {
  if (auto* s = Same<TRootItem>(source)) {
    store_ = s->store_;
    font_->Assign(s->font_);
  }
  TGradientBar::Assign(source);
}

void TRootItem::SetFont(TFont* value) {
  font_->Assign(value);
  menu_.Changed(true);
}

TBackground::TBackground() : image_(Create<TPicture>()) {
  colors_[0] = 0xFFFAFD;
  colors_[1] = clNone;
}

TBackground::~TBackground() {
  image_->Free();
}

void TBackground::Assign(TPersistent* source) {
  if (auto* s = Same<TBackground>(source)) {
    store_ = s->store_;
    image_->Assign(s->image_);
  }
  TGradientBar::Assign(source);
}

void TBackground::SetImage(TPicture* value) {
  image_->Assign(value);
  menu_.Changed(false);
}

TSeparator::TSeparator() {
  colors_[0] = 0x8F6D6E;
  colors_[1] = clNone;
  direction_ = gdHorizontal;
}

void TSeparator::Assign(TPersistent* source) {
  if (auto* s = Same<TSeparator>(source))
    store_ = s->store_;
  TGradientBar::Assign(source);
}

// ---------------------------------------------------------------------------
// Side bar

TBarCaption::TBarCaption() : font_(Create<TFont>()) {
  font_->SetName("Tahoma");
  font_->SetSize(14);
  font_->SetColor(clWhite);
  font_->SetStyle(FontStyleBit(fsBold) | FontStyleBit(fsItalic));
}

TBarCaption::~TBarCaption() {
  font_->Free();
}

void TBarCaption::Assign(TPersistent* source) {
  auto* s = Same<TBarCaption>(source);
  if (s == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  store_ = s->store_;
  font_->Assign(s->font_);
  menu_.Changed(true);
}

void TBarCaption::SetFont(TFont* value) {
  font_->Assign(value);
  menu_.Changed(true);
}

TSideBar::TSideBar() : image_(Create<TBackground>()), background_(Create<TBackground>()) {}

TSideBar::~TSideBar() {
  background_->Free();
  image_->Free();
}

void TSideBar::Assign(TPersistent* source) {
  if (auto* s = Same<TSideBar>(source)) {
    store_ = s->store_;
    image_->Assign(s->image_);
    background_->Assign(s->background_);
  }
  TBarCaption::Assign(source);
}

void TSideBar::SetMenu(IStyMenu* menu) {
  TBarCaption::SetMenu(menu);
  image_->SetMenu(menu);
  background_->SetMenu(menu);
}

void TSideBar::SetImage(TBackground* value) {
  image_->Assign(value);
  menu_.Changed(true);
}

void TSideBar::SetBackground(TBackground* value) {
  background_->Assign(value);
  menu_.Changed(true);
}

// ---------------------------------------------------------------------------
// Glyphs and button colours

namespace {

constexpr const char* kGlyphNames[3] = {"STYSUBMENUITEM", "STYCHECKITEM", "STYRADIOITEM"};

// Our glyphs as rows of letters: 'K' black, anything else the transparent
// key (white, the bottom-left pixel of each).
const std::vector<TLetterColor> kGlyphPalette = {{'K', clBlack}};

// The sub-menu arrow: 3 x 5, pointing right; it fits the 3 x 6 box the
// items centre it in.
const std::vector<std::string> kSubMenuGlyph = {"K..", "KK.", "KKK", "KK.", "K.."};
// The check mark: 8 x 7.
const std::vector<std::string> kCheckGlyph = {".......K", "......KK", "K....KKK", "KK..KKK.",
                                              "KKKKKK..", ".KKKK...", "..KK...."};
// The radio dot: 6 x 6.
const std::vector<std::string> kRadioGlyph = {"..KK..", ".KKKK.", "KKKKKK",
                                              "KKKKKK", ".KKKK.", "..KK.."};

void RegisterGlyph(const char* name, const std::vector<std::string>& rows) {
  RegisterLetterBitmap(TResourceKind::Bitmap, name, rows, kGlyphPalette, clWhite);
}

}  // namespace

TMenuGlyphs::TMenuGlyphs() {
  for (int i = 0; i < 3; ++i) {
    glyphs_[i] = Create<TBitmap>();
    glyphs_[i]->LoadFromResourceName(kGlyphNames[i]);
    glyphs_[i]->SetTransparent(true);
  }
}

TMenuGlyphs::~TMenuGlyphs() {
  for (TBitmap* glyph : glyphs_)
    glyph->Free();
}

void TMenuGlyphs::Assign(TPersistent* source) {
  auto* s = Same<TMenuGlyphs>(source);
  if (s == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  for (int i = 0; i < 3; ++i)
    glyphs_[i]->Assign(s->glyphs_[i]);
  menu_.Changed(false);
}

void TMenuGlyphs::SetGlyph(int index, TBitmap* value) {
  glyphs_[index]->Assign(value);
  menu_.Changed(false);
}

TButtonAppearance::TButtonAppearance() : caption_font_(Create<TFont>()) {
  // No locale query offers the newer face here: the caption font is
  // "Tahoma".
  caption_font_->SetName("Tahoma");
  caption_font_->OnChange = TNotifyEvent(this, &TButtonAppearance::FontChanged);
}

TButtonAppearance::~TButtonAppearance() {
  caption_font_->Free();
}

void TButtonAppearance::Assign(TPersistent* source) {
  auto* s = Same<TButtonAppearance>(source);
  if (s == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  store_ = s->store_;
  caption_font_->Assign(s->caption_font_);
  Changed();
}

void TButtonAppearance::SetCaptionFont(TFont* value) {
  caption_font_->Assign(value);
}

void TButtonAppearance::Changed() {
  if (OnChange.Assigned())
    OnChange(this);
}

void TButtonAppearance::FontChanged(TObject*) {
  Changed();
}

// ---------------------------------------------------------------------------
// The styler

TCustomStyMenuStyler::TCustomStyMenuStyler(TComponent* owner)
    : TComponent(owner),
      background_(Create<TBackground>()),
      icon_bar_(Create<TIconBar>()),
      selected_item_(Create<TSelectedItem>()),
      root_item_(Create<TRootItem>()),
      glyphs_(Create<TMenuGlyphs>()),
      side_bar_(Create<TSideBar>()),
      separator_(Create<TSeparator>()),
      font_(Create<TFont>()),
      notes_font_(Create<TFont>()),
      background_cache_(Create<TBitmap>()),
      button_appearance_(Create<TButtonAppearance>()) {
  AssignMenuFont(font_);
  ScreenFontSmaller(notes_font_, clGray);
}

TCustomStyMenuStyler::~TCustomStyMenuStyler() {
  button_appearance_->Free();
  background_cache_->Free();
  notes_font_->Free();
  font_->Free();
  separator_->Free();
  side_bar_->Free();
  glyphs_->Free();
  root_item_->Free();
  selected_item_->Free();
  icon_bar_->Free();
  background_->Free();
}

void TCustomStyMenuStyler::Assign(TPersistent* source) {
  auto* s = Same<TCustomStyMenuStyler>(source);
  if (s == nullptr) {
    TComponent::Assign(source);
    return;
  }
  background_->Assign(s->background_);
  icon_bar_->Assign(s->icon_bar_);
  selected_item_->Assign(s->selected_item_);
  root_item_->Assign(s->root_item_);
  glyphs_->Assign(s->glyphs_);
  side_bar_->Assign(s->side_bar_);
  separator_->Assign(s->separator_);
  font_->Assign(s->font_);
  use_system_font_ = s->use_system_font_;
  menu_.Changed(true);
}

void TCustomStyMenuStyler::RegisterMenu(IStyMenu* menu) {
  menu_.SetMenu(menu);
  background_->SetMenu(menu);
  icon_bar_->SetMenu(menu);
  selected_item_->SetMenu(menu);
  root_item_->SetMenu(menu);
  glyphs_->SetMenu(menu);
  side_bar_->SetMenu(menu);
  separator_->SetMenu(menu);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::UnregisterMenu(IStyMenu* menu) {
  if (menu != nullptr && menu_.Menu() == menu)
    RegisterMenu(nullptr);
}

void TCustomStyMenuStyler::SetBackground(TBackground* value) {
  background_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetIconBar(TIconBar* value) {
  icon_bar_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetSelectedItem(TSelectedItem* value) {
  selected_item_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetRootItem(TRootItem* value) {
  root_item_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetGlyphs(TMenuGlyphs* value) {
  glyphs_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetSideBar(TSideBar* value) {
  side_bar_->Assign(value);
  menu_.Changed(true);
}

void TCustomStyMenuStyler::SetSeparator(TSeparator* value) {
  separator_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetButtonAppearance(TButtonAppearance* value) {
  button_appearance_->Assign(value);
  menu_.Changed(false);
}

void TCustomStyMenuStyler::SetFont(TFont* value) {
  font_->Assign(value);
  menu_.Changed(true);
}

void TCustomStyMenuStyler::SetNotesFont(TFont* value) {
  notes_font_->Assign(value);
  menu_.Changed(true);
}

// ---------------------------------------------------------------------------
// Registration

namespace {

const TNameTable kDirectionNames = {"gdVertical", "gdHorizontal"};
const TNameTable kGradientTypeNames = {"gtLeft", "gtRight", "gtBoth"};

// Color, ColorTo and GradientDirection with the class's own defaults.
template <class T>
TClassRegistration<T> GradientBar(TColor color, TColor colorTo, TGradientDirection direction) {
  auto r = RegisterClass<T>();
  r.MappedInteger("Color", Indexed(&TGradientBar::GetColor, 0), Indexed(&TGradientBar::SetColor, 0),
                  kColorIdents, color)
      .MappedInteger("ColorTo", Indexed(&TGradientBar::GetColor, 1),
                     Indexed(&TGradientBar::SetColor, 1), kColorIdents, colorTo)
      .Enum("GradientDirection", &TGradientBar::GradientDirection,
            &TGradientBar::SetGradientDirection, kDirectionNames, direction);
  return r;
}

// The mark colours of the icon bar and the selected item, `fill` being the
// default of both fills.
template <class T>
TClassRegistration<T> MarkColors(TClassRegistration<T> r, TColor fill) {
  r.MappedInteger("CheckColor", &T::CheckColor, &T::SetCheckColor, kColorIdents, fill)
      .MappedInteger("CheckColorTo", &T::CheckColorTo, &T::SetCheckColorTo, kColorIdents, clNone)
      .MappedInteger("CheckBorder", &T::CheckBorder, &T::SetCheckBorder, kColorIdents, 0x6F4B4B)
      .Enum("CheckGradientDirection", &T::CheckGradientDirection, &T::SetCheckGradientDirection,
            kDirectionNames, gdVertical)
      .MappedInteger("RadioColor", &T::RadioColor, &T::SetRadioColor, kColorIdents, fill)
      .MappedInteger("RadioColorTo", &T::RadioColorTo, &T::SetRadioColorTo, kColorIdents, clNone)
      .MappedInteger("RadioBorder", &T::RadioBorder, &T::SetRadioBorder, kColorIdents, 0x6F4B4B)
      .Enum("RadioGradientDirection", &T::RadioGradientDirection, &T::SetRadioGradientDirection,
            kDirectionNames, gdVertical);
  return r;
}

}  // namespace

void RegisterStyMenuStylerClasses() {
  RegisterGlyph(kGlyphNames[0], kSubMenuGlyph);
  RegisterGlyph(kGlyphNames[1], kCheckGlyph);
  RegisterGlyph(kGlyphNames[2], kRadioGlyph);

  GradientBar<TGradientBar>(0xD8BDAF, clNone, gdVertical);
  MarkColors(GradientBar<TIconBar>(0xFFF9F9, 0xBBA0A1, gdHorizontal), 0x6FC0FF)
      .MappedInteger("SeparatorColor", &TIconBar::SeparatorColor, &TIconBar::SetSeparatorColor,
                     kColorIdents, clNone)
      .Integer("Size", &TIconBar::Size, &TIconBar::SetSize, 24);
  MarkColors(GradientBar<TSelectedItem>(0xC2EEFF, clNone, gdVertical), 0x3E80FE)
      .MappedInteger("ColorMirror", &TSelectedItem::ColorMirror, &TSelectedItem::SetColorMirror,
                     kColorIdents, clNone)
      .MappedInteger("ColorMirrorTo", &TSelectedItem::ColorMirrorTo,
                     &TSelectedItem::SetColorMirrorTo, kColorIdents, clNone)
      .MappedInteger("BorderColor", &TSelectedItem::BorderColor, &TSelectedItem::SetBorderColor,
                     kColorIdents, 0x6F4B4B)
      .Object("Font", &TSelectedItem::Font)
      .Object("NotesFont", &TSelectedItem::NotesFont)
      .Bool("UseSystemFont", &TSelectedItem::UseSystemFont, &TSelectedItem::SetUseSystemFont, true);
  GradientBar<TRootItem>(0xE5D7D7, 0xF7F2F2, gdHorizontal)
      .Object("Font", &TRootItem::Font)
      .Bool("UseSystemFont", &TRootItem::UseSystemFont, &TRootItem::SetUseSystemFont, true)
      .MappedInteger("SelectedColor", &TRootItem::SelectedColor, &TRootItem::SetSelectedColor,
                     kColorIdents, 0xF2E8E8)
      .MappedInteger("SelectedColorTo", &TRootItem::SelectedColorTo, &TRootItem::SetSelectedColorTo,
                     kColorIdents, 0xCDB8B9)
      .MappedInteger("SelectedColorMirror", &TRootItem::SelectedColorMirror,
                     &TRootItem::SetSelectedColorMirror, kColorIdents, clNone)
      .MappedInteger("SelectedColorMirrorTo", &TRootItem::SelectedColorMirrorTo,
                     &TRootItem::SetSelectedColorMirrorTo, kColorIdents, clNone)
      .Enum("SelectedGradientDirection", &TRootItem::SelectedGradientDirection,
            &TRootItem::SetSelectedGradientDirection, kDirectionNames, gdVertical)
      .MappedInteger("SelectedBorderColor", &TRootItem::SelectedBorderColor,
                     &TRootItem::SetSelectedBorderColor, kColorIdents, 0x947C7C)
      .MappedInteger("SelectedTextColor", &TRootItem::SelectedTextColor,
                     &TRootItem::SetSelectedTextColor, kColorIdents, clWindowText)
      .MappedInteger("HoverColor", &TRootItem::HoverColor, &TRootItem::SetHoverColor, kColorIdents,
                     0xCFF6FF)
      .MappedInteger("HoverColorTo", &TRootItem::HoverColorTo, &TRootItem::SetHoverColorTo,
                     kColorIdents, 0x9DD8FF)
      .MappedInteger("HoverColorMirror", &TRootItem::HoverColorMirror,
                     &TRootItem::SetHoverColorMirror, kColorIdents, clNone)
      .MappedInteger("HoverColorMirrorTo", &TRootItem::HoverColorMirrorTo,
                     &TRootItem::SetHoverColorMirrorTo, kColorIdents, clNone)
      .Enum("HoverGradientDirection", &TRootItem::HoverGradientDirection,
            &TRootItem::SetHoverGradientDirection, kDirectionNames, gdVertical)
      .MappedInteger("HoverBorderColor", &TRootItem::HoverBorderColor,
                     &TRootItem::SetHoverBorderColor, kColorIdents, 0x6F4B4B)
      .MappedInteger("HoverTextColor", &TRootItem::HoverTextColor, &TRootItem::SetHoverTextColor,
                     kColorIdents, clWindowText);
  GradientBar<TBackground>(0xFFFAFD, clNone, gdVertical)
      .Object("Image", &TBackground::Image)
      .Enum("Position", &TBackground::Position, &TBackground::SetPosition,
            {"bpTopLeft", "bpTopRight", "bpBottomLeft", "bpBottomRight", "bpTopCenter",
             "bpBottomCenter", "bpTiled", "bpStretched", "bpCenter", "bpXY"},
            bpCenter)
      .Integer("OffsetX", &TBackground::OffsetX, &TBackground::SetOffsetX, 0)
      .Integer("OffsetY", &TBackground::OffsetY, &TBackground::SetOffsetY, 0)
      .Integer("MarginX", &TBackground::MarginX, &TBackground::SetMarginX, 0)
      .Integer("MarginY", &TBackground::MarginY, &TBackground::SetMarginY, 0);
  GradientBar<TSeparator>(0x8F6D6E, clNone, gdHorizontal)
      .Integer("Width", &TSeparator::Width, &TSeparator::SetWidth, 1)
      .Enum("GradientType", &TSeparator::GradientType, &TSeparator::SetGradientType,
            kGradientTypeNames, gtBoth)
      .Integer("GradientWidth", &TSeparator::GradientWidth, &TSeparator::SetGradientWidth, 0)
      .Integer("Margin", &TSeparator::Margin, &TSeparator::SetMargin, 2);
  RegisterClass<TBarCaption>()
      .Enum("Alignment", &TBarCaption::Alignment, &TBarCaption::SetAlignment,
            {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify)
      .String("Caption", &TBarCaption::Caption, &TBarCaption::SetCaption, "")
      .Object("Font", &TBarCaption::Font)
      .MappedInteger("ShadowColor", &TBarCaption::ShadowColor, &TBarCaption::SetShadowColor,
                     kColorIdents, clNone)
      .Integer("Depth", &TBarCaption::Depth, &TBarCaption::SetDepth, 1)
      .Enum("Direction", &TBarCaption::Direction, &TBarCaption::SetDirection,
            {"dDownToUp", "dUpToDown"}, dDownToUp);
  RegisterClass<TSideBar>()
      .Bool("Visible", &TSideBar::Visible, &TSideBar::SetVisible, false)
      .Enum("VisibleIn", &TSideBar::VisibleIn, &TSideBar::SetVisibleIn,
            {"viFirstVisible", "viFirstLevel", "viAnyLevel"}, viFirstVisible)
      .Object("Image", &TSideBar::Image)
      .Object("Background", &TSideBar::Background)
      .Integer("Size", &TSideBar::Size, &TSideBar::SetSize, 24)
      .MappedInteger("SplitterColor", &TSideBar::SplitterColor, &TSideBar::SetSplitterColor,
                     kColorIdents, 0x808080)
      .MappedInteger("SplitterColorTo", &TSideBar::SplitterColorTo, &TSideBar::SetSplitterColorTo,
                     kColorIdents, clNone)
      .Integer("SplitterWidth", &TSideBar::SplitterWidth, &TSideBar::SetSplitterWidth, 1)
      .Integer("SplitterMargin", &TSideBar::SplitterMargin, &TSideBar::SetSplitterMargin, 0)
      .Integer("SplitterGradientWidth", &TSideBar::SplitterGradientWidth,
               &TSideBar::SetSplitterGradientWidth, 0)
      .Enum("SplitterGradientType", &TSideBar::SplitterGradientType,
            &TSideBar::SetSplitterGradientType, kGradientTypeNames, gtBoth)
      .MappedInteger("BorderColor", &TSideBar::BorderColor, &TSideBar::SetBorderColor, kColorIdents,
                     0xA19D9D);
  RegisterClass<TMenuGlyphs>();
  RegisterClass<TButtonAppearance>()
      .MappedInteger("Color", &TButtonAppearance::Color, &TButtonAppearance::SetColor, kColorIdents,
                     clNone)
      .MappedInteger("ColorTo", &TButtonAppearance::ColorTo, &TButtonAppearance::SetColorTo,
                     kColorIdents, clNone)
      .MappedInteger("DownColor", &TButtonAppearance::DownColor, &TButtonAppearance::SetDownColor,
                     kColorIdents, 0xB59285)
      .MappedInteger("DownColorTo", &TButtonAppearance::DownColorTo,
                     &TButtonAppearance::SetDownColorTo, kColorIdents, clNone)
      .MappedInteger("HoverColor", &TButtonAppearance::HoverColor,
                     &TButtonAppearance::SetHoverColor, kColorIdents, 0xD2BDB6)
      .MappedInteger("HoverColorTo", &TButtonAppearance::HoverColorTo,
                     &TButtonAppearance::SetHoverColorTo, kColorIdents, clNone)
      .Enum("GradientDirection", &TButtonAppearance::GradientDirection,
            &TButtonAppearance::SetGradientDirection, kDirectionNames, gdVertical)
      .MappedInteger("BorderColor", &TButtonAppearance::BorderColor,
                     &TButtonAppearance::SetBorderColor, kColorIdents, clNone)
      .MappedInteger("DownBorderColor", &TButtonAppearance::DownBorderColor,
                     &TButtonAppearance::SetDownBorderColor, kColorIdents, 0x6A240A)
      .MappedInteger("HoverBorderColor", &TButtonAppearance::HoverBorderColor,
                     &TButtonAppearance::SetHoverBorderColor, kColorIdents, 0x6A240A)
      .Object("CaptionFont", &TButtonAppearance::CaptionFont)
      .Bool("UseSystemFont", &TButtonAppearance::UseSystemFont,
            &TButtonAppearance::SetUseSystemFont, true);
  RegisterStylerProperties(RegisterClass<TStyMenuStyler>());
}
