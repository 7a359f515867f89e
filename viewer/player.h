// The media player component of the main window (music_but). It keeps the class library's player
// modes and its notification protocol; this build drives no media device yet, so opening and playing
// only change the reported mode.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/component.h"
#include "platform/forms/types.h"

namespace forms {
class TPanel;
}

namespace viewer {

// Player modes as the class library reports them (device mode minus 524).
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };
// Completion reports.
enum TMPNotifyValues { nvSuccessful, nvSuperseded, nvAborted, nvFailure };

class TMediaPlayer : public forms::TComponent {
public:
    explicit TMediaPlayer(forms::TComponent* owner) : forms::TComponent(owner) {}
    const char* ClassName() const override { return "TMediaPlayer"; }

    TMPModes Mode() const { return FMode; }
    std::string FileName;
    bool AutoRewind = true;
    bool Visible = true;
    bool Notify = false;
    forms::TPanel* Display = nullptr;
    forms::TRect DisplayRect;
    std::function<void(forms::TObject* Sender)> OnNotify;
    TMPNotifyValues NotifyValue = nvSuccessful;

    void Open() { FMode = mpOpen; }
    void Play() { FMode = mpPlaying; }
    void Pause() {
        if (FMode == mpPlaying) FMode = mpPaused;
    }
    void Close() { FMode = mpNotReady; }

    bool SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

    // Lets form descriptions create "TMediaPlayer" components (repeating is harmless).
    static void RegisterClass();

private:
    TMPModes FMode = mpNotReady;
};

}  // namespace viewer
