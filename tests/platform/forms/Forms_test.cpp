// The application object and the widget form: the close query as the window
// manager sends it, handler exceptions, the main form ending Run, the order
// of shutdown, the font stand-ins, and the form's own description (read
// before OnCreate; refused when it holds a form of its own class).
#include "platform/forms/Forms.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <string>
#include <vector>

#include "platform/classes/ActnList.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The top-level window titled `caption`, or null.
QWidget* FindWindow(const std::string& caption) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowTitle() == QString::fromStdString(caption))
      return widget;
  }
  return nullptr;
}

// Delivers a close request to the window as the window system does: to its
// platform window, which hands it to the widget.
void SendWindowManagerClose(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  ASSERT_NE(widget->windowHandle(), nullptr);
  QCloseEvent event;
  QCoreApplication::sendEvent(widget->windowHandle(), &event);
}

// A form that records its handlers in order.
class TRecordingForm : public TForm {
  KESTRUNE_CLASS(TRecordingForm, TForm)
  explicit TRecordingForm(TComponent* owner) : TForm(owner) {
    OnCloseQuery = TCloseQueryEvent(this, &TRecordingForm::FormCloseQuery);
    OnClose = TCloseEvent(this, &TRecordingForm::FormClose);
  }

  std::vector<std::string> log;
  bool canClose = true;
  TCloseAction action = caHide;
  bool raiseInCloseQuery = false;

  void FormCloseQuery(TObject* sender, bool& CanClose) {
    log.push_back(sender == this && CanClose ? "query" : "query: bad arguments");
    if (raiseInCloseQuery)
      throw EInvalidOperation("Fermeture impossible");
    CanClose = canClose;
  }
  void FormClose(TObject* sender, TCloseAction& Action) {
    log.push_back(sender == this && Action == caHide ? "close" : "close: bad arguments");
    Action = action;
  }
};

class FormsTest : public testing::Test {
 protected:
  void SetUp() override {
    FormsUnit.Initialize();
    Application->Initialize();
  }
  void TearDown() override { FormsUnit.Finalize(); }
};

struct CloseCase {
  const char* name;
  bool isMainForm;
  bool canClose;
  TCloseAction action;
  bool raiseInCloseQuery;
  std::vector<std::string> expectedLog;
  bool expectVisible;
  bool expectTerminated;
  const char* expectedStderr;  // text the central handler writes, or ""
};

class FormCloseTest : public FormsTest, public testing::WithParamInterface<CloseCase> {};

TEST_P(FormCloseTest, WindowManagerCloseRunsCloseQueryThenOnClose) {
  const CloseCase& c = GetParam();
  TRecordingForm* mainForm = nullptr;
  Application->CreateForm(mainForm);
  TRecordingForm* other = nullptr;
  Application->CreateForm(other);
  ASSERT_EQ(Application->MainForm(), mainForm);

  TRecordingForm* form = c.isMainForm ? mainForm : other;
  form->canClose = c.canClose;
  form->action = c.action;
  form->raiseInCloseQuery = c.raiseInCloseQuery;
  form->SetCaption("Fenêtre à fermer");
  form->Show();
  ASSERT_TRUE(form->Visible());

  testing::internal::CaptureStderr();
  SendWindowManagerClose(FindWindow("Fenêtre à fermer"));
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(form->log, c.expectedLog);
  EXPECT_EQ(form->Visible(), c.expectVisible);
  EXPECT_EQ(Application->Terminated(), c.expectTerminated);
  if (*c.expectedStderr == '\0') {
    EXPECT_EQ(err, "");
  } else {
    EXPECT_NE(err.find(c.expectedStderr), std::string::npos) << err;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FormCloseTest,
                         testing::Values(CloseCase{"MainFormClosingTerminates",
                                                   true,
                                                   true,
                                                   caHide,
                                                   false,
                                                   {"query", "close"},
                                                   true,
                                                   true,
                                                   ""},
                                         CloseCase{"CloseQueryRefusalKeepsTheWindowAndSkipsOnClose",
                                                   true,
                                                   false,
                                                   caHide,
                                                   false,
                                                   {"query"},
                                                   true,
                                                   false,
                                                   ""},
                                         CloseCase{"OnCloseActionNoneKeepsTheWindow",
                                                   true,
                                                   true,
                                                   caNone,
                                                   false,
                                                   {"query", "close"},
                                                   true,
                                                   false,
                                                   ""},
                                         CloseCase{"RaisingCloseQueryReachesTheCentralHandler",
                                                   true,
                                                   true,
                                                   caHide,
                                                   true,
                                                   {"query"},
                                                   true,
                                                   false,
                                                   "Fermeture impossible\n"},
                                         CloseCase{"OtherFormHidesWithoutTerminating",
                                                   false,
                                                   true,
                                                   caHide,
                                                   false,
                                                   {"query", "close"},
                                                   false,
                                                   false,
                                                   ""}),
                         [](const testing::TestParamInfo<CloseCase>& info) {
                           return std::string(info.param.name);
                         });

class TRaisingCreateForm : public TForm {
  KESTRUNE_CLASS(TRaisingCreateForm, TForm)
  explicit TRaisingCreateForm(TComponent* owner) : TForm(owner) {
    SetCaption("Création");
    OnCreate = TNotifyEvent(this, &TRaisingCreateForm::FormCreate);
  }
  void FormCreate(TObject*) { throw EComponentError("Échec de la création"); }
};

TEST_F(FormsTest, RaisingOnCreateReachesTheCentralHandlerAndTheFormStillOpens) {
  TRaisingCreateForm* form = nullptr;
  testing::internal::CaptureStderr();
  Application->CreateForm(form);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(err, "Échec de la création\n");
  EXPECT_EQ(Application->MainForm(), form);
  form->Show();
  EXPECT_NE(FindWindow("Création"), nullptr);
}

TEST_F(FormsTest, RunShowsTheMainFormAndReturnsWhenItIsClosed) {
  TRecordingForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("Principale");
  form->SetBounds(10, 20, 300, 200);
  EXPECT_FALSE(form->Visible());

  bool shownWhenRunning = false;
  QTimer::singleShot(0, qApp, [&] {
    shownWhenRunning = form->Visible();
    SendWindowManagerClose(FindWindow("Principale"));
  });
  bool watchdogFired = false;
  QTimer::singleShot(20000, qApp, [&] {
    watchdogFired = true;
    QCoreApplication::exit(1);  // not through our loop, which is under test
  });
  Application->Run();

  EXPECT_FALSE(watchdogFired);
  EXPECT_TRUE(shownWhenRunning);
  EXPECT_EQ(form->log, (std::vector<std::string>{"query", "close"}));
  EXPECT_TRUE(Application->Terminated());
  QWidget* window = FindWindow("Principale");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->size(), QSize(300, 200));
}

TEST_F(FormsTest, FreeingTheMainFormClearsMainForm) {
  TForm* first = nullptr;
  TForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), first);
  first->Free();
  EXPECT_EQ(Application->MainForm(), nullptr);
}

// Records what a form's destruction could still reach.
class TShutdownProbeForm : public TForm {
  KESTRUNE_CLASS(TShutdownProbeForm, TForm)
  explicit TShutdownProbeForm(TComponent* owner) : TForm(owner) {
    OnDestroy = TNotifyEvent(this, &TShutdownProbeForm::FormDestroy);
  }
  static inline bool applicationSeen = false;
  static inline bool qtSeen = false;
  void FormDestroy(TObject*) {
    applicationSeen = Application != nullptr;
    qtSeen = QCoreApplication::instance() != nullptr;
  }
};

TEST(FormsShutdownTest, FormsGoBeforeTheApplicationAndQtGoesLast) {
  FormsUnit.Initialize();
  Application->Initialize();
  TShutdownProbeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  ASSERT_NE(kestrune::MainLoop::Current(), nullptr);

  FormsUnit.Finalize();
  EXPECT_TRUE(TShutdownProbeForm::applicationSeen);
  EXPECT_TRUE(TShutdownProbeForm::qtSeen);
  EXPECT_EQ(Application, nullptr);
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
  EXPECT_EQ(kestrune::MainLoop::Current(), nullptr);  // the loop it made went with it
}

TEST(FormsShutdownTest, ALoopMadeBeforeTheApplicationGetsItsPlainBackendBack) {
  kestrune::MainLoop loop;
  FormsUnit.Initialize();
  Application->Initialize();
  EXPECT_EQ(kestrune::MainLoop::Current(), &loop);
  FormsUnit.Finalize();
  ASSERT_EQ(QCoreApplication::instance(), nullptr);

  // The loop still serves, with nothing of Qt.
  bool ran = false;
  loop.Post([&] { ran = true; });
  loop.ProcessMessages();
  EXPECT_TRUE(ran);
  EXPECT_NE(dynamic_cast<kestrune::PlainLoopBackend*>(&loop.Backend()), nullptr);
}

TEST_F(FormsTest, WindowsFacesGetTheirMetricStandIn) {
  for (const char* face : {"Tahoma", "MS Sans Serif", "Arial"}) {
    SCOPED_TRACE(face);
    if (QFontDatabase::families().contains(QString::fromLatin1(face)))
      continue;  // the face itself is installed and wins
    EXPECT_EQ(QFontInfo(QFont(QString::fromLatin1(face), 8)).family(), "Liberation Sans");
  }
}

// Qt takes the user's locale for the process; number conversions must still
// write and read a point (stored descriptions, logs).
TEST_F(FormsTest, NumbersKeepThePointOnceQtHasTheUsersLocale) {
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 1.5);
  EXPECT_STREQ(text, "1.5");
  EXPECT_EQ(std::strtod("2.75", nullptr), 2.75);
}

// A form with a compiled-in description, as the main window is made.
class TDescribedForm : public TForm {
  KESTRUNE_CLASS(TDescribedForm, TForm)
  explicit TDescribedForm(TComponent* owner) : TForm(owner) {
    OnCreate = TNotifyEvent(this, &TDescribedForm::FormCreate);
  }
  std::vector<std::string> log;
  void FormCreate(TObject*) {
    auto* box = dynamic_cast<TCheckBox*>(FindComponent("cbAuto"));
    log.push_back(std::string("create ") + (box != nullptr && box->Checked() ? "checked" : "-") +
                  (Visible() ? " visible" : " hidden"));
  }
  void cbAutoClick(TObject*) { log.push_back("click"); }
  void ActAppCloseExecute(TObject*) { log.push_back("execute"); }
};

constexpr const char* kDescribedForm = R"(object fmTest: TDescribedForm
  Caption = "Essai"
  ClientWidth = 300
  ClientHeight = 200
  BorderStyle = bsSingle
  BorderIcons = [biSystemMenu, biMinimize]
  Position = poScreenCenter
  Color = clNavy
  Font.Name = "Tahoma"
  object Box1: TCustomGroupBox
    Left = 8
    Top = 8
    Width = 150
    Height = 100
    Caption = "Groupe"
    object cbAuto: TCheckBox
      Left = 10
      Top = 20
      Caption = "Auto"
      Checked = True
      OnClick = cbAutoClick
    end
  end
  object Label1: TLabel
    Left = 170
    Top = 10
    Caption = "Balayage"
  end
  object ActionList1: TActionList
    object ActAppClose: TAction
      Caption = "Quitter"
      OnExecute = ActAppCloseExecute
    end
  end
end
)";

TEST_F(FormsTest, FormReadsItsDescriptionBeforeOnCreateAndStaysHiddenUntilRun) {
  GraphicsUnit.Initialize();
  FormsUnit.Finalize();  // the classes register with the graphics unit running
  FormsUnit.Initialize();
  Application->Initialize();
  RegisterClass<TDescribedForm>()
      .Method("cbAutoClick", &TDescribedForm::cbAutoClick)
      .Method("ActAppCloseExecute", &TDescribedForm::ActAppCloseExecute);
  RegisterComponentDescription("TDescribedForm", kDescribedForm);
  TDescribedForm* form = nullptr;
  Application->CreateForm(form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->log, (std::vector<std::string>{"create checked hidden"}));
  EXPECT_EQ(form->Name(), "fmTest");
  EXPECT_EQ(form->Caption(), "Essai");
  EXPECT_EQ(form->ClientWidth(), 300);
  EXPECT_EQ(form->ClientHeight(), 200);
  EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsSingle);
  EXPECT_EQ(form->BorderIcons(), BorderIconBit(biSystemMenu) | BorderIconBit(biMinimize));
  EXPECT_EQ(form->Color(), clNavy);

  auto* group = dynamic_cast<TCustomGroupBox*>(form->FindComponent("Box1"));
  auto* box = dynamic_cast<TCheckBox*>(form->FindComponent("cbAuto"));
  auto* label = dynamic_cast<TLabel*>(form->FindComponent("Label1"));
  auto* action = dynamic_cast<TAction*>(form->FindComponent("ActAppClose"));
  ASSERT_TRUE(group != nullptr && box != nullptr && label != nullptr && action != nullptr);
  EXPECT_EQ(group->Parent(), form);
  EXPECT_EQ(box->Parent(), group);
  EXPECT_EQ(label->Parent(), form);
  EXPECT_EQ(label->Font()->Name(), "Tahoma");  // the form's font, through ParentFont
  ASSERT_NE(action->ActionList(), nullptr);
  EXPECT_EQ(action->ActionList()->Name(), "ActionList1");
  action->Execute();

  EXPECT_FALSE(form->Visible());
  kestrune::MainLoop::Current()->Post([] { Application->Terminate(); });
  Application->Run();
  EXPECT_TRUE(form->Visible());
  // Centred; the window system may shift the frame by its own margins.
  EXPECT_NEAR(form->Left(), (Screen->Width() - 300) / 2, 4);
  EXPECT_NEAR(form->Top(), (Screen->Height() - 200) / 2, 4);
  EXPECT_EQ(form->log, (std::vector<std::string>{"create checked hidden", "execute"}));
  GraphicsUnit.Finalize();
}

// A form whose description holds a form of its own class: each nested form
// would read the same description while it is made.
int g_live_self_nested = 0;

class TSelfNestedForm : public TForm {
  KESTRUNE_CLASS(TSelfNestedForm, TForm)
  explicit TSelfNestedForm(TComponent* owner) : TForm(owner) { ++g_live_self_nested; }
  ~TSelfNestedForm() override { --g_live_self_nested; }
};

TEST_F(FormsTest, AFormWhoseDescriptionHoldsItsOwnClassIsRefusedAndNothingIsLeft) {
  GraphicsUnit.Initialize();
  FormsUnit.Finalize();  // the classes register with the graphics unit running
  FormsUnit.Initialize();
  Application->Initialize();
  RegisterClass<TSelfNestedForm>();
  RegisterComponentDescription("TSelfNestedForm", R"(object fmSelf: TSelfNestedForm
  Caption = "Imbriquée"
  object Label1: TLabel
    Caption = "Étiquette"
  end
  object fmInner: TSelfNestedForm
  end
end
)");
  const int before = Application->ComponentCount();
  TSelfNestedForm* form = nullptr;
  EXPECT_THROW(Application->CreateForm(form), EDescriptionError);
  EXPECT_EQ(form, nullptr);
  EXPECT_EQ(g_live_self_nested, 0);
  EXPECT_EQ(Application->ComponentCount(), before);
  EXPECT_EQ(Application->MainForm(), nullptr);
  // The application goes on: the next form made is the main form.
  TForm* next = nullptr;
  Application->CreateForm(next);
  EXPECT_EQ(Application->MainForm(), next);
  GraphicsUnit.Finalize();
}

}  // namespace
