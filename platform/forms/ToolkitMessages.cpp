#include "platform/forms/ToolkitMessages.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/rtl/ScopeExit.h"

namespace {

struct HeldMessage {
  QtMsgType type;
  std::string file, function, category;
  int line;
  QString text;
};
std::vector<HeldMessage> g_held;
QtMessageHandler g_previous = nullptr;
void (*g_on_fatal)() = nullptr;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg)
    g_on_fatal();
  g_held.push_back({type, context.file != nullptr ? context.file : "",
                    context.function != nullptr ? context.function : "",
                    context.category != nullptr ? context.category : "", context.line, text});
}

void PassHeldMessages() {
  qInstallMessageHandler(g_previous);
  for (const HeldMessage& m : g_held) {
    const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(),
                                     m.category.c_str());
    if (g_previous != nullptr)
      g_previous(m.type, context, m.text);
    else
      std::fprintf(stderr, "%s\n", qFormatLogMessage(m.type, context, m.text).toLocal8Bit().data());
  }
  g_held.clear();
}

}  // namespace

namespace kestrune {

void RunHoldingToolkitMessages(const std::function<void()>& start, void (*onFatal)()) {
  g_on_fatal = onFatal;
  g_previous = qInstallMessageHandler(&HoldMessage);
  kestrune::ScopeExit passHeld([] { PassHeldMessages(); });
  start();
}

}  // namespace kestrune
