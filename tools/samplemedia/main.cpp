// samplemedia: makes the sample book's sounds and clip at build time with GStreamer, so that no
// recorded media has to be kept with the sources.
//   samplemedia <background track .mp3> <clip .avi> <click sound .wav>
// The track is a quiet chord of generated tones (MP3), the clip a short generated animation
// (Motion JPEG in AVI, which the player's usual plug-ins decode), the click a short tick (PCM WAVE).
#include <gst/gst.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// The chord's tones at a low volume, mixed; ten seconds, played over and over by the viewer.
const char kTrack[] =
    "audiomixer name=mix ! audioconvert ! lamemp3enc target=bitrate bitrate=96 ! filesink name=sink "
    "audiotestsrc wave=sine freq=220 volume=0.10 num-buffers=100 samplesperbuffer=4410 ! "
    "audio/x-raw,rate=44100,channels=2 ! mix. "
    "audiotestsrc wave=sine freq=277.18 volume=0.07 num-buffers=100 samplesperbuffer=4410 ! "
    "audio/x-raw,rate=44100,channels=2 ! mix. "
    "audiotestsrc wave=sine freq=329.63 volume=0.07 num-buffers=100 samplesperbuffer=4410 ! "
    "audio/x-raw,rate=44100,channels=2 ! mix.";

// A ball moving over a blue ground: every frame differs from the one before. Twelve seconds.
const char kClip[] =
    "videotestsrc pattern=ball background-color=0xFF1E5A8C foreground-color=0xFFF0E6B4 num-buffers=180 ! "
    "video/x-raw,width=320,height=240,framerate=15/1 ! videoconvert ! jpegenc quality=80 ! avimux ! "
    "filesink name=sink";

const char kClick[] =
    "audiotestsrc wave=sine freq=1500 volume=0.5 num-buffers=2 samplesperbuffer=661 ! "
    "audio/x-raw,format=S16LE,rate=22050,channels=1 ! wavenc ! filesink name=sink";

// Runs the pipeline into a temporary file beside target and renames it into place at its end.
bool Make(const char* description, const std::string& target) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description, &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "samplemedia: %s\n", error ? error->message : "no pipeline");
        g_clear_error(&error);
        if (pipeline) gst_object_unref(pipeline);
        return false;
    }
    const std::string temporary = target + ".part";
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_object_set(sink, "location", temporary.c_str(), nullptr);
    gst_object_unref(sink);

    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool done = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (!done && message) {
        gst_message_parse_error(message, &error, nullptr);
        std::fprintf(stderr, "samplemedia: %s: %s\n", target.c_str(), error ? error->message : "failed");
        g_clear_error(&error);
    }
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    std::error_code ignored;
    if (!done) {
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    std::filesystem::rename(temporary, target);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: samplemedia <track.mp3> <clip.avi> <click.wav>\n");
        return 2;
    }
    gst_init(nullptr, nullptr);
    try {
        for (const char* path : {argv[1], argv[2], argv[3]})
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        bool made = Make(kTrack, argv[1]) && Make(kClip, argv[2]) && Make(kClick, argv[3]);
        return made ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "samplemedia: %s\n", e.what());
        return 1;
    }
}
