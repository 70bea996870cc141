// Markers: a symbol, and optionally a value label, pinned to one sample of
// one channel.
//
// A marker (TTrelScopeChannelMarker) is an item of its channel's Markers and
// refers to a marker group of the scope (TTrelScopeMarkerGroup, an item of
// the scope's MarkerGroups), which sets its shape, size, pen, brush and
// label. A new marker joins the scope's last group, made when there is none;
// while the scope loads, a new marker takes no group: the stored
// "MarkerGroupIndex" is applied by the scope's Loaded, after the groups are
// read (ApplyPendingGroup). A group keeps the list of its markers (not
// owning); freeing a group frees its markers, freeing a marker takes it out
// of its group's list.
//
// The trace drawing draws each marker of a channel after the trace
// (TTrelScopeChannelMarkers::Draw); the plot area hit-tests the groups for
// the hover; the legend lists and highlights the groups. Main thread only.
// A group owns its pen, brush and labels (the setters copy the given part
// in); a marker's group and a group's marker list are borrowed references.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/Canvas.h"
#include "scope/TrelDisplayCollections.h"
#include "scope/TrelScopeSettings.h"

class TTrelScope;
class TTrelScopeChannel;
class TTrelScopeChannelMarker;

enum TTrelDisplayMarkerShape : std::uint8_t {
  msPoint,
  msCircle,
  msSquare,
  msDiamond,
  msPlus,
  msCross,
  msStar,
  msTriangleUp,
  msTriangleDown,
  msTriangleLeft,
  msTriangleRight,
  msHLine,
  msVLine
};
const TNameTable& MarkerShapeNames();

// Draws `shape` of half-size size + grow around the sample's point (x, y)
// with the canvas's pen and brush; `vertical` exchanges the coordinates
// first (and turns the triangles and lines with them). Without `lines`,
// msHLine and msVLine draw nothing.
void DrawMarkerShape(TCanvas* canvas, TTrelDisplayMarkerShape shape, std::int32_t x, std::int32_t y,
                     std::int64_t size, std::int64_t grow, bool vertical, bool lines);

class TTrelDisplayMarkerGroup : public TTrelOptionalDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayMarkerGroup, TTrelOptionalDisplayCollectionItem)
  // Named "MarkerGroup<count>".
  explicit TTrelDisplayMarkerGroup(TCollection* collection);
  ~TTrelDisplayMarkerGroup() override;

  // The pen colour.
  TColor GetColor() override { return pen_->Color(); }
  // The brush colour.
  TColor GetFillColor() override { return brush_->Color(); }
  // A full redraw.
  void Changed() override;

  TBrush* GetBrush() const { return brush_; }
  void SetBrush(TBrush* v) { brush_->Assign(v); }
  TPen* GetPen() const { return pen_; }
  void SetPen(TPen* v) { pen_->Assign(v); }
  TTrelDisplayMarkerShape GetShape() const { return shape_; }
  void SetShape(TTrelDisplayMarkerShape v);
  std::uint32_t GetSize() const { return size_; }
  void SetSize(std::uint32_t v);
  TTrelMeasurementLabel* GetLabels() const { return labels_; }
  void SetLabels(TTrelMeasurementLabel* v) { labels_->Assign(v); }

 private:
  void PartChanged(TObject*) { Repaint(); }
  void Repaint();
  TBrush* brush_;
  TPen* pen_;
  TTrelDisplayMarkerShape shape_ = msPlus;
  std::uint32_t size_ = 3;
  TTrelMeasurementLabel* labels_;
};

class TTrelScopeMarkerGroup : public TTrelDisplayMarkerGroup {
  KESTRUNE_CLASS(TTrelScopeMarkerGroup, TTrelDisplayMarkerGroup)
  explicit TTrelScopeMarkerGroup(TCollection* collection);
  // Sets the scope's full-redraw flag and frees every marker of the group.
  void BeforeDestruction() override;

  // The group is under the mouse or the legend's marker group (and the
  // legend shows that).
  bool IsLegendHighlighted() override;
  void SetLegendHighlight(bool on) override;

  // The first marker of the list whose hit test takes (x, y); a hidden
  // group takes nothing.
  bool HitTest(int x, int y, TTrelScopeChannelMarker*& marker);
  const std::vector<TTrelScopeChannelMarker*>& Markers() const { return markers_; }
  TTrelScope* Scope() const { return scope_; }

 private:
  friend class TTrelScopeChannelMarker;
  TTrelScope* scope_;
  std::vector<TTrelScopeChannelMarker*> markers_;
};

class TTrelScopeMarkerGroups : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelScopeMarkerGroups, TTrelDisplayCollection)
  explicit TTrelScopeMarkerGroups(TTrelScope* scope);
  TTrelScopeMarkerGroup* GetItem(int index) const;
  TTrelScopeMarkerGroup* Add() { return static_cast<TTrelScopeMarkerGroup*>(TCollection::Add()); }

 protected:
  void Update(TCollectionItem* item) override;
  // The palette colour the fewest groups use as brush colour, for pen and
  // brush; then a full redraw.
  void ItemAdded(TVekExtCollectionItem* item) override;

 private:
  TTrelScope* scope_;
};

class TTrelDisplayMarker : public TTrelDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayMarker, TTrelDisplayCollectionItem)
  explicit TTrelDisplayMarker(TCollection* collection);
  // A full redraw.
  void Changed() override;
  virtual TColor GetHighlightColor() = 0;
};

class TTrelScopeChannelMarker : public TTrelDisplayMarker {
  KESTRUNE_CLASS(TTrelScopeChannelMarker, TTrelDisplayMarker)
  // Named "Marker<count>"; joins the scope's last group unless the scope
  // is loading.
  explicit TTrelScopeChannelMarker(TCollection* collection);
  void BeforeDestruction() override;
  // "MarkerGroupIndex" (read and always written); "MarkerGroup" (read and
  // skipped, never written).
  void DefineProperties(TFiler* filer) override;

  // Whether the marker is drawn highlighted.
  bool IsLegendHighlighted() override;
  TColor GetHighlightColor() override;

  TTrelScopeMarkerGroup* GetMarkerGroup() const { return group_; }
  // Leaves the old group's list and joins the new one's.
  void SetMarkerGroup(TTrelScopeMarkerGroup* group);
  std::int32_t GetPosition() const { return position_; }
  // Stored as given (also a negative or an equal value); repaints.
  void SetPosition(std::int32_t v);

  // The scope's Loaded: the stored group index, limited to the last group;
  // with no index or no groups the scope's last group, as for a new marker.
  void ApplyPendingGroup();

  // Draws the marker at the sample's pixels (px, py) with its value.
  void Draw(TCanvas* canvas, std::int32_t px, std::int32_t py, double value);
  // The marker lies beyond the data: not drawn, not hit.
  void MarkNotDrawn() { drawn_x_ = -10000; }
  // False when not drawn, or when its channel is hidden or holds no
  // sample at Position now.
  bool HitTest(int x, int y);
  TPoint DrawnPoint() const { return {drawn_x_, drawn_y_}; }

 private:
  friend class TTrelScopeMarkerGroup;
  void ReadGroupIndex(TReader* reader);
  void WriteGroupIndex(TWriter* writer);
  void SkipGroup(TReader* reader);
  void TakeGroupIndex(std::int64_t index);
  TTrelScope* scope_;
  TTrelScopeMarkerGroup* group_ = nullptr;
  std::int32_t drawn_x_ = -10000;
  std::int32_t drawn_y_ = 0;
  std::int32_t position_ = 0;
  bool has_pending_index_ = false;
  std::int64_t pending_index_ = -1;
};

class TTrelScopeChannelMarkers : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelScopeChannelMarkers, TTrelDisplayCollection)
  // `channel` owns the collection (none for a stand-alone one).
  explicit TTrelScopeChannelMarkers(TTrelDataDisplay* display,
                                    TTrelScopeChannel* channel = nullptr);
  TPersistent* GetOwner() override;
  TTrelScopeChannel* Channel() const { return channel_; }
  TTrelScopeChannelMarker* GetItem(int index) const;
  TTrelScopeChannelMarker* Add() {
    return static_cast<TTrelScopeChannelMarker*>(TCollection::Add());
  }
  // The trace drawing's marker step over a channel's `count` samples: each
  // marker of a visible group at 0 <= Position < count is drawn at its
  // sample's pixels, one at or past the count or below 0 is marked as not
  // drawn. Keeps the canvas's pen and brush.
  void Draw(TCanvas* canvas, const std::int32_t* pixelX, const std::int32_t* pixelY,
            const double* values, std::int32_t count);

 protected:
  void Update(TCollectionItem* item) override;

 private:
  TTrelScopeChannel* channel_;
};

void RegisterTrelScopeMarkerClasses();
