#include "platform/forms/FontAliases.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace kestrune {

namespace {

struct FontAlias {
  const char* face;
  const char* standIn;
};

constexpr FontAlias kFontAliases[] = {
    {"Tahoma", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Arial", "Liberation Sans"},
};

}  // namespace

void InstallFontAliases() {
  // Qt tries a family's substitutes only when the family itself is not
  // installed, which is the rule we want.
  for (const FontAlias& alias : kFontAliases) {
    const QString face = QString::fromLatin1(alias.face);
    const QString standIn = QString::fromLatin1(alias.standIn);
    if (!QFont::substitutes(face).contains(standIn))
      QFont::insertSubstitution(face, standIn);
  }
}

}  // namespace kestrune
