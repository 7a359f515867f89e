# The demo window: one of each piece the program's windows are made of. Tests show it headless
# and through the GTK backend and check its pixels, so keep positions and pictures in step with
# tests/gui/demo_form.h.
object DemoForm: TDemoForm
  Caption = "Демонстрация"
  BorderStyle = bsNone
  Position = poScreenCenter
  ClientWidth = 480
  ClientHeight = 360
  Color = $00E0E0E0
  OnCreate = FormCreate
  object banner: TImage
    Left = 100
    Top = 12
    Width = 200
    Height = 24
    Picture = "demo/banner.bmp"
  end
  object button: TImage
    Left = 20
    Top = 44
    Width = 64
    Height = 32
    Cursor = crHandPoint
    Hint = "Нажмите кнопку"
    ShowHint = True
    Picture = "demo/button_up.bmp"
    OnMouseEnter = buttonMouseEnter
    OnMouseLeave = buttonMouseLeave
    OnMouseDown = buttonMouseDown
    OnMouseUp = buttonMouseUp
    OnClick = buttonClick
  end
  object corner: TImage
    Left = 420
    Top = 300
    Width = 48
    Height = 48
    Anchors = [akRight, akBottom]
    Picture = "demo/corner.bmp"
  end
  object search: TEdit
    Left = 100
    Top = 50
    Width = 200
    Height = 20
    MaxLength = 100
    BorderStyle = bsNone
    Color = clWhite
    Font.Color = clNavy
    Text = "поиск"
    OnKeyPress = searchKeyPress
  end
  object browser: TWebBrowser
    Left = 20
    Top = 90
    Width = 380
    Height = 200
    Anchors = [akLeft, akTop, akRight, akBottom]
    OnBeforeNavigate2 = browserBeforeNavigate2
    OnDocumentComplete = browserDocumentComplete
  end
  object clock: TTimer
    Interval = 50
    OnTimer = clockTimer
  end
  object actions: TActionList
    object findAction: TAction
      Caption = "Найти"
      ShortCut = "Ctrl+F"
      OnExecute = findActionExecute
    end
  end
end
