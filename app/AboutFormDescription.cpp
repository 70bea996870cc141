// The about box's stored description: laid out within its 305 x 193 client
// area, the gradient under everything. The title along the top right with
// the program's icon at the left, two lines framing the short description,
// the three values with their pictures, then the acknowledgements scrolling
// beside the OK button.
#include "app/AboutFormDescription.h"

std::string_view AboutFormDescription() {
  static constexpr std::string_view kText = R"txt(
object fmAbout: TfmAbout
  Left = 0
  Top = 0
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = "A propos..."
  ClientHeight = 193
  ClientWidth = 305
  Color = clBtnFace
  Font.Height = -11
  Font.Name = "Arial"
  Position = poScreenCenter
  OnClose = FormClose
  OnCreate = FormCreate
  object LuGradient1: TLuGradient
    Left = 0
    Top = 0
    Width = 305
    Height = 193
    StartColor = clAqua
    EndColor = clBlue
  end
  object lblStatus: TLabel
    Left = 8
    Top = 136
    Width = 289
    Height = 14
    Caption = "Initialisation en cours..."
    Font.Color = clYellow
    Font.Name = "Arial"
    Transparent = True
    AutoSize = False
    Alignment = taCenter
    Visible = False
  end
  object lblThanks: TLabel
    Left = 8
    Top = 136
    Width = 80
    Height = 14
    Caption = "Remerciements"
    Font.Color = clMaroon
    Font.Name = "Arial"
    Transparent = True
  end
  object ProgramIcon: TImage
    Left = 8
    Top = 6
    Width = 32
    Height = 32
    Stretch = True
  end
  object Image1: TImage
    Left = 8
    Top = 79
    Width = 12
    Height = 12
    Picture.Data = "TBitmap 424DE60100000000000036000000280000000C0000000C0000000100180000000000B0010000130B0000130B0000000000000000000080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800000FFFF00FFFF80800080800080800080800080800080800080800080800080800000FFFF00FFFF00FFFF00FFFF80800080800080800080800080800080800080800000FFFF00FFFF00FFFF00FFFF00FFFF00FFFF80800080800080800080800080800000FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF80800080800080800000FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF80800080800000FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF80800080800080800000FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF00FFFF80800080800080800080800080800000FFFF00FFFF00FFFF00FFFF00FFFF00FFFF80800080800080800080800080800080800080800000FFFF00FFFF00FFFF00FFFF80800080800080800080800080800080800080800080800080800000FFFF00FFFF808000808000808000808000808000808000808000808000808000808000808000808000808000808000808000808000808000"
  end
  object Image2: TImage
    Left = 8
    Top = 97
    Width = 12
    Height = 12
    Picture.Data = "TBitmap 424DE60100000000000036000000280000000C0000000C0000000100180000000000B0010000130B0000130B000000000000000000008080008080008080008080008080008080008080008080008080008080008080008080008080008080008080000000FF0000FF0000FF0000FF0000FF0000FF8080008080008080008080008080000000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF8080008080008080000000FF0000FF0000FFFFFFFFFFFFFFFFFFFFFFFFFF0000FF0000FF0000FF8080008080000000FF0000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0000FF0000FF8080008080000000FF0000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0000FF0000FF8080008080000000FF0000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0000FF0000FF8080008080000000FF0000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0000FF0000FF8080008080000000FF0000FF0000FFFFFFFFFFFFFFFFFFFFFFFFFF0000FF0000FF0000FF8080008080008080000000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF8080008080008080008080008080000000FF0000FF0000FF0000FF0000FF0000FF808000808000808000808000808000808000808000808000808000808000808000808000808000808000808000"
  end
  object Image3: TImage
    Left = 8
    Top = 115
    Width = 12
    Height = 12
    Picture.Data = "TBitmap 424DE60100000000000036000000280000000C0000000C0000000100180000000000B0010000130B0000130B0000000000000000000080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800080800000FF0000FF0080800080800080800080800080800080800080800080800080800080800000FF0000FF0000FF0080800080800080800080800080800080800080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0080800080800000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF0000FF00808000808000808000808000808000808000808000808000808000808000808000808000808000"
  end
  object Version: TLabel
    Left = 26
    Top = 78
    Width = 80
    Height = 14
    Caption = "Version :"
    Font.Color = clMaroon
    Font.Name = "Arial"
    Transparent = True
  end
  object Copyright: TLabel
    Left = 26
    Top = 96
    Width = 80
    Height = 14
    Caption = "Copyright :"
    Font.Color = clMaroon
    Font.Name = "Arial"
    Transparent = True
  end
  object Comments: TLabel
    Left = 26
    Top = 114
    Width = 80
    Height = 14
    Caption = "Commentaires :"
    Font.Color = clMaroon
    Font.Name = "Arial"
    Transparent = True
  end
  object Bevel1: TBevel
    Left = 8
    Top = 44
    Width = 289
    Height = 2
    Shape = bsTopLine
  end
  object Bevel2: TBevel
    Left = 8
    Top = 70
    Width = 289
    Height = 2
    Shape = bsTopLine
  end
  object Label2: TLabel
    Left = 8
    Top = 52
    Width = 289
    Height = 14
    Caption = "Comparaison de 2 sources audio en temps réel"
    Font.Color = clBlack
    Font.Name = "Arial"
    Transparent = True
    AutoSize = False
    Alignment = taRightJustify
  end
  object RTFLabel1: TRTFLabel
    Left = 48
    Top = 4
    Width = 249
    Height = 36
    Color = clAqua
    RichText = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Kestrune;}\\pard\\qr\\plain\\f0\\fs36\\b\\cf1 Vel\\cf0 mora\\b0\\par}"
    WordWrap = False
  end
  object lblVersion: TLabel
    Left = 110
    Top = 78
    Width = 187
    Height = 14
    Caption = "lblVersion"
    Font.Color = clYellow
    Font.Name = "Arial"
    Transparent = True
  end
  object lblCopyright: TLabel
    Left = 110
    Top = 96
    Width = 187
    Height = 14
    Caption = "lblCopyright"
    Font.Color = clYellow
    Font.Name = "Arial"
    Transparent = True
  end
  object lblComments: TLabel
    Left = 110
    Top = 114
    Width = 187
    Height = 14
    Caption = "lblComments"
    Font.Color = clYellow
    Font.Name = "Arial"
    Transparent = True
  end
  object btnOK: TButton
    Left = 222
    Top = 160
    Width = 75
    Height = 25
    Caption = "OK"
    Default = True
    ModalResult = 1
  end
  object KiScrollText1: TKiScrollText
    Left = 8
    Top = 152
    Width = 206
    Height = 36
    Alignment = taLeftJustify
    Delay = 100
    BackgroundColor = clBlue
    Font.Color = clAqua
    Font.Height = -11
    Font.Name = "MS Sans Serif"
    WordWrap = False
    Items = "Merci à la communauté du logiciel libre,\naux auteurs des bibliothèques utilisées :\n(Qt 6, ALSA, libjpeg-turbo)"
  end
  object ExeInfo1: TExeInfo
    Version = "1.2.0.0"
  end
end
)txt";
  return kText;
}
