// A GtkCheckButton over the form's raster. It draws no background of its own, so the picture
// behind it shows through; its clicks go to the control, which decides the state the button shows.
#include "platform/gtk/checkbox_peer.h"

#include <memory>
#include <string>

#include "platform/gtk/child_peer.h"
#include "platform/gtk/mnemonic.h"
#include "platform/rtl/codepage.h"

namespace gtkui {
namespace {

class GtkCheckBoxPeer : public GtkChildPeer<forms::ICheckBoxPeer> {
public:
    GtkCheckBoxPeer(forms::TWinControl& control, forms::IWindowPeer& window)
        : GtkChildPeer(gtk_check_button_new_with_mnemonic(""), window, control),
          sink_(dynamic_cast<forms::ICheckBoxPeerSink*>(&control)), provider_(gtk_css_provider_new()) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(Widget()), GTK_STYLE_PROVIDER(provider_),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        g_signal_connect(Widget(), "clicked", G_CALLBACK(OnClicked), this);
        Restyle();
    }
    ~GtkCheckBoxPeer() override {
        *alive_ = false;
        g_object_unref(provider_);
    }

    void SetState(forms::TCheckBoxPeerState state) override {
        updating_ = true;
        gtk_toggle_button_set_inconsistent(Toggle(), state == forms::cpsGrayed);
        gtk_toggle_button_set_active(Toggle(), state == forms::cpsChecked);
        updating_ = false;
    }
    void SetCaption(const std::string& caption) override {
        gtk_button_set_label(GTK_BUTTON(Widget()), MnemonicLabel(caption).c_str());
    }
    void SetLayout(bool captionLeft, bool wordWrap) override {
        gtk_widget_set_direction(Widget(), captionLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
        if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(Widget())); label && GTK_IS_LABEL(label))
            gtk_label_set_line_wrap(GTK_LABEL(label), wordWrap);
    }
    void SetFont(const forms::TFont& font) override {
        font_ = font;
        Restyle();
    }

private:
    GtkToggleButton* Toggle() const { return GTK_TOGGLE_BUTTON(Widget()); }

    // No background, frame or padding: the box sits on skinned pictures at its designed size.
    void Restyle() {
        int pixels = font_.Height() < 0 ? -font_.Height() : font_.Height();
        std::string css = "checkbutton { background: none; border: none; box-shadow: none; padding: 0; margin: 0;"
                          " min-height: 0; min-width: 0;";
        css += " font-family: \"" + rtl::Cp1251ToUtf8(font_.Name) + "\", sans-serif;";
        css += " font-size: " + std::to_string(pixels > 0 ? pixels : 11) + "px; }";
        css += " checkbutton check { margin: 0; }";
        gtk_css_provider_load_from_data(provider_, css.c_str(), -1, nullptr);
    }

    static void OnClicked(GtkButton*, gpointer self) {
        auto* peer = static_cast<GtkCheckBoxPeer*>(self);
        if (peer->updating_ || !peer->sink_) return;
        forms::TCheckBoxPeerState shown = forms::cpsUnchecked;
        bool answered = false;
        std::shared_ptr<bool> alive = peer->alive_;
        forms::SafeCall(&peer->Control(), [&] {
            shown = peer->sink_->PeerClicked();
            answered = true;
        });
        // GTK has already flipped the button; show what the control decided instead. A handler
        // that freed the control took the peer with it, so nothing may be touched then.
        if (*alive && answered) peer->SetState(shown);
    }

    forms::ICheckBoxPeerSink* sink_;
    GtkCssProvider* provider_;
    forms::TFont font_;
    bool updating_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace

std::unique_ptr<forms::ICheckBoxPeer> NewCheckBoxPeer(forms::TWinControl& control, forms::IWindowPeer& window) {
    return std::make_unique<GtkCheckBoxPeer>(control, window);
}

}  // namespace gtkui
