// Makes the skinned controls creatable from form descriptions. A program calls
// RegisterSkinnedControls() once before it creates forms that hold them.
//
//   TOrvGauge      BackColor, BorderColor, BorderStyle (bsNone, bsSingle), ForeColor, Frame3D,
//                  HorTextAlignment (taLeftJustify, taRightJustify, taCenter), Kind (lgkHorizontalBar,
//                  lgkVerticalBar, lgkPie3D, lgkPie), MinValue, MaxValue, Progress, ShowText, Text,
//                  TextureOnBack, TextureOnFore (BMP file names in the resources folder),
//                  TransparentFore, TransparentBack, ForeAsBlocks, ForeBlockSize, TextInCenterFore,
//                  Pie3DHeight, Pie3DColor, Edge, RunningStrip, RuningStep, VerTextAlignment (taTop,
//                  taCentered, taBottom), Font.* (the gauge's own font, also Font.ColorOnFilled,
//                  Font.ColorOnBackground, Font.FixTextColor), Align (alNone), ParentColor,
//                  ParentFont, ParentShowHint, and every control property.
//   TbztCheckBoxT  Alignment, AllowGrayed, Caption, Checked, State (cbUnchecked, cbChecked, cbGrayed),
//                  WordWrap, TabOrder, TabStop, BiDiMode, Ctl3D, ParentBiDiMode, ParentColor,
//                  ParentCtl3D, ParentFont, ParentShowHint, every control property (Action,
//                  PopupMenu, DragMode ...); events of windowed controls (OnClick, OnEnter,
//                  OnKeyDown, OnContextPopup, OnStartDrag ...).
#pragma once

namespace controls {

void RegisterOrvGaugeClass();
void RegisterCheckBoxTClass();
void RegisterSkinnedControls();

}  // namespace controls
