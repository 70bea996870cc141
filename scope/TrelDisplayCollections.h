// The collection bases of the scope's display items (channels, marker
// groups, markers, cursors and links) and the collections this part of the
// display keeps empty: cursors, cursor links, marker groups and a channel's
// markers (their items come with their own features).
//
// A display collection knows its display; its items ask the display for a
// repaint when they change. Main thread only.
#pragma once

#include <string>

#include "Vek/VekExtCollection.h"
#include "platform/graphics/Colors.h"

class TTrelDataDisplay;

class TTrelDisplayCollection : public TVekExtCollection {
  KESTRUNE_CLASS(TTrelDisplayCollection, TVekExtCollection)
  TTrelDisplayCollection(TTrelDataDisplay* display, TClass itemClass);
  TTrelDataDisplay* Display() const { return display_; }
  int IndexOf(TCollectionItem* item) const { return IndexOfItem(item); }

 private:
  TTrelDataDisplay* display_;
};

class TTrelDisplayCollectionItem : public TVekExtCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayCollectionItem, TVekExtCollectionItem)
  explicit TTrelDisplayCollectionItem(TCollection* collection);
  std::string GetDisplayName() override { return name_; }

  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name);
  TTrelDataDisplay* Display() const { return display_; }

  virtual TColor GetColor() { return 255; }
  virtual TColor GetDrawColor() { return GetColor(); }
  virtual bool GetVisible() { return true; }
  // The display's Invalidate.
  virtual void Changed();
  virtual void SetVisible(bool value) { (void)value; }

 private:
  std::string name_;
  TTrelDataDisplay* display_;
};

class TTrelOptionalDisplayCollectionItem : public TTrelDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelOptionalDisplayCollectionItem, TTrelDisplayCollectionItem)
  explicit TTrelOptionalDisplayCollectionItem(TCollection* collection)
      : TTrelDisplayCollectionItem(collection) {}
  bool GetVisible() override { return visible_; }
  void SetVisible(bool value) override;
  bool IsVisible() const { return visible_; }

 private:
  bool visible_ = true;
};

// Collections kept empty here: their items are plain display items.
class TTrelDisplayCursor : public TTrelOptionalDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayCursor, TTrelOptionalDisplayCollectionItem)
  using TTrelOptionalDisplayCollectionItem::TTrelOptionalDisplayCollectionItem;
};
class TTrelDisplayCursors : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelDisplayCursors, TTrelDisplayCollection)
  explicit TTrelDisplayCursors(TTrelDataDisplay* display)
      : TTrelDisplayCollection(display, TTrelDisplayCursor::StaticClass()) {}
};
class TTrelDisplayCursorLink : public TTrelOptionalDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayCursorLink, TTrelOptionalDisplayCollectionItem)
  using TTrelOptionalDisplayCollectionItem::TTrelOptionalDisplayCollectionItem;
};
class TTrelDisplayCursorLinks : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelDisplayCursorLinks, TTrelDisplayCollection)
  explicit TTrelDisplayCursorLinks(TTrelDataDisplay* display)
      : TTrelDisplayCollection(display, TTrelDisplayCursorLink::StaticClass()) {}
};
class TTrelScopeMarkerGroup : public TTrelOptionalDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelScopeMarkerGroup, TTrelOptionalDisplayCollectionItem)
  using TTrelOptionalDisplayCollectionItem::TTrelOptionalDisplayCollectionItem;
};
class TTrelScopeMarkerGroups : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelScopeMarkerGroups, TTrelDisplayCollection)
  explicit TTrelScopeMarkerGroups(TTrelDataDisplay* display)
      : TTrelDisplayCollection(display, TTrelScopeMarkerGroup::StaticClass()) {}
};
class TTrelScopeChannelMarker : public TTrelDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelScopeChannelMarker, TTrelDisplayCollectionItem)
  using TTrelDisplayCollectionItem::TTrelDisplayCollectionItem;
};
class TTrelScopeChannelMarkers : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelScopeChannelMarkers, TTrelDisplayCollection)
  explicit TTrelScopeChannelMarkers(TTrelDataDisplay* display)
      : TTrelDisplayCollection(display, TTrelScopeChannelMarker::StaticClass()) {}
};

void RegisterTrelDisplayCollectionClasses();
