// The windowless form: a hidden message window whose messages reach a
// replaceable WindowProc on the main thread.
#include "platform/classes/CustomForm.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/classes/MainLoop.h"

namespace {

class TInterceptor : public TObject {
 public:
  TWndMethod saved;
  std::vector<UINT> seen;
  void Handle(TMessage& m) {
    if (m.Msg == 0xA00) {
      seen.push_back(m.Msg);
    } else {
      saved(m);
    }
  }
};

class TRecordingForm : public TCustomForm {
  KESTRUNE_CLASS(TRecordingForm, TCustomForm)
  using TCustomForm::TCustomForm;
  std::vector<UINT> defaults;

 protected:
  void WndProc(TMessage& m) override { defaults.push_back(m.Msg); }
};

TEST(CustomForm, ReplacedWindowProcGetsItsMessagesAndPassesTheRestOn) {
  kestrune::MainLoop loop;
  TRecordingForm* form = Create<TRecordingForm>(nullptr);
  TInterceptor interceptor;
  interceptor.saved = form->WindowProc;
  form->WindowProc = TWndMethod(&interceptor, &TInterceptor::Handle);
  HWND handle = form->Handle();
  EXPECT_EQ(form->Handle(), handle);

  std::thread poster([handle] {
    PostMessage(handle, 0xA00, 0, 0);
    PostMessage(handle, WM_USER + 1, 0, 0);
  });
  poster.join();
  loop.ProcessMessages();
  EXPECT_EQ(interceptor.seen, (std::vector<UINT>{0xA00}));
  EXPECT_EQ(form->defaults, (std::vector<UINT>{WM_USER + 1}));

  // A post after the form is gone is refused, and nothing is delivered.
  form->WindowProc = interceptor.saved;
  form->Free();
  EXPECT_FALSE(PostMessage(handle, 0xA00, 0, 0));
  loop.ProcessMessages();
  EXPECT_EQ(interceptor.seen.size(), 1u);
}

struct TWithCreate : TCustomForm {
  using TCustomForm::TCustomForm;
  static inline int created = 0;
  void DoCreate() override { ++created; }
};

TEST(CustomForm, OnCreateRunsOnceConstructionIsComplete) {
  TCustomForm* form = Create<TWithCreate>(nullptr);
  EXPECT_EQ(TWithCreate::created, 1);
  form->Free();
}

}  // namespace
