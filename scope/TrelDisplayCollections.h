// The collection bases of the scope's display items (channels, marker
// groups, markers, cursors and links). The items answer the same virtual
// queries (colours, visibility, legend highlight, under the mouse), which
// the legend and the scene use.
//
// A display collection knows its display; its items ask the display for a
// repaint when they change. Main thread only.
//
// Ownership and failures. Items are owned by their collection and freed by
// Delete, Clear or with it; the item pointers the typed GetItem and Add of
// each collection return are borrowed. GetItem raises EListError for an
// index out of range. The display is borrowed: the scope owns its four
// collections, a channel its markers, a cursor its channel links.
// Items have no Assign of their own unless their class states one (the
// channel's), so assigning an item raises EConvertError.
#pragma once

#include <string>

#include "Vek/VekExtCollection.h"
#include "platform/gdiobj/Colors.h"

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
  // The colour a legend entry's bar is filled with.
  virtual TColor GetFillColor() { return GetDrawColor(); }
  virtual bool GetVisible() { return true; }
  // Is the item shown highlighted by the plot (the legend draws its entry
  // as a button)?
  virtual bool IsLegendHighlighted() { return false; }
  // The legend's hover asks the plot to highlight the item (true) or to
  // stop highlighting what the legend highlighted (false).
  virtual void SetLegendHighlight(bool on) { (void)on; }
  // Is the item held by a press of the mouse?
  virtual bool IsUnderMouse() { return false; }
  // The display's Invalidate (nothing without a display).
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

void RegisterTrelDisplayCollectionClasses();
