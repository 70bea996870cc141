// The office styler: a menu styler whose Style loads one of nine colour
// presets, and which can follow the desktop's colour scheme.
//
// Setting Style (on every assignment) writes the preset's list of settings
// into the parts (osCustom writes nothing), then asks a registered main
// menu to redraw its bar. With AutoThemeAdapt on, Loaded and a theme change
// pick the preset from the desktop's colour scheme; no theme library exists
// here, so the scheme reads as none and the preset is osOfficeXP.
//
// The styler owns a TNotifierWindow, a hidden windowed control parented to
// the nearest windowed control among its owners, which raises OnThemeChange
// when a theme-change message reaches it (none arrives here).
//
// Threads: main thread.
#pragma once

#include "controls/StyMenuStyler.h"
#include "platform/classes/Controls.h"

enum TOfficeStyle : uint8_t {
  osOffice2003Blue,
  osOffice2003Silver,
  osOffice2003Olive,
  osOfficeXP,
  osOffice2007Luna,
  osOffice2007Obsidian,
  osCustom,
  osOffice2007Silver,
  osVista
};

// The theme-change message a notifier window answers.
inline constexpr UINT WM_THEMECHANGED = 0x031A;

class TNotifierWindow : public TWinControl {
  KESTRUNE_CLASS(TNotifierWindow, TWinControl)
  explicit TNotifierWindow(TComponent* owner);
  TNotifyEvent OnThemeChange;

 protected:
  void WndProc(TMessage& message) override;
};

// Sets a styler's style from a shared style code: 0 osOffice2003Blue, 1
// osOffice2003Silver, 2 osOffice2003Olive, 3, 6 and 7 osOfficeXP, 4
// osOffice2007Luna, 5 osOffice2007Obsidian, 9 osOffice2007Silver; any other
// code changes nothing.
struct IStyMenuStyleCode : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{11AC2DDC-C087-4298-AB6E-EA1B5017511B}");
  virtual void SetStyleCode(int code) = 0;

 protected:
  ~IStyMenuStyleCode() = default;
};

class TStyMenuOfficeStyler : public TCustomStyMenuStyler, public IStyMenuStyleCode {
  KESTRUNE_CLASS(TStyMenuOfficeStyler, TCustomStyMenuStyler)
  // The settings of osOffice2003Blue, and the notifier window.
  explicit TStyMenuOfficeStyler(TComponent* owner);
  void Loaded() override;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  TOfficeStyle Style() const { return style_; }
  void SetStyle(TOfficeStyle value);
  bool AutoThemeAdapt() const { return auto_theme_adapt_; }
  void SetAutoThemeAdapt(bool value) { auto_theme_adapt_ = value; }
  // Owned by the styler (its component owner) and freed with it.
  TNotifierWindow* NotifierWindow() const { return notifier_; }

  void SetStyleCode(int code) override;

 private:
  // Picks the preset from the desktop's colour scheme while AutoThemeAdapt
  // is on.
  void ThemeAdapt();
  void ThemeChanged(TObject* sender);

  TOfficeStyle style_ = osOffice2003Blue;
  bool auto_theme_adapt_ = false;
  TNotifierWindow* notifier_ = nullptr;
};

// The desktop's colour scheme: 1 "NormalColor", 2 "HomeStead", 3
// "Metallic", 0 otherwise or without themes (always 0 here).
int CurrentColorScheme();

// The office styler's unit: start-up starts the menus unit and registers
// the office styler and its notifier window.
extern TUnit StyMenuStylersUnit;
