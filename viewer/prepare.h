// TForm2 (unit prepare): the splash window and the skin loader. It reads the picture file and the
// scrambled configuration, applies every configuration line to the main window's components, lays
// the chrome out, reads the two list templates and writes the install path into the registry.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "viewer/types.h"

namespace viewer {

class TForm2 : public forms::TForm {
public:
    explicit TForm2(forms::TComponent* owner);
    ~TForm2() override;
    const char* ClassName() const override { return "TForm2"; }

    forms::TImage* Image1 = nullptr;  // the splash picture

    // ---- skin loading (prepare_skin.cpp) ----
    // -1 when the skin was built, 0 when the configuration gave no lines.
    int LoadSkin();
    void LoadFaceImages();
    // Gives Image the picture stored under Name (A–Z compared without case); no match, no change.
    void AssignFaceImage(forms::TImage* Image, const std::string& Name);
    void ShowRandomSplash(forms::TImage* Image);
    void LoadFavoritesTemplate();
    void LoadSearchTemplate();
    void WriteInstallPath();

    // ---- the splash pause of the first load (prepare_skin.cpp) ----
    // The splash stays SplashPauseMs on screen after the layout. The start goes on behind it (the
    // first page is composed and loaded meanwhile); the main window comes when the pause is over.
    // Dispatches messages until the pause has run its time; at once when none runs.
    void WaitSplashPause();
    // The pause is over: a hide asked during it happens now.
    void EndSplashPause();
    // Hides the splash; asked while the pause runs, the hide waits for EndSplashPause.
    void HideSplash();

    // ---- layout (prepare_layout.cpp) ----
    void LayoutSkin();

    // ---- configuration (prepare_config.cpp) ----
    // True when at least one line was decoded.
    bool ApplyConfig();
    void DecodeConfig(TKorDecoded& Lines);
    void ParseStartLine(const std::string& Line);
    void ParseSkinLine(const std::string& Line);
    void ParseBackgroundLine(const std::string& Line);
    void ParseDatacenterLine(const std::string& Line);
    void ParseMainFormLine(const std::string& Line);
    void ParseUrlLine(const std::string& Line);
    void ParseHeaderLine(const std::string& Line);
    void ParseSearchLine(const std::string& Line);
    void ParseButtonLine(const std::string& Line);

private:
    void LoadTemplate(const std::string& FileName, const std::string& MissingMessage, TKorTemplate& Target,
                      bool WithMiddle);
    void CreateButtonImage(uint16_t Index);

    std::chrono::steady_clock::time_point FPauseEnd;
    bool FPauseRunning = false;
    bool FHideAfterPause = false;
};

// ---- program-wide state of this unit ----
extern std::string ExePath;  // program folder with a trailing "\"; set at every skin load
extern TKorImages FaceImages;
extern TKorTemplate SearchTemplate;
extern TKorTemplate FavoritesTemplate;
// How long the first load keeps the splash on screen after the layout (tests shorten it).
extern int SplashPauseMs;

// Ends the program with ExitCode after a fatal configuration message was confirmed. A handler set
// for tests runs first and is expected to leave by an exception; without one the application halts.
using THaltHandler = std::function<void(int ExitCode)>;
void SetHaltHandler(THaltHandler Handler);
[[noreturn]] void HaltProgram(int ExitCode);

// Puts this unit's program-wide state back to its start values.
void ResetPrepareState();

}  // namespace viewer
