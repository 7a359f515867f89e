#include "platform/media/gst_sound.h"

#include "platform/media/gst_support.h"

namespace media {
namespace {

constexpr auto kEndMessages = GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_APPLICATION);

// A started pipeline for the file, or null when it cannot play (no audio device, no such media).
GstElement* StartSound(const std::string& nativePath) {
    if (!EnsureGStreamer()) return nullptr;
    GstElement* audio = MakeAudioSink(true);
    if (!audio) return nullptr;
    GstElement* pipeline = gst_element_factory_make("playbin", "sound");
    if (!pipeline) {
        gst_object_unref(gst_object_ref_sink(audio));
        return nullptr;
    }
    gst_object_ref_sink(pipeline);
    const std::string uri = FileUri(nativePath);
    g_object_set(pipeline, "uri", uri.c_str(), "audio-sink", audio, "video-sink", MakeSilentSink("video-sink"),
                 nullptr);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return nullptr;
    }
    return pipeline;
}

// Waits for the end (or an error, or a stop request), then frees the pipeline. True at a clean end.
bool WaitAndFree(GstElement* pipeline, GstClockTime timeout) {
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, timeout, kEndMessages);
    const bool ended = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ended;
}

}  // namespace

GstSoundOutput::~GstSoundOutput() { Stop(); }

bool GstSoundOutput::Play(const std::string& nativePath, bool wait) {
    Stop();
    GstElement* pipeline = StartSound(nativePath);
    if (!pipeline) return false;
    if (wait) return WaitAndFree(pipeline, GstClockTime(kMaxWaitMs) * GST_MSECOND);
    std::lock_guard<std::mutex> hold(lock_);
    playing_ = GST_ELEMENT(gst_object_ref(pipeline));  // kept alive for a stop request
    player_ = std::thread(PlayOut, pipeline, this);
    return true;
}

void GstSoundOutput::PlayOut(GstElement* pipeline, GstSoundOutput* owner) {
    WaitAndFree(pipeline, GST_CLOCK_TIME_NONE);
    std::lock_guard<std::mutex> hold(owner->lock_);
    if (owner->playing_ == pipeline) {
        gst_object_unref(owner->playing_);
        owner->playing_ = nullptr;
    }
}

void GstSoundOutput::Stop() {
    std::thread player;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (playing_) {
            GstBus* bus = gst_element_get_bus(playing_);
            gst_bus_post(bus, gst_message_new_application(nullptr, gst_structure_new_empty("stop")));
            gst_object_unref(bus);
        }
        player = std::move(player_);
    }
    if (player.joinable()) player.join();
}

bool GstSoundOutput::Busy() {
    std::lock_guard<std::mutex> hold(lock_);
    return playing_ != nullptr;
}

}  // namespace media
