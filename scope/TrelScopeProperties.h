// The scope's property dialog, its pages and its small editors.
//
// TFentCommonPropertiesForm ("Settings") is the generic dialog: a page
// control filling the window above a bottom panel with OkButton (default
// and cancel button at once; it closes with the OK result), AddButton and
// RemoveButton. AddPage puts a page form (TTrelPropertyPageForm) on a new
// tab sheet, growing the client area so that the page fits its sheet.
// Changing the tab activates the new page; Add and Remove call the active
// page's AddItem and RemoveItem. Esc while OkButton is not the default goes
// to the focused edit's key handler (it cancels the edit) instead of
// closing the dialog.
//
// TTrelScopePropertiesForm fills it with the scope's four pages, in this
// order: channels, marker groups, cursors, cursor links. The page named by
// the page index selects the item of the item index, the others their item
// 0; that page's tab is active.
//
// The four pages list the items of one of the scope's collections and edit
// the chosen one (TTrelListPageForm): the list's rows are the items' names,
// a check list's ticks their visibility; a click on a row shows its item,
// a selection out of range shows none.
//
// The pages share one editing protocol (TTrelPropertyPageForm): name edits
// rename on leaving or Enter and restore on Esc; label edits write their
// text at every change; number edits keep digits only and read 1 when
// empty; typing makes OkButton not the default, ending the edit makes it
// the default again. Pen and brush editors (TTrelPenForm, TTrelBrushForm)
// are modal dialogs on a TPen or TBrush; TTrelScopeChannelLinkForm edits
// one channel link, docked at the bottom of the cursors page.
//
// Every form is read from its stored description
// (TrelScopePropertiesDescription.cpp); the scope unit's start-up registers
// them with their published handlers.
//
// Ownership and failures. The scope's dialog owns its pages, a page the
// pen and brush editors it opens (freed when they close). The component
// fields are borrowed pointers to the form's own components, set by its
// Loaded from the description; a description that lacks one of them raises
// EComponentError there, which fails the form's construction (Create frees
// the half-made form and passes the error on). The scope and the items,
// pens, brushes and fonts the pages edit are borrowed.
//
// Threads: main thread.
#pragma once

#include <string>
#include <vector>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"

class TButton;
class TCheckBox;
class TCheckListBox;
class TComboBox;
class TComboBoxStrings;
class TCustomListBox;
class TEdit;
class TGroupBox;
class TLabel;
class TListBox;
class TMenuItem;
class TPageControl;
class TPaintBox;
class TPanel;
class TPopupMenu;
class TTabSheet;
class TUpDown;
class TTrelScope;
class TTrelDisplayChannelLink;
class TTrelDisplayCollection;
class TTrelDisplayCollectionItem;
class TTrelOptionalLabel;
class TTrelPropertyPageForm;
class TPen;
class TBrush;
class TFont;

// Clears `list` and adds the names of `names` in value order. dropPrefix
// removes leading lower-case letters while at least two characters remain;
// splitWords puts a blank before every upper-case letter but the first.
void FillEnumNames(const TNameTable& names, TComboBoxStrings* list, bool dropPrefix,
                   bool splitWords);
// One name as FillEnumNames lists it.
std::string EnumDisplayName(const std::string& name, bool dropPrefix, bool splitWords);
// The number a number edit holds: `fallback` when it is empty or does not
// fit.
int EditNumber(const std::string& text, int fallback);

class TFentCommonPropertiesForm : public TForm {
  KESTRUNE_CLASS(TFentCommonPropertiesForm, TForm)
  explicit TFentCommonPropertiesForm(TComponent* owner);

  TPageControl* PageControl = nullptr;
  TPanel* ButtonPanel = nullptr;
  TButton* OkButton = nullptr;
  TButton* AddButton = nullptr;
  TButton* RemoveButton = nullptr;

  // Places `page` on a new tab sheet with its caption, growing the client
  // area to fit it, and shows it.
  void AddPage(TTrelPropertyPageForm* page);
  // Makes `index`'s tab the active one and activates its page.
  void ActivatePage(int index);
  TTrelPropertyPageForm* ActivePageForm() const;
  const std::vector<TTrelPropertyPageForm*>& PageForms() const { return pages_; }
  TTabSheet* SheetOf(TTrelPropertyPageForm* page) const;

  bool DialogKey(uint16_t key, TShiftState shift, TWinControl* control) override;

  // Published handlers.
  void PageControlChange(TObject* Sender);
  void AddButtonClick(TObject* Sender);
  void RemoveButtonClick(TObject* Sender);
  void FormResize(TObject* Sender);

 protected:
  void Loaded() override;

 private:
  std::vector<TTrelPropertyPageForm*> pages_;
  std::vector<TTabSheet*> sheets_;
};

class TTrelPropertyPageForm : public TForm {
  KESTRUNE_CLASS(TTrelPropertyPageForm, TForm)
  explicit TTrelPropertyPageForm(TComponent* owner);

  TTrelScope* Scope() const { return scope_; }
  void SetScope(TTrelScope* scope) { scope_ = scope; }
  TFentCommonPropertiesForm* Dialog() const { return dialog_; }
  void SetDialog(TFentCommonPropertiesForm* dialog) { dialog_ = dialog; }

  // Disables the dialog's Add and Remove buttons.
  virtual void Activate();
  virtual void AddItem() {}
  virtual void RemoveItem() {}
  // Fills the controls for the item at `index` of the page's list.
  virtual void SelectItem(int index) { (void)index; }

  // Published handlers of the shared editing protocol.
  void NameEditChange(TObject* Sender);
  void NameEditExit(TObject* Sender);
  void NameEditKeyPress(TObject* Sender, char& Key);
  void LabelEditChange(TObject* Sender);
  void LabelEditExit(TObject* Sender);
  void LabelEditKeyPress(TObject* Sender, char& Key);
  // Keeps digits only, then lets the page write its numbers.
  void NumberEditChange(TObject* Sender);
  void NumberEditKeyPress(TObject* Sender, char& Key);
  void EditExit(TObject* Sender);
  void SwatchPaint(TObject* Sender);

 protected:
  // OkButton of the dialog is the default button, or not.
  void SetOkDefault(bool value);
  // The item the page edits now; null when none is selected.
  virtual TTrelDisplayCollectionItem* SelectedItem() { return nullptr; }
  // The selected item's name edit and its entry in the list.
  virtual TEdit* ItemNameEdit() { return nullptr; }
  virtual void NameWritten() {}
  // The label a label edit writes; null when none.
  virtual TTrelOptionalLabel* LabelFor(TEdit* edit) {
    (void)edit;
    return nullptr;
  }
  // A number edit after its non-digits went: the page writes its values.
  virtual void NumberChanged(TEdit* edit) { (void)edit; }
  // Writes the name edit into the selected item and its list entry.
  void CommitName();
  // A colour dialog preset with `color`; true when the user chose one.
  bool ChooseColor(TColor& color);
  // A font dialog preset with `font`; on OK the choice is copied back.
  bool ChooseFont(TFont* font);
  // The pen or brush editor on `pen`/`brush`: `refresh` after each change
  // and once more when it closes with OK.
  void EditPen(TPen* pen, TNotifyEvent refresh);
  void EditBrush(TBrush* brush, TNotifyEvent refresh);
  // The menu under `edit` whose entries insert macros at its caret.
  void PopupMacroMenu(TPopupMenu* menu, TEdit* edit);
  // The swatch's colour (SwatchPaint fills the sender with it).
  virtual TColor SwatchColor(TPaintBox* swatch) {
    (void)swatch;
    return clBtnFace;
  }

  bool loading_ = false;

 private:
  TTrelScope* scope_ = nullptr;
  TFentCommonPropertiesForm* dialog_ = nullptr;
};

// Runs the page's change handlers off while it fills its controls.
class TTrelPageLoading {
 public:
  explicit TTrelPageLoading(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
  ~TTrelPageLoading() { flag_ = before_; }
  TTrelPageLoading(const TTrelPageLoading&) = delete;
  TTrelPageLoading& operator=(const TTrelPageLoading&) = delete;

 private:
  bool& flag_;
  bool before_;
};

// What a list page lists: its list box, the collection whose items are its
// rows, and the box that shows the chosen item's visibility (null when the
// page has none). The list carries ticks when it is a check list.
struct TTrelItemList {
  TCustomListBox* list;
  TTrelDisplayCollection* items;
  TCheckBox* visibleBox;
};

// A page that lists the items of one collection and edits the chosen one.
// The page gives its list (ItemList) and what it shows for the chosen item
// (ShowItem); the rest is shared. Every row is its item's name; on a check
// list its tick is the item's visibility. The stored descriptions bind the
// list's and the visible box's events to the handlers below under each
// page's own names.
class TTrelListPageForm : public TTrelPropertyPageForm {
  KESTRUNE_CLASS(TTrelListPageForm, TTrelPropertyPageForm)
  explicit TTrelListPageForm(TComponent* owner);

  // Lists the collection's items, then selects `index`.
  void Fill(int index);
  // Chooses the row `index` (none when out of range) and shows its item.
  void SelectItem(int index) override;

  // Published handlers. A click shows the row clicked.
  void ItemListBoxClick(TObject* Sender);
  // A tick the user set: every row's tick is written into its item, and
  // the visible box follows the chosen item.
  void ItemListBoxClickCheck(TObject* Sender);
  // The visible box writes the chosen item's visibility and its tick.
  void ItemVisibleCheckBoxClick(TObject* Sender);

 protected:
  // The page's list, collection and visible box (read at every use).
  virtual TTrelItemList ItemList() = 0;
  // Fills the page's controls for the chosen item; `item` is null when no
  // row is chosen. Runs with the change handlers off.
  virtual void ShowItem(TTrelDisplayCollectionItem* item) = 0;
  // Appends `item`'s row (and its tick on a check list); the row's index.
  int AddItemRow(TTrelDisplayCollectionItem* item);
  // Deletes the chosen item and its row, then selects the row that took
  // its place, or the new last one. The caller checked that one is chosen.
  void DeleteSelectedItem();
  TTrelDisplayCollectionItem* SelectedItem() override;
  // Writes the chosen item's name into its row.
  void NameWritten() override;
};

class TTrelScopeChannelForm : public TTrelListPageForm {
  KESTRUNE_CLASS(TTrelScopeChannelForm, TTrelListPageForm)
  explicit TTrelScopeChannelForm(TComponent* owner);

  TCheckListBox* ChannelsListBox = nullptr;
  TEdit* NameEdit = nullptr;
  TComboBox* ModeComboBox = nullptr;
  TComboBox* ShadeComboBox = nullptr;
  TCheckBox* VisibleCheckBox = nullptr;
  TButton* ColorButton = nullptr;
  TPaintBox* ColorPaintBox = nullptr;
  TEdit* WidthEdit = nullptr;
  TUpDown* WidthUpDown = nullptr;
  TCheckBox* PointsVisibleCheckBox = nullptr;
  TComboBox* PointsShapeComboBox = nullptr;
  TCheckBox* PointsUseChannelColorCheckBox = nullptr;
  TEdit* PointsSizeEdit = nullptr;
  TUpDown* PointsSizeUpDown = nullptr;
  TButton* PointPenButton = nullptr;
  TButton* PointBrushButton = nullptr;

  void ModeComboBoxChange(TObject* Sender);
  void ShadeComboBoxChange(TObject* Sender);
  void ColorButtonClick(TObject* Sender);
  void PointsCheckBoxClick(TObject* Sender);
  void PointsShapeComboBoxChange(TObject* Sender);
  void PointPenButtonClick(TObject* Sender);
  void PointBrushButtonClick(TObject* Sender);
  void Refresh(TObject* Sender);

 protected:
  void Loaded() override;
  TTrelItemList ItemList() override;
  void ShowItem(TTrelDisplayCollectionItem* item) override;
  TEdit* ItemNameEdit() override { return NameEdit; }
  void NumberChanged(TEdit* edit) override;
  TColor SwatchColor(TPaintBox* swatch) override;
};

class TTrelScopeMerkerGroupsForm : public TTrelListPageForm {
  KESTRUNE_CLASS(TTrelScopeMerkerGroupsForm, TTrelListPageForm)
  explicit TTrelScopeMerkerGroupsForm(TComponent* owner);

  TCheckListBox* GroupListBox = nullptr;
  TEdit* NameEdit = nullptr;
  TComboBox* ShapeComboBox = nullptr;
  TEdit* SizeEdit = nullptr;
  TUpDown* SizeUpDown = nullptr;
  TCheckBox* VisibleCheckBox = nullptr;
  TButton* PenButton = nullptr;
  TButton* BrushButton = nullptr;
  TCheckBox* LabelVisibleCheckBox = nullptr;
  TEdit* LabelEdit = nullptr;
  TButton* LabelMenuButton = nullptr;
  TPopupMenu* LabelPopupMenu = nullptr;

  void ShapeComboBoxChange(TObject* Sender);
  void LabelVisibleCheckBoxClick(TObject* Sender);
  void PenButtonClick(TObject* Sender);
  void BrushButtonClick(TObject* Sender);
  void LabelMenuButtonClick(TObject* Sender);
  void MacroXClick(TObject* Sender);
  void MacroYClick(TObject* Sender);
  void MacroPercentClick(TObject* Sender);
  void Refresh(TObject* Sender);

 protected:
  void Loaded() override;
  TTrelItemList ItemList() override;
  void ShowItem(TTrelDisplayCollectionItem* item) override;
  TEdit* ItemNameEdit() override { return NameEdit; }
  TTrelOptionalLabel* LabelFor(TEdit* edit) override;
  void NumberChanged(TEdit* edit) override;
};

class TTrelScopeChannelLinkForm;

class TTrelScopeCursorsForm : public TTrelListPageForm {
  KESTRUNE_CLASS(TTrelScopeCursorsForm, TTrelListPageForm)
  explicit TTrelScopeCursorsForm(TComponent* owner);

  TCheckListBox* CursorListBox = nullptr;
  TEdit* NameEdit = nullptr;
  TComboBox* KindComboBox = nullptr;
  TCheckBox* VisibleCheckBox = nullptr;
  TButton* PointColorButton = nullptr;
  TPaintBox* ColorPaintBox = nullptr;
  TGroupBox* ChannelsGroupBox = nullptr;
  TCheckListBox* ChannelsListBox = nullptr;
  // The docked editor of the chosen channel's link; null while none shows.
  TTrelScopeChannelLinkForm* LinkEditor() const { return link_editor_; }

  void Activate() override;
  void AddItem() override;
  void RemoveItem() override;

  void KindComboBoxChange(TObject* Sender);
  void PointColorButtonClick(TObject* Sender);
  void ChannelsListBoxClickCheck(TObject* Sender);
  void ChannelsListBoxClick(TObject* Sender);
  void ChannelsListBoxMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                              int Y);

 protected:
  void Loaded() override;
  TTrelItemList ItemList() override;
  void ShowItem(TTrelDisplayCollectionItem* item) override;
  TEdit* ItemNameEdit() override { return NameEdit; }
  TColor SwatchColor(TPaintBox* swatch) override;

 private:
  void ShowLinkEditor(int channelIndex);
  void EnableEdits(bool on);
  TTrelScopeChannelLinkForm* link_editor_ = nullptr;
};

class TTrelScopeCursorLinksForm : public TTrelListPageForm {
  KESTRUNE_CLASS(TTrelScopeCursorLinksForm, TTrelListPageForm)
  explicit TTrelScopeCursorLinksForm(TComponent* owner);

  TListBox* CursorLinksListBox = nullptr;
  TEdit* NameEdit = nullptr;
  TComboBox* BeginCursorComboBox = nullptr;
  TComboBox* EndCursorComboBox = nullptr;
  TCheckBox* MeasurementVisibleCheckBox = nullptr;
  TComboBox* MeasurementStyleComboBox = nullptr;
  TComboBox* MeasurementModeComboBox = nullptr;
  TButton* MeasurementColorButton = nullptr;
  TCheckBox* LabelVisibleCheckBox = nullptr;
  TEdit* LabelEdit = nullptr;
  TButton* LabelFontButton = nullptr;
  TButton* LabelMenuButton = nullptr;
  TPopupMenu* LabelPopupMenu = nullptr;
  TCheckBox* SelectionVisibleCheckBox = nullptr;
  TButton* SelectionBrushButton = nullptr;

  void Activate() override;
  void AddItem() override;
  void RemoveItem() override;

  void CursorComboBoxChange(TObject* Sender);
  void MeasurementChange(TObject* Sender);
  void MeasurementColorButtonClick(TObject* Sender);
  void LabelVisibleCheckBoxClick(TObject* Sender);
  void LabelFontButtonClick(TObject* Sender);
  void LabelMenuButtonClick(TObject* Sender);
  void MacroValueClick(TObject* Sender);
  void MacroPercentClick(TObject* Sender);
  void SelectionVisibleCheckBoxClick(TObject* Sender);
  void SelectionBrushButtonClick(TObject* Sender);
  void Refresh(TObject* Sender);

 protected:
  void Loaded() override;
  TTrelItemList ItemList() override;
  void ShowItem(TTrelDisplayCollectionItem* item) override;
  TEdit* ItemNameEdit() override { return NameEdit; }
  TTrelOptionalLabel* LabelFor(TEdit* edit) override;

 private:
  void EnableEdits(bool on);
};

// The editor of one channel link, placed inside the cursors page.
class TTrelScopeChannelLinkForm : public TTrelPropertyPageForm {
  KESTRUNE_CLASS(TTrelScopeChannelLinkForm, TTrelPropertyPageForm)
  explicit TTrelScopeChannelLinkForm(TComponent* owner);

  TGroupBox* LinkGroupBox = nullptr;
  TPageControl* LinkPageControl = nullptr;
  TCheckBox* UseChannelCheckBox = nullptr;
  TEdit* PointsSizeEdit = nullptr;
  TUpDown* PointsSizeUpDown = nullptr;
  TComboBox* ShapeComboBox = nullptr;
  TButton* PenButton = nullptr;
  TButton* BrushButton = nullptr;
  TCheckBox* LabelVisibleCheckBox = nullptr;
  TEdit* LabelEdit = nullptr;
  TButton* LabelFontButton = nullptr;
  TButton* LabelMenuButton = nullptr;
  TPopupMenu* LabelPopupMenu = nullptr;

  TTrelDisplayChannelLink* Link() const { return link_; }
  // Shows `link`'s values; the editor edits it from now on.
  void SetLink(TTrelDisplayChannelLink* link);

  // Any change writes all the editor's values at once.
  void ValuesChange(TObject* Sender);
  void PenButtonClick(TObject* Sender);
  void BrushButtonClick(TObject* Sender);
  void LabelFontButtonClick(TObject* Sender);
  void LabelMenuButtonClick(TObject* Sender);
  void MacroXClick(TObject* Sender);
  void MacroYClick(TObject* Sender);
  void MacroDefaultClick(TObject* Sender);
  void MacroPercentClick(TObject* Sender);
  void Refresh(TObject* Sender);

 protected:
  void Loaded() override;
  void NumberChanged(TEdit* edit) override;

 private:
  void WriteValues();
  TTrelDisplayChannelLink* link_ = nullptr;
};

// The pen and brush editors: modal dialogs that change their object at
// once and call OnChange after each change.
class TTrelPenForm : public TForm {
  KESTRUNE_CLASS(TTrelPenForm, TForm)
  TTrelPenForm(TComponent* owner, TPen* pen);

  TComboBox* PenStyleComboBox = nullptr;
  TComboBox* PenModeComboBox = nullptr;
  TEdit* WidthEdit = nullptr;
  TUpDown* WidthUpDown = nullptr;
  TButton* ColorButton = nullptr;
  TPaintBox* ColorPaintBox = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;
  TNotifyEvent OnChange;
  TPen* Pen() const { return pen_; }

  void StyleChange(TObject* Sender);
  void WidthEditChange(TObject* Sender);
  void WidthEditKeyPress(TObject* Sender, char& Key);
  void ColorButtonClick(TObject* Sender);
  void ColorPaintBoxPaint(TObject* Sender);

 protected:
  void Loaded() override;

 private:
  void Changed();
  TPen* pen_;
  bool loading_ = false;
};

class TTrelBrushForm : public TForm {
  KESTRUNE_CLASS(TTrelBrushForm, TForm)
  TTrelBrushForm(TComponent* owner, TBrush* brush);

  TComboBox* BrushStyleComboBox = nullptr;
  TButton* ColorButton = nullptr;
  TPaintBox* ColorPaintBox = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;
  TNotifyEvent OnChange;
  TBrush* Brush() const { return brush_; }

  void StyleChange(TObject* Sender);
  void ColorButtonClick(TObject* Sender);
  void ColorPaintBoxPaint(TObject* Sender);

 protected:
  void Loaded() override;

 private:
  void Changed();
  TBrush* brush_;
  TColor swatch_color_;
  bool loading_ = false;
};

// The scope's dialog: the four pages, opened at `pageIndex` (0 channels, 1
// marker groups, 2 cursors, 3 cursor links) with `itemIndex` selected.
class TTrelScopePropertiesForm : public TFentCommonPropertiesForm {
  KESTRUNE_CLASS(TTrelScopePropertiesForm, TFentCommonPropertiesForm)
  TTrelScopePropertiesForm(TComponent* owner, TTrelScope* scope, int pageIndex, int itemIndex);

  TTrelScopeChannelForm* ChannelPage = nullptr;
  TTrelScopeMerkerGroupsForm* MarkerGroupsPage = nullptr;
  TTrelScopeCursorsForm* CursorsPage = nullptr;
  TTrelScopeCursorLinksForm* CursorLinksPage = nullptr;

 protected:
  void DoCreate() override;

 private:
  TTrelScope* scope_;
  int page_index_;
  int item_index_;
};

// Registers the forms' published handlers and stored descriptions (the
// scope unit's start-up).
void RegisterTrelScopePropertiesClasses();
