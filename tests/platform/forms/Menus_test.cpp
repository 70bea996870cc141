// The menu layer without windows: shortcut texts and the key-name table,
// mnemonics, clicks through actions and events, shortcut look-up, stored
// descriptions of nested items, owner measuring and the empty popup menu.
#include "platform/forms/Menus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/ClassesUnit.h"
#include "platform/classes/Streaming.h"
#include "platform/forms/Forms.h"
#include "platform/forms/MenuTracker.h"
#include "platform/forms/MenuWindows.h"

namespace {

class Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    ClassesUnit.Initialize();
    FormsUnit.Initialize();
    Application->Initialize();
    RegisterMenuClasses();
  }
  void TearDown() override {
    FormsUnit.Finalize();
    ClassesUnit.Finalize();
  }
};

TEST(MenuTexts, ShortCutText) {
  const struct {
    TShortCut shortCut;
    const char* text;
  } rows[] = {
      {ShortCut('Q', scCtrl), "Ctrl+Q"},
      {ShortCut('A', 0), "A"},
      {ShortCut('7', scAlt), "Alt+7"},
      {ShortCut(0x74, scShift), "Shift+F5"},
      {ShortCut('S', scShift | scCtrl | scAlt), "Shift+Ctrl+Alt+S"},
      {ShortCut(0x0D, scCtrl), "Ctrl+Enter"},
      {ShortCut(0x21, scAlt), "Alt+Page up"},
      {ShortCut(0x6F, scCtrl), "Ctrl+/ (Num)"},
      {ShortCut(0x2E, 0), "Delete"},
      {ShortCut(0x87, 0), "F24"},
      // The Windows-key flag is the caller's to show.
      {ShortCut('E', scWin), "E"},
      // No key, or a key without a name: no text.
      {0, ""},
      {ShortCut(0x07, scCtrl), ""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ShortCutToText(r.shortCut), r.text) << std::hex << r.shortCut;
}

TEST(MenuTexts, KeyNamesAndRecasing) {
  EXPECT_EQ(KeyNameText(0x11), "CTRL");
  EXPECT_EQ(KeyNameText(0x10), "SHIFT");
  EXPECT_EQ(KeyNameText(0x12), "ALT");
  EXPECT_EQ(KeyNameText('Z'), "Z");
  EXPECT_EQ(KeyNameText(0xFF), "");
  const struct {
    const char* name;
    const char* recased;
  } rows[] = {
      {"PAGE UP", "Page up"}, {"/ (NUM)", "/ (Num)"}, {"a", "A"}, {"(NUM) X", "(Num) x"}, {"", ""},
      {"F10", "F10"}};
  for (const auto& r : rows)
    EXPECT_EQ(RecaseKeyName(r.name), r.recased) << r.name;
}

TEST(MenuTexts, Mnemonics) {
  const struct {
    const char* caption;
    const char* stripped;
    char mnemonic;
  } rows[] = {
      {"&Fichier", "Fichier", 'F'},          {"A &propos...", "A propos...", 'P'},
      {"Save && &quit", "Save & quit", 'Q'}, {"Plain", "Plain", 0},
      {"Trailing&", "Trailing", 0},          {"&&Only", "&Only", 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(StripHotkey(r.caption), r.stripped) << r.caption;
    EXPECT_EQ(MnemonicOf(r.caption), r.mnemonic) << r.caption;
  }
}

struct Counter : TObject {
  int clicks = 0;
  int executes = 0;
  void Click(TObject*) { ++clicks; }
  void Execute(TObject*) { ++executes; }
};

TEST_F(Menus, ClickRunsTheActionOrTheEventOnce) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TMainMenu>(owner);
  auto* file = Create<TMenuItem>(owner);
  auto* quit = Create<TMenuItem>(owner);
  auto* other = Create<TMenuItem>(owner);
  auto* bare = Create<TMenuItem>(owner);
  menu->Items()->Add(file);
  file->Add(quit);
  file->Add(other);
  file->Add(bare);
  Counter counter;
  auto* action = Create<TAction>(owner);
  action->SetCaption("Quitter");
  action->OnExecute = TNotifyEvent(&counter, &Counter::Execute);
  quit->SetAction(action);
  // An action's click event is not the item's: OnClick is left unrun.
  quit->OnClick = TNotifyEvent(&counter, &Counter::Click);
  other->OnClick = TNotifyEvent(&counter, &Counter::Click);

  EXPECT_EQ(quit->Caption(), "Quitter");
  EXPECT_EQ(quit->GetParentMenu(), menu);
  EXPECT_EQ(quit->Level(), 2);
  quit->Click();
  EXPECT_EQ(counter.executes, 1);
  EXPECT_EQ(counter.clicks, 0);
  other->Click();
  EXPECT_EQ(counter.clicks, 1);
  bare->Click();  // nothing to run
  EXPECT_EQ(counter.executes + counter.clicks, 2);
  // Disabled through the action, or on the item itself: nothing runs.
  action->SetEnabled(false);
  other->SetEnabled(false);
  quit->Click();
  other->Click();
  EXPECT_EQ(counter.executes + counter.clicks, 2);
  // The action goes: the item falls back on its own values.
  action->Free();
  EXPECT_EQ(quit->Action(), nullptr);
  EXPECT_EQ(quit->Caption(), "");
  owner->Free();
}

TEST_F(Menus, ShortCutsFindVisibleEnabledItemsAtAnyDepth) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TMainMenu>(owner);
  auto* top = Create<TMenuItem>(owner);
  auto* sub = Create<TMenuItem>(owner);
  auto* deep = Create<TMenuItem>(owner);
  auto* hidden = Create<TMenuItem>(owner);
  menu->Items()->Add(top);
  top->Add(sub);
  sub->Add(hidden);
  sub->Add(deep);
  Counter counter;
  deep->OnClick = TNotifyEvent(&counter, &Counter::Click);
  hidden->OnClick = TNotifyEvent(&counter, &Counter::Click);
  hidden->SetShortCut(ShortCut('Q', scCtrl));
  hidden->SetVisible(false);
  deep->SetShortCut(ShortCut('Q', scCtrl));
  EXPECT_EQ(menu->FindItemByShortCut(ShortCut('Q', scCtrl)), deep);
  EXPECT_TRUE(menu->IsShortCut(ShortCut('Q', scCtrl)));
  EXPECT_EQ(counter.clicks, 1);
  EXPECT_FALSE(menu->IsShortCut(ShortCut('Q', scAlt)));
  EXPECT_FALSE(menu->IsShortCut(0));
  deep->SetEnabled(false);
  EXPECT_EQ(menu->FindItemByShortCut(ShortCut('Q', scCtrl)), nullptr);
  // Freeing an item takes it out of its parent.
  deep->Free();
  EXPECT_EQ(sub->Count(), 1);
  owner->Free();
}

TEST_F(Menus, ItemsCannotBeInsertedTwice) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TPopupMenu>(owner);
  auto* item = Create<TMenuItem>(owner);
  menu->Items()->Add(item);
  EXPECT_THROW(menu->Items()->Add(item), EInvalidOperation);
  EXPECT_THROW(item->Add(item), EInvalidOperation);
  EXPECT_THROW(item->Add(menu->Items()), EInvalidOperation);
  EXPECT_THROW(menu->Items()->Items(1), EListError);
  EXPECT_EQ(menu->Items()->Count(), 1);
  owner->Free();
}

TEST_F(Menus, DescriptionsNestItemsUnderTheirParents) {
  constexpr const char* kText = R"(object Root1: TComponent
  object Menu1: TMainMenu
    object Fichier1: TMenuItem
      Caption = "&Fichier"
      object N1: TMenuItem
        Caption = "-"
      end
      object Quitter1: TMenuItem
        Caption = "Quitter"
        ShortCut = 16465
      end
    end
    object Aide1: TMenuItem
      Caption = "Aide"
    end
  end
end
)";
  TComponent* root = CreateComponentFromText(kText, nullptr);
  auto* menu = dynamic_cast<TMainMenu*>(root->FindComponent("Menu1"));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->Items()->Count(), 2);
  TMenuItem* file = menu->Items()->Items(0);
  EXPECT_EQ(file->Name(), "Fichier1");
  ASSERT_EQ(file->Count(), 2);
  EXPECT_TRUE(file->Items(0)->IsLine());
  EXPECT_EQ(ShortCutToText(file->Items(1)->ShortCut()), "Ctrl+Q");
  EXPECT_EQ(WriteComponentToText(root), kText);
  root->Free();
}

struct Measurer : TObject {
  int calls = 0;
  void Measure(TObject*, TCanvas*, int& width, int& height) {
    ++calls;
    width += 100;
    height = 2 * height;
  }
};

TEST_F(Menus, OwnerDrawMeasuresFromThePlainSize) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TMainMenu>(owner);
  auto* root = Create<TMenuItem>(owner);
  auto* item = Create<TMenuItem>(owner);
  auto* line = Create<TMenuItem>(owner);
  root->SetCaption("&Fichier");
  item->SetCaption("Quitter");
  line->SetCaption("-");
  menu->Items()->Add(root);
  root->Add(line);
  root->Add(item);
  TCanvas* canvas = Create<TCanvas>();
  canvas->Font()->Assign(Screen->MenuFont());
  const TSize plainRoot = MeasurePlainItem(root, canvas);
  const TSize plainItem = MeasurePlainItem(item, canvas);
  EXPECT_EQ(plainRoot.cy, MenuBarItemSize().cy);
  EXPECT_EQ(plainRoot.cx, canvas->TextWidth("Fichier") + 12);
  EXPECT_EQ(plainItem.cy, canvas->TextHeight("Ag") + 6);
  EXPECT_EQ(MeasurePlainItem(line, canvas).cy, 9);

  Measurer measurer;
  item->OnMeasureItem = TMenuMeasureItemEvent(&measurer, &Measurer::Measure);
  menu->Rebuild();
  EXPECT_EQ(measurer.calls, 0);  // not owner-drawn: the handler is not asked
  EXPECT_EQ(item->ItemSize(), plainItem);
  menu->SetOwnerDraw(true);  // rebuilds
  EXPECT_EQ(measurer.calls, 1);
  EXPECT_EQ(item->ItemSize(), (TSize{plainItem.cx + 100, 2 * plainItem.cy}));
  EXPECT_EQ(root->ItemSize(), plainRoot);
  canvas->Free();
  owner->Free();
}

TEST_F(Menus, PopupWithoutVisibleItemsShowsNothing) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TPopupMenu>(owner);
  menu->Popup(100, 50);
  EXPECT_EQ(menu->PopupPoint(), (TPoint{0, 0}));
  auto* item = Create<TMenuItem>(owner);
  item->SetVisible(false);
  menu->Items()->Add(item);
  menu->Popup(100, 50);
  EXPECT_EQ(menu->PopupPoint(), (TPoint{0, 0}));
  EXPECT_EQ(menu->PopupWindow(), nullptr);
  item->SetVisible(true);
  menu->Popup(100, 50);
  EXPECT_EQ(menu->PopupPoint(), (TPoint{100, 50}));
  ASSERT_NE(menu->PopupWindow(), nullptr);
  EXPECT_EQ(menu->PopupWindow()->BoundsRect().TopLeft(), (TPoint{100, 50}));
  EXPECT_EQ(menu->PopupWindow()->VisibleItems().size(), 1u);
  menu->CloseUp();
  EXPECT_EQ(menu->PopupWindow(), nullptr);
  // An item freed while its window is open leaves the window, which stays
  // drawable.
  auto* second = Create<TMenuItem>(owner);
  menu->Items()->Add(second);
  menu->Popup(10, 10);
  ASSERT_EQ(menu->PopupWindow()->VisibleItems().size(), 2u);
  item->Free();
  EXPECT_EQ(menu->PopupWindow()->VisibleItems().size(), 1u);
  EXPECT_EQ(menu->PopupWindow()->VisibleItems()[0], second);
  menu->PopupWindow()->Paint(0);
  owner->Free();
}

}  // namespace

namespace {

TEST_F(Menus, ColumnBreaksStartColumnsSideBySide) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TPopupMenu>(owner);
  const struct {
    int width, height;
    bool breaks;
  } sizes[] = {{50, 20, false}, {70, 10, false}, {40, 16, true}, {30, 30, false}, {90, 8, true}};
  for (const auto& size : sizes) {
    auto* item = Create<TMenuItem>(owner);
    item->SetBreak(size.breaks);
    menu->Items()->Add(item);
  }
  for (int i = 0; i < 5; ++i)
    menu->Items()->Items(i)->SetItemSize({sizes[i].width, sizes[i].height});
  auto* window = Create<TMenuDropDown>(menu->Items(), 1);
  // Columns {50 x 20, 70 x 10}, {40 x 16, 30 x 30}, {90 x 8} inside the
  // 3-pixel border.
  const TRect expected[] = {
      {3, 3, 73, 23}, {3, 23, 73, 33}, {73, 3, 113, 19}, {73, 19, 113, 49}, {113, 3, 203, 11}};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(window->ItemRect(i), expected[i]) << i;
  EXPECT_EQ(window->BoundsRect().Width(), 3 + 70 + 40 + 90 + 3);
  EXPECT_EQ(window->BoundsRect().Height(), 3 + 46 + 3);
  window->Free();
  owner->Free();
}

TEST_F(Menus, SubMenusOpenBesideTheirParentAfterTheHover) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TMainMenu>(owner);
  auto add = [&](TMenuItem* parent, const char* caption) {
    auto* item = Create<TMenuItem>(owner);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  };
  TMenuItem* root = add(menu->Items(), "&Edit");
  add(root, "Plain");
  TMenuItem* sub = add(root, "&More");
  TMenuItem* leaf = add(sub, "Leaf");
  Counter counter;
  leaf->OnClick = TNotifyEvent(&counter, &Counter::Click);
  menu->Rebuild();
  for (int originX : {0, Screen->Width() - 30}) {
    TMenuTracker tracker(menu, {originX, 0});
    tracker.MouseDown({originX + 2, 2});
    ASSERT_EQ(tracker.WindowCount(), 1);
    TMenuDropDown* first = tracker.Window(1);
    const TRect r = first->ItemRect(1);
    const TPoint over{first->BoundsRect().Left + r.Left + 2, first->BoundsRect().Top + r.Top + 2};
    tracker.MouseMove(over);
    EXPECT_EQ(tracker.Selection(1), 1);
    EXPECT_EQ(tracker.WindowCount(), 1);  // the delay has not run out
    tracker.OpenPendingSubMenu();
    ASSERT_EQ(tracker.WindowCount(), 2);
    TMenuDropDown* second = tracker.Window(2);
    EXPECT_EQ(second->ParentItem(), sub);
    if (originX == 0)
      EXPECT_EQ(second->BoundsRect().Left, first->BoundsRect().Right);
    else  // the screen ends: on the left
      EXPECT_EQ(second->BoundsRect().Right, first->BoundsRect().Left);
    EXPECT_EQ(second->BoundsRect().Top + TMenuDropDown::MenuBorderWidth,
              first->BoundsRect().Top + r.Top);
    // Hovering another item of the first window closes the sub-menu.
    const TRect plain = first->ItemRect(0);
    tracker.MouseMove(
        {first->BoundsRect().Left + plain.Left + 2, first->BoundsRect().Top + plain.Top + 2});
    EXPECT_EQ(tracker.WindowCount(), 1);
    // Right opens it at once on its first item; Enter runs that.
    tracker.KeyDown(VK_DOWN, {});
    tracker.KeyDown(VK_RIGHT, {});
    ASSERT_EQ(tracker.WindowCount(), 2);
    EXPECT_EQ(tracker.Selection(2), 0);
    tracker.KeyDown(VK_LEFT, {});
    EXPECT_EQ(tracker.WindowCount(), 1);
    tracker.KeyDown(VK_RIGHT, {});
    tracker.KeyDown(VK_RETURN, {});
    EXPECT_EQ(tracker.WindowCount(), 0);
  }
  EXPECT_EQ(counter.clicks, 2);
  // The selected item freed while its window is open: Enter finds nothing
  // to run.
  {
    TMenuTracker tracker(menu, {0, 0});
    tracker.KeyDown(0x79, {});
    tracker.KeyDown(VK_DOWN, {});
    tracker.KeyDown(VK_DOWN, {});
    ASSERT_EQ(tracker.Selection(1), 1);
    sub->Free();
    EXPECT_TRUE(tracker.KeyDown(VK_RETURN, {}));
    EXPECT_EQ(tracker.WindowCount(), 1);
  }
  owner->Free();
}

// The keys from a fresh tracker: each row presses its keys in turn, then
// the bar's selection, the open windows and the deepest one's selection
// are as a desktop menu leaves them.
TEST_F(Menus, TheKeysWalkTheBarAndItsDropDowns) {
  auto* owner = Create<TComponent>(nullptr);
  auto* menu = Create<TMainMenu>(owner);
  Counter counter;
  auto add = [&](TMenuItem* parent, const char* caption) {
    auto* item = Create<TMenuItem>(owner);
    item->SetCaption(caption);
    item->OnClick = TNotifyEvent(&counter, &Counter::Click);
    parent->Add(item);
    return item;
  };
  TMenuItem* file = add(menu->Items(), "&File");
  add(file, "&Open");
  add(file, "-");
  add(add(file, "&Recent"), "&Leaf");
  TMenuItem* edit = add(menu->Items(), "&Edit");
  add(edit, "&Copy");
  add(edit, "&Paste");
  add(add(menu->Items(), "&View"), "&Zoom");
  menu->Rebuild();
  constexpr uint16_t kF10 = 0x79;
  struct Key {
    uint16_t key;
    TShiftState shift;
  };
  const struct {
    const char* what;
    std::vector<Key> keys;
    bool taken;     // what the last key returned
    int bar;        // the bar's selection
    int windows;    // how many drop-downs are open
    int selection;  // the deepest drop-down's selection (when one is open)
    int clicks;
  } rows[] = {
      {"F10 selects the bar", {{kF10, {}}}, true, 0, 0, 0, 0},
      {"F10 again leaves it", {{kF10, {}}, {kF10, {}}}, true, -1, 0, 0, 0},
      {"Alt again leaves it", {{VK_MENU, {}}, {VK_MENU, {}}}, true, -1, 0, 0, 0},
      {"Left wraps to the last root", {{kF10, {}}, {VK_LEFT, {}}}, true, 2, 0, 0, 0},
      {"Right wraps to the first root",
       {{kF10, {}}, {VK_RIGHT, {}}, {VK_RIGHT, {}}, {VK_RIGHT, {}}},
       true,
       0,
       0,
       0,
       0},
      {"Enter opens on the first item", {{kF10, {}}, {VK_RETURN, {}}}, true, 0, 1, 0, 0},
      {"Up opens on the first item", {{kF10, {}}, {VK_UP, {}}}, true, 0, 1, 0, 0},
      {"a letter on the bar opens its root", {{kF10, {}}, {'E', {}}}, true, 1, 1, 0, 0},
      {"Esc closes the drop-down, the bar stays",
       {{kF10, {}}, {VK_DOWN, {}}, {VK_ESCAPE, {}}},
       true,
       0,
       0,
       0,
       0},
      {"Esc on the bar leaves it", {{kF10, {}}, {VK_ESCAPE, {}}}, true, -1, 0, 0, 0},
      {"Down skips the separator", {{'F', ssAlt}, {VK_DOWN, {}}}, true, 0, 1, 2, 0},
      {"Up wraps to the last item", {{'F', ssAlt}, {VK_UP, {}}}, true, 0, 1, 2, 0},
      {"Right on a plain item opens the next root",
       {{'F', ssAlt}, {VK_RIGHT, {}}},
       true,
       1,
       1,
       0,
       0},
      {"Left in a first drop-down opens the previous root",
       {{'F', ssAlt}, {VK_LEFT, {}}},
       true,
       2,
       1,
       0,
       0},
      {"Right opens the sub-menu on its first item",
       {{'F', ssAlt}, {VK_UP, {}}, {VK_RIGHT, {}}},
       true,
       0,
       2,
       0,
       0},
      {"Enter opens the sub-menu on its first item",
       {{'F', ssAlt}, {VK_UP, {}}, {VK_RETURN, {}}},
       true,
       0,
       2,
       0,
       0},
      {"Left closes the sub-menu",
       {{'F', ssAlt}, {VK_UP, {}}, {VK_RIGHT, {}}, {VK_LEFT, {}}},
       true,
       0,
       1,
       2,
       0},
      {"Enter runs the sub-menu's item and closes all",
       {{'F', ssAlt}, {VK_UP, {}}, {VK_RIGHT, {}}, {VK_RETURN, {}}},
       true,
       -1,
       0,
       0,
       1},
      {"an item's letter runs it", {{'F', ssAlt}, {'O', {}}}, true, -1, 0, 0, 1},
      {"a letter no item has does nothing", {{'F', ssAlt}, {'X', {}}}, true, 0, 1, 0, 0},
      {"a letter without Alt passes on", {{'F', {}}}, false, -1, 0, 0, 0},
      {"Alt and a letter no root has passes on", {{'X', ssAlt}}, false, -1, 0, 0, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    counter.clicks = 0;
    TMenuTracker tracker(menu, {0, 0});
    bool taken = false;
    for (const Key& k : r.keys)
      taken = tracker.KeyDown(k.key, k.shift);
    EXPECT_EQ(taken, r.taken);
    EXPECT_EQ(tracker.BarSelection(), r.bar);
    ASSERT_EQ(tracker.WindowCount(), r.windows);
    if (r.windows > 0) {
      EXPECT_EQ(tracker.Selection(r.windows), r.selection);
    }
    EXPECT_EQ(counter.clicks, r.clicks);
  }
  owner->Free();
}

}  // namespace

// ---------------------------------------------------------------------------
// The menu on a shown form: the bar above the client area, its drop-down
// windows on the screen, and the form's mouse and keys.

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/StdCtrls.h"
#include "tests/platform/forms/FormsTestSupport.h"

namespace {

using kestrune::testing::Click;
using kestrune::testing::MouseAction;
using kestrune::testing::SendKey;
using kestrune::testing::SendMouse;

class MenuForm : public forms_test::FormsFixture {
 public:
  void SetUp() override {
    FormsFixture::SetUp();
    RegisterMenuClasses();
    menu = Create<TMainMenu>(form);
    file = Add(menu->Items(), "&Fichier");
    Add(file, "-");
    quit = Add(file, "&Quitter");
    quit->OnClick = TNotifyEvent(&counter, &Counter::Click);
    quit->SetShortCut(ShortCut('Q', scCtrl));
    help = Add(menu->Items(), "&Aide");
    Add(help, "Index");
    more = Add(help, "Plus");
    Add(more, "Feuille");
    button = Create<TCheckBox>(form);
    button->SetParent(form);
    button->SetBounds(0, 80, 80, 30);  // below the drop-downs
    form->SetMenu(menu);
    form->Show();
  }

  TMenuItem* Add(TMenuItem* parent, const char* caption) {
    auto* item = Create<TMenuItem>(form);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  }
  QWidget* Frame() const { return kestrune::WinWidget::Of(form)->window(); }
  // The screen point inside root item `index` of the bar.
  TPoint Root(int index) const {
    const TRect r = form->MenuTracker()->RootRect(index);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  TPoint ItemAt(int level, int index) const {
    TMenuDropDown* w = form->MenuTracker()->Window(level);
    const TRect r = w->ItemRect(index);
    return {w->BoundsRect().Left + (r.Left + r.Right) / 2,
            w->BoundsRect().Top + (r.Top + r.Bottom) / 2};
  }
  // How many drop-down windows of ours show on the screen.
  static int ShownDropDowns() {
    int shown = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
      shown += top->isVisible() && (top->windowFlags() & Qt::ToolTip) == Qt::ToolTip;
    return shown;
  }

  Counter counter;  // clicks of "Quitter"
  TMainMenu* menu = nullptr;
  TMenuItem* file = nullptr;
  TMenuItem* quit = nullptr;
  TMenuItem* help = nullptr;
  TMenuItem* more = nullptr;
  TCheckBox* button = nullptr;
};

TEST_F(MenuForm, TheBarLiesAboveTheClientArea) {
  // The client area keeps its size and coordinates; the window grows by
  // the bar, as high as a menu-bar item.
  EXPECT_EQ(form->MenuBarHeight(), MenuBarItemSize().cy);
  EXPECT_EQ(form->ClientWidth(), 200);
  EXPECT_EQ(form->ClientHeight(), 120);
  EXPECT_EQ(Frame()->size(), QSize(200, 120 + 19));
  const QPoint frameOrigin = Frame()->mapToGlobal(QPoint(0, 0));
  EXPECT_EQ(form->ClientToScreen({0, 0}), (TPoint{frameOrigin.x(), frameOrigin.y() + 19}));
  EXPECT_EQ(form->MenuTracker()->RootRect(0).TopLeft(), (TPoint{frameOrigin.x(), frameOrigin.y()}));
  // Each root item takes its measured width and the pad.
  EXPECT_EQ(form->MenuTracker()->RootRect(1).Left,
            frameOrigin.x() + file->ItemSize().cx + MenuBarItemPad);

  // Painted: the root items, then the menu colour to the right edge; the
  // client area below.
  const QImage image = kestrune::testing::RenderWindow(form);
  ASSERT_EQ(image.height(), 139);
  const int end = file->ItemSize().cx + help->ItemSize().cx + 2 * MenuBarItemPad;
  EXPECT_EQ(PixelAt(image, end + 1, 3), static_cast<TColor>(GetSysColor(4)));
  EXPECT_EQ(PixelAt(image, 199, 18), static_cast<TColor>(GetSysColor(4)));
  EXPECT_EQ(PixelAt(image, 199, 19), clBlue);

  // Over the bar the pointer is over the form, not over the control at
  // the top of the client area.
  EXPECT_EQ(FindDragTarget({frameOrigin.x() + 5, frameOrigin.y() + 5}, false), form);
  EXPECT_EQ(FindDragTarget(At(button, 5, 5), false), button);
  EXPECT_EQ(FindDragTarget({frameOrigin.x() + 5, frameOrigin.y() + 19 + 80 + 5}, false), button);

  // Without the menu the bar goes.
  form->SetMenu(nullptr);
  EXPECT_EQ(form->MenuBarHeight(), 0);
  EXPECT_EQ(Frame()->size(), QSize(200, 120));
  EXPECT_EQ(form->MenuTracker(), nullptr);
}

TEST_F(MenuForm, TheMouseOpensSwitchesAndRuns) {
  TMenuTracker* tracker = form->MenuTracker();
  ASSERT_TRUE(Click(Root(0)));
  ASSERT_EQ(tracker->WindowCount(), 1);
  TMenuDropDown* window = tracker->Window(1);
  ASSERT_NE(window->ScreenWindow(), nullptr);
  EXPECT_TRUE(window->ScreenWindow()->isVisible());
  EXPECT_EQ(window->ScreenWindow()->geometry(),
            QRect(window->BoundsRect().Left, window->BoundsRect().Top, window->BoundsRect().Width(),
                  window->BoundsRect().Height()));
  // Under its root item.
  EXPECT_EQ(window->BoundsRect().TopLeft(),
            (TPoint{tracker->RootRect(0).Left, tracker->RootRect(0).Bottom}));
  EXPECT_EQ(ShownDropDowns(), 1);

  // Hovering the other root item switches drop-downs.
  SendMouse(MouseAction::Move, Root(1));
  ASSERT_EQ(tracker->WindowCount(), 1);
  EXPECT_EQ(tracker->Window(1)->ParentItem(), help);
  EXPECT_EQ(ShownDropDowns(), 1);
  SendMouse(MouseAction::Move, Root(0));

  // A click on "Quitter" in its window runs it once and closes everything.
  ASSERT_TRUE(Click(ItemAt(1, 1)));
  EXPECT_EQ(counter.clicks, 1);
  EXPECT_EQ(tracker->WindowCount(), 0);
  EXPECT_FALSE(tracker->Active());
  EXPECT_EQ(ShownDropDowns(), 0);

  // Pressing on the root item and releasing over the item runs it too.
  SendMouse(MouseAction::Press, Root(0));
  SendMouse(MouseAction::Move, ItemAt(1, 1));
  SendMouse(MouseAction::Release, ItemAt(1, 1));
  EXPECT_EQ(counter.clicks, 2);

  // A press in the client area while a menu is open only closes it.
  Click(Root(0));
  ASSERT_EQ(tracker->WindowCount(), 1);
  Click(At(button, 10, 10));
  EXPECT_EQ(tracker->WindowCount(), 0);
  EXPECT_FALSE(button->Checked());
  Click(At(button, 10, 10));
  EXPECT_TRUE(button->Checked());

  // Hovering an item with a sub-menu opens it after the delay.
  Click(Root(1));
  SendMouse(MouseAction::Move, ItemAt(1, 1));
  EXPECT_EQ(tracker->Selection(1), 1);
  EXPECT_EQ(tracker->WindowCount(), 1);
  QElapsedTimer clock;
  clock.start();
  while (tracker->WindowCount() < 2 && clock.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_EQ(tracker->WindowCount(), 2);
  EXPECT_GE(clock.elapsed(), TMenuTracker::SubMenuDelayMs - 50);
  EXPECT_EQ(tracker->Window(2)->ParentItem(), more);
  EXPECT_EQ(ShownDropDowns(), 2);
  // A click outside the root items and the windows closes all.
  const QPoint beyond = Frame()->mapToGlobal(QPoint(199, 5));
  Click({beyond.x(), beyond.y()});
  EXPECT_EQ(tracker->WindowCount(), 0);
  EXPECT_EQ(ShownDropDowns(), 0);
}

// Paints root items by their owner-draw state: selected red, hot lime,
// else the menu colour.
struct BarPainter : TObject {
  void Draw(TObject*, TCanvas* canvas, TRect rect, TOwnerDrawState state) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor((state & odSelected) != 0   ? clRed
                              : (state & odHotLight) != 0 ? clLime
                                                          : clMenu);
    canvas->FillRect(rect);
  }
};

TEST_F(MenuForm, ARootItemIsHotOnlyWhileThePointerIsOverIt) {
  BarPainter painter;
  menu->SetOwnerDraw(true);
  file->OnAdvancedDrawItem = TAdvancedMenuDrawItemEvent(&painter, &BarPainter::Draw);
  help->OnAdvancedDrawItem = TAdvancedMenuDrawItemEvent(&painter, &BarPainter::Draw);
  TMenuTracker* tracker = form->MenuTracker();
  const TColor menuColour = static_cast<TColor>(GetSysColor(4));
  // The colour the bar shows at the middle of root item `index`.
  auto rootColour = [&](int index) {
    const QImage image = kestrune::testing::RenderWindow(form);
    const QPoint origin = Frame()->mapToGlobal(QPoint(0, 0));
    const TPoint p = Root(index);
    const QRgb c = image.pixel(p.X - origin.x(), p.Y - origin.y());
    return static_cast<TColor>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
  };
  const TPoint client = At(form, 150, 60);

  SendMouse(MouseAction::Move, Root(1));
  EXPECT_EQ(rootColour(1), clLime);
  // Off the bar onto the client area: no longer hot.
  SendMouse(MouseAction::Move, client);
  EXPECT_EQ(rootColour(1), menuColour);

  // A choice ends the tracking: the item is not hot once the pointer has
  // left it, neither where the choice was made nor over the client area.
  SendMouse(MouseAction::Move, Root(1));
  ASSERT_TRUE(Click(Root(1)));
  EXPECT_EQ(rootColour(1), clRed);
  SendMouse(MouseAction::Move, ItemAt(1, 0));
  ASSERT_TRUE(Click(ItemAt(1, 0)));
  ASSERT_FALSE(tracker->Active());
  EXPECT_EQ(rootColour(1), menuColour);
  SendMouse(MouseAction::Move, client);
  EXPECT_EQ(rootColour(1), menuColour);
  EXPECT_EQ(rootColour(0), menuColour);

  // A drop-down closed by a second click on its root item leaves the item
  // under the pointer hot.
  ASSERT_TRUE(Click(Root(0)));
  ASSERT_TRUE(Click(Root(0)));
  ASSERT_FALSE(tracker->Active());
  EXPECT_EQ(rootColour(0), clLime);

  // Esc closes the drop-down and leaves the bar selected for the keyboard:
  // the item stays lit wherever the pointer is.
  ASSERT_TRUE(Click(Root(1)));
  SendMouse(MouseAction::Move, ItemAt(1, 0));
  SendKey(form, Qt::Key_Escape, "\x1b");
  ASSERT_TRUE(tracker->Active());
  EXPECT_EQ(tracker->WindowCount(), 0);
  SendMouse(MouseAction::Move, client);
  EXPECT_EQ(rootColour(1), clLime);
  EXPECT_EQ(rootColour(0), menuColour);
}

TEST_F(MenuForm, TheFormsKeysReachTheMenu) {
  TMenuTracker* tracker = form->MenuTracker();
  // F10 selects the bar; Down opens on the first item after the separator;
  // Enter runs it.
  SendKey(form, Qt::Key_F10, "");
  EXPECT_EQ(tracker->BarSelection(), 0);
  EXPECT_EQ(tracker->WindowCount(), 0);
  SendKey(form, Qt::Key_Down, "");
  ASSERT_EQ(tracker->WindowCount(), 1);
  EXPECT_EQ(tracker->Selection(1), 1);
  SendKey(form, Qt::Key_Return, "\r");
  EXPECT_EQ(counter.clicks, 1);
  EXPECT_FALSE(tracker->Active());

  // Alt pressed and released alone selects the bar, Esc leaves it.
  SendKey(form, Qt::Key_Alt, "");
  EXPECT_EQ(tracker->BarSelection(), 0);
  SendKey(form, Qt::Key_Escape, "\x1b");
  EXPECT_FALSE(tracker->Active());

  // Alt + a mnemonic opens its root item; the item's letter runs it.
  SendKey(form, Qt::Key_F, "f", ssAlt);
  ASSERT_EQ(tracker->WindowCount(), 1);
  EXPECT_EQ(tracker->Window(1)->ParentItem(), file);
  SendKey(form, Qt::Key_Q, "q");
  EXPECT_EQ(counter.clicks, 2);

  // The item's shortcut pressed in the form runs it; other keys pass on.
  SendKey(form, Qt::Key_Q, "\x11", ssCtrl);
  EXPECT_EQ(counter.clicks, 3);
  EXPECT_FALSE(tracker->Active());
  SendKey(form, Qt::Key_W, "\x17", ssCtrl);
  EXPECT_EQ(counter.clicks, 3);
  EXPECT_FALSE(tracker->Active());
}

// A bar whose origin lies at the ends of the range: the root items' edges
// saturate where they pass the ends, and the pointer anywhere finds (or
// misses) the drop-down's items by their exact window coordinates.
TEST_F(MenuForm, ABarAtTheEndsOfTheRangeSaturatesItsEdgesAndFindsItsItems) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  const int w0 = MenuBarSlotWidth(file), w1 = MenuBarSlotWidth(help);
  const int h = MenuBarItemSize().cy;
  struct Case {
    const char* what;
    TPoint origin;
    TRect root0, root1;
    bool whole;  // the drop-down shows whole
  };
  const Case cases[] = {
      {"near the highest",
       {kMax - 3, kMin},
       {kMax - 3, kMin, kMax, kMin + h},
       {kMax, kMin, kMax, kMin + h},
       false},
      {"at the lowest",
       {kMin, kMin},
       {kMin, kMin, kMin + w0, kMin + h},
       {kMin + w0, kMin, kMin + w0 + w1, kMin + h},
       true},
      {"y near the highest",
       {kMin, kMax - 5},
       {kMin, kMax - 5, kMin + w0, kMax},
       {kMin + w0, kMax - 5, kMin + w0 + w1, kMax},
       false},
  };
  for (const Case& c : cases) {
    auto* tracker = Create<TMenuTracker>(menu, c.origin);
    EXPECT_EQ(tracker->RootRect(0), c.root0) << c.what;
    EXPECT_EQ(tracker->RootRect(1), c.root1) << c.what;
    // Opened, the drop-down lies under its root item.
    tracker->MouseDown(c.root0.TopLeft());
    ASSERT_EQ(tracker->WindowCount(), 1) << c.what;
    const TRect b = tracker->Window(1)->BoundsRect();
    EXPECT_EQ(b.TopLeft(), (TPoint{c.root0.Left, c.root0.Bottom})) << c.what;
    const TPoint corners[] = {{kMin, kMin}, {kMax, kMax}, {kMin, kMax}, {kMax, kMin}};
    for (const TPoint far : corners) {
      tracker->MouseMove(far);
      EXPECT_EQ(tracker->Selection(1), -1) << c.what;
    }
    if (c.whole) {
      const TRect quit = tracker->Window(1)->ItemRect(1);
      tracker->MouseMove(
          {b.Left + (quit.Left + quit.Right) / 2, b.Top + (quit.Top + quit.Bottom) / 2});
      EXPECT_EQ(tracker->Selection(1), 1) << c.what;
      for (const TPoint far : corners) {
        tracker->MouseMove(far);
        EXPECT_EQ(tracker->Selection(1), 1) << c.what << ": nothing else under the pointer";
      }
    }
    tracker->MouseUp({kMax, kMax});  // ends the drag over nothing
    EXPECT_EQ(counter.clicks, 0) << c.what;
    tracker->Cancel();
    tracker->Free();
  }
}

// A sub-menu that would pass the highest coordinate opens to the left of
// its parent's drop-down instead.
TEST_F(MenuForm, ASubMenuNearTheHighestCoordinateOpensLeft) {
  constexpr int kMax = INT32_MAX;
  ASSERT_LT(MenuBarSlotWidth(file), 100);
  auto* tracker = Create<TMenuTracker>(menu, TPoint{kMax - 100, 100});
  tracker->MouseDown(tracker->RootRect(1).TopLeft());
  ASSERT_EQ(tracker->WindowCount(), 1);
  const TRect b = tracker->Window(1)->BoundsRect();
  const TRect plus = tracker->Window(1)->ItemRect(1);
  tracker->MouseMove({b.Left + plus.Left + 1, b.Top + (plus.Top + plus.Bottom) / 2});
  ASSERT_EQ(tracker->Selection(1), 1);
  ASSERT_TRUE(tracker->SubMenuPending());
  tracker->OpenPendingSubMenu();
  ASSERT_EQ(tracker->WindowCount(), 2);
  TMenuDropDown* sub = tracker->Window(2);
  EXPECT_TRUE(sub->OpensLeft());
  EXPECT_EQ(sub->BoundsRect().Right, b.Left);
  EXPECT_EQ(sub->BoundsRect().Top, b.Top + plus.Top - TMenuDropDown::MenuBorderWidth);
  EXPECT_EQ(sub->OwnerRect(), (TRect{b.Left, b.Top + plus.Top, b.Right, b.Top + plus.Bottom}));
  tracker->MouseUp({0, 0});
  tracker->Cancel();
  tracker->Free();
}

// A popup menu shown at the ends of the range keeps its window inside it;
// its items are found there and nowhere else.
TEST_F(MenuForm, APopupMenuAtTheEndsOfTheRangeKeepsItsWindowInside) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  auto* popup = Create<TPopupMenu>(form);
  Add(popup->Items(), "Copier");
  popup->Popup(300, 200);
  ASSERT_NE(popup->PopupWindow(), nullptr);
  const int w = popup->PopupWindow()->BoundsRect().Width();
  const int h = popup->PopupWindow()->BoundsRect().Height();
  struct Case {
    TPoint at;
    TRect bounds;
    TPoint inside;
  };
  const Case cases[] = {
      {{kMax - 5, kMax - 4}, {kMax - 5, kMax - 4, kMax, kMax}, {kMax - 1, kMax - 1}},
      {{kMin, kMin}, {kMin, kMin, kMin + w, kMin + h}, {kMin + 1, kMin + 1}},
      {{kMin, kMax - 4}, {kMin, kMax - 4, kMin + w, kMax}, {kMin + 1, kMax - 1}},
  };
  for (const Case& c : cases) {
    popup->Popup(c.at.X, c.at.Y);
    ASSERT_NE(popup->PopupWindow(), nullptr);
    EXPECT_EQ(popup->PopupWindow()->BoundsRect(), c.bounds);
    EXPECT_EQ(MenuWindowAt(c.inside), popup->PopupWindow());
    for (const TPoint far : {TPoint{kMin, kMin}, TPoint{kMax, kMax}, TPoint{kMax, kMin}}) {
      if (!c.bounds.Contains(far)) {
        EXPECT_EQ(MenuWindowAt(far), nullptr) << far.X << "," << far.Y;
      }
    }
    popup->CloseUp();
  }
}

TEST_F(MenuForm, PopupMenusShowAWindowOnlyWithItems) {
  auto* popup = Create<TPopupMenu>(form);
  popup->Popup(300, 200);
  EXPECT_EQ(popup->PopupWindow(), nullptr);
  EXPECT_EQ(ShownDropDowns(), 0);
  Add(popup->Items(), "Copier");
  popup->Popup(300, 200);
  ASSERT_NE(popup->PopupWindow(), nullptr);
  QWidget* shown = popup->PopupWindow()->ScreenWindow();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_EQ(shown->pos(), QPoint(300, 200));
  EXPECT_EQ(MenuWindowAt({305, 205}), popup->PopupWindow());
  popup->CloseUp();
  EXPECT_EQ(ShownDropDowns(), 0);

  // Hovering selects; a press on an enabled item closes and runs it.
  TMenuItem* paste = Add(popup->Items(), "Coller");
  paste->OnClick = TNotifyEvent(&counter, &Counter::Click);
  auto itemAt = [&](int index) {
    TMenuDropDown* w = popup->PopupWindow();
    const TRect r = w->ItemRect(index);
    return TPoint{w->BoundsRect().Left + (r.Left + r.Right) / 2,
                  w->BoundsRect().Top + (r.Top + r.Bottom) / 2};
  };
  popup->Popup(300, 200);
  SendMouse(MouseAction::Move, itemAt(1));
  EXPECT_EQ(popup->PopupSelection(), 1);
  Click(itemAt(1));
  EXPECT_EQ(counter.clicks, 1);
  EXPECT_EQ(popup->PopupWindow(), nullptr);
  EXPECT_EQ(ShownDropDowns(), 0);
  // A press elsewhere, or Esc, closes it and runs nothing.
  popup->Popup(300, 200);
  Click(At(form, 150, 60));
  EXPECT_EQ(popup->PopupWindow(), nullptr);
  popup->Popup(300, 200);
  SendKey(form, Qt::Key_Escape, "\x1b");
  EXPECT_EQ(popup->PopupWindow(), nullptr);
  EXPECT_EQ(ShownDropDowns(), 0);
  EXPECT_EQ(counter.clicks, 1);
}

}  // namespace
