// The toolbars inside the scope: the chart's eleven buttons on the main
// window's width, their actions, looks and cursor; the axes' two zoom
// buttons; the recoloured glyph strip; and the print and save round trips,
// failing ones included.
#include "scope/TrelScopeToolBar.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/Printers.h"
#include "platform/graphics/GraphicsResources.h"
#include "scope/TrelScopeResources.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

namespace kt = kestrune::testing;

// A scope that records what the property dialog is asked to show and, as
// the dialog does when it opens, clears the toolbar's down states.
class TRecordingScope : public TTrelScope {
  KESTRUNE_CLASS(TRecordingScope, TTrelScope)
  explicit TRecordingScope(TComponent* owner) : TTrelScope(owner) {}
  void ShowProperties(int pageIndex, int itemIndex) override {
    shown.emplace_back(pageIndex, itemIndex);
    GetToolBar()->ClearDownStates();
  }
  std::vector<std::pair<int, int>> shown;
};

class TMouseRecorder : public TObject {
  KESTRUNE_CLASS(TMouseRecorder, TObject)
  void Down(TObject*, TMouseButton, TShiftState, int, int) { ++downs; }
  int downs = 0;
};

// The strip's roles, read from the resource itself.
enum class Role { Symbol, Border, Smoothing, Face, Corner };
Role RoleAt(const QImage& strip, int x, int y) {
  switch (strip.pixel(x, y) & 0xFFFFFF) {
    case 0xFFFFFF:
      return Role::Symbol;
    case 0x808080:
      return Role::Border;
    case 0xC0C0C0:
      return Role::Smoothing;
    case 0x000000:
      return Role::Face;
    default:
      return Role::Corner;
  }
}

QImage Strip() {
  TBitmap* b = Create<TBitmap>();
  b->LoadFromResourceName(kTrelScopeButtonsResource);
  QImage image = b->Image().copy();
  FreeObject(b);
  return image;
}

// A point of glyph `g` (strip coordinates made local) with role `role`.
TPoint FindRole(const QImage& strip, int g, Role role) {
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (RoleAt(strip, g * 16 + x, y) == role)
        return {x, y};
  ADD_FAILURE() << "glyph " << g << " has no pixel of that role";
  return {0, 0};
}

// The channel-wise average of two colours, rounded down.
TColor Average(TColor a, TColor b) {
  TColor m = 0;
  for (int shift = 0; shift < 24; shift += 8)
    m |= ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF)) / 2) << shift;
  return m;
}

bool IsJpeg(const std::string& bytes) {
  return bytes.size() > 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xD8;
}

std::string ReadBytes(const std::string& fileName) {
  QFile file(QString::fromStdString(fileName));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll().toStdString();
}

class FakePrinter : public TPrinterBackend {
 public:
  TPage BeginJob(const std::string&) override {
    ++begun;
    return {800, 600, 96, 96};
  }
  void PageDrawn() override {
    if (fail)
      throw EPrinter("the fake printer jammed");
  }
  void EndJob(const QImage&) override { ++ended; }
  bool fail = false;
  int begun = 0;
  int ended = 0;
};

// A 377 x 329 scope (the main window's width) on a shown form, its Y axis
// fixed at -1000 .. 1000 and X at 0 .. 1000, fed one block.
class TrelScopeToolBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopetest::StartUnits();
    ASSERT_TRUE(dir_.isValid());
    form_ = Create<TForm>(Application);
    form_->SetBounds(40, 30, 420, 360);
    producer_ = Create<scopetest::TProducer>(form_, 1);
    scope_ = Create<TRecordingScope>(form_);
    scope_->SetBounds(0, 0, 377, 329);
    scope_->SetParent(form_);
    ASSERT_TRUE(scope_->GetChannels()->GetItem(0)->GetInputPin()->Connect(producer_->Output(0)));
    TTrelScopeXAxis* x = scope_->GetXAxis();
    x->GetMaxSample()->SetAutosize(false);
    x->GetMaxSample()->SetValue(1000);
    x->GetMin()->SetAutoScale(false);
    x->GetMax()->SetAutoScale(false);
    x->GetMin()->SetValue(0.0);
    x->GetMax()->SetValue(1000.0);
    scope_->GetYAxis()->GetAutoScaling()->SetEnabled(false);
    form_->Show();
    producer_->Send(0, std::vector<double>(1001, 100.0));
    scope_->UpdateData();
    scope_->PaintTo();
    Printer()->SetBackend(&printer_);
  }
  void TearDown() override {
    Printer()->SetBackend(nullptr);
    kt::SetDialogAnswerer(nullptr);
    FreeAndNil(form_);
  }

  TTrelScopeToolBar* ToolBar() { return static_cast<TTrelScopeToolBar*>(scope_->GetToolBar()); }
  // The place of the n-th shown button: five a row from (290, 3), 17
  // pixels apart, the second row at y 20.
  static TPoint Slot(int n) { return {290 + (n % 5) * 17, 3 + (n / 5) * 17}; }
  static TPoint Centre(int n) { return {Slot(n).X + 8, Slot(n).Y + 8}; }
  TPoint OnScreen(TPoint client) { return scope_->ClientToScreen(client); }
  void Move(TPoint p) { ASSERT_TRUE(kt::SendMouse(kt::MouseAction::Move, OnScreen(p))); }
  void Press(TPoint p) { ASSERT_TRUE(kt::SendMouse(kt::MouseAction::Press, OnScreen(p))); }
  void Release(TPoint p) { ASSERT_TRUE(kt::SendMouse(kt::MouseAction::Release, OnScreen(p))); }
  void Click(TPoint p) {
    Press(p);
    Release(p);
  }
  TColor PixelAt(TPoint p) {
    scope_->PaintTo();
    return scope_->Picture()->Canvas()->Pixel(p.X, p.Y);
  }
  TColor PixelAt(int x, int y) { return PixelAt(TPoint{x, y}); }
  double YSpan() { return scope_->GetYAxis()->RangeMax() - scope_->GetYAxis()->RangeMin(); }
  bool AnyDown() {
    for (const auto& b : ToolBar()->Buttons())
      if (b->Down)
        return true;
    return false;
  }
  std::string File(const std::string& name) { return dir_.filePath(name.c_str()).toStdString(); }

  QTemporaryDir dir_;
  TForm* form_ = nullptr;
  scopetest::TProducer* producer_ = nullptr;
  TRecordingScope* scope_ = nullptr;
  FakePrinter printer_;
};

TEST_F(TrelScopeToolBarTest, TenButtonsInTwoRowsAtTheTopRightOfTheMainWindowsWidth) {
  TTrelScopeToolBar* bar = ToolBar();
  EXPECT_EQ(bar->GetLeft(), 290);
  EXPECT_EQ(bar->GetBounds(), (TRect{290, 3, 375, 36}));
  // Hold (Run hidden), copy, print, save, properties; the five zooms.
  const int glyphs[] = {1, 7, 5, 6, 8, 2, 3, 4, 9, 10};
  const std::vector<TTrelDisplayToolBar::TPlaced> placed = bar->Layout();
  ASSERT_EQ(placed.size(), 10u);
  for (int n = 0; n < 10; ++n) {
    EXPECT_EQ(placed[n].Rect, (TRect{Slot(n).X, Slot(n).Y, Slot(n).X + 16, Slot(n).Y + 16})) << n;
    EXPECT_EQ(placed[n].Button->ImageIndex, glyphs[n]) << n;
  }
  EXPECT_EQ(bar->GetCursor(), crHandPoint);
}

TEST_F(TrelScopeToolBarTest, EachButtonRunsItsOperation) {
  kt::DialogKind asked{};
  int dialogs = 0;
  kt::SetDialogAnswerer([&](kt::DialogKind kind, TCommonDialog*) {
    asked = kind;
    ++dialogs;
    return kt::DialogAnswer{true, kind == kt::DialogKind::Save ? File("shot.bmp") : ""};
  });
  QGuiApplication::clipboard()->clear();
  struct Case {
    const char* button;
    int slot;
    std::function<void()> before;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"hold", 0, [] {}, [&] { EXPECT_TRUE(scope_->IsHeld()); }},
      {"run", 0, [&] { scope_->SetHold(true); }, [&] { EXPECT_FALSE(scope_->IsHeld()); }},
      {"copy", 1, [] {},
       [&] { EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(377, 329)); }},
      {"print", 2, [] {},
       [&] {
         EXPECT_EQ(asked, kt::DialogKind::Print);
         EXPECT_EQ(printer_.ended, 1);
       }},
      {"save", 3, [] {},
       [&] {
         EXPECT_EQ(asked, kt::DialogKind::Save);
         EXPECT_EQ(ReadBytes(File("shot.bmp")).substr(0, 2), "BM");
       }},
      {"properties", 4, [] {},
       [&] {
         ASSERT_EQ(scope_->shown.size(), 1u);
         EXPECT_EQ(scope_->shown[0], std::make_pair(0, 0));
       }},
      {"zoom in", 5, [] {},
       [&] {
         EXPECT_TRUE(scope_->IsZoomed());
         EXPECT_DOUBLE_EQ(YSpan(), 1000.0);
       }},
      {"zoom out", 6, [] {}, [&] { EXPECT_DOUBLE_EQ(YSpan(), 4000.0); }},
      {"zoom reset", 7, [&] { scope_->ZoomBy(0.5); },
       [&] {
         EXPECT_FALSE(scope_->IsZoomed());
         EXPECT_DOUBLE_EQ(YSpan(), 2000.0);
       }},
      {"zoom back", 8, [&] { scope_->ZoomBy(0.5); },
       [&] {
         EXPECT_FALSE(scope_->IsZoomed());
         EXPECT_TRUE(scope_->CanZoomForward());
       }},
      {"zoom forward", 9,
       [&] {
         scope_->ZoomBy(0.5);
         scope_->ZoomBack();
       },
       [&] {
         EXPECT_TRUE(scope_->IsZoomed());
         EXPECT_DOUBLE_EQ(YSpan(), 1000.0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    scope_->ZoomReset();
    scope_->ClearZoomHistory();
    scope_->SetHold(false);
    c.before();
    Move(Centre(c.slot));
    scope_->PaintTo();  // the buttons take the display's state
    Press(Centre(c.slot));
    if (c.slot >= 2 && c.slot <= 4) {
      EXPECT_FALSE(AnyDown()) << "a dialog's button stays down";
    }
    Release(Centre(c.slot));
    c.check();
    EXPECT_FALSE(AnyDown());
  }
  EXPECT_EQ(dialogs, 2);
}

TEST_F(TrelScopeToolBarTest, HoldSwapsRunIntoItsPlaceInTheMouseDownColours) {
  const QImage strip = Strip();
  // A pixel that is the symbol in the run glyph and the face in the hold
  // glyph shows which of the two is drawn.
  TPoint symbol{-1, -1};
  for (int y = 0; y < 16 && symbol.X < 0; ++y)
    for (int x = 0; x < 16; ++x)
      if (RoleAt(strip, x, y) == Role::Symbol && RoleAt(strip, 16 + x, y) == Role::Face) {
        symbol = {x, y};
        break;
      }
  ASSERT_GE(symbol.X, 0);
  const TPoint at{290 + symbol.X, 3 + symbol.Y};
  const TPoint border{290 + 8, 3};
  const TPoint face{290 + FindRole(strip, 0, Role::Face).X, 3 + FindRole(strip, 0, Role::Face).Y};

  Move(Centre(0));
  EXPECT_EQ(PixelAt(at), clGreen) << "hold, under the pointer: the face";
  EXPECT_EQ(PixelAt(border), clLime);
  Press(Centre(0));
  EXPECT_TRUE(scope_->IsHeld());
  EXPECT_EQ(PixelAt(at), clYellow) << "run, pressed";
  EXPECT_EQ(PixelAt(border), clYellow);
  EXPECT_EQ(PixelAt(face), clOlive);
  Release(Centre(0));
  EXPECT_EQ(PixelAt(at), clYellow) << "run, under the pointer";
  EXPECT_EQ(PixelAt(border), clLime);
  EXPECT_EQ(PixelAt(face), clGreen);
  Move({100, 150});
  EXPECT_EQ(PixelAt(border), clGreen) << "run, away from the pointer";
  EXPECT_EQ(PixelAt(face), clBlack);
  Click(Centre(0));
  EXPECT_FALSE(scope_->IsHeld());
  EXPECT_EQ(PixelAt(at), clGreen) << "hold again, its face";
  EXPECT_EQ(PixelAt(border), clLime) << "under the pointer, not drawn down";
}

TEST_F(TrelScopeToolBarTest, ZoomResetIsDisabledWhileUnzoomedAndTheHistoryButtonsFollowIt) {
  const QImage strip = Strip();
  const TPoint s = FindRole(strip, 4, Role::Symbol);
  Move({100, 150});
  EXPECT_EQ(PixelAt(Slot(7).X + s.X, Slot(7).Y + s.Y), clGreen) << "disabled: DisabledColor";
  Click(Centre(7));
  EXPECT_FALSE(scope_->CanZoomBack()) << "the disabled button did nothing";
  TTrelScopeToolBar* bar = ToolBar();
  EXPECT_FALSE(bar->ZoomBackButton()->Enabled);
  EXPECT_FALSE(bar->ZoomForwardButton()->Enabled);

  scope_->ZoomBy(0.5);
  Move({100, 150});
  EXPECT_EQ(PixelAt(Slot(7).X + s.X, Slot(7).Y + s.Y), clYellow);
  EXPECT_TRUE(bar->ZoomResetButton()->Enabled);
  EXPECT_TRUE(bar->ZoomBackButton()->Enabled);
  EXPECT_FALSE(bar->ZoomForwardButton()->Enabled);
  scope_->ZoomBack();
  scope_->PaintTo();
  EXPECT_FALSE(bar->ZoomBackButton()->Enabled);
  EXPECT_TRUE(bar->ZoomForwardButton()->Enabled);
}

TEST_F(TrelScopeToolBarTest, ASecondPressClearsTheFirstsDown) {
  TTrelScopeToolBar* bar = ToolBar();
  ASSERT_TRUE(bar->MouseDown(Centre(4).X, Centre(4).Y));  // the dialog clears it
  ASSERT_TRUE(bar->MouseDown(Centre(5).X, Centre(5).Y));
  ASSERT_TRUE(bar->MouseDown(Centre(6).X, Centre(6).Y));
  const std::vector<TTrelDisplayToolBar::TPlaced> placed = bar->Layout();
  EXPECT_FALSE(placed[5].Button->Down);
  EXPECT_TRUE(placed[6].Button->Down);
  EXPECT_FALSE(bar->MouseDown(100, 150)) << "a miss takes nothing";
  EXPECT_FALSE(placed[6].Button->Down) << "and clears the last press";
}

TEST_F(TrelScopeToolBarTest, ShownOnlyWhenVisibleAndWhileThePointerIsInside) {
  TMouseRecorder recorder;
  scope_->OnMouseDown = TMouseEvent(&recorder, &TMouseRecorder::Down);
  const TPoint border{Slot(1).X + 8, Slot(1).Y};
  Move({100, 150});
  EXPECT_EQ(PixelAt(border), clGreen);
  Press(Centre(1));
  Release(Centre(1));
  EXPECT_EQ(recorder.downs, 0) << "a press on a button fires no OnMouseDown";
  Click({100, 150});
  EXPECT_EQ(recorder.downs, 1);

  // AutoHide with the pointer outside the control.
  kt::SetPointer(OnScreen({500, 500}));
  scope_->MouseLeave();
  EXPECT_EQ(PixelAt(border), clBlack);
  ToolBar()->SetAutoHide(false);
  EXPECT_EQ(PixelAt(border), clGreen);

  ToolBar()->SetVisible(false);
  Move(Centre(0));
  EXPECT_EQ(PixelAt(border), clBlack) << "not drawn";
  Click(Centre(0));
  EXPECT_FALSE(scope_->IsHeld()) << "not hit";
  EXPECT_EQ(recorder.downs, 2);
}

TEST_F(TrelScopeToolBarTest, ThePointerShowsTheToolbarsCursorOverItsBounds) {
  scope_->SetCursor(crCross);
  ToolBar()->SetCursor(crSizeWE);
  struct Step {
    TPoint at;
    TCursor shown;
  };
  const Step steps[] = {{{100, 150}, crCross}, {{289, 10}, crCross}, {{290, 3}, crSizeWE},
                        {{374, 35}, crSizeWE}, {{375, 35}, crCross}, {{300, 36}, crCross},
                        {Centre(3), crSizeWE}, {{10, 300}, crCross}};
  for (const Step& s : steps) {
    Move(s.at);
    EXPECT_EQ(scope_->Cursor(), s.shown) << s.at.X << ", " << s.at.Y;
  }
  EXPECT_EQ(scope_->GetCursor(), crCross) << "the display's own cursor is kept";
}

// ---------------------------------------------------------------------------
// The axes' toolbars

TEST_F(TrelScopeToolBarTest, AxisToolbarsStandBesideTheDataView) {
  for (const bool vertical : {false, true}) {
    scope_->SetVertical(vertical);
    scope_->PaintTo();
    const TRect dv = scope_->GetDataView()->Rect();
    struct Case {
      const char* axis;
      TTrelDisplayAxis* view;
      bool stacked;
    };
    const Case cases[] = {{"Y", scope_->GetYAxis(), !vertical},
                          {"X", scope_->GetXAxis(), vertical}};
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.axis) + (vertical ? " vertical" : ""));
      TTrelAxisToolBar* bar = c.view->GetToolBar();
      const std::vector<TTrelDisplayToolBar::TPlaced> placed = bar->Layout();
      ASSERT_EQ(placed.size(), 2u);
      EXPECT_EQ(placed[0].Button->ImageIndex, 2);
      EXPECT_EQ(placed[1].Button->ImageIndex, 3);
      if (c.stacked) {
        EXPECT_EQ(placed[0].Rect, (TRect{3, dv.Top, 19, dv.Top + 16}));
        EXPECT_EQ(placed[1].Rect, (TRect{3, dv.Top + 17, 19, dv.Top + 33}));
        EXPECT_EQ(bar->GetBounds(), (TRect{3, dv.Top, 20, dv.Top + 33}));
      } else {
        const int top = c.view->Bottom - 19;
        EXPECT_EQ(placed[0].Rect, (TRect{dv.Left, top, dv.Left + 16, top + 16}));
        EXPECT_EQ(placed[1].Rect, (TRect{dv.Left + 17, top, dv.Left + 33, top + 16}));
        EXPECT_EQ(bar->GetBounds(), (TRect{dv.Left, top, dv.Left + 34, top + 16}));
      }
      // The buttons lie inside the axis's strip, which hands them the press.
      EXPECT_TRUE(c.view->Rect().Contains({placed[1].Rect.Right - 1, placed[1].Rect.Bottom - 1}));
    }
  }
}

TEST_F(TrelScopeToolBarTest, AxisButtonsZoomTheirAxisOnlyAndStartNoDrag) {
  TTrelScopeXAxis* x = scope_->GetXAxis();
  TTrelScopeYAxis* y = scope_->GetYAxis();
  const double xMin = x->RangeMin(), xMax = x->RangeMax();
  const TRect zoomIn = y->GetToolBar()->Layout()[0].Rect;
  const TPoint in{zoomIn.Left + 8, zoomIn.Top + 8};
  Move(in);
  Press(in);
  EXPECT_DOUBLE_EQ(y->RangeMin(), -500.0);
  EXPECT_DOUBLE_EQ(y->RangeMax(), 500.0);
  EXPECT_DOUBLE_EQ(x->RangeMin(), xMin);
  EXPECT_DOUBLE_EQ(x->RangeMax(), xMax);
  ASSERT_TRUE(scope_->IsZoomed());
  // Dragging on from the button moves nothing.
  ASSERT_TRUE(kt::SendMouse(kt::MouseAction::Move, OnScreen({in.X, in.Y + 60})));
  EXPECT_DOUBLE_EQ(y->RangeMin(), -500.0);
  Release({in.X, in.Y + 60});
  EXPECT_FALSE(y->GetToolBar()->Layout()[0].Button->Down);
  scope_->ZoomBack();
  EXPECT_DOUBLE_EQ(y->RangeMin(), -1000.0);
  EXPECT_DOUBLE_EQ(y->RangeMax(), 1000.0);
  EXPECT_FALSE(scope_->IsZoomed());

  // A press in the strip beside the buttons does drag the zoomed range.
  scope_->ZoomByXY(1.0, 0.5);
  const TPoint beside{in.X, in.Y + 60};
  Press(beside);
  ASSERT_TRUE(kt::SendMouse(kt::MouseAction::Move, OnScreen({beside.X, beside.Y + 40})));
  Release({beside.X, beside.Y + 40});
  EXPECT_NE(y->RangeMin(), -500.0);

  // The X axis's zoom out widens X only.
  scope_->ZoomReset();
  const TRect xOut = x->GetToolBar()->Layout()[1].Rect;
  const double ySpan = YSpan();
  Click({xOut.Left + 8, xOut.Top + 8});
  EXPECT_DOUBLE_EQ(YSpan(), ySpan);
  EXPECT_TRUE(scope_->IsZoomed());
}

TEST_F(TrelScopeToolBarTest, AxisToolbarsAreNotInPicturesNorAutoHiddenOffTheAxis) {
  TTrelScopeYAxis* y = scope_->GetYAxis();
  const TRect first = y->GetToolBar()->Layout()[0].Rect;
  const TPoint border{first.Left + 8, first.Top};
  const TPoint overAxis{first.Left + 8, first.Top + 60};
  Move(overAxis);
  EXPECT_EQ(PixelAt(border), clGreen) << "pointer over the axis";
  TBitmap* picture = Create<TBitmap>();
  picture->SetSize(scope_->Width(), scope_->Height());
  scope_->DrawToCanvas(picture->Canvas());
  EXPECT_NE(picture->Canvas()->Pixel(border.X, border.Y), clGreen) << "picture pass";
  FreeObject(picture);
  Move({200, 150});
  EXPECT_NE(PixelAt(border), clGreen) << "pointer off the axis";
  y->GetToolBar()->SetAutoHide(false);
  EXPECT_EQ(PixelAt(border), clGreen) << "not hiding itself";
}

// ---------------------------------------------------------------------------
// The glyph strip and its recolouring

TEST(TrelScopeGlyphStrip, ElevenGlyphsInFourRolesWithFifthColourCorners) {
  scopetest::StartUnits();
  const TResource& res = ResourceByName(TResourceKind::Bitmap, kTrelScopeButtonsResource);
  ASSERT_GT(res.bytes.size(), 30u);
  EXPECT_EQ(static_cast<unsigned char>(res.bytes[28]), 4) << "4 bits per pixel";
  const QImage strip = Strip();
  ASSERT_EQ(strip.size(), QSize(176, 16));
  for (int g = 0; g < 11; ++g) {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const bool corner = (x == 0 || x == 15) && (y == 0 || y == 15);
        EXPECT_EQ(RoleAt(strip, g * 16 + x, y) == Role::Corner, corner)
            << g << ": " << x << "," << y;
      }
    EXPECT_EQ(RoleAt(strip, g * 16 + 8, 0), Role::Border) << g;
    FindRole(strip, g, Role::Symbol);
    FindRole(strip, g, Role::Face);
  }
}

TEST(TrelScopeToolBarPixels, TheTransparentValueAvoidsEveryColourInUse) {
  constexpr TColor nearWhite = 0xFEFFFF;  // the pixel value $FFFFFE
  constexpr TColor blueWhite = 0xFDFFFF;  // $FFFFFD
  struct Case {
    const char* what;
    TColor glyph, button, border, display;
    std::uint32_t transparent;
  };
  const Case cases[] = {
      {"defaults", clYellow, clBlack, clGreen, clBlack, 0xFFFFFE},
      {"white glyph", clWhite, clBlack, clGreen, clBlack, 0xFFFFFE},
      {"glyph at $FFFFFE", nearWhite, clBlack, clGreen, clBlack, 0xFFFFFF},
      {"display at $FFFFFE", clYellow, clBlack, clGreen, nearWhite, 0xFFFFFF},
      {"border $FFFFFE, display white", clYellow, clBlack, nearWhite, clWhite, 0x1000000},
      {"mid tone at $FFFFFE", clWhite, blueWhite, clGreen, clBlack, 0x1000000},
      {"system colour resolved", nearWhite, clBlack, clGreen, clWindow, 0x1000000},
  };
  for (const Case& c : cases) {
    const TTrelToolBarPixels p = ToolBarPixels(c.glyph, c.button, c.border, c.display);
    EXPECT_EQ(p.Transparent, c.transparent) << c.what;
  }
  // The mid tone rounds each channel down, as 0x00RRGGBB.
  EXPECT_EQ(ToolBarPixels(0x0A0B0D, 0x010203, clGreen, clBlack).Mid, 0x080605u);
}

class TrelScopeToolBarRecolourTest : public TrelScopeToolBarTest {
 protected:
  // Every pixel of every image of the four lists is the colour its role
  // in the strip gives with the toolbar's colours now.
  void ExpectListsFollowTheColours(const char* what) {
    SCOPED_TRACE(what);
    TTrelDisplayToolBar* bar = ToolBar();
    struct List {
      TTrelToolBarLook look;
      TColor glyph, button, border;
    };
    const List lists[] = {
        {TTrelToolBarLook::Normal, bar->GetGlyphColor(), bar->GetButtonColor(),
         bar->GetBorderColor()},
        {TTrelToolBarLook::MouseOver, bar->GetGlyphColor(), bar->GetMouseOverButtonColor(),
         bar->GetMouseOverBorderColor()},
        {TTrelToolBarLook::MouseDown, bar->GetGlyphColor(), bar->GetMouseDownButtonColor(),
         bar->GetMouseDownBorderColor()},
        {TTrelToolBarLook::Disabled, bar->GetDisabledColor(), bar->GetButtonColor(),
         bar->GetDisabledColor()},
    };
    constexpr TColor kBackground = 0x123456;  // what the transparent corners show
    TBitmap* out = Create<TBitmap>();
    int wrong = 0;
    for (const List& l : lists) {
      TImageList* images = bar->Images(l.look);
      ASSERT_EQ(images->Count(), 11);
      for (int g = 0; g < 11; ++g) {
        out->SetSize(16, 16);
        out->Canvas()->Brush()->SetColor(kBackground);
        images->GetBitmap(g, out);
        for (int y = 0; y < 16; ++y)
          for (int x = 0; x < 16; ++x) {
            TColor expected = kBackground;
            switch (RoleAt(strip_, g * 16 + x, y)) {
              case Role::Symbol:
                expected = l.glyph;
                break;
              case Role::Border:
                expected = l.border;
                break;
              case Role::Smoothing:
                expected = Average(l.glyph, l.button);
                break;
              case Role::Face:
                expected = l.button;
                break;
              case Role::Corner:
                break;
            }
            if (out->Canvas()->Pixel(x, y) != expected && ++wrong < 5)
              ADD_FAILURE() << "list " << static_cast<int>(l.look) << " glyph " << g << " at " << x
                            << "," << y;
          }
      }
    }
    FreeObject(out);
    EXPECT_EQ(wrong, 0);
  }
  QImage strip_ = Strip();
};

TEST_F(TrelScopeToolBarRecolourTest, EveryColourChangeRebuildsAllFourLists) {
  ExpectListsFollowTheColours("defaults");
  using T = TTrelDisplayToolBar;
  struct Case {
    const char* what;
    void (T::*set)(TColor);
    TColor value;
  };
  const Case cases[] = {
      {"GlyphColor", &T::SetGlyphColor, 0x0A0B0D},
      {"ButtonColor", &T::SetButtonColor, 0x010203},
      {"BorderColor", &T::SetBorderColor, clMaroon},
      {"MouseOverBorderColor", &T::SetMouseOverBorderColor, clTeal},
      {"MouseOverButtonColor", &T::SetMouseOverButtonColor, clNavy},
      {"MouseDownBorderColor", &T::SetMouseDownBorderColor, clPurple},
      {"MouseDownButtonColor", &T::SetMouseDownButtonColor, clSilver},
      {"DisabledColor", &T::SetDisabledColor, clGray},
  };
  for (const Case& c : cases) {
    (ToolBar()->*c.set)(c.value);
    ExpectListsFollowTheColours(c.what);
  }
  // Assigned from another toolbar: its colours, all four lists.
  TTrelScopeToolBar* other = Create<TTrelScopeToolBar>(scope_);
  other->SetGlyphColor(clAqua);
  other->SetDisabledColor(clRed);
  ToolBar()->Assign(other);
  FreeObject(other);
  EXPECT_EQ(ToolBar()->GetGlyphColor(), clAqua);
  ExpectListsFollowTheColours("assigned");
}

TEST_F(TrelScopeToolBarRecolourTest, TheCornersShowTheDisplaysColour) {
  scope_->SetColor(clNavy);
  ToolBar()->SetAutoHide(false);
  Move({100, 150});
  for (int n = 0; n < 10; ++n) {
    const TPoint s = Slot(n);
    for (const TPoint corner :
         {s, TPoint{s.X + 15, s.Y}, TPoint{s.X, s.Y + 15}, TPoint{s.X + 15, s.Y + 15}})
      EXPECT_EQ(PixelAt(corner), clNavy) << n;
    EXPECT_EQ(PixelAt(s.X + 8, s.Y), clGreen) << n;  // the border beside
  }
}

// ---------------------------------------------------------------------------
// Print and save

TEST_F(TrelScopeToolBarTest, SaveWritesJpegForJpgAndJpegNamesAndABitmapOtherwise) {
  struct Case {
    const char* typed;
    const char* written;
    bool jpeg;
  };
  const Case cases[] = {{"a.jpg", "a.jpg", true},          {"b.JPG", "b.JPG", true},
                        {"c.jpeg", "c.jpeg", true},        {"d.JpEg", "d.JpEg", true},
                        {"e.png", "e.png", false},         {"f", "f.bmp", false},
                        {"g.jpg.bmp", "g.jpg.bmp", false}, {"h.bmp", "h.bmp", false}};
  TSaveDialog* seen = nullptr;
  std::string filter, defaultExt;
  std::string typed;
  bool heldWhileAsked = false;
  kt::SetDialogAnswerer([&](kt::DialogKind kind, TCommonDialog* dialog) {
    EXPECT_EQ(kind, kt::DialogKind::Save);
    seen = dynamic_cast<TSaveDialog*>(dialog);
    if (seen != nullptr) {
      filter = seen->Filter();
      defaultExt = seen->DefaultExt();
    }
    heldWhileAsked = scope_->IsHeld();
    return kt::DialogAnswer{true, File(typed)};
  });
  for (const Case& c : cases) {
    typed = c.typed;
    Click(Centre(3));
    const std::string bytes = ReadBytes(File(c.written));
    EXPECT_EQ(IsJpeg(bytes), c.jpeg) << c.typed;
    EXPECT_EQ(bytes.substr(0, 2) == "BM", !c.jpeg) << c.typed;
    EXPECT_TRUE(heldWhileAsked) << c.typed;
    EXPECT_FALSE(scope_->IsHeld()) << c.typed;
  }
  EXPECT_EQ(filter, "Bitmap (*.bmp)|*.bmp|JPEG File Interchange Format (*.jpg)|*.jpg");
  EXPECT_EQ(defaultExt, "bmp");
}

TEST_F(TrelScopeToolBarTest, ACancelledDialogLeavesTheHoldStateAsItWas) {
  bool heldWhileAsked = false;
  kt::SetDialogAnswerer([&](kt::DialogKind, TCommonDialog*) {
    heldWhileAsked = scope_->IsHeld();
    return kt::DialogAnswer{false, ""};
  });
  const int components = scope_->ComponentCount();
  for (const int slot : {2, 3}) {
    for (const bool held : {false, true}) {
      SCOPED_TRACE(std::string(slot == 2 ? "print" : "save") + (held ? " held" : " running"));
      scope_->SetHold(held);
      Move(Centre(slot));
      scope_->PaintTo();
      Click(Centre(slot));
      EXPECT_TRUE(heldWhileAsked);
      EXPECT_EQ(scope_->IsHeld(), held);
      EXPECT_EQ(scope_->ComponentCount(), components) << "the dialog is freed";
    }
  }
  EXPECT_EQ(printer_.begun, 0);
}

// The mend: a failing print or save restores the hold state, frees the
// dialog and releases the buttons before the error reaches the central
// handler.
TEST_F(TrelScopeToolBarTest, AFailingPrintOrSaveRestoresTheHoldAndReleasesTheButtons) {
  const std::string unwritable = File("no-such-folder/a.bmp");
  kt::SetDialogAnswerer([&](kt::DialogKind kind, TCommonDialog*) {
    return kt::DialogAnswer{true, kind == kt::DialogKind::Save ? unwritable : ""};
  });
  printer_.fail = true;
  const int components = scope_->ComponentCount();
  struct Case {
    const char* what;
    int slot;
    const char* error;
  };
  const Case cases[] = {{"print", 2, "the fake printer jammed"},
                        {"save", 3, "no-such-folder/a.bmp"}};
  for (const Case& c : cases) {
    for (const bool held : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (held ? " held" : " running"));
      scope_->SetHold(held);
      Move(Centre(c.slot));
      scope_->PaintTo();
      testing::internal::CaptureStderr();
      Press(Centre(c.slot));
      const std::string err = testing::internal::GetCapturedStderr();
      EXPECT_NE(err.find(c.error), std::string::npos) << err;
      EXPECT_EQ(scope_->IsHeld(), held);
      EXPECT_FALSE(AnyDown()) << "released before the mouse button is";
      EXPECT_EQ(scope_->ComponentCount(), components) << "the dialog is freed";
      EXPECT_FALSE(Printer()->Printing());
      Release(Centre(c.slot));
    }
  }
  EXPECT_EQ(printer_.ended, 2);
}

}  // namespace
