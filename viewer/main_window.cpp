// The main window's chrome: dragging, minimise, maximise and restore, close, the resize grip, and
// the search box's place below the header.
#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "viewer/main.h"

namespace viewer {

void TForm1::headerMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    // The system move command: the window follows the pointer until release.
    BeginMoveDrag();
}

void TForm1::ico_minClick(TObject*) { forms::Application().Minimize(); }

void TForm1::ico_cloClick(TObject*) { Close(); }

void TForm1::ico_maxClick(TObject*) {
    forms::TRect workArea = forms::Screen().WorkAreaRect();
    if (NotMaximized == 1) {
        NormalBounds = {uint16_t(Left()), uint16_t(Top()), uint16_t(Width()), uint16_t(Height())};
        SetHeight(workArea.Bottom);
        SetWidth(workArea.Right);
        SetLeft(workArea.Left);
        SetTop(workArea.Top);
        NotMaximized = 0;
    } else {
        SetHeight(NormalBounds.Height);
        SetWidth(NormalBounds.Width);
        SetLeft(NormalBounds.Left);
        SetTop(NormalBounds.Top);
        NotMaximized = 1;
    }
}

void TForm1::_resizerMouseDown(TObject*, TMouseButton, TShiftState, int, int) { Resizing = -1; }

void TForm1::_resizerMouseUp(TObject*, TMouseButton, TShiftState, int, int) { Resizing = 0; }

void TForm1::_resizerMouseMove(TObject*, TShiftState, int X, int Y) {
    if (Resizing != 0) SetBounds(Left(), Top(), Width() + X, Height() + Y);
}

void TForm1::FormResize(TObject*) {
    if (!searcher || !searcher_img || !header) return;  // while the description is still loading
    searcher->SetTop(SearchTop + header->Height());
    searcher_img->SetTop(SearchImgTop + header->Height());
}

void TForm1::FormMouseMove(TObject*, TShiftState, int, int) { SetCursor(1); }

void TForm1::Timer1Timer(TObject*) {}

void TForm1::Timer2Timer(TObject*) {}

}  // namespace viewer
