#include "platform/forms/StdCtrls.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdlib>

#include "platform/classes/ActnList.h"
#include "platform/classes/CustomForm.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/ExtStdCtrls.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtTextPrivate.h"
#include "platform/graphics/Gdi.h"
#include "platform/rtl/SysUtils.h"

using kestrune::CallFromQt;
using kestrune::HostWidget;

namespace {

// Text can be measured once Qt's application object exists; before, a
// font's height stands for its text's.
bool CanMeasureText() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

bool IsLoading(const TControl* control) {
  if (control->ComponentState().Contains(csLoading))
    return true;
  const TCustomForm* form = control->ParentForm();
  return form != nullptr && form->ComponentState().Contains(csLoading);
}

}  // namespace

// ---------------------------------------------------------------------------
// TCustomLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
  SetAutoSize(true);
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (value == alignment_)
    return;
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value) {
  if (value == layout_)
    return;
  layout_ = value;
  Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
  if (value == transparent_)
    return;
  transparent_ = value;
  if (value)
    ControlStyle.Exclude(csOpaque);
  else
    ControlStyle.Include(csOpaque);
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
  if (value == word_wrap_)
    return;
  word_wrap_ = value;
  AdjustSize();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
  if (focus_control_ != nullptr)
    focus_control_->RemoveFreeNotification(this);
  focus_control_ = value;
  if (value != nullptr)
    value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == focus_control_)
    focus_control_ = nullptr;
}

void TCustomLabel::Paint() {
  TCanvas* canvas = Canvas();
  const TRect client = ClientRect();
  if (!transparent_) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(client);
  }
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->Assign(Font());
  UINT format = DT_NOCLIP;
  if (alignment_ == taCenter)
    format |= DT_CENTER;
  else if (alignment_ == taRightJustify)
    format |= DT_RIGHT;
  if (word_wrap_)
    format |= DT_WORDBREAK;
  TRect box = client;
  if (layout_ != tlTop) {
    TRect measured = client;
    DrawText(canvas, Caption(), &measured, format | DT_CALCRECT);
    const int offset = client.Height() - measured.Height();
    box.Top += layout_ == tlCenter ? offset / 2 : offset;
  }
  DrawText(canvas, Caption(), &box, format);
}

void TCustomLabel::AdjustSize() {
  if (!AutoSize() || ComponentState().Contains(csReading) || !CanMeasureText())
    return;
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  TRect r = Rect(0, 0, word_wrap_ ? Width() : 0, 0);
  DrawText(canvas, Caption().empty() ? std::string(" ") : Caption(), &r,
           DT_CALCRECT | (word_wrap_ ? DT_WORDBREAK : 0));
  SetBounds(Left(), Top(), word_wrap_ ? Width() : r.Width(), r.Height());
}

void TCustomLabel::CMTextChanged() {
  inherited::CMTextChanged();
  AdjustSize();
}

void TCustomLabel::CMFontChanged() {
  inherited::CMFontChanged();
  AdjustSize();
}

// ---------------------------------------------------------------------------
// TCheckBox

struct TCheckBox::Host {
  QCheckBox* box = nullptr;
};

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
  ControlStyle.Exclude(csClickEvents);  // the hosted box says when it is clicked
  ControlStyle.Exclude(csCaptureMouse);
  host_ = std::make_unique<Host>();
}

TCheckBox::~TCheckBox() = default;

namespace {

// The hosted box's state for ours; a grayed state makes the box three-state.
Qt::CheckState QtCheckState(TCheckBoxState state) {
  return state == cbChecked  ? Qt::Checked
         : state == cbGrayed ? Qt::PartiallyChecked
                             : Qt::Unchecked;
}

}  // namespace

std::unique_ptr<kestrune::ControlWidget> TCheckBox::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* box = new QCheckBox(ToQString(Caption()), widget.get());
  box->setCheckState(QtCheckState(state_));
  QObject::connect(box, &QCheckBox::clicked,
                   [this](bool checked) { CallFromQt([this, checked] { UserToggled(checked); }); });
  QObject::connect(box, &QObject::destroyed, [this] { host_->box = nullptr; });
  host_->box = box;
  widget->Host(box);
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void TCheckBox::SetState(TCheckBoxState value) {
  if (value == state_)
    return;
  state_ = value;
  if (host_->box != nullptr) {
    const QSignalBlocker block(host_->box);
    host_->box->setCheckState(QtCheckState(value));
  }
  if (!IsLoading(this))
    Click();
}

void TCheckBox::SetChecked(bool value) {
  SetState(value ? cbChecked : cbUnchecked);
}

void TCheckBox::UserToggled(bool checked) {
  // The user's click: the new state, then one click event.
  state_ = checked ? cbChecked : cbUnchecked;
  Click();
}

void TCheckBox::CMTextChanged() {
  inherited::CMTextChanged();
  if (host_->box != nullptr)
    host_->box->setText(ToQString(Caption()));
}

// ---------------------------------------------------------------------------
// TComboBoxStrings

const std::string& TComboBoxStrings::Strings(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("Indice de liste hors limites (%d)", {index}));
  return items_[static_cast<size_t>(index)];
}

int TComboBoxStrings::Add(const std::string& text) {
  items_.push_back(text);
  if (owner_ != nullptr)
    owner_->ItemsChanged();
  return Count() - 1;
}

void TComboBoxStrings::Insert(int index, const std::string& text) {
  if (index < 0 || index > Count())
    throw EStringListError(Format("Indice de liste hors limites (%d)", {index}));
  items_.insert(items_.begin() + index, text);
  if (owner_ != nullptr)
    owner_->ItemsChanged();
}

void TComboBoxStrings::Delete(int index) {
  (void)Strings(index);
  items_.erase(items_.begin() + index);
  if (owner_ != nullptr)
    owner_->ItemsChanged();
}

void TComboBoxStrings::Clear() {
  items_.clear();
  if (owner_ != nullptr)
    owner_->ItemsChanged();
}

int TComboBoxStrings::IndexOf(std::string_view text) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[static_cast<size_t>(i)], text))
      return i;
  }
  return -1;
}

void TComboBoxStrings::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TComboBoxStrings*>(source);
  if (other == nullptr) {
    inherited::Assign(source);
    return;
  }
  items_ = other->items_;
  if (owner_ != nullptr)
    owner_->ItemsChanged();
}

// ---------------------------------------------------------------------------
// TCustomComboBox

namespace {

// A combo box that tells its control when the list opens and closes.
class ComboWidget final : public QComboBox {
 public:
  ComboWidget(QWidget* parent, std::function<void()> onDrop, std::function<void()> onClose,
              std::function<int()> droppedWidth)
      : QComboBox(parent),
        on_drop_(std::move(onDrop)),
        on_close_(std::move(onClose)),
        dropped_width_(std::move(droppedWidth)) {}

  void showPopup() override {
    CallFromQt(on_drop_);
    const int w = dropped_width_();
    if (w > 0)
      view()->setMinimumWidth(w);
    QComboBox::showPopup();
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    CallFromQt(on_close_);
  }

 private:
  std::function<void()> on_drop_;
  std::function<void()> on_close_;
  std::function<int()> dropped_width_;
};

}  // namespace

struct TCustomComboBox::Host {
  QComboBox* box = nullptr;
  // The edit line's text handler; the line edit outlives a second switch to
  // an editable style, so the handler is made once per line edit.
  QMetaObject::Connection edited;
};

TCustomComboBox::TCustomComboBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  ControlStyle.Exclude(csClickEvents);
  ControlStyle.Exclude(csCaptureMouse);
  items_ = Create<TComboBoxStrings>();
  items_->owner_ = this;
  host_ = std::make_unique<Host>();
}

TCustomComboBox::~TCustomComboBox() {
  items_->owner_ = nullptr;
  items_->Free();
}

std::unique_ptr<kestrune::ControlWidget> TCustomComboBox::CreateWidget() {
  QWidget* parent = HostWidget::ParentWidgetOf(*this);
  if (parent == nullptr)
    return nullptr;
  auto widget = std::make_unique<HostWidget>(*this, parent);
  auto* box = new ComboWidget(
      widget.get(),
      [this] {
        dropped_down_ = true;
        DropDown();
      },
      [this] {
        dropped_down_ = false;
        CloseUp();
      },
      [this] { return dropped_width_; });
  host_->box = box;
  QObject::connect(box, &QObject::destroyed, [this] { host_->box = nullptr; });
  box->setMaxVisibleItems(std::max(drop_down_count_, 1));
  ItemsChanged();
  SetStyle(style_);
  // A user's choice (never a change made from code).
  QObject::connect(box, &QComboBox::activated, [this](int index) {
    CallFromQt([this, index] {
      item_index_ = index;
      if (index >= 0)
        edit_text_ = items_->Strings(index);
      Change();
    });
  });
  widget->Host(box);
  widget->SetOverlay([this](TCanvas& canvas) {
    canvas.Font()->Assign(Font());
    PaintOverlay(&canvas);
  });
  if (Visible() && Parent()->Showing())
    widget->show();
  return widget;
}

void TCustomComboBox::PaintOverlay(TCanvas* canvas) {
  (void)canvas;
}

void TCustomComboBox::ItemsChanged() {
  if (item_index_ >= items_->Count())
    item_index_ = -1;
  if (host_->box == nullptr)
    return;
  const QSignalBlocker block(host_->box);
  host_->box->clear();
  for (int i = 0; i < items_->Count(); ++i)
    host_->box->addItem(ToQString(items_->Strings(i)));
  host_->box->setCurrentIndex(item_index_);
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  style_ = value;
  if (host_->box == nullptr)
    return;
  const QSignalBlocker block(host_->box);
  const bool editable = value != csDropDownList;
  host_->box->setEditable(editable);
  if (editable && host_->box->lineEdit() != nullptr) {
    host_->box->lineEdit()->setText(ToQString(edit_text_));
    QObject::disconnect(host_->edited);
    host_->edited =
        QObject::connect(host_->box->lineEdit(), &QLineEdit::textEdited, [this](const QString& t) {
          CallFromQt([this, t] {
            edit_text_ = t.toStdString();
            item_index_ = items_->IndexOf(edit_text_);
            Change();
          });
        });
  }
}

void TCustomComboBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count())
    value = -1;
  item_index_ = value;
  if (value >= 0)
    edit_text_ = items_->Strings(value);
  if (host_->box != nullptr) {
    const QSignalBlocker block(host_->box);
    host_->box->setCurrentIndex(value);
  }
}

std::string TCustomComboBox::Text() const {
  if (style_ == csDropDownList)
    return item_index_ >= 0 ? items_->Strings(item_index_) : std::string();
  return edit_text_;
}

void TCustomComboBox::SetText(const std::string& value) {
  edit_text_ = value;
  const int index = items_->IndexOf(value);
  if (style_ == csDropDownList || index >= 0)
    SetItemIndex(index);
  if (host_->box != nullptr && host_->box->lineEdit() != nullptr) {
    const QSignalBlocker block(host_->box->lineEdit());
    host_->box->lineEdit()->setText(ToQString(value));
  }
}

void TCustomComboBox::SetDropDownCount(int value) {
  drop_down_count_ = value;
  if (host_->box != nullptr)
    host_->box->setMaxVisibleItems(std::max(value, 1));
}

void TCustomComboBox::SetDroppedWidth(int value) {
  dropped_width_ = value;
}

void TCustomComboBox::SetDroppedDown(bool value) {
  if (host_->box == nullptr || value == dropped_down_)
    return;
  if (value)
    host_->box->showPopup();
  else
    host_->box->hidePopup();
}

void TCustomComboBox::Change() {
  if (OnChange.Assigned())
    OnChange(this);
}

void TCustomComboBox::DropDown() {
  if (OnDropDown.Assigned())
    OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp.Assigned())
    OnCloseUp(this);
}

// ---------------------------------------------------------------------------
// TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 105);
  ControlStyle.Include(csAcceptsControls);
  ControlStyle.Include(csOpaque);
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  inherited::AdjustClientRect(rect);
  int textHeight = std::abs(Font()->Height());
  if (CanMeasureText()) {
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    textHeight = canvas->TextHeight("0");
  }
  rect.Top += textHeight;
  rect = InflateRect(rect, -1, -1);
}

void TCustomGroupBox::Paint() {
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  const int h = canvas->TextHeight("0");
  TRect frame = Rect(0, h / 2 - 1, Width(), Height());
  canvas->Brush()->SetStyle(bsClear);
  canvas->Pen()->SetColor(clBtnHighlight);
  canvas->Rectangle(OffsetRect(frame, 1, 1));
  canvas->Pen()->SetColor(clBtnShadow);
  canvas->Rectangle(Rect(frame.Left, frame.Top, frame.Right - 1, frame.Bottom - 1));
  if (!Caption().empty()) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->TextOut(8, 0, Caption());
  }
}

void TCustomGroupBox::CMTextChanged() {
  inherited::CMTextChanged();
  Realign();
}

void TCustomGroupBox::CMFontChanged() {
  inherited::CMFontChanged();
  Realign();
}

// ---------------------------------------------------------------------------
// Registration

namespace {

void RegisterControl() {
  RegisterClass<TControl>()
      .Integer("Left", &TControl::Left, &TControl::SetLeft)
      .Integer("Top", &TControl::Top, &TControl::SetTop)
      .Integer("Width", &TControl::Width, &TControl::SetWidth)
      .Integer("Height", &TControl::Height, &TControl::SetHeight)
      .Enum("Align", &TControl::Align, &TControl::SetAlign,
            {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}, alNone)
      .Bool("AutoSize", &TControl::AutoSize, &TControl::SetAutoSize, false)
      .String("Caption", &TControl::Caption, &TControl::SetCaption, "")
      .MappedInteger("Color", &TControl::Color, &TControl::SetColor, kColorIdents)
      .Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor)
      .Object("Font", &TControl::Font)
      .Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
      .MappedInteger("Cursor", &TControl::Cursor, &TControl::SetCursor, kCursorIdents, crDefault)
      .String("Hint", &TControl::Hint, &TControl::SetHint, "")
      .Bool("ShowHint", &TControl::ShowHint, &TControl::ShowHint, false)
      .Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::ParentShowHint, true)
      .Bool("Visible", &TControl::Visible, &TControl::SetVisible, true)
      .Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
      .Component("Action", &TControl::Action, &TControl::SetAction)
      .Event("OnClick", &TControl::OnClick, &TControl::OnClick)
      .Event("OnDblClick", &TControl::OnDblClick, &TControl::OnDblClick)
      .Event("OnMouseDown", &TControl::OnMouseDown, &TControl::OnMouseDown)
      .Event("OnMouseMove", &TControl::OnMouseMove, &TControl::OnMouseMove)
      .Event("OnMouseUp", &TControl::OnMouseUp, &TControl::OnMouseUp)
      .Event("OnMouseWheel", &TControl::OnMouseWheel, &TControl::OnMouseWheel)
      .Event("OnMouseWheelDown", &TControl::OnMouseWheelDown, &TControl::OnMouseWheelDown)
      .Event("OnMouseWheelUp", &TControl::OnMouseWheelUp, &TControl::OnMouseWheelUp)
      .Event("OnResize", &TControl::OnResize, &TControl::OnResize);
  RegisterClass<TWinControl>()
      .Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop)
      .Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::TabOrder)
      .Bool("Ctl3D", &TWinControl::Ctl3D, &TWinControl::Ctl3D, true)
      .Bool("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::ParentCtl3D, true)
      .Event("OnEnter", &TWinControl::OnEnter, &TWinControl::OnEnter)
      .Event("OnExit", &TWinControl::OnExit, &TWinControl::OnExit)
      .Event("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::OnKeyDown)
      .Event("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::OnKeyPress)
      .Event("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::OnKeyUp);
  RegisterClass<TGraphicControl>();
  RegisterClass<TCustomControl>();
}

}  // namespace

void RegisterStandardControls() {
  RegisterControl();
  RegisterClass<TCustomForm>()
      .Event("OnCreate", &TCustomForm::OnCreate, &TCustomForm::OnCreate)
      .Event("OnDestroy", &TCustomForm::OnDestroy, &TCustomForm::OnDestroy);
  RegisterClass<TTimer>()
      .Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
      .Integer("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000)
      .Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
  RegisterClass<TCustomLabel>()
      .Bool("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize, true)
      .Bool("ParentColor", &TCustomLabel::ParentColor, &TCustomLabel::SetParentColor, true)
      .Enum("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment,
            {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify)
      .Enum("Layout", &TCustomLabel::Layout, &TCustomLabel::SetLayout,
            {"tlTop", "tlCenter", "tlBottom"}, tlTop)
      .Bool("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent, false)
      .Bool("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap, false)
      .Component("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
  RegisterClass<TLabel>();
  RegisterClass<TCheckBox>()
      .Bool("TabStop", &TCheckBox::TabStop, &TCheckBox::SetTabStop, true)
      .Bool("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false)
      .Enum("State", &TCheckBox::State, &TCheckBox::SetState,
            {"cbUnchecked", "cbChecked", "cbGrayed"}, cbUnchecked);
  RegisterClass<TComboBoxStrings>();
  RegisterClass<TCustomComboBox>()
      .Bool("TabStop", &TCustomComboBox::TabStop, &TCustomComboBox::SetTabStop, true)
      .Enum("Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle,
            {"csDropDown", "csSimple", "csDropDownList"}, csDropDown)
      .Integer("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount,
               8)
      .Integer("ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex, -1)
      .String("Text", &TCustomComboBox::Text, &TCustomComboBox::SetText, "")
      .Event("OnChange", &TCustomComboBox::OnChange, &TCustomComboBox::OnChange)
      .Event("OnDropDown", &TCustomComboBox::OnDropDown, &TCustomComboBox::OnDropDown)
      .Event("OnCloseUp", &TCustomComboBox::OnCloseUp, &TCustomComboBox::OnCloseUp);
  RegisterClass<TCustomGroupBox>();
  RegisterButtonClasses();
  RegisterExtControlClasses();
  RegisterExtStdControlClasses();
  RegisterComCtrlsClasses();
  RegisterActionClasses();
}
