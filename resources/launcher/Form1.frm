# The autorun menu: the background draws the whole menu; the row pictures over it show the entries
# that are offered in their readable look. Cursor 1 is the arrow, 2 the link hand (cursor.cur and
# cursorlink.cur of the launcher's folder). Pictures are drawn by launcher/art at build time.
object Form1: TForm1
  Caption = "Form1"
  BorderStyle = bsNone
  Position = poScreenCenter
  ClientWidth = 399
  ClientHeight = 299
  OnCreate = FormCreate
  OnShow = FormShow
  object Image1: TImage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    Picture = "launcher/background.bmp"
    Cursor = 1
  end
  object Image2: TImage
    Left = 0
    Top = 0
    Width = 400
    Height = 51
    Cursor = 1
  end
  object Image3: TImage
    Left = 378
    Top = 0
    Width = 25
    Height = 24
    Cursor = 2
    OnClick = Image3Click
  end
  object b51: TImage
    Left = 0
    Top = 70
    Width = 355
    Height = 48
    Picture = "launcher/run.bmp"
    Cursor = 2
    OnMouseUp = b54MouseUp
  end
  object b54: TImage
    Left = 32
    Top = 114
    Width = 186
    Height = 0
    Cursor = 1
  end
  object b11: TImage
    Left = 0
    Top = 120
    Width = 355
    Height = 49
    Picture = "launcher/install.bmp"
    Cursor = 2
    OnMouseDown = b11MouseDown
    OnMouseUp = b11MouseUp
  end
  object b14: TImage
    Left = 32
    Top = 87
    Width = 186
    Height = 0
    Cursor = 1
  end
  object b21: TImage
    Left = 0
    Top = 170
    Width = 225
    Height = 48
    Picture = "launcher/remove.bmp"
    Cursor = 2
    OnMouseUp = b21MouseUp
  end
  object b24: TImage
    Left = 32
    Top = 141
    Width = 186
    Height = 0
    Cursor = 1
  end
  object b31: TImage
    Left = 227
    Top = 170
    Width = 128
    Height = 48
    Picture = "launcher/ie6.bmp"
    Cursor = 2
    OnMouseUp = b31MouseUp
  end
  object b39: TImage
    Left = 227
    Top = 170
    Width = 128
    Height = 48
    Picture = "launcher/ie6_faded.bmp"
    Cursor = 1
  end
  object Image5: TImage
    Left = 26
    Top = 295
    Width = 80
    Height = 29
    Cursor = 2
    OnClick = Image5Click
  end
  # Outside what a user can reach: hidden, below the window or right of it.
  object b41: TImage
    Left = 394
    Top = 288
    Width = 186
    Height = 25
    Picture = "launcher/readme.bmp"
    Transparent = True
    Visible = False
    OnMouseUp = b41MouseUp
  end
  object Image6: TImage
    Left = 376
    Top = 254
    Width = 186
    Height = 25
    Picture = "launcher/divx.bmp"
    Transparent = True
    Visible = False
    OnMouseUp = Image6MouseUp
  end
  object Image4: TImage
    Left = 113
    Top = 302
    Width = 72
    Height = 25
    OnClick = Image4Click
  end
  object b12: TImage
    Left = 419
    Top = 120
    Width = 186
    Height = 25
    Picture = "launcher/alt_install.bmp"
    Transparent = True
  end
  object b13: TImage
    Left = 507
    Top = 120
    Width = 186
    Height = 25
    Picture = "launcher/alt_install_down.bmp"
    Transparent = True
  end
  object b22: TImage
    Left = 419
    Top = 170
    Width = 186
    Height = 25
    Picture = "launcher/alt_remove.bmp"
    Transparent = True
  end
  object b23: TImage
    Left = 507
    Top = 170
    Width = 186
    Height = 25
    Picture = "launcher/alt_remove_down.bmp"
    Transparent = True
  end
  object b32: TImage
    Left = 419
    Top = 70
    Width = 186
    Height = 25
    Picture = "launcher/alt_browser.bmp"
    Transparent = True
  end
  object b33: TImage
    Left = 463
    Top = 70
    Width = 186
    Height = 25
    Picture = "launcher/alt_browser_down.bmp"
    Transparent = True
  end
  object b34: TImage
    Left = 507
    Top = 70
    Width = 186
    Height = 25
    Picture = "launcher/alt_browser_off.bmp"
    Transparent = True
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 100
    OnTimer = Timer1Timer
  end
end
