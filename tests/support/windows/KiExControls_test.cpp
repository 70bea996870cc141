// The extended control bases: notifications reach their operations and the
// defaults pass them on; the message-borne operations; the AutoSize routing;
// the hint colour rule; the frame highlight.
#include "support/windows/KiExControls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/forms/OwnerDraw.h"

namespace {

// Notes every operation reached and every message handed on.
class Probe : public TKiExCustomControl {
  KESTRUNE_CLASS(Probe, TKiExCustomControl)
  explicit Probe(TComponent* owner) : TKiExCustomControl(owner) {}

  std::vector<std::string> ops;
  std::vector<TMessage> passed;
  TShiftState dialog_shift;
  int hit_x = 0, hit_y = 0;
  int adjust_size_calls = 0;
  bool deny_marker = false;

  using TKiExCustomControl::CMMouseEnter;
  using TKiExCustomControl::CMMouseLeave;

  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    if (deny_marker && iid == IKiExControl::IID) {
      *obj = nullptr;
      return E_NOINTERFACE;
    }
    return TKiExCustomControl::QueryInterface(iid, obj);
  }

 protected:
  void Note(const char* op) { ops.emplace_back(op); }
  void TextChanged() override { Note("TextChanged"), inherited::TextChanged(); }
  void VisibleChanged() override { Note("VisibleChanged"), inherited::VisibleChanged(); }
  void EnabledChanged() override { Note("EnabledChanged"), inherited::EnabledChanged(); }
  void ColorChanged() override { Note("ColorChanged"), inherited::ColorChanged(); }
  void FontChanged() override { Note("FontChanged"), inherited::FontChanged(); }
  void CursorChanged() override { Note("CursorChanged"), inherited::CursorChanged(); }
  void ParentColorChanged() override {
    Note("ParentColorChanged");
    inherited::ParentColorChanged();
  }
  void ParentFontChanged() override {
    Note("ParentFontChanged");
    inherited::ParentFontChanged();
  }
  void Resized() override { Note("Resized"), inherited::Resized(); }
  void GotFocus(TWinControl* c) override { Note("GotFocus"), inherited::GotFocus(c); }
  void LostFocus(TWinControl* c) override { Note("LostFocus"), inherited::LostFocus(c); }
  void FocusChanged(TWinControl* c) override { Note("FocusChanged"), inherited::FocusChanged(c); }
  void ShowingChanged() override { Note("ShowingChanged"), inherited::ShowingChanged(); }
  void MouseEnter(TControl* c) override { Note("MouseEnter"), inherited::MouseEnter(c); }
  void MouseLeave(TControl* c) override { Note("MouseLeave"), inherited::MouseLeave(c); }
  bool DialogChar(uint16_t key, TShiftState shift, const std::string& text) override {
    Note("DialogChar");
    dialog_shift = shift;
    return inherited::DialogChar(key, shift, text);
  }
  bool HitTest(int x, int y) override {
    Note("HitTest");
    hit_x = x;
    hit_y = y;
    return inherited::HitTest(x, y);
  }
  void ShowHintChanged() override { Note("ShowHintChanged"), inherited::ShowHintChanged(); }
  void ParentShowHintChanged() override {
    Note("ParentShowHintChanged");
    inherited::ParentShowHintChanged();
  }
  void ControlListChanging(TControl* c, bool inserting) override {
    Note(inserting ? "ControlListChanging(inserting)" : "ControlListChanging(removing)");
    inherited::ControlListChanging(c, inserting);
  }
  void ControlListChanged(TControl* c, bool inserting) override {
    Note(inserting ? "ControlListChanged(inserting)" : "ControlListChanged(removing)");
    inherited::ControlListChanged(c, inserting);
  }
  void DoSetAutoSize(bool value) override {
    Note("DoSetAutoSize");
    inherited::DoSetAutoSize(value);
  }
  void AdjustSize() override { ++adjust_size_calls; }
  void InheritedWndProc(TMessage& message) override {
    passed.push_back(message);
    inherited::InheritedWndProc(message);
  }
};

// Answers 1 to the extension query.
class QueryProbe : public Probe, public IKiExtensionQuery {
  KESTRUNE_CLASS(QueryProbe, Probe)
  explicit QueryProbe(TComponent* owner) : Probe(owner) {}
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    if (QueryInterfaceTable<IKiExtensionQuery>(this, iid, obj) == S_OK)
      return S_OK;
    return Probe::QueryInterface(iid, obj);
  }
};

// A control of the base library, without the marker.
class PlainControl : public TCustomControl {
  KESTRUNE_CLASS(PlainControl, TCustomControl)
  explicit PlainControl(TComponent* owner) : TCustomControl(owner) {}
  int adjust_size_calls = 0;

 protected:
  void AdjustSize() override { ++adjust_size_calls; }
};

class KiExControlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!FormsUnit.Initialized())
      FormsUnit.Initialize();
    Application->Initialize();
  }
  void SetUp() override {
    form_ = Create<TForm>(nullptr);
    form_->SetBounds(0, 0, 200, 100);
    probe_ = Create<Probe>(form_);
    probe_->SetParent(form_);
    probe_->SetBounds(10, 10, 20, 10);
    probe_->ops.clear();
  }
  void TearDown() override { form_->Free(); }
  TForm* form_ = nullptr;
  Probe* probe_ = nullptr;
};

struct NotificationCase {
  const char* name;
  void (*change)(TForm* form, Probe* probe);
  const char* op;
};

TEST_F(KiExControlsTest, EachNotificationReachesItsOperation) {
  const NotificationCase cases[] = {
      {"caption", [](TForm*, Probe* p) { p->SetCaption("x"); }, "TextChanged"},
      {"visible",
       [](TForm*, Probe* p) {
         p->SetVisible(false);
         p->SetVisible(true);
       },
       "VisibleChanged"},
      {"enabled",
       [](TForm*, Probe* p) {
         p->SetEnabled(false);
         p->SetEnabled(true);
       },
       "EnabledChanged"},
      {"colour", [](TForm*, Probe* p) { p->SetColor(clRed); }, "ColorChanged"},
      {"font", [](TForm*, Probe* p) { p->Font()->SetSize(14); }, "FontChanged"},
      {"cursor", [](TForm*, Probe* p) { p->SetCursor(crHandPoint); }, "CursorChanged"},
      {"parent colour",
       [](TForm* f, Probe* p) {
         p->SetParentColor(true);
         p->ops.clear();
         f->SetColor(clYellow);
       },
       "ParentColorChanged"},
      {"parent font", [](TForm* f, Probe*) { f->Font()->SetSize(13); }, "ParentFontChanged"},
      {"size", [](TForm*, Probe* p) { p->SetWidth(33); }, "Resized"},
      {"focus", [](TForm*, Probe* p) { p->SetFocus(); }, "GotFocus"},
      {"mouse enter", [](TForm*, Probe* p) { p->CMMouseEnter(nullptr); }, "MouseEnter"},
      {"mouse leave", [](TForm*, Probe* p) { p->CMMouseLeave(nullptr); }, "MouseLeave"},
  };
  for (const NotificationCase& c : cases) {
    SCOPED_TRACE(c.name);
    probe_->ops.clear();
    c.change(form_, probe_);
    EXPECT_NE(std::find(probe_->ops.begin(), probe_->ops.end(), c.op), probe_->ops.end());
  }
}

TEST_F(KiExControlsTest, DefaultsPassTheNotificationOnAsTheBaseDoes) {
  // The base copies the parent's colour and font into a control that takes
  // them, and the enter and leave notifications keep the hover flag.
  probe_->SetParentColor(true);
  form_->SetColor(clYellow);
  EXPECT_EQ(probe_->Color(), clYellow);
  probe_->SetParentFont(true);
  form_->Font()->SetName("Arial");
  EXPECT_EQ(probe_->Font()->Name(), "Arial");
  int entered = 0, left = 0, parentColour = 0;
  struct Counter {
    int* n;
    void Count(TObject*) { ++*n; }
  } enter{&entered}, leave{&left}, colour{&parentColour};
  probe_->OnMouseEnter = TNotifyEvent(&enter, &Counter::Count);
  probe_->OnMouseLeave = TNotifyEvent(&leave, &Counter::Count);
  probe_->OnParentColorChange = TNotifyEvent(&colour, &Counter::Count);
  probe_->CMMouseEnter(nullptr);
  EXPECT_TRUE(probe_->MouseOver());
  probe_->CMMouseLeave(nullptr);
  EXPECT_FALSE(probe_->MouseOver());
  form_->SetColor(clLime);
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(parentColour, 1);
}

struct MessageCase {
  const char* name;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  const char* op;
  UINT passedMsg;  // the message the default hands on
  LPARAM passedLParam;
};

TEST_F(KiExControlsTest, MessagesReachTheirOperationsAndTheDefaultsHandThemOn) {
  auto* other = Create<TCustomControl>(form_);
  const auto ctl = reinterpret_cast<WPARAM>(other);
  const LPARAM point = (7 << 16) | 0xFFFD;  // (-3, 7)
  const MessageCase cases[] = {
      {"dialog char", CM_DIALOGCHAR, 'K', kKeyDataAlt | kKeyDataShift, "DialogChar", CM_DIALOGCHAR,
       kKeyDataAlt | kKeyDataShift},
      {"hit test", CM_HITTEST, 0, point, "HitTest", CM_HITTEST, point},
      {"show hint", CM_SHOWHINTCHANGED, 0, 0, "ShowHintChanged", CM_SHOWHINTCHANGED, 0},
      {"parent show hint", CM_PARENTSHOWHINTCHANGED, 0, 0, "ParentShowHintChanged",
       CM_PARENTSHOWHINTCHANGED, 0},
      {"list change, inserting", CM_CONTROLLISTCHANGE, ctl, 1, "ControlListChanging(inserting)",
       CM_CONTROLLISTCHANGE, 1},
      {"list change, removed", CM_CONTROLLISTCHANGE, ctl, 0, "ControlListChanged(removing)",
       CM_CONTROLLISTCHANGE, 0},
      {"control change, inserted", CM_CONTROLCHANGE, ctl, 1, "ControlListChanged(inserting)",
       CM_CONTROLCHANGE, 1},
      {"control change, removing", CM_CONTROLCHANGE, ctl, 0, "ControlListChanging(removing)",
       CM_CONTROLCHANGE, 0},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.name);
    probe_->ops.clear();
    probe_->passed.clear();
    probe_->Perform(c.msg, c.wParam, c.lParam);
    ASSERT_EQ(probe_->ops.size(), 1u);
    EXPECT_EQ(probe_->ops[0], c.op);
    ASSERT_EQ(probe_->passed.size(), 1u);
    EXPECT_EQ(probe_->passed[0].Msg, c.passedMsg);
    EXPECT_EQ(probe_->passed[0].LParam, c.passedLParam);
  }
  EXPECT_EQ(probe_->hit_x, -3);
  EXPECT_EQ(probe_->hit_y, 7);
}

TEST_F(KiExControlsTest, DialogCharTakesItsShiftStateFromTheKeyData) {
  struct ShiftCase {
    LPARAM keyData;
    TShiftState shift;
  };
  const ShiftCase cases[] = {
      {0, TShiftState()},
      {kKeyDataAlt, TShiftState(ssAlt)},
      {kKeyDataCtrl, TShiftState(ssCtrl)},
      {kKeyDataShift, TShiftState(ssShift)},
      {kKeyDataAlt | kKeyDataCtrl | kKeyDataShift, TShiftState(ssAlt | ssCtrl | ssShift)},
  };
  for (const ShiftCase& c : cases) {
    probe_->Perform(CM_DIALOGCHAR, 'A', c.keyData | 0x1E0001);  // scan code and repeat count too
    EXPECT_EQ(probe_->dialog_shift, c.shift) << c.keyData;
    EXPECT_EQ(ShiftToKeyData(c.shift), c.keyData);
  }
}

TEST_F(KiExControlsTest, AutoSizeOfAMarkedControlGoesThroughItsMessage) {
  probe_->SetAutoSize(true);
  EXPECT_EQ(probe_->ops, std::vector<std::string>{"DoSetAutoSize"});
  EXPECT_TRUE(probe_->AutoSize());
  EXPECT_EQ(probe_->adjust_size_calls, 1);
  probe_->ops.clear();
  probe_->Perform(KM_SETAUTOSIZE, 0, 0);
  EXPECT_EQ(probe_->ops, std::vector<std::string>{"DoSetAutoSize"});
  EXPECT_FALSE(probe_->AutoSize());
}

TEST_F(KiExControlsTest, AControlWithoutTheMarkerKeepsTheBaseAutoSize) {
  auto check = [](auto* control, const char* what) {
    SCOPED_TRACE(what);
    control->SetAutoSize(true);
    EXPECT_TRUE(control->AutoSize());
    EXPECT_EQ(control->adjust_size_calls, 1);
    control->SetAutoSize(true);  // the same value: nothing
    EXPECT_EQ(control->adjust_size_calls, 1);
    control->SetAutoSize(false);
    EXPECT_FALSE(control->AutoSize());
    EXPECT_EQ(control->adjust_size_calls, 1);
  };
  check(Create<PlainControl>(form_), "a control of the base library");
  probe_->deny_marker = true;
  check(probe_, "a base that does not answer the marker");
  EXPECT_TRUE(probe_->ops.empty()) << "no message went to DoSetAutoSize";
}

TEST_F(KiExControlsTest, TheExtensionQueryAnswersOneOnlyForItsInterface) {
  EXPECT_EQ(probe_->Perform(KM_QUERYEXTENSION, 0, 0), 0);
  auto* query = Create<QueryProbe>(form_);
  EXPECT_EQ(query->Perform(KM_QUERYEXTENSION, 0, 0), 1);
}

TEST_F(KiExControlsTest, HintColourRule) {
  Application->HintColor = 0x00ABCDEF;
  auto* parent = Create<Probe>(form_);
  parent->SetParent(form_);
  probe_->SetParent(parent);
  parent->SetHintColor(0x123456);
  struct HintCase {
    const char* name;
    TColor own;
    TWinControl* parent;
    TColor expected;
  };
  const HintCase cases[] = {
      {"none: the application's", kKiColorNone, parent, 0x00ABCDEF},
      {"default: the parent's answer", kKiColorDefault, parent, 0x123456},
      {"default without an answering parent: unchanged", kKiColorDefault, form_, 0x0F0F0F},
      {"default without a parent: unchanged", kKiColorDefault, nullptr, 0x0F0F0F},
      {"its own value", 0x00FF00, parent, 0x00FF00},
  };
  for (const HintCase& c : cases) {
    SCOPED_TRACE(c.name);
    probe_->SetParent(c.parent);
    probe_->SetHintColor(c.own);
    THintInfo info;
    info.HintColor = 0x0F0F0F;
    probe_->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.HintColor, c.expected);
  }
}

TEST_F(KiExControlsTest, FrameHighlightRings) {
  probe_->SetColor(clWhite);
  struct RingCase {
    const char* name;
    bool on;
    void (*state)(Probe*);
    TColor outer;
    TColor inner;
  };
  constexpr TColor kUntouched = 0x00FF00;
  const RingCase cases[] = {
      {"off: nothing drawn", false, [](Probe* p) { p->CMMouseEnter(nullptr); }, kUntouched,
       kUntouched},
      {"on, idle", true, [](Probe* p) { p->CMMouseLeave(nullptr); }, 0x808080, clWhite},
      {"on, hovered", true, [](Probe* p) { p->CMMouseEnter(nullptr); }, 0x733800, 0x733800},
      {"on, focused", true, [](Probe* p) { p->SetFocus(); }, 0x733800, 0x733800},
  };
  for (const RingCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvas* canvas = BackBufferCanvas(*probe_);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(kUntouched);
    canvas->FillRect(Rect(0, 0, 20, 10));
    probe_->SetDotNetHighlighting(c.on);
    c.state(probe_);
    EXPECT_EQ(canvas->Pixel(0, 0), c.outer);
    EXPECT_EQ(canvas->Pixel(19, 9), c.outer);
    EXPECT_EQ(canvas->Pixel(1, 1), c.inner);
    EXPECT_EQ(canvas->Pixel(18, 8), c.inner);
    EXPECT_EQ(canvas->Pixel(5, 5), kUntouched);
    probe_->CMMouseLeave(nullptr);
    form_->SetActiveControl(nullptr);
  }
}

}  // namespace
