# The splash window, host of the skin loader. The skin's "startup_" pictures fill Image1.
object Form2: TForm2
  BorderStyle = bsNone
  Caption = "Зарвелин"
  ClientWidth = 400
  ClientHeight = 300
  Position = poScreenCenter
  object Image1: TImage
    Left = 0
    Top = 0
    Width = 400
    Height = 300
  end
end
