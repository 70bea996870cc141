#include "platform/forms/Forms.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/FontAliases.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/MenuTracker.h"
#include "platform/forms/MenuWindows.h"
#include "platform/forms/Menus.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtLoopBackend.h"
#include "platform/forms/QtTextPrivate.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

using kestrune::CallFromQt;
using kestrune::MainLoop;

namespace {

std::string RunningExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0)
      return {};
    if (static_cast<size_t>(length) < buffer.size())
      return std::string(buffer.data(), static_cast<size_t>(length));
    buffer.resize(buffer.size() * 2);
  }
}

QApplication* QtWidgetApplication() {
  return qobject_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace

// ---------------------------------------------------------------------------
// TForm

namespace {

// The form's top-level window: the frame around the client area, with the
// menu bar above it. It is a control widget of the form too (so that the
// screen's look-ups find the form from it), but the form's own widget is
// the client area (FormWindow below), a child of this one. The frame
// paints the bar, hands the mouse input over the bar and the form's keys to
// the menu's tracker, runs the sub-menu delay, and answers the window
// manager's close request.
class FrameWindow final : public kestrune::WinWidget {
 public:
  FrameWindow(TForm& form, Qt::WindowFlags flags)
      : WinWidget(form, nullptr, flags), form_(&form), timer_(this) {
    setWindowTitle(ToQString(form.Caption()));
    timer_.setSingleShot(true);
    timer_.setInterval(TMenuTracker::SubMenuDelayMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
      CallFromQt([this] {
        if (TMenuTracker* tracker = Tracker())
          tracker->OpenPendingSubMenu();
      });
    });
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~FrameWindow() override {
    if (QCoreApplication::instance() != nullptr)
      QCoreApplication::instance()->removeEventFilter(this);
  }

  // The form's widget goes: a frame inside one of its own events is
  // deleted once the event is over, any other at once.
  void Release() {
    form_ = nullptr;
    timer_.stop();
    hide();
    if (busy_ > 0)
      deleteLater();
    else
      delete this;
  }

  // The window takes the form's bounds and the bar's height, each held to
  // the largest side Qt gives a widget (so that the bar and the client
  // area add up without overflowing).
  void Layout(QWidget* client) {
    if (form_ == nullptr)
      return;
    const int bar = std::min(form_->MenuBarHeight(), QWIDGETSIZE_MAX);
    const int w = std::min(form_->Width(), QWIDGETSIZE_MAX);
    const int h = std::min(form_->Height(), QWIDGETSIZE_MAX);
    const TFormBorderStyle style = form_->BorderStyle();
    if (style == TFormBorderStyle::bsSingle || style == TFormBorderStyle::bsDialog)
      setFixedSize(w, h + bar);
    else
      resize(w, h + bar);
    move(form_->Left(), form_->Top());
    client->setGeometry(0, bar, w, h);
    update(0, 0, w, bar);
  }

  // What the tracker shows changed: the bar is painted again, the sub-menu
  // delay starts or stops. A tracking that ended (a choice, a press
  // elsewhere) lights only the root item under the pointer, if any.
  void TrackerChanged() {
    TMenuTracker* tracker = form_ != nullptr ? form_->MenuTracker() : nullptr;
    if (tracker != nullptr && tracker->SubMenuPending()) {
      if (!timer_.isActive())
        timer_.start();
    } else {
      timer_.stop();
    }
    TPoint pointer;
    if (tracker != nullptr && GetCursorPos(&pointer))
      HotAt(tracker, pointer);
    else
      hot_ = -1;
    update(0, 0, width(), form_ != nullptr ? form_->MenuBarHeight() : 0);
  }

  // The bar's top-left corner on the screen.
  TPoint Origin() const {
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y()};
  }

  // The bar's pixels as painted last (for tests).
  QImage BarImage() {
    PaintBar();
    return bar_image_;
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    (void)event;
    if (form_ == nullptr)
      return;
    CallFromQt([this] { PaintBar(); });
    QPainter painter(this);
    painter.drawImage(0, 0, bar_image_);
  }
  void mousePressEvent(QMouseEvent* event) override { Mouse(TMenuInput::Press, event); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { Mouse(TMenuInput::Press, event); }
  void mouseReleaseEvent(QMouseEvent* event) override { Mouse(TMenuInput::Release, event); }
  void mouseMoveEvent(QMouseEvent* event) override { Mouse(TMenuInput::Move, event); }
  void leaveEvent(QEvent* event) override {
    if (hot_ >= 0) {
      hot_ = -1;
      update();
    }
    WinWidget::leaveEvent(event);
  }
  // The client area is the form's size; the bar is not.
  void resizeEvent(QResizeEvent* event) override {
    (void)event;
    if (form_ == nullptr)
      return;
    CallFromQt([this] {
      kestrune::ControlDispatch::WindowMoved(*form_, form_->Left(), form_->Top(), width(),
                                             std::max(height() - form_->MenuBarHeight(), 0));
    });
  }
  void moveEvent(QMoveEvent* event) override {
    if (form_ != nullptr)
      WinWidget::moveEvent(event);
  }
  // The window manager's close request. The form decides what closing does
  // (hide, end the application, or refuse), so Qt's default (hide and
  // perhaps quit) never runs.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (form_ != nullptr)
      CallFromQt([this] { form_->Close(); });
  }

  // Keys of the form's widgets, and presses in its client area while a
  // menu is open, reach the tracker first. The pointer over the client area
  // is off the bar: no root item is lit.
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    const bool pointer = type == QEvent::MouseMove || type == QEvent::Enter;
    if (!pointer && type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
      return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget == this || widget->window() != this)
      return false;
    if (pointer) {
      if (hot_ >= 0 && form_ != nullptr) {
        hot_ = -1;
        update(0, 0, width(), form_->MenuBarHeight());
      }
      return false;
    }
    if (Tracker() == nullptr)
      return false;
    bool taken = false;
    ++busy_;
    CallFromQt([&] { taken = Filter(type, event); });
    --busy_;
    return taken;
  }

 private:
  TMenuTracker* Tracker() { return form_ != nullptr ? form_->MenuTracker() : nullptr; }

  bool Filter(QEvent::Type type, QEvent* event) {
    TMenuTracker* tracker = Tracker();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
      // A press outside the menu closes it, and does nothing more.
      if (!tracker->Active())
        return false;
      tracker->Cancel();
      return true;
    }
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const uint16_t key = kestrune::VirtualKeyFrom(keyEvent->key());
    const TShiftState shift = kestrune::ShiftFrom(keyEvent->modifiers(), Qt::NoButton);
    if (type == QEvent::KeyRelease) {
      // Alt pressed and released alone selects the bar.
      if (key != VK_MENU || !alt_pending_)
        return false;
      alt_pending_ = false;
      tracker->KeyDown(VK_MENU, {});
      return true;
    }
    if (key == VK_MENU) {
      if (tracker->Active())
        return tracker->KeyDown(VK_MENU, {});
      alt_pending_ = true;
      return false;
    }
    alt_pending_ = false;
    if (key == 0 || key == VK_SHIFT || key == VK_CONTROL)
      return tracker->Active();
    return tracker->KeyDown(key, shift);
  }

  void Mouse(TMenuInput input, QMouseEvent* event) {
    TMenuTracker* tracker = Tracker();
    if (tracker == nullptr)
      return;
    const QPoint g = event->globalPosition().toPoint();
    const TPoint screen{g.x(), g.y()};
    ++busy_;
    CallFromQt([&] {
      switch (input) {
        case TMenuInput::Press:
          tracker->MouseDown(screen);
          break;
        case TMenuInput::Release:
          tracker->MouseUp(screen);
          break;
        case TMenuInput::Move:
          tracker->MouseMove(screen);
          HotAt(tracker, screen);
          break;
      }
    });
    --busy_;
  }

  // Hovering a root item while no menu is open lights it.
  void HotAt(TMenuTracker* tracker, TPoint screen) {
    if (form_ == nullptr)
      return;
    int hot = -1;
    if (!tracker->Active()) {
      for (int i = 0; form_->Menu() != nullptr && i < VisibleRoots(); ++i) {
        if (tracker->RootRect(i).Contains(screen))
          hot = i;
      }
    }
    if (hot != hot_) {
      hot_ = hot;
      update(0, 0, width(), form_->MenuBarHeight());
    }
  }

  int VisibleRoots() const {
    int count = 0;
    TMenuItem* items = form_->Menu()->Items();
    for (int i = 0; i < items->Count(); ++i)
      count += items->Items(i)->Visible() ? 1 : 0;
    return count;
  }

  void PaintBar() {
    const int bar = form_ != nullptr ? form_->MenuBarHeight() : 0;
    if (bar <= 0 || form_->Menu() == nullptr) {
      bar_image_ = QImage();
      return;
    }
    if (bar_image_.width() != width() || bar_image_.height() != bar)
      bar_image_ = QImage(width(), bar, QImage::Format_RGB32);
    TMenuTracker* tracker = form_->MenuTracker();
    const bool open = tracker != nullptr && tracker->WindowCount() > 0;
    const int selected = open ? tracker->BarSelection() : -1;
    int hot = hot_;
    if (tracker != nullptr && tracker->Active())
      hot = open ? -1 : tracker->BarSelection();
    TCanvas canvas(&bar_image_);
    PaintMenuBar(form_->Menu(), &canvas, width(), selected, hot);
  }

  TForm* form_;
  QTimer timer_;
  QImage bar_image_;
  int hot_ = -1;
  int busy_ = 0;
  bool alt_pending_ = false;
};

// The form's own widget: its client area, inside the frame.
class FormWindow final : public kestrune::WinWidget {
 public:
  FormWindow(TForm& form, Qt::WindowFlags flags)
      : WinWidget(form, new FrameWindow(form, flags)),
        frame_(static_cast<FrameWindow*>(parentWidget())) {
    // Keys reach the form's window when no hosted widget has the focus.
    setFocusPolicy(Qt::StrongFocus);
    frame_->Layout(this);
  }
  ~FormWindow() override {
    // Out of the frame first, so that the frame does not delete us again.
    setParent(nullptr);
    frame_->Release();
  }

  FrameWindow* Frame() const { return frame_; }

  void BoundsChanged() override { frame_->Layout(this); }
  void ShowingChanged() override {
    if (Control().Visible()) {
      frame_->show();
      frame_->raise();
      return;
    }
    // A hidden form's menu closes.
    if (TMenuTracker* tracker = static_cast<TForm&>(Control()).MenuTracker())
      tracker->Cancel();
    frame_->hide();
  }
  void AppearanceChanged() override {
    frame_->setWindowTitle(ToQString(Control().Caption()));
    WinWidget::AppearanceChanged();
  }

 private:
  FrameWindow* frame_;
};

FrameWindow* FrameOf(const TForm* form) {
  auto* window = dynamic_cast<FormWindow*>(form->Widget());
  return window != nullptr ? window->Frame() : nullptr;
}

Qt::WindowFlags FlagsFor(TFormBorderStyle style, TBorderIcons icons) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (style == TFormBorderStyle::bsNone)
    return Qt::Window | Qt::FramelessWindowHint;
  if (style == TFormBorderStyle::bsDialog)
    flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (icons & BorderIconBit(biSystemMenu)) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style != TFormBorderStyle::bsDialog) {
      if (icons & BorderIconBit(biMinimize))
        flags |= Qt::WindowMinimizeButtonHint;
      if (icons & BorderIconBit(biMaximize))
        flags |= Qt::WindowMaximizeButtonHint;
    }
    if (icons & BorderIconBit(biHelp))
      flags |= Qt::WindowContextHelpButtonHint;
  }
  return flags;
}

}  // namespace

TForm::TForm(TComponent* owner) : TCustomForm(owner) {
  TControl::SetBounds(0, 0, 640, 480);
  SetColor(clBtnFace);
}

TForm::~TForm() {
  ReleaseMenu();
  if (Widget() != nullptr) {
    KESTRUNE_USAGE_CHECK(QCoreApplication::instance() != nullptr,
                         "a form with a window outlived Qt's application object");
  }
}

std::unique_ptr<kestrune::ControlWidget> TForm::CreateWidget() {
  if (QtWidgetApplication() == nullptr)
    return nullptr;
  // A form inside another control is a plain child window.
  if (Parent() != nullptr)
    return inherited::CreateWidget();
  return std::make_unique<FormWindow>(*this, FlagsFor(border_style_, border_icons_));
}

void TForm::SetCaption(const std::string& caption) {
  inherited::SetCaption(caption);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  if (width < 0 || height < 0)
    throw EInvalidOperation(Format("Invalid window size %d x %d", {width, height}));
  inherited::SetBounds(left, top, width, height);
}

void TForm::SetClientSize(int width, int height) {
  SetBounds(Left(), Top(), width, height);
}

void TForm::SetBorderStyle(TFormBorderStyle value) {
  border_style_ = value;
}

void TForm::SetBorderIcons(TBorderIcons value) {
  border_icons_ = value;
}

void TForm::SetPosition(TPosition value) {
  position_ = value;
}

void TForm::SetVisible(bool visible) {
  if (visible && QtWidgetApplication() == nullptr)
    throw EInvalidOperation("A window cannot be made before the application is initialised");
  if (visible && !positioned_) {
    positioned_ = true;
    // The whole window is centred, its bar included (in 64 bits: half the
    // difference of two sizes always fits).
    if (position_ == poScreenCenter && Screen != nullptr)
      TControl::SetBounds(
          static_cast<int>((int64_t{Screen->Width()} - Width()) / 2),
          static_cast<int>((int64_t{Screen->Height()} - Height() - MenuBarHeight()) / 2), Width(),
          Height());
  }
  if (visible && Visible() && Widget() != nullptr) {
    if (FrameWindow* frame = FrameOf(this))
      frame->raise();
    return;
  }
  inherited::SetVisible(visible);
}

int TForm::ShowModal() {
  modal_result_ = 0;
  if (const auto& answerer = kestrune::testing::CurrentModalFormAnswerer()) {
    modal_result_ = answerer(this);
    const int result = modal_result_;
    modal_result_ = 0;
    return result;
  }
  if (QtWidgetApplication() == nullptr)
    throw EInvalidOperation("A window cannot be made before the application is initialised");
  if (Visible())
    throw EInvalidOperation("Cannot make a visible window modal");
  WidgetNeeded();
  if (FrameWindow* frame = FrameOf(this))
    frame->setWindowModality(Qt::ApplicationModal);
  Show();
  QEventLoop loop;
  while (modal_result_ == 0 && Visible() && (Application == nullptr || !Application->Terminated()))
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  const int result = modal_result_ != 0 ? modal_result_ : mrCancel;
  modal_result_ = 0;
  Hide();
  if (FrameWindow* frame = FrameOf(this))
    frame->setWindowModality(Qt::NonModal);
  return result;
}

namespace {

TButton* FindDialogButton(TWinControl* parent, bool wantDefault) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* child = parent->Controls(i);
    if (!child->Visible() || !child->Enabled())
      continue;
    if (auto* button = dynamic_cast<TButton*>(child)) {
      if (wantDefault ? button->Default() : button->Cancel())
        return button;
    } else if (auto* win = dynamic_cast<TWinControl*>(child)) {
      if (TButton* found = FindDialogButton(win, wantDefault))
        return found;
    }
  }
  return nullptr;
}

}  // namespace

bool TForm::DialogKey(uint16_t key, TShiftState, TWinControl*) {
  if (key != VK_RETURN && key != VK_ESCAPE)
    return false;
  TButton* button = FindDialogButton(this, key == VK_RETURN);
  if (button == nullptr)
    return false;
  button->Click();
  return true;
}

void TForm::DoCreate() {
  // The description is read before OnCreate, so the handler finds the
  // form's components in place; a description that cannot be read fails the
  // construction.
  ReadComponentDescription(this);
  try {
    inherited::DoCreate();
  } catch (...) {
    kestrune::HandleEscapedException(std::current_exception());
  }
}

void TForm::SetMenu(TMainMenu* value) {
  if (menu_ == value)
    return;
  ReleaseMenu();
  menu_ = value;
  if (menu_ != nullptr) {
    menu_->FreeNotification(this);
    menu_->SetBarListener(
        [this] {
          if (FrameWindow* frame = FrameOf(this))
            frame->TrackerChanged();
        },
        [this] { MenuBarChanged(); });
    tracker_ = Create<TMenuTracker>(menu_, TPoint{Left(), Top()});
    tracker_->OnChange = [this] {
      if (FrameWindow* frame = FrameOf(this))
        frame->TrackerChanged();
    };
    if (!ComponentState().Contains(csLoading))
      menu_->Rebuild();
  }
  MenuBarChanged();
}

void TForm::ReleaseMenu() {
  if (tracker_ != nullptr)
    FreeAndNil(tracker_);
  if (menu_ != nullptr) {
    menu_->SetBarListener({}, {});
    menu_->RemoveFreeNotification(this);
    menu_ = nullptr;
  }
}

TMenuTracker* TForm::MenuTracker() const {
  if (tracker_ != nullptr) {
    if (FrameWindow* frame = FrameOf(this))
      tracker_->SetBarOrigin(frame->Origin());
  }
  return tracker_;
}

int TForm::MenuBarHeight() const {
  return tracker_ != nullptr ? tracker_->BarHeight() : 0;
}

void TForm::MenuBarChanged() {
  if (auto* window = dynamic_cast<FormWindow*>(Widget()))
    window->BoundsChanged();
}

void TForm::Loaded() {
  inherited::Loaded();
  // The menu is measured with everything it paints with in place.
  if (menu_ != nullptr) {
    menu_->Rebuild();
    MenuBarChanged();
  }
}

void TForm::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == menu_ && menu_ != nullptr) {
    // The menu is going: it no longer calls us, nor we it.
    FreeAndNil(tracker_);
    menu_->SetBarListener({}, {});
    menu_ = nullptr;
    MenuBarChanged();
  }
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery.Assigned())
    OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::DoClose(TCloseAction& action) {
  if (OnClose.Assigned())
    OnClose(this, action);
}

void TForm::Close() {
  if (!CloseQuery())
    return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone)
    return;
  if (Application != nullptr && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  Hide();
}

// ---------------------------------------------------------------------------
// TApplication

struct TApplication::Impl {
  // Qt keeps references to argc and argv for the application's lifetime.
  int argc = 1;
  std::string argv0;
  char* argv[2] = {nullptr, nullptr};

  std::unique_ptr<QApplication> qt_app;  // null when Qt's was made by others
  std::unique_ptr<MainLoop> own_loop;    // null when the loop was made by others
  MainLoop* loop = nullptr;              // set by Initialize
};

TApplication::TApplication(TComponent* owner)
    : TComponent(owner), impl_(std::make_unique<Impl>()), exe_name_(RunningExecutablePath()) {
  title_ = ChangeFileExt(ExtractFileName(exe_name_), "");
}

TApplication::~TApplication() {
  // The forms' windows go first, while Qt still exists.
  DestroyComponents();
  if (impl_->loop != nullptr) {
    impl_->loop->SetExceptionHandler(nullptr);
    if (impl_->own_loop != nullptr) {
      impl_->own_loop.reset();
    } else {
      // The loop outlives us: give it back a backend that needs no Qt.
      impl_->loop->SetBackend(std::make_unique<kestrune::PlainLoopBackend>());
    }
    impl_->loop = nullptr;
  }
  impl_->qt_app.reset();
}

void TApplication::Initialize() {
  if (impl_->loop != nullptr)
    return;
  if (QCoreApplication::instance() == nullptr) {
    impl_->argv0 = exe_name_.empty() ? std::string("kestrune") : exe_name_;
    impl_->argv[0] = impl_->argv0.data();
    impl_->qt_app = std::make_unique<QApplication>(impl_->argc, impl_->argv);
  } else {
    KESTRUNE_USAGE_CHECK(QtWidgetApplication() != nullptr,
                         "Qt's application object exists but cannot show widgets");
  }
  // Qt's application object takes the user's locale for the whole process.
  // Numbers in stored descriptions, logs and texts are read and written with
  // a point: the C library's number conversions stay in the C locale, and
  // texts meant for the user take the user's separator from DecimalSeparator.
  std::setlocale(LC_NUMERIC, "C");
  // Our forms decide when the application ends, not the last closed window.
  QApplication::setQuitOnLastWindowClosed(false);
  kestrune::InstallFontAliases();

  MainLoop* loop = MainLoop::Current();
  if (loop == nullptr) {
    impl_->own_loop = std::make_unique<MainLoop>();
    loop = impl_->own_loop.get();
  }
  loop->SetBackend(std::make_unique<kestrune::QtLoopBackend>());
  loop->SetExceptionHandler(
      [this](std::exception_ptr error) { HandleException(std::move(error)); });
  impl_->loop = loop;
}

bool TApplication::Initialized() const {
  return impl_->loop != nullptr;
}

void TApplication::FormCreated(TComponent* instance) {
  if (main_form_ == nullptr && instance->Is<TForm>())
    main_form_ = static_cast<TForm*>(instance);
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == main_form_)
    main_form_ = nullptr;
}

void TApplication::Run() {
  KESTRUNE_USAGE_CHECK(Initialized(), "Application->Run before Initialize");
  if (main_form_ != nullptr)
    main_form_->Show();
  impl_->loop->Run();
}

void TApplication::ProcessMessages() {
  KESTRUNE_USAGE_CHECK(Initialized(), "Application->ProcessMessages before Initialize");
  impl_->loop->ProcessMessages();
}

void TApplication::Terminate() {
  KESTRUNE_USAGE_CHECK(Initialized(), "Application->Terminate before Initialize");
  impl_->loop->Terminate();
}

bool TApplication::Terminated() const {
  return impl_->loop != nullptr && impl_->loop->Terminated();
}

bool TApplication::Headless() const {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    return true;
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void TApplication::HandleException(std::exception_ptr error) {
  if (error == nullptr)
    return;
  try {
    const std::string text = kestrune::ExceptionText(error);
    if (Headless()) {
      std::fprintf(stderr, "%s\n", text.c_str());
      std::fflush(stderr);
    } else {
      QMessageBox::critical(nullptr, ToQString(title_), ToQString(text));
    }
  } catch (...) {
    // Only running out of memory gets here.
    std::fputs("Unknown exception\n", stderr);
  }
}

// ---------------------------------------------------------------------------
// The Forms unit

TApplication* Application = nullptr;

namespace {

void RegisterForm() {
  RegisterMenuClasses();
  RegisterClass<TForm>()
      .Component("Menu", &TForm::Menu, &TForm::SetMenu)
      .Integer("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth)
      .Integer("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight)
      .Enum("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle,
            {"bsNone", "bsSingle", "bsSizeable", "bsDialog"}, TFormBorderStyle::bsSizeable)
      .Set("BorderIcons", &TForm::BorderIcons, &TForm::SetBorderIcons,
           {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"},
           BorderIconBit(biSystemMenu) | BorderIconBit(biMinimize) | BorderIconBit(biMaximize))
      .Enum("Position", &TForm::Position, &TForm::SetPosition, {"poDesigned", "poScreenCenter"},
            poDesigned)
      .MappedInteger("Color", &TForm::Color, &TForm::SetColor, kColorIdents, clBtnFace)
      .Event("OnClose", &TForm::OnClose, &TForm::OnClose)
      .Event("OnCloseQuery", &TForm::OnCloseQuery, &TForm::OnCloseQuery);
}

void InitForms() {
  RegisterStandardControls();
  RegisterForm();
  kestrune::SetControlBackend(&kestrune::QtControlBackend());
  Screen = Create<TScreen>(nullptr);
  Application = Create<TApplication>(nullptr);
}

void FinalizeForms() {
  if (Application == nullptr)
    return;
  // The forms go while `Application` is still there for their handlers.
  Application->DestroyComponents();
  FreeAndNil(Application);
  FreeAndNil(Screen);
  kestrune::SetControlBackend(nullptr);
}

}  // namespace

TUnit FormsUnit("Forms", &InitForms, &FinalizeForms);
