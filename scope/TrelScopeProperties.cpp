#include "scope/TrelScopeProperties.h"

#include <algorithm>
#include <cctype>

#include "platform/classes/Streaming.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ColorDialogs.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtStdCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopePropertiesDescription.h"

namespace {

template <class T>
T* Stored(TComponent* root, const char* name) {
  T* found = dynamic_cast<T*>(root->FindComponent(name));
  if (found == nullptr)
    throw EComponentError(Format("The form %s has no component %s", {root->Name(), name}));
  return found;
}

const TNameTable& RegisteredNames(TClass cls, std::string_view property) {
  const TPropInfo* info = GetPropInfo(cls, property);
  if (info == nullptr)
    throw EPropertyError(Format("Unknown property %s", {std::string(property)}));
  return info->Names();
}

template <class T>
TNotifyEvent Bind(T* target, void (T::*method)(TObject*)) {
  return TNotifyEvent(target, method);
}

void SetComboIndex(TComboBox* box, int index) {
  box->SetItemIndex(index);
}

// The combo box's choice, or `fallback` while none is chosen.
int ComboIndex(TComboBox* box, int fallback) {
  return box->ItemIndex() >= 0 ? box->ItemIndex() : fallback;
}

// Fills the swatch with `color` inside a black frame.
void PaintSwatch(TPaintBox* swatch, TColor color) {
  TCanvas* canvas = swatch->Canvas();
  canvas->Pen()->SetColor(clBlack);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
  canvas->Rectangle(0, 0, swatch->Width(), swatch->Height());
}

// Removes every character but digits; true when the text changed (the edit
// then fired its change again, with the digits).
bool KeepDigits(TEdit* edit) {
  std::string digits;
  for (const char c : edit->Text()) {
    if (c >= '0' && c <= '9')
      digits += c;
  }
  if (digits == edit->Text())
    return false;
  edit->SetText(digits);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Helpers

std::string EnumDisplayName(const std::string& name, bool dropPrefix, bool splitWords) {
  std::string text = name;
  if (dropPrefix) {
    std::size_t drop = 0;
    while (text.size() - drop >= 2 && std::islower(static_cast<unsigned char>(text[drop])))
      ++drop;
    text.erase(0, drop);
  }
  if (splitWords) {
    for (std::size_t i = text.size(); i-- > 1;) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c == static_cast<unsigned char>(std::toupper(c)))
        text.insert(i, 1, ' ');
    }
  }
  return text;
}

void FillEnumNames(const TNameTable& names, TComboBoxStrings* list, bool dropPrefix,
                   bool splitWords) {
  list->Clear();
  for (const std::string& name : names)
    list->Add(EnumDisplayName(name, dropPrefix, splitWords));
}

int EditNumber(const std::string& text, int fallback) {
  int64_t value = 0;
  if (!TryStrToInt(text, value) || value < INT32_MIN || value > INT32_MAX)
    return fallback;
  return static_cast<int>(value);
}

// ---------------------------------------------------------------------------
// TFentCommonPropertiesForm

TFentCommonPropertiesForm::TFentCommonPropertiesForm(TComponent* owner) : TForm(owner) {}

void TFentCommonPropertiesForm::Loaded() {
  inherited::Loaded();
  PageControl = Stored<TPageControl>(this, "PageControl");
  ButtonPanel = Stored<TPanel>(this, "ButtonPanel");
  OkButton = Stored<TButton>(this, "OkButton");
  AddButton = Stored<TButton>(this, "AddButton");
  RemoveButton = Stored<TButton>(this, "RemoveButton");
}

void TFentCommonPropertiesForm::AddPage(TTrelPropertyPageForm* page) {
  auto* sheet = Create<TTabSheet>(this);
  sheet->SetCaption(page->Caption());
  sheet->SetPageControl(PageControl);
  SetClientSize(std::max(ClientWidth(), page->Width() + ClientWidth() - sheet->Width()),
                std::max(ClientHeight(), page->Height() + ClientHeight() - sheet->Height()));
  page->SetDialog(this);
  page->SetBorderStyle(TFormBorderStyle::bsNone);
  page->SetParent(sheet);
  page->SetAlign(alClient);
  pages_.push_back(page);
  sheets_.push_back(sheet);
  page->Show();
}

void TFentCommonPropertiesForm::ActivatePage(int index) {
  if (index < 0 || index >= static_cast<int>(pages_.size()))
    return;
  PageControl->SetActivePageIndex(index);
  pages_[static_cast<std::size_t>(index)]->Activate();
}

TTrelPropertyPageForm* TFentCommonPropertiesForm::ActivePageForm() const {
  const int index = PageControl != nullptr ? PageControl->ActivePageIndex() : -1;
  if (index < 0 || index >= static_cast<int>(pages_.size()))
    return nullptr;
  return pages_[static_cast<std::size_t>(index)];
}

TTabSheet* TFentCommonPropertiesForm::SheetOf(TTrelPropertyPageForm* page) const {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i] == page)
      return sheets_[i];
  }
  return nullptr;
}

bool TFentCommonPropertiesForm::DialogKey(uint16_t key, TShiftState shift, TWinControl* control) {
  // Esc while an edit is under way cancels the edit, not the dialog.
  if (key == VK_ESCAPE && OkButton != nullptr && !OkButton->Default()) {
    if (auto* edit = dynamic_cast<TEdit*>(control);
        edit != nullptr && edit->OnKeyPress.Assigned()) {
      char c = 27;
      edit->OnKeyPress(edit, c);
    }
    return true;
  }
  return inherited::DialogKey(key, shift, control);
}

void TFentCommonPropertiesForm::PageControlChange(TObject*) {
  if (TTrelPropertyPageForm* page = ActivePageForm())
    page->Activate();
}

void TFentCommonPropertiesForm::AddButtonClick(TObject*) {
  if (TTrelPropertyPageForm* page = ActivePageForm())
    page->AddItem();
}

void TFentCommonPropertiesForm::RemoveButtonClick(TObject*) {
  if (TTrelPropertyPageForm* page = ActivePageForm())
    page->RemoveItem();
}

void TFentCommonPropertiesForm::FormResize(TObject*) {
  // OK stays at the panel's right edge.
  if (OkButton != nullptr && ButtonPanel != nullptr)
    OkButton->SetLeft(std::max(0, ButtonPanel->Width() - OkButton->Width() - 8));
}

// ---------------------------------------------------------------------------
// TTrelPropertyPageForm

TTrelPropertyPageForm::TTrelPropertyPageForm(TComponent* owner) : TForm(owner) {}

void TTrelPropertyPageForm::Activate() {
  if (dialog_ == nullptr)
    return;
  dialog_->AddButton->SetEnabled(false);
  dialog_->RemoveButton->SetEnabled(false);
}

void TTrelPropertyPageForm::SetOkDefault(bool value) {
  // The docked link editor's dialog is its page's.
  TTrelPropertyPageForm* page = this;
  while (page->dialog_ == nullptr) {
    auto* outer = dynamic_cast<TTrelPropertyPageForm*>(page->Owner());
    if (outer == nullptr)
      return;
    page = outer;
  }
  page->dialog_->OkButton->SetDefault(value);
}

void TTrelPropertyPageForm::CommitName() {
  TEdit* edit = ItemNameEdit();
  TTrelDisplayCollectionItem* item = SelectedItem();
  if (edit == nullptr || item == nullptr)
    return;
  item->SetName(edit->Text());
  NameWritten();
  SetOkDefault(true);
}

void TTrelPropertyPageForm::NameEditChange(TObject*) {
  if (!loading_)
    SetOkDefault(false);
}

void TTrelPropertyPageForm::NameEditExit(TObject*) {
  CommitName();
}

void TTrelPropertyPageForm::NameEditKeyPress(TObject*, char& Key) {
  if (Key == '\r') {
    Key = 0;
    CommitName();
  } else if (Key == 27) {
    Key = 0;
    TEdit* edit = ItemNameEdit();
    TTrelDisplayCollectionItem* item = SelectedItem();
    if (edit == nullptr || item == nullptr)
      return;
    {
      const TTrelPageLoading loading(loading_);
      edit->SetText(item->GetName());
    }
    edit->SelectAll();
    SetOkDefault(true);
  }
}

void TTrelPropertyPageForm::LabelEditChange(TObject* Sender) {
  if (loading_)
    return;
  auto* edit = dynamic_cast<TEdit*>(Sender);
  if (TTrelOptionalLabel* label = LabelFor(edit)) {
    label->SetText(edit->Text());
    SetOkDefault(false);
  }
}

void TTrelPropertyPageForm::LabelEditExit(TObject*) {
  SetOkDefault(true);
}

void TTrelPropertyPageForm::LabelEditKeyPress(TObject* Sender, char& Key) {
  if (Key == '\r') {
    Key = 0;
    SetOkDefault(true);
  } else if (Key == 27) {
    Key = 0;
    if (auto* edit = dynamic_cast<TEdit*>(Sender))
      edit->SelectAll();
    SetOkDefault(true);
  }
}

void TTrelPropertyPageForm::NumberEditChange(TObject* Sender) {
  auto* edit = dynamic_cast<TEdit*>(Sender);
  if (edit == nullptr || KeepDigits(edit) || loading_)
    return;
  NumberChanged(edit);
}

void TTrelPropertyPageForm::NumberEditKeyPress(TObject*, char& Key) {
  if (Key == '\r' || Key == 27) {
    Key = 0;
    SetOkDefault(true);
  } else if (Key >= '0' && Key <= '9') {
    SetOkDefault(false);
  } else if (static_cast<unsigned char>(Key) >= 32) {
    Key = 0;
  }
}

void TTrelPropertyPageForm::EditExit(TObject*) {
  SetOkDefault(true);
}

void TTrelPropertyPageForm::SwatchPaint(TObject* Sender) {
  if (auto* swatch = dynamic_cast<TPaintBox*>(Sender))
    PaintSwatch(swatch, SwatchColor(swatch));
}

namespace {

// Runs a colour dialog owned by `owner`, preset with `color`: true, with
// `color` the choice, when the user confirmed. The dialog goes on every exit.
bool RunColorDialog(TComponent* owner, TColor& color) {
  auto* dialog = Create<TColorDialog>(owner);
  kestrune::ScopeExit freeDialog([&] { dialog->Free(); });
  dialog->SetColor(color);
  const bool chosen = dialog->Execute();
  if (chosen)
    color = dialog->Color();
  return chosen;
}

}  // namespace

bool TTrelPropertyPageForm::ChooseColor(TColor& color) {
  return RunColorDialog(this, color);
}

bool TTrelPropertyPageForm::ChooseFont(TFont* font) {
  auto* dialog = Create<TFontDialog>(this);
  dialog->Font()->Assign(font);
  const bool chosen = dialog->Execute();
  if (chosen)
    font->Assign(dialog->Font());
  dialog->Free();
  return chosen;
}

void TTrelPropertyPageForm::EditPen(TPen* pen, TNotifyEvent refresh) {
  auto* editor = Create<TTrelPenForm>(this, pen);
  editor->OnChange = refresh;
  const int result = editor->ShowModal();
  editor->Free();
  if (result == mrOk && refresh.Assigned())
    refresh(this);
}

void TTrelPropertyPageForm::EditBrush(TBrush* brush, TNotifyEvent refresh) {
  auto* editor = Create<TTrelBrushForm>(this, brush);
  editor->OnChange = refresh;
  const int result = editor->ShowModal();
  editor->Free();
  if (result == mrOk && refresh.Assigned())
    refresh(this);
}

void TTrelPropertyPageForm::PopupMacroMenu(TPopupMenu* menu, TEdit* edit) {
  const TPoint below = edit->ClientToScreen(TPoint{0, edit->Height()});
  menu->Popup(below.X, below.Y);
}

// ---------------------------------------------------------------------------
// List pages

TTrelListPageForm::TTrelListPageForm(TComponent* owner) : TTrelPropertyPageForm(owner) {}

int TTrelListPageForm::AddItemRow(TTrelDisplayCollectionItem* item) {
  const TTrelItemList shown = ItemList();
  const int index = shown.list->Items()->Add(item->GetName());
  if (auto* ticks = dynamic_cast<TCheckListBox*>(shown.list))
    ticks->SetChecked(index, item->GetVisible());
  return index;
}

void TTrelListPageForm::Fill(int index) {
  const TTrelPageLoading loading(loading_);
  const TTrelItemList shown = ItemList();
  shown.list->Items()->Clear();
  for (int i = 0; i < shown.items->Count(); ++i)
    AddItemRow(static_cast<TTrelDisplayCollectionItem*>(shown.items->Items(i)));
  SelectItem(index);
}

TTrelDisplayCollectionItem* TTrelListPageForm::SelectedItem() {
  const TTrelItemList shown = ItemList();
  const int index = shown.list->ItemIndex();
  return index >= 0 && index < shown.items->Count()
             ? static_cast<TTrelDisplayCollectionItem*>(shown.items->Items(index))
             : nullptr;
}

void TTrelListPageForm::SelectItem(int index) {
  const TTrelPageLoading loading(loading_);
  ItemList().list->SetItemIndex(index);
  ShowItem(SelectedItem());
}

void TTrelListPageForm::DeleteSelectedItem() {
  const TTrelItemList shown = ItemList();
  const int index = shown.list->ItemIndex();
  shown.items->Delete(index);
  shown.list->Items()->Delete(index);
  SelectItem(std::min(index, shown.list->Items()->Count() - 1));
}

void TTrelListPageForm::NameWritten() {
  TCustomListBox* list = ItemList().list;
  const int index = list->ItemIndex();
  if (TTrelDisplayCollectionItem* item = SelectedItem())
    list->Items()->SetStrings(index, item->GetName());
  list->SetItemIndex(index);
}

void TTrelListPageForm::ItemListBoxClick(TObject*) {
  SelectItem(ItemList().list->ItemIndex());
}

void TTrelListPageForm::ItemListBoxClickCheck(TObject*) {
  const TTrelItemList shown = ItemList();
  auto* ticks = dynamic_cast<TCheckListBox*>(shown.list);
  if (ticks == nullptr)
    return;
  for (int i = 0; i < shown.items->Count() && i < ticks->Items()->Count(); ++i)
    static_cast<TTrelDisplayCollectionItem*>(shown.items->Items(i))->SetVisible(ticks->Checked(i));
  TTrelDisplayCollectionItem* item = SelectedItem();
  if (item != nullptr && shown.visibleBox != nullptr) {
    const TTrelPageLoading loading(loading_);
    shown.visibleBox->SetChecked(item->GetVisible());
  }
}

void TTrelListPageForm::ItemVisibleCheckBoxClick(TObject*) {
  const TTrelItemList shown = ItemList();
  TTrelDisplayCollectionItem* item = SelectedItem();
  if (loading_ || item == nullptr || shown.visibleBox == nullptr)
    return;
  item->SetVisible(shown.visibleBox->Checked());
  if (auto* ticks = dynamic_cast<TCheckListBox*>(shown.list))
    ticks->SetChecked(ticks->ItemIndex(), shown.visibleBox->Checked());
}

// ---------------------------------------------------------------------------
// Channels page

TTrelScopeChannelForm::TTrelScopeChannelForm(TComponent* owner) : TTrelListPageForm(owner) {}

void TTrelScopeChannelForm::Loaded() {
  inherited::Loaded();
  ChannelsListBox = Stored<TCheckListBox>(this, "ChannelsListBox");
  NameEdit = Stored<TEdit>(this, "NameEdit");
  ModeComboBox = Stored<TComboBox>(this, "ModeComboBox");
  ShadeComboBox = Stored<TComboBox>(this, "ShadeComboBox");
  VisibleCheckBox = Stored<TCheckBox>(this, "VisibleCheckBox");
  ColorButton = Stored<TButton>(this, "ColorButton");
  ColorPaintBox = Stored<TPaintBox>(this, "ColorPaintBox");
  WidthEdit = Stored<TEdit>(this, "WidthEdit");
  WidthUpDown = Stored<TUpDown>(this, "WidthUpDown");
  PointsVisibleCheckBox = Stored<TCheckBox>(this, "PointsVisibleCheckBox");
  PointsShapeComboBox = Stored<TComboBox>(this, "PointsShapeComboBox");
  PointsUseChannelColorCheckBox = Stored<TCheckBox>(this, "PointsUseChannelColorCheckBox");
  PointsSizeEdit = Stored<TEdit>(this, "PointsSizeEdit");
  PointsSizeUpDown = Stored<TUpDown>(this, "PointsSizeUpDown");
  PointPenButton = Stored<TButton>(this, "PointPenButton");
  PointBrushButton = Stored<TButton>(this, "PointBrushButton");
  FillEnumNames(RegisteredNames(TTrelScopeChannel::StaticClass(), "ChannelMode"),
                ModeComboBox->Items(), true, false);
  FillEnumNames(RegisteredNames(TTrelScopeChannel::StaticClass(), "ShadeMode"),
                ShadeComboBox->Items(), true, false);
  FillEnumNames(RegisteredNames(TTrelScopePoints::StaticClass(), "Shape"),
                PointsShapeComboBox->Items(), true, false);
}

TTrelItemList TTrelScopeChannelForm::ItemList() {
  return {ChannelsListBox, Scope()->GetChannels(), VisibleCheckBox};
}

void TTrelScopeChannelForm::ShowItem(TTrelDisplayCollectionItem* item) {
  auto* channel = static_cast<TTrelScopeChannel*>(item);
  if (channel == nullptr)
    return;
  NameEdit->SetText(channel->GetName());
  SetComboIndex(ModeComboBox, channel->GetChannelMode());
  SetComboIndex(ShadeComboBox, channel->GetShadeMode());
  VisibleCheckBox->SetChecked(channel->IsVisible());
  WidthEdit->SetText(IntToStr(channel->GetWidth()));
  WidthUpDown->SetPosition(channel->GetWidth());
  TTrelScopePoints* points = channel->GetPoints();
  PointsVisibleCheckBox->SetChecked(points->GetVisible());
  SetComboIndex(PointsShapeComboBox, points->GetShape());
  PointsUseChannelColorCheckBox->SetChecked(points->GetUseChannelColor());
  PointsSizeEdit->SetText(IntToStr(points->GetSize()));
  PointsSizeUpDown->SetPosition(static_cast<int>(points->GetSize()));
  ColorPaintBox->Invalidate();
}

void TTrelScopeChannelForm::ModeComboBoxChange(TObject*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  if (loading_ || channel == nullptr)
    return;
  channel->SetChannelMode(
      static_cast<TTrelScopeChannelMode>(ComboIndex(ModeComboBox, channel->GetChannelMode())));
}

void TTrelScopeChannelForm::ShadeComboBoxChange(TObject*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  if (loading_ || channel == nullptr)
    return;
  channel->SetShadeMode(
      static_cast<TTrelChannelShadeMode>(ComboIndex(ShadeComboBox, channel->GetShadeMode())));
}

void TTrelScopeChannelForm::ColorButtonClick(TObject*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  if (channel == nullptr)
    return;
  TColor color = channel->GetStoredColor();
  if (ChooseColor(color)) {
    channel->SetColor(color);
    ColorPaintBox->Invalidate();
  }
}

TColor TTrelScopeChannelForm::SwatchColor(TPaintBox*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  return channel != nullptr ? channel->GetStoredColor() : clBtnFace;
}

void TTrelScopeChannelForm::NumberChanged(TEdit*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  if (loading_ || channel == nullptr)
    return;
  channel->SetWidth(EditNumber(WidthEdit->Text(), 1));
  channel->GetPoints()->SetSize(static_cast<std::uint32_t>(EditNumber(PointsSizeEdit->Text(), 1)));
}

void TTrelScopeChannelForm::PointsCheckBoxClick(TObject*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  if (loading_ || channel == nullptr)
    return;
  channel->GetPoints()->SetVisible(PointsVisibleCheckBox->Checked());
  channel->GetPoints()->SetUseChannelColor(PointsUseChannelColorCheckBox->Checked());
}

void TTrelScopeChannelForm::PointsShapeComboBoxChange(TObject*) {
  auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem());
  if (loading_ || channel == nullptr)
    return;
  channel->GetPoints()->SetShape(static_cast<TTrelScopePointsShape>(
      ComboIndex(PointsShapeComboBox, channel->GetPoints()->GetShape())));
}

void TTrelScopeChannelForm::PointPenButtonClick(TObject*) {
  if (auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem()))
    EditPen(channel->GetPoints()->GetPen(), Bind(this, &TTrelScopeChannelForm::Refresh));
}

void TTrelScopeChannelForm::PointBrushButtonClick(TObject*) {
  if (auto* channel = static_cast<TTrelScopeChannel*>(SelectedItem()))
    EditBrush(channel->GetPoints()->GetBrush(), Bind(this, &TTrelScopeChannelForm::Refresh));
}

void TTrelScopeChannelForm::Refresh(TObject*) {
  Scope()->RedrawAll();
}

// ---------------------------------------------------------------------------
// Marker groups page

TTrelScopeMerkerGroupsForm::TTrelScopeMerkerGroupsForm(TComponent* owner)
    : TTrelListPageForm(owner) {}

void TTrelScopeMerkerGroupsForm::Loaded() {
  inherited::Loaded();
  GroupListBox = Stored<TCheckListBox>(this, "GroupListBox");
  NameEdit = Stored<TEdit>(this, "NameEdit");
  ShapeComboBox = Stored<TComboBox>(this, "ShapeComboBox");
  SizeEdit = Stored<TEdit>(this, "SizeEdit");
  SizeUpDown = Stored<TUpDown>(this, "SizeUpDown");
  VisibleCheckBox = Stored<TCheckBox>(this, "VisibleCheckBox");
  PenButton = Stored<TButton>(this, "PenButton");
  BrushButton = Stored<TButton>(this, "BrushButton");
  LabelVisibleCheckBox = Stored<TCheckBox>(this, "LabelVisibleCheckBox");
  LabelEdit = Stored<TEdit>(this, "LabelEdit");
  LabelMenuButton = Stored<TButton>(this, "LabelMenuButton");
  LabelPopupMenu = Stored<TPopupMenu>(this, "LabelPopupMenu");
  FillEnumNames(MarkerShapeNames(), ShapeComboBox->Items(), true, true);
}

TTrelItemList TTrelScopeMerkerGroupsForm::ItemList() {
  return {GroupListBox, Scope()->GetMarkerGroups(), VisibleCheckBox};
}

void TTrelScopeMerkerGroupsForm::ShowItem(TTrelDisplayCollectionItem* item) {
  auto* group = static_cast<TTrelScopeMarkerGroup*>(item);
  if (group == nullptr)
    return;
  NameEdit->SetText(group->GetName());
  SetComboIndex(ShapeComboBox, group->GetShape());
  SizeEdit->SetText(IntToStr(group->GetSize()));
  SizeUpDown->SetPosition(static_cast<int>(group->GetSize()));
  VisibleCheckBox->SetChecked(group->IsVisible());
  LabelVisibleCheckBox->SetChecked(group->GetLabels()->GetVisible());
  LabelEdit->SetText(group->GetLabels()->GetText());
}

TTrelOptionalLabel* TTrelScopeMerkerGroupsForm::LabelFor(TEdit* edit) {
  auto* group = static_cast<TTrelScopeMarkerGroup*>(SelectedItem());
  return group != nullptr && edit == LabelEdit ? group->GetLabels() : nullptr;
}

void TTrelScopeMerkerGroupsForm::ShapeComboBoxChange(TObject*) {
  auto* group = static_cast<TTrelScopeMarkerGroup*>(SelectedItem());
  if (loading_ || group == nullptr)
    return;
  group->SetShape(
      static_cast<TTrelDisplayMarkerShape>(ComboIndex(ShapeComboBox, group->GetShape())));
}

void TTrelScopeMerkerGroupsForm::NumberChanged(TEdit*) {
  auto* group = static_cast<TTrelScopeMarkerGroup*>(SelectedItem());
  if (loading_ || group == nullptr)
    return;
  group->SetSize(static_cast<std::uint32_t>(EditNumber(SizeEdit->Text(), 1)));
}

void TTrelScopeMerkerGroupsForm::LabelVisibleCheckBoxClick(TObject*) {
  auto* group = static_cast<TTrelScopeMarkerGroup*>(SelectedItem());
  if (loading_ || group == nullptr)
    return;
  group->GetLabels()->SetVisible(LabelVisibleCheckBox->Checked());
}

void TTrelScopeMerkerGroupsForm::PenButtonClick(TObject*) {
  if (auto* group = static_cast<TTrelScopeMarkerGroup*>(SelectedItem()))
    EditPen(group->GetPen(), Bind(this, &TTrelScopeMerkerGroupsForm::Refresh));
}

void TTrelScopeMerkerGroupsForm::BrushButtonClick(TObject*) {
  if (auto* group = static_cast<TTrelScopeMarkerGroup*>(SelectedItem()))
    EditBrush(group->GetBrush(), Bind(this, &TTrelScopeMerkerGroupsForm::Refresh));
}

void TTrelScopeMerkerGroupsForm::LabelMenuButtonClick(TObject*) {
  PopupMacroMenu(LabelPopupMenu, LabelEdit);
}

void TTrelScopeMerkerGroupsForm::MacroXClick(TObject*) {
  LabelEdit->SetSelText("%X");
}

void TTrelScopeMerkerGroupsForm::MacroYClick(TObject*) {
  LabelEdit->SetSelText("%Y");
}

void TTrelScopeMerkerGroupsForm::MacroPercentClick(TObject*) {
  LabelEdit->SetSelText("%%");
}

void TTrelScopeMerkerGroupsForm::Refresh(TObject*) {
  Scope()->RedrawAll();
}

// ---------------------------------------------------------------------------
// Cursors page

TTrelScopeCursorsForm::TTrelScopeCursorsForm(TComponent* owner) : TTrelListPageForm(owner) {}

void TTrelScopeCursorsForm::Loaded() {
  inherited::Loaded();
  CursorListBox = Stored<TCheckListBox>(this, "CursorListBox");
  NameEdit = Stored<TEdit>(this, "NameEdit");
  KindComboBox = Stored<TComboBox>(this, "KindComboBox");
  VisibleCheckBox = Stored<TCheckBox>(this, "VisibleCheckBox");
  PointColorButton = Stored<TButton>(this, "PointColorButton");
  ColorPaintBox = Stored<TPaintBox>(this, "ColorPaintBox");
  ChannelsGroupBox = Stored<TGroupBox>(this, "ChannelsGroupBox");
  ChannelsListBox = Stored<TCheckListBox>(this, "ChannelsListBox");
  FillEnumNames(RegisteredNames(TTrelDisplayCursor::StaticClass(), "Kind"), KindComboBox->Items(),
                true, false);
}

TTrelItemList TTrelScopeCursorsForm::ItemList() {
  return {CursorListBox, Scope()->GetCursors(), VisibleCheckBox};
}

void TTrelScopeCursorsForm::EnableEdits(bool on) {
  for (TControl* control : std::initializer_list<TControl*>{NameEdit, KindComboBox, VisibleCheckBox,
                                                            PointColorButton, ChannelsListBox})
    control->SetEnabled(on);
}

void TTrelScopeCursorsForm::ShowItem(TTrelDisplayCollectionItem* item) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(item);
  EnableEdits(Scope()->GetCursors()->Count() > 0);
  if (Dialog() != nullptr)
    Dialog()->RemoveButton->SetEnabled(cursor != nullptr && cursor->GetRemovable());
  ChannelsListBox->Items()->Clear();
  if (cursor == nullptr) {
    ShowLinkEditor(-1);
    return;
  }
  NameEdit->SetText(cursor->GetName());
  SetComboIndex(KindComboBox, cursor->GetKind());
  VisibleCheckBox->SetChecked(cursor->IsVisible());
  TTrelScopeChannels* channels = Scope()->GetChannels();
  TTrelDisplayChannelLinks* links = cursor->GetChannels();
  for (int i = 0; i < channels->Count(); ++i) {
    ChannelsListBox->Items()->Add(channels->GetItem(i)->GetName());
    bool linked = false;
    for (int l = 0; l < links->Count(); ++l)
      linked = linked || links->GetItem(l)->GetChannel() == channels->GetItem(i);
    ChannelsListBox->SetChecked(i, linked);
  }
  ColorPaintBox->Invalidate();
  ShowLinkEditor(-1);
}

void TTrelScopeCursorsForm::Activate() {
  inherited::Activate();
  if (Dialog() != nullptr)
    Dialog()->AddButton->SetEnabled(true);
  SelectItem(CursorListBox->ItemIndex());
}

void TTrelScopeCursorsForm::AddItem() {
  TTrelDisplayCursor* cursor = Scope()->GetCursors()->Add();
  cursor->SetRemovable(true);
  SelectItem(AddItemRow(cursor));
}

void TTrelScopeCursorsForm::RemoveItem() {
  auto* cursor = static_cast<TTrelDisplayCursor*>(SelectedItem());
  if (cursor == nullptr || !cursor->GetRemovable())
    return;
  ShowLinkEditor(-1);
  DeleteSelectedItem();
}

void TTrelScopeCursorsForm::KindComboBoxChange(TObject*) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(SelectedItem());
  if (loading_ || cursor == nullptr)
    return;
  cursor->SetKind(static_cast<TTrelDisplayCursorKind>(ComboIndex(KindComboBox, cursor->GetKind())));
}

void TTrelScopeCursorsForm::PointColorButtonClick(TObject*) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(SelectedItem());
  if (cursor == nullptr)
    return;
  TColor color = cursor->GetStoredColor();
  if (ChooseColor(color)) {
    cursor->SetColor(color);
    ColorPaintBox->Invalidate();
  }
}

TColor TTrelScopeCursorsForm::SwatchColor(TPaintBox*) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(SelectedItem());
  return cursor != nullptr ? cursor->GetStoredColor() : clBtnFace;
}

void TTrelScopeCursorsForm::ChannelsListBoxClickCheck(TObject*) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(SelectedItem());
  if (loading_ || cursor == nullptr)
    return;
  TTrelScopeChannels* channels = Scope()->GetChannels();
  TTrelDisplayChannelLinks* links = cursor->GetChannels();
  int changed = -1;
  for (int i = 0; i < channels->Count() && i < ChannelsListBox->Items()->Count(); ++i) {
    TTrelScopeChannel* channel = channels->GetItem(i);
    bool linked = false;
    for (int l = 0; l < links->Count(); ++l)
      linked = linked || links->GetItem(l)->GetChannel() == channel;
    if (linked == ChannelsListBox->Checked(i))
      continue;
    changed = i;
    if (ChannelsListBox->Checked(i))
      links->EnsureLink(channel);
    else
      links->RemoveChannel(channel);
  }
  if (changed >= 0) {
    ChannelsListBox->SetItemIndex(changed);
    ShowLinkEditor(changed);
  }
}

void TTrelScopeCursorsForm::ChannelsListBoxClick(TObject*) {
  ShowLinkEditor(ChannelsListBox->ItemIndex());
}

void TTrelScopeCursorsForm::ChannelsListBoxMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  ShowLinkEditor(ChannelsListBox->ItemIndex());
}

void TTrelScopeCursorsForm::ShowLinkEditor(int channelIndex) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(SelectedItem());
  TTrelDisplayChannelLink* link = nullptr;
  TTrelScopeChannels* channels = Scope()->GetChannels();
  if (cursor != nullptr && channelIndex >= 0 && channelIndex < channels->Count() &&
      ChannelsListBox->Checked(channelIndex)) {
    TTrelDisplayChannelLinks* links = cursor->GetChannels();
    for (int l = 0; l < links->Count(); ++l) {
      if (links->GetItem(l)->GetChannel() == channels->GetItem(channelIndex))
        link = links->GetItem(l);
    }
  }
  if (link == nullptr) {
    if (link_editor_ != nullptr)
      FreeAndNil(link_editor_);
    return;
  }
  if (link_editor_ == nullptr) {
    link_editor_ = Create<TTrelScopeChannelLinkForm>(this);
    link_editor_->SetScope(Scope());
    link_editor_->SetBorderStyle(TFormBorderStyle::bsNone);
    link_editor_->SetParent(this);
    link_editor_->SetAlign(alBottom);
    link_editor_->Show();
  }
  link_editor_->SetLink(link);
}

// ---------------------------------------------------------------------------
// Cursor links page

TTrelScopeCursorLinksForm::TTrelScopeCursorLinksForm(TComponent* owner)
    : TTrelListPageForm(owner) {}

void TTrelScopeCursorLinksForm::Loaded() {
  inherited::Loaded();
  CursorLinksListBox = Stored<TListBox>(this, "CursorLinksListBox");
  NameEdit = Stored<TEdit>(this, "NameEdit");
  BeginCursorComboBox = Stored<TComboBox>(this, "BeginCursorComboBox");
  EndCursorComboBox = Stored<TComboBox>(this, "EndCursorComboBox");
  MeasurementVisibleCheckBox = Stored<TCheckBox>(this, "MeasurementVisibleCheckBox");
  MeasurementStyleComboBox = Stored<TComboBox>(this, "MeasurementStyleComboBox");
  MeasurementModeComboBox = Stored<TComboBox>(this, "MeasurementModeComboBox");
  MeasurementColorButton = Stored<TButton>(this, "MeasurementColorButton");
  LabelVisibleCheckBox = Stored<TCheckBox>(this, "LabelVisibleCheckBox");
  LabelEdit = Stored<TEdit>(this, "LabelEdit");
  LabelFontButton = Stored<TButton>(this, "LabelFontButton");
  LabelMenuButton = Stored<TButton>(this, "LabelMenuButton");
  LabelPopupMenu = Stored<TPopupMenu>(this, "LabelPopupMenu");
  SelectionVisibleCheckBox = Stored<TCheckBox>(this, "SelectionVisibleCheckBox");
  SelectionBrushButton = Stored<TButton>(this, "SelectionBrushButton");
  FillEnumNames(PenStyleNames(), MeasurementStyleComboBox->Items(), true, false);
  FillEnumNames(PenModeNames(), MeasurementModeComboBox->Items(), true, false);
}

TTrelItemList TTrelScopeCursorLinksForm::ItemList() {
  return {CursorLinksListBox, Scope()->GetCursorLinks(), nullptr};
}

void TTrelScopeCursorLinksForm::EnableEdits(bool on) {
  for (TControl* control : std::initializer_list<TControl*>{
           NameEdit, BeginCursorComboBox, EndCursorComboBox, MeasurementVisibleCheckBox,
           MeasurementStyleComboBox, MeasurementModeComboBox, MeasurementColorButton,
           LabelVisibleCheckBox, LabelEdit, LabelFontButton, LabelMenuButton,
           SelectionVisibleCheckBox, SelectionBrushButton})
    control->SetEnabled(on);
}

void TTrelScopeCursorLinksForm::ShowItem(TTrelDisplayCollectionItem* item) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(item);
  EnableEdits(Scope()->GetCursorLinks()->Count() > 0);
  if (Dialog() != nullptr)
    Dialog()->RemoveButton->SetEnabled(link != nullptr && link->GetRemovable());
  if (link == nullptr)
    return;
  NameEdit->SetText(link->GetName());
  SetComboIndex(BeginCursorComboBox, link->GetBeginCursorIndex());
  SetComboIndex(EndCursorComboBox, link->GetEndCursorIndex());
  TTrelScopeMeasurementLine* line = link->GetMeasurementLine();
  MeasurementVisibleCheckBox->SetChecked(line->GetVisible());
  SetComboIndex(MeasurementStyleComboBox, line->GetStyle());
  SetComboIndex(MeasurementModeComboBox, line->GetMode());
  LabelVisibleCheckBox->SetChecked(line->GetMeasurementLabel()->GetVisible());
  LabelEdit->SetText(line->GetMeasurementLabel()->GetText());
  SelectionVisibleCheckBox->SetChecked(link->GetSelection()->GetVisible());
}

void TTrelScopeCursorLinksForm::Activate() {
  inherited::Activate();
  TTrelDisplayCursors* cursors = Scope()->GetCursors();
  if (Dialog() != nullptr)
    Dialog()->AddButton->SetEnabled(cursors->Count() >= 2);
  {
    const TTrelPageLoading loading(loading_);
    for (TComboBox* box : {BeginCursorComboBox, EndCursorComboBox}) {
      box->Items()->Clear();
      for (int i = 0; i < cursors->Count(); ++i)
        box->Items()->Add(cursors->GetItem(i)->GetName());
    }
  }
  SelectItem(CursorLinksListBox->ItemIndex());
}

void TTrelScopeCursorLinksForm::AddItem() {
  if (Scope()->GetCursors()->Count() < 2)
    return;
  TTrelDisplayCursorLink* link = Scope()->GetCursorLinks()->Add();
  link->SetRemovable(true);
  SelectItem(AddItemRow(link));
}

void TTrelScopeCursorLinksForm::RemoveItem() {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  if (link == nullptr || !link->GetRemovable())
    return;
  DeleteSelectedItem();
}

TTrelOptionalLabel* TTrelScopeCursorLinksForm::LabelFor(TEdit* edit) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  return link != nullptr && edit == LabelEdit ? link->GetMeasurementLine()->GetMeasurementLabel()
                                              : nullptr;
}

void TTrelScopeCursorLinksForm::CursorComboBoxChange(TObject*) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  if (loading_ || link == nullptr)
    return;
  if (BeginCursorComboBox->ItemIndex() >= 0)
    link->SetBeginCursorIndex(BeginCursorComboBox->ItemIndex());
  if (EndCursorComboBox->ItemIndex() >= 0)
    link->SetEndCursorIndex(EndCursorComboBox->ItemIndex());
}

void TTrelScopeCursorLinksForm::MeasurementChange(TObject*) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  if (loading_ || link == nullptr)
    return;
  TTrelScopeMeasurementLine* line = link->GetMeasurementLine();
  line->SetVisible(MeasurementVisibleCheckBox->Checked());
  line->SetStyle(static_cast<TPenStyle>(ComboIndex(MeasurementStyleComboBox, line->GetStyle())));
  line->SetMode(static_cast<TPenMode>(ComboIndex(MeasurementModeComboBox, line->GetMode())));
}

void TTrelScopeCursorLinksForm::MeasurementColorButtonClick(TObject*) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  if (link == nullptr)
    return;
  TColor color = link->GetMeasurementLine()->GetColor();
  if (ChooseColor(color))
    link->GetMeasurementLine()->SetColor(color);
}

void TTrelScopeCursorLinksForm::LabelVisibleCheckBoxClick(TObject*) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  if (loading_ || link == nullptr)
    return;
  link->GetMeasurementLine()->GetMeasurementLabel()->SetVisible(LabelVisibleCheckBox->Checked());
}

void TTrelScopeCursorLinksForm::LabelFontButtonClick(TObject*) {
  if (auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem()))
    ChooseFont(link->GetMeasurementLine()->GetMeasurementLabel()->GetFont());
}

void TTrelScopeCursorLinksForm::LabelMenuButtonClick(TObject*) {
  PopupMacroMenu(LabelPopupMenu, LabelEdit);
}

void TTrelScopeCursorLinksForm::MacroValueClick(TObject*) {
  LabelEdit->SetSelText("%V");
}

void TTrelScopeCursorLinksForm::MacroPercentClick(TObject*) {
  LabelEdit->SetSelText("%%");
}

void TTrelScopeCursorLinksForm::SelectionVisibleCheckBoxClick(TObject*) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem());
  if (loading_ || link == nullptr)
    return;
  link->GetSelection()->SetVisible(SelectionVisibleCheckBox->Checked());
}

void TTrelScopeCursorLinksForm::SelectionBrushButtonClick(TObject*) {
  if (auto* link = static_cast<TTrelDisplayCursorLink*>(SelectedItem()))
    EditBrush(link->GetSelection()->GetBrush(), Bind(this, &TTrelScopeCursorLinksForm::Refresh));
}

void TTrelScopeCursorLinksForm::Refresh(TObject*) {
  Scope()->RedrawAll();
}

// ---------------------------------------------------------------------------
// Channel-link editor

TTrelScopeChannelLinkForm::TTrelScopeChannelLinkForm(TComponent* owner)
    : TTrelPropertyPageForm(owner) {}

void TTrelScopeChannelLinkForm::Loaded() {
  inherited::Loaded();
  LinkGroupBox = Stored<TGroupBox>(this, "LinkGroupBox");
  LinkPageControl = Stored<TPageControl>(this, "LinkPageControl");
  UseChannelCheckBox = Stored<TCheckBox>(this, "UseChannelCheckBox");
  PointsSizeEdit = Stored<TEdit>(this, "PointsSizeEdit");
  PointsSizeUpDown = Stored<TUpDown>(this, "PointsSizeUpDown");
  ShapeComboBox = Stored<TComboBox>(this, "ShapeComboBox");
  PenButton = Stored<TButton>(this, "PenButton");
  BrushButton = Stored<TButton>(this, "BrushButton");
  LabelVisibleCheckBox = Stored<TCheckBox>(this, "LabelVisibleCheckBox");
  LabelEdit = Stored<TEdit>(this, "LabelEdit");
  LabelFontButton = Stored<TButton>(this, "LabelFontButton");
  LabelMenuButton = Stored<TButton>(this, "LabelMenuButton");
  LabelPopupMenu = Stored<TPopupMenu>(this, "LabelPopupMenu");
  FillEnumNames(MarkerShapeNames(), ShapeComboBox->Items(), true, true);
}

void TTrelScopeChannelLinkForm::SetLink(TTrelDisplayChannelLink* link) {
  link_ = link;
  if (link == nullptr)
    return;
  const TTrelPageLoading loading(loading_);
  UseChannelCheckBox->SetChecked(link->GetUseChannelColor());
  PointsSizeEdit->SetText(IntToStr(link->GetSize()));
  PointsSizeUpDown->SetPosition(static_cast<int>(link->GetSize()));
  SetComboIndex(ShapeComboBox, link->GetShape());
  LabelVisibleCheckBox->SetChecked(link->GetChannelLabel()->GetVisible());
  LabelEdit->SetText(link->GetChannelLabel()->GetText());
}

void TTrelScopeChannelLinkForm::WriteValues() {
  if (loading_ || link_ == nullptr)
    return;
  link_->GetChannelLabel()->SetVisible(LabelVisibleCheckBox->Checked());
  link_->GetChannelLabel()->SetText(LabelEdit->Text());
  link_->SetUseChannelColor(UseChannelCheckBox->Checked());
  link_->SetSize(static_cast<std::uint32_t>(EditNumber(PointsSizeEdit->Text(), 3)));
  link_->SetShape(
      static_cast<TTrelDisplayMarkerShape>(ComboIndex(ShapeComboBox, link_->GetShape())));
}

void TTrelScopeChannelLinkForm::ValuesChange(TObject* Sender) {
  if (loading_)
    return;
  if (Sender == LabelEdit)
    SetOkDefault(false);
  WriteValues();
}

void TTrelScopeChannelLinkForm::NumberChanged(TEdit*) {
  WriteValues();
}

void TTrelScopeChannelLinkForm::PenButtonClick(TObject*) {
  if (link_ != nullptr)
    EditPen(link_->GetPen(), Bind(this, &TTrelScopeChannelLinkForm::Refresh));
}

void TTrelScopeChannelLinkForm::BrushButtonClick(TObject*) {
  if (link_ != nullptr)
    EditBrush(link_->GetBrush(), Bind(this, &TTrelScopeChannelLinkForm::Refresh));
}

void TTrelScopeChannelLinkForm::LabelFontButtonClick(TObject*) {
  if (link_ != nullptr)
    ChooseFont(link_->GetChannelLabel()->GetFont());
}

void TTrelScopeChannelLinkForm::LabelMenuButtonClick(TObject*) {
  PopupMacroMenu(LabelPopupMenu, LabelEdit);
}

void TTrelScopeChannelLinkForm::MacroXClick(TObject*) {
  LabelEdit->SetSelText("%X");
}

void TTrelScopeChannelLinkForm::MacroYClick(TObject*) {
  LabelEdit->SetSelText("%Y");
}

void TTrelScopeChannelLinkForm::MacroDefaultClick(TObject*) {
  LabelEdit->SetSelText("%D");
}

void TTrelScopeChannelLinkForm::MacroPercentClick(TObject*) {
  LabelEdit->SetSelText("%%");
}

void TTrelScopeChannelLinkForm::Refresh(TObject*) {
  if (Scope() != nullptr)
    Scope()->RedrawAll();
}

// ---------------------------------------------------------------------------
// Pen and brush editors

TTrelPenForm::TTrelPenForm(TComponent* owner, TPen* pen) : TForm(owner), pen_(pen) {}

void TTrelPenForm::Loaded() {
  inherited::Loaded();
  PenStyleComboBox = Stored<TComboBox>(this, "PenStyleComboBox");
  PenModeComboBox = Stored<TComboBox>(this, "PenModeComboBox");
  WidthEdit = Stored<TEdit>(this, "WidthEdit");
  WidthUpDown = Stored<TUpDown>(this, "WidthUpDown");
  ColorButton = Stored<TButton>(this, "ColorButton");
  ColorPaintBox = Stored<TPaintBox>(this, "ColorPaintBox");
  OkButton = Stored<TButton>(this, "OkButton");
  CancelButton = Stored<TButton>(this, "CancelButton");
  const TTrelPageLoading loading(loading_);
  FillEnumNames(PenStyleNames(), PenStyleComboBox->Items(), true, false);
  FillEnumNames(PenModeNames(), PenModeComboBox->Items(), true, false);
  PenStyleComboBox->SetItemIndex(pen_->Style());
  PenModeComboBox->SetItemIndex(pen_->Mode());
  WidthEdit->SetText(IntToStr(pen_->Width()));
  WidthUpDown->SetPosition(pen_->Width());
}

void TTrelPenForm::Changed() {
  ColorPaintBox->Invalidate();
  if (OnChange.Assigned())
    OnChange(this);
}

void TTrelPenForm::StyleChange(TObject*) {
  if (loading_)
    return;
  pen_->SetStyle(static_cast<TPenStyle>(ComboIndex(PenStyleComboBox, pen_->Style())));
  pen_->SetMode(static_cast<TPenMode>(ComboIndex(PenModeComboBox, pen_->Mode())));
  Changed();
}

void TTrelPenForm::WidthEditChange(TObject*) {
  if (loading_ || KeepDigits(WidthEdit))
    return;
  pen_->SetWidth(EditNumber(WidthEdit->Text(), 1));
  Changed();
}

void TTrelPenForm::WidthEditKeyPress(TObject*, char& Key) {
  if (static_cast<unsigned char>(Key) >= 32 && (Key < '0' || Key > '9'))
    Key = 0;
}

void TTrelPenForm::ColorButtonClick(TObject*) {
  TColor color = pen_->Color();
  if (RunColorDialog(this, color)) {
    pen_->SetColor(color);
    Changed();
  }
}

void TTrelPenForm::ColorPaintBoxPaint(TObject*) {
  PaintSwatch(ColorPaintBox, pen_->Color());
}

TTrelBrushForm::TTrelBrushForm(TComponent* owner, TBrush* brush)
    : TForm(owner), brush_(brush), swatch_color_(brush->Color()) {}

void TTrelBrushForm::Loaded() {
  inherited::Loaded();
  BrushStyleComboBox = Stored<TComboBox>(this, "BrushStyleComboBox");
  ColorButton = Stored<TButton>(this, "ColorButton");
  ColorPaintBox = Stored<TPaintBox>(this, "ColorPaintBox");
  OkButton = Stored<TButton>(this, "OkButton");
  CancelButton = Stored<TButton>(this, "CancelButton");
  const TTrelPageLoading loading(loading_);
  FillEnumNames(BrushStyleNames(), BrushStyleComboBox->Items(), true, false);
  BrushStyleComboBox->SetItemIndex(brush_->Style());
}

void TTrelBrushForm::Changed() {
  ColorPaintBox->Invalidate();
  if (OnChange.Assigned())
    OnChange(this);
}

void TTrelBrushForm::StyleChange(TObject*) {
  if (loading_)
    return;
  // A style change writes the swatch's colour again with it.
  brush_->SetStyle(static_cast<TBrushStyle>(ComboIndex(BrushStyleComboBox, brush_->Style())));
  brush_->SetColor(swatch_color_);
  Changed();
}

void TTrelBrushForm::ColorButtonClick(TObject*) {
  if (RunColorDialog(this, swatch_color_)) {
    brush_->SetColor(swatch_color_);
    Changed();
  }
}

void TTrelBrushForm::ColorPaintBoxPaint(TObject*) {
  PaintSwatch(ColorPaintBox, swatch_color_);
}

// ---------------------------------------------------------------------------
// The scope's dialog

TTrelScopePropertiesForm::TTrelScopePropertiesForm(TComponent* owner, TTrelScope* scope,
                                                   int pageIndex, int itemIndex)
    : TFentCommonPropertiesForm(owner),
      scope_(scope),
      page_index_(pageIndex),
      item_index_(itemIndex) {}

void TTrelScopePropertiesForm::DoCreate() {
  inherited::DoCreate();
  ChannelPage = Create<TTrelScopeChannelForm>(this);
  MarkerGroupsPage = Create<TTrelScopeMerkerGroupsForm>(this);
  CursorsPage = Create<TTrelScopeCursorsForm>(this);
  CursorLinksPage = Create<TTrelScopeCursorLinksForm>(this);
  const TTrelPropertyPageForm* pages[] = {ChannelPage, MarkerGroupsPage, CursorsPage,
                                          CursorLinksPage};
  for (const TTrelPropertyPageForm* page : pages) {
    auto* p = const_cast<TTrelPropertyPageForm*>(page);
    p->SetScope(scope_);
    AddPage(p);
  }
  ChannelPage->Fill(page_index_ == 0 ? item_index_ : 0);
  MarkerGroupsPage->Fill(page_index_ == 1 ? item_index_ : 0);
  CursorsPage->Fill(page_index_ == 2 ? item_index_ : 0);
  CursorLinksPage->Fill(page_index_ == 3 ? item_index_ : 0);
  ActivatePage(std::clamp(page_index_, 0, 3));
  FormResize(this);
}

void TTrelScope::ShowProperties(int pageIndex, int itemIndex) {
  MouseLeave();
  GetToolBar()->ClearDownStates();
  auto* dialog = Create<TTrelScopePropertiesForm>(nullptr, this, pageIndex, itemIndex);
  kestrune::ScopeExit freeDialog([&] { dialog->Free(); });
  const TPoint at = ClientToScreen(TPoint{Width() - dialog->Width() - 20, 20});
  dialog->SetBounds(at.X, at.Y, dialog->Width(), dialog->Height());
  dialog->ShowModal();
}

// ---------------------------------------------------------------------------
// Registration

void RegisterTrelScopePropertiesClasses() {
  using F = TFentCommonPropertiesForm;
  RegisterClass<F>()
      .Method("PageControlChange", &F::PageControlChange)
      .Method("AddButtonClick", &F::AddButtonClick)
      .Method("RemoveButtonClick", &F::RemoveButtonClick)
      .Method("FormResize", &F::FormResize);
  RegisterClass<TTrelScopePropertiesForm>();
  using P = TTrelPropertyPageForm;
  RegisterClass<P>()
      .Method("NameEditChange", &P::NameEditChange)
      .Method("NameEditExit", &P::NameEditExit)
      .Method("NameEditKeyPress", &P::NameEditKeyPress)
      .Method("LabelEditChange", &P::LabelEditChange)
      .Method("LabelEditExit", &P::LabelEditExit)
      .Method("LabelEditKeyPress", &P::LabelEditKeyPress)
      .Method("NumberEditChange", &P::NumberEditChange)
      .Method("NumberEditKeyPress", &P::NumberEditKeyPress)
      .Method("EditExit", &P::EditExit)
      .Method("SwatchPaint", &P::SwatchPaint);
  using C = TTrelScopeChannelForm;
  RegisterClass<C>()
      .Method("ChannelsListBoxClick", &C::ItemListBoxClick)
      .Method("ChannelsListBoxClickCheck", &C::ItemListBoxClickCheck)
      .Method("ModeComboBoxChange", &C::ModeComboBoxChange)
      .Method("ShadeComboBoxChange", &C::ShadeComboBoxChange)
      .Method("VisibleCheckBoxClick", &C::ItemVisibleCheckBoxClick)
      .Method("ColorButtonClick", &C::ColorButtonClick)
      .Method("PointsCheckBoxClick", &C::PointsCheckBoxClick)
      .Method("PointsShapeComboBoxChange", &C::PointsShapeComboBoxChange)
      .Method("PointPenButtonClick", &C::PointPenButtonClick)
      .Method("PointBrushButtonClick", &C::PointBrushButtonClick);
  using M = TTrelScopeMerkerGroupsForm;
  RegisterClass<M>()
      .Method("GroupListBoxClick", &M::ItemListBoxClick)
      .Method("GroupListBoxClickCheck", &M::ItemListBoxClickCheck)
      .Method("ShapeComboBoxChange", &M::ShapeComboBoxChange)
      .Method("VisibleCheckBoxClick", &M::ItemVisibleCheckBoxClick)
      .Method("LabelVisibleCheckBoxClick", &M::LabelVisibleCheckBoxClick)
      .Method("PenButtonClick", &M::PenButtonClick)
      .Method("BrushButtonClick", &M::BrushButtonClick)
      .Method("LabelMenuButtonClick", &M::LabelMenuButtonClick)
      .Method("MacroXClick", &M::MacroXClick)
      .Method("MacroYClick", &M::MacroYClick)
      .Method("MacroPercentClick", &M::MacroPercentClick);
  using U = TTrelScopeCursorsForm;
  RegisterClass<U>()
      .Method("CursorListBoxClick", &U::ItemListBoxClick)
      .Method("CursorListBoxClickCheck", &U::ItemListBoxClickCheck)
      .Method("KindComboBoxChange", &U::KindComboBoxChange)
      .Method("VisibleCheckBoxClick", &U::ItemVisibleCheckBoxClick)
      .Method("PointColorButtonClick", &U::PointColorButtonClick)
      .Method("ChannelsListBoxClickCheck", &U::ChannelsListBoxClickCheck)
      .Method("ChannelsListBoxClick", &U::ChannelsListBoxClick)
      .Method("ChannelsListBoxMouseUp", &U::ChannelsListBoxMouseUp);
  using L = TTrelScopeCursorLinksForm;
  RegisterClass<L>()
      .Method("CursorLinksListBoxClick", &L::ItemListBoxClick)
      .Method("CursorComboBoxChange", &L::CursorComboBoxChange)
      .Method("MeasurementChange", &L::MeasurementChange)
      .Method("MeasurementColorButtonClick", &L::MeasurementColorButtonClick)
      .Method("LabelVisibleCheckBoxClick", &L::LabelVisibleCheckBoxClick)
      .Method("LabelFontButtonClick", &L::LabelFontButtonClick)
      .Method("LabelMenuButtonClick", &L::LabelMenuButtonClick)
      .Method("MacroValueClick", &L::MacroValueClick)
      .Method("MacroPercentClick", &L::MacroPercentClick)
      .Method("SelectionVisibleCheckBoxClick", &L::SelectionVisibleCheckBoxClick)
      .Method("SelectionBrushButtonClick", &L::SelectionBrushButtonClick);
  using K = TTrelScopeChannelLinkForm;
  RegisterClass<K>()
      .Method("ValuesChange", &K::ValuesChange)
      .Method("PenButtonClick", &K::PenButtonClick)
      .Method("BrushButtonClick", &K::BrushButtonClick)
      .Method("LabelFontButtonClick", &K::LabelFontButtonClick)
      .Method("LabelMenuButtonClick", &K::LabelMenuButtonClick)
      .Method("MacroXClick", &K::MacroXClick)
      .Method("MacroYClick", &K::MacroYClick)
      .Method("MacroDefaultClick", &K::MacroDefaultClick)
      .Method("MacroPercentClick", &K::MacroPercentClick);
  using N = TTrelPenForm;
  RegisterClass<N>()
      .Method("StyleChange", &N::StyleChange)
      .Method("WidthEditChange", &N::WidthEditChange)
      .Method("WidthEditKeyPress", &N::WidthEditKeyPress)
      .Method("ColorButtonClick", &N::ColorButtonClick)
      .Method("ColorPaintBoxPaint", &N::ColorPaintBoxPaint);
  using B = TTrelBrushForm;
  RegisterClass<B>()
      .Method("StyleChange", &B::StyleChange)
      .Method("ColorButtonClick", &B::ColorButtonClick)
      .Method("ColorPaintBoxPaint", &B::ColorPaintBoxPaint);
  RegisterTrelScopePropertiesDescriptions();
}
