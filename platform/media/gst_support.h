// Shared pieces of the GStreamer devices: start-up, file URIs and the choice of audio output.
#pragma once

#include <gst/gst.h>

#include <string>

namespace media {

// Initialises GStreamer once; false when it cannot start.
bool EnsureGStreamer();

// The URI of a file (Linux path, absolute or relative to the current folder).
std::string FileUri(const std::string& nativePath);

// An audio sink for a new pipeline (floating reference). The environment variable TOME_AUDIO_SINK
// may name a sink element ("fake" for a silent sink that keeps real time). Otherwise the sound
// server's sink, else the sound card's, whichever first opens its device; when neither does, a
// silent real-time sink, or null when requireDevice is set. Nothing is printed either way.
GstElement* MakeAudioSink(bool requireDevice);

// A video sink that draws into a native X window: the XVideo sink where the server offers XVideo
// (it scales), else the plain X sink; TOME_VIDEO_SINK may name another. Null when none works.
GstElement* MakeWindowVideoSink();

// A silent sink that consumes data at the pace of the clock.
GstElement* MakeSilentSink(const char* name);

// The first error message a bus carries, "" when none; other messages are dropped.
std::string ErrorText(GstMessage* message);

}  // namespace media
