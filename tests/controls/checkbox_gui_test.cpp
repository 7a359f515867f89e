// The check box on the GTK backend: a native check button whose clicks reach the control once,
// whose state follows the control, and which draws no background over the form's picture.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "controls/bztCheckBoxT.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/menus.h"
#include "platform/gtk/gtk_backend.h"

using namespace controls;

namespace {

bool StartGtk() {
    static const bool started = gtkui::InstallGtkBackend();
    return started;
}

void Pump() {
    for (int i = 0; i < 20; ++i) forms::Backend().ProcessMessages();
}

// Pumps until done() holds, at most five seconds.
bool PumpUntil(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        forms::Backend().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The pixel (0x00RRGGBB) of the form's window at a client point, as the X server shows it.
uint32_t ScreenPixel(forms::TForm& form, int x, int y) {
    auto* layout = static_cast<GtkWidget*>(form.WindowPeer()->NativeHandle());
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(layout));
    if (!window || !gdk_window_is_viewable(window)) return 0xFF000000u;
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, x, y, 1, 1);
    if (!shot) return 0xFF000000u;
    const guchar* p = gdk_pixbuf_read_pixels(shot);
    uint32_t pixel = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    g_object_unref(shot);
    return pixel;
}

// The input window GTK gave a button inside the form's layout.
GdkWindow* EventWindowOf(GtkWidget* button) {
    GtkWidget* layout = gtk_widget_get_parent(button);
    for (GList* child = gdk_window_peek_children(gtk_layout_get_bin_window(GTK_LAYOUT(layout))); child;
         child = child->next) {
        gpointer owner = nullptr;
        gdk_window_get_user_data(GDK_WINDOW(child->data), &owner);
        if (owner == button) return GDK_WINDOW(child->data);
    }
    return nullptr;
}

// A press or release of a mouse button at a point of the window, as the X server sends it.
void PutButton(GdkWindow* window, bool press, int x, int y, guint button = 1) {
    int originX = 0, originY = 0;
    gdk_window_get_origin(window, &originX, &originY);
    GdkEvent* event = gdk_event_new(press ? GDK_BUTTON_PRESS : GDK_BUTTON_RELEASE);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.send_event = TRUE;
    event->button.time = guint32(g_get_monotonic_time() / 1000);
    event->button.x = x;
    event->button.y = y;
    event->button.x_root = originX + x;
    event->button.y_root = originY + y;
    event->button.button = button;
    event->button.state = press ? 0 : (button == 3 ? GDK_BUTTON3_MASK : GDK_BUTTON1_MASK);
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_event_put(event);
    gdk_event_free(event);
}

// A key press on the form's window, as the X server sends it.
void PutKey(forms::TForm& form, guint keyval) {
    auto* layout = static_cast<GtkWidget*>(form.WindowPeer()->NativeHandle());
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(layout));
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.send_event = TRUE;
    event->key.time = guint32(g_get_monotonic_time() / 1000);
    event->key.keyval = keyval;
    event->key.hardware_keycode = 0;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_event_put(event);
    gdk_event_free(event);
}

// The popup menu GTK shows, if any.
GtkMenu* ShownMenu() {
    GtkMenu* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item && !found; item = item->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(item->data));
        if (child && GTK_IS_MENU(child) && gtk_widget_get_mapped(child)) found = GTK_MENU(child);
    }
    g_list_free(windows);
    return found;
}

class GtkCheckBox : public ::testing::Test {
protected:
    forms::TForm* form = nullptr;
    TbztCheckBoxT* box = nullptr;
    int clicks = 0;

    void SetUp() override {
        if (!StartGtk()) GTEST_SKIP() << "no X display";
        form = new forms::TForm(&forms::Application());
        form->SetBounds(50, 50, 120, 80);
        box = new TbztCheckBoxT(form);
        box->SetParent(form);
        box->SetBounds(10, 10, 17, 17);
        box->OnClick = [this](forms::TObject*) { ++clicks; };
        form->Show();
        Pump();
    }
    void TearDown() override {
        if (form) form->Free();
        if (StartGtk()) Pump();
    }
    GtkWidget* Button() const { return static_cast<GtkWidget*>(box->Peer()->NativeHandle()); }
    bool Active() const { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Button())); }
};

}  // namespace

TEST_F(GtkCheckBox, TheBoxHasANativeCheckButton) {
    ASSERT_NE(box->Peer(), nullptr);
    EXPECT_TRUE(GTK_IS_CHECK_BUTTON(Button()));
    EXPECT_FALSE(Active());
}

TEST_F(GtkCheckBox, AClickOnTheButtonTogglesOnce) {
    gtk_button_clicked(GTK_BUTTON(Button()));
    Pump();
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(Active());
    EXPECT_EQ(clicks, 1);
    gtk_button_clicked(GTK_BUTTON(Button()));
    EXPECT_FALSE(box->Checked());
    EXPECT_FALSE(Active());
    EXPECT_EQ(clicks, 2);
}

TEST_F(GtkCheckBox, StateFromCodeShowsWithoutAnExtraClick) {
    box->SetChecked(true);
    Pump();
    EXPECT_TRUE(Active());
    EXPECT_EQ(clicks, 1);
    box->SetState(cbGrayed);
    EXPECT_TRUE(gtk_toggle_button_get_inconsistent(GTK_TOGGLE_BUTTON(Button())));
    EXPECT_EQ(clicks, 2);
}

TEST_F(GtkCheckBox, RefusedClickRestoresTheButton) {
    box->ClicksDisabled = true;
    gtk_button_clicked(GTK_BUTTON(Button()));
    EXPECT_FALSE(box->Checked());
    EXPECT_FALSE(Active());
    EXPECT_EQ(clicks, 0);
}

TEST_F(GtkCheckBox, AllowGrayedCyclesThroughTheInconsistentLook) {
    box->AllowGrayed = true;
    gtk_button_clicked(GTK_BUTTON(Button()));
    EXPECT_EQ(box->State(), cbGrayed);
    EXPECT_TRUE(gtk_toggle_button_get_inconsistent(GTK_TOGGLE_BUTTON(Button())));
    gtk_button_clicked(GTK_BUTTON(Button()));
    EXPECT_EQ(box->State(), cbChecked);
    EXPECT_FALSE(gtk_toggle_button_get_inconsistent(GTK_TOGGLE_BUTTON(Button())));
    EXPECT_TRUE(Active());
}

TEST_F(GtkCheckBox, APointerClickTogglesOnce) {
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(Button()); }));
    GdkWindow* input = EventWindowOf(Button());
    ASSERT_NE(input, nullptr);
    PutButton(input, true, 8, 8);
    PutButton(input, false, 8, 8);
    ASSERT_TRUE(PumpUntil([&] { return clicks > 0; }));
    Pump();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(Active());
}

// The button paints its mark only: the form's colour shows around it.
TEST_F(GtkCheckBox, TheFormShowsThroughAroundTheMark) {
    form->SetColor(forms::clRed);
    form->Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(*form, 60, 60) == 0xFF0000u; }));
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(Button()); }));
    Pump();
    int red = 0, other = 0;
    for (int y = 10; y < 27; ++y)
        for (int x = 10; x < 27; ++x) (ScreenPixel(*form, x, y) == 0xFF0000u ? red : other)++;
    EXPECT_GT(red, 0);
    EXPECT_GT(other, 0);
}

TEST_F(GtkCheckBox, AHandlerThatFreesTheFormIsSafe) {
    box->OnClick = [this](forms::TObject*) {
        form->Free();
        form = nullptr;
    };
    gtk_button_clicked(GTK_BUTTON(Button()));
    Pump();
    EXPECT_EQ(form, nullptr);
}

// A letter typed while the native button has the focus reaches the caption's accelerator.
TEST_F(GtkCheckBox, TheAcceleratorWorksFromTheKeyboard) {
    box->SetCaption("&Proxy");
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(Button()); }));
    box->SetFocus();
    ASSERT_EQ(gtk_window_get_focus(GTK_WINDOW(gtk_widget_get_toplevel(Button()))), Button());
    PutKey(*form, GDK_KEY_p);
    ASSERT_TRUE(PumpUntil([&] { return clicks > 0; }));
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(Active());
    EXPECT_EQ(clicks, 1);
}

// A right click on the form pops its menu up as a GtkMenu; activating an entry runs the item.
TEST_F(GtkCheckBox, ARightClickPopsTheMenuUp) {
    auto* menu = new forms::TPopupMenu(form);
    auto* item = new forms::TMenuItem(form);
    item->Caption = "&Open";
    int picked = 0;
    item->OnClick = [&](forms::TObject*) { ++picked; };
    menu->Add(item);
    form->SetPopupMenu(menu);
    auto* layout = static_cast<GtkWidget*>(form->WindowPeer()->NativeHandle());
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(layout); }));
    GdkWindow* surface = gtk_layout_get_bin_window(GTK_LAYOUT(layout));
    PutButton(surface, true, 80, 60, 3);
    PutButton(surface, false, 80, 60, 3);
    ASSERT_TRUE(PumpUntil([] { return ShownMenu() != nullptr; }));
    GList* entries = gtk_container_get_children(GTK_CONTAINER(ShownMenu()));
    ASSERT_EQ(g_list_length(entries), 1u);
    GtkWidget* entry = GTK_WIDGET(entries->data);
    g_list_free(entries);
    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(entry)), "_Open");
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(ShownMenu()), entry, TRUE);
    ASSERT_TRUE(PumpUntil([&] { return picked > 0; }));
    EXPECT_TRUE(PumpUntil([] { return ShownMenu() == nullptr; }));
    EXPECT_EQ(picked, 1);
}

// A right click on the native button reaches the box's OnContextPopup at the box's own point.
TEST_F(GtkCheckBox, ARightClickOnTheButtonAsksTheBoxForItsMenu) {
    std::vector<forms::TPoint> asked;
    box->OnContextPopup = [&](forms::TObject*, forms::TPoint p, bool& handled) {
        asked.push_back(p);
        handled = true;
    };
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(Button()); }));
    GdkWindow* input = EventWindowOf(Button());
    ASSERT_NE(input, nullptr);
    PutButton(input, true, 6, 7, 3);
    PutButton(input, false, 6, 7, 3);
    ASSERT_TRUE(PumpUntil([&] { return !asked.empty(); }));
    EXPECT_EQ(asked[0], (forms::TPoint{6, 7}));
    EXPECT_EQ(clicks, 0);
}
