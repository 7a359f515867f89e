#include "platform/media/fake_media.h"

#include <algorithm>
#include <cmath>

namespace media {
namespace {

std::vector<FakeMediaPeer*>& Registry() {
    static std::vector<FakeMediaPeer*> fakes;
    return fakes;
}

struct OpenScript {
    bool fail = false;
    std::string message;
    int64_t length = 60000;
};

OpenScript& Script() {
    static OpenScript script;
    return script;
}

}  // namespace

void FakeMediaPeer::FailNextOpen(const std::string& message) { Script().fail = true, Script().message = message; }

void FakeMediaPeer::SetLength(int64_t ms) { Script().length = std::max<int64_t>(ms, 0); }

FakeMediaPeer::FakeMediaPeer(forms::TMediaPlayer& player) : player_(player) { Registry().push_back(this); }

FakeMediaPeer::~FakeMediaPeer() {
    auto& fakes = Registry();
    fakes.erase(std::remove(fakes.begin(), fakes.end(), this), fakes.end());
}

const std::vector<FakeMediaPeer*>& FakeMediaPeer::All() { return Registry(); }

FakeMediaPeer* FakeMediaPeer::Of(const forms::TMediaPlayer& player) {
    for (FakeMediaPeer* fake : Registry())
        if (&fake->player_ == &player) return fake;
    return nullptr;
}

void FakeMediaPeer::Open(const std::string& nativePath, forms::TWinControl* display) {
    Close();
    commands_.push_back("open " + nativePath);
    if (Script().fail) {
        Script().fail = false;
        throw forms::EMCIDeviceError(Script().message);
    }
    open_ = true;
    path_ = nativePath;
    display_ = display;
    rect_ = forms::TRect{};
    position_ = 0;
    length_ = Script().length;
    atEnd_ = false;
}

void FakeMediaPeer::Play() {
    commands_.push_back("play");
    if (!open_) return;
    if (atEnd_) position_ = 0, atEnd_ = false;
    playing_ = true;
}

void FakeMediaPeer::Pause() {
    commands_.push_back("pause");
    playing_ = false;
}

void FakeMediaPeer::Close() {
    if (!open_) return;
    commands_.push_back("close");
    open_ = playing_ = atEnd_ = false;
    display_ = nullptr;
}

void FakeMediaPeer::Seek(int64_t positionMs) {
    commands_.push_back("seek " + std::to_string(positionMs));
    position_ = std::clamp<int64_t>(positionMs, 0, length_);
    atEnd_ = false;
}

void FakeMediaPeer::SetVolume(double volume) {
    volume_ = volume;
    commands_.push_back("volume " + std::to_string(std::lround(volume * 1000)));
}

void FakeMediaPeer::SetDisplayRect(const forms::TRect& rect) { rect_ = rect; }

bool FakeMediaPeer::Advance(int64_t ms) {
    if (!playing_) return false;
    position_ = std::min(length_, position_ + std::max<int64_t>(ms, 0));
    if (position_ >= length_) return FinishMedium();
    return true;
}

bool FakeMediaPeer::FinishMedium() {
    if (!playing_) return false;
    position_ = length_;
    playing_ = false;
    atEnd_ = true;
    if (sink_) sink_->EndOfMedium();
    return true;
}

bool FakeMediaPeer::FailPlayback(const std::string& message) {
    if (!playing_) return false;
    playing_ = false;
    if (sink_) sink_->PlaybackFailed(message);
    return true;
}

bool FakeWaveVolume::GetVolume(uint32_t& volume) {
    ++Gets;
    if (Fail) return false;
    volume = Volume;
    return true;
}

bool FakeWaveVolume::SetVolume(uint32_t volume) {
    ++Sets;
    if (Fail) return false;
    Volume = volume;
    return true;
}

bool FakeSoundOutput::Play(const std::string& nativePath, bool wait) {
    Sounds.push_back({nativePath, wait});
    if (Fail) return false;
    busy_ = !wait;
    return true;
}

FakeMedia UseFakeMedia(uint32_t initialVolume) {
    Script() = OpenScript{};
    forms::SetMediaPeerFactory(
        [](forms::TMediaPlayer& player) -> std::unique_ptr<IMediaPeer> { return std::make_unique<FakeMediaPeer>(player); });
    FakeMedia fakes{std::make_shared<FakeWaveVolume>(initialVolume), std::make_shared<FakeSoundOutput>()};
    SetWaveVolumeDevice(fakes.waveVolume);
    SetSoundOutput(fakes.sound);
    return fakes;
}

}  // namespace media
