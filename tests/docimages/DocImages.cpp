// The documents' pictures of what the main window cannot show, made
// offscreen from the real widgets, and the conversion of the whole-program
// pictures to PNG; scripts/make-doc-images.sh runs it.
//
//   kestrune_doc_images widgets <folder>
//     Writes into the folder scope-with-toolbars.png (a scope of the main
//     window's size and trace colours, with the toolbars, title, legend and
//     axes that the main window hides, all toolbars shown at once, fed one
//     block of the whole-program tests' stereo tone) and
//     scope-properties-page<0..3>.png (the scope's property dialog on each
//     of its pages).
//   kestrune_doc_images png <in.ppm> <out.png>
//     Converts a picture (window_image's grabs) to PNG.
//
// Exit status: 0 when every picture was written, 1 when one could not be
// made or written, 2 on bad usage.
#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/forms/ExtStdCtrls.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "scope/TrelScopeCursors.h"
#include "scope/TrelScopeProperties.h"
#include "tests/fixtures/TwoTones.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

namespace kt = kestrune::testing;

bool Save(const QImage& image, const std::string& path) {
  if (image.isNull() || !image.save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "kestrune_doc_images: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

// The first `count` samples of channel c of the whole-program tests' tone:
// 997 Hz within +-8000 on the left, 443 Hz within +-6000 on the right, at
// 44100 samples per second.
std::vector<double> Tone(int c, int count) {
  const fixtures::TwoTones tones{{997.0, 443.0}, 44100.0, {8000.0, 6000.0}, {0.0, 0.0}};
  std::vector<double> samples(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n)
    samples[static_cast<std::size_t>(n)] = tones.Sample(static_cast<std::uint64_t>(n), c);
  return samples;
}

bool WriteWidgets(const std::string& folder) {
  scopetest::StartUnits();
  TForm* form = Create<TForm>(Application);
  form->SetBounds(40, 30, 377, 329);
  auto* producer = Create<scopetest::TProducer>(form, 2);
  TTrelScope* scope = Create<TTrelScope>(form);
  scope->SetParent(form);
  scope->SetBounds(0, 0, 377, 329);
  scope->GetChannels()->Add();
  // The main window's trace colours.
  const TColor colors[2] = {clRed, clLime};
  for (int c = 0; c < 2; ++c) {
    TTrelScopeChannel* channel = scope->GetChannels()->GetItem(c);
    channel->SetColor(colors[c]);
    if (!channel->GetInputPin()->Connect(producer->Output(c))) {
      std::fprintf(stderr, "kestrune_doc_images: cannot feed the scope's channel %d\n", c);
      return false;
    }
  }
  // The toolbars show while the pointer is over their view; here they all
  // show at once.
  scope->GetToolBar()->SetAutoHide(false);
  scope->GetXAxis()->GetToolBar()->SetAutoHide(false);
  scope->GetYAxis()->GetToolBar()->SetAutoHide(false);
  form->Show();
  for (int c = 0; c < 2; ++c)
    producer->Send(c, Tone(c, 512));
  scope->UpdateData();
  scope->PaintTo();
  QCoreApplication::processEvents();
  bool ok = Save(kt::RenderForm(form), folder + "/scope-with-toolbars.png");

  // The property dialog as the toolbar's properties button opens it, on its
  // first channel, with something on every page: a marker group, cursors,
  // and the first cursor linked to the first channel.
  scope->GetMarkerGroups()->Add();
  for (int i = 0; i < 3; ++i)
    scope->GetCursors()->Add();
  scope->GetCursors()->GetItem(0)->GetChannels()->EnsureLink(scope->GetChannels()->GetItem(0));
  auto* dialog = Create<TTrelScopePropertiesForm>(nullptr, scope, 0, 0);
  dialog->Show();
  for (int page = 0; page < 4; ++page) {
    dialog->ActivatePage(page);
    if (page == 2) {
      dialog->CursorsPage->ChannelsListBox->SetItemIndex(0);
      dialog->CursorsPage->ChannelsListBoxClick(nullptr);
    }
    QCoreApplication::processEvents();
    ok = Save(kt::RenderWindow(dialog),
              folder + "/scope-properties-page" + std::to_string(page) + ".png") &&
         ok;
  }
  dialog->Free();
  form->Free();
  return ok;
}

bool ConvertToPng(const char* in, const std::string& out) {
  const QImage image(QString::fromLocal8Bit(in));
  if (image.isNull()) {
    std::fprintf(stderr, "kestrune_doc_images: cannot read the picture %s\n", in);
    return false;
  }
  return Save(image, out);
}

}  // namespace

int main(int argc, char** argv) {
  // Offscreen: no display is needed, and the pictures do not depend on one.
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/1);
  if (argc == 3 && std::strcmp(argv[1], "widgets") == 0)
    return WriteWidgets(argv[2]) ? 0 : 1;
  if (argc == 4 && std::strcmp(argv[1], "png") == 0) {
    QCoreApplication app(argc, argv);
    return ConvertToPng(argv[2], argv[3]) ? 0 : 1;
  }
  std::fprintf(stderr,
               "usage: kestrune_doc_images widgets <folder>\n"
               "       kestrune_doc_images png <in.ppm> <out.png>\n");
  return 2;
}
