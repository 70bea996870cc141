#include "platform/forms/ExtStdCtrls.h"

#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <algorithm>

#include "platform/classes/TypInfo.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtTextPrivate.h"
#include "platform/rtl/SysUtils.h"

using kestrune::CallFromQt;
using kestrune::HostWidget;

namespace {

// Calls `released` for every mouse button released over the watched
// widget (the list's viewport), in the list's client coordinates.
class ReleaseWatcher final : public QObject {
 public:
  ReleaseWatcher(QObject* parent, std::function<void(QMouseEvent*)> released)
      : QObject(parent), released_(std::move(released)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease)
      released_(static_cast<QMouseEvent*>(event));
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(QMouseEvent*)> released_;
};

}  // namespace

// ---------------------------------------------------------------------------
// TEdit

struct TEdit::Host {
  QLineEdit* edit = nullptr;
};

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
  ControlStyle.Exclude(csClickEvents);
  ControlStyle.Exclude(csCaptureMouse);
  host_ = std::make_unique<Host>();
}

TEdit::~TEdit() = default;

std::unique_ptr<kestrune::ControlWidget> TEdit::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* edit = new QLineEdit(ToQString(text_), widget.get());
  edit->setCursorPosition(sel_start_);
  if (sel_length_ > 0)
    edit->setSelection(sel_start_, sel_length_);
  QObject::connect(edit, &QLineEdit::textChanged, [this](const QString& text) {
    const std::string now = text.toStdString();
    CallFromQt([this, now] { UserEdited(now); });
  });
  QObject::connect(edit, &QObject::destroyed, [this] { host_->edit = nullptr; });
  host_->edit = edit;
  widget->Host(edit);
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void TEdit::UserEdited(const std::string& text) {
  // Our own SetText shows its text in the edit too: only a new text counts.
  if (text == text_)
    return;
  text_ = text;
  Change();
}

void TEdit::SetText(const std::string& value) {
  if (value == text_)
    return;
  text_ = value;
  sel_start_ = static_cast<int>(value.size());
  sel_length_ = 0;
  if (host_->edit != nullptr) {
    const QSignalBlocker block(host_->edit);
    host_->edit->setText(ToQString(value));
  }
  Change();
}

void TEdit::Change() {
  if (OnChange.Assigned())
    OnChange(this);
}

int TEdit::SelStart() const {
  if (host_->edit == nullptr)
    return sel_start_;
  return host_->edit->hasSelectedText() ? host_->edit->selectionStart()
                                        : host_->edit->cursorPosition();
}

int TEdit::SelLength() const {
  if (host_->edit == nullptr)
    return sel_length_;
  return host_->edit->hasSelectedText() ? host_->edit->selectionLength() : 0;
}

void TEdit::SetSelStart(int value) {
  sel_start_ = std::clamp(value, 0, static_cast<int>(text_.size()));
  sel_length_ = 0;
  if (host_->edit != nullptr)
    host_->edit->setCursorPosition(sel_start_);
}

void TEdit::SetSelLength(int value) {
  const int start = SelStart();
  sel_start_ = start;
  sel_length_ = std::clamp(value, 0, static_cast<int>(text_.size()) - start);
  if (host_->edit != nullptr)
    host_->edit->setSelection(sel_start_, sel_length_);
}

void TEdit::SelectAll() {
  sel_start_ = 0;
  sel_length_ = static_cast<int>(text_.size());
  if (host_->edit != nullptr)
    host_->edit->selectAll();
}

std::string TEdit::SelText() const {
  return text_.substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
}

void TEdit::SetSelText(const std::string& value) {
  const auto start = static_cast<std::size_t>(SelStart());
  const auto length = static_cast<std::size_t>(SelLength());
  SetText(text_.substr(0, start) + value + text_.substr(start + length));
  SetSelStart(static_cast<int>(start + value.size()));
}

// ---------------------------------------------------------------------------
// TListBoxStrings

const std::string& TListBoxStrings::Strings(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", {index}));
  return items_[static_cast<std::size_t>(index)];
}

void TListBoxStrings::SetStrings(int index, const std::string& text) {
  (void)Strings(index);
  items_[static_cast<std::size_t>(index)] = text;
  if (owner_ != nullptr)
    owner_->ItemsChanged();
}

int TListBoxStrings::Add(const std::string& text) {
  items_.push_back(text);
  if (owner_ != nullptr)
    owner_->ItemsChanged();
  return Count() - 1;
}

void TListBoxStrings::Delete(int index) {
  (void)Strings(index);
  items_.erase(items_.begin() + index);
  if (owner_ != nullptr) {
    owner_->ticks_.erase(owner_->ticks_.begin() + index);
    owner_->ItemsChanged();
  }
}

void TListBoxStrings::Clear() {
  items_.clear();
  if (owner_ != nullptr)
    owner_->ItemsChanged();
}

// ---------------------------------------------------------------------------
// TCustomListBox

struct TCustomListBox::Host {
  QListWidget* list = nullptr;
  bool filling = false;
};

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  ControlStyle.Exclude(csClickEvents);
  ControlStyle.Exclude(csCaptureMouse);
  items_ = Create<TListBoxStrings>();
  items_->owner_ = this;
  host_ = std::make_unique<Host>();
}

TCustomListBox::~TCustomListBox() {
  items_->owner_ = nullptr;
  items_->Free();
}

std::unique_ptr<kestrune::ControlWidget> TCustomListBox::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* list = new QListWidget(widget.get());
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  host_->list = list;
  ItemsChanged();
  QObject::connect(list, &QListWidget::itemClicked, [this](QListWidgetItem* item) {
    const int row = host_->list->row(item);
    CallFromQt([this, row] {
      item_index_ = row;
      Click();
    });
  });
  QObject::connect(list, &QListWidget::currentRowChanged, [this](int row) {
    if (!host_->filling)
      CallFromQt([this, row] { item_index_ = row; });
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked,
                   [this](QListWidgetItem*) { CallFromQt([this] { DblClick(); }); });
  QObject::connect(list, &QListWidget::itemChanged, [this](QListWidgetItem* item) {
    if (host_->filling || !checkable_)
      return;
    const int row = host_->list->row(item);
    const bool checked = item->checkState() == Qt::Checked;
    if (row < 0 || row >= items_->Count() || ticks_[static_cast<std::size_t>(row)] == checked)
      return;
    CallFromQt([this, row, checked] {
      ticks_[static_cast<std::size_t>(row)] = checked;
      ItemTicked(row);
    });
  });
  list->viewport()->installEventFilter(new ReleaseWatcher(list, [this](QMouseEvent* event) {
    const TMouseButton button = kestrune::ButtonFrom(event->button());
    const TShiftState shift = kestrune::ShiftFrom(event->modifiers(), event->buttons());
    const QPoint at = host_->list->viewport()->mapTo(host_->list, event->position().toPoint());
    CallFromQt([this, button, shift, at] { MouseUp(button, shift, at.x(), at.y()); });
  }));
  QObject::connect(list, &QObject::destroyed, [this] { host_->list = nullptr; });
  widget->Host(list);
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void TCustomListBox::ItemsChanged() {
  ticks_.resize(static_cast<std::size_t>(items_->Count()), false);
  if (item_index_ >= items_->Count())
    item_index_ = -1;
  if (host_->list == nullptr)
    return;
  host_->filling = true;
  host_->list->clear();
  for (int i = 0; i < items_->Count(); ++i) {
    auto* item = new QListWidgetItem(ToQString(items_->Strings(i)), host_->list);
    if (checkable_) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(ticks_[static_cast<std::size_t>(i)] ? Qt::Checked : Qt::Unchecked);
    }
  }
  host_->list->setCurrentRow(item_index_);
  host_->filling = false;
}

void TCustomListBox::SetItemIndex(int value) {
  if (value < 0 || value >= items_->Count())
    value = -1;
  item_index_ = value;
  if (host_->list != nullptr) {
    host_->filling = true;
    host_->list->setCurrentRow(value);
    host_->filling = false;
  }
}

int TCustomListBox::ItemHeight() const {
  if (host_->list != nullptr && host_->list->count() > 0)
    return std::max(1, host_->list->visualItemRect(host_->list->item(0)).height());
  return 16;
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const {
  int row = -1;
  if (host_->list != nullptr) {
    const QPoint at = host_->list->viewport()->mapFrom(host_->list, QPoint(pos.X, pos.Y));
    if (QListWidgetItem* item = host_->list->itemAt(at))
      row = host_->list->row(item);
  } else if (pos.Y >= 0) {
    row = pos.Y / ItemHeight();
    if (row >= items_->Count())
      row = -1;
  }
  if (row < 0 && !existing)
    return items_->Count();
  return row;
}

void TCustomListBox::ItemTicked(int) {}

bool TCustomListBox::Tick(int index) const {
  return index >= 0 && index < items_->Count() && ticks_[static_cast<std::size_t>(index)];
}

void TCustomListBox::SetTick(int index, bool checked) {
  if (index < 0 || index >= items_->Count())
    return;
  ticks_[static_cast<std::size_t>(index)] = checked;
  if (host_->list != nullptr) {
    host_->filling = true;
    host_->list->item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    host_->filling = false;
  }
}

TCheckListBox::TCheckListBox(TComponent* owner) : TCustomListBox(owner) {
  SetCheckable();
}

void TCheckListBox::ItemTicked(int) {
  if (OnClickCheck.Assigned())
    OnClickCheck(this);
}

// ---------------------------------------------------------------------------
// TPanel, TPaintBox

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TPanelBevel value) {
  if (value == bevel_outer_)
    return;
  bevel_outer_ = value;
  Invalidate();
}

void TPanel::Paint() {
  TCanvas* canvas = Canvas();
  const int w = Width();
  const int h = Height();
  if (bevel_outer_ != bvNone && w > 0 && h > 0) {
    const TColor light = bevel_outer_ == bvRaised ? clBtnHighlight : clBtnShadow;
    const TColor dark = bevel_outer_ == bvRaised ? clBtnShadow : clBtnHighlight;
    canvas->Pen()->SetColor(light);
    canvas->MoveTo(0, h - 1);
    canvas->LineTo(0, 0);
    canvas->LineTo(w - 1, 0);
    canvas->Pen()->SetColor(dark);
    canvas->LineTo(w - 1, h - 1);
    canvas->LineTo(-1, h - 1);
  }
  if (!Caption().empty()) {
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsClear);
    const TSize size = canvas->TextExtent(Caption());
    canvas->TextOut((w - size.cx) / 2, (h - size.cy) / 2, Caption());
  }
}

void TPanel::CMTextChanged() {
  inherited::CMTextChanged();
  Invalidate();
}

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
  if (OnPaint.Assigned())
    OnPaint(this);
}

void RegisterExtStdControlClasses() {
  RegisterClass<TEdit>()
      .Bool("TabStop", &TEdit::TabStop, &TEdit::SetTabStop, true)
      .String("Text", &TEdit::Text, &TEdit::SetText, "")
      .Event("OnChange", &TEdit::OnChange, &TEdit::OnChange);
  RegisterClass<TListBoxStrings>();
  RegisterClass<TCustomListBox>().Bool("TabStop", &TCustomListBox::TabStop,
                                       &TCustomListBox::SetTabStop, true);
  RegisterClass<TListBox>();
  RegisterClass<TCheckListBox>().Event("OnClickCheck", &TCheckListBox::OnClickCheck,
                                       &TCheckListBox::OnClickCheck);
  RegisterClass<TPanel>().Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter,
                               {"bvNone", "bvLowered", "bvRaised"}, bvRaised);
  RegisterClass<TPaintBox>().Event("OnPaint", &TPaintBox::OnPaint, &TPaintBox::OnPaint);
  RegisterClass<TGroupBox>();
  RegisterClass<TComboBox>();
}
