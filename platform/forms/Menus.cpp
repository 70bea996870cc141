#include "platform/forms/Menus.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "platform/forms/QtEntry.h"
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

// While a popup menu is open: a press outside its window, or Esc in any
// window of ours, closes it.
class TPopupMenu::Closer final : public QObject {
 public:
  explicit Closer(TPopupMenu* menu) : menu_(menu) {}
  void Watch(bool on) {
    if (QCoreApplication::instance() == nullptr)
      return;
    if (on)
      QCoreApplication::instance()->installEventFilter(this);
    else
      QCoreApplication::instance()->removeEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || menu_->window_ == nullptr)
      return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
      if (widget->window() != menu_->window_->ScreenWindow())
        kestrune::CallFromQt([this] { menu_->CloseUp(); });
      return false;
    }
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      kestrune::CallFromQt([this] { menu_->CloseUp(); });
      return true;
    }
    return false;
  }

 private:
  TPopupMenu* menu_;
};

void TPopupMenu::Popup(int X, int Y) {
  bool any = false;
  for (int i = 0; i < Items()->Count(); ++i)
    any = any || Items()->Items(i)->Visible();
  if (!any)
    return;
  CloseUp();
  popup_point_ = {X, Y};
  window_ = Create<TMenuDropDown>(Items(), 1);
  window_->MoveTo(X, Y);
  window_->OnInput = [this](TMenuInput input, TPoint screen) { PopupInput(input, screen); };
  // Painted first: drawing code may move and reshape the window.
  window_->Paint(-1);
  window_->Show();
  if (window_->ScreenWindow() != nullptr) {
    if (closer_ == nullptr)
      closer_ = std::make_unique<Closer>(this);
    closer_->Watch(true);
  }
}

void TPopupMenu::PopupInput(TMenuInput input, TPoint screen) {
  if (window_ == nullptr)
    return;
  const TRect& b = window_->BoundsRect();
  const TPoint local{screen.X - b.Left, screen.Y - b.Top};
  int index = -1;
  for (int i = 0; i < static_cast<int>(window_->VisibleItems().size()); ++i) {
    if (window_->ItemRect(i).Contains(local))
      index = i;
  }
  if (input == TMenuInput::Move && index != selected_) {
    selected_ = index;
    window_->Paint(selected_);
    return;
  }
  if (input != TMenuInput::Press || index < 0)
    return;
  TMenuItem* item = window_->VisibleItems()[static_cast<size_t>(index)];
  if (item->IsLine() || !item->Enabled() || item->Count() > 0)
    return;
  CloseUp();
  // Last: the handler may free the menu.
  item->Click();
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() {
  CloseUp();
}

void TPopupMenu::CloseUp() {
  selected_ = -1;
  if (closer_ != nullptr)
    closer_->Watch(false);
  if (window_ != nullptr)
    FreeAndNil(window_);
}

// ---------------------------------------------------------------------------
// Drop-down windows

namespace {
std::vector<TMenuDropDown*>& OpenWindows() {
  static std::vector<TMenuDropDown*> windows;
  return windows;
}
}  // namespace

// The drop-down on the screen: a frameless window above the others that
// takes no focus, shows the back buffer as it is and hands its mouse input
// to the drop-down's OnInput.
class TMenuDropDown::Window final : public QWidget {
 public:
  explicit Window(TMenuDropDown* owner)
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
        owner_(owner) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
  }
  // The drop-down goes: a window inside one of its own events is deleted
  // once the event is over, any other at once.
  void Release() {
    owner_ = nullptr;
    hide();
    if (busy_ > 0)
      deleteLater();
    else
      delete this;
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    (void)event;
    if (owner_ == nullptr)
      return;
    QPainter painter(this);
    painter.drawImage(0, 0, owner_->Image());
  }
  void mousePressEvent(QMouseEvent* event) override { Send(TMenuInput::Press, event); }
  void mouseMoveEvent(QMouseEvent* event) override { Send(TMenuInput::Move, event); }
  void mouseReleaseEvent(QMouseEvent* event) override { Send(TMenuInput::Release, event); }

 private:
  void Send(TMenuInput input, QMouseEvent* event) {
    if (owner_ == nullptr || !owner_->OnInput)
      return;
    const QPoint g = event->globalPosition().toPoint();
    // A copy: the handler may free the drop-down (and so end this window).
    auto handler = owner_->OnInput;
    ++busy_;
    kestrune::CallFromQt([&] { handler(input, TPoint{g.x(), g.y()}); });
    --busy_;
  }
  TMenuDropDown* owner_;
  int busy_ = 0;
};

TMenuDropDown::TMenuDropDown(TMenuItem* parent, int level)
    : parent_(parent), level_(level), image_(std::make_unique<QImage>()) {
  OpenWindows().push_back(this);
  Layout();
}

TMenuDropDown::~TMenuDropDown() {
  Hide();
  if (window_ != nullptr)
    window_->Release();
  auto& windows = OpenWindows();
  windows.erase(std::find(windows.begin(), windows.end(), this));
  if (canvas_ != nullptr)
    canvas_->Free();
}

QWidget* TMenuDropDown::ScreenWindow() const {
  return window_;
}

void TMenuDropDown::SyncWindow() {
  if (window_ == nullptr)
    return;
  window_->setGeometry(bounds_.Left, bounds_.Top, bounds_.Width(), bounds_.Height());
  if (region_.IsEmpty())
    window_->clearMask();
  else
    window_->setMask(QRegion(region_.Left, region_.Top, region_.Width(), region_.Height()));
  window_->update();
}

void TMenuDropDown::MoveTo(int left, int top) {
  bounds_ = {left, top, left + bounds_.Width(), top + bounds_.Height()};
  if (window_ != nullptr)
    window_->move(left, top);
}

void TMenuDropDown::SetRegion(const TRect& region) {
  region_ = region;
  SyncWindow();
}

void TMenuDropDown::Show() {
  visible_ = true;
  if (window_ == nullptr && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
    window_ = new Window(this);
  if (window_ == nullptr)
    return;
  SyncWindow();
  window_->show();
}

void TMenuDropDown::Hide() {
  visible_ = false;
  region_ = {};
  prepared_ = false;
  if (window_ != nullptr) {
    window_->clearMask();
    window_->hide();
  }
}

TRect TMenuDropDown::ItemRect(int index) const {
  const auto at = static_cast<size_t>(index);
  const int top = tops_[at];
  const int height = items_[at]->ItemSize().cy;
  const int column = columns_[at];
  return {column_lefts_[static_cast<size_t>(column)], top,
          column_lefts_[static_cast<size_t>(column) + 1], top + height};
}

void TMenuDropDown::ItemGone(TMenuItem* item) {
  for (TMenuDropDown* window : OpenWindows()) {
    if (window->parent_ == item) {
      window->parent_ = nullptr;
      window->Layout();
    } else if (std::find(window->items_.begin(), window->items_.end(), item) !=
               window->items_.end()) {
      window->Layout(item);
    }
  }
}

void TMenuDropDown::Layout() {
  Layout(nullptr);
}

void TMenuDropDown::Layout(TMenuItem* leaving) {
  items_.clear();
  tops_.clear();
  columns_.clear();
  // Columns side by side, each as wide as its widest item; an item with a
  // column break starts a new one at the top.
  std::vector<int> widths{0};
  int y = MenuBorderWidth;
  int bottom = y;
  const int count = parent_ != nullptr ? parent_->Count() : 0;
  for (int i = 0; i < count; ++i) {
    TMenuItem* item = parent_->Items(i);
    if (item == leaving || !item->Visible())
      continue;
    if (item->Break() && !items_.empty()) {
      widths.push_back(0);
      y = MenuBorderWidth;
    }
    items_.push_back(item);
    tops_.push_back(y);
    columns_.push_back(static_cast<int>(widths.size()) - 1);
    y += std::max(item->ItemSize().cy, 0);
    bottom = std::max(bottom, y);
    widths.back() = std::max(widths.back(), item->ItemSize().cx);
  }
  column_lefts_.assign(1, MenuBorderWidth);
  for (int width : widths)
    column_lefts_.push_back(column_lefts_.back() + width);
  const int w = column_lefts_.back() + MenuBorderWidth;
  const int h = bottom + MenuBorderWidth;
  bounds_ = {bounds_.Left, bounds_.Top, bounds_.Left + w, bounds_.Top + h};
  if (canvas_ != nullptr)
    canvas_->Free();
  *image_ = QImage(w, h, QImage::Format_RGB32);
  image_->fill(Qt::white);
  canvas_ = Create<TCanvas>(image_.get());
  SyncWindow();
}

void TMenuDropDown::Paint(int selected) {
  canvas_->Brush()->SetColor(clMenu);
  canvas_->Brush()->SetStyle(bsSolid);
  canvas_->FillRect({0, 0, bounds_.Width(), bounds_.Height()});
  TMenu* menu = parent_ != nullptr ? parent_->GetParentMenu() : nullptr;
  if (menu == nullptr)
    return;
  for (size_t i = 0; i < items_.size(); ++i) {
    TOwnerDrawState state = 0;
    if (static_cast<int>(i) == selected)
      state |= odSelected;
    if (!items_[i]->Enabled())
      state |= odDisabled;
    if (items_[i]->Default())
      state |= odDefault;
    menu->DrawItem(items_[i], canvas_, ItemRect(static_cast<int>(i)), state);
  }
  if (window_ != nullptr)
    window_->update();
}

TMenuDropDown* MenuWindowOfCanvas(TCanvas* canvas) {
  for (TMenuDropDown* window : OpenWindows()) {
    if (window->Canvas() == canvas)
      return window;
  }
  return nullptr;
}

TMenuDropDown* MenuWindowAt(TPoint screen) {
  const auto& windows = OpenWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    TMenuDropDown* window = *it;
    const TRect& b = window->BoundsRect();
    const TPoint local{screen.X - b.Left, screen.Y - b.Top};
    const TRect shown =
        window->Region().IsEmpty() ? TRect{0, 0, b.Width(), b.Height()} : window->Region();
    if (window->Visible() && shown.Contains(local))
      return window;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// The bar

namespace {
TCanvas* bar_canvas = nullptr;
TRect bar_rect;
}  // namespace

int PaintMenuBar(TMainMenu* menu, TCanvas* canvas, int width, int selected, int hot) {
  std::vector<TMenuItem*> roots;
  int height = 0;
  for (int i = 0; i < menu->Items()->Count(); ++i) {
    TMenuItem* root = menu->Items()->Items(i);
    if (!root->Visible())
      continue;
    roots.push_back(root);
    height = std::max(height, root->ItemSize().cy);
  }
  bar_canvas = canvas;
  bar_rect = {0, 0, width, height};
  int x = 0;
  for (int i = 0; i < static_cast<int>(roots.size()); ++i) {
    TMenuItem* root = roots[static_cast<size_t>(i)];
    TOwnerDrawState state = 0;
    if (i == selected)
      state |= odSelected;
    if (i == hot)
      state |= odHotLight;
    if (!root->Enabled())
      state |= odDisabled;
    const int right = x + MenuBarSlotWidth(root);
    menu->DrawItem(root, canvas, {x, 0, right, height}, state);
    x = right;
  }
  bar_canvas = nullptr;
  bar_rect = {};
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clMenu);
  canvas->FillRect({x, 0, width, height});
  return height;
}

TRect MenuBarOfCanvas(TCanvas* canvas) {
  return canvas != nullptr && canvas == bar_canvas ? bar_rect : TRect{};
}

// ---------------------------------------------------------------------------
// Menu tracking

namespace {
constexpr uint16_t kKeyF10 = 0x79;

bool Selectable(TMenuItem* item) {
  return !item->IsLine();
}
}  // namespace

TMenuTracker::TMenuTracker(TMainMenu* menu, TPoint barOrigin) : menu_(menu), origin_(barOrigin) {}

TMenuTracker::~TMenuTracker() {
  OnChange = nullptr;
  CloseAll();
}

std::vector<TMenuItem*> TMenuTracker::Roots() const {
  std::vector<TMenuItem*> roots;
  for (int i = 0; i < menu_->Items()->Count(); ++i) {
    if (menu_->Items()->Items(i)->Visible())
      roots.push_back(menu_->Items()->Items(i));
  }
  return roots;
}

int TMenuTracker::BarHeight() const {
  int height = 0;
  for (TMenuItem* root : Roots())
    height = std::max(height, root->ItemSize().cy);
  return height;
}

TRect TMenuTracker::RootRect(int index) const {
  const std::vector<TMenuItem*> roots = Roots();
  int x = origin_.X;
  for (int i = 0; i < index; ++i)
    x += MenuBarSlotWidth(roots[static_cast<size_t>(i)]);
  return {x, origin_.Y, x + MenuBarSlotWidth(roots[static_cast<size_t>(index)]),
          origin_.Y + BarHeight()};
}

void TMenuTracker::Changed() {
  if (OnChange)
    OnChange();
}

void TMenuTracker::Listen(TMenuDropDown* window) {
  window->OnInput = [this](TMenuInput input, TPoint screen) {
    switch (input) {
      case TMenuInput::Press:
        MouseDown(screen);
        break;
      case TMenuInput::Move:
        MouseMove(screen);
        break;
      case TMenuInput::Release:
        MouseUp(screen);
        break;
    }
  };
}

void TMenuTracker::OpenRoot(int index) {
  CloseAll();
  bar_selected_ = index;
  TMenuItem* root = Roots()[static_cast<size_t>(index)];
  if (root->Count() == 0)
    return;
  auto* window = Create<TMenuDropDown>(root, 1);
  const TRect rect = RootRect(index);
  window->MoveTo(rect.Left, rect.Bottom);
  window->SetOwnerRect(rect);
  windows_.push_back(window);
  selected_.push_back(-1);
  Listen(window);
  // Painted before it shows: drawing code may move and reshape it.
  Repaint();
  window->Show();
}

TMenuItem* TMenuTracker::SelectedItem() const {
  if (windows_.empty())
    return nullptr;
  const int index = selected_.back();
  const std::vector<TMenuItem*>& items = windows_.back()->VisibleItems();
  // An item freed meanwhile left the window: the index may be past its end.
  if (index < 0 || index >= static_cast<int>(items.size()))
    return nullptr;
  return items[static_cast<size_t>(index)];
}

void TMenuTracker::OpenSubMenu() {
  pending_sub_menu_ = false;
  if (windows_.empty())
    return;
  TMenuDropDown* window = windows_.back();
  const int index = selected_.back();
  TMenuItem* item = SelectedItem();
  if (item == nullptr || item->Count() == 0 || !item->Enabled())
    return;
  auto* sub = Create<TMenuDropDown>(item, static_cast<int>(windows_.size()) + 1);
  const TRect itemRect = window->ItemRect(index);
  const TRect bounds = window->BoundsRect();
  int left = bounds.Right;
  if (Screen != nullptr && left + sub->BoundsRect().Width() > Screen->Width()) {
    left = bounds.Left - sub->BoundsRect().Width();
    sub->SetOpensLeft(true);
  }
  sub->MoveTo(left, bounds.Top + itemRect.Top - TMenuDropDown::MenuBorderWidth);
  sub->SetOwnerRect(
      {bounds.Left, bounds.Top + itemRect.Top, bounds.Right, bounds.Top + itemRect.Bottom});
  windows_.push_back(sub);
  selected_.push_back(-1);
  Listen(sub);
  Repaint();
  sub->Show();
}

void TMenuTracker::OpenPendingSubMenu() {
  if (!pending_sub_menu_)
    return;
  OpenSubMenu();
  Changed();
}

void TMenuTracker::CloseLevel() {
  if (windows_.empty()) {
    bar_selected_ = -1;
    return;
  }
  windows_.back()->Free();
  windows_.pop_back();
  selected_.pop_back();
  pending_sub_menu_ = false;
}

void TMenuTracker::CloseAll() {
  while (!windows_.empty())
    CloseLevel();
  bar_selected_ = -1;
  dragging_ = false;
}

void TMenuTracker::Cancel() {
  if (!Active())
    return;
  CloseAll();
  Changed();
}

void TMenuTracker::Select(int level, int index) {
  // Deeper windows close when another item of this one is selected.
  while (static_cast<int>(windows_.size()) > level)
    CloseLevel();
  selected_[static_cast<size_t>(level - 1)] = index;
  TMenuDropDown* window = windows_[static_cast<size_t>(level - 1)];
  pending_sub_menu_ = index >= 0 && window->VisibleItems()[static_cast<size_t>(index)]->Count() > 0;
  Repaint();
}

void TMenuTracker::Move(int step) {
  TMenuDropDown* window = windows_.back();
  const int count = static_cast<int>(window->VisibleItems().size());
  int index = selected_.back();
  for (int tries = 0; tries < count; ++tries) {
    index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
    if (Selectable(window->VisibleItems()[static_cast<size_t>(index)])) {
      Select(static_cast<int>(windows_.size()), index);
      return;
    }
  }
}

bool TMenuTracker::Run(TMenuItem* item) {
  if (item->IsLine() || !item->Enabled())
    return false;
  if (item->Count() > 0) {
    OpenSubMenu();
    return false;
  }
  CloseAll();
  Changed();
  // Last: the handler may free the form, the menu and this tracker.
  item->Click();
  return true;
}

void TMenuTracker::Repaint() {
  for (size_t i = 0; i < windows_.size(); ++i)
    windows_[i]->Paint(selected_[i]);
}

void TMenuTracker::MouseDown(TPoint screen) {
  const std::vector<TMenuItem*> roots = Roots();
  for (int i = 0; i < static_cast<int>(roots.size()); ++i) {
    if (!RootRect(i).Contains(screen))
      continue;
    if (bar_selected_ == i && !windows_.empty()) {
      CloseAll();
    } else if (roots[static_cast<size_t>(i)]->Count() == 0) {
      TMenuItem* root = roots[static_cast<size_t>(i)];
      if (root->Enabled()) {
        CloseAll();
        Changed();
        root->Click();
        return;
      }
    } else {
      OpenRoot(i);
      dragging_ = true;
    }
    Changed();
    return;
  }
  dragging_ = false;
  if (PressOnDropDown(screen))
    return;
  CloseAll();
  Changed();
}

void TMenuTracker::MouseUp(TPoint screen) {
  if (!dragging_)
    return;
  dragging_ = false;
  // A press on a root item dragged onto an item: the release runs it.
  PressOnDropDown(screen);
}

bool TMenuTracker::PressOnDropDown(TPoint screen) {
  for (int level = static_cast<int>(windows_.size()); level >= 1; --level) {
    TMenuDropDown* window = windows_[static_cast<size_t>(level - 1)];
    const TRect b = window->BoundsRect();
    if (!b.Contains(screen))
      continue;
    const TPoint local{screen.X - b.Left, screen.Y - b.Top};
    for (int i = 0; i < static_cast<int>(window->VisibleItems().size()); ++i) {
      if (window->ItemRect(i).Contains(local)) {
        Select(level, i);
        if (Run(window->VisibleItems()[static_cast<size_t>(i)]))
          return true;
        break;
      }
    }
    Changed();
    return true;  // on the border: nothing
  }
  return false;
}

void TMenuTracker::MouseMove(TPoint screen) {
  if (!windows_.empty()) {
    const std::vector<TMenuItem*> roots = Roots();
    for (int i = 0; i < static_cast<int>(roots.size()); ++i) {
      if (RootRect(i).Contains(screen) && i != bar_selected_) {
        const bool dragging = dragging_;
        OpenRoot(i);
        dragging_ = dragging;
        Changed();
        return;
      }
    }
  }
  for (int level = static_cast<int>(windows_.size()); level >= 1; --level) {
    TMenuDropDown* window = windows_[static_cast<size_t>(level - 1)];
    const TRect b = window->BoundsRect();
    const TPoint local{screen.X - b.Left, screen.Y - b.Top};
    for (int i = 0; i < static_cast<int>(window->VisibleItems().size()); ++i) {
      if (b.Contains(screen) && window->ItemRect(i).Contains(local)) {
        if (selected_[static_cast<size_t>(level - 1)] != i ||
            static_cast<int>(windows_.size()) > level) {
          Select(level, i);
          Changed();
        }
        return;
      }
    }
  }
}

bool TMenuTracker::OpenRootByMnemonic(uint16_t key) {
  const std::vector<TMenuItem*> roots = Roots();
  for (int i = 0; i < static_cast<int>(roots.size()); ++i) {
    if (MnemonicOf(roots[static_cast<size_t>(i)]->Caption()) == static_cast<char>(key)) {
      OpenRoot(i);
      if (!windows_.empty())
        Move(1);
      return true;
    }
  }
  return false;
}

bool TMenuTracker::KeyDown(uint16_t key, TShiftState shift) {
  const bool active = bar_selected_ >= 0;
  const std::vector<TMenuItem*> roots = Roots();
  if (!active) {
    if ((key == kKeyF10 || key == VK_MENU) && !roots.empty()) {
      bar_selected_ = 0;
      Changed();
      return true;
    }
    if (shift.Contains(ssAlt) && key >= 'A' && key <= 'Z' && OpenRootByMnemonic(key)) {
      Changed();
      return true;
    }
    TShortCut modifiers = 0;
    if (shift.Contains(ssShift))
      modifiers |= scShift;
    if (shift.Contains(ssCtrl))
      modifiers |= scCtrl;
    if (shift.Contains(ssAlt))
      modifiers |= scAlt;
    // Last: the item's handler may free the form, the menu and this tracker.
    return menu_->IsShortCut(ShortCut(key, modifiers));
  }
  const int count = static_cast<int>(roots.size());
  switch (key) {
    case kKeyF10:
    case VK_MENU:
      // Pressed again: the bar is left.
      CloseAll();
      break;
    case VK_ESCAPE:
      CloseLevel();
      break;
    case VK_LEFT:
    case VK_RIGHT: {
      if (windows_.size() > 1 && key == VK_LEFT) {
        CloseLevel();
        break;
      }
      if (key == VK_RIGHT && SelectedItem() != nullptr && SelectedItem()->Count() > 0) {
        const size_t before = windows_.size();
        OpenSubMenu();
        if (windows_.size() > before)
          Move(1);
        break;
      }
      if (count == 0)
        break;
      const int next = (bar_selected_ + (key == VK_RIGHT ? 1 : -1) + count) % count;
      if (windows_.empty()) {
        bar_selected_ = next;
      } else {
        OpenRoot(next);
        if (!windows_.empty())
          Move(1);
      }
      break;
    }
    case VK_DOWN:
    case VK_UP:
      if (windows_.empty()) {
        OpenRoot(bar_selected_);
        if (!windows_.empty())
          Move(1);
      } else {
        Move(key == VK_DOWN ? 1 : -1);
      }
      break;
    case VK_RETURN:
      if (windows_.empty()) {
        OpenRoot(bar_selected_);
        if (!windows_.empty())
          Move(1);
      } else if (TMenuItem* item = SelectedItem()) {
        if (Run(item))
          return true;
        if (!windows_.empty() && windows_.back()->ParentItem() == item)
          Move(1);
      }
      break;
    default:
      if (key >= 'A' && key <= 'Z') {
        if (windows_.empty()) {
          OpenRootByMnemonic(key);
          break;
        }
        TMenuDropDown* window = windows_.back();
        for (int i = 0; i < static_cast<int>(window->VisibleItems().size()); ++i) {
          TMenuItem* item = window->VisibleItems()[static_cast<size_t>(i)];
          if (MnemonicOf(item->Caption()) == static_cast<char>(key)) {
            Select(static_cast<int>(windows_.size()), i);
            if (Run(item))
              return true;
            break;
          }
        }
      }
      break;
  }
  Changed();
  return true;
}

// ---------------------------------------------------------------------------
// Measuring and texts

TSize MenuBarItemSize() {
  return {kBarItemSize, kBarItemSize};
}

int MenuBarSlotWidth(const TMenuItem* root) {
  return std::max(root->ItemSize().cx, 0) + MenuBarItemPad;
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
