// The shared layer of the Lu controls (track bar, rotated label, gradient):
// component and control bases that carry a Version text and paint through an
// off-screen bitmap, a multi-layer bevel, and a bitmap list that several
// controls share through change links.
//
// Life cycle: components and controls are owned by their owner and freed
// with it. A TLuChangeLink is owned by the control that listens (the track
// bar); the shared component it is inserted into only refers to it, clears
// the link's sender when it goes away, and the link removes itself from its
// sender when freed.
//
// The control bases are in LuControlBases.h.
//
// Threads: main thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/StoredProperty.h"
#include "platform/classes/Classes.h"
#include "platform/gdiobj/Colors.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"

class TLuChangeLink;

class TLuComponent : public TComponent {
  KESTRUNE_CLASS(TLuComponent, TComponent)
  explicit TLuComponent(TComponent* owner) : TComponent(owner) {}
  // "1.3"; a plain stored string.
  std::string Version = "1.3";
};

// A component that tells its change links of each change.
class TLuSharedComponent : public TLuComponent {
  KESTRUNE_CLASS(TLuSharedComponent, TLuComponent)
  explicit TLuSharedComponent(TComponent* owner) : TLuComponent(owner) {}
  // Detaches every link (their sender becomes null).
  ~TLuSharedComponent() override;
  // Takes the link from its former sender, sets its sender and appends it;
  // nullptr is ignored. The link stays owned by its listener.
  void InsertLink(TLuChangeLink* link);
  // Clears the link's sender and removes it.
  void RemoveLink(TLuChangeLink* link);
  // Runs each link's Change in list order.
  void NotifyLinks();
  int LinkCount() const { return static_cast<int>(links_.size()); }

 private:
  std::vector<TLuChangeLink*> links_;
};

class TLuChangeLink : public TObject {
  KESTRUNE_CLASS(TLuChangeLink, TObject)
  TLuChangeLink() = default;
  // Removes itself from its sender.
  ~TLuChangeLink() override;
  TLuSharedComponent* Sender() const { return sender_; }
  // Fires OnChange, with the sender as argument, when assigned.
  virtual void Change();
  TNotifyEvent OnChange;

 private:
  friend class TLuSharedComponent;
  TLuSharedComponent* sender_ = nullptr;
};

enum class TLuBevelOutlineStyle { osOuter, osInner, osNone };
enum class TLuBevelStyle { bsNone, bsLowered, bsRaised };

// A frame of up to nine layers drawn from the outside in. Every setter
// stores a changed value and calls Changed; Assign copies all settings
// inside one update pair, so it notifies once.
class TLuBevel : public TPersistent {
  KESTRUNE_CLASS(TLuBevel, TPersistent)
  TLuBevel() = default;

  // From another bevel; any other source raises EConvertError and changes
  // nothing.
  void Assign(TPersistent* source) override;
  void BeginUpdate() { ++update_count_; }
  // Decrements the count when positive, then calls Changed.
  void EndUpdate();
  // Fires OnChange when no update is pending.
  void Changed();
  int UpdateCount() const { return update_count_; }

  // Draws the bevel on `canvas` inside `rect` (when Visible) and shrinks
  // `rect` to the area left inside it.
  void Paint(TCanvas* canvas, TRect& rect) const;

#define KESTRUNE_LU_BEVEL_PROPERTY(Type, Name, field) \
  KESTRUNE_STORED_PROPERTY(Type, Name, field, Changed)
  KESTRUNE_LU_BEVEL_PROPERTY(int, BorderWidth, border_width_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, BorderColor, border_color_)
  KESTRUNE_LU_BEVEL_PROPERTY(TLuBevelOutlineStyle, OuterOutline, outer_outline_)
  KESTRUNE_LU_BEVEL_PROPERTY(TLuBevelStyle, OuterStyle, outer_style_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, OuterShadow, outer_shadow_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, OuterHighlight, outer_highlight_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, OuterColor, outer_color_)
  KESTRUNE_LU_BEVEL_PROPERTY(TLuBevelOutlineStyle, InnerOutline, inner_outline_)
  KESTRUNE_LU_BEVEL_PROPERTY(TLuBevelStyle, InnerStyle, inner_style_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, InnerShadow, inner_shadow_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, InnerHighlight, inner_highlight_)
  KESTRUNE_LU_BEVEL_PROPERTY(TColor, InnerColor, inner_color_)
  KESTRUNE_LU_BEVEL_PROPERTY(bool, Visible, visible_)
#undef KESTRUNE_LU_BEVEL_PROPERTY
  int OuterWidth() const {
    return outer_width_;
  }
  int OuterSpace() const {
    return outer_space_;
  }
  int InnerWidth() const {
    return inner_width_;
  }
  int InnerSpace() const {
    return inner_space_;
  }
  // Widths are at least 1 and spaces at least 0: a value below is raised to
  // the limit.
  void SetOuterWidth(int value);
  void SetOuterSpace(int value);
  void SetInnerWidth(int value);
  void SetInnerSpace(int value);

  TNotifyEvent OnChange;

 private:
  void StoreInt(int& field, int value);

  int update_count_ = 0;
  int border_width_ = 0;
  TColor border_color_ = clBtnFace;
  TLuBevelOutlineStyle outer_outline_ = TLuBevelOutlineStyle::osOuter;
  TLuBevelStyle outer_style_ = TLuBevelStyle::bsRaised;
  TColor outer_shadow_ = clBtnShadow;
  TColor outer_highlight_ = clBtnHighlight;
  int outer_width_ = 1;
  int outer_space_ = 0;
  TColor outer_color_ = clBtnFace;
  TLuBevelOutlineStyle inner_outline_ = TLuBevelOutlineStyle::osNone;
  TLuBevelStyle inner_style_ = TLuBevelStyle::bsLowered;
  TColor inner_shadow_ = clBtnShadow;
  TColor inner_highlight_ = clBtnHighlight;
  int inner_width_ = 1;
  int inner_space_ = 1;
  TColor inner_color_ = clBtnFace;
  bool visible_ = true;
};

// An owned list of bitmaps with update counting. Stored as the binary
// property "Bitmaps": the magic bytes 'b' 'T' '5' 0, a 32-bit little-endian
// count, then each bitmap as its BMP file bytes (the BMP header's file size
// says where the next one begins). In a stored description the bytes are a
// string of two hexadecimal digits per byte.
class TLuBitmaps : public TPersistent {
  KESTRUNE_CLASS(TLuBitmaps, TPersistent)
  TLuBitmaps() = default;
  ~TLuBitmaps() override;

  // Takes ownership of `bitmap` and appends it; calls Changed.
  int Add(TBitmap* bitmap);
  int Count() const { return static_cast<int>(items_.size()); }
  // The bitmap at `index` (owned by the list); nullptr outside the list.
  TBitmap* Items(int index) const;
  // Frees every bitmap; Changed when there were any.
  void Clear();

  // Reads a whole list. A wrong magic, or a count or bitmap that runs past
  // the end of the stream, raises EInvalidGraphic "Invalid file format"; a
  // bitmap the BMP reader refuses raises the reader's error. On any failure
  // the list is left as it was. On success the read bitmaps are appended.
  void LoadFromStream(TStream* stream);
  void SaveToStream(TStream* stream) const;
  // A file stream around the stream operations, inside one update pair.
  // Failures raise as the stream operations (and the file stream) do; a save
  // replaces the file whole or not at all (SaveFileAtomically).
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  // From another list: copies of its bitmaps replace these, one
  // notification. Any other source raises EConvertError and changes nothing.
  void Assign(TPersistent* source) override;
  // Reading "Bitmaps": a text that is not hexadecimal raises the reader's
  // error and changes nothing; bytes LoadFromStream refuses raise its error
  // after the list was cleared.
  void DefineProperties(TFiler* filer) override;

  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  void Changed();

  TNotifyEvent OnChange;

 private:
  void ReadData(TReader* reader);
  void WriteData(TWriter* writer);

  std::vector<TBitmap*> items_;
  int update_count_ = 0;
};

// A shared list of bitmaps. A change of its bitmaps notifies the links,
// then fires OnChange.
class TLuBitmapList : public TLuSharedComponent {
  KESTRUNE_CLASS(TLuBitmapList, TLuSharedComponent)
  explicit TLuBitmapList(TComponent* owner);
  ~TLuBitmapList() override;
  TLuBitmaps* Bitmaps() const { return bitmaps_; }
  // Copies into the owned list.
  void SetBitmaps(TLuBitmaps* value) { bitmaps_->Assign(value); }
  TNotifyEvent OnChange;

 private:
  void BitmapsChanged(TObject* sender);
  TLuBitmaps* bitmaps_ = nullptr;
};

// The message of a bitmap-list stream that cannot be read.
inline constexpr const char* kInvalidFileFormat = "Invalid file format";

void RegisterLuControlClasses();
