#include "app/ProgramUnits.h"

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "audio/MoskAudioUnit.h"
#include "controls/ControlsUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/Units.h"
#include "platform/forms/Forms.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "scope/TrelScopeUnit.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelStreamTypes.h"
#include "support/SupportUnits.h"

void StartProgramUnits() {
  // The version registry first: it registers first and unregisters last.
  InitializeUnits({&KiUnitVersioningUnit, &ClassesUnit, &GraphicsUnit, &FormsUnit, &VekPinsUnit,
                   &VekStdTypesUnit, &TrelStreamTypesUnit, &MoskStreamTypesUnit,
                   &TrelSimpleDataBufferUnit, &MoskAudioUnit, &KiSysUtilsUnit, &KiSysInfoUnit,
                   &KiStringsUnit, &KiTypeInfoUnit, &QarnGlobalsUnit});
  Application->Initialize();
  // These units make pictures, cursors and the notification window, which
  // need the application's windowing layer.
  InitializeUnits({&TrelMainThreadNotifyUnit, &TrelScopeUnit, &ControlsUnit, &KiGraphUtilsUnit,
                   &KiExControlsUnit, &KiStaticTextUnit, &KiScrollTextUnit, &AboutControlsUnit,
                   &MainFormUnit, &AboutFormUnit});
}
