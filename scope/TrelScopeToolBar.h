// The toolbars drawn inside the scope: the chart's own (TTrelScopeToolBar,
// two rows of glyph buttons at the top right: run or hold, copy, print,
// save, properties and five zoom operations) and each axis's
// (TTrelAxisToolBar, zoom in and zoom out).
//
// A toolbar is no window. The display that owns it paints it into its
// picture (not into a copy, a file or a print), offers it left presses
// before anything else, hands it every left release and asks it for its
// bounds to change the mouse cursor. The base, TTrelDisplayToolBar, keeps
// the published settings, four image lists recoloured from the glyph strip
// (TrelScopeResources.h) and the buttons in layout order; the two kinds
// add their buttons and, for the axis, their placement.
//
// A button's action runs inside the press: a dialog it opens (print, save,
// properties) is modal and takes the release, so the print and save
// routines release the buttons themselves and the property dialog clears
// the down states when it opens.
//
// Made by the chart's and the axes' constructors with their display as
// owner, freed by them; building one recolours 4 x 11 images. Main thread
// only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/ImgList.h"
#include "scope/TrelScopeSettings.h"

class TTrelDataDisplay;
class TTrelDisplayAxis;

// One button: an image of the lists, its states and its action.
class TTrelDisplayToolBarButton {
 public:
  TTrelDisplayToolBarButton(int imageIndex, TNotifyEvent onClick)
      : ImageIndex(imageIndex), OnClick(onClick) {}
  int ImageIndex;
  // An invisible button takes no place in the layout.
  bool Visible = true;
  // A disabled button is drawn from the disabled list and ignores clicks.
  bool Enabled = true;
  // Set by a click, cleared by the next release (or ClearDownStates).
  bool Down = false;
  TNotifyEvent OnClick;
};

// The four image lists, one per look of a button.
enum class TTrelToolBarLook { Normal, Disabled, MouseDown, MouseOver };

// The colours one list is recoloured with, as 32-bit pixel values
// (0x00RRGGBB): the strip's white becomes Glyph, its dark grey Border, its
// light grey Mid (the channel-wise average of glyph and button, rounded
// down), its black Button; every other pixel becomes Transparent, the first
// value from $FFFFFE upwards that is none of the other four and not the
// display's colour. Past $FFFFFF (both $FFFFFE and $FFFFFF taken) the
// value has no 24-bit colour of its own and the image list masks its low
// 24 bits, black: a known weakness, reached only with two of the colours
// at $FFFFFE and $FFFFFF.
struct TTrelToolBarPixels {
  std::uint32_t Glyph, Border, Mid, Button, Transparent;
};
TTrelToolBarPixels ToolBarPixels(TColor glyph, TColor button, TColor border, TColor display);

class TTrelDisplayToolBar : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayToolBar, TTrelScopeSetting)
  // Loads the glyph strip (EResNotFound when the scope unit has not
  // registered it) and builds the four lists.
  explicit TTrelDisplayToolBar(TTrelDataDisplay* owner);
  ~TTrelDisplayToolBar() override;
  // Copies the settings (not the buttons); the lists are rebuilt when a
  // colour changed; OnChange once. Any other source than a toolbar raises
  // EConvertError and changes nothing.
  void Assign(TPersistent* source) override;

  // Borrowed: the display owns the toolbar.
  TTrelDataDisplay* Owner() const { return owner_; }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool v) { Store(visible_, v); }
  bool GetAutoHide() const { return auto_hide_; }
  void SetAutoHide(bool v) { Store(auto_hide_, v); }
  // The colours: a change rebuilds the four lists, then the owner repaints.
  TColor GetGlyphColor() const { return colors_[kGlyph]; }
  void SetGlyphColor(TColor v) { SetColorAt(kGlyph, v); }
  TColor GetBorderColor() const { return colors_[kBorder]; }
  void SetBorderColor(TColor v) { SetColorAt(kBorder, v); }
  TColor GetButtonColor() const { return colors_[kButton]; }
  void SetButtonColor(TColor v) { SetColorAt(kButton, v); }
  TColor GetMouseOverBorderColor() const { return colors_[kOverBorder]; }
  void SetMouseOverBorderColor(TColor v) { SetColorAt(kOverBorder, v); }
  TColor GetMouseOverButtonColor() const { return colors_[kOverButton]; }
  void SetMouseOverButtonColor(TColor v) { SetColorAt(kOverButton, v); }
  TColor GetMouseDownBorderColor() const { return colors_[kDownBorder]; }
  void SetMouseDownBorderColor(TColor v) { SetColorAt(kDownBorder, v); }
  TColor GetMouseDownButtonColor() const { return colors_[kDownButton]; }
  void SetMouseDownButtonColor(TColor v) { SetColorAt(kDownButton, v); }
  TColor GetDisabledColor() const { return colors_[kDisabled]; }
  void SetDisabledColor(TColor v) { SetColorAt(kDisabled, v); }
  // The mouse cursor over the toolbar; stored only.
  TCursor GetCursor() const { return cursor_; }
  void SetCursor(TCursor v) { cursor_ = v; }

  // x of the first button: the drawing width - 2 - half the run of the
  // visible buttons (each 17 pixels).
  virtual int GetLeft();
  // y of the first row.
  virtual int GetTop() { return 3; }
  // The buttons wrap after the first half of them (counted over all).
  virtual bool IsTwoRows() { return true; }
  // Draws the visible buttons: each on the display's colour, from the
  // disabled list when disabled, else under the pointer (read from the
  // platform) from the mouse-down list when down or else the mouse-over
  // list (and notes the highlight), else from the normal list.
  virtual void Paint(TCanvas* canvas);
  // A left press at (x, y), client coordinates: every visible, enabled
  // button under the point is clicked (Down, then its action); the others
  // lose their Down. True when a button took the press. An action's error
  // passes to the caller.
  bool MouseDown(int x, int y);
  // Clears the Down of every button, repainting the visible ones.
  void ReleaseButtons();
  // Clears every Down without repainting.
  void ClearDownStates();
  // The rectangle of the buttons as laid out, the gap after each column
  // included.
  TRect GetBounds();
  // The last paint drew a button under the pointer.
  bool IsButtonHighlighted() const { return highlighted_; }

  // The buttons in layout order, and each visible one's rectangle.
  const std::vector<std::unique_ptr<TTrelDisplayToolBarButton>>& Buttons() const {
    return buttons_;
  }
  struct TPlaced {
    TTrelDisplayToolBarButton* Button;
    TRect Rect;
  };
  std::vector<TPlaced> Layout();
  // Owned by the toolbar and kept for its life (a colour change refills it).
  TImageList* Images(TTrelToolBarLook look) const { return lists_[static_cast<int>(look)]; }

 protected:
  TTrelDisplayToolBarButton* AddButton(int imageIndex, TNotifyEvent onClick);
  TTrelDataDisplay* owner_;

 private:
  enum : int {
    kGlyph,
    kBorder,
    kButton,
    kOverBorder,
    kOverButton,
    kDownBorder,
    kDownButton,
    kDisabled,
    kColorCount
  };
  void SetColorAt(int which, TColor v);
  // Reloads the strip into the four lists and recolours them.
  void BuildImages();
  void Recolour(TImageList* list, TColor glyph, TColor button, TColor border);
  void InvalidateButton(const TRect& rect);

  bool visible_ = true;
  bool auto_hide_ = true;
  TImageList* lists_[4] = {};
  std::vector<std::unique_ptr<TTrelDisplayToolBarButton>> buttons_;
  bool highlighted_ = false;
  TColor colors_[kColorCount] = {clYellow, clGreen,  clBlack, clLime,
                                 clGreen,  clYellow, clOlive, clGreen};
  TCursor cursor_ = crHandPoint;
};

// The chart's toolbar: run, hold, copy, print, save, properties, zoom in,
// zoom out, zoom reset, zoom back, zoom forward. Run and hold share one
// place (whichever applies shows); the zoom reset, back and forward buttons
// follow the zoom state.
class TTrelScopeToolBar : public TTrelDisplayToolBar {
  KESTRUNE_CLASS(TTrelScopeToolBar, TTrelDisplayToolBar)
  explicit TTrelScopeToolBar(TTrelDataDisplay* scope);
  // Sets the buttons' states from the display, then draws.
  void Paint(TCanvas* canvas) override;

  TTrelDisplayToolBarButton* PropertiesButton() const { return properties_; }
  TTrelDisplayToolBarButton* HoldButton() const { return hold_; }
  TTrelDisplayToolBarButton* RunButton() const { return run_; }
  TTrelDisplayToolBarButton* ZoomResetButton() const { return zoom_reset_; }
  TTrelDisplayToolBarButton* ZoomBackButton() const { return zoom_back_; }
  TTrelDisplayToolBarButton* ZoomForwardButton() const { return zoom_forward_; }

 private:
  void RunClick(TObject*);
  void HoldClick(TObject*);
  void CopyClick(TObject*);
  // The display held while the print dialog runs and the page prints;
  // afterwards, also on failure, the hold state from before is back, the
  // dialog freed and the buttons released; an error then passes on.
  void PrintClick(TObject*);
  // The same round trip around the save dialog: a name ending in ".jpg" or
  // ".jpeg" (any case) is written as JPEG, any other as a bitmap.
  void SaveClick(TObject*);
  void PropertiesClick(TObject*);
  void ZoomInClick(TObject*);
  void ZoomOutClick(TObject*);
  void ZoomResetClick(TObject*);
  void ZoomBackClick(TObject*);
  void ZoomForwardClick(TObject*);

  TTrelDisplayToolBarButton* properties_;
  TTrelDisplayToolBarButton* hold_;
  TTrelDisplayToolBarButton* run_;
  TTrelDisplayToolBarButton* zoom_reset_;
  TTrelDisplayToolBarButton* zoom_back_;
  TTrelDisplayToolBarButton* zoom_forward_;
};

// An axis's toolbar: zoom in and zoom out on that axis (glyphs 2 and 3).
// On an axis that runs vertically on screen the two stack at x 3 from the
// data view's top; otherwise they stand side by side from the data view's
// left, their bottom 3 pixels above the strip's.
class TTrelAxisToolBar : public TTrelDisplayToolBar {
  KESTRUNE_CLASS(TTrelAxisToolBar, TTrelDisplayToolBar)
  explicit TTrelAxisToolBar(TTrelDisplayAxis* axis);
  int GetLeft() override;
  int GetTop() override;
  bool IsTwoRows() override;

 private:
  void ZoomInClick(TObject*);
  void ZoomOutClick(TObject*);
  TTrelDisplayAxis* axis_;
};

// Registers the toolbars' published properties.
void RegisterTrelScopeToolBarClasses();
