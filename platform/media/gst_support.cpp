#include "platform/media/gst_support.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace media {
namespace {

// The element an automatic sink settled on, found once it is ready.
bool AutoSinkFoundDevice(GstElement* autoSink) {
    bool device = false;
    GstIterator* children = gst_bin_iterate_elements(GST_BIN(autoSink));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(child);
        const char* name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "";
        if (std::strcmp(name, "fakesink") != 0) device = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return device;
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
    GstElement* sink = gst_element_factory_make("autoaudiosink", "audio-sink");
    if (!sink) return requireDevice ? nullptr : MakeSilentSink("audio-sink");
    if (!requireDevice) return sink;  // it falls back to a silent sink by itself
    gst_object_ref_sink(sink);
    const bool ready = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    const bool device = ready && AutoSinkFoundDevice(sink);
    gst_element_set_state(sink, GST_STATE_NULL);
    if (!device) {
        gst_object_unref(sink);
        return nullptr;
    }
    // Hand it back floating, as a fresh element would be.
    GstElement* fresh = gst_element_factory_make("autoaudiosink", "audio-sink");
    gst_object_unref(sink);
    return fresh;
}

GstElement* MakeWindowVideoSink() {
    std::vector<std::string> choices = {"xvimagesink", "ximagesink"};
    if (const char* chosen = std::getenv("TOME_VIDEO_SINK"); chosen && *chosen) choices.insert(choices.begin(), chosen);
    for (const std::string& name : choices) {
        GstElement* sink = gst_element_factory_make(name.c_str(), "video-sink");
        if (!sink) continue;
        gst_object_ref_sink(sink);
        const bool ready = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        gst_element_set_state(sink, GST_STATE_NULL);
        if (ready) return sink;  // a full reference, no longer floating
        gst_object_unref(sink);
    }
    return nullptr;
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
