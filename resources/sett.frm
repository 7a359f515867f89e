# The settings dialog: borderless 400 x 300, centred, on top.
object sett: Tsett
  BorderStyle = bsNone
  Caption = "sett"
  ClientWidth = 400
  ClientHeight = 300
  Position = poScreenCenter
  FormStyle = fsStayOnTop
end
