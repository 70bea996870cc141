// The styled menus without windows: the private styler's lifetime, the
// styled shortcut texts, the measure rule on the main window's menus, and
// the empty popup menu.
#include "controls/StyMenus.h"

#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "controls/StyMenuStylers.h"
#include "controls/StyMenuUtil.h"
#include "platform/classes/Streaming.h"
#include "platform/forms/Forms.h"
#include "platform/forms/MenuTracker.h"
#include "platform/forms/MenuWindows.h"

namespace {

class StyMenus : public ::testing::Test {
 protected:
  void SetUp() override {
    FormsUnit.Initialize();
    Application->Initialize();
    StyMenuStylersUnit.Initialize();
    root_ = Create<TComponent>(nullptr);
  }
  void TearDown() override {
    root_->Free();
    StyMenuStylersUnit.Finalize();
    FormsUnit.Finalize();
  }

  TMenuItem* Item(TMenuItem* parent, const std::string& caption) {
    auto* item = Create<TMenuItem>(root_);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  }

  // The main window's menus and styler: "Fichier" > separator, "Quitter";
  // "Aide" > "Index de l'aide", "Lisez-moi", "A propos..."; an empty popup.
  void BuildMainWindowMenus() {
    styler_ = Create<TStyMenuOfficeStyler>(root_);
    menu_ = Create<TStyMainMenu>(root_);
    popup_ = Create<TStyPopupMenu>(root_);
    menu_->BeginUpdate();
    file_ = Item(menu_->Items(), "&Fichier");
    separator_ = Item(file_, "-");
    quit_ = Item(file_, "&Quitter");
    help_ = Item(menu_->Items(), "&Aide");
    Item(help_, "Index de l'aide");
    Item(help_, "Lisez-moi");
    Item(help_, "A propos...");
    menu_->EndUpdate();
    menu_->SetMenuStyler(styler_);
    popup_->SetMenuStyler(styler_);
  }

  TSize Extent(const std::string& text, TFont* font = nullptr) {
    TCanvas* canvas = Create<TCanvas>();
    canvas->Font()->Assign(font != nullptr ? font : Screen->MenuFont());
    const TSize size = canvas->TextExtent(text);
    canvas->Free();
    return size;
  }

  TComponent* root_ = nullptr;
  TStyMenuOfficeStyler* styler_ = nullptr;
  TStyMainMenu* menu_ = nullptr;
  TStyPopupMenu* popup_ = nullptr;
  TMenuItem* file_ = nullptr;
  TMenuItem* separator_ = nullptr;
  TMenuItem* quit_ = nullptr;
  TMenuItem* help_ = nullptr;
};

TEST_F(StyMenus, PrivateStylerStandsInForAMissingOne) {
  auto* external = Create<TStyMenuOfficeStyler>(root_);
  auto* main = Create<TStyMainMenu>(root_);
  auto* popup = Create<TStyPopupMenu>(root_);
  const struct {
    TMenu* menu;
    IStyMenu* self;
    TClass privateClass;
  } menus[] = {{main, main, TStyMenuStyler::StaticClass()},
               {popup, popup, TCustomStyMenuStyler::StaticClass()}};
  for (const auto& m : menus) {
    auto* internal =
        dynamic_cast<TCustomStyMenuStyler*>(m.menu->FindComponent("InternalMenuStyler"));
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(internal->ClassType(), m.privateClass);
    EXPECT_EQ(m.self->MenuStylerInUse(), internal);
    EXPECT_EQ(internal->Menu(), m.self);
    EXPECT_TRUE(m.menu->OwnerDraw());
  }
  main->SetMenuStyler(external);
  popup->SetMenuStyler(external);
  for (const auto& m : menus) {
    EXPECT_EQ(m.menu->FindComponent("InternalMenuStyler"), nullptr);
    EXPECT_EQ(m.self->MenuStylerInUse(), external);
  }
  // One styler serves the menu that registered last.
  EXPECT_EQ(external->Menu(), static_cast<IStyMenu*>(popup));
  external->Free();
  for (const auto& m : menus) {
    auto* internal =
        dynamic_cast<TCustomStyMenuStyler*>(m.menu->FindComponent("InternalMenuStyler"));
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(m.self->MenuStylerInUse(), internal);
  }
  EXPECT_EQ(main->MenuStyler(), nullptr);
  // Back to nil by hand: a private styler again, exactly one.
  auto* second = Create<TStyMenuStyler>(root_);
  main->SetMenuStyler(second);
  main->SetMenuStyler(nullptr);
  EXPECT_NE(main->FindComponent("InternalMenuStyler"), nullptr);
  EXPECT_EQ(second->Menu(), nullptr);
  // A menu that goes first leaves no reference in its styler.
  main->SetMenuStyler(second);
  main->Free();
  EXPECT_EQ(second->Menu(), nullptr);
  second->IconBar()->SetSize(40);  // would reach the freed menu otherwise
}

TEST_F(StyMenus, ShortCutTexts) {
  const struct {
    uint16_t shortCut;
    bool intl;
    const char* text;
  } rows[] = {
      {ShortCut('Q', scCtrl), false, "Ctrl+Q"},
      {ShortCut('Q', scCtrl), true, "Ctrl+Q"},
      {ShortCut('S', scShift | scCtrl | scAlt), true, "Alt+Ctrl+Shift+S"},
      {ShortCut('S', scShift | scAlt), true, "Alt+Shift+S"},
      {ShortCut(0x21, scShift), true, "Shift+Page up"},
      {ShortCut(0x6F, scCtrl), true, "Ctrl+/ (Num)"},
      {ShortCut('E', scWin | scCtrl), false, "Win+Ctrl+E"},
      {ShortCut(0x70, scWin), false, "Win+F1"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(StyShortCutText(r.shortCut, r.intl), r.text) << std::hex << r.shortCut << r.intl;
}

TEST_F(StyMenus, MeasuringTheMainWindowsMenus) {
  BuildMainWindowMenus();
  const int iconBar = styler_->IconBar()->Size();
  const TSize lineBox = Extent("Ag");
  auto evenUp = [](int h) { return h + (h & 1); };
  menu_->Rebuild();

  // Separator: Width + 2 high, -2 wide.
  EXPECT_EQ(separator_->ItemSize(), (TSize{-2, 3}));
  styler_->Separator()->SetWidth(4);  // does not rebuild by itself
  menu_->Rebuild();
  EXPECT_EQ(separator_->ItemSize(), (TSize{-2, 6}));

  // A root item without image: its caption's extent wide, the bar's height.
  EXPECT_EQ(file_->ItemSize(), (TSize{Extent("Fichier").cx, MenuBarItemSize().cy}));
  EXPECT_EQ(help_->ItemSize(), (TSize{Extent("Aide").cx, MenuBarItemSize().cy}));

  // A drop-down item: icon bar + 15 + extent + 7 + the 17-pixel pad; the
  // plain height + 2, rounded up to even.
  const int plainHeight = lineBox.cy + 6;
  EXPECT_EQ(quit_->ItemSize(),
            (TSize{iconBar + 15 + Extent("Quitter").cx + 7 + 17, evenUp(plainHeight + 2)}));
  for (int i = 0; i < help_->Count(); ++i)
    EXPECT_EQ(help_->Items(i)->ItemSize().cy % 2, 0) << i;

  // A shortcut widens the item by its text.
  quit_->SetShortCut(ShortCut('Q', scCtrl));
  EXPECT_EQ(quit_->ItemSize().cx, iconBar + 15 + Extent("QuitterCtrl+Q").cx + 7 + 17);

  // The styler's own font: extent + 6 for root and drop-down items.
  // The styler serves the popup menu, which registered last: the main menu
  // is rebuilt by hand.
  styler_->SetUseSystemFont(false);
  menu_->Rebuild();
  EXPECT_EQ(file_->ItemSize().cy, Extent("Fichier", styler_->Font()).cy + 6);
  EXPECT_EQ(quit_->ItemSize().cy, evenUp(Extent("QuitterCtrl+Q", styler_->Font()).cy + 6));
  styler_->SetUseSystemFont(true);
  menu_->Rebuild();

  // Notes: with ShowNotes the second part is a notes line below the
  // caption; without, the whole caption is one line.
  // Items added outside an update get the handlers at its end.
  menu_->BeginUpdate();
  TMenuItem* noted = Item(help_, "Index\\nAll topics");
  menu_->EndUpdate();
  menu_->Rebuild();
  const int notesLine = Extent("gh", styler_->NotesFont()).cy;
  const int captionOnly = iconBar + 15 + Extent("Index").cx + 7 + 17;
  const int lastLine = Extent("All topics", styler_->NotesFont()).cx + 17 + iconBar + 15;
  EXPECT_EQ(noted->ItemSize(),
            (TSize{std::max(captionOnly, lastLine), evenUp(plainHeight + 2) + notesLine}));
  menu_->SetShowNotes(false);
  EXPECT_EQ(noted->ItemSize(), (TSize{iconBar + 15 + Extent("Index\\nAll topics").cx + 7 + 17,
                                      evenUp(plainHeight + 2)}));
}

TEST_F(StyMenus, EmptyPopupMenuShowsNothing) {
  BuildMainWindowMenus();
  popup_->Popup(200, 100);
  EXPECT_EQ(popup_->PopupPoint(), (TPoint{0, 0}));
  EXPECT_EQ(popup_->PopupWindow(), nullptr);
  // With an item it opens, 17 pixels right when it would leave the screen
  // on the left alignment.
  Item(popup_->Items(), "Copier");
  popup_->Popup(10, 20);
  EXPECT_EQ(popup_->PopupPoint(), (TPoint{10, 20}));
  popup_->Popup(Screen->Width() - 20, 20);
  EXPECT_EQ(popup_->PopupPoint(), (TPoint{Screen->Width() - 3, 20}));
  // Kept on the screen.
  popup_->Popup(Screen->Width() + 50, 20);
  EXPECT_EQ(popup_->PopupPoint(), (TPoint{Screen->Width() - 1, 20}));
}

TEST_F(StyMenus, FileDropDownRendered) {
  BuildMainWindowMenus();
  styler_->IconBar()->SetGradientDirection(gdVertical);  // shows continuity
  menu_->Rebuild();
  // "Fichier" sits in the bar at screen x 100 .. 100 + its width.
  const TRect rootRect{100, 100, 100 + MenuBarSlotWidth(file_), 119};
  auto* window = Create<TMenuDropDown>(file_, 1);
  window->MoveTo(rootRect.Left, rootRect.Bottom);
  window->SetOwnerRect(rootRect);
  window->Show();
  window->Paint(-1);
  TCanvas* c = window->Canvas();
  const int w = window->BoundsRect().Width();
  const int h = window->BoundsRect().Height();
  // The widest item and the sum of the heights inside a 3-pixel border.
  EXPECT_EQ(w, quit_->ItemSize().cx + 6);
  EXPECT_EQ(h, separator_->ItemSize().cy + quit_->ItemSize().cy + 6);
  // The window joins the bar: 1 left, 2 up; its region cuts 1 pixel and the
  // 17-pixel pad.
  EXPECT_EQ(window->BoundsRect().Left, rootRect.Left - 1);
  EXPECT_EQ(window->BoundsRect().Top, rootRect.Bottom - 2);
  EXPECT_EQ(window->Region(), (TRect{1, 1, w - 18, h - 1}));

  const TColor border = 0x962D00;
  const TColor back = 0xF6F6F6;
  const int mid = h / 2;
  // Outer frame on the region's edge, inner frame in the background colour;
  // what of the pad remains inside the region is those two frames.
  EXPECT_EQ(c->Pixel(1, mid), border);
  EXPECT_EQ(c->Pixel(w - 19, mid), border);
  EXPECT_EQ(c->Pixel(mid % w, h - 2), border);
  EXPECT_EQ(c->Pixel(2, mid), back);
  EXPECT_EQ(c->Pixel(w - 20, mid), back);
  EXPECT_EQ(c->Pixel(5, h - 3), back);
  // The top edge is open under the root item, framed beside it.
  const int rootLeft = rootRect.Left - window->BoundsRect().Left;
  const int rootRight = rootRect.Right - window->BoundsRect().Left;
  EXPECT_EQ(c->Pixel(rootLeft + 1, 1), back);
  EXPECT_EQ(c->Pixel(rootRight - 2, 1), back);
  EXPECT_EQ(c->Pixel(rootRight, 1), border);
  EXPECT_EQ(c->Pixel(w - 19, 1), border);

  // The icon bar's vertical gradient runs over the whole window height,
  // continuous from one item to the next.
  const TRect sepRect = window->ItemRect(0);
  const TRect quitRect = window->ItemRect(1);
  auto iconAt = [&](int y) {
    const COLORREF s = 0xFFEFE3, e = 0xE4AD87;
    auto ch = [&](int shift) {
      const int a = (s >> shift) & 0xFF, b = (e >> shift) & 0xFF;
      return static_cast<COLORREF>(a + (b - a) * y / h) << shift;
    };
    return static_cast<TColor>(ch(0) | ch(8) | ch(16));
  };
  for (int y = sepRect.Top; y < quitRect.Bottom; ++y)
    EXPECT_EQ(c->Pixel(10, y), iconAt(y)) << y;

  // The separator: one row at the middle of its item, from the icon bar's
  // end + the margin of 2 to the content's end - 2.
  const int row = sepRect.Top + sepRect.Height() / 2;
  const int lineLeft = sepRect.Left + 24 + 2;
  const int lineRight = sepRect.Right - 17 - 2;
  const TColor line = 0xCB8C6A;
  EXPECT_EQ(c->Pixel(lineLeft, row), line);
  EXPECT_EQ(c->Pixel(lineRight - 1, row), line);
  EXPECT_EQ(c->Pixel(lineLeft - 1, row), back);
  EXPECT_EQ(c->Pixel(lineRight, row), back);
  EXPECT_EQ(c->Pixel(lineLeft + 5, row - 1), back);
  EXPECT_EQ(c->Pixel(lineLeft + 5, row + 1), back);

  // Hiding takes the region away.
  window->Hide();
  EXPECT_TRUE(window->Region().IsEmpty());
  window->Free();
}

TEST_F(StyMenus, CheckAndRadioMarksTakeTheirColours) {
  BuildMainWindowMenus();
  TMenuItem* readme = help_->Items(1);
  readme->SetChecked(true);
  styler_->SelectedItem()->SetRadioColor(0x00AA00);  // tells radio from check
  styler_->IconBar()->SetRadioColor(0x0000AA);
  menu_->Rebuild();
  const struct {
    bool radio, selected;
    TColor fill;
  } rows[] = {{false, false, 0x6FC0FF},
              {true, false, 0x0000AA},
              {false, true, 0x3E80FE},
              {true, true, 0x00AA00}};
  for (const auto& row : rows) {
    readme->SetRadioItem(row.radio);
    auto* window = Create<TMenuDropDown>(help_, 1);
    window->Paint(row.selected ? 1 : -1);
    const TRect r = window->ItemRect(1);
    const int side = std::min(24, r.Height() - 2);
    const TRect square = CenterRect({r.Left, r.Top + 1, r.Left + 24, r.Bottom - 1}, side, side);
    TCanvas* c = window->Canvas();
    EXPECT_EQ(c->Pixel(square.Left, (square.Top + square.Bottom) / 2), 0x800000)
        << row.radio << row.selected;
    EXPECT_EQ(c->Pixel(square.Left + 1, square.Top + 1), row.fill) << row.radio << row.selected;
    window->Free();
  }
}

TEST_F(StyMenus, NotesLinesAndImagesAreDrawn) {
  BuildMainWindowMenus();
  auto solid = [&](TColor color) {
    auto* list = Create<TImageList>(root_);
    auto* b = Create<TBitmap>();
    b->SetSize(16, 16);
    b->Canvas()->Brush()->SetColor(color);
    b->Canvas()->FillRect({0, 0, 16, 16});
    list->Add(b, nullptr);
    b->Free();
    return list;
  };
  menu_->SetImages(solid(0x0000FF));
  menu_->SetDisabledImages(solid(0xFF0000));
  TMenuItem* index = help_->Items(0);
  index->SetImageIndex(0);
  TMenuItem* readme = help_->Items(1);
  readme->SetImageIndex(0);
  readme->SetEnabled(false);
  TMenuItem* about = help_->Items(2);
  about->SetCaption("A propos...\\nVersion");
  menu_->Rebuild();
  auto* window = Create<TMenuDropDown>(help_, 1);
  window->Paint(-1);
  TCanvas* c = window->Canvas();
  auto squareCentre = [&](int i) {
    const TRect r = window->ItemRect(i);
    return TPoint{r.Left + 12, (r.Top + r.Bottom) / 2};
  };
  EXPECT_EQ(c->Pixel(squareCentre(0).X, squareCentre(0).Y), 0x0000FF);
  EXPECT_EQ(c->Pixel(squareCentre(1).X, squareCentre(1).Y), 0xFF0000);  // disabled images
  // The notes line: grey text in the lower part of the item, right of the
  // icon bar; the upper part holds the caption in black.
  const TRect r = window->ItemRect(2);
  const int notesTop = r.Bottom - Extent("gh", styler_->NotesFont()).cy - 2;
  int grey = 0;
  int black = 0;
  for (int y = r.Top; y < r.Bottom; ++y) {
    for (int x = r.Left + 24 + 8; x < r.Right - 17; ++x) {
      if (c->Pixel(x, y) == clGray && y >= notesTop)
        ++grey;
      if (c->Pixel(x, y) == clBlack && y < notesTop)
        ++black;
    }
  }
  EXPECT_GT(grey, 0);
  EXPECT_GT(black, 0);
  window->Free();

  // A root item's image: 6 pixels from the left, vertically centred, its
  // width measured in; the caption right of it.
  file_->SetImageIndex(0);
  menu_->Rebuild();
  EXPECT_EQ(file_->ItemSize().cx, 16 + Extent("Fichier").cx + 7);
  QImage bar(200, 19, QImage::Format_RGB32);
  TCanvas* b = Create<TCanvas>(&bar);
  PaintMenuBar(menu_, b, 200, -1, -1);
  for (TPoint p : {TPoint{6, 1}, TPoint{21, 16}, TPoint{13, 9}})
    EXPECT_EQ(b->Pixel(p.X, p.Y), 0x0000FF) << p.X << "," << p.Y;
  EXPECT_NE(b->Pixel(5, 9), 0x0000FF);
  EXPECT_NE(b->Pixel(22, 9), 0x0000FF);
  b->Free();
}

TEST_F(StyMenus, SideBarBesideTheFirstRootsDropDown) {
  BuildMainWindowMenus();
  TSideBar* bar = styler_->SideBar();
  bar->SetVisible(true);  // viFirstVisible: "Fichier" only
  bar->Background()->SetColor(0, 0x224466);
  menu_->Rebuild();
  const int plainWidth = Extent("Quitter").cx;
  // The measure makes room for the bar and its splitter.
  EXPECT_EQ(quit_->ItemSize().cx, 24 + 15 + plainWidth + 7 + 17 + 24 + 1);
  EXPECT_EQ(help_->Items(0)->ItemSize().cx, 24 + 15 + Extent("Index de l'aide").cx + 7 + 17);
  auto* window = Create<TMenuDropDown>(file_, 1);
  window->Paint(-1);
  TCanvas* c = window->Canvas();
  const int h = window->BoundsRect().Height();
  const int barLeft = TMenuDropDown::MenuBorderWidth;
  // Border frame on the bar's edge, its background inside, over the whole
  // height (also beside the separator item); the splitter on the inner
  // edge; the icon bar starts after it.
  for (int y : {4, h / 2, h - 5}) {
    EXPECT_EQ(c->Pixel(barLeft + 5, y), 0x224466) << y;
    EXPECT_EQ(c->Pixel(barLeft + 24, y), 0x808080) << y;
  }
  EXPECT_EQ(c->Pixel(barLeft + 23, h / 2), 0xA19D9D);
  EXPECT_EQ(c->Pixel(barLeft + 25, 0 + window->ItemRect(1).Top), 0xFFEFE3);
  window->Free();
}

TEST_F(StyMenus, SubMenuWindowsMoveTowardsTheirParentAndFrameTheRegion) {
  BuildMainWindowMenus();
  menu_->BeginUpdate();
  TMenuItem* more = Item(help_, "&Plus");
  Item(more, "Feuille");
  menu_->EndUpdate();
  menu_->Rebuild();
  for (int originX : {0, Screen->Width() - 60}) {
    TMenuTracker tracker(menu_, {originX, 0});
    tracker.MouseDown({tracker.RootRect(1).Left + 2, 2});
    ASSERT_EQ(tracker.WindowCount(), 1);
    TMenuDropDown* first = tracker.Window(1);
    const TRect r = first->ItemRect(3);
    tracker.MouseDown({first->BoundsRect().Left + r.Left + 2, first->BoundsRect().Top + r.Top + 2});
    ASSERT_EQ(tracker.WindowCount(), 2);
    TMenuDropDown* second = tracker.Window(2);
    const int w = second->BoundsRect().Width();
    const int h = second->BoundsRect().Height();
    // Opened beside the parent window, then moved 17 towards it and 3 right.
    const int placed =
        second->OpensLeft() ? first->BoundsRect().Left - w : first->BoundsRect().Right;
    EXPECT_EQ(second->BoundsRect().Left, placed + (second->OpensLeft() ? 20 : -14)) << originX;
    EXPECT_EQ(second->OpensLeft(), originX != 0);
    // Both directions frame the region's rectangle, as level 1 does.
    EXPECT_EQ(second->Region(), (TRect{1, 1, w - 18, h - 1}));
    EXPECT_EQ(second->Canvas()->Pixel(1, h / 2), 0x962D00);
    EXPECT_EQ(second->Canvas()->Pixel(w - 19, h / 2), 0x962D00);
    EXPECT_EQ(second->Canvas()->Pixel(w - 20, h / 2), 0xF6F6F6);
  }
}

TEST_F(StyMenus, AntiAliasedTextGoesThroughTheGdiPlusLayer) {
  BuildMainWindowMenus();
  // Counts the text pixels of "Quitter" that are neither the background nor
  // the text colour: none when aliased, some when smoothed.
  auto halfTones = [&](TAntiAlias mode) {
    styler_->SetAntiAlias(mode);
    menu_->Rebuild();
    auto* window = Create<TMenuDropDown>(file_, 1);
    window->Paint(-1);
    const TRect r = window->ItemRect(1);
    int count = 0;
    int ink = 0;
    for (int y = r.Top; y < r.Bottom; ++y) {
      for (int x = r.Left + 24 + 8; x < r.Right - 17 - 2; ++x) {
        const TColor p = window->Canvas()->Pixel(x, y);
        if (p == clBlack)
          ++ink;
        else if (p != 0xF6F6F6)
          ++count;
      }
    }
    window->Free();
    EXPECT_GT(ink + count, 0) << static_cast<int>(mode);  // text was drawn
    return count;
  };
  EXPECT_EQ(halfTones(TAntiAlias::aaNone), 0);
  EXPECT_GT(halfTones(TAntiAlias::aaAntiAlias), 0);
  EXPECT_GT(halfTones(TAntiAlias::aaClearType), 0);
}

TEST_F(StyMenus, BackgroundPicturesArePlacedByPosition) {
  auto* background = Create<TBackground>();
  auto* picture = Create<TBitmap>();
  picture->SetSize(4, 3);
  picture->Canvas()->Brush()->SetColor(clRed);
  picture->Canvas()->FillRect({0, 0, 4, 3});
  background->Image()->SetGraphic(picture);
  picture->Free();
  background->SetMarginX(1);
  background->SetMarginY(2);
  background->SetOffsetX(2);
  background->SetOffsetY(1);
  // Inside {10, 10, 40, 30} shrunk by the margins: {11, 12, 39, 28}, 28 x 16.
  const struct {
    TBackgroundPosition position;
    int x, y;  // the picture's top-left by the placement rule
  } rows[] = {
      {bpTopLeft, 11 + 2, 12 + 1},
      {bpTopRight, 11 + 28 + 2 - 4, 12 + 1},
      {bpBottomLeft, 11 + 2, 12 + 16 + 1 - 3},
      {bpBottomRight, 11 + 28 + 2 - 4, 12 + 16 + 1 - 3},
      {bpTopCenter, 11 + (28 - 4) / 2 + 2, 12 + 1},
      {bpBottomCenter, 11 + (28 - 4) / 2 + 2, 12 + 16 + 1 - 3},
      {bpCenter, 11 + (28 - 4) / 2 + 2, 12 + (16 - 3) / 2 + 1},
      {bpXY, 2, 1},
  };
  QImage image(60, 40, QImage::Format_RGB32);
  TCanvas* c = Create<TCanvas>(&image);
  for (const auto& row : rows) {
    image.fill(Qt::black);
    background->SetPosition(row.position);
    DrawStyBackground(c, {10, 10, 40, 30}, background);
    EXPECT_EQ(c->Pixel(row.x, row.y), clRed) << int(row.position);
    EXPECT_EQ(c->Pixel(row.x + 3, row.y + 2), clRed) << int(row.position);
    EXPECT_NE(c->Pixel(row.x - 1, row.y), clRed) << int(row.position);
    EXPECT_NE(c->Pixel(row.x + 4, row.y + 2), clRed) << int(row.position);
    EXPECT_NE(c->Pixel(row.x, row.y + 3), clRed) << int(row.position);
  }
  // Tiled and stretched opaque pictures cover the margins' inside; the
  // margins keep what was there.
  for (TBackgroundPosition position : {bpTiled, bpStretched}) {
    image.fill(Qt::black);
    background->SetPosition(position);
    DrawStyBackground(c, {10, 10, 40, 30}, background);
    EXPECT_EQ(c->Pixel(11, 12), clRed) << int(position);
    EXPECT_EQ(c->Pixel(38, 27), clRed) << int(position);
    EXPECT_EQ(c->Pixel(10, 12), clBlack) << int(position);
    EXPECT_EQ(c->Pixel(11, 11), clBlack) << int(position);
    EXPECT_EQ(c->Pixel(20, 28), clBlack) << int(position);  // tiles stop at the bottom
  }
  c->Free();
  background->Free();

  // Behind drop-down items the picture comes from the styler's cache, drawn
  // for the window's size.
  BuildMainWindowMenus();
  auto* blue = Create<TBitmap>();
  blue->SetSize(8, 8);
  blue->Canvas()->Brush()->SetColor(clBlue);
  blue->Canvas()->FillRect({0, 0, 8, 8});
  styler_->Background()->Image()->SetGraphic(blue);
  blue->Free();
  styler_->Background()->SetPosition(bpXY);
  styler_->Background()->SetOffsetX(40);
  styler_->Background()->SetOffsetY(10);
  menu_->Rebuild();
  auto* window = Create<TMenuDropDown>(file_, 1);
  window->Paint(-1);
  EXPECT_EQ(styler_->BackgroundCache()->Width(), window->BoundsRect().Width() - 17);
  EXPECT_EQ(window->Canvas()->Pixel(41, 11), clBlue);
  EXPECT_NE(window->Canvas()->Pixel(49, 11), clBlue);
  window->Free();
}

struct Runs : TObject {
  int quits = 0;
  int others = 0;
  void Quit(TObject*) { ++quits; }
  void Other(TObject*) { ++others; }
};

TEST_F(StyMenus, NavigationBySyntheticInput) {
  BuildMainWindowMenus();
  Runs runs;
  auto* close = Create<TAction>(root_);
  close->SetCaption("&Quitter");
  close->OnExecute = TNotifyEvent(&runs, &Runs::Quit);
  quit_->SetAction(close);
  // The help entries carry actions that do nothing.
  for (int i = 0; i < help_->Count(); ++i)
    help_->Items(i)->SetAction(Create<TAction>(root_));
  menu_->Rebuild();
  TMenuTracker tracker(menu_, {50, 30});
  auto centre = [](const TRect& r) {
    return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  };
  auto itemCentre = [&](int level, int index) {
    TMenuDropDown* w = tracker.Window(level);
    const TRect r = w->ItemRect(index);
    return TPoint{w->BoundsRect().Left + (r.Left + r.Right) / 2,
                  w->BoundsRect().Top + (r.Top + r.Bottom) / 2};
  };

  // The bar: root items side by side, as high as the tallest.
  EXPECT_EQ(tracker.BarHeight(), MenuBarItemSize().cy);
  EXPECT_EQ(tracker.RootRect(1).Left, tracker.RootRect(0).Right);

  // Click "Fichier", then "Quitter": the action runs once, all closes.
  tracker.MouseDown(centre(tracker.RootRect(0)));
  ASSERT_EQ(tracker.WindowCount(), 1);
  EXPECT_EQ(tracker.Window(1)->ParentItem(), file_);
  // Level 1 opens under its root item (then joins the bar: 1 left, 2 up).
  EXPECT_EQ(tracker.Window(1)->BoundsRect().Left, tracker.RootRect(0).Left - 1);
  EXPECT_EQ(tracker.Window(1)->BoundsRect().Top, tracker.RootRect(0).Bottom - 2);
  // The separator does nothing.
  tracker.MouseDown(itemCentre(1, 0));
  EXPECT_EQ(tracker.WindowCount(), 1);
  tracker.MouseDown(itemCentre(1, 1));
  EXPECT_EQ(runs.quits, 1);
  EXPECT_EQ(tracker.WindowCount(), 0);
  EXPECT_EQ(tracker.BarSelection(), -1);

  // Hover "Aide" while "Fichier" is open: the drop-downs switch; hovering
  // an item selects it; Esc closes one level, then the bar.
  tracker.MouseDown(centre(tracker.RootRect(0)));
  tracker.MouseMove(centre(tracker.RootRect(1)));
  ASSERT_EQ(tracker.WindowCount(), 1);
  EXPECT_EQ(tracker.Window(1)->ParentItem(), help_);
  tracker.MouseMove(itemCentre(1, 2));
  EXPECT_EQ(tracker.Selection(1), 2);
  // Items whose action does nothing run and change nothing else.
  tracker.MouseDown(itemCentre(1, 2));
  EXPECT_EQ(runs.quits, 1);
  EXPECT_EQ(tracker.WindowCount(), 0);
  tracker.MouseDown(centre(tracker.RootRect(1)));
  EXPECT_TRUE(tracker.KeyDown(VK_ESCAPE, {}));
  EXPECT_EQ(tracker.WindowCount(), 0);
  EXPECT_EQ(tracker.BarSelection(), 1);
  tracker.KeyDown(VK_ESCAPE, {});
  EXPECT_EQ(tracker.BarSelection(), -1);
  // A click outside closes all.
  tracker.MouseDown(centre(tracker.RootRect(0)));
  tracker.MouseDown({2000, 2000});
  EXPECT_EQ(tracker.WindowCount(), 0);

  // F10, the arrows and Enter reach the same item: Down opens "Fichier"
  // on its first selectable item (the separator is skipped).
  EXPECT_TRUE(tracker.KeyDown(0x79, {}));
  EXPECT_EQ(tracker.BarSelection(), 0);
  tracker.KeyDown(VK_RIGHT, {});
  tracker.KeyDown(VK_LEFT, {});
  tracker.KeyDown(VK_DOWN, {});
  ASSERT_EQ(tracker.WindowCount(), 1);
  EXPECT_EQ(tracker.Selection(1), 1);
  tracker.KeyDown(VK_DOWN, {});  // wraps past the separator
  EXPECT_EQ(tracker.Selection(1), 1);
  tracker.KeyDown(VK_RETURN, {});
  EXPECT_EQ(runs.quits, 2);
  EXPECT_EQ(tracker.WindowCount(), 0);

  // Alt + the mnemonic from the form, then the item's letter.
  tracker.KeyDown('F', ssAlt);
  ASSERT_EQ(tracker.WindowCount(), 1);
  tracker.KeyDown('Q', {});
  EXPECT_EQ(runs.quits, 3);
  // The item's shortcut pressed in its form.
  quit_->SetShortCut(ShortCut('Q', scCtrl));
  EXPECT_TRUE(tracker.KeyDown('Q', ssCtrl));
  EXPECT_EQ(runs.quits, 4);
  EXPECT_FALSE(tracker.KeyDown('W', ssCtrl));
}

TEST_F(StyMenus, BarPaintsRootSlicesAndTheMenuColourBeyond) {
  BuildMainWindowMenus();
  menu_->Rebuild();
  constexpr int kWidth = 300;
  QImage image(kWidth, 40, QImage::Format_RGB32);
  image.fill(Qt::black);
  TCanvas* c = Create<TCanvas>(&image);
  const int height = PaintMenuBar(menu_, c, kWidth, -1, -1);
  EXPECT_EQ(height, MenuBarItemSize().cy);
  // Each root item in its slot: its measured width and the pad.
  const int end = file_->ItemSize().cx + help_->ItemSize().cx + 2 * MenuBarItemPad;
  // Right of the last root item: the menu colour of the fixed table.
  EXPECT_EQ(c->Pixel(end, 5), static_cast<TColor>(GetSysColor(4)));
  EXPECT_EQ(c->Pixel(kWidth - 1, height - 1), static_cast<TColor>(GetSysColor(4)));
  EXPECT_EQ(c->Pixel(kWidth - 1, height), static_cast<TColor>(0));  // below the bar
  // Behind the items: the slice of one horizontal gradient over the bar.
  auto barAt = [&](int x) {
    const COLORREF s = 0xF5BE9E, e = 0xF7CDB2;
    auto ch = [&](int shift) {
      const int a = (s >> shift) & 0xFF, b = (e >> shift) & 0xFF;
      return static_cast<COLORREF>(a + (b - a) * x / kWidth) << shift;
    };
    return static_cast<TColor>(ch(0) | ch(8) | ch(16));
  };
  for (int x : {0, MenuBarSlotWidth(file_) - 1, MenuBarSlotWidth(file_), end - 1})
    EXPECT_EQ(c->Pixel(x, 0), barAt(x)) << x;
  // A selected root item with a drop-down: framed, its bottom row opened in
  // the background colour.
  PaintMenuBar(menu_, c, kWidth, 0, -1);
  EXPECT_EQ(c->Pixel(0, 5), static_cast<TColor>(0x962D00));
  EXPECT_EQ(c->Pixel(5, height - 1), static_cast<TColor>(0xF6F6F6));
  c->Free();
}

TEST_F(StyMenus, VersionIsReadOnly) {
  BuildMainWindowMenus();
  EXPECT_EQ(menu_->Version(), "2.5.2.0");
  SetPropValue(menu_, "Version", TPropValue(std::string("9.9")));
  EXPECT_EQ(std::get<std::string>(GetPropValue(popup_, "Version")), "2.5.2.0");
}

}  // namespace
