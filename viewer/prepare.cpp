// TForm2: its form description, the unit's program-wide state and the way a fatal message ends
// the program.
#include "viewer/prepare.h"

#include "platform/forms/application.h"
#include "platform/forms/formdesc.h"
#include "viewer/main.h"

namespace viewer {

std::string ExePath;
TKorImages FaceImages;
TKorTemplate SearchTemplate;
TKorTemplate FavoritesTemplate;
int SplashPauseMs = 2000;

namespace {

THaltHandler& HaltHandler() {
    static THaltHandler handler;
    return handler;
}

const forms::TFormClass& Form2Class() {
    static const forms::TFormTable<TForm2> table = [] {
        forms::TFormTable<TForm2> t("TForm2", "Form2.frm");
        t.Field("Image1", &TForm2::Image1);
        return t;
    }();
    return table;
}

}  // namespace

TForm2::TForm2(forms::TComponent* owner) : forms::TForm(owner) { InitForm(Form2Class()); }

TForm2::~TForm2() {
    if (Form2 == this) Form2 = nullptr;
}

void SetHaltHandler(THaltHandler Handler) { HaltHandler() = std::move(Handler); }

void HaltProgram(int ExitCode) {
    if (HaltHandler()) HaltHandler()(ExitCode);
    forms::Application().Halt(ExitCode);
}

void ResetPrepareState() {
    ExePath.clear();
    FaceImages.clear();
    SearchTemplate = TKorTemplate{};
    FavoritesTemplate = TKorTemplate{};
    SplashPauseMs = 2000;
}

}  // namespace viewer
