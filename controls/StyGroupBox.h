// The styled group box: paints its own frame and caption. By default it is
// transparent (the parent paints the background behind it), draws a flat
// one-pixel frame in BorderColor and opens the frame line where the caption
// stands. The caption block (an optional image from an image list, then the
// text) sits at one of six places on the top or bottom edge; the frame may
// be single, double, etched (Ctl3D) and round-cornered.
//
// Threads: main thread only.
#pragma once

#include <string>

#include "platform/forms/StdCtrls.h"
#include "platform/graphics/ImgList.h"

enum class TStyBorderStyle { bsNone, bsSingle, bsDouble };
enum class TCaptionPosition {
  cpTopLeft,
  cpTopRight,
  cpTopCenter,
  cpBottomLeft,
  cpBottomRight,
  cpBottomCenter
};

class TStyCustomGroupBox : public TCustomGroupBox {
  KESTRUNE_CLASS(TStyCustomGroupBox, TCustomGroupBox)
  // Not opaque; Ctl3D and ParentCtl3D off.
  explicit TStyCustomGroupBox(TComponent* owner);

  TColor BorderColor() const { return border_color_; }
  void SetBorderColor(TColor value);
  TStyBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TStyBorderStyle value);
  TCaptionPosition CaptionPosition() const { return caption_position_; }
  void SetCaptionPosition(TCaptionPosition value);
  // Borrowed: forgotten (as by SetImages(nullptr)) when the list is freed.
  TImageList* Images() const { return images_; }
  // None also sets ImageIndex to -1.
  void SetImages(TImageList* value);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool RoundEdges() const { return round_edges_; }
  void SetRoundEdges(bool value);
  // "1.0.0.0"; writing is ignored.
  std::string Version() const;
  void SetVersion(const std::string&) {}
  void SetCtl3D(bool value);

  // 1 (bsNone), 1 or 2 with Ctl3D (bsSingle), 2 or 4 with Ctl3D (bsDouble).
  int BorderWidth() const;
  // The caption block at its place (image, gap 3, text; height + 2).
  TRect CaptionRect();
  // The children's area inside the box, and the rectangle the frame is
  // drawn on.
  TRect InnerClientRect();
  TRect FrameRect();

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;

 private:
  bool TopPosition() const;
  bool HasImage() const { return images_ != nullptr && image_index_ >= 0; }
  TSize CaptionTextSize();
  void ChangedLayout();
  void DrawShape(TCanvas* canvas, const TRect& r, TColor color);

  TColor border_color_ = clSilver;
  TStyBorderStyle border_style_ = TStyBorderStyle::bsSingle;
  TCaptionPosition caption_position_ = TCaptionPosition::cpTopLeft;
  TImageList* images_ = nullptr;
  int image_index_ = -1;
  bool transparent_ = true;
  bool round_edges_ = false;
};

class TStyGroupBox : public TStyCustomGroupBox {
  KESTRUNE_CLASS(TStyGroupBox, TStyCustomGroupBox)
  explicit TStyGroupBox(TComponent* owner) : TStyCustomGroupBox(owner) {}
};

// The packed version 1.0.0.0 of the styled controls' group box.
inline constexpr uint32_t kStyGroupBoxVersion = 0x01000000;

// Bytes of a packed version, most significant first, joined by ".".
std::string PackedVersionText(uint32_t packed);

void RegisterStyGroupBoxClass();
