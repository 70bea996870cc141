// The glass button: a push or toggle button with a translucent rounded (or
// curved) body over whatever lies behind it, a white shine on its upper
// half, a radial glow from the bottom centre while it is pressed or down,
// thin outer and inner borders, an optional media symbol, an optional
// picture and a caption, all drawn through the anti-aliased layer.
//
// Buttons of one parent sharing a GroupIndex behave as radio buttons: a
// button going down announces itself to its parent's children, and a down
// partner of the same group goes up. AllowAllUp is shared by the group.
//
// The button fakes transparency: before drawing it lets its parent paint
// the background (and the parent's non-windowed children) into its canvas.
// The hover timer (1 ms) runs only while the pointer is over the button.
//
// The pictures, the office hint, the hover timer and the shortcut hint
// window are owned by the button and freed with it; the pointers the
// getters return are borrowed, the part-valued setters copy the given part
// in. Picture and PictureDisabled repaint the button when they change;
// PictureDown shows at the next paint.
//
// Threads: main thread only.
#pragma once

#include <string>

#include "controls/GDIPPicture.h"
#include "controls/GdipObjects.h"
#include "controls/ShortCutHint.h"
#include "controls/StoredProperty.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"

enum class TBackGroundSymbol {
  bsArrowLeft,
  bsArrowRight,
  bsArrowUp,
  bsArrowDown,
  bsPlay,
  bsPause,
  bsStop,
  bsFastForward,
  bsForward,
  bsBackward,
  bsFastBackward,
  bsSpeaker,
  bsNoSpeaker,
  bsNone
};
enum class TButtonDirection { bdLeft, bdRight };
enum class TButtonShape { btsRectangle, btsCurvedRectangle };
enum class TButtonLayout {
  blGlyphLeft,
  blGlyphTop,
  blGlyphRight,
  blGlyphBottom,
  blGlyphLeftAdjusted,
  blGlyphRightAdjusted,
  blGlyphTopAdjusted,
  blGlyphBottomAdjusted
};
enum class TShortCutHintPos { shpLeft, shpTop, shpRight, shpBottom, shpCenter };
enum class TStyToolButtonStyle { tasButton, tasCheck };
enum class TGlassButtonState { bsUp, bsDisabled, bsPressed, bsLatched };

// The packed version 1.0.1.0.
inline constexpr uint32_t kStyGlassButtonVersion = 0x01000100;

class TStyCustomGlassButton : public TCustomControl {
  KESTRUNE_CLASS(TStyCustomGlassButton, TCustomControl)
  // 100 x 32, "Tahoma", no hint, hover timer (1 ms) made and stopped.
  explicit TStyCustomGlassButton(TComponent* owner);
  ~TStyCustomGlassButton() override;

  void Loaded() override;
  // Draws the complete button on any canvas.
  virtual void DrawButton(TCanvas* canvas);
  virtual uint32_t GetVersionNr() const { return kStyGlassButtonVersion; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

#define KESTRUNE_GLASS_PROPERTY(Type, Name, field) \
  KESTRUNE_STORED_PROPERTY(Type, Name, field, Invalidate)
  KESTRUNE_GLASS_PROPERTY(TAntiAlias, AntiAlias, anti_alias_)
  KESTRUNE_GLASS_PROPERTY(TColor, BackColor, back_color_)
  KESTRUNE_GLASS_PROPERTY(TBackGroundSymbol, BackGroundSymbol, symbol_)
  KESTRUNE_GLASS_PROPERTY(TColor, BackGroundSymbolColor, symbol_color_)
  KESTRUNE_GLASS_PROPERTY(TButtonDirection, ButtonDirection, direction_)
  KESTRUNE_GLASS_PROPERTY(TButtonShape, ButtonShape, shape_)
  KESTRUNE_GLASS_PROPERTY(TColor, ForeColor, fore_color_)
  KESTRUNE_GLASS_PROPERTY(bool, ForceTransparent, force_transparent_)
  KESTRUNE_GLASS_PROPERTY(TColor, GlowColor, glow_color_)
  KESTRUNE_GLASS_PROPERTY(TColor, InnerBorderColor, inner_border_color_)
  KESTRUNE_GLASS_PROPERTY(TButtonLayout, Layout, layout_)
  KESTRUNE_GLASS_PROPERTY(TColor, OuterBorderColor, outer_border_color_)
  KESTRUNE_GLASS_PROPERTY(TColor, ShineColor, shine_color_)
  KESTRUNE_GLASS_PROPERTY(bool, ShowCaption, show_caption_)
  KESTRUNE_GLASS_PROPERTY(bool, ShowFocusRect, show_focus_rect_)
#undef KESTRUNE_GLASS_PROPERTY

  bool AllowAllUp() const {
    return allow_all_up_;
  }
  void SetAllowAllUp(bool value);
  int GroupIndex() const {
    return group_index_;
  }
  void SetGroupIndex(int value);
  int CornerRadius() const {
    return corner_radius_;
  }
  // Only values >= 0 that differ; while designing, at most half the height.
  void SetCornerRadius(int value);
  bool Down() const {
    return down_;
  }
  // tasCheck takes any value. A tasButton with GroupIndex 0 never stays
  // down; in a group a down button goes up only with AllowAllUp, and one
  // going down sends the down partner of its group up. While loading the
  // value is also kept for Loaded to apply.
  void SetDown(bool value);
  TStyToolButtonStyle Style() const {
    return style_;
  }
  void SetStyle(TStyToolButtonStyle value) {
    style_ = value;
  }
  TGDIPPicture* Picture() const {
    return picture_;
  }
  TGDIPPicture* PictureDown() const {
    return picture_down_;
  }
  TGDIPPicture* PictureDisabled() const {
    return picture_disabled_;
  }
  void SetPicture(TGDIPPicture* value) {
    picture_->Assign(value);
  }
  void SetPictureDown(TGDIPPicture* value) {
    picture_down_->Assign(value);
  }
  void SetPictureDisabled(TGDIPPicture* value) {
    picture_disabled_->Assign(value);
  }
  TStyHintInfo* OfficeHint() const {
    return office_hint_;
  }
  void SetOfficeHint(TStyHintInfo* value) {
    office_hint_->Assign(value);
  }
  std::string ShortCutHint;
  TShortCutHintPos ShortCutHintPos = TShortCutHintPos::shpTop;

  TGlassButtonState State() const {
    return state_;
  }
  bool MouseInControl() const {
    return mouse_in_control_;
  }
  bool MousePressed() const {
    return mouse_pressed_;
  }
  TTimer* HoverTimer() const {
    return hover_timer_;
  }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // The hint-show notification: shows the shortcut hint window (made on
  // first use, owned by the button, text ShortCutHint) beside the button as
  // ShortCutHintPos says, or hides and frees it.
  void ShowShortCutHint(bool show);
  TShortCutHintWindow* ShortCutHintWindow() const {
    return hint_window_;
  }

  // The group announcement: a partner with the same group index (not the
  // sender) goes up when both are down, and takes the sender's AllowAllUp.
  void ButtonPressed(int groupIndex, TStyCustomGlassButton* sender);

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void CMEnabledChanged() override;
  void CMFontChanged() override;
  void CMTextChanged() override;
  void CMMouseEnter(TControl* control) override;
  void CMMouseLeave(TControl* control) override;
  void DoEnter() override;
  void DoExit() override;
  void CMFocusChanged(TWinControl* focused) override;

 private:
  void AnnounceToGroup();
  void UpdateTracking();
  void MouseEntered();
  void MouseLeft();
  void HoverTick(TObject* sender);
  void PictureChanged(TObject* sender);
  bool Inside(int x, int y) const;
  void DrawGlassBackground(TGPGraphics& g);
  void DrawSymbol(TGPGraphics& g);
  // The focus outline, the caption and the picture over the background.
  void DrawGlassContent(TCanvas* canvas, TGPGraphics& g, TGDIPPicture* picture, bool focused);
  // Its steps. `p` is the picture's width (two pixels more beside a
  // caption), `q` its height; both 0 without a picture. A caption step
  // returns the caption's left edge and size as drawn.
  struct TCaptionBox {
    double Left = 0;
    double Width = 0;
    double Height = 0;
  };
  void DrawFocusOutline(TGPGraphics& g);
  // The caption (empty when hidden) with its "\n" pairs as line breaks.
  std::string GlassCaption();
  // Through the anti-aliased layer, placed by the layout.
  TCaptionBox DrawSmoothCaption(TGPGraphics& g, const std::string& caption, int p, int q);
  // As plain text with a transparent brush.
  TCaptionBox DrawPlainCaption(TCanvas* canvas, const std::string& caption, int p);
  // The picture's top-left for the layout, beside the caption drawn into
  // `box` when `captioned`; `smooth` when it went through the anti-aliased
  // layer.
  TPoint PicturePosition(bool captioned, bool smooth, int p, int q, const TCaptionBox& box);

  bool allow_all_up_ = false;
  TAntiAlias anti_alias_ = TAntiAlias::aaClearType;
  TColor back_color_ = clBlack;
  TBackGroundSymbol symbol_ = TBackGroundSymbol::bsNone;
  TColor symbol_color_ = clWhite;
  TButtonDirection direction_ = TButtonDirection::bdRight;
  TButtonShape shape_ = TButtonShape::btsRectangle;
  int corner_radius_ = 4;
  bool down_ = false;
  TColor fore_color_ = clWhite;
  bool force_transparent_ = false;
  TColor glow_color_ = static_cast<TColor>(0xFFBD8D);
  int group_index_ = 0;
  TColor inner_border_color_ = clBlack;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  TColor outer_border_color_ = clWhite;
  TColor shine_color_ = clWhite;
  bool show_caption_ = true;
  bool show_focus_rect_ = false;
  TStyToolButtonStyle style_ = TStyToolButtonStyle::tasButton;

  TGDIPPicture* picture_ = nullptr;
  TGDIPPicture* picture_down_ = nullptr;
  TGDIPPicture* picture_disabled_ = nullptr;
  TStyHintInfo* office_hint_ = nullptr;
  TTimer* hover_timer_ = nullptr;
  TShortCutHintWindow* hint_window_ = nullptr;

  TGlassButtonState state_ = TGlassButtonState::bsUp;
  bool mouse_in_control_ = false;
  bool mouse_pressed_ = false;
  bool tracking_ = false;
  bool active_ = false;
  bool loaded_down_ = false;
};

class TStyGlassButton : public TStyCustomGlassButton {
  KESTRUNE_CLASS(TStyGlassButton, TStyCustomGlassButton)
  explicit TStyGlassButton(TComponent* owner) : TStyCustomGlassButton(owner) {}
};

void RegisterGlassButtonClass();
