#include "platform/forms/Dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

#include "platform/forms/ColorDialogs.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/Printers.h"
#include "platform/forms/QtTextPrivate.h"
#include "platform/rtl/SysUtils.h"

namespace {

kestrune::testing::DialogAnswerer& Answerer() {
  static kestrune::testing::DialogAnswerer answerer;
  return answerer;
}

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos)
      return parts;
    start = bar + 1;
  }
}

// "text|mask|..." as Qt's name filters "text (patterns)".
QStringList QtNameFilters(const std::string& filter) {
  QStringList out;
  if (filter.empty())
    return out;
  const std::vector<std::string> parts = SplitBars(filter);
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    const QString text = ToQString(parts[i]);
    QString mask = ToQString(parts[i + 1]);
    mask.replace(';', ' ');
    out << (text.contains("(" + mask + ")") ? text : text + " (" + mask + ")");
  }
  return out;
}

}  // namespace

namespace kestrune::testing {

void SetDialogAnswerer(DialogAnswerer answerer) {
  Answerer() = std::move(answerer);
}

namespace {
ModalFormAnswerer& FormAnswerer() {
  static ModalFormAnswerer answerer;
  return answerer;
}
}  // namespace

void SetModalFormAnswerer(ModalFormAnswerer answerer) {
  FormAnswerer() = std::move(answerer);
}

const ModalFormAnswerer& CurrentModalFormAnswerer() {
  return FormAnswerer();
}

}  // namespace kestrune::testing

void TSaveDialog::TakeName(const std::string& chosen) {
  file_name_ = chosen;
  if (!default_ext_.empty() && ExtractFileName(chosen).find('.') == std::string::npos)
    file_name_ += "." + default_ext_;
}

bool TSaveDialog::Execute() {
  if (Answerer()) {
    const kestrune::testing::DialogAnswer answer =
        Answerer()(kestrune::testing::DialogKind::Save, this);
    if (answer.Confirmed)
      TakeName(answer.Value);
    return answer.Confirmed;
  }
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(QtNameFilters(filter_));
  if (!file_name_.empty())
    dialog.selectFile(ToQString(file_name_));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  TakeName(dialog.selectedFiles().first().toStdString());
  return true;
}

bool TPrintDialog::Execute() {
  QPrinter& printer = Printer()->QtPrinter();
  if (Answerer()) {
    const kestrune::testing::DialogAnswer answer =
        Answerer()(kestrune::testing::DialogKind::Print, this);
    if (answer.Confirmed && !answer.Value.empty()) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(ToQString(answer.Value));
    }
    return answer.Confirmed;
  }
  QPrintDialog dialog(&printer);
  return dialog.exec() == QDialog::Accepted;
}

bool TColorDialog::Execute() {
  if (Answerer())
    return Answerer()(kestrune::testing::DialogKind::Color, this).Confirmed;
  const QColor chosen = QColorDialog::getColor(kestrune::QtColorFor(color_), nullptr, QString(),
                                               QColorDialog::DontUseNativeDialog);
  if (!chosen.isValid())
    return false;
  color_ = static_cast<TColor>(RGB(static_cast<uint8_t>(chosen.red()),
                                   static_cast<uint8_t>(chosen.green()),
                                   static_cast<uint8_t>(chosen.blue())));
  return true;
}

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), font_(Create<TFont>()) {}

TFontDialog::~TFontDialog() {
  font_->Free();
}

bool TFontDialog::Execute() {
  if (Answerer())
    return Answerer()(kestrune::testing::DialogKind::Font, this).Confirmed;
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, kestrune::QtFontFor(*font_), nullptr, QString(),
                                            QFontDialog::DontUseNativeDialog);
  if (!ok)
    return false;
  font_->SetName(chosen.family().toStdString());
  if (chosen.pointSize() > 0)
    font_->SetSize(chosen.pointSize());
  TFontStyles style = 0;
  if (chosen.bold())
    style |= FontStyleBit(fsBold);
  if (chosen.italic())
    style |= FontStyleBit(fsItalic);
  if (chosen.underline())
    style |= FontStyleBit(fsUnderline);
  if (chosen.strikeOut())
    style |= FontStyleBit(fsStrikeOut);
  font_->SetStyle(style);
  return true;
}
