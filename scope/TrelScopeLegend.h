// The legend: a view at the right of the plot listing the scope's channels,
// marker groups, cursors and cursor links in four titled groups.
//
// Each entry shows a colour bar and the item's name. With the mouse over an
// entry it is drawn as a button, the item is highlighted in the plot (the
// items' SetLegendHighlight), and a press opens the property dialog on the
// item (the display's ShowProperties with the group's index and the item's
// index in its collection) unless the group's OnItemClick handles it. The
// chart makes the legend; the scope hands it its four collections once they
// exist. Main thread only. The scope's legend owns its four groups and its
// font; a group owns its caption and only refers to its collection.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scope/TrelDisplayCollections.h"
#include "scope/TrelDisplayViews.h"

class TTrelLegendView;

using TTrelChartItemClickEvent = TMethod<void(TObject* Sender, int ChannelIndex, bool& Handled)>;

class TTrelLegendGroup : public TPersistent {
  KESTRUNE_CLASS(TTrelLegendGroup, TPersistent)
  TTrelLegendGroup(TTrelLegendView* legend, std::string defaultTitle);
  TTrelLegendGroup() : TTrelLegendGroup(nullptr, "") {}
  ~TTrelLegendGroup() override;
  // From another group: caption, visibility and cursor, then a repaint. Any
  // other source raises EConvertError and changes nothing.
  void Assign(TPersistent* source) override;

  TTrelDisplayLabel* GetCaption() const { return caption_; }
  void SetCaption(TTrelDisplayLabel* v) { caption_->Assign(v); }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool v);
  TCursor GetCursor() const { return cursor_; }
  void SetCursor(TCursor v) { cursor_ = v; }
  TTrelChartItemClickEvent OnItemClick;

  void SetCollection(TTrelDisplayCollection* collection) { collection_ = collection; }
  TTrelDisplayCollection* Collection() const { return collection_; }
  // The caption's text, or the default title when it is empty.
  std::string Title() const;
  // Visible and with at least one shown entry.
  bool IsShown() const;
  int HotIndex() const { return hot_; }
  int PressedIndex() const { return pressed_; }

 private:
  friend class TTrelLegendView;
  void CaptionChanged(TObject*);
  TTrelDisplayCollectionItem* Item(int index) const;
  TTrelLegendView* legend_;
  TTrelDisplayLabel* caption_;
  int hot_ = -1;
  int pressed_ = -1;
  TTrelDisplayCollection* collection_ = nullptr;
  std::string default_title_;
  bool visible_ = true;
  TCursor cursor_ = crHandPoint;
};

class TTrelLegendView : public TTrelOptionalView {
  KESTRUNE_CLASS(TTrelLegendView, TTrelOptionalView)
  explicit TTrelLegendView(TTrelDataDisplay* display);
  ~TTrelLegendView() override;

  // The widest group (ViewSize.Size unless AutoSize); all the height left.
  void CalcSize(int& width, int& height) override;
  int GetAlignment() override { return 4; }
  void Paint(const TTrelPaintContext& context) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseDown(TMouseButton button, TShiftState shift, bool inRect, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, bool inRect, int x, int y) override;
  void MouseLeaveView() override;

  TFont* GetFont() const { return font_; }
  void SetFont(TFont* f) { font_->Assign(f); }
  TColor GetMouseOverBorderColor() const { return over_border_; }
  void SetMouseOverBorderColor(TColor v) { StoreColor(over_border_, v); }
  TColor GetMouseOverButtonColor() const { return over_button_; }
  void SetMouseOverButtonColor(TColor v) { StoreColor(over_button_, v); }
  TColor GetMouseDownBorderColor() const { return down_border_; }
  void SetMouseDownBorderColor(TColor v) { StoreColor(down_border_, v); }
  TColor GetMouseDownButtonColor() const { return down_button_; }
  void SetMouseDownButtonColor(TColor v) { StoreColor(down_button_, v); }
  bool GetButtonsEnabled() const { return buttons_enabled_; }
  // Always stores and repaints.
  void SetButtonsEnabled(bool v);
  const std::vector<TTrelLegendGroup*>& Groups() const { return groups_; }

 protected:
  // The groups in their order (not owned).
  void AddGroup(TTrelLegendGroup* group) { groups_.push_back(group); }

 private:
  void StoreColor(TColor& field, TColor v);
  void FontChanged(TObject*) { Invalidate(); }
  // Walks the shown entries of the shown groups as they are laid out:
  // `caption` gets each caption's group and left-top point, `entry` each
  // entry's group, item index and the y of its colour bar.
  void Walk(TCanvas* canvas, const std::function<void(TTrelLegendGroup*, int x, int y)>& caption,
            const std::function<void(TTrelLegendGroup*, int index, int y)>& entry);
  // The hot entries under (x, y), with their highlights and cursors.
  void TrackHot(int x, int y);
  void ClearHot();
  TFont* font_;
  TColor over_border_ = clLime;
  TColor over_button_ = clGreen;
  TColor down_border_ = clYellow;
  TColor down_button_ = clOlive;
  bool buttons_enabled_ = true;
  std::vector<TTrelLegendGroup*> groups_;
};

class TTrelScopeLegendView : public TTrelLegendView {
  KESTRUNE_CLASS(TTrelScopeLegendView, TTrelLegendView)
  explicit TTrelScopeLegendView(TTrelDataDisplay* display);
  ~TTrelScopeLegendView() override;
  // The scope's collections, once it has made them.
  void SetCollections(TTrelDisplayCollection* channels, TTrelDisplayCollection* markerGroups,
                      TTrelDisplayCollection* cursors, TTrelDisplayCollection* cursorLinks);
  TTrelLegendGroup* GetChannels() const { return channels_; }
  TTrelLegendGroup* GetMarkerGroups() const { return marker_groups_; }
  TTrelLegendGroup* GetCursors() const { return cursors_; }
  TTrelLegendGroup* GetCursorLinks() const { return cursor_links_; }

 private:
  TTrelLegendGroup* channels_;
  TTrelLegendGroup* marker_groups_;
  TTrelLegendGroup* cursors_;
  TTrelLegendGroup* cursor_links_;
};

void RegisterTrelScopeLegendClasses();
