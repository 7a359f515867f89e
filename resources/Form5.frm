# The update dialog: borderless 400 x 300, centred, on top.
object Form5: TForm5
  BorderStyle = bsNone
  Caption = "Form5"
  ClientWidth = 400
  ClientHeight = 300
  Position = poScreenCenter
  FormStyle = fsStayOnTop
end
