// The media player's device over GStreamer's playbin. The medium is prepared (paused at its start)
// on Open, so a file that cannot be played raises there. Video goes into the display's native
// window through the video-overlay interface when it has one, else into a silent sink, so a run
// without a display never opens a window. End of medium and playback errors are collected from
// the pipeline's threads and handed to the player from GLib's default main context, which the
// GUI's message loop runs.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/media_peer.h"
#include "platform/media/video_window.h"

namespace media {

class GstMediaPeer : public IMediaPeer {
public:
    // Longest time Open waits for the medium to be ready.
    static constexpr int kOpenTimeoutMs = 10000;

    GstMediaPeer();
    ~GstMediaPeer() override;
    GstMediaPeer(const GstMediaPeer&) = delete;
    GstMediaPeer& operator=(const GstMediaPeer&) = delete;

    void SetSink(IMediaSink* sink) override { sink_ = sink; }
    void Open(const std::string& nativePath, forms::TWinControl* display) override;
    void Play() override;
    void Pause() override;
    void Close() override;
    void Seek(int64_t positionMs) override;
    int64_t PositionMs() override;
    int64_t LengthMs() override;
    void SetVolume(double volume) override;
    void SetDisplayRect(const forms::TRect& rect) override;

    // The native window the video is drawn into (0: none, video is discarded).
    uintptr_t VideoWindowHandle() const;

    struct Mailbox;  // shared with the pipeline's threads
    // Hands what the pipeline reported to the player (a GLib idle callback; data: the mailbox).
    static int Drain(void* data);

private:
    void Teardown();
    void DisplayLost();
    void Deliver(bool ended, bool failed, const std::string& error);
    bool AtEnd();

    GstElement* pipeline_ = nullptr;
    GstElement* videoSink_ = nullptr;     // the window sink, when video goes into a window
    std::unique_ptr<VideoWindow> video_;  // the window it draws into
    std::shared_ptr<Mailbox> mailbox_;
    IMediaSink* sink_ = nullptr;
    bool atEnd_ = false;   // the end was handed to the player; Play starts over
    bool broken_ = false;  // playback failed; only Close helps
};

}  // namespace media
