// The main window's compiled-in description, read into a window whose
// start-up does not run: every stored setting, property by property, and a
// picture of the window (the meter's LED count, the lists' text colour).
#include "app/MainFormDescription.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "controls/LmVuMeter.h"
#include "controls/StyComboBox.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "scope/TrelScope.h"
#include "tests/app/MainFormTestSupport.h"
#include "tests/app/StoredMainWindow.h"

namespace {

using apptest::TStoredMainWindow;

// The text of a published property's value, as a description writes it:
// enumeration and colour names, True/False, sets as [a, b], component
// references by name, events by the handler's name.
std::string ValueText(TObject* object, const TPropInfo* prop, TComponent* root) {
  if (prop->Kind() == TPropKind::Event)
    return prop->EventMethodName(object, root);
  const TPropValue v = GetPropValue(object, prop->Name());
  if (const bool* b = std::get_if<bool>(&v))
    return *b ? "True" : "False";
  if (const std::string* s = std::get_if<std::string>(&v))
    return *s;
  if (const double* d = std::get_if<double>(&v))
    return std::to_string(*d);
  if (TPersistent* const* p = std::get_if<TPersistent*>(&v)) {
    auto* component = dynamic_cast<TComponent*>(*p);
    return component != nullptr ? component->Name() : "nil";
  }
  const int64_t n = std::get<int64_t>(v);
  if (prop->Kind() == TPropKind::Enumeration)
    return prop->Names().at(static_cast<size_t>(n));
  if (prop->Kind() == TPropKind::Set) {
    std::string text = "[";
    for (size_t i = 0; i < prop->Names().size(); ++i)
      if ((n >> i) & 1)
        text += (text.size() > 1 ? ", " : "") + prop->Names()[i];
    return text + "]";
  }
  if (const TIdentMap* map = prop->IdentMap(); map != nullptr)
    if (const std::string* name = map->NameOf(n); name != nullptr)
      return *name;
  return std::to_string(n);
}

// The value at `path`: a component of the window (or the window itself,
// "fmMain"), then published sub-objects and properties joined by points; a
// number selects a collection's item ("TrelScope1.Channels.1.Color").
// "<collection>.Count" is the collection's item count.
std::string Stored(TComponent* root, const std::string& path) {
  std::vector<std::string> parts;
  for (size_t from = 0, dot;; from = dot + 1) {
    dot = path.find('.', from);
    parts.push_back(path.substr(from, dot - from));
    if (dot == std::string::npos)
      break;
  }
  TObject* object = parts[0] == root->Name() ? root : root->FindComponent(parts[0]);
  if (object == nullptr)
    return "no component " + parts[0];
  for (size_t i = 1; i + 1 < parts.size(); ++i) {
    if (auto* items = dynamic_cast<TCollection*>(object);
        items != nullptr && std::isdigit(static_cast<unsigned char>(parts[i][0])) != 0)
      object = items->Items(std::stoi(parts[i]));
    else
      object = GetObjectProp(object, parts[i]);
    if (object == nullptr)
      return "no object " + parts[i];
  }
  if (auto* items = dynamic_cast<TCollection*>(object); items != nullptr && parts.back() == "Count")
    return std::to_string(items->Count());
  const TPropInfo* prop = GetPropInfo(object->ClassType(), parts.back());
  if (prop == nullptr)
    return "no property " + parts.back();
  return ValueText(object, prop, root);
}

struct Setting {
  std::string path;
  std::string value;
};

// The settings that the main window's description gives the window, its
// graph and its controls.
std::vector<Setting> StatedSettings() {
  std::vector<Setting> s = {
      // The window.
      {"fmMain.Caption", "Kestrune"},
      {"fmMain.ClientWidth", "665"},
      {"fmMain.ClientHeight", "385"},
      {"fmMain.BorderStyle", "bsSingle"},
      {"fmMain.BorderIcons", "[biSystemMenu, biMinimize]"},
      {"fmMain.Position", "poScreenCenter"},
      {"fmMain.Font.Name", "MS Sans Serif"},
      {"fmMain.Font.Height", "-11"},
      {"fmMain.Menu", "StyMainMenu1"},
      {"fmMain.OnCreate", "FormCreate"},
      {"fmMain.OnCloseQuery", "FormCloseQuery"},
      // The scope.
      {"TrelScope1.Left", "16"},
      {"TrelScope1.Top", "40"},
      {"TrelScope1.Width", "377"},
      {"TrelScope1.Height", "329"},
      {"TrelScope1.ToolBar.Visible", "False"},
      {"TrelScope1.Zooming.MouseZoom", "False"},
      {"TrelScope1.Zooming.KeyboardZoom", "False"},
      {"TrelScope1.Zooming.MouseWheelEnabled", "False"},
      {"TrelScope1.Zooming.HoldOnZoom", "False"},
      {"TrelScope1.InputPins.Count", "2"},
      {"TrelScope1.XAxis.Visible", "False"},
      {"TrelScope1.YAxis.Visible", "False"},
      {"TrelScope1.Legend.Visible", "False"},
      {"TrelScope1.Title.Visible", "False"},
      {"TrelScope1.Title.Text", "Scope"},
      {"TrelScope1.YAxis.AutoScaling.Enabled", "True"},
      {"TrelScope1.XAxis.TicksMode", "atmAuto"},
      {"TrelScope1.XAxis.UnitScale.Exponent", "0"},
      {"TrelScope1.XAxis.Max.Mode", "mamValue"},
      {"TrelScope1.XAxis.MaxSample.Value", "2048"},
      {"TrelScope1.Channels.Count", "2"},
      {"TrelScope1.Channels.0.Name", "Channel0"},
      {"TrelScope1.Channels.0.Color", "clRed"},
      {"TrelScope1.Channels.1.Name", "Channel1"},
      {"TrelScope1.Channels.1.Color", "clLime"},
      {"TrelScope1.MarkerGroups.Count", "0"},
      // The graph.
      {"MoskAudioIn1.PumpPriority", "0"},
      {"MoskAudioIn1.Device.DeviceName", "Default"},
      {"MoskAudioIn1.AudioFormat.SampleRate", "44100"},
      {"MoskAudioIn1PPM.OutputPins.Count", "2"},
      {"MoskAudioIn1PPM.OnValueChange", "MoskAudioIn1PPMValueChange"},
      {"MoskAmplifier1.Coefficient", std::to_string(1.0)},
      {"MoskAudioToReal1.OutputPins.Count", "2"},
      {"MoskSpectrum1.OutputPins.Count", "2"},
      {"MoskSpectrum1.SamplingWindowStep", "0"},
      {"MoskSpectrum1.FrequencyOutputPins.Count", "2"},
      // The mode buttons.
      {"btnScope.Caption", "Oscilloscope"},
      {"btnScope.Down", "True"},
      {"btnScope.Font.Color", "clLime"},
      {"btnScope.GroupIndex", "10"},
      {"btnScope.OnClick", "btnScopeClick"},
      {"btnSpectrum.Caption", "Analyseur spectre"},
      {"btnSpectrum.Down", "False"},
      {"btnSpectrum.Font.Color", "clGray"},
      {"btnSpectrum.GroupIndex", "10"},
      {"btnSpectrum.OnClick", "btnScopeClick"},
      // The slider groups.
      {"StyGroupBox1.Caption", "Base de temps (Horz)"},
      {"StyGroupBox2.Caption", "Amplitude Voie 1"},
      {"StyGroupBox3.Caption", "Amplitude Voie 2"},
      {"tbScaleHorz.Width", "145"},
      {"tbScaleHorz.BorderWidth", "4"},
      {"tbScaleHorz.MinValue", "1"},
      {"tbScaleHorz.MaxValue", "9"},
      {"tbScaleHorz.Position", "7"},
      {"tbScaleHorz.Frequency", "1"},
      {"tbScaleHorz.OnChange", "tbScaleHorzChange"},
      {"cbScaleHorzAuto.Caption", "Auto"},
      {"cbScaleHorzAuto.Checked", "True"},
      {"cbScaleHorzAuto.OnClick", "cbScaleVertAuto1Click"},
      {"tbScaleVert1.Tag", "1"},
      {"tbScaleVert1.MinValue", "1"},
      {"tbScaleVert1.MaxValue", "9"},
      {"tbScaleVert1.Position", "7"},
      {"tbScaleVert1.OnChange", "tbScaleVert1Change"},
      {"cbScaleVertAuto1.Caption", "Auto"},
      {"cbScaleVertAuto1.Checked", "False"},
      {"cbScaleVertAuto1.OnClick", "cbScaleVertAuto1Click"},
      {"tbScaleVert2.Tag", "2"},
      {"tbScaleVert2.MinValue", "1"},
      {"tbScaleVert2.MaxValue", "9"},
      {"tbScaleVert2.Position", "5"},
      {"tbScaleVert2.OnChange", "tbScaleVert1Change"},
      {"cbScaleVertAuto2.Caption", "Auto"},
      {"cbScaleVertAuto2.Enabled", "False"},
      {"cbScaleVertAuto2.OnClick", ""},
      {"LuTrackBar1.Position", "1"},
      {"LuTrackBar2.Position", "1"},
      {"LuTrackBar4.Position", "3"},
      {"LuTrackBar5.Position", "2"},
      {"Label1.Caption", "Balayage : \r\n100 us / div"},
      {"Label2.Caption", "Sensibilité : \r\n1 V / div"},
      {"Label3.Caption", "Couplage : AC"},
      {"Label4.Caption", "Trigger : Voie 1"},
      {"Label5.Caption", "Sensibilité : \r\n200 mV / div"},
      {"Label6.Caption", "Couplage : DC"},
      {"Label7.Caption", "Trigger : Voie 2"},
      // The level meter.
      {"vuAudioIn1.Left", "480"},
      {"vuAudioIn1.Top", "8"},
      {"vuAudioIn1.Width", "169"},
      {"vuAudioIn1.Height", "21"},
      {"vuAudioIn1.MeterType", "vtStereo"},
      {"vuAudioIn1.Orientation", "voHorizontal"},
      {"vuAudioIn1.NumLeds", "16"},
      {"vuAudioIn1.Level1Limit", "75"},
      {"vuAudioIn1.Level2Limit", "92"},
      {"vuAudioIn1.Level1Color", "clLime"},
      {"vuAudioIn1.Level2Color", "clYellow"},
      {"vuAudioIn1.Level3Color", "clRed"},
      {"vuAudioIn1.ShaddowColor", "clSilver"},
      {"vuAudioIn1.BackGroundColor", "clBlack"},
      {"vuAudioIn1.PeakShow", "True"},
      {"vuAudioIn1.ExtremityMargin", "3"},
      {"vuAudioIn1.LedLength", "2"},
      {"vuAudioIn1.LedSpacing", "1"},
      // The menus, their styler and the actions.
      {"StyMainMenu1.MenuStyler", "StyMenuOfficeStyler1"},
      {"StyPopupMenu1.MenuStyler", "StyMenuOfficeStyler1"},
      {"StyMenuOfficeStyler1.Style", "osOffice2003Blue"},
      {"StyMenuOfficeStyler1.AutoThemeAdapt", "False"},
      {"StyMenuOfficeStyler1.AntiAlias", "aaNone"},
      {"StyMenuOfficeStyler1.NotesFont.Height", "-8"},
      {"StyMenuOfficeStyler1.NotesFont.Color", "clGray"},
      {"StyMenuOfficeStyler1.SelectedItem.NotesFont.Height", "-8"},
      {"ActAppClose.Caption", "Quitter"},
      {"ActAppClose.OnExecute", "ActAppCloseExecute"},
      {"ActAppHelpIndex.Caption", "Index de l'aide"},
      {"ActAppReadme.Caption", "Lisez-moi"},
      {"ActAppAbout.Caption", "A propos..."},
  };
  for (const char* axis : {"XAxis", "YAxis", "Legend", "Title"}) {
    s.push_back({std::string("TrelScope1.") + axis + ".Font.Name", "Arial"});
    s.push_back({std::string("TrelScope1.") + axis + ".Font.Color", "clWhite"});
  }
  for (const char* channel : {"0", "1"}) {
    const std::string c = std::string("TrelScope1.Channels.") + channel;
    s.push_back({c + ".ChannelMode", "cmLine"});
    s.push_back({c + ".ShadeMode", "csmZero"});
    s.push_back({c + ".Points.Visible", "False"});
    s.push_back({c + ".Points.Shape", "psCircle"});
    s.push_back({c + ".Points.Pen.Color", "clRed"});
    s.push_back({c + ".Points.Brush.Color", "clRed"});
    s.push_back({c + ".Markers.Count", "0"});
  }
  for (const char* bar : {"LuTrackBar1", "LuTrackBar2", "LuTrackBar4", "LuTrackBar5"}) {
    s.push_back({std::string(bar) + ".MinValue", "1"});
    s.push_back({std::string(bar) + ".MaxValue", "3"});
    s.push_back({std::string(bar) + ".OnChange", ""});
  }
  // The device and line lists: aqua "Tahoma" text on navy, not flat.
  for (const char* list : {"lstAudioIn1Devices", "lstAudioIn1DeviceLines"}) {
    const std::string l = list;
    s.push_back({l + ".Top", "8"});
    s.push_back({l + ".Width", "225"});
    s.push_back({l + ".Style", "csDropDownList"});
    s.push_back({l + ".Color", "clNavy"});
    s.push_back({l + ".Font.Color", "clAqua"});
    s.push_back({l + ".Font.Name", "Tahoma"});
    s.push_back({l + ".Etched", "True"});
    s.push_back({l + ".FocusBorder", "True"});
    s.push_back({l + ".FlatLineColor", "clSilver"});
    s.push_back({l + ".Flat", "False"});
    s.push_back({l + ".OnChange", l + "Change"});
  }
  s.push_back({"lstAudioIn1Devices.Left", "16"});
  s.push_back({"lstAudioIn1DeviceLines.Left", "248"});
  // The 27 scale captions: plain, top-aligned, transparent, turned by 90
  // degrees, Arial of height -9.
  const std::vector<std::string> captions = {
      "10u", "20u", "50u", "100u", "200u", "500u", "1m", "2m", "5m",  // time base
      "10m", "20m", "50m", "100m", "200m", "500m", "1",  "2",  "5",   // channel 1
      "10m", "20m", "50m", "100m", "200m", "500m", "1",  "2",  "5"};  // channel 2
  for (size_t i = 0; i < captions.size(); ++i) {
    const std::string label = "LuLabel" + std::to_string(i + 1);
    s.push_back({label + ".Caption", captions[i]});
    s.push_back({label + ".Angle", "90"});
    s.push_back({label + ".Style", "lsNone"});
    s.push_back({label + ".Layout", "tlTop"});
    s.push_back({label + ".Transparent", "True"});
    s.push_back({label + ".Font.Name", "Arial"});
    s.push_back({label + ".Font.Height", "-9"});
  }
  for (const char* font : {"Font", "RootItem.Font", "SelectedItem.Font",
                           "ButtonAppearance.CaptionFont", "NotesFont", "SelectedItem.NotesFont"})
    s.push_back({std::string("StyMenuOfficeStyler1.") + font + ".Name", "Tahoma"});
  for (const char* font :
       {"Font", "RootItem.Font", "SelectedItem.Font", "ButtonAppearance.CaptionFont"})
    s.push_back({std::string("StyMenuOfficeStyler1.") + font + ".Height", "-11"});
  s.push_back({"ActAppClose.Hint", "Quitter"});
  s.push_back({"ActAppHelpIndex.Hint", "Index de l'aide"});
  s.push_back({"ActAppReadme.Hint", "Lisez-moi"});
  s.push_back({"ActAppAbout.Hint", "A propos..."});
  return s;
}

class MainFormDescription : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::StartUnits();
    apptest::ResetAppState();
    // The description starts capture on "Default" as it loads.
    kestrune::SetWaveInBackend(std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{}));
    form_ = Create<TStoredMainWindow>(nullptr);
  }
  void TearDown() override {
    FreeAndNil(form_);
    kestrune::MainLoop::Current()->ProcessMessages();
    kestrune::SetWaveInBackend(nullptr);
  }

  TStoredMainWindow* form_ = nullptr;
};

TEST_F(MainFormDescription, HoldsEveryStatedSetting) {
  for (const Setting& setting : StatedSettings())
    EXPECT_EQ(Stored(form_, setting.path), setting.value) << setting.path;
  // The axes' values are stored through their own properties ("Value",
  // "MinMax"), not as published ones.
  TTrelScopeXAxis* x = form_->TrelScope1->GetXAxis();
  EXPECT_EQ(x->GetMin()->GetValue(), 0.0);
  EXPECT_EQ(x->GetMin()->GetTick()->GetValue(), 0.0);
  EXPECT_EQ(x->GetMax()->GetValue(), 2048.0);
  EXPECT_EQ(x->GetMax()->GetTick()->GetValue(), 1024.0);
  EXPECT_EQ(form_->TrelScope1->GetYAxis()->GetMin(), -1000.0);
  EXPECT_EQ(form_->TrelScope1->GetYAxis()->GetMax(), 1000.0);
}

TColor PixelOf(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return static_cast<TColor>(qRed(p) | (qGreen(p) << 8) | (qBlue(p) << 16));
}

// The runs of pixels other than `background` along row y from x0 to x1
// (exclusive), each with the colour of its first pixel.
std::vector<TColor> Runs(const QImage& image, int y, int x0, int x1, TColor background) {
  std::vector<TColor> runs;
  bool inRun = false;
  for (int x = x0; x < x1; ++x) {
    const TColor c = PixelOf(image, x, y);
    if (c != background && !inRun)
      runs.push_back(c);
    inRun = c != background;
  }
  return runs;
}

TEST_F(MainFormDescription, APictureShows55LedsABarAndAquaListText) {
  TfmMain& f = *form_;
  f.lstAudioIn1Devices->Items()->Add("Micro");
  f.lstAudioIn1Devices->SetItemIndex(0);
  f.Show();
  // Level 50 lights the 28 leftmost of the 55 LEDs of the upper bar (left
  // channel); level 0 lights only the leftmost one of the lower bar.
  f.vuAudioIn1->LeftPeak = 0;
  f.vuAudioIn1->RightPeak = 0;
  f.vuAudioIn1->SetLeftValue(50);
  f.vuAudioIn1->SetRightValue(0);
  const QImage image = kestrune::testing::RenderForm(&f);
  ASSERT_FALSE(image.isNull());

  const TRect meter = f.vuAudioIn1->BoundsRect();
  // The bars' middle rows: the meter is 21 high, the bars lie 3 pixels from
  // the long sides and 2 from the middle.
  for (const auto& [row, lit] : {std::pair{meter.Top + 5, 28}, std::pair{meter.Top + 15, 1}}) {
    const std::vector<TColor> runs = Runs(image, row, meter.Left, meter.Right, clBlack);
    EXPECT_EQ(runs.size(), 55u) << "row " << row;
    int litCount = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
      const bool isLit = runs[i] == clLime;
      litCount += isLit;
      if (isLit) {
        EXPECT_LT(static_cast<int>(i), lit) << "row " << row << ": LED " << i << " from the left";
      }
    }
    EXPECT_EQ(litCount, lit) << "row " << row;
  }

  // The device list's text is aqua: many aqua pixels on its navy face, none
  // of the default black text.
  const TRect list = f.lstAudioIn1Devices->BoundsRect();
  int aqua = 0, black = 0;
  for (int y = list.Top + 3; y < list.Bottom - 3; ++y)
    for (int x = list.Left + 3; x < list.Right - 24; ++x) {
      const TColor c = PixelOf(image, x, y);
      aqua += c == clAqua;
      black += c == clBlack;
    }
  EXPECT_GT(aqua, 20);
  EXPECT_EQ(black, 0);
}

}  // namespace
