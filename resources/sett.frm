# The settings dialog: borderless 400 x 300, centred, on top. Only the background, the title strip,
# the close box and the top of the Cancel hover zone lie inside the client area.
object sett: Tsett
  BorderStyle = bsNone
  Caption = "sett"
  ClientWidth = 400
  ClientHeight = 300
  Position = poScreenCenter
  FormStyle = fsStayOnTop
  OnShow = FormShow
  object bg: TImage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    OnMouseMove = bgMouseMove
  end
  object Image2: TImage
    Left = 4
    Top = 0
    Width = 392
    Height = 19
    OnMouseDown = Image2MouseDown
  end
  object Image6: TImage
    Left = 380
    Top = 0
    Width = 18
    Height = 19
    OnClick = Image6Click
  end
  object Image1: TImage
    Left = 268
    Top = 315
    Width = 59
    Height = 36
    OnMouseMove = Image1MouseMove
  end
  object Image3: TImage
    Left = 268
    Top = 310
    Width = 61
    Height = 36
    Visible = False
    Picture = "sett/ok.bmp"
    OnClick = Image1Click
  end
  object Image4: TImage
    Left = 332
    Top = 270
    Width = 59
    Height = 36
    OnMouseMove = Image4MouseMove
  end
  object Image5: TImage
    Left = 332
    Top = 310
    Width = 61
    Height = 36
    Visible = False
    Picture = "sett/cancel.bmp"
    OnClick = Image5Click
  end
  object Image7: TImage
    Left = -178
    Top = 164
    Width = 171
    Height = 25
    OnClick = Image7Click
  end
  object Image8: TImage
    Left = -179
    Top = 212
    Width = 171
    Height = 25
    OnClick = Image8Click
  end
  object fontsize: TComboBox
    Left = -192
    Top = 116
    Width = 186
    Height = 19
    Style = csOwnerDrawFixed
    ItemHeight = 13
    TabOrder = 0
    Items = ["средний размер", "крупный размер"]
    ItemIndex = 0
  end
  object textstyle: TComboBox
    Left = 405
    Top = 117
    Width = 186
    Height = 19
    Style = csOwnerDrawFixed
    ItemHeight = 13
    TabOrder = 1
  end
  object Back_sound: TCheckBox
    Left = -193
    Top = 213
    Width = 13
    Height = 13
    Caption = "Фоновый звук"
    TabOrder = 2
    OnClick = Back_soundClick
  end
  object KorStyle: TComboBox
    Left = 408
    Top = 165
    Width = 186
    Height = 19
    Style = csOwnerDrawFixed
    ItemHeight = 13
    TabOrder = 3
  end
  object SavePage: TCheckBox
    Left = -193
    Top = 164
    Width = 14
    Height = 13
    Caption = "Сохранять страницу при выходе"
    TabOrder = 4
  end
  object Sound_Box: TComboBox
    Left = 408
    Top = 215
    Width = 186
    Height = 19
    Style = csOwnerDrawFixed
    ItemHeight = 13
    TabOrder = 5
  end
  object MediaPlayer123: TMediaPlayer
    Left = 16
    Top = 256
    Width = 253
    Height = 30
    Visible = False
  end
end
