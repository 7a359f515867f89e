# The update dialog: borderless 400 x 300, centred, on top. Five pages of 400 x 300 stacked at its
# origin (proxy, progress, list, result, introduction from bottom to top); only the introduction is
# visible at first. The pages are panels without a native window (TUpdatePage), so their pictures
# show. Every button is a hot zone without picture and, above it, the hidden picture
# that shows under the mouse and takes the click. Pictures: update/ (drawn by updater/art).
object Form5: TForm5
  BorderStyle = bsNone
  Caption = "Form5"
  ClientWidth = 400
  ClientHeight = 300
  Position = poScreenCenter
  FormStyle = fsStayOnTop
  OnShow = FormShow
  OnClose = FormClose
  object Image6: TImage
    Left = 380
    Top = 0
    Width = 18
    Height = 19
  end
  object Panel1: TUpdatePage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    BevelOuter = bvNone
    Visible = False
    object Image1: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/proxy.bmp"
      OnMouseMove = Image1MouseMove
    end
    object proxy_address: TEdit
      Left = 220
      Top = 130
      Width = 88
      Height = 15
      BorderStyle = bsNone
      Enabled = False
    end
    object proxy_port: TEdit
      Left = 352
      Top = 130
      Width = 33
      Height = 15
      BorderStyle = bsNone
      MaxLength = 5
      Enabled = False
    end
    object proxy_user: TEdit
      Left = 220
      Top = 162
      Width = 166
      Height = 17
      BorderStyle = bsNone
      Enabled = False
    end
    object proxy_pass: TEdit
      Left = 220
      Top = 185
      Width = 165
      Height = 17
      BorderStyle = bsNone
      PasswordChar = "*"
      Enabled = False
    end
    object CheckBox1: TbztCheckBoxT
      Left = 15
      Top = 219
      Width = 17
      Height = 17
      OnClick = CheckBox1Click
    end
    object checkbox2: TbztCheckBoxT
      Left = 218
      Top = 219
      Width = 17
      Height = 17
      Enabled = False
      OnClick = CheckBox2Click
    end
    object Image13: TImage
      Left = 29
      Top = 221
      Width = 157
      Height = 13
      OnClick = Image13Click
    end
    object Image14: TImage
      Left = 232
      Top = 221
      Width = 90
      Height = 13
      OnClick = Image14Click
    end
    object upper_next1: TImage
      Left = 267
      Top = 253
      Width = 61
      Height = 36
      OnMouseMove = upper_next1MouseMove
    end
    object Next_but1: TImage
      Left = 267
      Top = 253
      Width = 61
      Height = 36
      Picture = "update/next.bmp"
      Visible = False
      OnClick = SpeedButton1Click
    end
    object upper_canel1: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 36
      OnMouseMove = upper_canel1MouseMove
    end
    object Cancel_but1: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 36
      Picture = "update/cancel.bmp"
      Visible = False
      OnClick = SpeedButton2Click
    end
  end
  object Panel2: TUpdatePage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    BevelOuter = bvNone
    Visible = False
    object Image4: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/connect.bmp"
      OnMouseMove = Image4MouseMove
    end
    object Image9: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/download.bmp"
      Visible = False
    end
    object ProgressBar1: TOrvGauge
      Left = 17
      Top = 132
      Width = 372
      Height = 9
      BorderStyle = bsNone
      BorderColor = clWhite
      ForeColor = clNavy
      TextureOnFore = "update/texture.bmp"
      TransparentFore = True
      TransparentBack = True
      ForeAsBlocks = True
      ForeBlockSize = 8
      Pie3DHeight = 0
      RuningStep = 0
      Text = "%d%%"
    end
    object upper_cancel4: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 35
      OnMouseMove = upper_cancel4MouseMove
    end
    object cancel_but2: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 35
      Picture = "update/cancel.bmp"
      Visible = False
      OnClick = SpeedButton2Click
    end
  end
  object Panel3: TUpdatePage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    BevelOuter = bvNone
    Visible = False
    object Image5: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/list.bmp"
      OnMouseMove = Image5MouseMove
    end
    object Image10: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 19
      OnMouseDown = Image10MouseDown
    end
    object StringGrid1: TStringGrid
      Left = 17
      Top = 121
      Width = 373
      Height = 122
      ColCount = 2
      ColWidths = ["284", "72"]
      RowCount = 10
      DefaultRowHeight = 15
      FixedCols = 0
      FixedRows = 0
      Font.Color = clNavy
      Enabled = False
      OnMouseMove = StringGrid1MouseMove
    end
    object upper_load3: TImage
      Left = 268
      Top = 253
      Width = 59
      Height = 36
      OnMouseMove = upper_load3MouseMove
    end
    object load_but3: TImage
      Left = 268
      Top = 253
      Width = 59
      Height = 36
      Picture = "update/install.bmp"
      Visible = False
      OnClick = load_but3Click
    end
    object upper_cancel3: TImage
      Left = 332
      Top = 254
      Width = 59
      Height = 35
      OnMouseMove = upper_cancel3MouseMove
    end
    object Cancel_but3: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 36
      Picture = "update/cancel.bmp"
      Visible = False
      OnClick = SpeedButton2Click
    end
  end
  object Panel4: TUpdatePage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    BevelOuter = bvNone
    Visible = False
    object im_last: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/done.bmp"
      Visible = False
      OnMouseMove = im_lastMouseMove
    end
    object im_empty: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/empty.bmp"
      Visible = False
      OnMouseMove = im_emptyMouseMove
    end
    object im_err: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/error.bmp"
      OnMouseMove = im_errMouseMove
    end
    object Image11: TImage
      Left = 190
      Top = 192
      Width = 83
      Height = 12
      OnClick = Image11Click
    end
    object Image15: TImage
      Left = 244
      Top = 149
      Width = 57
      Height = 11
      Visible = False
      OnClick = Image15Click
    end
    object upper_close4: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 35
      OnMouseMove = upper_close4MouseMove
    end
    object Close_but4: TImage
      Left = 332
      Top = 253
      Width = 59
      Height = 36
      Picture = "update/close.bmp"
      Visible = False
      OnClick = SpeedButton2Click
    end
  end
  object Panel5: TUpdatePage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    BevelOuter = bvNone
    object Image16: TImage
      Left = 0
      Top = 0
      Width = 400
      Height = 300
      Picture = "update/intro.bmp"
      OnMouseMove = Image16MouseMove
    end
    # As the dialog is laid out, Next and Cancel of this page lie below its 300-pixel client area.
    object upper_next5: TImage
      Left = 267
      Top = 312
      Width = 61
      Height = 35
      OnMouseMove = upper_next5MouseMove
    end
    object Next_but5: TImage
      Left = 267
      Top = 314
      Width = 61
      Height = 36
      Picture = "update/next.bmp"
      Visible = False
      OnClick = Next_but5Click
    end
    object upper_cancel5: TImage
      Left = 332
      Top = 313
      Width = 59
      Height = 35
      OnMouseMove = upper_cancel5MouseMove
    end
    object cancel_but5: TImage
      Left = 332
      Top = 312
      Width = 59
      Height = 36
      Picture = "update/cancel.bmp"
      Visible = False
      OnClick = SpeedButton2Click
    end
    object Image2: TImage
      Left = 380
      Top = 0
      Width = 18
      Height = 19
      OnClick = Image2Click
    end
  end
  object Timer1: TTimer
    Interval = 2000
    Enabled = False
  end
end
