// The common dialogs the program asks the user through: where to save a
// file and where to print. Components owned by another component; Execute
// runs the dialog modally on Qt's own widget dialogs (they work on any
// desktop and under Xvfb) and answers whether the user confirmed.
//
// Tests answer them without showing anything (FormsTestingPrivate.h,
// SetDialogAnswerer).
//
// Threads: main thread, with Qt's application object made.
#pragma once

#include <string>

#include "platform/classes/Classes.h"

class TCommonDialog : public TComponent {
  KESTRUNE_CLASS(TCommonDialog, TComponent)
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  // Runs the dialog; true when the user confirmed.
  virtual bool Execute() = 0;
};

// Asks for the name of a file to write.
class TSaveDialog : public TCommonDialog {
  KESTRUNE_CLASS(TSaveDialog, TCommonDialog)
  explicit TSaveDialog(TComponent* owner) : TCommonDialog(owner) {}
  // Confirmed: FileName is the chosen name, with ".DefaultExt" added when
  // it has no extension.
  bool Execute() override;

  // File types as "text|mask|text|mask" (a mask may list patterns
  // separated by ";").
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& filter) { filter_ = filter; }
  // Without its dot ("bmp"); empty adds nothing.
  const std::string& DefaultExt() const { return default_ext_; }
  void SetDefaultExt(const std::string& ext) { default_ext_ = ext; }
  const std::string& FileName() const { return file_name_; }
  void SetFileName(const std::string& name) { file_name_ = name; }

 private:
  void TakeName(const std::string& chosen);

  std::string filter_;
  std::string default_ext_;
  std::string file_name_;
};

// Chooses the printer (or a PDF file) and its settings: confirmed, the
// process's printer (Printers.h) prints there.
class TPrintDialog : public TCommonDialog {
  KESTRUNE_CLASS(TPrintDialog, TCommonDialog)
  explicit TPrintDialog(TComponent* owner) : TCommonDialog(owner) {}
  bool Execute() override;
};
