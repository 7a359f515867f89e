// The device side of the media player. TMediaPlayer drives a peer through IMediaPeer and keeps the
// class library's rules (modes, completion reports, volume scale) itself, so they are the same on
// every device; the GStreamer peer (tome_media) and the scripted fake (tome_media_fake) only move
// the medium. Every call happens on the GUI thread, and the peer reports back on the GUI thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/types.h"

namespace forms {
class TWinControl;
}

namespace media {

class IMediaSink {
public:
    virtual ~IMediaSink() = default;
    // The medium played to its natural end (not raised for a stop, pause or close).
    virtual void EndOfMedium() = 0;
    // Playback broke off with an error after the medium had opened.
    virtual void PlaybackFailed(const std::string& message) = 0;
};

class IMediaPeer {
public:
    virtual ~IMediaPeer() = default;
    virtual void SetSink(IMediaSink* sink) = 0;
    // Opens a file (a Linux path) and readies it at its start without playing. Raises
    // forms::EMCIDeviceError when the file cannot be played. Whatever was open is closed first.
    // display: the control whose native window shows the video (may be null).
    virtual void Open(const std::string& nativePath, forms::TWinControl* display) = 0;
    // Plays from the current position; a medium that played to its end starts over.
    virtual void Play() = 0;
    // Holds the medium at its current position (pause and stop alike).
    virtual void Pause() = 0;
    virtual void Close() = 0;
    virtual void Seek(int64_t positionMs) = 0;
    virtual int64_t PositionMs() = 0;  // -1 when unknown
    virtual int64_t LengthMs() = 0;    // -1 when unknown
    // 0.0 (silent) .. 1.0 (full).
    virtual void SetVolume(double volume) = 0;
    // Where the video goes inside the display, in its client coordinates; empty = the whole display.
    virtual void SetDisplayRect(const forms::TRect& rect) = 0;
};

}  // namespace media
