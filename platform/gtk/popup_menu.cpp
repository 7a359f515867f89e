#include "platform/gtk/popup_menu.h"

#include <memory>

#include "platform/forms/application.h"
#include "platform/gtk/mnemonic.h"

namespace gtkui {
namespace {

struct Pick {
    std::shared_ptr<std::function<void(int)>> chosen;
    int index;
};

void OnActivate(GtkMenuItem*, gpointer data) {
    auto* pick = static_cast<Pick*>(data);
    std::shared_ptr<std::function<void(int)>> chosen = pick->chosen;  // the handler may free the menu
    int index = pick->index;
    forms::SafeCall(nullptr, [&] { (*chosen)(index); });
}

void FreePick(gpointer data, GClosure*) { delete static_cast<Pick*>(data); }

gboolean DestroyMenu(gpointer menu) {
    gtk_widget_destroy(GTK_WIDGET(menu));
    g_object_unref(menu);
    return G_SOURCE_REMOVE;
}

// The menu closes before its item activates: it goes once the activation has run.
void OnDeactivate(GtkMenuShell* menu, gpointer) { g_idle_add(DestroyMenu, menu); }

GtkWidget* NewItem(const forms::TMenuEntry& entry) {
    if (entry.caption == "-") return gtk_separator_menu_item_new();
    std::string label = MnemonicLabel(entry.caption);
    if (!entry.checked) return gtk_menu_item_new_with_mnemonic(label.c_str());
    GtkWidget* item = gtk_check_menu_item_new_with_mnemonic(label.c_str());
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
    return item;
}

}  // namespace

void ShowPopupMenu(GtkWidget* layout, forms::TPoint clientPos, const std::vector<forms::TMenuEntry>& entries,
                   std::function<void(int)> chosen) {
    if (!gtk_widget_get_realized(layout)) return;
    auto shared = std::make_shared<std::function<void(int)>>(std::move(chosen));
    GtkWidget* menu = gtk_menu_new();
    g_object_ref_sink(menu);
    gtk_menu_attach_to_widget(GTK_MENU(menu), layout, nullptr);
    for (size_t i = 0; i < entries.size(); ++i) {
        GtkWidget* item = NewItem(entries[i]);
        gtk_widget_set_sensitive(item, entries[i].enabled);
        if (entries[i].caption != "-")
            g_signal_connect_data(item, "activate", G_CALLBACK(OnActivate), new Pick{shared, int(i)}, FreePick,
                                  GConnectFlags(0));
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    g_signal_connect(menu, "deactivate", G_CALLBACK(OnDeactivate), nullptr);
    gtk_widget_show_all(menu);
    GdkEvent* current = gtk_get_current_event();
    GdkEventType type = current ? gdk_event_get_event_type(current) : GDK_NOTHING;
    if (type == GDK_BUTTON_PRESS || type == GDK_BUTTON_RELEASE) {
        gtk_menu_popup_at_pointer(GTK_MENU(menu), current);
    } else {
        GdkRectangle at{clientPos.X, clientPos.Y, 1, 1};
        gtk_menu_popup_at_rect(GTK_MENU(menu), gtk_widget_get_window(layout), &at, GDK_GRAVITY_NORTH_WEST,
                               GDK_GRAVITY_NORTH_WEST, current);
    }
    if (current) gdk_event_free(current);
}

}  // namespace gtkui
