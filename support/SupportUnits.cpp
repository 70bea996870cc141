#include "support/SupportUnits.h"

#include "support/common/KiGraphUtils.h"
#include "support/common/KiStrings.h"
#include "support/common/KiSysInfo.h"
#include "support/common/KiSysUtils.h"
#include "support/common/KiTypeInfo.h"
#include "support/common/KiUnitVersioning.h"
#include "support/common/QarnGlobals.h"
#include "support/controls/ExeInfo.h"
#include "support/controls/KiScrollText.h"
#include "support/controls/KiStaticText.h"
#include "support/controls/RTFLabel.h"
#include "support/windows/KiExControls.h"

namespace {

#define KI_VERSION(file, revision, date, path)                                              \
  TUnitVersionInfo {                                                                        \
    "$URL: " file " $", "$Revision: " revision " $", "$Date: " date " $", path, "", nullptr \
  }

const TUnitVersionInfo kSysUtilsVersion = KI_VERSION("support/common/KiSysUtils.cpp", "2011",
                                                     "2026-11-20 09:41:12 +0100", "support/common");
const TUnitVersionInfo kSysInfoVersion = KI_VERSION("support/common/KiSysInfo.cpp", "1987",
                                                    "2026-11-12 17:05:33 +0100", "support/common");
const TUnitVersionInfo kStringsVersion = KI_VERSION("support/common/KiStrings.cpp", "1965",
                                                    "2026-11-08 11:22:09 +0100", "support/common");
const TUnitVersionInfo kTypeInfoVersion = KI_VERSION("support/common/KiTypeInfo.cpp", "1671",
                                                     "2026-10-01 08:00:00 +0200", "support/common");
const TUnitVersionInfo kQarnGlobalsVersion = KI_VERSION(
    "support/common/QarnGlobals.cpp", "1702", "2026-10-05 14:30:00 +0200", "support/common");
const TUnitVersionInfo kGraphUtilsVersion = KI_VERSION(
    "support/common/KiGraphUtils.cpp", "2038", "2026-12-01 16:12:40 +0100", "support/common");
const TUnitVersionInfo kExControlsVersion = KI_VERSION(
    "support/windows/KiExControls.cpp", "2024", "2026-11-28 10:03:51 +0100", "support/windows");
const TUnitVersionInfo kStaticTextVersion = KI_VERSION(
    "support/controls/KiStaticText.cpp", "2030", "2026-11-30 12:44:18 +0100", "support/controls");
const TUnitVersionInfo kScrollTextVersion = KI_VERSION(
    "support/controls/KiScrollText.cpp", "2033", "2026-11-30 15:20:07 +0100", "support/controls");
const TUnitVersionInfo kAboutControlsVersion = KI_VERSION(
    "support/controls/RTFLabel.cpp", "1999", "2026-11-15 18:31:26 +0100", "support/controls");

#undef KI_VERSION

void Register(const TUnitVersionInfo* info) {
  RegisterVersionRecord(KiModuleInstance(), info);
}

void Unregister() {
  UnregisterModuleVersions(KiModuleInstance());
}

}  // namespace

TUnit KiUnitVersioningUnit("KiUnitVersioning", &StartUnitVersioning, &StopUnitVersioning);

TUnit KiSysUtilsUnit(
    "KiSysUtils",
    [] {
      Register(&kSysUtilsVersion);
      StartKiSysUtils();
    },
    [] {
      StopKiSysUtils();
      Unregister();
    });

TUnit KiSysInfoUnit(
    "KiSysInfo",
    [] {
      Register(&kSysInfoVersion);
      StartKiSysInfo();
    },
    [] { Unregister(); });

TUnit KiStringsUnit(
    "KiStrings",
    [] {
      Register(&kStringsVersion);
      StartKiStrings();
    },
    [] {
      StopKiStrings();
      Unregister();
    });

TUnit KiTypeInfoUnit(
    "KiTypeInfo",
    [] {
      Register(&kTypeInfoVersion);
      StartKiTypeInfo();
    },
    [] {
      StopKiTypeInfo();
      Unregister();
    });

TUnit QarnGlobalsUnit(
    "QarnGlobals",
    [] {
      Register(&kQarnGlobalsVersion);
      StartQarnGlobals();
    },
    [] {
      StopQarnGlobals();
      Unregister();
    });

TUnit KiGraphUtilsUnit(
    "KiGraphUtils",
    [] {
      Register(&kGraphUtilsVersion);
      StartKiGraphUtils();
    },
    [] {
      StopKiGraphUtils();
      Unregister();
    });

TUnit KiExControlsUnit(
    "KiExControls",
    [] {
      Register(&kExControlsVersion);
      RegisterKiExControlClasses();
    },
    [] { Unregister(); });

TUnit KiStaticTextUnit(
    "KiStaticText",
    [] {
      Register(&kStaticTextVersion);
      RegisterKiStaticTextClasses();
    },
    [] { Unregister(); });

TUnit KiScrollTextUnit(
    "KiScrollText",
    [] {
      Register(&kScrollTextVersion);
      RegisterKiScrollTextClasses();
    },
    [] { Unregister(); });

TUnit AboutControlsUnit(
    "AboutControls",
    [] {
      Register(&kAboutControlsVersion);
      RegisterRTFLabelClass();
      RegisterExeInfoClass();
    },
    [] { Unregister(); });
