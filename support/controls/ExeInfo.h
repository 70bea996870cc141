// TExeInfo: the running executable's version information and a few facts
// of the system.
//
// At creation (outside design) it reads the executable's version record
// (platform/win/Libraries.h): the fixed part (flags masked by the flags
// mask, target OS, file type, file date), the first translation, and the
// ten strings of that translation's table; a string missing from the table
// reads "". Without a record the ten strings keep "Updated at run-time".
//
// ComputerName is the host name when it fits a 16-character buffer, else
// empty; it is read-only (writes are ignored: nothing renames the
// computer). OSName is "Unknown" (the system's version cannot be asked
// for); WindowsDir and SystemDir are empty (there are no such folders);
// TempDir is the temporary folder with a trailing "/".
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/Classes.h"

inline constexpr const char* kExeInfoNotRead = "Updated at run-time";

class TExeInfo : public TComponent {
  KESTRUNE_CLASS(TExeInfo, TComponent)
  explicit TExeInfo(TComponent* owner);

  const std::string& CompanyName() const { return company_name_; }
  const std::string& FileDescription() const { return file_description_; }
  const std::string& FileVersion() const { return file_version_; }
  const std::string& InternalName() const { return internal_name_; }
  const std::string& LegalCopyright() const { return legal_copyright_; }
  const std::string& LegalTradeMark() const { return legal_trade_mark_; }
  const std::string& OriginalFileName() const { return original_file_name_; }
  const std::string& ProductName() const { return product_name_; }
  const std::string& ProductVersion() const { return product_version_; }
  const std::string& Comments() const { return comments_; }
  const std::string& ComputerName() const { return computer_name_; }
  // Ignored: the computer's name is never changed.
  void SetComputerName(const std::string&) {}
  std::string OSName() const { return "Unknown"; }
  std::string WindowsDir() const { return std::string(); }
  std::string SystemDir() const { return std::string(); }
  std::string TempDir() const;
  // "1.2.0.0"; writes are ignored.
  std::string Version() const;
  void SetVersion(const std::string&) {}

  // From the fixed part (0 without a record).
  uint32_t FileFlags() const { return file_flags_; }
  uint32_t TargetOS() const { return target_os_; }
  uint32_t FileType() const { return file_type_; }
  // Days since 1899-12-30 (0 without a record).
  double FileDate() const { return file_date_; }

  // Reads the version record of `fileName` (see the file comment).
  void ReadVersionInfo(const std::string& fileName);

 private:
  std::string company_name_ = kExeInfoNotRead;
  std::string file_description_ = kExeInfoNotRead;
  std::string file_version_ = kExeInfoNotRead;
  std::string internal_name_ = kExeInfoNotRead;
  std::string legal_copyright_ = kExeInfoNotRead;
  std::string legal_trade_mark_ = kExeInfoNotRead;
  std::string original_file_name_ = kExeInfoNotRead;
  std::string product_name_ = kExeInfoNotRead;
  std::string product_version_ = kExeInfoNotRead;
  std::string comments_ = kExeInfoNotRead;
  std::string computer_name_;
  uint32_t file_flags_ = 0;
  uint32_t target_os_ = 0;
  uint32_t file_type_ = 0;
  double file_date_ = 0;
};

void RegisterExeInfoClass();
