// The screen object and the pointer queries: fonts, menu font, metrics,
// the cursor table, the buttons' state and the control under the pointer.
#include <gtest/gtest.h>

#include <string>

#include "FormsTestSupport.h"
#include "platform/classes/Streams.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/GraphicsResources.h"

using forms_test::FormsFixture;
using kestrune::testing::MouseAction;

namespace {

class ScreenTest : public FormsFixture {};

TEST_F(ScreenTest, FontsMenuFontAndMetricsAreTheClassicOnes) {
  TStringList* fonts = Screen->Fonts();
  for (const char* face : {"Tahoma", "MS Sans Serif", "Arial"})
    EXPECT_GE(fonts->IndexOf(face), 0) << face;
  EXPECT_EQ(Screen->MenuFont()->Name(), "Tahoma");
  EXPECT_EQ(Screen->MenuFont()->Height(), -11);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
  EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
  EXPECT_EQ(GetSystemMetrics(999), 0);
  EXPECT_GT(Screen->Width(), 0);
}

TEST_F(ScreenTest, CursorTableHoldsAProgramCursorFromItsResource) {
  TBitmap* bitmap = Create<TBitmap>();
  bitmap->SetSize(16, 16);
  TMemoryStream* stream = Create<TMemoryStream>();
  bitmap->SaveToStream(stream);
  RegisterResource(TResourceKind::Cursor, "ESSAICURSEUR",
                   std::string_view(reinterpret_cast<const char*>(stream->Memory()),
                                    static_cast<size_t>(stream->Size())),
                   Point(3, 4));
  stream->Free();
  bitmap->Free();
  EXPECT_EQ(Screen->Cursors(99), HCURSOR{});
  const HCURSOR cursor = LoadCursor("ESSAICURSEUR");
  EXPECT_NE(cursor, HCURSOR{});
  Screen->SetCursors(99, cursor);
  EXPECT_EQ(Screen->Cursors(99), cursor);
  EXPECT_THROW(LoadCursor("ABSENT"), EResNotFound);
}

TEST_F(ScreenTest, ButtonsStateAndControlUnderThePointer) {
  auto* label = Create<TLabel>(form);
  label->SetBounds(10, 10, 40, 15);
  label->SetAutoSize(false);
  label->SetParent(form);
  auto* box = Create<TCheckBox>(form);
  box->SetBounds(60, 10, 80, 20);
  box->SetParent(form);
  form->Show();

  EXPECT_EQ(FindDragTarget(At(form, 15, 12), false), label);
  EXPECT_EQ(FindDragTarget(At(form, 70, 15), false), box);  // through the hosted box
  EXPECT_EQ(FindDragTarget(At(form, 180, 100), false), form);
  label->SetEnabled(false);
  EXPECT_EQ(FindDragTarget(At(form, 15, 12), false), form);
  EXPECT_EQ(FindDragTarget(At(form, 15, 12), true), label);
  EXPECT_EQ(FindDragTarget(At(form, 500, 500), true), nullptr);

  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
  ASSERT_TRUE(kestrune::testing::SendMouse(MouseAction::Press, At(form, 180, 100)));
  EXPECT_NE(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_RBUTTON) & 0x8000, 0);
  TPoint p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, At(form, 180, 100));
  ASSERT_TRUE(kestrune::testing::SendMouse(MouseAction::Release, At(form, 180, 100)));
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
}

}  // namespace
