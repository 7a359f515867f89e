#include "platform/media/gst_support.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace media {
namespace {

// The desktop's audio outputs, tried in this order: the sound server, then the sound card itself.
// Outputs that report a missing device on stderr on their own are never tried, so that a machine
// without sound stays silent.
const char* const kAudioSinks[] = {"pulsesink", "alsasink"};

// The first of the named sinks whose device opens (it reaches READY), as a full reference; null
// when none does.
GstElement* FirstWorkingSink(const std::vector<std::string>& names, const char* elementName) {
    for (const std::string& name : names) {
        GstElement* sink = gst_element_factory_make(name.c_str(), elementName);
        if (!sink) continue;
        gst_object_ref_sink(sink);
        const bool ready = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        gst_element_set_state(sink, GST_STATE_NULL);
        if (ready) return sink;
        gst_object_unref(sink);
    }
    return nullptr;
}

}  // namespace

bool EnsureGStreamer() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = gst_init_check(nullptr, nullptr, nullptr); });
    return started;
}

std::string FileUri(const std::string& nativePath) {
    gchar* uri = gst_filename_to_uri(nativePath.c_str(), nullptr);
    std::string result = uri ? uri : "";
    g_free(uri);
    return result;
}

GstElement* MakeSilentSink(const char* name) {
    GstElement* sink = gst_element_factory_make("fakesink", name);
    if (sink) g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

GstElement* MakeAudioSink(bool requireDevice) {
    if (const char* chosen = std::getenv("TOME_AUDIO_SINK"); chosen && *chosen) {
        if (std::strcmp(chosen, "fake") == 0) return MakeSilentSink("audio-sink");
        if (GstElement* sink = gst_element_factory_make(chosen, "audio-sink")) return sink;
    }
    GstElement* sink = FirstWorkingSink({std::begin(kAudioSinks), std::end(kAudioSinks)}, "audio-sink");
    if (!sink) return requireDevice ? nullptr : MakeSilentSink("audio-sink");
    // Handed on floating, as a fresh element would be: the pipeline takes it over.
    g_object_force_floating(G_OBJECT(sink));
    return sink;
}

GstElement* MakeWindowVideoSink() {
    std::vector<std::string> choices = {"xvimagesink", "ximagesink"};
    if (const char* chosen = std::getenv("TOME_VIDEO_SINK"); chosen && *chosen) choices.insert(choices.begin(), chosen);
    return FirstWorkingSink(choices, "video-sink");
}

std::string ErrorText(GstMessage* message) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return "";
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error && error->message ? error->message : "media error";
    if (error) g_error_free(error);
    return text;
}

}  // namespace media
