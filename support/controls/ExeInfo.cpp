#include "support/controls/ExeInfo.h"

#include <cstdio>

#include "platform/classes/TypInfo.h"
#include "platform/win/Libraries.h"
#include "support/controls/RTFLabel.h"

namespace {

constexpr uint32_t kExeInfoVersion = 0x01020000;
// A file time counts 100 ns from 1601-01-01; a date-time counts days from
// 1899-12-30, 109205 days later.
constexpr double kFileTimeTicksPerDay = 864e9;
constexpr double kDaysFrom1601To1899 = 109205;

}  // namespace

TExeInfo::TExeInfo(TComponent* owner) : TComponent(owner) {
  if (!ComponentState().Contains(csDesigning)) {
    ReadVersionInfo(kestrune::ExecutablePath());
    GetComputerName(computer_name_, 16);
  }
}

std::string TExeInfo::TempDir() const {
  return GetTempPath();
}

std::string TExeInfo::Version() const {
  return VersionText(kExeInfoVersion);
}

void TExeInfo::ReadVersionInfo(const std::string& fileName) {
  if (GetFileVersionInfoSize(fileName) == 0)
    return;
  const kestrune::FileVersionInfo* info = GetFileVersionInfo(fileName);
  if (info == nullptr)
    return;
  VS_FIXEDFILEINFO fixed;
  if (VerQueryFixedFileInfo(*info, fixed)) {
    file_flags_ = fixed.dwFileFlags & fixed.dwFileFlagsMask;
    target_os_ = fixed.dwFileOS;
    file_type_ = fixed.dwFileType;
    const uint64_t ticks = (uint64_t{fixed.dwFileDateMS} << 32) | fixed.dwFileDateLS;
    file_date_ = ticks == 0 ? 0 : ticks / kFileTimeTicksPerDay - kDaysFrom1601To1899;
  }
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  if (!VerQueryTranslation(*info, translations) || translations.empty())
    return;
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", translations[0].first, translations[0].second);
  struct Entry {
    const char* name;
    std::string* field;
  };
  const Entry entries[] = {
      {"CompanyName", &company_name_},
      {"FileDescription", &file_description_},
      {"FileVersion", &file_version_},
      {"InternalName", &internal_name_},
      {"LegalCopyright", &legal_copyright_},
      {"LegalTradeMarks", &legal_trade_mark_},
      {"OriginalFileName", &original_file_name_},
      {"ProductName", &product_name_},
      {"ProductVersion", &product_version_},
      {"Comments", &comments_},
  };
  for (const Entry& entry : entries) {
    std::string value;
    if (!VerQueryString(*info, std::string("StringFileInfo\\") + key + "\\" + entry.name, value))
      value.clear();
    *entry.field = value;
  }
}

void RegisterExeInfoClass() {
  auto ignore = [](TExeInfo*, const std::string&) {};
  RegisterClass<TExeInfo>()
      .String("CompanyName", &TExeInfo::CompanyName, ignore, kExeInfoNotRead)
      .String("FileDescription", &TExeInfo::FileDescription, ignore, kExeInfoNotRead)
      .String("FileVersion", &TExeInfo::FileVersion, ignore, kExeInfoNotRead)
      .String("InternalName", &TExeInfo::InternalName, ignore, kExeInfoNotRead)
      .String("LegalCopyright", &TExeInfo::LegalCopyright, ignore, kExeInfoNotRead)
      .String("LegalTradeMark", &TExeInfo::LegalTradeMark, ignore, kExeInfoNotRead)
      .String("OriginalFileName", &TExeInfo::OriginalFileName, ignore, kExeInfoNotRead)
      .String("ProductName", &TExeInfo::ProductName, ignore, kExeInfoNotRead)
      .String("ProductVersion", &TExeInfo::ProductVersion, ignore, kExeInfoNotRead)
      .String("Comments", &TExeInfo::Comments, ignore, kExeInfoNotRead)
      .String("ComputerName", &TExeInfo::ComputerName, &TExeInfo::SetComputerName)
      .String("Version", &TExeInfo::Version, &TExeInfo::SetVersion, "1.2.0.0");
}
