# Host of the page composer; created at start-up and never shown.
object Form4: TForm4
  Caption = "Form4"
  ClientWidth = 200
  ClientHeight = 100
end
