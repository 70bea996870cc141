#include "platform/forms/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include "platform/graphics/Bitmap.h"

namespace {

QClipboard* SystemClipboard() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    throw EClipboardException("Le presse-papiers n'est pas disponible");
  return QGuiApplication::clipboard();
}

}  // namespace

void TClipboard::Assign(TPersistent* source) {
  auto* bitmap = dynamic_cast<TBitmap*>(source);
  if (bitmap == nullptr)
    throw EClipboardException("Seule une image bitmap peut aller dans le presse-papiers");
  QClipboard* clipboard = SystemClipboard();
  clipboard->setImage(bitmap->Image());
}

QImage TClipboard::Image() const {
  return SystemClipboard()->image();
}

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}
