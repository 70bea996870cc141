#include "platform/forms/MenuWindows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <algorithm>

#include "platform/forms/QtEntry.h"

// ---------------------------------------------------------------------------
// The popup menu's window

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
  const TPoint local = OffsetPoint(screen, -int64_t{b.Left}, -int64_t{b.Top});
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

void TMenuDropDown::WindowRelease::operator()(Window* window) const {
  window->Release();
}

TMenuDropDown::TMenuDropDown(TMenuItem* parent, int level)
    : parent_(parent), level_(level), image_(std::make_unique<QImage>()) {
  OpenWindows().push_back(this);
  Layout();
}

TMenuDropDown::~TMenuDropDown() {
  Hide();
  window_.reset();
  auto& windows = OpenWindows();
  windows.erase(std::find(windows.begin(), windows.end(), this));
  if (canvas_ != nullptr)
    canvas_->Free();
}

QWidget* TMenuDropDown::ScreenWindow() const {
  return window_.get();
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
  bounds_ = Bounds(left, top, bounds_.Width(), bounds_.Height());
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
    window_.reset(new Window(this));
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
  bounds_ = Bounds(bounds_.Left, bounds_.Top, w, h);
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
    const TPoint local = OffsetPoint(screen, -int64_t{b.Left}, -int64_t{b.Top});
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

int MenuBarSlotWidth(const TMenuItem* root) {
  return std::max(root->ItemSize().cx, 0) + MenuBarItemPad;
}
