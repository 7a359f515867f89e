// Text on canvases through Pango on a cairo image surface laid over the bitmap's pixels.
#include <pango/pangocairo.h>

#include <memory>

#include "platform/forms/bitmap.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/codepage.h"

namespace forms {

namespace {

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoPtr = std::unique_ptr<cairo_t, CairoDeleter>;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

LayoutPtr MakeLayout(cairo_t* cr, const TFont& font, const std::string& text) {
    LayoutPtr layout(pango_cairo_create_layout(cr));
    PangoFontDescription* desc = pango_font_description_new();
    std::string family = rtl::Cp1251ToUtf8(font.Name);
    pango_font_description_set_family(desc, (family + ",Sans").c_str());
    int pixels = font.Height() < 0 ? -font.Height() : font.Height();
    pango_font_description_set_absolute_size(desc, double(std::max(pixels, 1)) * PANGO_SCALE);
    pango_font_description_set_weight(desc, (font.Style & fsBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, (font.Style & fsItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout.get(), desc);
    pango_font_description_free(desc);
    if (font.Style & (fsUnderline | fsStrikeOut)) {
        PangoAttrList* attrs = pango_attr_list_new();
        if (font.Style & fsUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (font.Style & fsStrikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(layout.get(), attrs);
        pango_attr_list_unref(attrs);
    }
    std::string utf8 = rtl::Cp1251ToUtf8(text);
    pango_layout_set_text(layout.get(), utf8.c_str(), int(utf8.size()));
    return layout;
}

// A context for measuring only.
cairo_t* MeasureContext() {
    static SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
    static CairoPtr cr(cairo_create(surface.get()));
    return cr.get();
}

}  // namespace

TPoint TCanvas::TextExtent(const std::string& text) {
    LayoutPtr layout = MakeLayout(MeasureContext(), Font, text);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout.get(), &w, &h);
    return TPoint{w, h};
}

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).X; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).Y; }

void TCanvas::TextOut(int x, int y, const std::string& text) {
    TPoint size = TextExtent(text);
    TextRect(Bounds(x, y, size.X, size.Y), x, y, text);
    FPenPos = TPoint{x + size.X, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    TRect clip = IntersectRect(OffsetRect(r, FOrigin.X, FOrigin.Y), OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y));
    if (clip.IsEmpty() || FTarget.Empty()) return;
    if (Brush.Style != bsClear) {
        TRect saved = FClip;
        bool savedSet = FClipSet;
        SetClipRect(clip);
        FillRect(r);
        FClip = saved;
        FClipSet = savedSet;
    }
    SurfacePtr surface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(FTarget.Data()),
                                                           CAIRO_FORMAT_RGB24, FTarget.Width(), FTarget.Height(),
                                                           FTarget.Width() * 4));
    CairoPtr cr(cairo_create(surface.get()));
    cairo_rectangle(cr.get(), clip.Left, clip.Top, clip.Width(), clip.Height());
    cairo_clip(cr.get());
    uint32_t pixel = ColorToPixel(Font.Color);
    cairo_set_source_rgb(cr.get(), ((pixel >> 16) & 255) / 255.0, ((pixel >> 8) & 255) / 255.0, (pixel & 255) / 255.0);
    LayoutPtr layout = MakeLayout(cr.get(), Font, text);
    cairo_move_to(cr.get(), x + FOrigin.X, y + FOrigin.Y);
    pango_cairo_show_layout(cr.get(), layout.get());
    cairo_surface_flush(surface.get());
    cr.reset();
    surface.reset();
    // cairo may fill the unused top byte; the raster keeps it zero.
    for (int ty = clip.Top; ty < clip.Bottom; ++ty) {
        uint32_t* row = FTarget.ScanLine(ty);
        for (int tx = clip.Left; tx < clip.Right; ++tx) row[tx] &= 0x00FFFFFF;
    }
}

}  // namespace forms

// Fontconfig keeps its configuration for the life of the process and never frees it; leak checks
// of programs that draw text would otherwise report it. Weak, so a program may supply its own.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
