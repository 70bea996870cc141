// The main window's menus as its stored description holds them, on a test
// form that reads the same menus, styler and actions: what loads, the
// "Fichier" drop-down on the screen, and navigation by synthetic input. Last,
// "Quitter" on the real main window ends the program's loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/MainForm.h"
#include "app/MainFormDescription.h"
#include "app/ProgramUnits.h"
#include "controls/StyMenuStylers.h"
#include "controls/StyMenus.h"
#include "platform/classes/ActnList.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/com/ScriptedAudioRecord.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/MenuTracker.h"
#include "platform/forms/MenuWindows.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Canvas.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "tests/harness/StartOnce.h"

namespace {

using kestrune::testing::Click;
using kestrune::testing::MouseAction;
using kestrune::testing::SendKey;
using kestrune::testing::SendMouse;

// A form that reads the main window's menus, styler and actions, and
// counts what its handlers see.
class TMenusTestForm : public TForm {
  KESTRUNE_CLASS(TMenusTestForm, TForm)
  explicit TMenusTestForm(TComponent* owner) : TForm(owner) {}
  int closes = 0;
  int queries = 0;
  void ActAppCloseExecute(TObject*) {
    ++closes;
    Close();
  }
  void FormCloseQuery(TObject*, bool&) { ++queries; }
};

// The block of the main window's description that holds the component
// `name` (its object line to its end line, at the first nesting level).
std::string Block(std::string_view text, const std::string& name) {
  const size_t start = text.find("\n  object " + name + ": ");
  EXPECT_NE(start, std::string_view::npos) << name;
  const size_t end = text.find("\n  end\n", start);
  return std::string(text.substr(start + 1, end + 7 - start - 1));
}

void StartUnits() {
  kestrune::test_support::StartOnce([] {
    StartProgramUnits();
    const std::string_view main = MainFormDescription();
    static const std::string text =
        "object fmMenus: TMenusTestForm\n"
        "  Left = 60\n"
        "  Top = 40\n"
        "  BorderStyle = bsSingle\n"
        "  Caption = \"Menus\"\n"
        "  ClientHeight = 385\n"
        "  ClientWidth = 665\n"
        "  Menu = StyMainMenu1\n"
        "  OnCloseQuery = FormCloseQuery\n" +
        Block(main, "ActionList1") + Block(main, "StyMainMenu1") + Block(main, "StyPopupMenu1") +
        Block(main, "StyMenuOfficeStyler1") + "end\n";
    RegisterClass<TMenusTestForm>()
        .Method("ActAppCloseExecute", &TMenusTestForm::ActAppCloseExecute)
        .Method("FormCloseQuery", &TMenusTestForm::FormCloseQuery);
    RegisterComponentDescription("TMenusTestForm", text);
  });
}

// How many drop-down windows show on the screen.
int ShownDropDowns() {
  int shown = 0;
  for (QWidget* top : QApplication::topLevelWidgets())
    shown += top->isVisible() && (top->windowFlags() & Qt::ToolTip) == Qt::ToolTip;
  return shown;
}

TColor PixelOf(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return static_cast<TColor>(qRed(p) | (qGreen(p) << 8) | (qBlue(p) << 16));
}

class MainFormMenus : public ::testing::Test {
 protected:
  void SetUp() override {
    StartUnits();
    form_ = Create<TMenusTestForm>(nullptr);
    menu_ = dynamic_cast<TStyMainMenu*>(form_->FindComponent("StyMainMenu1"));
    popup_ = dynamic_cast<TStyPopupMenu*>(form_->FindComponent("StyPopupMenu1"));
    styler_ = dynamic_cast<TStyMenuOfficeStyler*>(form_->FindComponent("StyMenuOfficeStyler1"));
    ASSERT_NE(menu_, nullptr);
    ASSERT_NE(popup_, nullptr);
    ASSERT_NE(styler_, nullptr);
    file_ = menu_->Items()->Items(0);
    help_ = menu_->Items()->Items(1);
    form_->Show();
  }
  void TearDown() override { FreeAndNil(form_); }

  TMenuTracker* Tracker() const { return form_->MenuTracker(); }
  TPoint Root(int index) const {
    const TRect r = Tracker()->RootRect(index);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  TPoint ItemAt(int level, int index) const {
    TMenuDropDown* w = Tracker()->Window(level);
    const TRect r = w->ItemRect(index);
    return {w->BoundsRect().Left + (r.Left + r.Right) / 2,
            w->BoundsRect().Top + (r.Top + r.Bottom) / 2};
  }

  TMenusTestForm* form_ = nullptr;
  TStyMainMenu* menu_ = nullptr;
  TStyPopupMenu* popup_ = nullptr;
  TStyMenuOfficeStyler* styler_ = nullptr;
  TMenuItem* file_ = nullptr;
  TMenuItem* help_ = nullptr;
};

TEST_F(MainFormMenus, TheStoredMenusStylerAndActionsLoad) {
  EXPECT_EQ(form_->Menu(), menu_);
  const struct {
    TMenuItem* root;
    const char* caption;
    std::vector<std::pair<std::string, std::string>> items;  // caption, action
  } roots[] = {
      {file_, "Fichier", {{"-", ""}, {"Quitter", "ActAppClose"}}},
      {help_,
       "Aide",
       {{"Index de l'aide", "ActAppHelpIndex"},
        {"Lisez-moi", "ActAppReadme"},
        {"A propos...", "ActAppAbout"}}},
  };
  ASSERT_EQ(menu_->Items()->Count(), 2);
  for (const auto& r : roots) {
    EXPECT_EQ(r.root->Caption(), r.caption);
    ASSERT_EQ(r.root->Count(), static_cast<int>(r.items.size())) << r.caption;
    for (int i = 0; i < r.root->Count(); ++i) {
      TMenuItem* item = r.root->Items(i);
      EXPECT_EQ(item->Caption(), r.items[static_cast<size_t>(i)].first);
      const std::string action = item->Action() != nullptr ? item->Action()->Name() : "";
      EXPECT_EQ(action, r.items[static_cast<size_t>(i)].second);
    }
  }
  // Only "Quitter" has a handler.
  for (const char* name : {"ActAppHelpIndex", "ActAppReadme", "ActAppAbout"})
    EXPECT_FALSE(dynamic_cast<TAction*>(form_->FindComponent(name))->OnExecute.Assigned()) << name;
  EXPECT_TRUE(dynamic_cast<TAction*>(form_->FindComponent("ActAppClose"))->OnExecute.Assigned());
  EXPECT_EQ(popup_->Items()->Count(), 0);

  // One styler for both menus, as the window stores it.
  EXPECT_EQ(menu_->MenuStylerInUse(), styler_);
  EXPECT_EQ(popup_->MenuStylerInUse(), styler_);
  EXPECT_EQ(menu_->FindComponent("InternalMenuStyler"), nullptr);
  EXPECT_EQ(styler_->Style(), osOffice2003Blue);
  EXPECT_FALSE(styler_->AutoThemeAdapt());
  EXPECT_EQ(styler_->AntiAlias(), TAntiAlias::aaNone);
  EXPECT_TRUE(styler_->UseSystemFont());
  EXPECT_EQ(styler_->MenuBorderColor(), 0x962D00);
  for (TFont* font : {styler_->Font(), styler_->RootItem()->Font(), styler_->SelectedItem()->Font(),
                      styler_->ButtonAppearance()->CaptionFont()}) {
    EXPECT_EQ(font->Name(), "Tahoma");
    EXPECT_EQ(font->Height(), -11);
  }
  EXPECT_EQ(styler_->NotesFont()->Height(), -8);
  EXPECT_EQ(styler_->NotesFont()->Color(), 0x808080);
  EXPECT_EQ(styler_->SelectedItem()->NotesFont()->Height(), -8);

  // The bar above the client area, which keeps the stored size.
  EXPECT_EQ(form_->MenuBarHeight(), MenuBarItemSize().cy);
  EXPECT_EQ(form_->ClientWidth(), 665);
  EXPECT_EQ(form_->ClientHeight(), 385);
  EXPECT_EQ(kestrune::testing::RenderWindow(form_).size(), QSize(665, 385 + 19));
}

TEST_F(MainFormMenus, TheStoredMenusLoadOntoTheStyler) {
  // The external styler replaced the private ones; both menus read it.
  EXPECT_EQ(menu_->FindComponent("InternalMenuStyler"), nullptr);
  EXPECT_EQ(popup_->FindComponent("InternalMenuStyler"), nullptr);
  EXPECT_TRUE(menu_->OwnerDraw());
  EXPECT_EQ(styler_->RootItem()->Color(), 0xF5BE9E);
  // Loaded put the handlers on every item: the items measure styled.
  TMenuItem* quit = file_->Items(1);
  EXPECT_EQ(quit->Caption(), "Quitter");
  EXPECT_TRUE(quit->OnMeasureItem.Assigned());
  EXPECT_TRUE(quit->OnAdvancedDrawItem.Assigned());
  menu_->Rebuild();
  EXPECT_EQ(file_->Items(0)->ItemSize(), (TSize{-2, 3}));
  TCanvas* canvas = Create<TCanvas>();
  canvas->Font()->Assign(Screen->MenuFont());
  const int quitWidth = canvas->TextExtent("Quitter").cx;
  canvas->Free();
  EXPECT_EQ(quit->ItemSize().cx, 24 + 15 + quitWidth + 7 + 17);
  // The empty popup menu opens nothing.
  popup_->Popup(10, 10);
  EXPECT_EQ(popup_->PopupWindow(), nullptr);
  // Written back: the version, the forced owner drawing and the menus'
  // own stylers are not stored; the preset's colours are.
  const std::string written = WriteComponentToText(form_);
  for (const char* absent : {"Version", "OwnerDraw", "InternalMenuStyler", "ShowNotes"})
    EXPECT_EQ(written.find(absent), std::string::npos) << absent << "\n" << written;
  EXPECT_NE(written.find("RootItem.Color = 16105118"), std::string::npos) << written;
}

TEST_F(MainFormMenus, TheFileDropDownOnTheScreen) {
  ASSERT_TRUE(Click(Root(0)));
  ASSERT_EQ(Tracker()->WindowCount(), 1);
  TMenuDropDown* window = Tracker()->Window(1);
  const TRect root = Tracker()->RootRect(0);
  const TRect b = window->BoundsRect();
  const int w = b.Width();
  const int h = b.Height();
  TMenuItem* separator = file_->Items(0);
  TMenuItem* quit = file_->Items(1);
  // The widest item and the sum of the heights inside a 3-pixel border,
  // joined to the bar: 1 left, 2 up from under the root item.
  EXPECT_EQ(w, quit->ItemSize().cx + 6);
  EXPECT_EQ(h, separator->ItemSize().cy + quit->ItemSize().cy + 6);
  EXPECT_EQ(b.TopLeft(), (TPoint{root.Left - 1, root.Bottom - 2}));
  // On the screen: the window there, and only the region shows (1 pixel
  // in, and the 17-pixel pad cut on the right).
  QWidget* shown = window->ScreenWindow();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_EQ(shown->geometry(), QRect(b.Left, b.Top, w, h));
  EXPECT_EQ(shown->mask(), QRegion(1, 1, w - 19, h - 2));
  EXPECT_EQ(ShownDropDowns(), 1);

  const QImage image = window->Image();
  const TColor border = 0x962D00;
  const TColor back = 0xF6F6F6;
  const int mid = h / 2;
  // The frame on the region's edge in the border colour, the inner frame in
  // the background colour: nothing else of the pad shows.
  for (TPoint p : {TPoint{1, mid}, TPoint{w - 19, mid}, TPoint{w / 2, h - 2}})
    EXPECT_EQ(PixelOf(image, p.X, p.Y), border) << p.X << "," << p.Y;
  for (TPoint p : {TPoint{2, mid}, TPoint{w - 20, mid}, TPoint{w / 2, h - 3}})
    EXPECT_EQ(PixelOf(image, p.X, p.Y), back) << p.X << "," << p.Y;
  // The top edge is open under the root item, framed beside it.
  const int rootLeft = root.Left - b.Left;
  const int rootRight = root.Right - b.Left;
  EXPECT_EQ(PixelOf(image, rootLeft + 1, 1), back);
  EXPECT_EQ(PixelOf(image, rootRight - 2, 1), back);
  EXPECT_EQ(PixelOf(image, rootRight, 1), border);
  // The icon bar: one horizontal gradient from the items' left edge, the
  // same in every row of both items.
  auto iconAt = [](int x) {
    const COLORREF s = 0xFFEFE3, e = 0xE4AD87;
    auto ch = [&](int shift) {
      const int from = (s >> shift) & 0xFF, to = (e >> shift) & 0xFF;
      return static_cast<COLORREF>(from + (to - from) * x / 24) << shift;
    };
    return static_cast<TColor>(ch(0) | ch(8) | ch(16));
  };
  const TRect sepRect = window->ItemRect(0);
  const TRect quitRect = window->ItemRect(1);
  for (int y = sepRect.Top; y < quitRect.Bottom; ++y) {
    for (int x : {0, 12, 23})
      ASSERT_EQ(PixelOf(image, sepRect.Left + x, y), iconAt(x)) << x << "," << y;
  }
  // The separator: one row in its item's middle, from the icon bar's end +
  // the margin of 2 to the content's end - 2.
  const int row = sepRect.Top + sepRect.Height() / 2;
  const int lineLeft = sepRect.Left + 24 + 2;
  const int lineRight = sepRect.Right - 17 - 2;
  EXPECT_EQ(PixelOf(image, lineLeft, row), 0xCB8C6A);
  EXPECT_EQ(PixelOf(image, lineRight - 1, row), 0xCB8C6A);
  EXPECT_EQ(PixelOf(image, lineLeft - 1, row), back);
  EXPECT_EQ(PixelOf(image, lineRight, row), back);
  EXPECT_EQ(PixelOf(image, lineLeft + 5, row - 1), back);
  EXPECT_EQ(PixelOf(image, lineLeft + 5, row + 1), back);

  // In the bar, the selected root item is framed and open at its bottom.
  const QImage bar = kestrune::testing::RenderWindow(form_);
  EXPECT_EQ(PixelOf(bar, 0, 5), border);
  EXPECT_EQ(PixelOf(bar, 5, form_->MenuBarHeight() - 1), back);
}

TEST_F(MainFormMenus, NavigationBySyntheticInput) {
  // "Fichier" then "Quitter": its action runs once (the close query with
  // it); everything closes.
  Click(Root(0));
  Click(ItemAt(1, 1));
  EXPECT_EQ(form_->closes, 1);
  EXPECT_EQ(form_->queries, 1);
  EXPECT_EQ(Tracker()->WindowCount(), 0);
  EXPECT_EQ(ShownDropDowns(), 0);
  form_->Show();

  // Hovering "Aide" while "Fichier" is open switches drop-downs; Esc
  // closes one level, then leaves the bar.
  Click(Root(0));
  SendMouse(MouseAction::Move, Root(1));
  ASSERT_EQ(Tracker()->WindowCount(), 1);
  EXPECT_EQ(Tracker()->Window(1)->ParentItem(), help_);
  SendKey(form_, Qt::Key_Escape, "\x1b");
  EXPECT_EQ(Tracker()->WindowCount(), 0);
  EXPECT_EQ(Tracker()->BarSelection(), 1);
  SendKey(form_, Qt::Key_Escape, "\x1b");
  EXPECT_FALSE(Tracker()->Active());

  // F10, the arrows and Enter reach the same item.
  SendKey(form_, Qt::Key_F10, "");
  SendKey(form_, Qt::Key_Right, "");
  SendKey(form_, Qt::Key_Left, "");
  SendKey(form_, Qt::Key_Down, "");
  ASSERT_EQ(Tracker()->WindowCount(), 1);
  EXPECT_EQ(Tracker()->Selection(1), 1);  // past the separator
  SendKey(form_, Qt::Key_Up, "");         // wraps past it again
  EXPECT_EQ(Tracker()->Selection(1), 1);
  SendKey(form_, Qt::Key_Return, "\r");
  EXPECT_EQ(form_->closes, 2);
  form_->Show();

  // The entries whose actions have no handler close the menu and do
  // nothing else; the separator does not even close it.
  for (int i = 0; i < 3; ++i) {
    Click(Root(1));
    Click(ItemAt(1, i));
    EXPECT_EQ(Tracker()->WindowCount(), 0) << i;
  }
  Click(Root(0));
  Click(ItemAt(1, 0));
  EXPECT_EQ(Tracker()->WindowCount(), 1);
  Tracker()->Cancel();
  EXPECT_EQ(form_->closes, 2);
  EXPECT_EQ(form_->queries, 2);
  EXPECT_TRUE(form_->Visible());

  // The empty popup menu shows no window.
  popup_->Popup(200, 150);
  EXPECT_EQ(popup_->PopupWindow(), nullptr);
  EXPECT_EQ(MenuWindowAt({205, 155}), nullptr);
  EXPECT_EQ(ShownDropDowns(), 0);
}

// "Quitter" on the program's main window: its close query runs and the
// loop is told to end. Last: the application stays terminated.
TEST(MainWindowMenus, QuitterClosesTheMainWindowAndEndsTheLoop) {
  StartUnits();
  kestrune::ScriptedDeviceScript micro;
  micro.name = "Micro";
  kestrune::SetWaveInBackend(std::make_shared<kestrune::ScriptedWaveInBackend>(
      std::vector<kestrune::ScriptedDeviceScript>{micro}));
  IPtr<kestrune::TScriptedAudioRecord> control;
  const kestrune::AudioRecordFactory previous =
      kestrune::InstallScriptedAudioRecord({{{"Micro", {"Capture"}}}, {}}, &control, S_OK);
  closing = false;
  TfmMain* main = nullptr;
  Application->CreateForm(main);
  ASSERT_EQ(Application->MainForm(), main);
  EXPECT_EQ(main->Menu(), main->StyMainMenu1);
  EXPECT_EQ(main->ClientHeight(), 385);
  main->Show();
  TMenuTracker* tracker = main->MenuTracker();
  ASSERT_NE(tracker, nullptr);
  const TRect root = tracker->RootRect(0);
  Click({root.Left + 2, root.Top + 2});
  ASSERT_EQ(tracker->WindowCount(), 1);
  TMenuDropDown* window = tracker->Window(1);
  const TRect quit = window->ItemRect(1);
  Click({window->BoundsRect().Left + quit.Left + 5, window->BoundsRect().Top + quit.Top + 5});
  EXPECT_TRUE(closing);
  EXPECT_TRUE(Application->Terminated());
  FreeAndNil(main);
  kestrune::MainLoop::Current()->ProcessMessages();
  kestrune::SetWaveInBackend(nullptr);
  kestrune::SetAudioRecordFactory(previous);
}

}  // namespace
