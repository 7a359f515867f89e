// Dragging between the application's own controls: the drag kinds and states, the events, and the
// tracker a form runs while the mouse carries a drag. Docking is not part of this library: a
// control keeps DragKind dkDock and its dock events, but no dock operation ever starts.
#pragma once

#include <functional>

#include "platform/forms/types.h"

namespace forms {

class TControl;
class TForm;

enum TDragMode { dmManual, dmAutomatic };
enum TDragKind { dkDrag, dkDock };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };

// What a drag carries when OnStartDrag supplies one; the handler keeps its ownership.
class TDragObject : public TObject {};
class TDragDockObject : public TDragObject {};

using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDockEvent = std::function<void(TObject* Sender, TDragDockObject*& DragObject)>;

// How far the mouse moves before a drag begun without `immediate` takes effect.
constexpr int kDragThreshold = 5;

// One drag at a time per form, from the press that begins it to the release or Escape that ends it.
// Targets are found by hit testing, on the source's form and on the application's other visible
// forms under the pointer.
class TDragTracker {
public:
    explicit TDragTracker(TForm& form) : FForm(form) {}

    void Begin(TControl& source, TPoint formPos, bool immediate, int threshold);
    bool Active() const { return FSource != nullptr; }  // begun and not ended
    bool Dragging() const { return FSource && FMoving; }
    TControl* Source() const { return FSource; }
    TCursor Cursor() const;

    // Mouse input while the drag runs, in the source form's client coordinates.
    void Move(TPoint formPos);
    void Drop(TPoint formPos);
    void Cancel();
    // A control left its form: a drag from or over it ends without it.
    void Forget(TControl& removed);

private:
    struct Hit {
        TControl* control = nullptr;
        TForm* form = nullptr;
        TPoint pos;  // in the control's client coordinates
    };
    Hit TargetAt(TPoint formPos) const;
    bool StillThere(const Hit& hit) const;
    bool AskTarget(const Hit& hit, TDragState state, TObject* source);
    void Finish(bool dropped, TPoint formPos);
    TObject* SourceObject() const;

    TForm& FForm;
    TControl* FSource = nullptr;
    TDragObject* FDragObject = nullptr;
    Hit FTarget;
    bool FAccepted = false;
    bool FMoving = false;  // past the threshold
    TPoint FStart;
    TPoint FLast;  // where the last move was taken
    int FThreshold = kDragThreshold;
};

}  // namespace forms
