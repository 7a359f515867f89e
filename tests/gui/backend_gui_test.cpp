// The GTK backend's services: desktop geometry, cursors, tooltips, native edit boxes, the queue.
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/forms/application.h"
#include "platform/forms/formdesc.h"
#include "platform/gtk/gtk_backend.h"
#include "platform/gtk/keys.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "tests/gui/demo_form.h"
#include "tests/gui/gui_env.h"
#include "tests/gui/screen.h"

namespace {

// A 32 x 32 cursor file in the .cur layout (an icon directory of type 2 with the hot spot).
std::string CursorFileBytes(int hotX, int hotY) {
    auto le16 = [](std::string& s, int v) { s += char(v & 255); s += char((v >> 8) & 255); };
    auto le32 = [&](std::string& s, uint32_t v) { le16(s, int(v & 0xFFFF)); le16(s, int(v >> 16)); };
    std::string image;
    le32(image, 40); le32(image, 32); le32(image, 64); le16(image, 1); le16(image, 32);
    for (int i = 0; i < 6; ++i) le32(image, 0);
    for (int i = 0; i < 32 * 32; ++i) le32(image, 0xFF000000u | (i % 2 ? 0xFFFFFFu : 0));  // XOR: opaque pixels
    image += std::string(32 * 4, '\0');                                                 // AND mask
    std::string file;
    le16(file, 0); le16(file, 2); le16(file, 1);
    file += char(32); file += char(32); file += char(0); file += char(0);
    le16(file, hotX); le16(file, hotY); le32(file, uint32_t(image.size())); le32(file, 22);
    return file + image;
}

GtkWidget* VisibleTooltip() {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = windows; item; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (gtk_window_get_window_type(window) == GTK_WINDOW_POPUP && gtk_widget_get_visible(GTK_WIDGET(window)) &&
            gtk_window_get_type_hint(window) == GDK_WINDOW_TYPE_HINT_TOOLTIP) {
            found = GTK_WIDGET(window);
        }
    }
    g_list_free(windows);
    return found;
}

std::string TooltipText(GtkWidget* tooltip) {
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(tooltip));
    return label && GTK_IS_LABEL(label) ? gtk_label_get_text(GTK_LABEL(label)) : "";
}

class BackendGuiTest : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_GUI(); }
    void TearDown() override {
        forms::ResetApplication();
        forms::SetResourcesFolder("");
        if (!folder_.empty()) guitest::RemoveScratchFolder(folder_);
    }
    demo::TDemoForm* ShowDemo() {
        forms::SetResourcesFolder(rtl::FromNativePath(TOME_SOURCE_DIR "/resources"));
        auto* form = new demo::TDemoForm(&forms::Application());
        form->Show();
        EXPECT_TRUE(guitest::WaitForPixel(*form, demo::kButtonRect.Left + 2, demo::kButtonRect.Top + 2,
                                          demo::kButtonUpPixel));
        return form;
    }
    std::string folder_;
};

TEST_F(BackendGuiTest, KeysTranslateToVirtualKeysAndCp1251Characters) {
    EXPECT_EQ(gtkui::VirtualKeyOf(GDK_KEY_a, -1), 'A');
    EXPECT_EQ(gtkui::VirtualKeyOf(GDK_KEY_F2, -1), forms::VK_F1 + 1);
    EXPECT_EQ(gtkui::VirtualKeyOf(GDK_KEY_KP_Left, -1), forms::VK_LEFT);
    EXPECT_EQ(gtkui::VirtualKeyOf(GDK_KEY_Return, -1), forms::VK_RETURN);
    EXPECT_EQ(gtkui::ShiftStateOf(GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_BUTTON1_MASK),
              forms::ssCtrl | forms::ssShift | forms::ssLeft);
    EXPECT_EQ(gtkui::CharOf(GDK_KEY_Cyrillic_ya, 0), rtl::Ru("я")[0]);
    EXPECT_EQ(gtkui::CharOf(GDK_KEY_Return, 0), 13);
    EXPECT_EQ(gtkui::CharOf(GDK_KEY_c, GDK_CONTROL_MASK), 3);
    EXPECT_EQ(gtkui::CharOf(GDK_KEY_x, GDK_MOD1_MASK), 0);
    EXPECT_EQ(gtkui::CharOf(GDK_KEY_F1, 0), 0);
    EXPECT_EQ(gtkui::CharOf(0x1F600 | 0x01000000, 0), '?') << "a character cp1251 lacks";
}

TEST_F(BackendGuiTest, WorkAreaLiesWithinTheScreen) {
    forms::TPoint screen = forms::Backend().ScreenSize();
    forms::TRect area = forms::Backend().WorkArea();
    EXPECT_GT(screen.X, 0);
    EXPECT_GT(area.Width(), 0);
    EXPECT_LE(area.Right, screen.X);
    EXPECT_LE(area.Bottom, screen.Y);
}

TEST_F(BackendGuiTest, CursorFilesLoadAndBadOnesGiveTheDefault) {
    folder_ = guitest::MakeScratchFolder("cursor");
    guitest::WriteFile(folder_ + "hand.cur", CursorFileBytes(5, 3));
    guitest::WriteFile(folder_ + "broken.cur", CursorFileBytes(5, 3).substr(0, 30));
    EXPECT_NE(forms::Backend().LoadCursorFromFile(rtl::FromNativePath(folder_ + "HAND.CUR")), nullptr);
    EXPECT_EQ(forms::Backend().LoadCursorFromFile(rtl::FromNativePath(folder_ + "broken.cur")), nullptr);
    EXPECT_EQ(forms::Backend().LoadCursorFromFile(rtl::FromNativePath(folder_ + "missing.cur")), nullptr);
}

TEST_F(BackendGuiTest, HintShowsAsTooltipWithTheControlsCursor) {
    demo::TDemoForm* form = ShowDemo();
    int x = (demo::kButtonRect.Left + demo::kButtonRect.Right) / 2;
    int y = (demo::kButtonRect.Top + demo::kButtonRect.Bottom) / 2;
    guitest::PutMotion(*form, x, y);
    ASSERT_TRUE(guitest::WaitUntil([] { return VisibleTooltip() != nullptr; }));
    EXPECT_EQ(TooltipText(VisibleTooltip()), "Нажмите кнопку");
    GtkWidget* layout = static_cast<GtkWidget*>(form->WindowPeer()->NativeHandle());
    GdkWindow* client = gtk_layout_get_bin_window(GTK_LAYOUT(layout));
    EXPECT_NE(gdk_window_get_cursor(client), nullptr) << "the hand over the button";
    guitest::PutMotion(*form, 5, 300);
    EXPECT_TRUE(guitest::WaitUntil([] { return VisibleTooltip() == nullptr; }));
    EXPECT_TRUE(guitest::WaitUntil([&] { return gdk_window_get_cursor(client) == nullptr; }));
}

TEST_F(BackendGuiTest, EditBoxPeerCarriesLimitAndPasswordCharacter) {
    demo::TDemoForm* form = ShowDemo();
    GtkEntry* entry = GTK_ENTRY(guitest::NativeWidget(*form->search));
    EXPECT_EQ(gtk_entry_get_max_length(entry), 100);
    EXPECT_STREQ(gtk_entry_get_text(entry), "поиск");
    form->search->SetPasswordChar('*');
    EXPECT_FALSE(gtk_entry_get_visibility(entry));
    EXPECT_EQ(gtk_entry_get_invisible_char(entry), gunichar('*'));
    gtk_entry_set_text(entry, "слово");
    EXPECT_EQ(form->search->Text(), rtl::Ru("слово")) << "text typed natively reaches the control";
}

TEST_F(BackendGuiTest, PostedWorkRunsInOrderAndProcessMessagesNests) {
    std::vector<int> order;
    forms::Backend().Post([&] {
        order.push_back(1);
        forms::Backend().ProcessMessages();  // runs the later posts from inside this one
        order.push_back(3);
    });
    forms::Backend().Post([&] { order.push_back(2); });
    ASSERT_TRUE(guitest::WaitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(BackendGuiTest, TimerMayRemoveItselfWhileRunning) {
    int runs = 0;
    int id = 0;
    id = forms::Backend().AddTimer(5, [&] {
        ++runs;
        forms::Backend().RemoveTimer(id);
    });
    guitest::PumpFor(100);
    EXPECT_EQ(runs, 1);
}

}  // namespace
