// The scope's property dialog: where it opens and on which page and item,
// the pages' Add and Remove rules, the size it grows to, the enumeration
// lists, and the editing protocol of its edits, list ticks and docked link
// editor, driven through the hosted Qt widgets as a user would.
#include "scope/TrelScopeProperties.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/Buttons.h"
#include "platform/forms/ColorDialogs.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtStdCtrls.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/StdCtrls.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

namespace kt = kestrune::testing;

class TrelScopePropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopetest::StartUnits();
    host_ = Create<TForm>(nullptr);
    host_->SetBounds(40, 30, 700, 500);
    scope_ = Create<TTrelScope>(host_);
    scope_->SetParent(host_);
    scope_->SetBounds(10, 5, 600, 400);
    scope_->GetChannels()->Add();  // two channels
    scope_->GetMarkerGroups()->Add();
    for (int i = 0; i < 3; ++i)
      scope_->GetCursors()->Add();
  }
  void TearDown() override {
    kt::SetModalFormAnswerer({});
    kt::SetDialogAnswerer({});
    if (dialog_ != nullptr)
      dialog_->Free();
    host_->Free();
  }
  // The dialog on `page` and `item`, shown (not modally) so that its hosted
  // widgets exist.
  TTrelScopePropertiesForm* Open(int page, int item) {
    dialog_ = Create<TTrelScopePropertiesForm>(nullptr, scope_, page, item);
    dialog_->Show();
    return dialog_;
  }
  // Types into the hosted edit: its text replaced, as a user would.
  static void Type(TEdit* edit, const std::string& text) {
    static_cast<QLineEdit*>(kt::HostedWidget(edit))->setText(QString::fromStdString(text));
  }
  // A key pressed in the hosted edit.
  static void Key(TEdit* edit, int qtKey, const std::string& text) {
    QWidget* widget = kt::HostedWidget(edit);
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, QString::fromStdString(text));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, QString::fromStdString(text));
    QCoreApplication::sendEvent(widget, &release);
  }
  // The user toggles item `index`'s tick.
  static void Tick(TCheckListBox* list, int index, bool on) {
    auto* widget = static_cast<QListWidget*>(kt::HostedWidget(list));
    widget->item(index)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
  static void Choose(TCustomListBox* list, int index) {
    auto* widget = static_cast<QListWidget*>(kt::HostedWidget(list));
    widget->setCurrentRow(index);
    emit widget->itemClicked(widget->item(index));
  }

  TForm* host_ = nullptr;
  TTrelScope* scope_ = nullptr;
  TTrelScopePropertiesForm* dialog_ = nullptr;
};

TEST_F(TrelScopePropertiesTest, OpensOnThePageAndItemAtTheConvertedPoint) {
  // As the legend's third cursor entry opens it.
  host_->Show();
  std::string tab;
  int cursor = -1, channel = -1, group = -1, link = -1;
  TPoint placed{}, size{};
  kt::SetModalFormAnswerer([&](TForm* form) {
    auto* dialog = dynamic_cast<TTrelScopePropertiesForm*>(form);
    EXPECT_NE(dialog, nullptr);
    if (dialog == nullptr)
      return static_cast<int>(mrCancel);
    tab = dialog->PageControl->ActivePage()->Caption();
    cursor = dialog->CursorsPage->CursorListBox->ItemIndex();
    channel = dialog->ChannelPage->ChannelsListBox->ItemIndex();
    group = dialog->MarkerGroupsPage->GroupListBox->ItemIndex();
    link = dialog->CursorLinksPage->CursorLinksListBox->ItemIndex();
    placed = TPoint{dialog->Left(), dialog->Top()};
    size = TPoint{dialog->Width(), dialog->Height()};
    return static_cast<int>(mrOk);
  });
  scope_->ShowProperties(2, 2);
  EXPECT_EQ(tab, "Cursors");
  EXPECT_EQ(cursor, 2);
  EXPECT_EQ(channel, 0);
  EXPECT_EQ(group, 0);
  EXPECT_EQ(link, -1);  // the scope has no cursor links
  const TPoint origin = scope_->ClientToScreen(TPoint{0, 0});
  EXPECT_EQ(placed.X, origin.X + 600 - size.X - 20);
  EXPECT_EQ(placed.Y, origin.Y + 20);
}

TEST_F(TrelScopePropertiesTest, ALegendEntryOpensTheDialogOnItsItem) {
  // Clicking down the legend, line by line, opens the dialog on each entry
  // in turn: the cursors' entries on the "Cursors" tab with that cursor.
  scope_->GetTitle()->SetVisible(false);
  scope_->PaintTo();
  std::vector<std::pair<std::string, int>> opened;
  kt::SetModalFormAnswerer([&](TForm* form) {
    auto* dialog = static_cast<TTrelScopePropertiesForm*>(form);
    const std::string tab = dialog->PageControl->ActivePage()->Caption();
    const int item = tab == "Cursors" ? dialog->CursorsPage->CursorListBox->ItemIndex()
                                      : dialog->ChannelPage->ChannelsListBox->ItemIndex();
    if (opened.empty() || opened.back() != std::make_pair(tab, item))
      opened.emplace_back(tab, item);
    return static_cast<int>(mrOk);
  });
  TTrelScopeLegendView* legend = scope_->GetLegend();
  const int x = legend->Left + 10;
  for (int y = legend->Top; y < legend->Bottom; ++y) {
    scope_->MouseMove(0, x, y);
    scope_->MouseDown(mbLeft, 0, x, y);
    scope_->MouseUp(mbLeft, 0, x, y);
  }
  std::vector<int> cursors;
  for (const auto& [tab, item] : opened) {
    if (tab == "Cursors")
      cursors.push_back(item);
  }
  EXPECT_EQ(cursors, (std::vector<int>{0, 1, 2}));
}

TEST_F(TrelScopePropertiesTest, PagesInTabOrderAndTheClientGrowsToFitEachPage) {
  Open(0, 0);
  std::vector<std::string> captions;
  for (int i = 0; i < dialog_->PageControl->PageCount(); ++i)
    captions.push_back(dialog_->PageControl->Pages(i)->Caption());
  EXPECT_EQ(captions,
            (std::vector<std::string>{"Channels", "Marker Groups", "Cursors", "Cursor Links"}));
  // Every page fits its sheet, and the widest and the tallest exactly.
  int widest = 0, tallest = 0, sheetWidth = 0, sheetHeight = 0;
  for (TTrelPropertyPageForm* page : dialog_->PageForms()) {
    TTabSheet* sheet = dialog_->SheetOf(page);
    widest = std::max(widest, page->Width());
    tallest = std::max(tallest, page->Height());
    sheetWidth = sheet->Width();
    sheetHeight = sheet->Height();
  }
  EXPECT_GT(dialog_->ClientWidth(), 80);
  EXPECT_GT(dialog_->ClientHeight(), 80);
  EXPECT_EQ(sheetWidth, widest);
  EXPECT_EQ(sheetHeight, tallest);
  // The pages fill their sheets.
  EXPECT_EQ(dialog_->CursorsPage->Width(), widest);
}

TEST_F(TrelScopePropertiesTest, AddAndRemoveFollowThePageAndTheRemovableMark) {
  Open(0, 0);
  struct Case {
    int page;
    int cursors;
    bool add;
  };
  // Channels and marker groups: never; cursors: always; links: two cursors
  // (the cases take cursors away, never add them).
  const Case cases[] = {{0, 3, false}, {1, 3, false}, {2, 3, true}, {3, 3, true},
                        {3, 2, true},  {3, 1, false}, {2, 1, true}};
  for (const Case& c : cases) {
    while (scope_->GetCursors()->Count() > c.cursors)
      scope_->GetCursors()->Delete(scope_->GetCursors()->Count() - 1);
    dialog_->ActivatePage(c.page);
    EXPECT_EQ(dialog_->AddButton->Enabled(), c.add) << c.page << " " << c.cursors;
    if (c.page < 2) {
      EXPECT_FALSE(dialog_->RemoveButton->Enabled()) << c.page;
    }
  }
}

TEST_F(TrelScopePropertiesTest, OnlyCursorsAndLinksTheDialogAddedCanBeRemoved) {
  Open(2, 0);
  TTrelScopeCursorsForm* page = dialog_->CursorsPage;
  EXPECT_FALSE(dialog_->RemoveButton->Enabled());
  dialog_->RemoveButton->Click();  // a stored cursor stays
  EXPECT_EQ(scope_->GetCursors()->Count(), 3);
  dialog_->AddButton->Click();
  ASSERT_EQ(scope_->GetCursors()->Count(), 4);
  EXPECT_EQ(page->CursorListBox->ItemIndex(), 3);
  EXPECT_EQ(page->CursorListBox->Items()->Count(), 4);
  EXPECT_EQ(page->CursorListBox->Checked(3), scope_->GetCursors()->GetItem(3)->IsVisible());
  EXPECT_TRUE(dialog_->RemoveButton->Enabled());
  Choose(page->CursorListBox, 1);
  EXPECT_FALSE(dialog_->RemoveButton->Enabled());
  Choose(page->CursorListBox, 3);
  dialog_->RemoveButton->Click();
  EXPECT_EQ(scope_->GetCursors()->Count(), 3);
  EXPECT_EQ(page->CursorListBox->ItemIndex(), 2);  // the previous one: it was the last

  dialog_->ActivatePage(3);
  TTrelScopeCursorLinksForm* links = dialog_->CursorLinksPage;
  dialog_->AddButton->Click();
  ASSERT_EQ(scope_->GetCursorLinks()->Count(), 1);
  EXPECT_EQ(links->CursorLinksListBox->ItemIndex(), 0);
  EXPECT_TRUE(dialog_->RemoveButton->Enabled());
  dialog_->RemoveButton->Click();
  EXPECT_EQ(scope_->GetCursorLinks()->Count(), 0);
  // With no links at all, the page's edits are disabled.
  EXPECT_FALSE(links->NameEdit->Enabled());
  EXPECT_FALSE(links->LabelEdit->Enabled());
}

TEST(TrelScopeFillEnumNames, NamesAsListed) {
  struct Case {
    std::string name;
    bool split;
    std::string shown;
  };
  const Case cases[] = {
      {"msTriangleUp", true, "Triangle Up"},
      {"msHLine", true, "H Line"},
      {"cmLine", false, "Line"},
      {"csmZero", false, "Zero"},
      {"pmMergePenNot", false, "MergePenNot"},
      {"ab", false, "b"},  // dropping stops when one character is left
      {"xY", false, "Y"},
      {"Ab", false, "Ab"},  // no lower-case prefix
  };
  for (const Case& c : cases)
    EXPECT_EQ(EnumDisplayName(c.name, true, c.split), c.shown) << c.name;
}

TEST_F(TrelScopePropertiesTest, TheListsHoldTheEnumerationsInValueOrder) {
  Open(0, 0);
  auto texts = [](TComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->Items()->Count(); ++i)
      out.push_back(box->Items()->Strings(i));
    return out;
  };
  EXPECT_EQ(texts(dialog_->ChannelPage->ModeComboBox),
            (std::vector<std::string>{"Line", "Bar", "Point"}));
  EXPECT_EQ(texts(dialog_->ChannelPage->ShadeComboBox),
            (std::vector<std::string>{"Zero", "Top", "Bottom"}));
  EXPECT_EQ(texts(dialog_->ChannelPage->PointsShapeComboBox),
            (std::vector<std::string>{"Circle", "Square", "Diamond", "Plus", "Cross", "Star"}));
  EXPECT_EQ(texts(dialog_->CursorsPage->KindComboBox),
            (std::vector<std::string>{"Vertical", "Horizontal", "Both"}));
  const std::vector<std::string> shapes = texts(dialog_->MarkerGroupsPage->ShapeComboBox);
  ASSERT_EQ(shapes.size(), 13u);
  EXPECT_EQ(shapes[7], "Triangle Up");
  EXPECT_EQ(shapes[11], "H Line");
  EXPECT_EQ(texts(dialog_->CursorLinksPage->MeasurementModeComboBox).size(), 16u);
  EXPECT_EQ(texts(dialog_->CursorLinksPage->MeasurementModeComboBox)[6], "MergePenNot");
  EXPECT_EQ(texts(dialog_->CursorLinksPage->MeasurementStyleComboBox).size(), 7u);
}

TEST_F(TrelScopePropertiesTest, NumberEditsKeepDigitsAndReadOneWhenEmpty) {
  Open(0, 0);
  TTrelScopeChannelForm* page = dialog_->ChannelPage;
  TTrelScopeChannel* channel = scope_->GetChannels()->GetItem(0);
  struct Case {
    std::string typed;
    std::string kept;
    int width;
  };
  const Case cases[] = {
      {"12a", "12", 12},
      {"", "", 1},
      {"abc", "", 1},
      {"7", "7", 7},
      {"99999999999", "99999999999", 1},
  };
  for (const Case& c : cases) {
    Type(page->WidthEdit, c.typed);
    EXPECT_EQ(page->WidthEdit->Text(), c.kept) << c.typed;
    EXPECT_EQ(channel->GetWidth(), c.width) << c.typed;
  }
  // A letter typed after the digits never arrives.
  Type(page->PointsSizeEdit, "4");
  Key(page->PointsSizeEdit, Qt::Key_X, "x");
  EXPECT_EQ(page->PointsSizeEdit->Text(), "4");
  EXPECT_EQ(channel->GetPoints()->GetSize(), 4u);
  // The up-down steps the edit inside 1 .. 500.
  Type(page->WidthEdit, "500");
  page->WidthUpDown->Step(1);
  EXPECT_EQ(page->WidthEdit->Text(), "500");
  Type(page->WidthEdit, "1");
  page->WidthUpDown->Step(-1);
  EXPECT_EQ(channel->GetWidth(), 1);
}

TEST_F(TrelScopePropertiesTest, EnterRenamesAndEscRestoresWithoutClosing) {
  Open(2, 1);
  TTrelScopeCursorsForm* page = dialog_->CursorsPage;
  TTrelDisplayCursor* cursor = scope_->GetCursors()->GetItem(1);
  const std::string before = cursor->GetName();
  Type(page->NameEdit, "Peak");
  EXPECT_FALSE(dialog_->OkButton->Default());
  Key(page->NameEdit, Qt::Key_Return, "\r");
  EXPECT_EQ(cursor->GetName(), "Peak");
  EXPECT_EQ(page->CursorListBox->Items()->Strings(1), "Peak");
  EXPECT_TRUE(dialog_->OkButton->Default());
  EXPECT_EQ(dialog_->ModalResult(), mrNone);

  Type(page->NameEdit, "Other");
  Key(page->NameEdit, Qt::Key_Escape, "\x1b");
  EXPECT_EQ(page->NameEdit->Text(), "Peak");
  EXPECT_EQ(page->NameEdit->SelLength(), 4);
  EXPECT_EQ(cursor->GetName(), "Peak");
  EXPECT_TRUE(dialog_->OkButton->Default());
  EXPECT_EQ(dialog_->ModalResult(), mrNone);
  // Esc with OK the default is the dialog's: it closes with OK.
  Key(page->NameEdit, Qt::Key_Escape, "\x1b");
  EXPECT_EQ(dialog_->ModalResult(), mrOk);
  (void)before;
}

TEST_F(TrelScopePropertiesTest, TheTickAndTheVisibleBoxAgree) {
  Open(0, 1);
  TTrelScopeChannelForm* page = dialog_->ChannelPage;
  TTrelScopeChannel* channel = scope_->GetChannels()->GetItem(1);
  Tick(page->ChannelsListBox, 1, false);
  EXPECT_FALSE(channel->IsVisible());
  EXPECT_FALSE(page->VisibleCheckBox->Checked());
  static_cast<QAbstractButton*>(kt::HostedWidget(page->VisibleCheckBox))->click();
  EXPECT_TRUE(channel->IsVisible());
  EXPECT_TRUE(page->ChannelsListBox->Checked(1));

  dialog_->ActivatePage(2);
  TTrelScopeCursorsForm* cursors = dialog_->CursorsPage;
  Tick(cursors->CursorListBox, 0, false);
  EXPECT_FALSE(scope_->GetCursors()->GetItem(0)->IsVisible());
  EXPECT_FALSE(cursors->VisibleCheckBox->Checked());
}

TEST_F(TrelScopePropertiesTest, TickingAChannelLinksItAndTheEditorFollows) {
  Open(2, 0);
  TTrelScopeCursorsForm* page = dialog_->CursorsPage;
  TTrelDisplayCursor* cursor = scope_->GetCursors()->GetItem(0);
  ASSERT_EQ(page->ChannelsListBox->Items()->Count(), 2);
  EXPECT_EQ(page->LinkEditor(), nullptr);
  Tick(page->ChannelsListBox, 1, true);
  ASSERT_EQ(cursor->GetChannels()->Count(), 1);
  TTrelDisplayChannelLink* link = cursor->GetChannels()->GetItem(0);
  EXPECT_EQ(link->GetChannel(), scope_->GetChannels()->GetItem(1));
  ASSERT_NE(page->LinkEditor(), nullptr);
  EXPECT_EQ(page->LinkEditor()->Link(), link);
  EXPECT_EQ(page->LinkEditor()->Align(), alBottom);
  // An empty size reads 3.
  Type(page->LinkEditor()->PointsSizeEdit, "");
  EXPECT_EQ(link->GetSize(), 3u);
  Type(page->LinkEditor()->PointsSizeEdit, "9");
  EXPECT_EQ(link->GetSize(), 9u);
  // The label menu inserts at the caret.
  page->LinkEditor()->LabelEdit->SetText("ab");
  page->LinkEditor()->LabelEdit->SetSelStart(1);
  page->LinkEditor()->MacroDefaultClick(nullptr);
  EXPECT_EQ(link->GetChannelLabel()->GetText(), "a%Db");

  Tick(page->ChannelsListBox, 1, false);
  EXPECT_EQ(cursor->GetChannels()->Count(), 0);
  EXPECT_EQ(page->LinkEditor(), nullptr);
}

TEST_F(TrelScopePropertiesTest, ColourButtonsWriteTheChosenColour) {
  Open(0, 0);
  kt::SetDialogAnswerer([](kt::DialogKind kind, TCommonDialog* dialog) {
    EXPECT_EQ(kind, kt::DialogKind::Color);
    static_cast<TColorDialog*>(dialog)->SetColor(0x123456);
    return kt::DialogAnswer{true, ""};
  });
  dialog_->ChannelPage->ColorButton->Click();
  EXPECT_EQ(scope_->GetChannels()->GetItem(0)->GetStoredColor(), 0x123456);
  kt::SetDialogAnswerer([](kt::DialogKind, TCommonDialog* dialog) {
    static_cast<TColorDialog*>(dialog)->SetColor(0x654321);
    return kt::DialogAnswer{false, ""};
  });
  dialog_->ChannelPage->ColorButton->Click();
  EXPECT_EQ(scope_->GetChannels()->GetItem(0)->GetStoredColor(), 0x123456);
}

TEST_F(TrelScopePropertiesTest, ThePenEditorChangesThePenAndRefreshes) {
  Open(1, 0);
  TTrelScopeMarkerGroup* group = scope_->GetMarkerGroups()->GetItem(0);
  kt::SetModalFormAnswerer([](TForm* form) {
    auto* editor = dynamic_cast<TTrelPenForm*>(form);
    EXPECT_NE(editor, nullptr);
    if (editor == nullptr)
      return static_cast<int>(mrCancel);
    editor->WidthEdit->SetText("4x");
    editor->PenStyleComboBox->SetItemIndex(psDash);
    editor->StyleChange(nullptr);
    return static_cast<int>(mrOk);
  });
  dialog_->MarkerGroupsPage->PenButton->Click();
  EXPECT_EQ(group->GetPen()->Width(), 4);
  EXPECT_EQ(group->GetPen()->Style(), psDash);
}

// The list logic every page shares, one row per page: the list shows the
// collection's items by name (with their visibility as ticks on a check
// list), choosing a row shows its item, the name edit writes the item and
// its row, and a selection that names no item shows and writes nothing.
struct ListPage {
  const char* name;
  int page;
  TCustomListBox* (*list)(TTrelScopePropertiesForm*);
  TEdit* (*nameEdit)(TTrelScopePropertiesForm*);
  // The box showing the chosen item's visibility; null where the list has
  // no ticks.
  TCheckBox* (*visibleBox)(TTrelScopePropertiesForm*);
  TTrelDisplayCollection* (*items)(TTrelScope*);
};

const ListPage kChannelsPage{
    "Channels",
    0,
    [](TTrelScopePropertiesForm* d) -> TCustomListBox* { return d->ChannelPage->ChannelsListBox; },
    [](TTrelScopePropertiesForm* d) { return d->ChannelPage->NameEdit; },
    [](TTrelScopePropertiesForm* d) { return d->ChannelPage->VisibleCheckBox; },
    [](TTrelScope* s) -> TTrelDisplayCollection* { return s->GetChannels(); }};
const ListPage kMarkerGroupsPage{
    "MarkerGroups",
    1,
    [](TTrelScopePropertiesForm* d) -> TCustomListBox* {
      return d->MarkerGroupsPage->GroupListBox;
    },
    [](TTrelScopePropertiesForm* d) { return d->MarkerGroupsPage->NameEdit; },
    [](TTrelScopePropertiesForm* d) { return d->MarkerGroupsPage->VisibleCheckBox; },
    [](TTrelScope* s) -> TTrelDisplayCollection* { return s->GetMarkerGroups(); }};
const ListPage kCursorsPage{
    "Cursors",
    2,
    [](TTrelScopePropertiesForm* d) -> TCustomListBox* { return d->CursorsPage->CursorListBox; },
    [](TTrelScopePropertiesForm* d) { return d->CursorsPage->NameEdit; },
    [](TTrelScopePropertiesForm* d) { return d->CursorsPage->VisibleCheckBox; },
    [](TTrelScope* s) -> TTrelDisplayCollection* { return s->GetCursors(); }};
const ListPage kCursorLinksPage{
    "CursorLinks",
    3,
    [](TTrelScopePropertiesForm* d) -> TCustomListBox* {
      return d->CursorLinksPage->CursorLinksListBox;
    },
    [](TTrelScopePropertiesForm* d) { return d->CursorLinksPage->NameEdit; },
    [](TTrelScopePropertiesForm*) -> TCheckBox* { return nullptr; },
    [](TTrelScope* s) -> TTrelDisplayCollection* { return s->GetCursorLinks(); }};

class TrelScopeListPageTest : public TrelScopePropertiesTest,
                              public ::testing::WithParamInterface<ListPage> {
 protected:
  TTrelDisplayCollection* Items() const { return GetParam().items(scope_); }
  TTrelDisplayCollectionItem* Item(int index) const {
    return static_cast<TTrelDisplayCollectionItem*>(Items()->Items(index));
  }
  TCustomListBox* List() const { return GetParam().list(dialog_); }
  TCheckListBox* TickList() const { return dynamic_cast<TCheckListBox*>(List()); }
  TEdit* NameEdit() const { return GetParam().nameEdit(dialog_); }
  TCheckBox* VisibleBox() const { return GetParam().visibleBox(dialog_); }
  // Three items of every kind, named "Item 0" .. "Item 2", all visible but
  // item 1 (where the item has a visibility).
  void Populate() {
    for (TTrelDisplayCollection* items :
         {static_cast<TTrelDisplayCollection*>(scope_->GetChannels()),
          static_cast<TTrelDisplayCollection*>(scope_->GetMarkerGroups()),
          static_cast<TTrelDisplayCollection*>(scope_->GetCursors()),
          static_cast<TTrelDisplayCollection*>(scope_->GetCursorLinks())}) {
      while (items->Count() < 3)
        items->Add();
    }
    for (int i = 0; i < Items()->Count(); ++i) {
      Item(i)->SetName("Item " + std::to_string(i));
      Item(i)->SetVisible(i != 1);
    }
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < List()->Items()->Count(); ++i)
      rows.push_back(List()->Items()->Strings(i));
    return rows;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < Items()->Count(); ++i)
      names.push_back(Item(i)->GetName());
    return names;
  }
  std::vector<bool> Ticks() const {
    std::vector<bool> ticks;
    for (int i = 0; i < TickList()->Items()->Count(); ++i)
      ticks.push_back(TickList()->Checked(i));
    return ticks;
  }
  std::vector<bool> Visibilities() const {
    std::vector<bool> visible;
    for (int i = 0; i < Items()->Count(); ++i)
      visible.push_back(Item(i)->GetVisible());
    return visible;
  }
  void ClickVisibleBox() const {
    static_cast<QAbstractButton*>(kt::HostedWidget(VisibleBox()))->click();
  }
};

void PrintTo(const ListPage& page, std::ostream* out) {
  *out << page.name;
}

std::string ListPageName(const ::testing::TestParamInfo<ListPage>& info) {
  return info.param.name;
}

TEST_P(TrelScopeListPageTest, ListsTheItemsAndShowsTheChosenOne) {
  Populate();
  Open(GetParam().page, 1);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Item 0", "Item 1", "Item 2"}));
  EXPECT_EQ(TickList() != nullptr, VisibleBox() != nullptr);
  if (TickList() != nullptr) {
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, true}));
  }
  EXPECT_EQ(List()->ItemIndex(), 1);
  EXPECT_EQ(NameEdit()->Text(), "Item 1");
  if (VisibleBox() != nullptr) {
    EXPECT_FALSE(VisibleBox()->Checked());
  }
  Choose(List(), 2);
  EXPECT_EQ(List()->ItemIndex(), 2);
  EXPECT_EQ(NameEdit()->Text(), "Item 2");
  if (VisibleBox() != nullptr) {
    EXPECT_TRUE(VisibleBox()->Checked());
  }
  Choose(List(), 0);
  EXPECT_EQ(NameEdit()->Text(), "Item 0");
}

TEST_P(TrelScopeListPageTest, EnterRenamesTheItemAndItsRowEscRestores) {
  Populate();
  Open(GetParam().page, 2);
  Type(NameEdit(), "Renamed");
  EXPECT_FALSE(dialog_->OkButton->Default());
  EXPECT_EQ(Item(2)->GetName(), "Item 2");  // typing alone renames nothing
  Key(NameEdit(), Qt::Key_Return, "\r");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Item 0", "Item 1", "Renamed"}));
  EXPECT_EQ(Rows(), Names());
  EXPECT_EQ(List()->ItemIndex(), 2);
  EXPECT_TRUE(dialog_->OkButton->Default());
  Type(NameEdit(), "Other");
  Key(NameEdit(), Qt::Key_Escape, "\x1b");
  EXPECT_EQ(NameEdit()->Text(), "Renamed");
  EXPECT_EQ(Item(2)->GetName(), "Renamed");
  EXPECT_EQ(Rows(), Names());
  EXPECT_TRUE(dialog_->OkButton->Default());
}

TEST_P(TrelScopeListPageTest, ASelectionOutOfRangeShowsAndWritesNothing) {
  Populate();
  for (const int index : {3, 40, -1, -5}) {
    Open(GetParam().page, index);
    EXPECT_EQ(List()->ItemIndex(), -1) << index;
    EXPECT_EQ(Rows(), Names()) << index;
    const std::vector<std::string> names = Names();
    EXPECT_EQ(std::count(names.begin(), names.end(), NameEdit()->Text()), 0) << index;
    Type(NameEdit(), "Stray");
    Key(NameEdit(), Qt::Key_Return, "\r");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Item 0", "Item 1", "Item 2"})) << index;
    EXPECT_EQ(Rows(), Names()) << index;
    if (VisibleBox() != nullptr) {
      ClickVisibleBox();
      EXPECT_EQ(Visibilities(), (std::vector<bool>{true, false, true})) << index;
      EXPECT_EQ(Ticks(), Visibilities()) << index;
    }
    if (GetParam().page >= 2) {
      EXPECT_FALSE(dialog_->RemoveButton->Enabled()) << index;
    }
    dialog_->Free();
    dialog_ = nullptr;
  }
}

TEST_P(TrelScopeListPageTest, AnEmptyListSelectsNothing) {
  Items()->Clear();
  Open(GetParam().page, 0);
  EXPECT_EQ(List()->Items()->Count(), 0);
  EXPECT_EQ(List()->ItemIndex(), -1);
  Type(NameEdit(), "Stray");
  Key(NameEdit(), Qt::Key_Return, "\r");
  if (VisibleBox() != nullptr)
    ClickVisibleBox();
  EXPECT_EQ(Items()->Count(), 0);
  EXPECT_EQ(List()->Items()->Count(), 0);
  if (GetParam().page >= 2) {
    // Nothing to edit or remove: the edits are off.
    EXPECT_FALSE(NameEdit()->Enabled());
    EXPECT_FALSE(dialog_->RemoveButton->Enabled());
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, TrelScopeListPageTest,
                         ::testing::Values(kChannelsPage, kMarkerGroupsPage, kCursorsPage,
                                           kCursorLinksPage),
                         ListPageName);

// The pages whose list carries ticks: a tick is the item's visibility, and
// the chosen item's visible box follows it and writes it.
class TrelScopeTickedListPageTest : public TrelScopeListPageTest {};

TEST_P(TrelScopeTickedListPageTest, TheTicksAndTheVisibleBoxAgree) {
  Populate();
  Open(GetParam().page, 0);
  Tick(TickList(), 2, false);  // another item's tick: the box stays
  EXPECT_EQ(Visibilities(), (std::vector<bool>{true, false, false}));
  EXPECT_TRUE(VisibleBox()->Checked());
  Tick(TickList(), 0, false);
  EXPECT_EQ(Visibilities(), (std::vector<bool>{false, false, false}));
  EXPECT_FALSE(VisibleBox()->Checked());
  Tick(TickList(), 1, true);
  EXPECT_EQ(Visibilities(), (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(VisibleBox()->Checked());
  ClickVisibleBox();
  EXPECT_EQ(Visibilities(), (std::vector<bool>{true, true, false}));
  EXPECT_EQ(Ticks(), Visibilities());
  Choose(List(), 2);
  EXPECT_FALSE(VisibleBox()->Checked());
  ClickVisibleBox();
  EXPECT_EQ(Visibilities(), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(Ticks(), Visibilities());
  EXPECT_EQ(List()->ItemIndex(), 2);
}

INSTANTIATE_TEST_SUITE_P(Pages, TrelScopeTickedListPageTest,
                         ::testing::Values(kChannelsPage, kMarkerGroupsPage, kCursorsPage),
                         ListPageName);

// The pages with Add and Remove: Add appends a row for the new item and
// chooses it; Remove takes the chosen row out and chooses the one after
// it, or the new last one.
class TrelScopeGrowingListPageTest : public TrelScopeListPageTest {};

TEST_P(TrelScopeGrowingListPageTest, AddAppendsARowAndRemoveChoosesTheNext) {
  Open(GetParam().page, 0);
  dialog_->ActivatePage(GetParam().page);
  const int stored = Items()->Count();
  std::vector<TTrelDisplayCollectionItem*> added;
  for (int i = 0; i < 3; ++i) {
    dialog_->AddButton->Click();
    ASSERT_EQ(Items()->Count(), stored + i + 1);
    added.push_back(Item(stored + i));
    EXPECT_EQ(List()->ItemIndex(), stored + i);
    EXPECT_EQ(Rows(), Names());
    EXPECT_EQ(NameEdit()->Text(), added.back()->GetName());
    Type(NameEdit(), "Added " + std::to_string(i));
    Key(NameEdit(), Qt::Key_Return, "\r");
  }
  EXPECT_EQ(Rows(), Names());
  if (TickList() != nullptr) {
    EXPECT_EQ(Ticks(), Visibilities());
  }
  Choose(List(), stored + 1);
  dialog_->RemoveButton->Click();
  ASSERT_EQ(Items()->Count(), stored + 2);
  EXPECT_EQ(Rows(), Names());
  EXPECT_EQ(List()->ItemIndex(), stored + 1);
  EXPECT_EQ(Item(stored + 1), added[2]);
  EXPECT_EQ(NameEdit()->Text(), "Added 2");
  EXPECT_TRUE(dialog_->RemoveButton->Enabled());
  dialog_->RemoveButton->Click();  // the last one: the one before it
  ASSERT_EQ(Items()->Count(), stored + 1);
  EXPECT_EQ(List()->ItemIndex(), stored);
  EXPECT_EQ(NameEdit()->Text(), "Added 0");
  EXPECT_EQ(Rows(), Names());
}

INSTANTIATE_TEST_SUITE_P(Pages, TrelScopeGrowingListPageTest,
                         ::testing::Values(kCursorsPage, kCursorLinksPage), ListPageName);

}  // namespace
