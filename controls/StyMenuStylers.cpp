#include "controls/StyMenuStylers.h"

#include <string>

#include "controls/StyMenus.h"
#include "platform/win/Libraries.h"

namespace {

// The list of settings every preset writes. Check and radio marks share
// their colours; the mirror colours of the root item are cleared and its
// hover text is the window-text colour in every preset.
struct OfficePreset {
  TColor backgroundColor, backgroundColorTo, menuBorderColor;
  TColor rootColor, rootColorTo;
  TGradientDirection rootDirection;
  TColor rootSelectedColor, rootSelectedColorTo, rootSelectedBorder;
  TColor rootHoverColor, rootHoverColorTo, rootHoverBorder;
  TColor selectedColor, selectedBorder, selectedCheckColor, selectedCheckBorder;
  TColor iconBarColor, iconBarColorTo, iconBarCheckColor, iconBarCheckBorder;
  TColor separatorColor;
  TColor buttonDownColor, buttonDownColorTo, buttonHoverColor, buttonHoverColorTo, buttonBorder;
};

// Indexed by TOfficeStyle; the osCustom row is never applied.
constexpr OfficePreset kPresets[] = {
    // osOffice2003Blue
    {0xF6F6F6, 0xF6F6F6, 0x962D00, 0xF5BE9E, 0xF7CDB2, gdHorizontal, 0xFFEFE3, 0xE7B593, 0x962D00,
     0xCCF4FF, 0x9AD6FF, 0x6F4B4B, 0xC2EEFF, 0x800000, 0x3E80FE,     0x800000, 0xFFEFE3, 0xE4AD87,
     0x6FC0FF, 0x800000, 0xCB8C6A, 0x4E91FE, 0x91D3FF, 0xCCF4FF,     0x91D0FF, 0x800000},
    // osOffice2003Silver
    {0xF8F8F8, 0xF8F8F8, 0x7C6D6D, 0xE5DCDB, 0xF3EEEE, gdHorizontal, 0xFBF8F8, 0xD9CCCA, 0x7C6D6D,
     0xCCF4FF, 0x9AD6FF, 0x6F4B4B, 0xC2EEFF, 0x6F4B4B, 0x3E80FE,     0x6F4B4B, 0xFAF5F5, 0xC8B8B6,
     0x6FC0FF, 0x6F4B4B, 0xA59594, 0x4E91FE, 0x91D3FF, 0xCCF4FF,     0x91D0FF, 0x6F4B4B},
    // osOffice2003Olive
    {0xF4F6F6, 0xF4F6F6, 0x5A8A75, 0xB5DDD9, 0xD8EFEE, gdHorizontal, 0xE6F5F2, 0x9DC7C1, 0x5A8A75,
     0xCCF4FF, 0x9AD6FF, 0x385D3F, 0xC2EEFF, 0x385D3F, 0x3E80FE,     0x385D3F, 0xE4F4F3, 0x96C4BB,
     0x6FC0FF, 0x385D3F, 0x8BB3A8, 0x4E91FE, 0x91D3FF, 0xCCF4FF,     0x91D0FF, 0x385D3F},
    // osOfficeXP
    {0xFBFBFB, 0xFBFBFB, 0x7F7F7F, 0xD4D0C8, 0xD4D0C8, gdHorizontal, 0xE9E7E6, 0xE9E7E6, 0x7F7F7F,
     0xE0C8C0, 0xE0C8C0, 0x6A240A, 0xE0C8C0, 0x6A240A, 0xD0B8B0,     0x6A240A, 0xE6E2DF, 0xE6E2DF,
     0xE0C8C0, 0x6A240A, 0xA8A5A2, 0xB59285, 0xB59285, 0xD2BDB6,     0xD2BDB6, 0x6A240A},
    // osOffice2007Luna
    {0xFAFAFA, 0xFAFAFA, 0xA0867A, 0xFFEBDA, 0xF5DBC4, gdVertical, 0xFFF6EE, 0xF7D9BE, 0xA0867A,
     0xDCF7FF, 0x8ED8FF, 0x66B5DF, 0xD7F2FF, 0x66B5DF, 0x9CE1FC,   0x66B5DF, 0xF8EFE9, 0xF1E2D8,
     0x9CE1FC, 0x66B5DF, 0xD9C5B7, 0x5FB8FB, 0x8CDCFF, 0xDCF7FF,   0x8ED8FF, 0x66B5DF},
    // osOffice2007Obsidian
    {0xF5F5F5, 0xF5F5F5, 0x6F6F6F, 0xA9A9A9, 0x8C8C8C, gdVertical, 0xC8C8C8, 0x9D9D9D, 0x2F2F2F,
     0xDCF7FF, 0x8ED8FF, 0x66B5DF, 0xD7F2FF, 0x66B5DF, 0x9CE1FC,   0x66B5DF, 0xEFEFEF, 0xD9D9D9,
     0x9CE1FC, 0x66B5DF, 0xC5C5C5, 0x5FB8FB, 0x8CDCFF, 0xDCF7FF,   0x8ED8FF, 0x66B5DF},
    // osCustom (not applied)
    {},
    // osOffice2007Silver
    {0xFAFAFA, 0xFAFAFA, 0x9A918E, 0xF1EDEB, 0xDCD5D2, gdVertical, 0xFFFFFF, 0xE3DCD9, 0x9A918E,
     0xDCF7FF, 0x8ED8FF, 0x66B5DF, 0xD7F2FF, 0x66B5DF, 0x9CE1FC,   0x66B5DF, 0xF7F5F4, 0xE9E5E3,
     0x9CE1FC, 0x66B5DF, 0xCFC8C5, 0x5FB8FB, 0x8CDCFF, 0xDCF7FF,   0x8ED8FF, 0x66B5DF},
    // osVista
    {0xF0F0F0, 0xF0F0F0, 0x979797, 0xF7F1EC, 0xE9DDD3, gdVertical, 0xFDF6EC, 0xF5E4CF, 0xC79F7B,
     0xFEF8F1, 0xF9EAD9, 0xDEC2A6, 0xFBEEDE, 0xE4C59E, 0xF6E0C1,   0xC79F7B, 0xF1F1F1, 0xF1F1F1,
     0xF6E0C1, 0xC79F7B, 0xE0E0E0, 0xF5E4CF, 0xEDCFAA, 0xFDF6EC,   0xF5E4CF, 0xC79F7B},
};

void ApplyPreset(TCustomStyMenuStyler* styler, const OfficePreset& p) {
  TBackground* background = styler->Background();
  background->SetColor(0, p.backgroundColor);
  background->SetColor(1, p.backgroundColorTo);
  styler->SetMenuBorderColor(p.menuBorderColor);

  TRootItem* root = styler->RootItem();
  root->SetColor(0, p.rootColor);
  root->SetColor(1, p.rootColorTo);
  root->SetGradientDirection(p.rootDirection);
  root->SetSelectedColor(p.rootSelectedColor);
  root->SetSelectedColorTo(p.rootSelectedColorTo);
  root->SetSelectedColorMirror(clNone);
  root->SetSelectedColorMirrorTo(clNone);
  root->SetSelectedBorderColor(p.rootSelectedBorder);
  root->SetHoverColor(p.rootHoverColor);
  root->SetHoverColorTo(p.rootHoverColorTo);
  root->SetHoverColorMirror(clNone);
  root->SetHoverColorMirrorTo(clNone);
  root->SetHoverBorderColor(p.rootHoverBorder);
  root->SetHoverTextColor(clWindowText);

  TSelectedItem* selected = styler->SelectedItem();
  selected->SetColor(0, p.selectedColor);
  selected->SetColor(1, clNone);
  selected->SetColorMirror(clNone);
  selected->SetColorMirrorTo(clNone);
  selected->SetBorderColor(p.selectedBorder);
  selected->SetCheckColor(p.selectedCheckColor);
  selected->SetRadioColor(p.selectedCheckColor);
  selected->SetCheckColorTo(clNone);
  selected->SetRadioColorTo(clNone);
  selected->SetCheckBorder(p.selectedCheckBorder);
  selected->SetRadioBorder(p.selectedCheckBorder);

  TIconBar* icons = styler->IconBar();
  icons->SetColor(0, p.iconBarColor);
  icons->SetColor(1, p.iconBarColorTo);
  icons->SetCheckColor(p.iconBarCheckColor);
  icons->SetRadioColor(p.iconBarCheckColor);
  icons->SetCheckColorTo(clNone);
  icons->SetRadioColorTo(clNone);
  icons->SetCheckBorder(p.iconBarCheckBorder);
  icons->SetRadioBorder(p.iconBarCheckBorder);

  styler->Separator()->SetColor(0, p.separatorColor);
  styler->Separator()->SetColor(1, clNone);

  TButtonAppearance* buttons = styler->ButtonAppearance();
  buttons->SetDownColor(p.buttonDownColor);
  buttons->SetDownColorTo(p.buttonDownColorTo);
  buttons->SetHoverColor(p.buttonHoverColor);
  buttons->SetHoverColorTo(p.buttonHoverColorTo);
  buttons->SetDownBorderColor(p.buttonBorder);
  buttons->SetHoverBorderColor(p.buttonBorder);
}

// The nearest windowed control among the owners of `component`.
TWinControl* WindowedOwner(TComponent* component) {
  for (TComponent* owner = component->Owner(); owner != nullptr; owner = owner->Owner()) {
    if (auto* control = dynamic_cast<TWinControl*>(owner))
      return control;
  }
  return nullptr;
}

}  // namespace

TNotifierWindow::TNotifierWindow(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
}

void TNotifierWindow::WndProc(TMessage& message) {
  if (message.Msg == WM_THEMECHANGED && OnThemeChange.Assigned())
    OnThemeChange(this);
  TWinControl::WndProc(message);
}

TStyMenuOfficeStyler::TStyMenuOfficeStyler(TComponent* owner) : TCustomStyMenuStyler(owner) {
  SetStyle(osOffice2003Blue);
  notifier_ = Create<TNotifierWindow>(this);
  if (TWinControl* parent = WindowedOwner(this))
    notifier_->SetParent(parent);
  notifier_->OnThemeChange = TNotifyEvent(this, &TStyMenuOfficeStyler::ThemeChanged);
}

void TStyMenuOfficeStyler::Loaded() {
  TCustomStyMenuStyler::Loaded();
  ThemeAdapt();
}

HRESULT TStyMenuOfficeStyler::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<IStyMenuStyleCode>(this, iid, obj);
  return result == S_OK ? result : TCustomStyMenuStyler::QueryInterface(iid, obj);
}

void TStyMenuOfficeStyler::SetStyle(TOfficeStyle value) {
  style_ = value;
  if (value == osCustom)
    return;
  ApplyPreset(this, kPresets[value]);
  if (IStyMenu* menu = Menu())
    menu->RedrawMenuBar();
}

void TStyMenuOfficeStyler::SetStyleCode(int code) {
  switch (code) {
    case 0:
      SetStyle(osOffice2003Blue);
      break;
    case 1:
      SetStyle(osOffice2003Silver);
      break;
    case 2:
      SetStyle(osOffice2003Olive);
      break;
    case 3:
    case 6:
    case 7:
      SetStyle(osOfficeXP);
      break;
    case 4:
      SetStyle(osOffice2007Luna);
      break;
    case 5:
      SetStyle(osOffice2007Obsidian);
      break;
    case 9:
      SetStyle(osOffice2007Silver);
      break;
    default:
      break;
  }
}

void TStyMenuOfficeStyler::ThemeAdapt() {
  if (!auto_theme_adapt_)
    return;
  switch (CurrentColorScheme()) {
    case 1:
      SetStyle(osOffice2003Blue);
      break;
    case 2:
      SetStyle(osOffice2003Olive);
      break;
    case 3:
      SetStyle(osOffice2003Silver);
      break;
    default:
      SetStyle(osOfficeXP);
      break;
  }
}

void TStyMenuOfficeStyler::ThemeChanged(TObject*) {
  ThemeAdapt();
}

int CurrentColorScheme() {
  int major = 0;
  int minor = 0;
  if (!GetSystemVersion(major, minor) || major < 5 || (major == 5 && minor < 1))
    return 0;
  const HMODULE theme = LoadLibrary("uxtheme.dll");
  if (theme == 0)
    return 0;
  // A theme library would be asked here whether themes are active and for
  // the scheme's name; none exists on this platform.
  FreeLibrary(theme);
  return 0;
}

namespace {

void InitStyMenuStylers() {
  StyMenusUnit.Initialize();
  RegisterClass<TNotifierWindow>().Event("OnThemeChange", &TNotifierWindow::OnThemeChange,
                                         &TNotifierWindow::OnThemeChange);
  RegisterStylerProperties(RegisterClass<TStyMenuOfficeStyler>())
      .Enum(
          "Style", &TStyMenuOfficeStyler::Style, &TStyMenuOfficeStyler::SetStyle,
          {"osOffice2003Blue", "osOffice2003Silver", "osOffice2003Olive", "osOfficeXP",
           "osOffice2007Luna", "osOffice2007Obsidian", "osCustom", "osOffice2007Silver", "osVista"},
          osOffice2003Blue)
      .Bool("AutoThemeAdapt", &TStyMenuOfficeStyler::AutoThemeAdapt,
            &TStyMenuOfficeStyler::SetAutoThemeAdapt, false);
}

void FinalizeStyMenuStylers() {
  StyMenusUnit.Finalize();
}

}  // namespace

TUnit StyMenuStylersUnit("StyMenuStylers", &InitStyMenuStylers, &FinalizeStyMenuStylers);
