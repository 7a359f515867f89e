// A GtkComboBoxText over the form's raster; the user's choice goes to the control.
#include "platform/gtk/combobox_peer.h"

#include <memory>
#include <string>

#include "platform/gtk/child_peer.h"
#include "platform/rtl/codepage.h"

namespace gtkui {
namespace {

class GtkComboBoxPeer : public GtkChildPeer<forms::IComboBoxPeer> {
public:
    GtkComboBoxPeer(forms::TWinControl& control, forms::IWindowPeer& window)
        : GtkChildPeer(gtk_combo_box_text_new(), window, control),
          sink_(dynamic_cast<forms::IComboBoxPeerSink*>(&control)), provider_(gtk_css_provider_new()) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(Widget()), GTK_STYLE_PROVIDER(provider_),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        g_signal_connect(Widget(), "changed", G_CALLBACK(OnChanged), this);
        Restyle();
    }
    ~GtkComboBoxPeer() override { g_object_unref(provider_); }

    void SetItems(const std::vector<std::string>& items) override {
        updating_ = true;
        gtk_combo_box_text_remove_all(Combo());
        for (const std::string& item : items) gtk_combo_box_text_append_text(Combo(), rtl::Cp1251ToUtf8(item).c_str());
        updating_ = false;
    }
    void SetItemIndex(int index) override {
        updating_ = true;
        gtk_combo_box_set_active(GTK_COMBO_BOX(Widget()), index);
        updating_ = false;
    }
    void SetFont(const forms::TFont& font) override {
        font_ = font;
        Restyle();
    }

private:
    GtkComboBoxText* Combo() const { return GTK_COMBO_BOX_TEXT(Widget()); }

    // Small lists on skinned windows: no theme padding beyond what the text needs.
    void Restyle() {
        int pixels = font_.Height() < 0 ? -font_.Height() : font_.Height();
        std::string css = "combobox, combobox button { min-height: 0; padding-top: 0; padding-bottom: 0; }";
        css += " combobox { font-family: \"" + rtl::Cp1251ToUtf8(font_.Name) + "\", sans-serif;";
        css += " font-size: " + std::to_string(pixels > 0 ? pixels : 11) + "px; }";
        gtk_css_provider_load_from_data(provider_, css.c_str(), -1, nullptr);
    }

    static void OnChanged(GtkComboBox* combo, gpointer self) {
        auto* peer = static_cast<GtkComboBoxPeer*>(self);
        if (peer->updating_ || !peer->sink_) return;
        const int index = gtk_combo_box_get_active(combo);
        forms::IComboBoxPeerSink* sink = peer->sink_;
        forms::SafeCall(&peer->Control(), [sink, index] { sink->PeerSelected(index); });
    }

    forms::IComboBoxPeerSink* sink_;
    GtkCssProvider* provider_;
    forms::TFont font_;
    bool updating_ = false;
};

}  // namespace

std::unique_ptr<forms::IComboBoxPeer> NewComboBoxPeer(forms::TWinControl& control, forms::IWindowPeer& window) {
    return std::make_unique<GtkComboBoxPeer>(control, window);
}

}  // namespace gtkui
