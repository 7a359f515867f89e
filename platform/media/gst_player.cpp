#include "platform/media/gst_player.h"

#include <gst/video/videooverlay.h>

#include <mutex>

#include "platform/media/gst_support.h"
#include "platform/media/mediaplayer.h"
#include "platform/media/video_window.h"
#include "platform/rtl/codepage.h"

namespace media {

// What the pipeline's threads report, picked up on the GUI thread. Every jump of the position and
// every new medium starts a new generation, so a report made before it is recognised as stale.
struct GstMediaPeer::Mailbox {
    std::mutex lock;
    GstMediaPeer* peer = nullptr;  // GUI thread only; null once the peer is gone
    uint64_t generation = 0;
    bool ended = false;
    uint64_t endedGeneration = 0;
    bool failed = false;
    uint64_t failedGeneration = 0;
    std::string error;  // UTF-8
    bool drainQueued = false;

    void NewGeneration() {
        std::lock_guard<std::mutex> hold(lock);
        ++generation;
        ended = failed = false;
        error.clear();
    }
};

namespace {

using Mailbox = GstMediaPeer::Mailbox;

// Runs on whichever thread posts the message; called with the mailbox locked.
void QueueDrain(const std::shared_ptr<Mailbox>& mailbox, GSourceFunc drain) {
    if (mailbox->drainQueued) return;
    mailbox->drainQueued = true;
    g_idle_add_full(G_PRIORITY_DEFAULT, drain, new std::shared_ptr<Mailbox>(mailbox),
                    [](gpointer data) { delete static_cast<std::shared_ptr<Mailbox>*>(data); });
}

GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
    const std::shared_ptr<Mailbox>& mailbox = *static_cast<std::shared_ptr<Mailbox>*>(data);
    std::lock_guard<std::mutex> hold(mailbox->lock);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        mailbox->ended = true;
        mailbox->endedGeneration = mailbox->generation;
        QueueDrain(mailbox, &GstMediaPeer::Drain);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && !mailbox->failed) {
        mailbox->failed = true;
        mailbox->failedGeneration = mailbox->generation;
        mailbox->error = ErrorText(message);
        QueueDrain(mailbox, &GstMediaPeer::Drain);
    }
    return GST_BUS_DROP;  // nothing reads the bus's queue
}

std::string DeviceMessage(const std::string& utf8Detail) {
    std::string message = "The media device cannot play the file";
    if (!utf8Detail.empty()) message += ": " + rtl::Utf8ToCp1251(utf8Detail);
    return message;
}

}  // namespace

GstMediaPeer::GstMediaPeer() : mailbox_(std::make_shared<Mailbox>()) { mailbox_->peer = this; }

GstMediaPeer::~GstMediaPeer() {
    Teardown();
    std::lock_guard<std::mutex> hold(mailbox_->lock);
    mailbox_->peer = nullptr;
}

void GstMediaPeer::Teardown() {
    if (pipeline_) {
        // Stopping joins the pipeline's threads, so no report can follow.
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
    }
    if (videoSink_) {
        gst_object_unref(videoSink_);
        videoSink_ = nullptr;
    }
    video_.reset();
    mailbox_->NewGeneration();
    atEnd_ = broken_ = false;
}

void GstMediaPeer::Open(const std::string& nativePath, forms::TWinControl* display) {
    Teardown();
    if (!EnsureGStreamer()) throw forms::EMCIDeviceError(forms::sMCINoDevice);
    pipeline_ = gst_element_factory_make("playbin", "media-player");
    if (!pipeline_) throw forms::EMCIDeviceError(forms::sMCINoDevice);
    gst_object_ref_sink(pipeline_);

    const std::string uri = FileUri(nativePath);
    g_object_set(pipeline_, "uri", uri.c_str(), nullptr);
    if (GstElement* audio = MakeAudioSink(false)) g_object_set(pipeline_, "audio-sink", audio, nullptr);
    // The sink gets its window before it starts, so it never asks for one (or opens its own).
    video_ = VideoWindow::Create(display, [this] { DisplayLost(); });
    videoSink_ = video_ ? MakeWindowVideoSink() : nullptr;
    if (videoSink_) {
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(videoSink_), video_->Handle());
        g_object_set(pipeline_, "video-sink", videoSink_, nullptr);
    } else {
        video_.reset();
        g_object_set(pipeline_, "video-sink", MakeSilentSink("video-sink"), nullptr);
    }
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, OnBusMessage, new std::shared_ptr<Mailbox>(mailbox_),
                             [](gpointer data) { delete static_cast<std::shared_ptr<Mailbox>*>(data); });
    gst_object_unref(bus);

    GstStateChangeReturn result = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    if (result == GST_STATE_CHANGE_ASYNC)
        result = gst_element_get_state(pipeline_, nullptr, nullptr, GstClockTime(kOpenTimeoutMs) * GST_MSECOND);
    if (result == GST_STATE_CHANGE_FAILURE || result == GST_STATE_CHANGE_ASYNC) {
        std::string detail;
        {
            std::lock_guard<std::mutex> hold(mailbox_->lock);
            detail = mailbox_->error;
        }
        Teardown();
        throw forms::EMCIDeviceError(DeviceMessage(detail));
    }
    mailbox_->NewGeneration();  // nothing said while opening is news to the player
}

bool GstMediaPeer::AtEnd() {
    if (atEnd_) return true;
    std::lock_guard<std::mutex> hold(mailbox_->lock);
    return mailbox_->ended && mailbox_->endedGeneration == mailbox_->generation;
}

void GstMediaPeer::Play() {
    if (!pipeline_ || broken_) return;
    if (AtEnd()) Seek(0);
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

void GstMediaPeer::Pause() {
    if (pipeline_ && !broken_) gst_element_set_state(pipeline_, GST_STATE_PAUSED);
}

void GstMediaPeer::Close() { Teardown(); }

void GstMediaPeer::Seek(int64_t positionMs) {
    if (!pipeline_ || broken_) return;
    mailbox_->NewGeneration();
    atEnd_ = false;
    gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            std::max<int64_t>(positionMs, 0) * GST_MSECOND);
}

int64_t GstMediaPeer::PositionMs() {
    gint64 position = 0;
    if (!pipeline_ || !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &position) || position < 0)
        return -1;
    return position / GST_MSECOND;
}

int64_t GstMediaPeer::LengthMs() {
    gint64 length = 0;
    if (!pipeline_ || !gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &length) || length < 0) return -1;
    return length / GST_MSECOND;
}

void GstMediaPeer::SetVolume(double volume) {
    if (pipeline_) g_object_set(pipeline_, "volume", std::clamp(volume, 0.0, 1.0), nullptr);
}

void GstMediaPeer::SetDisplayRect(const forms::TRect& rect) {
    if (!video_ || !videoSink_) return;
    video_->Place(rect);
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(videoSink_));
}

void GstMediaPeer::DisplayLost() {
    // The window is about to go: the sink must not draw into it any more.
    if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_NULL);
    broken_ = true;
}

uintptr_t GstMediaPeer::VideoWindowHandle() const { return video_ ? video_->Handle() : 0; }

int GstMediaPeer::Drain(void* data) {
    const std::shared_ptr<Mailbox>& mailbox = *static_cast<std::shared_ptr<Mailbox>*>(data);
    GstMediaPeer* peer;
    bool ended, failed;
    std::string error;
    {
        std::lock_guard<std::mutex> hold(mailbox->lock);
        mailbox->drainQueued = false;
        peer = mailbox->peer;
        ended = mailbox->ended && mailbox->endedGeneration == mailbox->generation;
        failed = mailbox->failed && mailbox->failedGeneration == mailbox->generation;
        error = mailbox->error;
        mailbox->failed = false;  // reported once; an end stays known until the position moves
    }
    if (peer) peer->Deliver(ended, failed, error);
    return G_SOURCE_REMOVE;
}

void GstMediaPeer::Deliver(bool ended, bool failed, const std::string& error) {
    if (!pipeline_ || (!ended && !failed) || (ended && atEnd_)) return;
    IMediaSink* sink = sink_;
    if (failed) {
        broken_ = true;
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        if (sink) sink->PlaybackFailed(DeviceMessage(error));  // last: the player may free this peer
        return;
    }
    atEnd_ = true;
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    if (sink) sink->EndOfMedium();  // last: the player may free this peer
}

}  // namespace media
