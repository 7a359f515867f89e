// The drag steps of a control and the form's drag tracker.
#include "platform/forms/dragdrop.h"

#include <algorithm>
#include <cstdlib>

#include "platform/forms/application.h"
#include "platform/forms/control.h"
#include "platform/forms/form.h"

namespace forms {

// ---- the control's side ----

void TControl::BeginDrag(bool immediate, int threshold) {
    TForm* form = ParentForm();
    if (!form || form == this || DragKind == dkDock || form->DragTracker().Active()) return;
    form->DragTracker().Begin(*this, form->LastMousePos(), immediate, threshold < 0 ? kDragThreshold : threshold);
}

void TControl::EndDrag(bool drop) {
    TForm* form = ParentForm();
    if (!form || form->DragTracker().Source() != this) return;
    if (drop) form->DragTracker().Drop(form->LastMousePos());
    else form->DragTracker().Cancel();
}

bool TControl::Dragging() const {
    TForm* form = ParentForm();
    return form && form->DragTracker().Source() == this;
}

void TControl::DoStartDrag(TDragObject*& dragObject) { Fire(OnStartDrag, this, dragObject); }

bool TControl::DragOver(TObject* source, int x, int y, TDragState state) {
    if (!OnDragOver) return false;  // a control without the handler takes no drops
    bool accept = true;
    Fire(OnDragOver, this, source, x, y, state, accept);
    return accept;
}

void TControl::DragDrop(TObject* source, int x, int y) { Fire(OnDragDrop, this, source, x, y); }

void TControl::DoEndDrag(TObject* target, int x, int y) { Fire(OnEndDrag, this, target, x, y); }

// ---- the tracker ----

void TDragTracker::Begin(TControl& source, TPoint formPos, bool immediate, int threshold) {
    FSource = &source;
    FDragObject = nullptr;
    FTarget = Hit{};
    FAccepted = false;
    FMoving = false;
    FStart = formPos;
    FLast = formPos;
    FThreshold = threshold;
    TDragObject* object = nullptr;
    SafeCall(&source, [&] { source.DoStartDrag(object); });
    if (FSource != &source || !FForm.HasControl(&source)) return;  // ended or freed meanwhile
    FDragObject = object;
    if (immediate) {
        FMoving = true;
        Move(formPos);
    }
}

TObject* TDragTracker::SourceObject() const {
    return FDragObject ? static_cast<TObject*>(FDragObject) : static_cast<TObject*>(FSource);
}

TCursor TDragTracker::Cursor() const { return FAccepted ? FSource->DragCursor : crNoDrop; }

TDragTracker::Hit TDragTracker::TargetAt(TPoint formPos) const {
    TForm* form = &FForm;
    TPoint local = formPos;
    if (!FForm.ClientRect().Contains(formPos.X, formPos.Y)) {
        // Outside the source's form: the first other visible form under the pointer.
        TPoint screen{FForm.Left() + formPos.X, FForm.Top() + formPos.Y};
        form = nullptr;
        for (TForm* other : Application().Forms()) {
            if (other == &FForm || !other->Visible() || !other->BoundsRect().Contains(screen.X, screen.Y)) continue;
            form = other;
            local = TPoint{screen.X - other->Left(), screen.Y - other->Top()};
            break;
        }
        if (!form) return Hit{};
    }
    TControl* control = form->ControlAtPos(local);
    if (!control) return Hit{};
    return Hit{control, form, control->FormToClient(local)};
}

bool TDragTracker::StillThere(const Hit& hit) const {
    if (!hit.control) return false;
    const auto& forms = Application().Forms();
    return std::find(forms.begin(), forms.end(), hit.form) != forms.end() && hit.form->HasControl(hit.control);
}

bool TDragTracker::AskTarget(const Hit& hit, TDragState state, TObject* source) {
    bool accepted = false;
    SafeCall(hit.control, [&] { accepted = hit.control->DragOver(source, hit.pos.X, hit.pos.Y, state); });
    return accepted;
}

void TDragTracker::Move(TPoint formPos) {
    if (!FSource) return;
    if (!FMoving) {
        if (std::abs(formPos.X - FStart.X) < FThreshold && std::abs(formPos.Y - FStart.Y) < FThreshold) return;
        FMoving = true;
    }
    FLast = formPos;
    TControl* source = FSource;
    Hit hit = TargetAt(formPos);
    if (hit.control != FTarget.control && StillThere(FTarget)) AskTarget(FTarget, dsDragLeave, SourceObject());
    if (FSource != source) return;  // a handler ended the drag
    bool entering = hit.control != FTarget.control;
    FTarget = hit;
    FAccepted = hit.control && AskTarget(hit, entering ? dsDragEnter : dsDragMove, SourceObject());
    if (FSource != source) return;
    FForm.RefreshCursor();
}

void TDragTracker::Drop(TPoint formPos) {
    if (!FSource) return;
    if (FMoving && !(formPos == FLast)) Move(formPos);
    Finish(FMoving && FAccepted && StillThere(FTarget), formPos);
}

void TDragTracker::Cancel() { Finish(false, TPoint{}); }

void TDragTracker::Finish(bool dropped, TPoint) {
    if (!FSource) return;
    TControl* source = FSource;
    TObject* sourceObject = SourceObject();
    Hit target = FTarget;
    FSource = nullptr;
    FDragObject = nullptr;
    FTarget = Hit{};
    FAccepted = false;
    FMoving = false;
    FForm.RefreshCursor();
    if (StillThere(target)) AskTarget(target, dsDragLeave, sourceObject);
    if (dropped && StillThere(target)) {
        SafeCall(target.control, [&] { target.control->DragDrop(sourceObject, target.pos.X, target.pos.Y); });
    }
    if (!FForm.HasControl(source)) return;
    bool reached = dropped && StillThere(target);
    SafeCall(source, [&] {
        source->DoEndDrag(reached ? target.control : nullptr, reached ? target.pos.X : 0, reached ? target.pos.Y : 0);
    });
}

void TDragTracker::Forget(TControl& removed) {
    auto inside = [&](const TControl* c) {
        for (; c; c = c->Parent())
            if (c == &removed) return true;
        return false;
    };
    if (inside(FTarget.control)) {
        FTarget = Hit{};
        FAccepted = false;
    }
    if (inside(FSource)) {
        FSource = nullptr;
        FDragObject = nullptr;
        FMoving = false;
    }
}

}  // namespace forms
