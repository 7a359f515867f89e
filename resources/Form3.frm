# Host of the full-text search; created at start-up and never shown.
object Form3: TForm3
  Caption = "Form3"
  ClientWidth = 200
  ClientHeight = 100
end
