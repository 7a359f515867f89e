#include "platform/media/wavevolume.h"

#include <mutex>

namespace media {
namespace {

std::mutex& DeviceLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<IWaveVolume>& Device() {
    static std::shared_ptr<IWaveVolume> device = std::make_shared<THeldWaveVolume>();
    return device;
}

}  // namespace

void SetWaveVolumeDevice(std::shared_ptr<IWaveVolume> device) {
    std::lock_guard<std::mutex> hold(DeviceLock());
    Device() = device ? std::move(device) : std::make_shared<THeldWaveVolume>();
}

std::shared_ptr<IWaveVolume> WaveVolumeDevice() {
    std::lock_guard<std::mutex> hold(DeviceLock());
    return Device();
}

bool WaveOutGetVolume(uint32_t& volume) { return WaveVolumeDevice()->GetVolume(volume); }

bool WaveOutSetVolume(uint32_t volume) { return WaveVolumeDevice()->SetVolume(volume); }

}  // namespace media
