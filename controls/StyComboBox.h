// The styled combo box: the class library's combo box with a flat look on
// demand (its own frame, its own drop-down button, an optional line under
// the text), a focus border, a focus colour, an attached label that follows
// the box, a dropped list wider than the box, and an event when the list
// closes.
//
// No theme library exists here (acxpvs.h) and the common-controls version
// reads as not available, so themed drawing is never in force and the
// button is the unthemed combo-box glyph.
//
// Painting: the box is a hosted widget that draws its text and list itself;
// while the box paints itself (PaintsItself), its own parts land on the layer
// above the hosted box (PaintOverlay): PaintBox's drop-down button strip (its
// client fill kept to that strip, which the hosted box's text never reaches)
// and DrawFrame's frame round the window.
//
// Threads: main thread only.
#pragma once

#include <string>

#include "platform/forms/StdCtrls.h"
#include "platform/gdiobj/GraphicsObjects.h"

enum TLabelPosition {
  lpLeftTop,
  lpLeftCenter,
  lpLeftBottom,
  lpTopLeft,
  lpBottomLeft,
  lpLeftTopLeft,
  lpLeftCenterLeft,
  lpLeftBottomLeft,
  lpTopCenter,
  lpBottomCenter
};

// The packed version 1.2.4.1.
inline constexpr uint32_t kStyComboBoxVersion = 0x01020401;

class TStyCustomCombo : public TCustomComboBox {
  KESTRUNE_CLASS(TStyCustomCombo, TCustomComboBox)
  explicit TStyCustomCombo(TComponent* owner);
  ~TStyCustomCombo() override;

  void Loaded() override;
  void SetBounds(int left, int top, int width, int height) override;
  virtual uint32_t GetVersionNr() const { return kStyComboBoxVersion; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

  bool AutoFocus = false;
  int ButtonWidth() const { return button_width_; }
  // Only 14 to 32 are taken.
  void SetButtonWidth(int value);
  bool DisabledBorder = true;
  int DropWidth() const { return drop_width_; }
  // Above 0 also becomes DroppedWidth; 0 or below leaves DroppedWidth as it
  // is.
  void SetDropWidth(int value);
  bool Etched() const { return etched_; }
  void SetEtched(bool value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  TColor FlatLineColor() const { return flat_line_color_; }
  void SetFlatLineColor(TColor value);
  bool FlatParentColor() const { return flat_parent_color_; }
  void SetFlatParentColor(bool value);
  bool FocusBorder = false;
  TColor FocusBorderColor = clNone;
  TColor FocusColor = clNone;
  // While loading also remembered as the normal colour.
  void SetBoxColor(TColor value);

  std::string LabelCaption() const;
  // Creates the label when needed, sets its text, places it.
  void SetLabelCaption(const std::string& value);
  TLabelPosition LabelPosition() const { return label_position_; }
  void SetLabelPosition(TLabelPosition value);
  int LabelMargin() const { return label_margin_; }
  void SetLabelMargin(int value);
  bool LabelTransparent() const { return label_transparent_; }
  void SetLabelTransparent(bool value);
  bool LabelAlwaysEnabled() const { return label_always_enabled_; }
  void SetLabelAlwaysEnabled(bool value);
  // Owned by the box; the setter copies the given font in.
  TFont* LabelFont() const { return label_font_; }
  void SetLabelFont(TFont* value) { label_font_->Assign(value); }
  // The attached label: nullptr until LabelCaption is first set, then owned
  // by the box (freed with it) and placed on the box's parent.
  TLabel* Label() const { return label_; }
  void SetEnabled(bool value) override;
  void SetVisible(bool value) override;

  // Fired when the list closes, after OnCloseUp.
  TNotifyEvent OnDropUp;

  bool MouseInControl() const { return mouse_in_control_; }
  bool ButtonHot() const { return button_hot_; }
  // Does the box paint itself (flat, focus-bordered while focused, or
  // disabled with a themed frame)?
  bool PaintsItself() const;
  // The client fill and the drop-down button, on a canvas of the window.
  void PaintBox(TCanvas* canvas);
  // The frame round the window (nothing when enabled, not flat and without
  // a focus border colour).
  void DrawFrame(TCanvas* canvas);

 protected:
  void DoEnter() override;
  void DoExit() override;
  void CMMouseEnter(TControl* control) override;
  void CMMouseLeave(TControl* control) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void DropDown() override;
  void CloseUp() override;
  void CMParentFontChanged() override;
  void PaintOverlay(TCanvas* canvas) override;

 private:
  void PlaceLabel();
  void LabelFontChanged(TObject* sender);

  int button_width_ = 19;
  int drop_width_ = 0;
  bool etched_ = false;
  bool flat_ = false;
  TColor flat_line_color_ = clBlack;
  bool flat_parent_color_ = true;
  TLabelPosition label_position_ = lpLeftTop;
  int label_margin_ = 4;
  bool label_transparent_ = false;
  bool label_always_enabled_ = false;
  TFont* label_font_ = nullptr;
  TLabel* label_ = nullptr;
  TColor normal_color_ = clWindow;
  TColor saved_color_ = clWindow;
  bool saved_parent_color_ = false;
  TColor restore_color_ = clWindow;
  bool mouse_in_control_ = false;
  bool button_hot_ = false;
  bool focused_ = false;
  bool styles_possible_ = false;
  bool common_controls6_ = false;
};

class TStyComboBox : public TStyCustomCombo {
  KESTRUNE_CLASS(TStyComboBox, TStyCustomCombo)
  explicit TStyComboBox(TComponent* owner) : TStyCustomCombo(owner) {}
};

void RegisterStyComboBoxClass();
