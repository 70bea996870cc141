#include "controls/ControlsUnit.h"

#include "controls/GDIPPicture.h"
#include "controls/GdipObjects.h"
#include "controls/LmVuMeter.h"
#include "controls/LuControls.h"
#include "controls/LuGradient.h"
#include "controls/LuLabel.h"
#include "controls/LuResources.h"
#include "controls/LuTrackBar.h"
#include "controls/StyComboBox.h"
#include "controls/StyGlassButton.h"
#include "controls/StyGroupBox.h"
#include "controls/StyMenuStylers.h"
#include "controls/acxpvs.h"
#include "platform/forms/Forms.h"
#include "platform/gdiobj/GraphicsObjects.h"

namespace {

void StartControls() {
  GraphicsUnit.Initialize();  // colour names, font, pen and brush properties
  StartGdiplus();
  acxpvs::LoadUxTheme();
  RegisterLuResources();
  if (Screen != nullptr)
    Screen->SetCursors(kLuHandPointCursor, LoadCursor("LUCURSORHANDPOINT"));
  RegisterLuControlClasses();
  RegisterVuMeterClass();
  RegisterTrackBarClass();
  RegisterLuLabelClass();
  RegisterLuGradientClass();
  RegisterStyGroupBoxClass();
  RegisterStyComboBoxClass();
  RegisterGDIPPictureClasses();
  RegisterGlassButtonClass();
  StyMenuStylersUnit.Initialize();
}

void StopControls() {
  StyMenuStylersUnit.Finalize();
  acxpvs::FreeUxTheme();
  StopGdiplus();
  GraphicsUnit.Finalize();
}

}  // namespace

TUnit ControlsUnit("Controls", &StartControls, &StopControls);
