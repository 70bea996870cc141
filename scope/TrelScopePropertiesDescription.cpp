// The property dialog's stored descriptions. The dialog starts at 80 x 80
// and grows to fit its pages: a page control above a 33-pixel button
// panel (Add, Remove, and OK at the right edge). Each page lists its items
// on the left (121 pixels wide) and edits the chosen one on the right,
// labels at x 140 and controls from x 184, groups 244 pixels wide below.
// The channel-link editor is a group holding a "Point" and a "Label" tab;
// the pen and brush editors are small fixed dialogs with OK and Cancel.
#include "scope/TrelScopePropertiesDescription.h"

#include <string>
#include <string_view>

#include "platform/classes/Streaming.h"

namespace {

// The generic dialog under the root name and class of `className`.
std::string CommonDescription(std::string_view rootName, std::string_view className) {
  return std::string("object ") + std::string(rootName) + ": " + std::string(className) + R"txt(
  Left = 0
  Top = 0
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu]
  Caption = "Settings"
  ClientWidth = 80
  ClientHeight = 80
  Position = poDesigned
  OnResize = FormResize
  object ButtonPanel: TPanel
    Align = alBottom
    Height = 33
    BevelOuter = bvNone
    object AddButton: TButton
      Left = 4
      Top = 4
      Width = 75
      Height = 25
      Caption = "Add"
      OnClick = AddButtonClick
    end
    object RemoveButton: TButton
      Left = 84
      Top = 4
      Width = 75
      Height = 25
      Caption = "Remove"
      OnClick = RemoveButtonClick
    end
    object OkButton: TButton
      Left = 164
      Top = 4
      Width = 75
      Height = 25
      Caption = "OK"
      Default = True
      Cancel = True
      ModalResult = 1
    end
  end
  object PageControl: TPageControl
    Align = alClient
    OnChange = PageControlChange
  end
end
)txt";
}

constexpr std::string_view kTrelScopeChannelForm = R"txt(
object TrelScopeChannelForm: TTrelScopeChannelForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  Caption = "Channels"
  ClientWidth = 392
  ClientHeight = 241
  object ChannelsListBox: TCheckListBox
    Left = 8
    Top = 8
    Width = 121
    Height = 225
    OnClick = ChannelsListBoxClick
    OnClickCheck = ChannelsListBoxClickCheck
  end
  object NameLabel: TLabel
    Left = 140
    Top = 11
    Width = 60
    Height = 13
    Caption = "Name:"
  end
  object NameEdit: TEdit
    Left = 184
    Top = 8
    Width = 200
    Height = 21
    OnChange = NameEditChange
    OnExit = NameEditExit
    OnKeyPress = NameEditKeyPress
  end
  object ModeLabel: TLabel
    Left = 140
    Top = 39
    Width = 60
    Height = 13
    Caption = "Mode:"
  end
  object ModeComboBox: TComboBox
    Left = 184
    Top = 36
    Width = 97
    Height = 21
    Style = csDropDownList
    OnChange = ModeComboBoxChange
  end
  object ShadeLabel: TLabel
    Left = 140
    Top = 67
    Width = 60
    Height = 13
    Caption = "Shade:"
  end
  object ShadeComboBox: TComboBox
    Left = 184
    Top = 64
    Width = 97
    Height = 21
    Style = csDropDownList
    OnChange = ShadeComboBoxChange
  end
  object VisibleCheckBox: TCheckBox
    Left = 292
    Top = 38
    Width = 92
    Height = 17
    Caption = "Visible"
    OnClick = VisibleCheckBoxClick
  end
  object ColorButton: TButton
    Left = 292
    Top = 62
    Width = 67
    Height = 25
    Caption = "&Color..."
    OnClick = ColorButtonClick
  end
  object ColorPaintBox: TPaintBox
    Left = 364
    Top = 66
    Width = 17
    Height = 17
    OnPaint = SwatchPaint
  end
  object WidthLabel: TLabel
    Left = 140
    Top = 95
    Width = 60
    Height = 13
    Caption = "Width:"
  end
  object WidthEdit: TEdit
    Left = 184
    Top = 92
    Width = 41
    Height = 21
    OnChange = NumberEditChange
    OnExit = EditExit
    OnKeyPress = NumberEditKeyPress
  end
  object WidthUpDown: TUpDown
    Left = 0
    Top = 0
    Width = 16
    Height = 21
    Min = 1
    Max = 500
    Position = 1
    Associate = WidthEdit
  end
  object PointsGroupBox: TGroupBox
    Left = 140
    Top = 124
    Width = 244
    Height = 109
    Caption = " Points "
    object PointsVisibleCheckBox: TCheckBox
      Left = 8
      Top = 20
      Width = 90
      Height = 17
      Caption = "Visible"
      OnClick = PointsCheckBoxClick
    end
    object PointsUseChannelColorCheckBox: TCheckBox
      Left = 104
      Top = 20
      Width = 132
      Height = 17
      Caption = "Use Channel Color"
      OnClick = PointsCheckBoxClick
    end
    object PointsShapeLabel: TLabel
      Left = 8
      Top = 47
      Width = 60
      Height = 13
      Caption = "Shape:"
    end
    object PointsShapeComboBox: TComboBox
      Left = 52
      Top = 44
      Width = 97
      Height = 21
      Style = csDropDownList
      OnChange = PointsShapeComboBoxChange
    end
    object PointsSizeLabel: TLabel
      Left = 8
      Top = 75
      Width = 60
      Height = 13
      Caption = "Size:"
    end
    object PointsSizeEdit: TEdit
      Left = 52
      Top = 72
      Width = 41
      Height = 21
      OnChange = NumberEditChange
      OnExit = EditExit
      OnKeyPress = NumberEditKeyPress
    end
    object PointsSizeUpDown: TUpDown
      Left = 0
      Top = 0
      Width = 16
      Height = 21
      Min = 1
      Max = 500
      Position = 1
      Associate = PointsSizeEdit
    end
    object PointPenButton: TButton
      Left = 160
      Top = 42
      Width = 75
      Height = 25
      Caption = "&Pen..."
      OnClick = PointPenButtonClick
    end
    object PointBrushButton: TButton
      Left = 160
      Top = 72
      Width = 75
      Height = 25
      Caption = "&Brush..."
      OnClick = PointBrushButtonClick
    end
  end
end
)txt";

constexpr std::string_view kTrelScopeMerkerGroupsForm = R"txt(
object TrelScopeMerkerGroupsForm: TTrelScopeMerkerGroupsForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  Caption = "Marker Groups"
  ClientWidth = 392
  ClientHeight = 241
  object GroupListBox: TCheckListBox
    Left = 8
    Top = 8
    Width = 121
    Height = 225
    OnClick = GroupListBoxClick
    OnClickCheck = GroupListBoxClickCheck
  end
  object NameLabel: TLabel
    Left = 140
    Top = 11
    Width = 60
    Height = 13
    Caption = "Name:"
  end
  object NameEdit: TEdit
    Left = 184
    Top = 8
    Width = 200
    Height = 21
    OnChange = NameEditChange
    OnExit = NameEditExit
    OnKeyPress = NameEditKeyPress
  end
  object ShapeLabel: TLabel
    Left = 140
    Top = 39
    Width = 60
    Height = 13
    Caption = "Shape:"
  end
  object ShapeComboBox: TComboBox
    Left = 184
    Top = 36
    Width = 120
    Height = 21
    Style = csDropDownList
    OnChange = ShapeComboBoxChange
  end
  object SizeLabel: TLabel
    Left = 140
    Top = 67
    Width = 60
    Height = 13
    Caption = "Size:"
  end
  object SizeEdit: TEdit
    Left = 184
    Top = 64
    Width = 41
    Height = 21
    OnChange = NumberEditChange
    OnExit = EditExit
    OnKeyPress = NumberEditKeyPress
  end
  object SizeUpDown: TUpDown
    Left = 0
    Top = 0
    Width = 16
    Height = 21
    Min = 1
    Max = 500
    Position = 1
    Associate = SizeEdit
  end
  object VisibleCheckBox: TCheckBox
    Left = 292
    Top = 66
    Width = 92
    Height = 17
    Caption = "Visible"
    OnClick = VisibleCheckBoxClick
  end
  object PenButton: TButton
    Left = 184
    Top = 92
    Width = 75
    Height = 25
    Caption = "&Pen..."
    OnClick = PenButtonClick
  end
  object BrushButton: TButton
    Left = 264
    Top = 92
    Width = 75
    Height = 25
    Caption = "&Brush..."
    OnClick = BrushButtonClick
  end
  object LabelsGroupBox: TGroupBox
    Left = 140
    Top = 124
    Width = 244
    Height = 77
    Caption = " Labels "
    object LabelVisibleCheckBox: TCheckBox
      Left = 8
      Top = 20
      Width = 90
      Height = 17
      Caption = "Visible"
      OnClick = LabelVisibleCheckBoxClick
    end
    object LabelEdit: TEdit
      Left = 8
      Top = 44
      Width = 200
      Height = 21
      OnChange = LabelEditChange
      OnExit = LabelEditExit
      OnKeyPress = LabelEditKeyPress
    end
    object LabelMenuButton: TButton
      Left = 212
      Top = 42
      Width = 24
      Height = 25
      Caption = "..."
      OnClick = LabelMenuButtonClick
    end
  end
  object LabelPopupMenu: TPopupMenu
    object LabelPopupMenuItem1: TMenuItem
      Caption = "X Axis"
      OnClick = MacroXClick
    end
    object LabelPopupMenuItem2: TMenuItem
      Caption = "Y Axis"
      OnClick = MacroYClick
    end
    object LabelPopupMenuItem3: TMenuItem
      Caption = "%"
      OnClick = MacroPercentClick
    end
  end
end
)txt";

constexpr std::string_view kTrelScopeCursorsForm = R"txt(
object TrelScopeCursorsForm: TTrelScopeCursorsForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  Caption = "Cursors"
  ClientWidth = 392
  ClientHeight = 305
  object CursorListBox: TCheckListBox
    Left = 8
    Top = 8
    Width = 121
    Height = 165
    OnClick = CursorListBoxClick
    OnClickCheck = CursorListBoxClickCheck
  end
  object NameLabel: TLabel
    Left = 140
    Top = 11
    Width = 60
    Height = 13
    Caption = "Name:"
  end
  object NameEdit: TEdit
    Left = 184
    Top = 8
    Width = 200
    Height = 21
    OnChange = NameEditChange
    OnExit = NameEditExit
    OnKeyPress = NameEditKeyPress
  end
  object KindLabel: TLabel
    Left = 140
    Top = 39
    Width = 60
    Height = 13
    Caption = "Kind:"
  end
  object KindComboBox: TComboBox
    Left = 184
    Top = 36
    Width = 97
    Height = 21
    Style = csDropDownList
    OnChange = KindComboBoxChange
  end
  object VisibleCheckBox: TCheckBox
    Left = 292
    Top = 38
    Width = 92
    Height = 17
    Caption = "Visible"
    OnClick = VisibleCheckBoxClick
  end
  object PointColorButton: TButton
    Left = 184
    Top = 62
    Width = 75
    Height = 25
    Caption = "&Color..."
    OnClick = PointColorButtonClick
  end
  object ColorPaintBox: TPaintBox
    Left = 264
    Top = 66
    Width = 17
    Height = 17
    OnPaint = SwatchPaint
  end
  object ChannelsGroupBox: TGroupBox
    Left = 140
    Top = 92
    Width = 244
    Height = 81
    Caption = " Channlels "
    object ChannelsListBox: TCheckListBox
      Left = 8
      Top = 18
      Width = 228
      Height = 55
      OnClick = ChannelsListBoxClick
      OnDblClick = ChannelsListBoxClick
      OnMouseUp = ChannelsListBoxMouseUp
      OnClickCheck = ChannelsListBoxClickCheck
    end
  end
end
)txt";

constexpr std::string_view kTrelScopeCursorLinksForm = R"txt(
object TrelScopeCursorLinksForm: TTrelScopeCursorLinksForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  Caption = "Cursor Links"
  ClientWidth = 392
  ClientHeight = 289
  object CursorLinksListBox: TListBox
    Left = 8
    Top = 8
    Width = 121
    Height = 273
    OnClick = CursorLinksListBoxClick
  end
  object NameLabel: TLabel
    Left = 140
    Top = 11
    Width = 60
    Height = 13
    Caption = "Name:"
  end
  object NameEdit: TEdit
    Left = 184
    Top = 8
    Width = 200
    Height = 21
    OnChange = NameEditChange
    OnExit = NameEditExit
    OnKeyPress = NameEditKeyPress
  end
  object BeginLabel: TLabel
    Left = 140
    Top = 39
    Width = 60
    Height = 13
    Caption = "Begin:"
  end
  object BeginCursorComboBox: TComboBox
    Left = 184
    Top = 36
    Width = 120
    Height = 21
    Style = csDropDownList
    OnChange = CursorComboBoxChange
  end
  object EndLabel: TLabel
    Left = 140
    Top = 67
    Width = 60
    Height = 13
    Caption = "End:"
  end
  object EndCursorComboBox: TComboBox
    Left = 184
    Top = 64
    Width = 120
    Height = 21
    Style = csDropDownList
    OnChange = CursorComboBoxChange
  end
  object MeasurementGroupBox: TGroupBox
    Left = 140
    Top = 92
    Width = 244
    Height = 73
    Caption = " Measurment "
    object MeasurementVisibleCheckBox: TCheckBox
      Left = 8
      Top = 20
      Width = 90
      Height = 17
      Caption = "Visible"
      OnClick = MeasurementChange
    end
    object MeasurementColorButton: TButton
      Left = 160
      Top = 14
      Width = 75
      Height = 25
      Caption = "&Color..."
      OnClick = MeasurementColorButtonClick
    end
    object MeasurementStyleComboBox: TComboBox
      Left = 8
      Top = 44
      Width = 110
      Height = 21
      Style = csDropDownList
      OnChange = MeasurementChange
    end
    object MeasurementModeComboBox: TComboBox
      Left = 124
      Top = 44
      Width = 112
      Height = 21
      Style = csDropDownList
      OnChange = MeasurementChange
    end
  end
  object LabelGroupBox: TGroupBox
    Left = 140
    Top = 168
    Width = 244
    Height = 73
    Caption = " Label "
    object LabelVisibleCheckBox: TCheckBox
      Left = 8
      Top = 20
      Width = 90
      Height = 17
      Caption = "Visible"
      OnClick = LabelVisibleCheckBoxClick
    end
    object LabelFontButton: TButton
      Left = 160
      Top = 14
      Width = 75
      Height = 25
      Caption = "&Font..."
      OnClick = LabelFontButtonClick
    end
    object LabelEdit: TEdit
      Left = 8
      Top = 44
      Width = 200
      Height = 21
      OnChange = LabelEditChange
      OnExit = LabelEditExit
      OnKeyPress = LabelEditKeyPress
    end
    object LabelMenuButton: TButton
      Left = 212
      Top = 42
      Width = 24
      Height = 25
      Caption = "..."
      OnClick = LabelMenuButtonClick
    end
  end
  object SelectionGroupBox: TGroupBox
    Left = 140
    Top = 244
    Width = 244
    Height = 45
    Caption = " Selection "
    object SelectionVisibleCheckBox: TCheckBox
      Left = 8
      Top = 20
      Width = 90
      Height = 17
      Caption = "Visible"
      OnClick = SelectionVisibleCheckBoxClick
    end
    object SelectionBrushButton: TButton
      Left = 160
      Top = 14
      Width = 75
      Height = 25
      Caption = "&Brush..."
      OnClick = SelectionBrushButtonClick
    end
  end
  object LabelPopupMenu: TPopupMenu
    object LabelPopupMenuItem1: TMenuItem
      Caption = "Value"
      OnClick = MacroValueClick
    end
    object LabelPopupMenuItem2: TMenuItem
      Caption = "%"
      OnClick = MacroPercentClick
    end
  end
end
)txt";

constexpr std::string_view kTrelScopeChannelLinkForm = R"txt(
object TrelScopeChannelLinkForm: TTrelScopeChannelLinkForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  Caption = "Channel Link"
  ClientWidth = 392
  ClientHeight = 124
  object LinkGroupBox: TGroupBox
    Left = 0
    Top = 0
    Width = 392
    Height = 124
    Caption = " Channel Link "
    object LinkPageControl: TPageControl
      Left = 8
      Top = 16
      Width = 376
      Height = 100
      object PointSheet: TTabSheet
        Caption = "Point"
        object UseChannelCheckBox: TCheckBox
          Left = 8
          Top = 8
          Width = 140
          Height = 17
          Caption = "&Use Channel Color"
          OnClick = ValuesChange
        end
        object SizeLabel: TLabel
          Left = 176
          Top = 10
          Width = 60
          Height = 13
          Caption = "Size:"
        end
        object PointsSizeEdit: TEdit
          Left = 212
          Top = 6
          Width = 41
          Height = 21
          OnChange = NumberEditChange
          OnExit = EditExit
          OnKeyPress = NumberEditKeyPress
        end
        object PointsSizeUpDown: TUpDown
          Left = 0
          Top = 0
          Width = 16
          Height = 21
          Min = 1
          Max = 500
          Position = 1
          Associate = PointsSizeEdit
        end
        object ShapeLabel: TLabel
          Left = 8
          Top = 40
          Width = 60
          Height = 13
          Caption = "Shape:"
        end
        object ShapeComboBox: TComboBox
          Left = 52
          Top = 36
          Width = 120
          Height = 21
          Style = csDropDownList
          OnChange = ValuesChange
        end
        object PenButton: TButton
          Left = 180
          Top = 34
          Width = 75
          Height = 25
          Caption = "&Pen..."
          OnClick = PenButtonClick
        end
        object BrushButton: TButton
          Left = 260
          Top = 34
          Width = 75
          Height = 25
          Caption = "&Brush..."
          OnClick = BrushButtonClick
        end
      end
      object LabelSheet: TTabSheet
        Caption = "Label"
        object LabelVisibleCheckBox: TCheckBox
          Left = 8
          Top = 8
          Width = 90
          Height = 17
          Caption = "Visible"
          OnClick = ValuesChange
        end
        object LabelFontButton: TButton
          Left = 260
          Top = 4
          Width = 75
          Height = 25
          Caption = "&Font..."
          OnClick = LabelFontButtonClick
        end
        object LabelEdit: TEdit
          Left = 8
          Top = 36
          Width = 220
          Height = 21
          OnChange = ValuesChange
          OnExit = LabelEditExit
          OnKeyPress = LabelEditKeyPress
        end
        object LabelMenuButton: TButton
          Left = 232
          Top = 34
          Width = 24
          Height = 25
          Caption = "..."
          OnClick = LabelMenuButtonClick
        end
      end
    end
  end
  object LabelPopupMenu: TPopupMenu
    object LabelPopupMenuItem1: TMenuItem
      Caption = "X Axis"
      OnClick = MacroXClick
    end
    object LabelPopupMenuItem2: TMenuItem
      Caption = "Y Axis"
      OnClick = MacroYClick
    end
    object LabelPopupMenuItem3: TMenuItem
      Caption = "Default"
      OnClick = MacroDefaultClick
    end
    object LabelPopupMenuItem4: TMenuItem
      Caption = "%"
      OnClick = MacroPercentClick
    end
  end
end
)txt";

constexpr std::string_view kTrelPenForm = R"txt(
object TrelPenForm: TTrelPenForm
  Left = 0
  Top = 0
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu]
  Position = poScreenCenter
  Caption = "Pen"
  ClientWidth = 219
  ClientHeight = 153
  object StyleLabel: TLabel
    Left = 8
    Top = 11
    Width = 60
    Height = 13
    Caption = "Style:"
  end
  object PenStyleComboBox: TComboBox
    Left = 56
    Top = 8
    Width = 155
    Height = 21
    Style = csDropDownList
    OnChange = StyleChange
  end
  object ModeLabel: TLabel
    Left = 8
    Top = 39
    Width = 60
    Height = 13
    Caption = "Mode:"
  end
  object PenModeComboBox: TComboBox
    Left = 56
    Top = 36
    Width = 155
    Height = 21
    Style = csDropDownList
    OnChange = StyleChange
  end
  object WidthLabel: TLabel
    Left = 8
    Top = 67
    Width = 60
    Height = 13
    Caption = "Width:"
  end
  object WidthEdit: TEdit
    Left = 56
    Top = 64
    Width = 41
    Height = 21
    OnChange = WidthEditChange
    OnKeyPress = WidthEditKeyPress
  end
  object WidthUpDown: TUpDown
    Left = 0
    Top = 0
    Width = 16
    Height = 21
    Min = 1
    Max = 500
    Position = 1
    Associate = WidthEdit
  end
  object ColorButton: TButton
    Left = 56
    Top = 92
    Width = 75
    Height = 25
    Caption = "&Color..."
    OnClick = ColorButtonClick
  end
  object ColorPaintBox: TPaintBox
    Left = 136
    Top = 96
    Width = 17
    Height = 17
    OnPaint = ColorPaintBoxPaint
  end
  object OkButton: TButton
    Left = 56
    Top = 124
    Width = 75
    Height = 25
    Caption = "OK"
    Default = True
    ModalResult = 1
  end
  object CancelButton: TButton
    Left = 136
    Top = 124
    Width = 75
    Height = 25
    Caption = "Cancel"
    Cancel = True
    ModalResult = 2
  end
end
)txt";

constexpr std::string_view kTrelBrushForm = R"txt(
object TrelBrushForm: TTrelBrushForm
  Left = 0
  Top = 0
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu]
  Position = poScreenCenter
  Caption = "Brush"
  ClientWidth = 219
  ClientHeight = 97
  object StyleLabel: TLabel
    Left = 8
    Top = 11
    Width = 60
    Height = 13
    Caption = "Style:"
  end
  object BrushStyleComboBox: TComboBox
    Left = 56
    Top = 8
    Width = 155
    Height = 21
    Style = csDropDownList
    OnChange = StyleChange
  end
  object ColorButton: TButton
    Left = 56
    Top = 36
    Width = 75
    Height = 25
    Caption = "&Color..."
    OnClick = ColorButtonClick
  end
  object ColorPaintBox: TPaintBox
    Left = 136
    Top = 40
    Width = 17
    Height = 17
    OnPaint = ColorPaintBoxPaint
  end
  object OkButton: TButton
    Left = 56
    Top = 68
    Width = 75
    Height = 25
    Caption = "OK"
    Default = True
    ModalResult = 1
  end
  object CancelButton: TButton
    Left = 136
    Top = 68
    Width = 75
    Height = 25
    Caption = "Cancel"
    Cancel = True
    ModalResult = 2
  end
end
)txt";

}  // namespace

void RegisterTrelScopePropertiesDescriptions() {
  RegisterComponentDescription(
      "TFentCommonPropertiesForm",
      CommonDescription("FentCommonPropertiesForm", "TFentCommonPropertiesForm"));
  RegisterComponentDescription(
      "TTrelScopePropertiesForm",
      CommonDescription("TrelScopePropertiesForm", "TTrelScopePropertiesForm"));
  RegisterComponentDescription("TTrelScopeChannelForm", kTrelScopeChannelForm);
  RegisterComponentDescription("TTrelScopeMerkerGroupsForm", kTrelScopeMerkerGroupsForm);
  RegisterComponentDescription("TTrelScopeCursorsForm", kTrelScopeCursorsForm);
  RegisterComponentDescription("TTrelScopeCursorLinksForm", kTrelScopeCursorLinksForm);
  RegisterComponentDescription("TTrelScopeChannelLinkForm", kTrelScopeChannelLinkForm);
  RegisterComponentDescription("TTrelPenForm", kTrelPenForm);
  RegisterComponentDescription("TTrelBrushForm", kTrelBrushForm);
}
