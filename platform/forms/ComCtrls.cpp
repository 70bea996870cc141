#include "platform/forms/ComCtrls.h"

#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/classes/TypInfo.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/ExtStdCtrls.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtTextPrivate.h"
#include "platform/rtl/SysUtils.h"

using kestrune::CallFromQt;
using kestrune::HostWidget;

namespace {

// The tab row along the top and the pages' frame under it.
class PageFrame final : public QWidget {
 public:
  explicit PageFrame(QWidget* parent) : QWidget(parent), tabs(new QTabBar(this)) {
    tabs->setDrawBase(false);
    tabs->setExpanding(false);
  }
  QTabBar* tabs;

 protected:
  void resizeEvent(QResizeEvent*) override {
    tabs->setGeometry(0, 0, width(), TPageControl::kTabHeight);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.rect = QRect(0, TPageControl::kTabHeight - 2, width(),
                        std::max(0, height() - TPageControl::kTabHeight + 2));
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// TTabSheet

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
}

TTabSheet::~TTabSheet() {
  if (page_control_ != nullptr)
    page_control_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* value) {
  if (value == page_control_)
    return;
  if (page_control_ != nullptr)
    page_control_->RemovePage(this);
  page_control_ = value;
  SetParent(value);
  if (value != nullptr)
    value->InsertPage(this);
}

void TTabSheet::SetParentComponent(TComponent* parent) {
  if (auto* pages = dynamic_cast<TPageControl*>(parent))
    SetPageControl(pages);
  else
    inherited::SetParentComponent(parent);
}

int TTabSheet::PageIndex() const {
  if (page_control_ == nullptr)
    return -1;
  const auto& pages = page_control_->pages_;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::CMTextChanged() {
  inherited::CMTextChanged();
  if (page_control_ != nullptr)
    page_control_->TabsChanged();
}

// ---------------------------------------------------------------------------
// TPageControl

struct TPageControl::Host {
  QTabBar* tabs = nullptr;
};

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
  ControlStyle.Exclude(csClickEvents);
  ControlStyle.Exclude(csCaptureMouse);
  host_ = std::make_unique<Host>();
}

TPageControl::~TPageControl() {
  for (TTabSheet* page : pages_)
    page->page_control_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount())
    throw EListError(Format("List index out of bounds (%d)", {index}));
  return pages_[static_cast<std::size_t>(index)];
}

std::unique_ptr<kestrune::ControlWidget> TPageControl::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* frame = new PageFrame(widget.get());
  host_->tabs = frame->tabs;
  TabsChanged();
  QObject::connect(frame->tabs, &QTabBar::currentChanged,
                   [this](int index) { CallFromQt([this, index] { UserChose(index); }); });
  QObject::connect(frame->tabs, &QObject::destroyed, [this] { host_->tabs = nullptr; });
  widget->Host(frame);
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void TPageControl::AdjustClientRect(TRect& rect) {
  rect.Left += 4;
  rect.Top += kTabHeight + 2;
  rect.Right -= 4;
  rect.Bottom -= 4;
  if (rect.Right < rect.Left)
    rect.Right = rect.Left;
  if (rect.Bottom < rect.Top)
    rect.Bottom = rect.Top;
}

void TPageControl::AlignControls(TControl* control, TRect& rect) {
  for (TTabSheet* page : pages_)
    page->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
  inherited::AlignControls(control, rect);
}

void TPageControl::Loaded() {
  inherited::Loaded();
  Realign();
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  Realign();
  TabsChanged();
  if (active_ < 0)
    SetActivePageIndex(0);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end())
    return;
  const int index = static_cast<int>(it - pages_.begin());
  pages_.erase(it);
  if (active_ >= PageCount())
    active_ = PageCount() - 1;
  else if (index < active_)
    --active_;
  TabsChanged();
  if (active_ >= 0)
    Pages(active_)->SetVisible(true);
}

void TPageControl::TabsChanged() {
  if (host_->tabs == nullptr)
    return;
  const QSignalBlocker block(host_->tabs);
  while (host_->tabs->count() > PageCount())
    host_->tabs->removeTab(host_->tabs->count() - 1);
  for (int i = 0; i < PageCount(); ++i) {
    const QString text = ToQString(Pages(i)->Caption());
    if (i < host_->tabs->count())
      host_->tabs->setTabText(i, text);
    else
      host_->tabs->addTab(text);
  }
  host_->tabs->setCurrentIndex(active_);
}

void TPageControl::SetActivePageIndex(int value) {
  if (value < 0 || value >= PageCount())
    return;
  active_ = value;
  for (int i = 0; i < PageCount(); ++i) {
    if (i != value)
      Pages(i)->SetVisible(false);
  }
  Pages(value)->SetVisible(true);
  if (host_->tabs != nullptr) {
    const QSignalBlocker block(host_->tabs);
    host_->tabs->setCurrentIndex(value);
  }
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page != nullptr)
    SetActivePageIndex(page->PageIndex());
}

void TPageControl::UserChose(int index) {
  if (index == active_ || index < 0 || index >= PageCount())
    return;
  SetActivePageIndex(index);
  Change();
}

void TPageControl::Change() {
  if (OnChange.Assigned())
    OnChange(this);
}

// ---------------------------------------------------------------------------
// TUpDown

TUpDown::TUpDown(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 16, 21);
  ControlStyle.Exclude(csClickEvents);
  ControlStyle.Exclude(csCaptureMouse);
}

TUpDown::~TUpDown() = default;

void TUpDown::SetPosition(int value) {
  position_ = std::clamp(value, min_, std::max(min_, max_));
  if (associate_ != nullptr)
    associate_->SetText(IntToStr(position_));
}

void TUpDown::SetAssociate(TEdit* value) {
  if (associate_ != nullptr)
    associate_->RemoveFreeNotification(this);
  associate_ = value;
  if (value == nullptr)
    return;
  value->FreeNotification(this);
  if (value->Parent() != nullptr && Parent() != value->Parent())
    SetParent(value->Parent());
  SetBounds(value->BoundsRect().Right, value->Top(), Width(), value->Height());
}

void TUpDown::Step(int direction) {
  if (associate_ != nullptr) {
    int64_t shown = position_;
    if (TryStrToInt(associate_->Text(), shown))
      position_ = static_cast<int>(std::clamp<int64_t>(shown, min_, std::max(min_, max_)));
  }
  SetPosition(position_ + direction);
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == associate_)
    associate_ = nullptr;
}

std::unique_ptr<kestrune::ControlWidget> TUpDown::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* arrows = new QWidget(widget.get());
  auto* layout = new QVBoxLayout(arrows);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (const int direction : {1, -1}) {
    auto* button = new QToolButton(arrows);
    button->setArrowType(direction > 0 ? Qt::UpArrow : Qt::DownArrow);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setAutoRepeat(true);
    layout->addWidget(button);
    QObject::connect(button, &QToolButton::clicked,
                     [this, direction] { CallFromQt([this, direction] { Step(direction); }); });
  }
  widget->Host(arrows);
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void RegisterComCtrlsClasses() {
  RegisterClass<TTabSheet>();
  RegisterClass<TPageControl>().Event("OnChange", &TPageControl::OnChange, &TPageControl::OnChange);
  RegisterClass<TUpDown>()
      .Integer("Min", &TUpDown::Min, &TUpDown::SetMin, 0)
      .Integer("Max", &TUpDown::Max, &TUpDown::SetMax, 100)
      .Integer("Position", &TUpDown::Position, &TUpDown::SetPosition, 0)
      .Component("Associate", &TUpDown::Associate, &TUpDown::SetAssociate);
}
