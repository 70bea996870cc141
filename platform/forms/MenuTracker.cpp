#include "platform/forms/MenuTracker.h"

#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/MenuWindows.h"

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
  // The slots' widths add up in 64 bits; the screen edges saturate.
  int64_t x = origin_.X;
  for (int i = 0; i < index; ++i)
    x += MenuBarSlotWidth(roots[static_cast<size_t>(i)]);
  return {SaturatingAdd(x, 0), origin_.Y,
          SaturatingAdd(x, MenuBarSlotWidth(roots[static_cast<size_t>(index)])),
          SaturatingAdd(origin_.Y, BarHeight())};
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
  const int width = sub->BoundsRect().Width();
  int left = bounds.Right;
  if (Screen != nullptr && int64_t{left} + width > Screen->Width()) {
    left = SaturatingAdd(bounds.Left, -int64_t{width});
    sub->SetOpensLeft(true);
  }
  sub->MoveTo(left, SaturatingAdd(int64_t{bounds.Top} + itemRect.Top,
                                  -int64_t{TMenuDropDown::MenuBorderWidth}));
  sub->SetOwnerRect({bounds.Left, SaturatingAdd(bounds.Top, itemRect.Top), bounds.Right,
                     SaturatingAdd(bounds.Top, itemRect.Bottom)});
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
    const TPoint local = OffsetPoint(screen, -int64_t{b.Left}, -int64_t{b.Top});
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
    const TPoint local = OffsetPoint(screen, -int64_t{b.Left}, -int64_t{b.Top});
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

void TMenuTracker::OpenRootOnFirstItem(int index) {
  OpenRoot(index);
  if (!windows_.empty())
    Move(1);
}

bool TMenuTracker::OpenRootByMnemonic(uint16_t key) {
  const std::vector<TMenuItem*> roots = Roots();
  for (int i = 0; i < static_cast<int>(roots.size()); ++i) {
    if (MnemonicOf(roots[static_cast<size_t>(i)]->Caption()) == static_cast<char>(key)) {
      OpenRootOnFirstItem(i);
      return true;
    }
  }
  return false;
}

bool TMenuTracker::KeyDown(uint16_t key, TShiftState shift) {
  if (!Active())
    return SelectBarOrRunShortCut(key, shift);
  if (key == kKeyF10 || key == VK_MENU) {
    // Pressed again: the bar is left.
    CloseAll();
  } else if (key == VK_ESCAPE) {
    CloseLevel();
  } else if (windows_.empty()) {
    MoveAlongBarOrOpenRoot(key);
  } else if (NavigateDropDown(key)) {
    return true;  // an item ran: the tracker may be gone
  }
  Changed();
  return true;
}

bool TMenuTracker::SelectBarOrRunShortCut(uint16_t key, TShiftState shift) {
  if ((key == kKeyF10 || key == VK_MENU) && !Roots().empty()) {
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

void TMenuTracker::MoveAlongBarOrOpenRoot(uint16_t key) {
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      MoveAlongBar(key == VK_RIGHT ? 1 : -1);
      break;
    case VK_DOWN:
    case VK_UP:
    case VK_RETURN:
      OpenRootOnFirstItem(bar_selected_);
      break;
    default:
      if (key >= 'A' && key <= 'Z')
        OpenRootByMnemonic(key);
      break;
  }
}

void TMenuTracker::MoveAlongBar(int step) {
  const int count = static_cast<int>(Roots().size());
  if (count == 0)
    return;
  const int next = (bar_selected_ + step + count) % count;
  if (windows_.empty())
    bar_selected_ = next;
  else
    OpenRootOnFirstItem(next);
}

bool TMenuTracker::NavigateDropDown(uint16_t key) {
  switch (key) {
    case VK_LEFT:
      if (windows_.size() > 1)
        CloseLevel();
      else
        MoveAlongBar(-1);
      return false;
    case VK_RIGHT:
      if (SelectedItem() != nullptr && SelectedItem()->Count() > 0) {
        const size_t before = windows_.size();
        OpenSubMenu();
        if (windows_.size() > before)
          Move(1);
      } else {
        MoveAlongBar(1);
      }
      return false;
    case VK_DOWN:
    case VK_UP:
      Move(key == VK_DOWN ? 1 : -1);
      return false;
    case VK_RETURN:
      if (TMenuItem* item = SelectedItem()) {
        if (Run(item))
          return true;
        if (!windows_.empty() && windows_.back()->ParentItem() == item)
          Move(1);
      }
      return false;
    default:
      return key >= 'A' && key <= 'Z' && RunByMnemonic(key);
  }
}

bool TMenuTracker::RunByMnemonic(uint16_t key) {
  TMenuDropDown* window = windows_.back();
  for (int i = 0; i < static_cast<int>(window->VisibleItems().size()); ++i) {
    TMenuItem* item = window->VisibleItems()[static_cast<size_t>(i)];
    if (MnemonicOf(item->Caption()) == static_cast<char>(key)) {
      Select(static_cast<int>(windows_.size()), i);
      return Run(item);
    }
  }
  return false;
}
