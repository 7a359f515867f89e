// Wave sounds through GStreamer: one sound at a time, a new one cutting off the last. A sound
// that is not waited for plays out on a thread of its own. Without an audio device nothing plays.
#pragma once

#include <gst/gst.h>

#include <mutex>
#include <string>
#include <thread>

#include "platform/media/sound.h"

namespace media {

class GstSoundOutput : public ISoundOutput {
public:
    // Longest a waited-for sound may hold the caller.
    static constexpr int kMaxWaitMs = 60000;

    ~GstSoundOutput() override;
    bool Play(const std::string& nativePath, bool wait) override;
    void Stop() override;
    bool Busy() override;

private:
    static void PlayOut(GstElement* pipeline, GstSoundOutput* owner);

    std::mutex lock_;
    std::thread player_;
    GstElement* playing_ = nullptr;  // the asynchronous sound, while it plays
};

}  // namespace media
