// The main window's stored description: its settings, its processing graph
// with the pin links, its controls with their events (bound by name to the
// window's published handlers).
//
// Layout: the menu bar above the client area ("Fichier", "Aide"), the device
// and line lists and the level meter along the top, the scope below them on
// the left, and in the column beside the scope the two mode buttons over the
// three slider groups (time base, channel 1, channel 2). Both menus paint
// with the office styler; the menu entries run the actions of the action
// list (only "Quitter" has a handler).
#include "app/MainFormDescription.h"

std::string_view MainFormDescription() {
  static constexpr std::string_view kText = R"txt(
object fmMain: TfmMain
  Left = 0
  Top = 0
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSingle
  Caption = "Kestrune"
  ClientHeight = 385
  ClientWidth = 665
  Color = clBtnFace
  Font.Height = -11
  Font.Name = "MS Sans Serif"
  Menu = StyMainMenu1
  Position = poScreenCenter
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  object MoskAudioIn1: TMoskAudioIn
    PumpPriority = 0
    Device.DeviceName = "Default"
    AudioFormat.SampleRate = 44100
    OutputPin.SinkPins = (fmMain.MoskAudioIn1PPM.InputPin, fmMain.MoskRemoveDC1.InputPin)
  end
  object MoskAudioIn1PPM: TMoskPPMMeter
    InputPin.SourcePin = fmMain.MoskAudioIn1.OutputPin
    OutputPins.Count = 2
    OnValueChange = MoskAudioIn1PPMValueChange
  end
  object MoskRemoveDC1: TMoskRemoveDC
    InputPin.SourcePin = fmMain.MoskAudioIn1.OutputPin
    OutputPin.SinkPins = (fmMain.MoskAmplifier1.InputPin)
  end
  object MoskAmplifier1: TMoskAmplifier
    InputPin.SourcePin = fmMain.MoskRemoveDC1.OutputPin
    Coefficient = 1.0
    OutputPin.SinkPins = (fmMain.MoskSpectrum1.InputPin, fmMain.MoskAudioToReal1.InputPin)
  end
  object MoskAudioToReal1: TMoskAudioToReal
    InputPin.SourcePin = fmMain.MoskAmplifier1.OutputPin
    OutputPins.Count = 2
    OutputPins.Form = fmMain
    OutputPins.Pins = (Sinks, ((fmMain.TrelScope1.InputPins._Pin0, "fmMain.TrelScope1.InputPins.Channel0")), Sinks, ((fmMain.TrelScope1.InputPins._Pin1, "fmMain.TrelScope1.InputPins.Channel1")))
  end
  object MoskSpectrum1: TMoskSpectrum
    InputPin.SourcePin = fmMain.MoskAmplifier1.OutputPin
    OutputPins.Count = 2
    SamplingWindowStep = 0
    FrequencyOutputPins.Count = 2
  end
  object TrelScope1: TTrelScope
    Left = 16
    Top = 40
    Width = 377
    Height = 329
    ToolBar.Visible = False
    Zooming.MouseZoom = False
    Zooming.KeyboardZoom = False
    Zooming.MouseWheelEnabled = False
    Zooming.HoldOnZoom = False
    InputPins.Count = 2
    InputPins.Form = fmMain
    InputPins.Pins = ((fmMain.MoskAudioToReal1.OutputPins._Pin0, "fmMain.MoskAudioToReal1.OutputPins.Pin [0]"), (fmMain.MoskAudioToReal1.OutputPins._Pin1, "fmMain.MoskAudioToReal1.OutputPins.Pin [1]"))
    XAxis.Visible = False
    XAxis.Font.Color = clWhite
    XAxis.Font.Name = "Arial"
    XAxis.Max.Mode = mamValue
    XAxis.Max.Value = 2048.0
    XAxis.MaxSample.Value = 2048
    XAxis.Min.Value = 0.0
    YAxis.Visible = False
    YAxis.Font.Color = clWhite
    YAxis.Font.Name = "Arial"
    YAxis.AutoScaling.Enabled = True
    YAxis.MinMax = (-1000.0, 1000.0)
    Legend.Visible = False
    Legend.Font.Color = clWhite
    Legend.Font.Name = "Arial"
    Title.Visible = False
    Title.Text = "Scope"
    Title.Font.Color = clWhite
    Title.Font.Name = "Arial"
    Channels = <
      item
        Name = "Channel0"
        Color = clRed
        ChannelMode = cmLine
        ShadeMode = csmZero
        Points.Visible = False
      end
      item
        Name = "Channel1"
        Color = clLime
        ChannelMode = cmLine
        ShadeMode = csmZero
        Points.Visible = False
      end>
  end
  object lstAudioIn1Devices: TStyComboBox
    Left = 16
    Top = 8
    Width = 225
    Height = 21
    Style = csDropDownList
    Color = clNavy
    Etched = True
    FlatLineColor = clSilver
    FocusBorder = True
    Font.Color = clAqua
    Font.Name = "Tahoma"
    OnChange = lstAudioIn1DevicesChange
  end
  object lstAudioIn1DeviceLines: TStyComboBox
    Left = 248
    Top = 8
    Width = 225
    Height = 21
    Style = csDropDownList
    Color = clNavy
    Etched = True
    FlatLineColor = clSilver
    FocusBorder = True
    Font.Color = clAqua
    Font.Name = "Tahoma"
    OnChange = lstAudioIn1DeviceLinesChange
  end
  object vuAudioIn1: TlmVuMeter
    Left = 480
    Top = 8
    Width = 169
    Height = 21
    Orientation = voHorizontal
    NumLeds = 16
    ExtremityMargin = 3
    LedLength = 2
    LedSpacing = 1
    Level1Limit = 75
    Level2Limit = 92
    Level1Color = clLime
    Level2Color = clYellow
    Level3Color = clRed
    ShaddowColor = clSilver
    BackGroundColor = clBlack
    PeakShow = True
  end
  object btnScope: TStyGlassButton
    Left = 404
    Top = 40
    Width = 120
    Height = 25
    Caption = "Oscilloscope"
    Down = True
    Font.Color = clLime
    GroupIndex = 10
    OnClick = btnScopeClick
  end
  object btnSpectrum: TStyGlassButton
    Left = 529
    Top = 40
    Width = 120
    Height = 25
    Caption = "Analyseur spectre"
    Font.Color = clGray
    GroupIndex = 10
    OnClick = btnScopeClick
  end
  object StyGroupBox1: TStyGroupBox
    Color = clBtnFace
    Left = 404
    Top = 72
    Width = 245
    Height = 78
    Caption = "Base de temps (Horz)"
    object LuLabel1: TLuLabel
      Left = 12
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "10u"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel2: TLuLabel
      Left = 28
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "20u"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel3: TLuLabel
      Left = 45
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "50u"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel4: TLuLabel
      Left = 62
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "100u"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel5: TLuLabel
      Left = 78
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "200u"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel6: TLuLabel
      Left = 94
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "500u"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel7: TLuLabel
      Left = 111
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "1m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel8: TLuLabel
      Left = 128
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "2m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel9: TLuLabel
      Left = 144
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "5m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object tbScaleHorz: TLuTrackBar
      Color = clBtnFace
      Left = 8
      Top = 42
      Width = 145
      Height = 28
      BorderWidth = 4
      MinValue = 1
      MaxValue = 9
      Position = 7
      Frequency = 1
      OnChange = tbScaleHorzChange
    end
    object cbScaleHorzAuto: TCheckBox
      Left = 168
      Top = 16
      Width = 60
      Height = 17
      Caption = "Auto"
      Checked = True
      OnClick = cbScaleVertAuto1Click
    end
    object Label1: TLabel
      Left = 168
      Top = 40
      Width = 72
      Height = 26
      Caption = "Balayage : \r\n100 us / div"
    end
  end
  object StyGroupBox2: TStyGroupBox
    Color = clBtnFace
    Left = 404
    Top = 154
    Width = 245
    Height = 105
    Caption = "Amplitude Voie 1"
    object LuLabel10: TLuLabel
      Left = 12
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "10m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel11: TLuLabel
      Left = 28
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "20m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel12: TLuLabel
      Left = 45
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "50m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel13: TLuLabel
      Left = 62
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "100m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel14: TLuLabel
      Left = 78
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "200m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel15: TLuLabel
      Left = 94
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "500m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel16: TLuLabel
      Left = 111
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "1"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel17: TLuLabel
      Left = 128
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "2"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel18: TLuLabel
      Left = 144
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "5"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object tbScaleVert1: TLuTrackBar
      Color = clBtnFace
      Tag = 1
      Left = 8
      Top = 42
      Width = 150
      Height = 28
      MinValue = 1
      MaxValue = 9
      Position = 7
      Frequency = 1
      OnChange = tbScaleVert1Change
    end
    object cbScaleVertAuto1: TCheckBox
      Left = 168
      Top = 16
      Width = 60
      Height = 17
      Caption = "Auto"
      OnClick = cbScaleVertAuto1Click
    end
    object Label2: TLabel
      Left = 168
      Top = 40
      Width = 72
      Height = 26
      Caption = "Sensibilité : \r\n1 V / div"
    end
    object LuTrackBar1: TLuTrackBar
      Color = clBtnFace
      Left = 8
      Top = 74
      Width = 44
      Height = 24
      MinValue = 1
      MaxValue = 3
      Position = 1
      Frequency = 1
    end
    object Label3: TLabel
      Left = 54
      Top = 80
      Width = 64
      Height = 13
      Caption = "Couplage : AC"
    end
    object LuTrackBar2: TLuTrackBar
      Color = clBtnFace
      Left = 124
      Top = 74
      Width = 44
      Height = 24
      MinValue = 1
      MaxValue = 3
      Position = 1
      Frequency = 1
    end
    object Label4: TLabel
      Left = 170
      Top = 80
      Width = 72
      Height = 13
      Caption = "Trigger : Voie 1"
    end
  end
  object StyGroupBox3: TStyGroupBox
    Color = clBtnFace
    Left = 404
    Top = 264
    Width = 245
    Height = 105
    Caption = "Amplitude Voie 2"
    object LuLabel19: TLuLabel
      Left = 12
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "10m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel20: TLuLabel
      Left = 28
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "20m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel21: TLuLabel
      Left = 45
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "50m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel22: TLuLabel
      Left = 62
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "100m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel23: TLuLabel
      Left = 78
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "200m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel24: TLuLabel
      Left = 94
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "500m"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel25: TLuLabel
      Left = 111
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "1"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel26: TLuLabel
      Left = 128
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "2"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object LuLabel27: TLuLabel
      Left = 144
      Top = 14
      Width = 13
      Height = 26
      Angle = 90
      Caption = "5"
      Font.Height = -9
      Font.Name = "Arial"
      Layout = tlTop
      Style = lsNone
      Transparent = True
    end
    object tbScaleVert2: TLuTrackBar
      Color = clBtnFace
      Tag = 2
      Left = 8
      Top = 42
      Width = 150
      Height = 28
      MinValue = 1
      MaxValue = 9
      Position = 5
      Frequency = 1
      OnChange = tbScaleVert1Change
    end
    object cbScaleVertAuto2: TCheckBox
      Left = 168
      Top = 16
      Width = 60
      Height = 17
      Caption = "Auto"
      Enabled = False
    end
    object Label5: TLabel
      Left = 168
      Top = 40
      Width = 72
      Height = 26
      Caption = "Sensibilité : \r\n200 mV / div"
    end
    object LuTrackBar4: TLuTrackBar
      Color = clBtnFace
      Left = 8
      Top = 74
      Width = 44
      Height = 24
      MinValue = 1
      MaxValue = 3
      Position = 3
      Frequency = 1
    end
    object Label6: TLabel
      Left = 54
      Top = 80
      Width = 64
      Height = 13
      Caption = "Couplage : DC"
    end
    object LuTrackBar5: TLuTrackBar
      Color = clBtnFace
      Left = 124
      Top = 74
      Width = 44
      Height = 24
      MinValue = 1
      MaxValue = 3
      Position = 2
      Frequency = 1
    end
    object Label7: TLabel
      Left = 170
      Top = 80
      Width = 72
      Height = 13
      Caption = "Trigger : Voie 2"
    end
  end
  object ActionList1: TActionList
    object ActAppClose: TAction
      Caption = "Quitter"
      Hint = "Quitter"
      OnExecute = ActAppCloseExecute
    end
    object ActAppHelpIndex: TAction
      Caption = "Index de l'aide"
      Hint = "Index de l'aide"
    end
    object ActAppReadme: TAction
      Caption = "Lisez-moi"
      Hint = "Lisez-moi"
    end
    object ActAppAbout: TAction
      Caption = "A propos..."
      Hint = "A propos..."
    end
  end
  object StyMainMenu1: TStyMainMenu
    MenuStyler = StyMenuOfficeStyler1
    object Fichier1: TMenuItem
      Caption = "Fichier"
      object N1: TMenuItem
        Caption = "-"
      end
      object Quitter1: TMenuItem
        Action = ActAppClose
      end
    end
    object Aide1: TMenuItem
      Caption = "Aide"
      object Indexdelaide1: TMenuItem
        Action = ActAppHelpIndex
      end
      object Lisezmoi1: TMenuItem
        Action = ActAppReadme
      end
      object Apropos1: TMenuItem
        Action = ActAppAbout
      end
    end
  end
  object StyPopupMenu1: TStyPopupMenu
    MenuStyler = StyMenuOfficeStyler1
  end
  object StyMenuOfficeStyler1: TStyMenuOfficeStyler
    AntiAlias = aaNone
    Font.Name = "Tahoma"
    Font.Height = -11
    NotesFont.Name = "Tahoma"
    NotesFont.Height = -8
    NotesFont.Color = clGray
    RootItem.Font.Name = "Tahoma"
    RootItem.Font.Height = -11
    SelectedItem.Font.Name = "Tahoma"
    SelectedItem.Font.Height = -11
    SelectedItem.NotesFont.Name = "Tahoma"
    SelectedItem.NotesFont.Height = -8
    ButtonAppearance.CaptionFont.Name = "Tahoma"
    ButtonAppearance.CaptionFont.Height = -11
    Style = osOffice2003Blue
    AutoThemeAdapt = False
  end
end
)txt";
  return kText;
}
