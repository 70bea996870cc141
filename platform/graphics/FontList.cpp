#include "platform/graphics/FontList.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <algorithm>

#include "platform/forms/QtTextPrivate.h"
#include "platform/rtl/SysUtils.h"

namespace {
// The names our font aliases stand in for (platform/forms/FontAliases.cpp).
constexpr const char* kSubstitutedFaces[] = {"Tahoma", "MS Sans Serif", "Arial"};
}  // namespace

std::vector<std::string> ScreenFontNames() {
  std::vector<std::string> names;
  for (const QString& family : QFontDatabase::families())
    names.push_back(family.toStdString());
  for (const char* face : kSubstitutedFaces) {
    if (!QFont::substitutes(QString::fromLatin1(face)).isEmpty())
      names.emplace_back(face);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  names.erase(
      std::unique(names.begin(), names.end(),
                  [](const std::string& a, const std::string& b) { return SameText(a, b); }),
      names.end());
  return names;
}

bool IsOutlineFont(const std::string& name) {
  QString family = ToQString(name);
  if (!QFontDatabase::hasFamily(family)) {
    const QStringList subs = QFont::substitutes(family);
    auto it = std::find_if(subs.begin(), subs.end(),
                           [](const QString& s) { return QFontDatabase::hasFamily(s); });
    if (it == subs.end())
      return false;
    family = *it;
  }
  return QFontDatabase::isScalable(family);
}
