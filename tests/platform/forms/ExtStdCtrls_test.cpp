// The dialog stand-ins: the modal run with its result (also started inside
// a mouse handler), Enter and Esc as dialog keys, a form inside another,
// and the edit, check list, page control and up-down driven through their
// hosted Qt widgets.
#include "platform/forms/ExtStdCtrls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTimer>
#include <string>

#include "platform/forms/Buttons.h"
#include "platform/forms/ColorDialogs.h"
#include "platform/forms/ComCtrls.h"
#include "tests/platform/forms/FormsTestSupport.h"

namespace {

namespace kt = kestrune::testing;

// Opens `target` modally from a mouse press; `button` ends it.
class TOpener : public TComponent {
  KESTRUNE_CLASS(TOpener, TComponent)
  explicit TOpener(TComponent* owner) : TComponent(owner) {}
  void Down(TObject*, TMouseButton, TShiftState, int, int) {
    QTimer::singleShot(0, [this] { button->Click(); });
    result = target->ShowModal();
  }
  TForm* target = nullptr;
  TButton* button = nullptr;
  int result = -1;
};

class ExtStdCtrlsTest : public forms_test::FormsFixture {
 protected:
  // Records the events of the controls.
  class TRecorder : public TComponent {
    KESTRUNE_CLASS(TRecorder, TComponent)
    explicit TRecorder(TComponent* owner) : TComponent(owner) {}
    void Clicked(TObject* sender) {
      log += "click:" + static_cast<TComponent*>(sender)->Name() + ";";
    }
    void Changed(TObject*) { log += "change;"; }
    void Pressed(TObject*, char& key) {
      log += std::string("key:") +
             (key == '\r' ? "CR"
              : key == 27 ? "ESC"
                          : std::string(1, key)) +
             ";";
      if (key == 'x')
        key = 0;
    }
    std::string log;
  };

  void SetUp() override {
    FormsFixture::SetUp();
    recorder = Create<TRecorder>(form);
  }
  void TearDown() override {
    kt::SetModalFormAnswerer({});
    kt::SetDialogAnswerer({});
    FormsFixture::TearDown();
  }
  TButton* AddButton(TWinControl* parent, const std::string& name, int left) {
    auto* button = Create<TButton>(parent);
    button->SetName(name);
    button->SetParent(parent);
    button->SetBounds(left, 80, 60, 25);
    button->OnClick = TNotifyEvent(recorder, &TRecorder::Clicked);
    return button;
  }
  TEdit* AddEdit(TWinControl* parent) {
    auto* edit = Create<TEdit>(parent);
    edit->SetParent(parent);
    edit->SetBounds(8, 8, 100, 21);
    edit->OnChange = TNotifyEvent(recorder, &TRecorder::Changed);
    edit->OnKeyPress = TKeyPressEvent(recorder, &TRecorder::Pressed);
    return edit;
  }
  static void Key(TWinControl* control, int qtKey, const std::string& text) {
    QWidget* widget = kt::HostedWidget(control);
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, QString::fromStdString(text));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, QString::fromStdString(text));
    QCoreApplication::sendEvent(widget, &release);
  }

  TRecorder* recorder = nullptr;
};

TEST_F(ExtStdCtrlsTest, ShowModalRunsUntilAResultAlsoFromAMousePress) {
  auto* dialog = Create<TForm>(form);
  dialog->SetBounds(300, 200, 200, 120);
  TButton* ok = AddButton(dialog, "ok", 8);
  ok->SetModalResult(mrOk);
  form->Show();

  // A result set by a button's click ends the loop with it.
  QTimer::singleShot(0, [ok] { ok->Click(); });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_FALSE(dialog->Visible());
  // Closed without a result: cancelled.
  QTimer::singleShot(0, [dialog] { dialog->Close(); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);

  // Started inside a mouse handler of the form (the nested loop takes the
  // release meanwhile).
  auto* opener = Create<TOpener>(form);
  opener->target = dialog;
  opener->button = ok;
  form->OnMouseDown = TMouseEvent(opener, &TOpener::Down);
  EXPECT_TRUE(kt::Click(At(form, 150, 20)));
  EXPECT_EQ(opener->result, mrOk);
}

TEST_F(ExtStdCtrlsTest, TheModalHookAnswersWithoutALoop) {
  auto* dialog = Create<TForm>(form);
  TForm* asked = nullptr;
  kt::SetModalFormAnswerer([&](TForm* f) {
    asked = f;
    return static_cast<int>(mrCancel);
  });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(asked, dialog);
  EXPECT_FALSE(dialog->Visible());
}

TEST_F(ExtStdCtrlsTest, EnterAndEscPressTheDefaultAndCancelButtons) {
  form->Show();
  TEdit* edit = AddEdit(form);
  TButton* yes = AddButton(form, "yes", 8);
  TButton* no = AddButton(form, "no", 80);
  struct Case {
    bool isDefault;
    bool isCancel;
    int key;
    std::string text;
    std::string log;
  };
  const Case cases[] = {
      {true, true, Qt::Key_Return, "\r", "click:yes;"},
      {true, true, Qt::Key_Escape, "\x1b", "click:no;"},
      {false, false, Qt::Key_Return, "\r", "key:CR;"},  // no default: the edit has it
      {false, false, Qt::Key_Escape, "\x1b", "key:ESC;"},
  };
  for (const Case& c : cases) {
    yes->SetDefault(c.isDefault);
    no->SetCancel(c.isCancel);
    recorder->log.clear();
    Key(edit, c.key, c.text);
    EXPECT_EQ(recorder->log, c.log) << c.text;
  }
  // A disabled default button presses nothing.
  yes->SetDefault(true);
  yes->SetEnabled(false);
  recorder->log.clear();
  Key(edit, Qt::Key_Return, "\r");
  EXPECT_EQ(recorder->log, "key:CR;");
}

TEST_F(ExtStdCtrlsTest, TheEditTypesSelectsAndInsertsAtTheCaret) {
  form->Show();
  TEdit* edit = AddEdit(form);
  auto* line = static_cast<QLineEdit*>(kt::HostedWidget(edit));
  ASSERT_NE(line, nullptr);
  line->setText("abc");
  EXPECT_EQ(edit->Text(), "abc");
  EXPECT_EQ(recorder->log, "change;");
  // A key the handler swallows never reaches the hosted edit.
  recorder->log.clear();
  Key(edit, Qt::Key_X, "x");
  EXPECT_EQ(edit->Text(), "abc");
  Key(edit, Qt::Key_D, "d");
  EXPECT_EQ(edit->Text(), "abcd");
  EXPECT_EQ(recorder->log, "key:x;key:d;change;");
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  EXPECT_EQ(edit->SelText(), "bc");
  edit->SetSelText("%X");
  EXPECT_EQ(edit->Text(), "a%Xd");
  EXPECT_EQ(edit->SelStart(), 3);
  edit->SelectAll();
  EXPECT_EQ(edit->SelLength(), 4);
}

TEST_F(ExtStdCtrlsTest, TheCheckListTellsTheUsersTicksOnly) {
  form->Show();
  auto* list = Create<TCheckListBox>(form);
  list->SetParent(form);
  list->SetBounds(8, 8, 120, 80);
  list->OnClickCheck = TNotifyEvent(recorder, &TRecorder::Changed);
  list->Items()->Add("one");
  list->Items()->Add("two");
  list->SetChecked(1, true);
  EXPECT_EQ(recorder->log, "");
  auto* widget = static_cast<QListWidget*>(kt::HostedWidget(list));
  EXPECT_EQ(widget->item(1)->checkState(), Qt::Checked);
  widget->item(0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(list->Checked(0));
  EXPECT_EQ(recorder->log, "change;");
  const QRect second = widget->visualItemRect(widget->item(1));
  const QPoint inList = widget->viewport()->mapTo(widget, second.center());
  EXPECT_EQ(list->ItemAtPos(TPoint{inList.x(), inList.y()}, true), 1);
  EXPECT_EQ(list->ItemAtPos(TPoint{inList.x(), 79}, true), -1);
  EXPECT_EQ(list->ItemAtPos(TPoint{inList.x(), 79}, false), 2);
  list->Items()->Delete(0);
  EXPECT_TRUE(list->Checked(0));  // "two" kept its tick
}

TEST_F(ExtStdCtrlsTest, PagesMadeAtRunTimeAndAFormInsideASheet) {
  form->SetBounds(40, 30, 300, 200);
  form->Show();
  auto* pages = Create<TPageControl>(form);
  pages->SetParent(form);
  pages->SetAlign(alClient);
  pages->OnChange = TNotifyEvent(recorder, &TRecorder::Changed);
  TTabSheet* sheets[2];
  for (int i = 0; i < 2; ++i) {
    sheets[i] = Create<TTabSheet>(form);
    sheets[i]->SetCaption(i == 0 ? "First" : "Second");
    sheets[i]->SetPageControl(pages);
  }
  EXPECT_EQ(pages->ActivePageIndex(), 0);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_FALSE(sheets[1]->Visible());
  EXPECT_EQ(sheets[1]->Width(), sheets[0]->Width());
  auto* inner = Create<TForm>(form);
  inner->SetBorderStyle(TFormBorderStyle::bsNone);
  inner->SetParent(sheets[1]);
  inner->SetAlign(alClient);
  inner->Show();
  EXPECT_EQ(inner->Width(), sheets[1]->Width());
  EXPECT_EQ(inner->Height(), sheets[1]->Height());

  pages->SetActivePageIndex(1);
  EXPECT_EQ(recorder->log, "");  // from code: no event
  EXPECT_TRUE(sheets[1]->Visible());
  QTabBar* tabs = kt::HostedWidget(pages)->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->tabText(1).toStdString(), "Second");
  tabs->setCurrentIndex(0);  // as the user's click
  EXPECT_EQ(pages->ActivePageIndex(), 0);
  EXPECT_FALSE(sheets[1]->Visible());
  EXPECT_EQ(recorder->log, "change;");
}

TEST_F(ExtStdCtrlsTest, TheUpDownStepsItsEditInsideItsRange) {
  form->Show();
  TEdit* edit = AddEdit(form);
  auto* updown = Create<TUpDown>(form);
  updown->SetParent(form);
  updown->SetMin(1);
  updown->SetMax(500);
  updown->SetAssociate(edit);
  EXPECT_EQ(updown->Left(), edit->Left() + edit->Width());
  EXPECT_EQ(updown->Height(), edit->Height());
  struct Case {
    std::string shown;
    int step;
    std::string after;
  };
  const Case cases[] = {{"5", 1, "6"}, {"500", 1, "500"}, {"1", -1, "1"}, {"", 1, "2"}};
  for (const Case& c : cases) {
    edit->SetText(c.shown);
    updown->Step(c.step);
    EXPECT_EQ(edit->Text(), c.after) << c.shown;
  }
}

// Beside an edit at the far right of the range the up-down's left edge
// saturates (kMax - 5 + 30 does not fit); an edit at the far left leaves it
// exact.
TEST_F(ExtStdCtrlsTest, TheUpDownBesideAnEditAtTheEndsOfTheRange) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  form->Show();
  TEdit* edit = AddEdit(form);
  auto* updown = Create<TUpDown>(form);
  updown->SetParent(form);
  const struct {
    TPoint at;
    int expectedLeft;
  } cases[] = {{{kMax - 5, 10}, kMax}, {{kMin, kMax - 30}, kMin + 30}};
  for (const auto& c : cases) {
    edit->SetBounds(c.at.X, c.at.Y, 30, 20);
    updown->SetAssociate(nullptr);
    updown->SetAssociate(edit);
    EXPECT_EQ(updown->Left(), c.expectedLeft);
    EXPECT_EQ(updown->Top(), c.at.Y);
    EXPECT_EQ(edit->BoundsRect(), Bounds(c.at.X, c.at.Y, 30, 20)) << "the edit stays put";
  }
}

TEST_F(ExtStdCtrlsTest, TheHookAnswersTheColourAndFontDialogs) {
  auto* color = Create<TColorDialog>(form);
  auto* font = Create<TFontDialog>(form);
  kt::SetDialogAnswerer([](kt::DialogKind kind, TCommonDialog* dialog) {
    if (kind == kt::DialogKind::Color)
      static_cast<TColorDialog*>(dialog)->SetColor(0x00FF00);
    else if (kind == kt::DialogKind::Font)
      static_cast<TFontDialog*>(dialog)->Font()->SetName("Arial");
    return kt::DialogAnswer{kind == kt::DialogKind::Color, ""};
  });
  EXPECT_TRUE(color->Execute());
  EXPECT_EQ(color->Color(), 0x00FF00);
  EXPECT_FALSE(font->Execute());
}

}  // namespace
