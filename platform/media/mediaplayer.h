// TMediaPlayer: the class library's media player, without its button bar. It plays one medium at a
// time through a device peer (GStreamer on screen, a scripted fake in tests) made by the factory
// installed with SetMediaPeerFactory, and keeps the rules programs rely on:
//  - Mode() reports mpNotReady until a medium is open, then mpStopped, mpPlaying or mpPaused (file
//    media never report mpOpen, the door-open mode of removable-media drives);
//  - every command asks for a completion report unless Notify was set to False just before it
//    (SetNotify applies to the next command only); OnNotify runs with NotifyValue = nvSuccessful only
//    when the medium plays to its natural end; a command that interrupts playing reports nvAborted,
//    a new Play asking for a report nvSuperseded, a playback error nvFailure;
//  - reports arrive as messages of the application's queue (posted, never inside the command);
//  - Play at the end of the medium starts it over; AutoRewind moves the position back to the start
//    when the end is reached;
//  - the audio volume uses the digital-video scale 0..1000 (1000 on every Open);
//  - failures raise EMCIDeviceError with a message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/component.h"
#include "platform/forms/types.h"
#include "platform/media/media_peer.h"
#include "platform/rtl/exceptions.h"

namespace forms {

class TWinControl;
class TMediaPlayer;

// Player modes as the class library reports them (device mode minus 524).
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };
// Completion reports.
enum TMPNotifyValues { nvSuccessful, nvSuperseded, nvAborted, nvFailure };

class EMCIDeviceError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The messages the player raises.
extern const char* const sMCINotOpen;       // a command needs an open medium
extern const std::string sMCIFileNotFound;  // the file does not exist
extern const char* const sMCINoFileName;    // Open with an empty FileName
extern const char* const sMCINoDevice;      // no media device is installed

using TMediaPeerFactory = std::function<std::unique_ptr<media::IMediaPeer>(TMediaPlayer& player)>;
// Installs the factory players use from their next Open on (an empty one: Open raises sMCINoDevice).
void SetMediaPeerFactory(TMediaPeerFactory factory);
bool HasMediaPeerFactory();
// Lets form descriptions create "TMediaPlayer" components (done at start-up too; repeating is harmless).
void RegisterMediaPlayerClass();

class TMediaPlayer : public TComponent, private media::IMediaSink {
public:
    static constexpr int kMaxVolume = 1000;

    explicit TMediaPlayer(TComponent* owner);
    ~TMediaPlayer() override;
    const char* ClassName() const override { return "TMediaPlayer"; }

    std::string FileName;     // cp1251, Windows-style; relative names resolve against the current folder
    bool AutoRewind = true;
    bool Visible = true;      // kept for descriptions; the player shows no buttons

    // Opens FileName (closing what was open); raises EMCIDeviceError when it cannot be played.
    void Open();
    void Play();    // from the current position
    void Pause();   // playing -> paused
    void Resume();  // paused -> playing
    void Stop();    // holds the position; mode stopped
    void Rewind();  // back to the start; mode stopped
    void Close();   // nothing happens when no medium is open
    TMPModes Mode() const { return FMode; }

    bool Notify() const { return FNotify; }
    void SetNotify(bool notify);
    TMPNotifyValues NotifyValue = nvSuccessful;
    TNotifyEvent OnNotify;

    // The control whose native window shows the video; taken at Open. When it is freed the
    // reference is cleared and an open medium closed (its picture has nowhere to go).
    TWinControl* Display() const { return FDisplay; }
    void SetDisplay(TWinControl* display);
    // Left and Top place the video inside the display; Right and Bottom hold its width and height.
    // Empty: the whole display. Reset by Open.
    const TRect& DisplayRect() const { return FDisplayRect; }
    void SetDisplayRect(const TRect& rect);

    // Audio volume 0..1000. AudioVolume() is 0 when no medium is open; SetAudioVolume clamps the
    // value and returns false (changing nothing) when no medium is open.
    int AudioVolume() const;
    bool SetAudioVolume(int volume);

    // Milliseconds; 0 when no medium is open or the device cannot tell.
    int64_t Position() const;
    int64_t Length() const;

    // The device peer (null before the first Open).
    media::IMediaPeer* Peer() const { return FPeer.get(); }

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

protected:
    void Notification(TComponent* component, bool removing) override;

private:
    void EndOfMedium() override;
    void PlaybackFailed(const std::string& message) override;

    void RequireOpen() const;
    bool TakeNotify();  // whether the command being run asks for a completion report
    // Ends the report a running Play asked for with value, if any.
    void SettlePending(TMPNotifyValues value);
    void StartPlaying(bool notify);
    void PostReport(TMPNotifyValues value);
    void Report(TMPNotifyValues value);

    std::unique_ptr<media::IMediaPeer> FPeer;
    TMPModes FMode = mpNotReady;
    bool FNotify = false;
    bool FUseNotify = false;
    bool FReportPending = false;  // the running Play asked for a completion report
    TWinControl* FDisplay = nullptr;
    TRect FDisplayRect;
    int FVolume = kMaxVolume;
    std::shared_ptr<TMediaPlayer*> FSelf;  // posted reports find the player through it
};

}  // namespace forms
