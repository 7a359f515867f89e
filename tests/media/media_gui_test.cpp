// A clip shown through the GTK backend: the video goes into the display panel's own native window,
// and the medium still reports its end. Runs under an X server (label gui).
#include <gtk/gtk.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "media_files.h"
#include "tests/gui/gui_env.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/panel.h"
#include "platform/gtk/gtk_backend.h"
#include "platform/media/gst_player.h"
#include "platform/media/gst_support.h"
#include "platform/media/mediaplayer.h"
#include "platform/media/system_media.h"

using namespace forms;

namespace {

using guitest::WaitUntil;

// The colour the screen shows at a point of a native window (0x00RRGGBB; 0xFF000000 when unknown).
uint32_t ScreenPixel(GdkWindow* window, int x, int y) {
    int originX = 0, originY = 0;
    gdk_window_get_origin(window, &originX, &originY);
    GdkPixbuf* pixel = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), originX + x, originY + y, 1, 1);
    if (!pixel) return 0xFF000000u;
    const guchar* p = gdk_pixbuf_get_pixels(pixel);
    const uint32_t rgb = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    g_object_unref(pixel);
    return rgb;
}

bool IsRed(uint32_t rgb) { return (rgb >> 24) == 0 && ((rgb >> 16) & 255) > 200 && ((rgb >> 8) & 255) < 60 && (rgb & 255) < 60; }

bool MakeRedClip(const std::string& path) {
    const std::string description =
        "videotestsrc pattern=red num-buffers=50 ! video/x-raw,width=320,height=240,framerate=10/1 ! jpegenc ! "
        "avimux ! filesink location=\"" + path + "\"";
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    if (!pipeline) return false;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end) gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

class MediaGui : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("NO_AT_BRIDGE", "1", 0);
        if (!gtkui::InstallGtkBackend()) GTEST_SKIP() << "no X display";
        ASSERT_TRUE(media::EnsureGStreamer());
        setenv("TOME_AUDIO_SINK", "fake", 1);
        media::UseSystemMedia();
        if (!MakeRedClip(folder.Native() + "clip.avi")) GTEST_SKIP() << "cannot make an MJPEG clip";

        form = new TForm(&Application());
        form->SetBounds(40, 40, 400, 300);
        panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetBounds(40, 30, 320, 240);
        panel->BevelOuter = bvNone;
        panel->SetColor(clBlue);
        form->Show();
        widget = static_cast<GtkWidget*>(panel->Peer() ? panel->Peer()->NativeHandle() : nullptr);
        ASSERT_NE(widget, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return gtk_widget_get_mapped(widget); }));

        player = new TMediaPlayer(form);
        player->OnNotify = [&](TObject*) { reports.push_back(player->NotifyValue); };
        player->SetDisplay(panel);
        player->FileName = folder.WinPath("clip.avi");
    }
    void TearDown() override {
        delete form;
        unsetenv("TOME_AUDIO_SINK");
        SetMediaPeerFactory(nullptr);
    }

    mediatest::ScratchFolder folder;
    TForm* form = nullptr;
    TPanel* panel = nullptr;
    GtkWidget* widget = nullptr;
    TMediaPlayer* player = nullptr;
    std::vector<TMPNotifyValues> reports;
};

TEST_F(MediaGui, ClipPlaysInsideTheDisplayPanel) {
    player->Open();
    EXPECT_NE(static_cast<media::GstMediaPeer*>(player->Peer())->VideoWindowHandle(), 0u);
    player->SetDisplayRect(TRect{0, 0, 320, 240});
    player->Play();

    GdkWindow* window = gtk_widget_get_window(widget);
    EXPECT_TRUE(WaitUntil([&] { return IsRed(ScreenPixel(window, 160, 120)); }, 3000))
        << std::hex << "the panel's centre shows " << ScreenPixel(window, 160, 120);
    player->SetDisplayRect(TRect{160, 0, 160, 240});  // the right half only
    EXPECT_TRUE(WaitUntil([&] { return !IsRed(ScreenPixel(window, 40, 120)) && IsRed(ScreenPixel(window, 240, 120)); },
                          2000))
        << std::hex << ScreenPixel(window, 40, 120) << " " << ScreenPixel(window, 240, 120);
    EXPECT_TRUE(WaitUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});
}

TEST_F(MediaGui, FreeingTheDisplayWhilePlayingIsSafe) {
    player->Open();
    player->Play();
    GdkWindow* window = gtk_widget_get_window(widget);
    ASSERT_TRUE(WaitUntil([&] { return IsRed(ScreenPixel(window, 160, 120)); }, 3000));
    delete panel;
    EXPECT_EQ(player->Display(), nullptr);
    EXPECT_EQ(player->Mode(), mpNotReady);
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvAborted});
}

}  // namespace
