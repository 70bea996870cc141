// The menu stylers: the office presets (the first one's values written out
// here as the reference), osCustom, the icon bar's minimum size, the colour
// index check, what a stored description of a styler holds, and which
// changes ask the served menu to rebuild.
#include "controls/StyMenuStylers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/Streaming.h"
#include "platform/forms/Forms.h"

namespace {

class StyMenuStylers : public ::testing::Test {
 protected:
  void SetUp() override {
    FormsUnit.Initialize();
    StyMenuStylersUnit.Initialize();
  }
  void TearDown() override {
    StyMenuStylersUnit.Finalize();
    FormsUnit.Finalize();
  }
};

// The value of a dotted property path ("RootItem.SelectedColor").
int64_t Value(TObject* root, const std::string& path) {
  TObject* object = root;
  std::string rest = path;
  for (size_t dot; (dot = rest.find('.')) != std::string::npos; rest = rest.substr(dot + 1))
    object = GetObjectProp(object, rest.substr(0, dot));
  const TPropValue v = GetPropValue(object, rest);
  if (const bool* b = std::get_if<bool>(&v))
    return *b ? 1 : 0;
  return std::get<int64_t>(v);
}

struct Setting {
  const char* path;
  int64_t value;
};

constexpr int64_t kNone = 0x1FFFFFFF;
constexpr int64_t kWindowText = static_cast<int32_t>(0x80000008u);

// The settings list of the first office preset, value by value.
const std::vector<Setting> kOffice2003Blue = {
    {"Background.Color", 0xF6F6F6},
    {"Background.ColorTo", 0xF6F6F6},
    {"MenuBorderColor", 0x962D00},
    {"RootItem.Color", 0xF5BE9E},
    {"RootItem.ColorTo", 0xF7CDB2},
    {"RootItem.GradientDirection", 1},  // gdHorizontal
    {"RootItem.SelectedColor", 0xFFEFE3},
    {"RootItem.SelectedColorTo", 0xE7B593},
    {"RootItem.SelectedColorMirror", kNone},
    {"RootItem.SelectedColorMirrorTo", kNone},
    {"RootItem.SelectedBorderColor", 0x962D00},
    {"RootItem.HoverColor", 0xCCF4FF},
    {"RootItem.HoverColorTo", 0x9AD6FF},
    {"RootItem.HoverColorMirror", kNone},
    {"RootItem.HoverColorMirrorTo", kNone},
    {"RootItem.HoverBorderColor", 0x6F4B4B},
    {"RootItem.HoverTextColor", kWindowText},
    {"SelectedItem.Color", 0xC2EEFF},
    {"SelectedItem.ColorTo", kNone},
    {"SelectedItem.ColorMirror", kNone},
    {"SelectedItem.ColorMirrorTo", kNone},
    {"SelectedItem.BorderColor", 0x800000},
    {"SelectedItem.CheckColor", 0x3E80FE},
    {"SelectedItem.RadioColor", 0x3E80FE},
    {"SelectedItem.CheckColorTo", kNone},
    {"SelectedItem.RadioColorTo", kNone},
    {"SelectedItem.CheckBorder", 0x800000},
    {"SelectedItem.RadioBorder", 0x800000},
    {"IconBar.Color", 0xFFEFE3},
    {"IconBar.ColorTo", 0xE4AD87},
    {"IconBar.CheckColor", 0x6FC0FF},
    {"IconBar.RadioColor", 0x6FC0FF},
    {"IconBar.CheckColorTo", kNone},
    {"IconBar.RadioColorTo", kNone},
    {"IconBar.CheckBorder", 0x800000},
    {"IconBar.RadioBorder", 0x800000},
    {"Separator.Color", 0xCB8C6A},
    {"Separator.ColorTo", kNone},
    {"ButtonAppearance.DownColor", 0x4E91FE},
    {"ButtonAppearance.DownColorTo", 0x91D3FF},
    {"ButtonAppearance.HoverColor", 0xCCF4FF},
    {"ButtonAppearance.HoverColorTo", 0x91D0FF},
    {"ButtonAppearance.DownBorderColor", 0x800000},
    {"ButtonAppearance.HoverBorderColor", 0x800000},
};

void ExpectSettings(TObject* styler, const std::vector<Setting>& settings, const char* when) {
  for (const Setting& s : settings)
    EXPECT_EQ(Value(styler, s.path), s.value) << s.path << " " << when;
}

TEST_F(StyMenuStylers, Office2003BlueWritesItsListExactly) {
  auto* styler = Create<TStyMenuOfficeStyler>(nullptr);
  EXPECT_EQ(styler->Style(), osOffice2003Blue);
  ExpectSettings(styler, kOffice2003Blue, "fresh");
  // Another preset, then the first again: the list is written once more.
  styler->SetStyle(osOffice2007Obsidian);
  EXPECT_NE(Value(styler, "RootItem.Color"), 0xF5BE9E);
  styler->SetStyle(osOffice2003Blue);
  ExpectSettings(styler, kOffice2003Blue, "after another preset");
  // What no preset writes keeps the styler's own default.
  EXPECT_EQ(Value(styler, "Background.GradientDirection"), 0);
  EXPECT_EQ(Value(styler, "IconBar.Size"), 24);
  styler->Free();
}

TEST_F(StyMenuStylers, CustomKeepsTheCurrentColours) {
  auto* styler = Create<TStyMenuOfficeStyler>(nullptr);
  styler->SetStyle(osOffice2007Luna);
  styler->RootItem()->SetHoverColor(0x123456);
  std::vector<Setting> before;
  for (const Setting& s : kOffice2003Blue)
    before.push_back({s.path, Value(styler, s.path)});
  styler->SetStyle(osCustom);
  EXPECT_EQ(styler->Style(), osCustom);
  ExpectSettings(styler, before, "after osCustom");
  EXPECT_EQ(styler->RootItem()->HoverColor(), 0x123456);
  styler->Free();
}

TEST_F(StyMenuStylers, EveryPresetWritesTheWholeList) {
  // A preset that forgot a setting would leave the previous preset's value:
  // reaching each preset from two different ones gives the same values.
  const TOfficeStyle presets[] = {
      osOffice2003Blue, osOffice2003Silver,   osOffice2003Olive,  osOfficeXP,
      osOffice2007Luna, osOffice2007Obsidian, osOffice2007Silver, osVista};
  auto* a = Create<TStyMenuOfficeStyler>(nullptr);
  auto* b = Create<TStyMenuOfficeStyler>(nullptr);
  for (TOfficeStyle style : presets) {
    a->SetStyle(osVista);
    a->SetStyle(style);
    b->SetStyle(osOffice2003Silver);
    b->SetStyle(style);
    for (const Setting& s : kOffice2003Blue)
      EXPECT_EQ(Value(a, s.path), Value(b, s.path)) << s.path << " style " << int(style);
  }
  a->Free();
  b->Free();
}

TEST_F(StyMenuStylers, StyleCodesAndThemeAdaptation) {
  auto* styler = Create<TStyMenuOfficeStyler>(nullptr);
  const struct {
    int code;
    TOfficeStyle style;
  } codes[] = {{1, osOffice2003Silver}, {0, osOffice2003Blue},   {2, osOffice2003Olive},
               {3, osOfficeXP},         {4, osOffice2007Luna},   {5, osOffice2007Obsidian},
               {6, osOfficeXP},         {9, osOffice2007Silver}, {7, osOfficeXP},
               {8, osOfficeXP},         {-1, osOfficeXP},        {10, osOfficeXP}};
  IPtr<IStyMenuStyleCode> setter = Supports<IStyMenuStyleCode>(styler);
  ASSERT_TRUE(setter);
  for (const auto& c : codes) {
    setter->SetStyleCode(c.code);
    EXPECT_EQ(styler->Style(), c.style) << c.code;
  }
  setter.reset();
  // No colour scheme can be read here: adaptation picks the XP preset, and
  // only while it is switched on.
  styler->SetStyle(osOffice2003Blue);
  styler->Loaded();
  EXPECT_EQ(styler->Style(), osOffice2003Blue);
  styler->SetAutoThemeAdapt(true);
  styler->Loaded();
  EXPECT_EQ(styler->Style(), osOfficeXP);
  styler->Free();
}

TEST_F(StyMenuStylers, IconBarSizeHasAFloorOfSixteen) {
  auto* styler = Create<TStyMenuStyler>(nullptr);
  const struct {
    int given, stored;
  } sizes[] = {{10, 16}, {0, 16}, {-5, 16}, {15, 16}, {16, 16}, {17, 17}, {40, 40}};
  for (const auto& s : sizes) {
    styler->IconBar()->SetSize(s.given);
    EXPECT_EQ(styler->IconBar()->Size(), s.stored) << s.given;
  }
  // The stored-description path goes through the same setter.
  SetPropValue(styler->IconBar(), "Size", TPropValue(int64_t{10}));
  EXPECT_EQ(styler->IconBar()->Size(), 16);
  styler->Free();
}

TEST_F(StyMenuStylers, ColourIndexOutsideThePairIsRefused) {
  auto* styler = Create<TStyMenuStyler>(nullptr);
  TGradientBar* bars[] = {styler->Background(), styler->IconBar(), styler->SelectedItem(),
                          styler->RootItem(), styler->Separator()};
  for (TGradientBar* bar : bars) {
    const TColor color = bar->Color();
    const TColor colorTo = bar->ColorTo();
    for (int index : {2, -1}) {
      try {
        bar->SetColor(index, clRed);
        ADD_FAILURE() << "index " << index << " accepted";
      } catch (const EInvalidPropertyIndex& e) {
        EXPECT_EQ(e.Message(), "Invalid property index " + std::to_string(index) + ".");
      }
      EXPECT_THROW(bar->GetColor(index), EInvalidPropertyIndex);
    }
    EXPECT_EQ(bar->Color(), color);
    EXPECT_EQ(bar->ColorTo(), colorTo);
  }
  styler->Free();
}

TEST_F(StyMenuStylers, StoredDescriptionHoldsWhatDiffersFromTheDefaults) {
  // Stylers stand on a form-like root, as in the program.
  auto* root = Create<TComponent>(nullptr);
  root->SetName("Root1");
  auto* styler = Create<TStyMenuStyler>(root);
  styler->SetName("Styler1");
  const std::string text = WriteComponentToText(root);
  // The side bar's initial black differs from its declared default none.
  EXPECT_NE(text.find("SideBar.SplitterColorTo = clBlack"), std::string::npos) << text;
  // Values equal to their defaults are left out.
  for (const char* absent : {"SideBar.SplitterColor ", "IconBar.Size", "MenuBorderColor",
                             "RootItem.HoverColor ", "Separator.Margin"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent << "\n" << text;
  // The notes font is the menu font two points smaller and grey.
  EXPECT_EQ(styler->NotesFont()->Name(), "Tahoma");
  EXPECT_EQ(styler->NotesFont()->Height(), -8);
  EXPECT_EQ(styler->NotesFont()->Color(), clGray);
  EXPECT_EQ(styler->Font()->Height(), -11);
  styler->Free();

  // An office styler's description holds its preset, and reads back.
  auto* office = Create<TStyMenuOfficeStyler>(root);
  office->SetName("Office1");
  office->SetStyle(osVista);
  office->SetStyle(osCustom);
  office->IconBar()->SetColor(1, 0x010203);
  const std::string officeText = WriteComponentToText(root);
  EXPECT_NE(officeText.find("Style = osCustom"), std::string::npos) << officeText;
  TComponent* copyRoot = CreateComponentFromText(officeText, nullptr);
  auto* copy = dynamic_cast<TStyMenuOfficeStyler*>(copyRoot->FindComponent("Office1"));
  ASSERT_NE(copy, nullptr);
  for (const Setting& s : kOffice2003Blue)
    EXPECT_EQ(Value(copy, s.path), Value(office, s.path)) << s.path;
  EXPECT_EQ(copy->IconBar()->ColorTo(), 0x010203);
  copyRoot->Free();
  root->Free();
}

// A menu that counts what its styler asks of it.
class CountingMenu : public IStyMenu {
 public:
  int rebuilds = 0;
  int renewals = 0;
  int barRedraws = 0;
  TComponent* MenuComponent() override { return nullptr; }
  TCustomStyMenuStyler* MenuStylerInUse() override { return nullptr; }
  bool MenuShowNotes() override { return true; }
  bool MenuIntlKeybShortCuts() override { return false; }
  void Update(bool rebuild, bool remeasure) override {
    if (rebuild || remeasure)
      ++rebuilds;
    else
      ++renewals;
  }
  void RedrawMenuBar() override { ++barRedraws; }
};

TEST_F(StyMenuStylers, SizeChangesRebuildTheServedMenu) {
  auto* styler = Create<TStyMenuOfficeStyler>(nullptr);
  CountingMenu menu;
  styler->RegisterMenu(&menu);
  EXPECT_EQ(menu.renewals, 1);
  EXPECT_EQ(menu.rebuilds, 0);
  const struct {
    const char* name;
    void (*change)(TStyMenuOfficeStyler*);
    bool rebuilds;
  } changes[] = {
      {"icon bar size", [](TStyMenuOfficeStyler* s) { s->IconBar()->SetSize(30); }, true},
      {"side bar visible", [](TStyMenuOfficeStyler* s) { s->SideBar()->SetVisible(true); }, true},
      {"selected font", [](TStyMenuOfficeStyler* s) { s->SelectedItem()->SetFont(s->Font()); },
       true},
      {"root hover colour", [](TStyMenuOfficeStyler* s) { s->RootItem()->SetHoverColor(1); }, true},
      {"anti-alias", [](TStyMenuOfficeStyler* s) { s->SetAntiAlias(TAntiAlias::aaClearType); },
       true},
      {"styler system font", [](TStyMenuOfficeStyler* s) { s->SetUseSystemFont(false); }, true},
      {"check colour", [](TStyMenuOfficeStyler* s) { s->IconBar()->SetCheckColor(1); }, false},
      {"separator colour", [](TStyMenuOfficeStyler* s) { s->Separator()->SetColor(0, 1); }, false},
      {"side bar image colour",
       [](TStyMenuOfficeStyler* s) { s->SideBar()->Image()->SetColor(0, 1); }, false},
      {"border colour", [](TStyMenuOfficeStyler* s) { s->SetMenuBorderColor(1); }, false},
  };
  for (const auto& c : changes) {
    const int rebuilds = menu.rebuilds;
    const int renewals = menu.renewals;
    c.change(styler);
    EXPECT_EQ(menu.rebuilds - rebuilds, c.rebuilds ? 1 : 0) << c.name;
    EXPECT_EQ(menu.renewals - renewals, c.rebuilds ? 0 : 1) << c.name;
  }
  // An unchanged value asks nothing.
  const int total = menu.rebuilds + menu.renewals;
  styler->IconBar()->SetSize(30);
  styler->SetMenuBorderColor(1);
  EXPECT_EQ(menu.rebuilds + menu.renewals, total);
  // A preset redraws the bar; a menu that unregistered is asked nothing.
  styler->SetStyle(osOffice2003Olive);
  EXPECT_EQ(menu.barRedraws, 1);
  styler->UnregisterMenu(&menu);
  const int after = menu.rebuilds + menu.renewals;
  styler->SetStyle(osOffice2003Blue);
  styler->IconBar()->SetSize(40);
  EXPECT_EQ(menu.rebuilds + menu.renewals, after);
  EXPECT_EQ(menu.barRedraws, 1);
  styler->Free();
}

TEST_F(StyMenuStylers, GlyphsAreCompiledInAndTransparent) {
  auto* styler = Create<TStyMenuStyler>(nullptr);
  TBitmap* glyphs[] = {styler->Glyphs()->SubMenu(), styler->Glyphs()->Check(),
                       styler->Glyphs()->Radio()};
  for (TBitmap* glyph : glyphs) {
    EXPECT_FALSE(glyph->Empty());
    EXPECT_TRUE(glyph->Transparent());
  }
  // The arrow fits the 3 x 6 box the items centre it in.
  EXPECT_LE(glyphs[0]->Width(), 3);
  EXPECT_LE(glyphs[0]->Height(), 6);
  styler->Free();
}

}  // namespace
