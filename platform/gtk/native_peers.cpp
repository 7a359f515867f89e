#include "platform/gtk/native_peers.h"

#include <cstdio>
#include <string>

#include "platform/forms/edit.h"
#include "platform/forms/font.h"
#include "platform/forms/panel.h"
#include "platform/gtk/child_peer.h"
#include "platform/rtl/codepage.h"

namespace gtkui {
namespace {

std::string CssColor(forms::TColor color) {
    uint32_t rgb = forms::ColorToPixel(color);
    char text[16];
    std::snprintf(text, sizeof text, "#%06x", unsigned(rgb & 0xFFFFFF));
    return text;
}

// A CSS provider owned by one widget, replaced whenever its style changes.
class WidgetStyle {
public:
    explicit WidgetStyle(GtkWidget* widget) : provider_(gtk_css_provider_new()) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider_),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    }
    ~WidgetStyle() { g_object_unref(provider_); }
    WidgetStyle(const WidgetStyle&) = delete;
    WidgetStyle& operator=(const WidgetStyle&) = delete;
    void Set(const std::string& css) { gtk_css_provider_load_from_data(provider_, css.c_str(), -1, nullptr); }

private:
    GtkCssProvider* provider_;
};

class GtkEditPeer : public GtkChildPeer<forms::IEditPeer> {
public:
    GtkEditPeer(forms::TEdit& edit, forms::IWindowPeer& window)
        : GtkChildPeer(gtk_entry_new(), window, edit), edit_(edit), style_(Widget()) {
        gtk_entry_set_width_chars(Entry(), 1);
        g_signal_connect(Widget(), "changed", G_CALLBACK(OnChanged), this);
        Restyle();
    }

    void SetText(const std::string& text) override {
        updating_ = true;
        gtk_entry_set_text(Entry(), rtl::Cp1251ToUtf8(text).c_str());
        updating_ = false;
    }
    void SetMaxLength(int maxLength) override { gtk_entry_set_max_length(Entry(), maxLength > 0 ? maxLength : 0); }
    void SetPasswordChar(char passwordChar) override {
        gtk_entry_set_visibility(Entry(), passwordChar == 0);
        if (passwordChar != 0) {
            gtk_entry_set_invisible_char(Entry(), rtl::Cp1251ToCodePoint(static_cast<unsigned char>(passwordChar)));
        }
    }
    void SetColors(forms::TColor background, forms::TColor foreground) override {
        background_ = background;
        foreground_ = foreground;
        Restyle();
    }
    void SetFont(const forms::TFont& font) override {
        font_ = font;
        Restyle();
    }
    void SetBorder(bool visible) override {
        border_ = visible;
        Restyle();
    }
    void SelectAll() override { gtk_editable_select_region(GTK_EDITABLE(Widget()), 0, -1); }

private:
    GtkEntry* Entry() const { return GTK_ENTRY(Widget()); }

    // Edit boxes on skinned windows are small and flat: no theme padding, frame or rounding.
    void Restyle() {
        int pixels = font_.Height() < 0 ? -font_.Height() : font_.Height();
        std::string css = "entry { min-height: 0; padding: 0 1px; border-radius: 0; box-shadow: none; "
                          "background-image: none; outline: none;";
        css += " background-color: " + CssColor(background_) + "; color: " + CssColor(foreground_) + ";";
        css += " font-family: \"" + rtl::Cp1251ToUtf8(font_.Name) + "\", sans-serif;";
        css += " font-size: " + std::to_string(pixels > 0 ? pixels : 11) + "px;";
        css += border_ ? " border: 1px solid #7f9db9; }" : " border: none; }";
        style_.Set(css);
    }

    static void OnChanged(GtkEditable* editable, gpointer self) {
        auto* peer = static_cast<GtkEditPeer*>(self);
        if (peer->updating_) return;
        std::string text = rtl::Utf8ToCp1251(gtk_entry_get_text(GTK_ENTRY(editable)));
        forms::SafeCall(&peer->edit_, [&] { peer->edit_.PeerTextChanged(text); });
    }

    forms::TEdit& edit_;
    WidgetStyle style_;
    forms::TFont font_;
    forms::TColor background_ = forms::clWindow;
    forms::TColor foreground_ = forms::clWindowText;
    bool border_ = true;
    bool updating_ = false;
};

class GtkPanelPeer : public GtkChildPeer<forms::IPanelPeer> {
public:
    GtkPanelPeer(forms::TPanel& panel, forms::IWindowPeer& window)
        : GtkChildPeer(gtk_drawing_area_new(), window, panel) {
        g_signal_connect(Widget(), "draw", G_CALLBACK(OnDraw), this);
    }
    void SetColor(forms::TColor color) override {
        color_ = color;
        gtk_widget_queue_draw(Widget());
    }

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
        uint32_t rgb = forms::ColorToPixel(static_cast<GtkPanelPeer*>(self)->color_);
        cairo_set_source_rgb(cr, ((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0);
        cairo_paint(cr);
        return FALSE;
    }
    forms::TColor color_ = forms::clBtnFace;
};

}  // namespace

std::unique_ptr<forms::IEditPeer> NewEditPeer(forms::TEdit& edit, forms::IWindowPeer& window) {
    return std::make_unique<GtkEditPeer>(edit, window);
}

std::unique_ptr<forms::IPanelPeer> NewPanelPeer(forms::TPanel& panel, forms::IWindowPeer& window) {
    return std::make_unique<GtkPanelPeer>(panel, window);
}

}  // namespace gtkui
