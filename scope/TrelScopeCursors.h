// Cursors, their channel links, and the cursor links with their measurement
// lines and selections.
//
// A cursor (TTrelDisplayCursor, an item of the scope's Cursors) is a
// reference line in the plot area: vertical at Position.X, horizontal at
// Position.Y, or both. It is dragged with the mouse (a dotted trail and the
// difference are shown; the position is taken on release) and labels, through
// its channel links (its Channels), the points where channels meet it.
// A cursor link (TTrelDisplayCursorLink, an item of the scope's CursorLinks)
// joins two cursors and shows a measurement line with the difference of
// their positions and a shaded selection between them; its measurement line
// can be dragged too.
//
// References are kept by pointer and stored by index: a channel link
// registers with its channel (a dying channel frees its links), a cursor
// link with both cursors (a dying cursor moves or drops the ends of its
// links). The scene draws the links' selections before the traces, the
// cursors after the overlays, then the links' measurement lines; the plot
// area hit-tests cursors and links for the hover and the press, and ends
// their drags on release. Main thread only. Every part a getter returns
// (position, channel links, labels, pens, brushes, measurement line,
// selection) is owned by its item and freed with it; the part-valued
// setters copy the given part in.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/classes/Controls.h"
#include "platform/graphics/Canvas.h"
#include "scope/TrelDisplayCollections.h"
#include "scope/TrelScopeChannel.h"
#include "scope/TrelScopeMarkers.h"
#include "scope/TrelScopeSettings.h"

class TTrelDataChart;
class TTrelScope;
class TTrelDisplayChannel;
class TTrelDisplayCursor;
class TTrelDisplayCursorLink;

// The plot rectangle and the axis ranges that cursors and links are drawn
// and hit-tested with.
struct TTrelPlotFrame {
  TRect Plot;
  double XMin = 0.0;
  double XMax = 0.0;
  double YMin = 0.0;
  double YMax = 0.0;
};

using TTrelPositionChangeEvent = TMethod<void(
    TObject* Sender, int Index, TTrelRealPoint OldPosition, TTrelRealPoint NewPosition)>;

// The value an axis's cursor settings make of a cursor value: with
// SnapToSample, the nearest sample of the channels (X: their X values in
// axis units; Y: their samples) when the value lies strictly inside that
// channel's samples, a later channel overriding an earlier one.
double SnapCursorValue(TTrelScope* scope, bool xAxis, double value);

// ---------------------------------------------------------------------------
// Channel links

class TTrelDisplayChannelLink : public TTrelDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayChannelLink, TTrelDisplayCollectionItem)
  explicit TTrelDisplayChannelLink(TCollection* collection);
  ~TTrelDisplayChannelLink() override;
  void BeforeDestruction() override;
  // "ChannelIndex" (read and always written); the older "Channel" is read
  // and skipped.
  void DefineProperties(TFiler* filer) override;
  // The channel's name, or the item's default without a channel.
  std::string GetDisplayName() override;

  TTrelDisplayChannel* GetChannel() const { return channel_; }
  // Unregisters from the old channel, registers with the new one.
  void SetChannel(TTrelDisplayChannel* channel);
  TTrelDisplayLabel* GetChannelLabel() const { return label_; }
  void SetChannelLabel(TTrelDisplayLabel* v) { label_->Assign(v); }
  bool GetUseChannelColor() const { return use_channel_color_; }
  void SetUseChannelColor(bool v);
  TPen* GetPen() const { return pen_; }
  void SetPen(TPen* v) { pen_->Assign(v); }
  TBrush* GetBrush() const { return brush_; }
  void SetBrush(TBrush* v) { brush_->Assign(v); }
  std::uint32_t GetSize() const { return size_; }
  void SetSize(std::uint32_t v);
  TTrelDisplayMarkerShape GetShape() const { return shape_; }
  void SetShape(TTrelDisplayMarkerShape v);

  // One marked point at (x, y) with its values; `trail` keeps the caller's
  // pen (the drag trail's).
  void Draw(TCanvas* canvas, bool trail, const std::string& defaultFormat, int x, int y,
            double valueX, double valueY);
  // A stored "ChannelIndex": a channel of the scope, or none when outside.
  void TakeChannelIndex(std::int64_t index);

 private:
  friend class TTrelDisplayChannel;
  void Repaint();
  void PartChanged(TObject*) { Repaint(); }
  void ReadChannelIndex(TReader* reader);
  void WriteChannelIndex(TWriter* writer);
  void SkipChannel(TReader* reader);
  TTrelScope* Scope() const;

  TTrelDisplayChannel* channel_ = nullptr;
  TTrelDisplayLabel* label_;
  bool use_channel_color_ = true;
  TPen* pen_;
  std::uint32_t size_ = 3;
  TTrelDisplayMarkerShape shape_ = msCircle;
  TBrush* brush_;
};

class TTrelDisplayChannelLinks : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelDisplayChannelLinks, TTrelDisplayCollection)
  TTrelDisplayChannelLinks(TTrelDataDisplay* display, TPersistent* owner);
  TTrelDisplayChannelLink* GetItem(int index) const;
  TTrelDisplayChannelLink* Add() {
    return static_cast<TTrelDisplayChannelLink*>(TCollection::Add());
  }
  TPersistent* GetOwner() override { return owner_; }
  // A link only when the scope has a channel.
  TTrelDisplayChannelLink* AddNew();
  // Adds a link for `channel` unless one exists.
  void EnsureLink(TTrelDisplayChannel* channel);
  // Deletes every link of `channel`.
  void RemoveChannel(TTrelDisplayChannel* channel);
  // Each link of a visible channel marks the points where the channel's
  // trace meets a vertical line at `position` (default "%Y") or, with
  // `level`, a horizontal one (default "%X").
  void DrawCrossings(TCanvas* canvas, bool trail, bool level, double value);

 protected:
  void Update(TCollectionItem* item) override;
  // The scope channel the fewest links of this collection name; a redraw.
  void ItemAdded(TVekExtCollectionItem* item) override;

 private:
  TPersistent* owner_;
};

// ---------------------------------------------------------------------------
// Cursors

enum TTrelDisplayCursorKind : std::uint8_t { ckVertical, ckHorizontal, ckBoth };

class TTrelDisplayCursorPosition : public TPersistent {
  KESTRUNE_CLASS(TTrelDisplayCursorPosition, TPersistent)
  explicit TTrelDisplayCursorPosition(TTrelDisplayCursor* owner) : owner_(owner) {}
  TTrelDisplayCursorPosition() : TTrelDisplayCursorPosition(nullptr) {}
  // Through SetX and SetY (limited and snapped); any other source than a
  // cursor position raises EConvertError and changes nothing.
  void Assign(TPersistent* source) override;
  // The stored X limited to the X axis's current range.
  double GetX();
  // Limited to 0 .. the X axis's current maximum, then snapped; a value
  // that is not finite is ignored.
  void SetX(double v);
  double GetY() const { return y_; }
  // Snapped; a value that is not finite is ignored.
  void SetY(double v);
  double StoredX() const { return x_; }

 private:
  TTrelDisplayCursor* owner_;
  double x_ = 0.0;
  double y_ = 0.0;
};

class TTrelDisplayCursor : public TTrelOptionalDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayCursor, TTrelOptionalDisplayCollectionItem)
  // Named "Cursor<count>".
  explicit TTrelDisplayCursor(TCollection* collection);
  ~TTrelDisplayCursor() override;
  // Every cursor link that uses the cursor moves its end or drops it.
  void BeforeDestruction() override;

  TColor GetColor() override { return color_; }
  // Under the mouse or dragged (and the legend shows that).
  bool IsLegendHighlighted() override;
  void SetLegendHighlight(bool on) override;
  // Dragged (pressed and not yet released).
  bool IsUnderMouse() override;
  // A full redraw.
  void Changed() override;

  TTrelDisplayCursorPosition* GetPosition() const { return position_; }
  void SetPosition(TTrelDisplayCursorPosition* v) { position_->Assign(v); }
  TColor GetStoredColor() const { return color_; }
  void SetColor(TColor v);
  TTrelDisplayChannelLinks* GetChannels() const { return channels_; }
  // The collection's Assign: the links are cleared, then each source link
  // is assigned to a new one. Channel links have no Assign, so a source
  // with links raises EConvertError, the links here already cleared and one
  // new link added.
  void SetChannels(TTrelDisplayChannelLinks* v) { channels_->Assign(v); }
  TTrelDisplayCursorKind GetKind() const { return kind_; }
  void SetKind(TTrelDisplayCursorKind v);
  bool HasVerticalLine() const { return kind_ != ckHorizontal; }
  bool HasHorizontalLine() const { return kind_ != ckVertical; }
  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

  void Draw(TCanvas* canvas, const TTrelPlotFrame& frame);
  // Whether (mouseX, mouseY) lies within 3 pixels of the vertical line
  // (onX) or the horizontal one (onY), inside the plot.
  bool HitTest(const TTrelPlotFrame& frame, int mouseX, int mouseY, bool& onX, bool& onY);
  // OnMouseDown, then OnClick.
  void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  // Takes the mouse's position along the flagged directions; fires
  // OnPositionChange when it moved.
  void MoveToMouse(bool moveX, bool moveY, const TTrelPlotFrame& frame, int mouseX, int mouseY);

  void AddLink(TTrelDisplayCursorLink* link);
  void RemoveLink(TTrelDisplayCursorLink* link);
  const std::vector<TTrelDisplayCursorLink*>& Links() const { return links_; }
  TTrelScope* Scope() const { return scope_; }

  // The property dialog removes only the cursors it added itself, which it
  // marks; False on creation, never stored.
  bool GetRemovable() const { return removable_; }
  void SetRemovable(bool v) { removable_ = v; }

 private:
  friend class TTrelDisplayCursorPosition;
  bool removable_ = false;
  TTrelScope* scope_;
  TTrelDisplayCursorPosition* position_;
  TColor color_ = 0;
  TTrelDisplayChannelLinks* channels_;
  TTrelDisplayCursorKind kind_ = ckVertical;
  std::vector<TTrelDisplayCursorLink*> links_;
};

class TTrelDisplayCursors : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelDisplayCursors, TTrelDisplayCollection)
  explicit TTrelDisplayCursors(TTrelDataDisplay* display);
  TTrelDisplayCursor* GetItem(int index) const;
  TTrelDisplayCursor* Add() { return static_cast<TTrelDisplayCursor*>(TCollection::Add()); }
  TTrelPositionChangeEvent OnPositionChange;

 protected:
  void Update(TCollectionItem* item) override;
  // The palette colour the fewest cursors have; a full redraw.
  void ItemAdded(TVekExtCollectionItem* item) override;
};

// ---------------------------------------------------------------------------
// Cursor links

// A cursor link's measurement line; a setting as those of
// TrelScopeSettings.h (OnChange, the owned label).
class TTrelScopeMeasurementLine : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelScopeMeasurementLine, TTrelScopeSetting)
  TTrelScopeMeasurementLine();
  ~TTrelScopeMeasurementLine() override;
  // From another measurement line: OnChange through the label, then once
  // more. Any other source raises EConvertError and changes nothing.
  void Assign(TPersistent* source) override;
  double GetX() const { return x_; }
  // Limited to -100 .. 100; a value that is not finite is ignored.
  void SetX(double v);
  double GetY() const { return y_; }
  void SetY(double v);
  TColor GetColor() const { return color_; }
  void SetColor(TColor v) { Store(color_, v); }
  TPenStyle GetStyle() const { return style_; }
  void SetStyle(TPenStyle v) { Store(style_, v); }
  TPenMode GetMode() const { return mode_; }
  void SetMode(TPenMode v) { Store(mode_, v); }
  TTrelMeasurementLabel* GetMeasurementLabel() const { return label_; }
  void SetMeasurementLabel(TTrelMeasurementLabel* v) { label_->Assign(v); }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool v) { Store(visible_, v); }

 private:
  void LabelChanged(TObject*) { Changed(); }
  double x_ = 0.0;
  double y_ = 0.0;
  TColor color_ = clYellow;
  TPenStyle style_ = psDot;
  TPenMode mode_ = pmCopy;
  TTrelMeasurementLabel* label_;
  bool visible_ = true;
};

// A cursor link's shaded selection; a setting as those of
// TrelScopeSettings.h (OnChange, the owned brush).
class TTrelScopeSelection : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelScopeSelection, TTrelScopeSetting)
  TTrelScopeSelection();
  ~TTrelScopeSelection() override;
  // From another selection: OnChange through the brush, then once more. Any
  // other source raises EConvertError and changes nothing.
  void Assign(TPersistent* source) override;
  bool GetVisible() const { return visible_; }
  void SetVisible(bool v) { Store(visible_, v); }
  TBrush* GetBrush() const { return brush_; }
  void SetBrush(TBrush* v) { brush_->Assign(v); }

 private:
  void BrushChanged(TObject*) { Changed(); }
  bool visible_ = false;
  TBrush* brush_;
};

class TTrelDisplayCursorLink : public TTrelDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayCursorLink, TTrelDisplayCollectionItem)
  // Named "Link<count>".
  explicit TTrelDisplayCursorLink(TCollection* collection);
  ~TTrelDisplayCursorLink() override;
  void BeforeDestruction() override;
  // "CursorIndex_": (begin index, end index), -1 for a missing end; always
  // written.
  void DefineProperties(TFiler* filer) override;

  TColor GetColor() override;
  TColor GetDrawColor() override;
  // Both cursors set and visible, and the measurement line or the
  // selection visible.
  bool GetVisible() override;
  bool IsLegendHighlighted() override;
  void SetLegendHighlight(bool on) override;
  bool IsUnderMouse() override;
  // A full redraw.
  void Changed() override;

  TTrelDisplayCursor* BeginCursor() const { return begin_; }
  TTrelDisplayCursor* EndCursor() const { return end_; }
  int GetBeginCursorIndex() const;
  int GetEndCursorIndex() const;
  // An index outside the cursors is ignored.
  void SetBeginCursorIndex(int index);
  void SetEndCursorIndex(int index);
  TTrelScopeMeasurementLine* GetMeasurementLine() const { return line_; }
  void SetMeasurementLine(TTrelScopeMeasurementLine* v) { line_->Assign(v); }
  TTrelScopeSelection* GetSelection() const { return selection_; }
  void SetSelection(TTrelScopeSelection* v) { selection_->Assign(v); }
  // The property dialog removes only the links it added itself, which it
  // marks; False on creation, never stored.
  bool GetRemovable() const { return removable_; }
  void SetRemovable(bool v) { removable_ = v; }

  // The stored pair: an index naming a cursor is taken at once (and the
  // links of that cursor then take what they hold pending, where it exists
  // by now); an index beyond the cursors stays pending; a negative one
  // leaves the end empty.
  void TakeStoredCursorIndices(std::int64_t beginIndex, std::int64_t endIndex);
  // A cursor of this link is going away: its end moves to another cursor
  // or stays empty.
  void CursorRemoved(TTrelDisplayCursor* cursor);

  // Pass 0: the selection (before the traces); pass 1: the measurement
  // lines (after the cursors).
  void Draw(int pass, TCanvas* canvas, const TTrelPlotFrame& frame);
  // Whether the mouse lies on the vertical measurement line (between
  // horizontal cursors) or the horizontal one (between vertical cursors).
  bool HitTest(const TTrelPlotFrame& frame, int mouseX, int mouseY, bool& onVertical,
               bool& onHorizontal);
  void MoveToMouse(bool moveX, bool moveY, const TTrelPlotFrame& frame, int mouseX, int mouseY);

 private:
  bool removable_ = false;
  void TakeBegin(TTrelDisplayCursor* cursor);
  void TakeEnd(TTrelDisplayCursor* cursor);
  void Take(TTrelDisplayCursor*& end, TTrelDisplayCursor* cursor);
  void TakePending();
  void ReadIndices(TReader* reader);
  void WriteIndices(TWriter* writer);
  void PartChanged(TObject*);
  // One measurement line: `alongX` is the horizontal one (between vertical
  // cursors, measuring X).
  void DrawMeasurement(int pass, TCanvas* canvas, const TTrelPlotFrame& frame, bool alongX,
                       bool flagged);
  TTrelScope* scope_;
  TTrelDisplayCursor* begin_ = nullptr;
  TTrelDisplayCursor* end_ = nullptr;
  std::int64_t pending_begin_ = -1;
  std::int64_t pending_end_ = -1;
  TTrelScopeMeasurementLine* line_;
  TTrelScopeSelection* selection_;
};

class TTrelDisplayCursorLinks : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelDisplayCursorLinks, TTrelDisplayCollection)
  explicit TTrelDisplayCursorLinks(TTrelDataDisplay* display);
  TTrelDisplayCursorLink* GetItem(int index) const;
  TTrelDisplayCursorLink* Add() { return static_cast<TTrelDisplayCursorLink*>(TCollection::Add()); }
  TTrelPositionChangeEvent OnPositionChange;

 protected:
  void Update(TCollectionItem* item) override;
  // The pair of distinct cursors (i < j) the fewest links join; a redraw.
  void ItemAdded(TVekExtCollectionItem* item) override;
};

void RegisterTrelScopeCursorClasses();
