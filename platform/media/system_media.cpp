#include "platform/media/system_media.h"

#include "platform/media/alsa_volume.h"
#include "platform/media/gst_player.h"
#include "platform/media/gst_sound.h"
#include "platform/media/mediaplayer.h"

namespace media {

void UseSystemMedia() {
    forms::SetMediaPeerFactory(
        [](forms::TMediaPlayer&) -> std::unique_ptr<IMediaPeer> { return std::make_unique<GstMediaPeer>(); });
    UseSystemWaveVolume();
    SetSoundOutput(std::make_shared<GstSoundOutput>());
}

}  // namespace media
