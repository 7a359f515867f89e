#include "platform/media/mediaplayer.h"

#include <algorithm>

#include "platform/forms/application.h"
#include "platform/forms/backend.h"
#include "platform/forms/control.h"
#include "platform/forms/formdesc.h"
#include "platform/media/native_path.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace forms {

const char* const sMCINotOpen = "No media device is open";
// The media layer's own text, which the platform gives in the user's language.
const std::string sMCIFileNotFound =
    rtl::Ru("Указанный файл не найден. Убедитесь, что путь и имя файла указаны правильно.");
const char* const sMCINoFileName = "No file name is given for the media device";
const char* const sMCINoDevice = "No media device is available";

namespace {

TMediaPeerFactory& PeerFactory() {
    static TMediaPeerFactory factory;
    return factory;
}

[[maybe_unused]] const bool kClassRegistered = (RegisterMediaPlayerClass(), true);

}  // namespace

void SetMediaPeerFactory(TMediaPeerFactory factory) { PeerFactory() = std::move(factory); }

bool HasMediaPeerFactory() { return bool(PeerFactory()); }

void RegisterMediaPlayerClass() {
    RegisterComponentClass("TMediaPlayer", [](TComponent* owner) { return new TMediaPlayer(owner); });
}

TMediaPlayer::TMediaPlayer(TComponent* owner)
    : TComponent(owner), FSelf(std::make_shared<TMediaPlayer*>(this)) {}

TMediaPlayer::~TMediaPlayer() {
    *FSelf = nullptr;  // reports still queued find no player
    if (FPeer) {
        FPeer->SetSink(nullptr);
        if (FMode != mpNotReady) FPeer->Close();
    }
}

void TMediaPlayer::SetNotify(bool notify) {
    FNotify = notify;
    FUseNotify = true;
}

bool TMediaPlayer::TakeNotify() {
    const bool notify = FUseNotify ? FNotify : true;
    FUseNotify = false;
    return notify;
}

void TMediaPlayer::RequireOpen() const {
    if (FMode == mpNotReady || !FPeer) throw EMCIDeviceError(sMCINotOpen);
}

void TMediaPlayer::Open() {
    TakeNotify();  // an open completes at once: nothing is ever reported for it
    Close();
    if (FileName.empty()) throw EMCIDeviceError(sMCINoFileName);
    if (!rtl::FileExists(FileName)) throw EMCIDeviceError(sMCIFileNotFound);
    if (!FPeer) {
        if (!PeerFactory()) throw EMCIDeviceError(sMCINoDevice);
        FPeer = PeerFactory()(*this);
        if (!FPeer) throw EMCIDeviceError(sMCINoDevice);
        FPeer->SetSink(this);
    }
    FPeer->Open(media::AbsoluteNativePath(FileName), FDisplay);
    FMode = mpStopped;
    FDisplayRect = TRect{};
    FVolume = kMaxVolume;
    FPeer->SetVolume(1.0);
}

void TMediaPlayer::StartPlaying(bool notify) {
    if (FReportPending) SettlePending(notify ? nvSuperseded : nvAborted);
    if (FMode != mpPlaying) FPeer->Play();
    FMode = mpPlaying;
    FReportPending = notify;
}

void TMediaPlayer::Play() {
    RequireOpen();
    StartPlaying(TakeNotify());
}

void TMediaPlayer::Pause() {
    RequireOpen();
    TakeNotify();
    if (FMode != mpPlaying) return;
    SettlePending(nvAborted);
    FPeer->Pause();
    FMode = mpPaused;
}

void TMediaPlayer::Resume() {
    RequireOpen();
    const bool notify = TakeNotify();
    if (FMode == mpPaused) StartPlaying(notify);
}

void TMediaPlayer::Stop() {
    RequireOpen();
    TakeNotify();
    SettlePending(nvAborted);
    FPeer->Pause();
    FMode = mpStopped;
}

void TMediaPlayer::Rewind() {
    Stop();
    FPeer->Seek(0);
}

void TMediaPlayer::Close() {
    TakeNotify();
    if (FMode == mpNotReady) return;
    SettlePending(nvAborted);
    FMode = mpNotReady;
    FPeer->Close();
}

void TMediaPlayer::SetDisplay(TWinControl* display) { FDisplay = display; }

void TMediaPlayer::SetDisplayRect(const TRect& rect) {
    FDisplayRect = rect;
    if (FMode == mpNotReady) return;
    // Right and Bottom carry the width and height.
    FPeer->SetDisplayRect(rect.Right > 0 && rect.Bottom > 0 ? Bounds(rect.Left, rect.Top, rect.Right, rect.Bottom)
                                                            : TRect{});
}

int TMediaPlayer::AudioVolume() const { return FMode == mpNotReady ? 0 : FVolume; }

bool TMediaPlayer::SetAudioVolume(int volume) {
    if (FMode == mpNotReady) return false;
    FVolume = std::clamp(volume, 0, kMaxVolume);
    FPeer->SetVolume(FVolume / double(kMaxVolume));
    return true;
}

int64_t TMediaPlayer::Position() const {
    return FMode == mpNotReady ? 0 : std::max<int64_t>(FPeer->PositionMs(), 0);
}

int64_t TMediaPlayer::Length() const { return FMode == mpNotReady ? 0 : std::max<int64_t>(FPeer->LengthMs(), 0); }

void TMediaPlayer::EndOfMedium() {
    if (FMode != mpPlaying) return;  // a stop or pause overtook the end
    FMode = mpStopped;
    if (AutoRewind) FPeer->Seek(0);
    if (FReportPending) SettlePending(nvSuccessful);
}

void TMediaPlayer::PlaybackFailed(const std::string&) {
    if (FMode != mpPlaying) return;
    FMode = mpStopped;
    SettlePending(nvFailure);
}

void TMediaPlayer::SettlePending(TMPNotifyValues value) {
    if (!FReportPending) return;
    FReportPending = false;
    PostReport(value);
}

void TMediaPlayer::PostReport(TMPNotifyValues value) {
    if (!HasBackend()) {
        Report(value);
        return;
    }
    std::weak_ptr<TMediaPlayer*> self = FSelf;
    Backend().Post([self, value] {
        if (auto player = self.lock(); player && *player) (*player)->Report(value);
    });
}

void TMediaPlayer::Report(TMPNotifyValues value) {
    NotifyValue = value;
    if (!OnNotify) return;
    TNotifyEvent handler = OnNotify;  // the handler may free the player
    SafeCall(this, [&handler, this] { handler(this); });
}

void TMediaPlayer::Notification(TComponent* component, bool removing) {
    TComponent::Notification(component, removing);
    if (!removing || component != FDisplay) return;
    // The video has nowhere to go any more.
    FDisplay = nullptr;
    Close();
}

bool TMediaPlayer::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "FileName")) {
        FileName = value.AsString();
    } else if (rtl::SameText(name, "AutoRewind")) {
        AutoRewind = value.AsBoolean();
    } else if (rtl::SameText(name, "Visible")) {
        Visible = value.AsBoolean();
    } else if (rtl::SameText(name, "Display")) {
        auto* display = dynamic_cast<TWinControl*>(loader.FindComponent(value.AsIdentifier()));
        if (!display) loader.Fail(value.line, "Display names no windowed control: " + value.AsIdentifier());
        FDisplay = display;
    } else if (rtl::SameText(name, "Left") || rtl::SameText(name, "Top") || rtl::SameText(name, "Width") ||
               rtl::SameText(name, "Height")) {
        value.AsInteger();  // the button bar is never shown; its place only has to be a number
    } else {
        return TComponent::SetProperty(name, value, loader);
    }
    return true;
}

bool TMediaPlayer::SetEvent(const std::string& name, const std::any& handler) {
    if (!rtl::SameText(name, "OnNotify")) return TComponent::SetEvent(name, handler);
    AssignEvent(OnNotify, handler, name);
    return true;
}

}  // namespace forms
