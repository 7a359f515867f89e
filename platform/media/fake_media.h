// Scripted media devices for tests without sound or display: a media peer the test drives (the end
// of the medium, playback failures, unplayable files), a wave-out volume that records its calls and
// can fail, and a sound output that records what was played.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/mediaplayer.h"
#include "platform/media/sound.h"
#include "platform/media/wavevolume.h"

namespace media {

class FakeMediaPeer : public IMediaPeer {
public:
    explicit FakeMediaPeer(forms::TMediaPlayer& player);
    ~FakeMediaPeer() override;

    // Every fake alive, oldest first; the fake behind a player (null before its first Open).
    static const std::vector<FakeMediaPeer*>& All();
    static FakeMediaPeer* Of(const forms::TMediaPlayer& player);

    // IMediaPeer
    void SetSink(IMediaSink* sink) override { sink_ = sink; }
    void Open(const std::string& nativePath, forms::TWinControl* display) override;
    void Play() override;
    void Pause() override;
    void Close() override;
    void Seek(int64_t positionMs) override;
    int64_t PositionMs() override { return open_ ? position_ : -1; }
    int64_t LengthMs() override { return open_ ? length_ : -1; }
    void SetVolume(double volume) override;
    void SetDisplayRect(const forms::TRect& rect) override;

    // Scripting, for whichever fake opens next (a player makes its peer at its first Open): the
    // next Open raises EMCIDeviceError with this message (once); the length of every medium opened
    // from now on (default 60000 ms).
    static void FailNextOpen(const std::string& message);
    static void SetLength(int64_t ms);
    // The medium plays on by ms; reaching its length ends it. False when it is not playing.
    bool Advance(int64_t ms);
    // The medium plays to its end now (EndOfMedium). False when it is not playing.
    bool FinishMedium();
    // Playback breaks off with an error. False when it is not playing.
    bool FailPlayback(const std::string& message = "device error");

    // What the player asked for.
    bool IsOpen() const { return open_; }
    bool IsPlaying() const { return playing_; }
    const std::string& OpenedPath() const { return path_; }  // the last file opened (Linux path)
    forms::TWinControl* Display() const { return display_; }
    const forms::TRect& DisplayRect() const { return rect_; }
    double Volume() const { return volume_; }
    // One line per call: "open <path>", "play", "pause", "close", "seek <ms>", "volume <0..1000>".
    const std::vector<std::string>& Commands() const { return commands_; }
    void ClearCommands() { commands_.clear(); }

private:
    forms::TMediaPlayer& player_;
    IMediaSink* sink_ = nullptr;
    bool open_ = false;
    bool playing_ = false;
    bool atEnd_ = false;
    int64_t position_ = 0;
    int64_t length_ = 0;
    std::string path_;
    forms::TWinControl* display_ = nullptr;
    forms::TRect rect_;
    double volume_ = 1.0;
    std::vector<std::string> commands_;
};

// A wave-out volume held in memory that counts its calls and fails on request.
class FakeWaveVolume : public IWaveVolume {
public:
    explicit FakeWaveVolume(uint32_t initial = 0) : Volume(initial) {}
    bool GetVolume(uint32_t& volume) override;
    bool SetVolume(uint32_t volume) override;

    uint32_t Volume;
    bool Fail = false;  // both calls fail, changing nothing
    int Gets = 0;
    int Sets = 0;
};

// Records every sound asked for; nothing is heard.
class FakeSoundOutput : public ISoundOutput {
public:
    struct Played {
        std::string path;  // Linux path
        bool waited;
    };
    bool Play(const std::string& nativePath, bool wait) override;
    void Stop() override { ++Stops, busy_ = false; }
    bool Busy() override { return busy_; }

    std::vector<Played> Sounds;
    int Stops = 0;
    bool Fail = false;  // Play returns false

private:
    bool busy_ = false;
};

// Makes players created from now on use fake peers, and installs a fake wave volume (starting at
// initialVolume) and a fake sound output. Returns them for the test to look at.
struct FakeMedia {
    std::shared_ptr<FakeWaveVolume> waveVolume;
    std::shared_ptr<FakeSoundOutput> sound;
};
FakeMedia UseFakeMedia(uint32_t initialVolume = 0);

}  // namespace media
