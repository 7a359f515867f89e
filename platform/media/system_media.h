// Installs the real media devices: players over GStreamer, the wave-out volume on the default
// card's ALSA mixer (a process-held value without one) and wave sounds through GStreamer.
#pragma once

namespace media {

void UseSystemMedia();

}  // namespace media
