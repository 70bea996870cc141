// The save and print dialogs answered through the test hook: cancelling
// answers no and changes nothing; a confirmed name gets the default
// extension when it has none.
#include "platform/forms/Dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/forms/FormsTestingPrivate.h"
#include "tests/platform/forms/FormsTestSupport.h"

namespace {

using kestrune::testing::DialogAnswer;
using kestrune::testing::DialogKind;
using kestrune::testing::SetDialogAnswerer;

class DialogsTest : public forms_test::FormsFixture {
 public:
  void TearDown() override {
    SetDialogAnswerer(nullptr);
    FormsFixture::TearDown();
  }
};

TEST_F(DialogsTest, TheHookAnswersInsteadOfTheUser) {
  TSaveDialog* save = Create<TSaveDialog>(form);
  save->SetFilter("Bitmap (*.bmp)|*.bmp|JPEG File Interchange Format (*.jpg)|*.jpg");
  save->SetDefaultExt("bmp");
  save->SetFileName("before");
  TPrintDialog* print = Create<TPrintDialog>(form);

  std::vector<DialogKind> asked;
  SetDialogAnswerer([&](DialogKind kind, TCommonDialog* dialog) {
    asked.push_back(kind);
    EXPECT_EQ(dialog, kind == DialogKind::Save ? static_cast<TCommonDialog*>(save)
                                               : static_cast<TCommonDialog*>(print));
    return DialogAnswer{};
  });
  EXPECT_FALSE(save->Execute());
  EXPECT_EQ(save->FileName(), "before");
  EXPECT_FALSE(print->Execute());
  EXPECT_EQ(asked, (std::vector<DialogKind>{DialogKind::Save, DialogKind::Print}));

  struct Case {
    const char* typed;
    const char* chosen;
  };
  const Case cases[] = {{"shot", "shot.bmp"},
                        {"shot.png", "shot.png"},
                        {"/tmp/a.folder/shot", "/tmp/a.folder/shot.bmp"}};
  for (const Case& c : cases) {
    SetDialogAnswerer([&](DialogKind, TCommonDialog*) { return DialogAnswer{true, c.typed}; });
    EXPECT_TRUE(save->Execute()) << c.typed;
    EXPECT_EQ(save->FileName(), c.chosen);
  }
}

}  // namespace
