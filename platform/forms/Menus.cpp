#include "platform/forms/Menus.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "platform/forms/MenuWindows.h"
#include "platform/rtl/Lists.h"

namespace {

// The plain look's metrics.
constexpr int kBarItemSize = 19;
constexpr int kPlainSeparatorHeight = 9;
constexpr int kPlainTextPad = 6;

void ForEachItem(TMenuItem* item, const std::function<void(TMenuItem*)>& visit) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* child = item->Items(i);
    visit(child);
    ForEachItem(child, visit);
  }
}

bool IsRootItem(const TMenuItem* item) {
  const TMenu* menu = item->GetParentMenu();
  return menu != nullptr && !menu->IsPopup() && item->Parent() == menu->Items();
}

}  // namespace

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), bitmap_(Create<TBitmap>()) {}

TMenuItem::~TMenuItem() {
  TMenuDropDown::ItemGone(this);
  if (parent_ != nullptr)
    parent_->Remove(this);
  for (TMenuItem* child : items_)
    child->parent_ = nullptr;
  items_.clear();
  if (action_ != nullptr)
    action_->RemoveFreeNotification(this);
  bitmap_->Free();
}

std::string TMenuItem::Caption() const {
  if (auto* action = dynamic_cast<TAction*>(action_))
    return action->Caption();
  return caption_;
}

void TMenuItem::SetCaption(const std::string& value) {
  if (caption_ == value)
    return;
  caption_ = value;
  Changed(true);
}

bool TMenuItem::Checked() const {
  if (auto* action = dynamic_cast<TAction*>(action_))
    return action->Checked();
  return checked_;
}

void TMenuItem::SetChecked(bool value) {
  if (checked_ == value)
    return;
  checked_ = value;
  Changed(false);
}

void TMenuItem::SetRadioItem(bool value) {
  if (radio_item_ == value)
    return;
  radio_item_ = value;
  Changed(false);
}

void TMenuItem::SetDefault(bool value) {
  if (default_ == value)
    return;
  default_ = value;
  Changed(true);
}

bool TMenuItem::Enabled() const {
  if (auto* action = dynamic_cast<TAction*>(action_))
    return action->Enabled();
  return enabled_;
}

void TMenuItem::SetEnabled(bool value) {
  if (enabled_ == value)
    return;
  enabled_ = value;
  Changed(false);
}

bool TMenuItem::Visible() const {
  if (auto* action = dynamic_cast<TAction*>(action_))
    return action->Visible();
  return visible_;
}

void TMenuItem::SetVisible(bool value) {
  if (visible_ == value)
    return;
  visible_ = value;
  Changed(true);
}

void TMenuItem::SetShortCut(TShortCut value) {
  if (short_cut_ == value)
    return;
  short_cut_ = value;
  Changed(true);
}

void TMenuItem::SetBitmap(TBitmap* value) {
  bitmap_->Assign(value);
  Changed(true);
}

void TMenuItem::SetImageIndex(int value) {
  if (image_index_ == value)
    return;
  image_index_ = value;
  Changed(true);
}

void TMenuItem::SetBreak(bool value) {
  if (break_ == value)
    return;
  break_ = value;
  Changed(true);
}

void TMenuItem::SetGroupIndex(uint8_t value) {
  group_index_ = value;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count())
    RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) {
  Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item->parent_ != nullptr || item->menu_ != nullptr || item == this)
    throw EInvalidOperation("Élément de menu déjà inséré");
  if (index < 0 || index > Count())
    RaiseListIndexError(index);
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  Changed(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end())
    return;
  items_.erase(it);
  item->parent_ = nullptr;
  Changed(true);
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TMenuItem::MenuIndex() const {
  return parent_ == nullptr ? -1 : parent_->IndexOf(this);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* item = this;
  while (item->parent_ != nullptr)
    item = item->parent_;
  return item->menu_;
}

int TMenuItem::Level() const {
  int level = 0;
  for (const TMenuItem* item = parent_; item != nullptr; item = item->parent_)
    ++level;
  return level;
}

void TMenuItem::SetAction(TBasicAction* value) {
  if (action_ == value)
    return;
  if (action_ != nullptr)
    action_->RemoveFreeNotification(this);
  action_ = value;
  if (action_ != nullptr)
    action_->FreeNotification(this);
  Changed(true);
}

void TMenuItem::Click() {
  if (!Enabled())
    return;
  if (action_ != nullptr) {
    action_->Execute();
    return;
  }
  if (OnClick.Assigned())
    OnClick(this);
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ != nullptr && parent_->menu_ != nullptr)
    return parent_->menu_;
  return parent_;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (parent_ != nullptr)
    parent_->Remove(this);
  if (auto* menu = dynamic_cast<TMenu*>(parent))
    menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent))
    item->Add(this);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == action_) {
    action_ = nullptr;
    Changed(true);
  }
}

void TMenuItem::Changed(bool rebuild) {
  if (TMenu* menu = GetParentMenu())
    menu->MenuChanged(this, this, rebuild);
}

// ---------------------------------------------------------------------------
// TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(Create<TMenuItem>(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  if (images_ != nullptr)
    images_->RemoveFreeNotification(this);
  items_->menu_ = nullptr;
  items_->Free();
}

void TMenu::SetImages(TImageList* value) {
  if (images_ == value)
    return;
  if (images_ != nullptr)
    images_->RemoveFreeNotification(this);
  images_ = value;
  if (images_ != nullptr)
    images_->FreeNotification(this);
  MenuChanged(this, nullptr, true);
}

void TMenu::SetOwnerDraw(bool value) {
  if (owner_draw_ == value)
    return;
  owner_draw_ = value;
  MenuChanged(this, nullptr, true);
}

void TMenu::MenuChanged(TObject*, TMenuItem*, bool rebuild) {
  if (rebuild && !ComponentState().Contains(csLoading) && !ComponentState().Contains(csDestroying))
    Rebuild();
}

void TMenu::Rebuild() {
  ++rebuild_count_;
  TCanvas* canvas = Create<TCanvas>();
  ForEachItem(items_, [&](TMenuItem* item) { item->SetItemSize(MeasureItem(item, canvas)); });
  canvas->Free();
}

TSize TMenu::MeasureItem(TMenuItem* item, TCanvas* canvas) {
  if (Screen != nullptr)
    canvas->Font()->Assign(Screen->MenuFont());
  TSize size = MeasurePlainItem(item, canvas);
  if (owner_draw_ && item->OnMeasureItem.Assigned()) {
    int width = size.cx;
    int height = size.cy;
    item->OnMeasureItem(item, canvas, width, height);
    size = {width, height};
  }
  return size;
}

void TMenu::DrawItem(TMenuItem* item, TCanvas* canvas, const TRect& rect, TOwnerDrawState state) {
  // Every item starts from the menu font, whatever the last one left.
  if (Screen != nullptr)
    canvas->Font()->Assign(Screen->MenuFont());
  if (owner_draw_ && item->OnAdvancedDrawItem.Assigned()) {
    item->OnAdvancedDrawItem(item, canvas, rect, state);
    return;
  }
  if (owner_draw_ && item->OnDrawItem.Assigned()) {
    item->OnDrawItem(item, canvas, rect, (state & odSelected) != 0);
    return;
  }
  // The plain look: the menu colour, the highlight under a selected item,
  // a grey line for a separator, the caption 8 pixels in (disabled: grey).
  const bool selected = (state & odSelected) != 0;
  canvas->Brush()->SetColor(selected ? clHighlight : clMenu);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(rect);
  if (item->IsLine()) {
    const int mid = (rect.Top + rect.Bottom) / 2;
    canvas->Brush()->SetColor(clBtnShadow);
    canvas->FillRect({rect.Left + 2, mid - 1, rect.Right - 2, mid});
    canvas->Brush()->SetColor(clBtnHighlight);
    canvas->FillRect({rect.Left + 2, mid, rect.Right - 2, mid + 1});
    return;
  }
  canvas->Font()->SetColor((state & odDisabled) != 0 ? clGrayText
                           : selected                ? clHighlightText
                                                     : clMenuText);
  canvas->Brush()->SetStyle(bsClear);
  const std::string text = StripHotkey(item->Caption());
  const int y = (rect.Top + rect.Bottom - canvas->TextHeight(text)) / 2;
  canvas->TextOut(rect.Left + (IsRootItem(item) ? 6 : 8), y, text);
  if (item->ShortCut() != 0 && !IsRootItem(item)) {
    const std::string shortcut = ShortCutToText(item->ShortCut());
    canvas->TextOut(rect.Right - 10 - canvas->TextWidth(shortcut), y, shortcut);
  }
}

TMenuItem* TMenu::FindItemByShortCut(TShortCut shortCut) const {
  if (shortCut == 0)
    return nullptr;
  TMenuItem* found = nullptr;
  ForEachItem(items_, [&](TMenuItem* item) {
    if (found == nullptr && item->ShortCut() == shortCut && item->Visible() && item->Enabled())
      found = item;
  });
  return found;
}

bool TMenu::IsShortCut(TShortCut shortCut) {
  TMenuItem* item = FindItemByShortCut(shortCut);
  if (item == nullptr)
    return false;
  item->Click();
  return true;
}

void TMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == images_)
    images_ = nullptr;
}

void TMainMenu::DrawMenuBar() {
  ++bar_redraws_;
  if (repaint_listener_)
    repaint_listener_();
}

void TMainMenu::MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) {
  TMenu::MenuChanged(sender, source, rebuild);
  if (change_listener_ && !ComponentState().Contains(csDestroying))
    change_listener_();
}

void TMainMenu::SetBarListener(std::function<void()> repaint, std::function<void()> changed) {
  repaint_listener_ = std::move(repaint);
  change_listener_ = std::move(changed);
}

// ---------------------------------------------------------------------------
// Measuring and texts

TSize MenuBarItemSize() {
  return {kBarItemSize, kBarItemSize};
}

TSize MeasurePlainItem(TMenuItem* item, TCanvas* canvas) {
  if (item->IsLine())
    return {0, kPlainSeparatorHeight};
  const std::string caption = StripHotkey(item->Caption());
  const TSize text = canvas->TextExtent(caption);
  if (IsRootItem(item))
    return {text.cx + 12, kBarItemSize};
  int width = text.cx + 40;
  if (item->ShortCut() != 0)
    width += canvas->TextWidth(ShortCutToText(item->ShortCut())) + 24;
  return {width, canvas->TextHeight("Ag") + kPlainTextPad};
}

std::string StripHotkey(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

char MnemonicOf(std::string_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&')
      continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

namespace {

struct KeyName {
  uint16_t key;
  const char* name;
};

// Our key-name table, by virtual-key code.
constexpr KeyName kKeyNames[] = {
    {0x08, "BACKSPACE"}, {0x09, "TAB"},         {0x0D, "ENTER"},     {0x10, "SHIFT"},
    {0x11, "CTRL"},      {0x12, "ALT"},         {0x13, "PAUSE"},     {0x14, "CAPS LOCK"},
    {0x1B, "ESC"},       {0x20, "SPACE"},       {0x21, "PAGE UP"},   {0x22, "PAGE DOWN"},
    {0x23, "END"},       {0x24, "HOME"},        {0x25, "LEFT"},      {0x26, "UP"},
    {0x27, "RIGHT"},     {0x28, "DOWN"},        {0x2C, "PRNT SCRN"}, {0x2D, "INSERT"},
    {0x2E, "DELETE"},    {0x60, "0 (NUM)"},     {0x61, "1 (NUM)"},   {0x62, "2 (NUM)"},
    {0x63, "3 (NUM)"},   {0x64, "4 (NUM)"},     {0x65, "5 (NUM)"},   {0x66, "6 (NUM)"},
    {0x67, "7 (NUM)"},   {0x68, "8 (NUM)"},     {0x69, "9 (NUM)"},   {0x6A, "* (NUM)"},
    {0x6B, "+ (NUM)"},   {0x6D, "- (NUM)"},     {0x6E, ". (NUM)"},   {0x6F, "/ (NUM)"},
    {0x90, "NUM LOCK"},  {0x91, "SCROLL LOCK"}, {0xBA, ";"},         {0xBB, "="},
    {0xBC, ","},         {0xBD, "-"},           {0xBE, "."},         {0xBF, "/"},
    {0xC0, "`"},         {0xDB, "["},           {0xDC, "\\"},        {0xDD, "]"},
    {0xDE, "'"},
};

}  // namespace

std::string KeyNameText(uint16_t key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    return std::string(1, static_cast<char>(key));
  if (key >= 0x70 && key <= 0x87)
    return "F" + std::to_string(key - 0x70 + 1);
  for (const KeyName& entry : kKeyNames) {
    if (entry.key == key)
      return entry.name;
  }
  return {};
}

std::string RecaseKeyName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool upper = i == 0 || name[i - 1] == '(';
    out += static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
  }
  return out;
}

std::string ShortCutToText(TShortCut shortCut) {
  const std::string key = KeyNameText(shortCut & 0xFF);
  if (key.empty())
    return {};
  std::string text;
  if ((shortCut & scShift) != 0)
    text += "Shift+";
  if ((shortCut & scCtrl) != 0)
    text += "Ctrl+";
  if ((shortCut & scAlt) != 0)
    text += "Alt+";
  return text + RecaseKeyName(key);
}

// ---------------------------------------------------------------------------
// Registration

void RegisterMenuClasses() {
  RegisterClass<TMenuItem>()
      .String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption, "")
      .Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false)
      .Bool("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem, false)
      .Bool("Default", &TMenuItem::Default, &TMenuItem::SetDefault, false)
      .Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true)
      .Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true)
      .Integer("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, 0)
      .Object("Bitmap", &TMenuItem::Bitmap)
      .Integer("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex, -1)
      .Bool("Break", &TMenuItem::Break, &TMenuItem::SetBreak, false)
      .Integer("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, 0)
      .String("Hint", &TMenuItem::Hint, &TMenuItem::SetHint, "")
      .Component("Action", &TMenuItem::Action, &TMenuItem::SetAction)
      .Event("OnClick", &TMenuItem::OnClick, &TMenuItem::OnClick)
      .Event("OnMeasureItem", &TMenuItem::OnMeasureItem, &TMenuItem::OnMeasureItem)
      .Event("OnDrawItem", &TMenuItem::OnDrawItem, &TMenuItem::OnDrawItem)
      .Event("OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem, &TMenuItem::OnAdvancedDrawItem);
  RegisterClass<TMenu>()
      .Component("Images", &TMenu::Images, &TMenu::SetImages)
      .Bool("OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw, false);
  RegisterClass<TMainMenu>();
  RegisterClass<TPopupMenu>().Enum("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment,
                                   {"paLeft", "paRight", "paCenter"}, paLeft);
}
