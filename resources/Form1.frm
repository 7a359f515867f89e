# The viewer's main window. The skin (config.ncf and face.dat) gives every picture, places the
# pieces and sets the minimum size; this is the design they start from. The minimum size enlarges
# the 892 x 673 client area to 900 x 700 as the window is made, so the pieces anchored right or at
# the bottom are placed against that size.
object Form1: TForm1
  BorderStyle = bsNone
  Caption = "Ордалион"
  ClientWidth = 892
  ClientHeight = 673
  Color = clWindow
  Constraints.MinWidth = 900
  Constraints.MinHeight = 700
  Position = poScreenCenter
  OnCreate = FormCreate
  OnShow = FormShow
  OnClose = FormClose
  OnDestroy = FormDestroy
  OnResize = FormResize
  OnMouseMove = FormMouseMove
  object header: TImage
    Left = 0
    Top = 0
    Width = 900
    Height = 30
    Stretch = True
    Anchors = [akLeft, akTop, akRight]
    OnMouseDown = headerMouseDown
    OnDblClick = ico_maxClick
  end
  object bg_top: TImage
    Left = 0
    Top = 30
    Width = 900
    Height = 10
    Stretch = True
    Anchors = [akLeft, akTop, akRight]
  end
  object bg_tl: TImage
    Left = 0
    Top = 30
    Width = 10
    Height = 10
    AutoSize = True
    OnMouseDown = headerMouseDown
    OnDblClick = ico_maxClick
  end
  object bg_tr: TImage
    Left = 890
    Top = 30
    Width = 10
    Height = 10
    AutoSize = True
    Anchors = [akTop, akRight]
    OnMouseDown = headerMouseDown
    OnDblClick = ico_maxClick
  end
  object bg_lt: TImage
    Left = 0
    Top = 40
    Width = 10
    Height = 10
    AutoSize = True
  end
  object bg_l: TImage
    Left = 0
    Top = 50
    Width = 10
    Height = 610
    Anchors = [akLeft, akTop, akBottom]
  end
  object bg_lb: TImage
    Left = 0
    Top = 660
    Width = 10
    Height = 10
    AutoSize = True
    Anchors = [akLeft, akBottom]
  end
  object bg_rt: TImage
    Left = 890
    Top = 40
    Width = 10
    Height = 10
    AutoSize = True
    Anchors = [akTop, akRight]
  end
  object bg_r: TImage
    Left = 890
    Top = 50
    Width = 10
    Height = 610
    Anchors = [akTop, akRight, akBottom]
  end
  object bg_rb: TImage
    Left = 890
    Top = 660
    Width = 10
    Height = 10
    AutoSize = True
    Anchors = [akRight, akBottom]
  end
  object bg_bot: TImage
    Left = 0
    Top = 670
    Width = 900
    Height = 30
    Stretch = True
    Anchors = [akLeft, akRight, akBottom]
  end
  object bg_bl: TImage
    Left = 0
    Top = 670
    Width = 10
    Height = 30
    AutoSize = True
    Anchors = [akLeft, akBottom]
  end
  object bg_br: TImage
    Left = 890
    Top = 670
    Width = 10
    Height = 30
    AutoSize = True
    Anchors = [akRight, akBottom]
  end
  object ico_logo: TImage
    Left = 0
    Top = 0
    Width = 30
    Height = 30
    AutoSize = True
    OnMouseDown = headerMouseDown
  end
  object ico_name: TImage
    Left = 30
    Top = 0
    Width = 100
    Height = 30
    AutoSize = True
    OnMouseDown = headerMouseDown
  end
  object ico_min: TImage
    Left = 837
    Top = 0
    Width = 21
    Height = 21
    AutoSize = True
    Anchors = [akTop, akRight]
    Hint = "Свернуть"
    ShowHint = True
    OnClick = ico_minClick
  end
  object ico_max: TImage
    Left = 858
    Top = 0
    Width = 21
    Height = 21
    AutoSize = True
    Anchors = [akTop, akRight]
    Hint = "Развернуть"
    ShowHint = True
    OnClick = ico_maxClick
  end
  object ico_clo: TImage
    Left = 879
    Top = 0
    Width = 21
    Height = 21
    AutoSize = True
    Anchors = [akTop, akRight]
    Hint = "Закрыть"
    ShowHint = True
    OnClick = ico_cloClick
  end
  object _resizer: TImage
    Left = 885
    Top = 685
    Width = 15
    Height = 15
    AutoSize = True
    Anchors = [akRight, akBottom]
    Cursor = crSizeNWSE
    OnMouseDown = _resizerMouseDown
    OnMouseMove = _resizerMouseMove
    OnMouseUp = _resizerMouseUp
  end
  object testbutton: TImage
    Left = 0
    Top = 0
    Width = 0
    Height = 0
    Visible = False
    OnClick = testbuttonClick
    OnMouseDown = testbuttonMouseDown
    OnMouseMove = testbuttonMouseMove
    OnMouseUp = testbuttonMouseUp
  end
  object searcher_img: TImage
    Left = 300
    Top = 3
    Width = 160
    Height = 24
    Anchors = []
  end
  object Sound_fon: TImage
    Left = 600
    Top = 8
    Width = 120
    Height = 10
    AutoSize = True
    Anchors = []
    Visible = False
    Hint = "Громкость фоновой музыки"
    ShowHint = True
  end
  object sound_but: TImage
    Left = 709
    Top = 5
    Width = 10
    Height = 16
    AutoSize = True
    Anchors = []
    Visible = False
    Hint = "Громкость фоновой музыки"
    ShowHint = True
    OnMouseDown = sound_butMouseDown
    OnMouseMove = sound_butMouseMove
    OnMouseUp = sound_butMouseUp
  end
  object Sound_play: TImage
    Left = 730
    Top = 5
    Width = 20
    Height = 20
    AutoSize = True
    Anchors = []
    Visible = False
    Hint = "Проигрывать фоновую музыку"
    ShowHint = True
    OnClick = Sound_playClick
  end
  object Sound_pause: TImage
    Left = 730
    Top = 5
    Width = 20
    Height = 20
    AutoSize = True
    Anchors = []
    Visible = False
    Hint = "Приостановить фоновую музыку"
    ShowHint = True
    OnClick = Sound_pauseClick
  end
  object videocenter: TPanel
    Left = 130
    Top = 40
    Width = 640
    Height = 480
    Constraints.MinWidth = 640
    Constraints.MinHeight = 480
    BevelOuter = bvNone
    Caption = ""
    Anchors = [akTop]
    Visible = False
  end
  object datacenter: TWebBrowser
    Left = 10
    Top = 40
    Width = 880
    Height = 630
    Anchors = [akLeft, akTop, akRight, akBottom]
    OnBeforeNavigate2 = datacenterBeforeNavigate2
    OnDocumentComplete = datacenterDocumentComplete
    OnDownloadComplete = datacenterDownloadComplete
  end
  object mailcenter: TWebBrowser
    Left = 2000
    Top = 2000
    Width = 241
    Height = 57
  end
  object searcher: TEdit
    Left = 305
    Top = 5
    Width = 150
    Height = 20
    BorderStyle = bsNone
    MaxLength = 100
    OnKeyPress = searcherKeyPress
  end
  object music_but: TMediaPlayer
    Visible = False
    AutoRewind = False
    Display = videocenter
    OnNotify = music_butNotify
  end
  object volume_upper: TTimer
    Enabled = False
    Interval = 100
    OnTimer = volume_upperTimer
  end
  object volume_downer: TTimer
    Enabled = False
    Interval = 100
    OnTimer = volume_downerTimer
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 500
    OnTimer = Timer1Timer
  end
  object Timer2: TTimer
    Interval = 100
    OnTimer = Timer2Timer
  end
  object ActionList1: TActionList
    object cleft: TAction
      Caption = "cleft"
      SecondaryShortCuts = ["ctrl+left"]
      OnExecute = cleftExecute
    end
    object Cright: TAction
      Caption = "Cright"
      SecondaryShortCuts = ["ctrl+right"]
      OnExecute = CrightExecute
    end
    object AUpdate: TAction
      Caption = "AUpdate"
      ShortCut = 113
      OnExecute = AUpdateExecute
    end
    object ASettings: TAction
      Caption = "ASettings"
      ShortCut = 123
      OnExecute = ASettingsExecute
    end
    object Aindex: TAction
      Caption = "Aindex"
      ShortCut = 16422
      OnExecute = AindexExecute
    end
    object ReloadDoc: TAction
      Caption = "ReloadDoc"
      ShortCut = 116
      OnExecute = ReloadDocExecute
    end
    object ACreators: TAction
      Caption = "ACreators"
      ShortCut = 121
      OnExecute = ACreatorsExecute
    end
    object AFavs: TAction
      Caption = "AFavs"
      ShortCut = 122
      OnExecute = AFavsExecute
    end
    object Vol_UP: TAction
      Caption = "Vol_UP"
      OnExecute = Vol_UPExecute
    end
    object Vol_down: TAction
      Caption = "Vol_down"
      OnExecute = Vol_downExecute
    end
  end
  object XPManifest1: TXPManifest
  end
end
