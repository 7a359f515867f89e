// Playback of a wave file, for short interface sounds. The output is installed with SetSoundOutput
// (GStreamer in tome_media: UseGStreamerMedia; a recording fake in tests); with none installed,
// nothing plays. A missing file or a missing audio device is silently nothing.
#pragma once

#include <memory>
#include <string>

namespace media {

constexpr unsigned SND_SYNC = 0x0000;       // returns once the sound has played
constexpr unsigned SND_ASYNC = 0x0001;      // returns at once
constexpr unsigned SND_NODEFAULT = 0x0002;  // accepted; no default sound is ever played
constexpr unsigned SND_NOSTOP = 0x0010;     // fails instead of cutting a sound that is playing
constexpr unsigned SND_FILENAME = 0x00020000;

class ISoundOutput {
public:
    virtual ~ISoundOutput() = default;
    // Plays the file (a Linux path), cutting off any sound still playing; false when it cannot play.
    // wait: return only once the sound has ended.
    virtual bool Play(const std::string& nativePath, bool wait) = 0;
    virtual void Stop() = 0;
    virtual bool Busy() = 0;  // an asynchronous sound is still playing
};

void SetSoundOutput(std::shared_ptr<ISoundOutput> output);
std::shared_ptr<ISoundOutput> SoundOutput();

// Plays a wave file (cp1251, Windows-style; relative names resolve against the current folder).
// An empty name stops the sound that is playing. False when nothing was played.
bool PlaySound(const std::string& fileName, unsigned flags);

}  // namespace media
