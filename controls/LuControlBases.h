// The control bases of the Lu family.
//
// TLuCustomImageControl (windowed) and TLuGraphicImageControl (non-windowed)
// give their subclasses an off-screen bitmap sized to the control and
// cleared with the control's Color (or, for a transparent graphic control,
// filled with what lies under it); the subclass draws into it in DrawImage
// and the base copies it out. The repaint hook (RepaintControl) does nothing
// while the description is read.
//
// Threads: main thread only.
#pragma once

#include <string>

#include "controls/LuControls.h"
#include "platform/forms/Controls.h"

class TLuCustomControl : public TCustomControl {
  KESTRUNE_CLASS(TLuCustomControl, TCustomControl)
  explicit TLuCustomControl(TComponent* owner) : TCustomControl(owner) {}
  std::string Version = "1.3";
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  bool Loading() const { return ComponentState().Contains(csLoading); }

 protected:
  // Repaints unless the control is being loaded.
  virtual void RepaintControl();
};

// A windowed Lu control that draws into an off-screen bitmap.
class TLuCustomImageControl : public TLuCustomControl {
  KESTRUNE_CLASS(TLuCustomImageControl, TLuCustomControl)
  explicit TLuCustomImageControl(TComponent* owner);
  ~TLuCustomImageControl() override;
  // Owned by the control and kept for its life (sized to it when it paints).
  TBitmap* Image() const { return image_; }

 protected:
  // Sizes the bitmap to the control, clears it with Color, lets DrawImage
  // draw, then copies the bitmap to the window at 0,0.
  void Paint() override;
  virtual void DrawImage(TCanvas* canvas) = 0;

 private:
  TBitmap* image_ = nullptr;
};

class TLuGraphicControl : public TGraphicControl {
  KESTRUNE_CLASS(TLuGraphicControl, TGraphicControl)
  explicit TLuGraphicControl(TComponent* owner) : TGraphicControl(owner) {}
  std::string Version = "1.3";
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  bool Loading() const { return ComponentState().Contains(csLoading); }

 protected:
  // Repaints unless the control is being loaded.
  virtual void RepaintControl();
};

// A non-windowed Lu control that draws into an off-screen bitmap and copies
// it onto its parent. When Transparent, a paint that comes from the parent
// first captures what lies under the control (from the parent's back buffer)
// into the background bitmap; a repaint the control asks for itself reuses
// the captured background.
class TLuGraphicImageControl : public TLuGraphicControl {
  KESTRUNE_CLASS(TLuGraphicImageControl, TLuGraphicControl)
  explicit TLuGraphicImageControl(TComponent* owner);
  ~TLuGraphicImageControl() override;
  // Both owned by the control and kept for its life (sized to it when it
  // paints).
  TBitmap* Image() const { return image_; }
  TBitmap* Background() const { return background_; }
  bool Transparent() const { return transparent_; }
  // Switches the control's opaque style flag and repaints.
  void SetTransparent(bool value);

 protected:
  void Paint() override;
  virtual void DrawImage(TCanvas* canvas) = 0;
  // Marks the next paint as the control's own (the captured background is
  // reused) and repaints.
  void RepaintControl() override;

 private:
  TBitmap* image_ = nullptr;
  TBitmap* background_ = nullptr;
  bool transparent_ = false;
  bool own_repaint_pending_ = false;
  bool background_captured_ = false;
};

// Walks up the parent chain while the parent is a windowed control and
// returns the last one (nullptr without a parent).
TWinControl* TopmostWinControlParent(TControl* control);
