#include "app/ProgramUnits.h"

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "app/MainForm.h"
#include "audio/MoskAudioUnit.h"
#include "controls/ControlsUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/Units.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/GraphicsObjects.h"
#include "scope/TrelScopeUnit.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelStreamTypes.h"

void StartProgramUnits() {
  InitializeUnits({&ClassesUnit, &GraphicsUnit, &FormsUnit, &VekPinsUnit, &VekStdTypesUnit,
                   &TrelStreamTypesUnit, &MoskStreamTypesUnit, &TrelSimpleDataBufferUnit,
                   &MoskAudioUnit});
  Application->Initialize();
  // These units make pictures, cursors and the notification window, which
  // need the application's windowing layer.
  InitializeUnits({&TrelMainThreadNotifyUnit, &TrelScopeUnit, &ControlsUnit, &MainFormUnit});
}
