// TUpdatePage: one page of the update dialog. A panel that holds the page's pictures and fields but
// has no native window of its own: the pictures paint into the form's raster, and a native panel
// would cover them with its colour. The page's native fields (edits, check boxes) still get theirs.
#pragma once

#include "platform/forms/panel.h"

namespace viewer {

class TUpdatePage : public forms::TPanel {
public:
    explicit TUpdatePage(forms::TComponent* owner) : forms::TPanel(owner) {}
    const char* ClassName() const override { return "TUpdatePage"; }

protected:
    std::unique_ptr<forms::IControlPeer> CreatePeer(forms::IBackend&, forms::IWindowPeer&) override { return nullptr; }
};

// Lets form descriptions create "TUpdatePage" components (repeating is harmless).
void RegisterUpdatePageClass();

}  // namespace viewer
