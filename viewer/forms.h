// The viewer's plain windows: the search host TForm3, the composer host TForm4, the update dialog
// TForm5 and the settings dialog Tsett. Each is created once by the program block from its form
// description and never recreated; their working parts arrive with search, updater and settings.
#pragma once

#include <string>

#include "platform/forms/form.h"
#include "updater/update.h"
#include "viewer/settings.h"

namespace viewer {

// Hosts the full-text search; RunSearch reads the main window's search box.
class TForm3 : public forms::TForm {
public:
    explicit TForm3(forms::TComponent* owner);
    const char* ClassName() const override { return "TForm3"; }
    void RunSearch();
};

// Hosts the page composer; never shown.
class TForm4 : public forms::TForm {
public:
    explicit TForm4(forms::TComponent* owner);
    const char* ClassName() const override { return "TForm4"; }
    // Composes PageName into "data\tomeview.tmp" under AppDir; ComposedPath receives its full path,
    // or stays as it was when the page does not exist.
    void BuildPage(const std::string& PageName, std::string& ComposedPath);
};

// The update dialog TForm5 is the updater's unit update.

// The settings dialog Tsett is the unit settings.

}  // namespace viewer
