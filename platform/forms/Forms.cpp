#include "platform/forms/Forms.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <cstdio>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/forms/ControlWidgets.h"
#include "platform/forms/FontAliases.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtLoopBackend.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

using kestrune::CallFromQt;
using kestrune::MainLoop;

namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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

// The form's top-level window: a control widget that also answers the
// window manager's close request.
class FormWindow final : public kestrune::WinWidget {
 public:
  FormWindow(TForm& form, Qt::WindowFlags flags) : WinWidget(form, nullptr, flags), form_(form) {
    setWindowTitle(ToQString(form.Caption()));
    // Keys reach the form's window when no hosted widget has the focus.
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  // The window manager's close request. The form decides what closing does
  // (hide, end the application, or refuse), so Qt's default (hide and
  // perhaps quit) never runs.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    CallFromQt([this] { form_.Close(); });
  }

 private:
  TForm& form_;
};

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
  if (Widget() != nullptr) {
    KESTRUNE_USAGE_CHECK(QCoreApplication::instance() != nullptr,
                         "a form with a window outlived Qt's application object");
  }
}

std::unique_ptr<kestrune::ControlWidget> TForm::CreateWidget() {
  if (QtWidgetApplication() == nullptr)
    return nullptr;
  auto window = std::make_unique<FormWindow>(*this, FlagsFor(border_style_, border_icons_));
  if (border_style_ == TFormBorderStyle::bsSingle || border_style_ == TFormBorderStyle::bsDialog)
    window->setFixedSize(Width(), Height());
  return window;
}

void TForm::SetCaption(const std::string& caption) {
  inherited::SetCaption(caption);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  if (width < 0 || height < 0)
    throw EInvalidOperation(Format("Invalid window size %d x %d", {width, height}));
  if (auto* window = dynamic_cast<QWidget*>(Widget());
      window != nullptr &&
      (border_style_ == TFormBorderStyle::bsSingle || border_style_ == TFormBorderStyle::bsDialog))
    window->setFixedSize(width, height);
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
    if (position_ == poScreenCenter && Screen != nullptr)
      TControl::SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2,
                          Width(), Height());
  }
  if (visible && Visible() && Widget() != nullptr) {
    if (auto* window = dynamic_cast<QWidget*>(Widget()))
      window->raise();
    return;
  }
  inherited::SetVisible(visible);
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
  RegisterClass<TForm>()
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
