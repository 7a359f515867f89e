// Scenes of the page illustrations and splash pictures, drawn in design units of 320 x 200 (the
// emblem in 200 x 200) and scaled to the picture asked for.
#include <cmath>
#include <cstdint>
#include <functional>

#include "platform/rtl/codepage.h"
#include "tools/bookpack/art.h"
#include "tools/bookpack/paint.h"

namespace bookpack {

namespace {

using forms::TBitmap;
using rtl::Ru;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDesignWidth = 320;
constexpr double kDesignHeight = 200;

// One scene being drawn: its picture and shapes in design units.
class TCanvasScene {
public:
    TCanvasScene(int width, int height, double designWidth = kDesignWidth, double designHeight = kDesignHeight)
        : Picture(width, height), FSx(width / designWidth), FSy(height / designHeight) {}

    TShape Shape() const {
        TShape s(Picture.Width(), Picture.Height());
        s.Scale(FSx, FSy);
        return s;
    }
    // Fills with a colour per design row (0 = top).
    void Rows(double from, double to, const std::function<uint32_t(double)>& colourAtRow) {
        for (int y = 0; y < Picture.Height(); ++y) {
            double dy = (y + 0.5) / FSy;
            if (dy < from || dy >= to) continue;
            uint32_t pixel = colourAtRow(dy);
            for (int x = 0; x < Picture.Width(); ++x) Picture.SetPixel(x, y, pixel);
        }
    }
    void Gradient(double from, double to, uint32_t top, uint32_t bottom) {
        Rows(from, to, [=](double y) { return Mix(top, bottom, (y - from) / (to - from)); });
    }
    void Fill(const TShape& s, uint32_t colour, double opacity = 1.0) { s.Paint(Picture, colour, 0, 0, opacity); }
    // A colour that changes with the design row.
    void FillRows(const TShape& s, double from, double to, uint32_t top, uint32_t bottom) {
        const double sy = FSy;
        s.Paint(Picture, [=](int, int y) { return Mix(top, bottom, ((y + 0.5) / sy - from) / (to - from)); });
    }

    TBitmap Picture;

private:
    double FSx, FSy;
};

// A skyline of hills: base height with two waves; the shape runs down to the bottom edge.
std::vector<TPointF> Hills(double base, double amplitude, double phase, double frequency, double bottom = 200) {
    std::vector<TPointF> points;
    for (double x = 0; x <= kDesignWidth; x += 4)
        points.push_back({x, base - amplitude * (0.6 * std::sin(x * frequency + phase) +
                                                 0.4 * std::sin(x * frequency * 2.3 + phase * 1.7))});
    points.push_back({kDesignWidth, bottom});
    points.push_back({0, bottom});
    return points;
}

void Fir(TShape& s, double x, double baseY, double height) {
    double w = height * 0.42;
    for (int tier = 0; tier < 3; ++tier) {
        double top = baseY - height + tier * height * 0.25;
        double bottom = top + height * 0.45;
        double half = w * (0.55 + 0.22 * tier);
        s.Polygon({{x, top}, {x + half, bottom}, {x - half, bottom}});
    }
    s.Rect(x - height * 0.04, baseY - height * 0.12, height * 0.08, height * 0.12);
}

// Deterministic scatter for stars and windows.
struct TScatter {
    uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / double(1u << 24);
    }
};

void Ripples(TCanvasScene& c, double from, double to, uint32_t colour, uint32_t seed) {
    TShape s = c.Shape();
    TScatter r{seed};
    for (int i = 0; i < 40; ++i) {
        double y = from + (to - from) * r.Next(), x = kDesignWidth * r.Next();
        s.Line(x, y, x + 6 + 14 * r.Next(), y, 0.8);
    }
    c.Fill(s, colour, 0.55);
}

void Sun(TCanvasScene& c, double x, double y, double r, uint32_t colour) {
    TShape glow = c.Shape();
    glow.Disc(x, y, r * 1.8);
    c.Fill(glow, colour, 0.25);
    TShape disc = c.Shape();
    disc.Disc(x, y, r);
    c.Fill(disc, colour);
}

// ---- rivers ----

void RiverMap(TCanvasScene& c) {
    c.Gradient(0, 200, 0xF2EAD3, 0xE8DDBF);
    TShape seas = c.Shape();
    seas.Polygon({{0, 0}, {320, 0}, {320, 22}, {280, 26}, {250, 18}, {215, 24}, {180, 16}, {140, 22}, {105, 14},
                  {70, 24}, {30, 18}, {0, 26}});
    seas.Polygon({{320, 40}, {300, 70}, {306, 100}, {292, 128}, {300, 160}, {320, 172}});
    seas.Ellipse(58, 184, 14, 13);
    seas.Polygon({{0, 170}, {18, 166}, {26, 180}, {14, 200}, {0, 200}});
    c.Fill(seas, 0xA9CBE0);
    TShape rivers = c.Shape();
    rivers.Polyline({{36, 80}, {52, 96}, {66, 118}, {58, 140}, {66, 160}, {60, 172}}, 2.4);   // Volga
    rivers.Polyline({{118, 160}, {126, 130}, {120, 100}, {128, 70}, {120, 44}, {126, 22}}, 2.2);  // Ob
    rivers.Polyline({{166, 166}, {170, 130}, {162, 96}, {168, 60}, {160, 21}}, 2.2);            // Yenisei
    rivers.Polyline({{206, 150}, {222, 122}, {236, 96}, {246, 66}, {238, 44}, {242, 22}}, 2.2);  // Lena
    rivers.Polyline({{214, 168}, {240, 162}, {262, 150}, {282, 128}, {298, 104}}, 2.2);         // Amur
    c.Fill(rivers, 0x2F6EA5);
    TShape labels = c.Shape();
    labels.Text(72, 122, Ru("Волга"), 11).Text(96, 88, Ru("Обь"), 11).Text(172, 104, Ru("Енисей"), 11);
    labels.Text(248, 78, Ru("Лена"), 11).Text(246, 164, Ru("Амур"), 11);
    labels.Text(120, 4, Ru("Северный Ледовитый океан"), 10).Text(20, 186, Ru("Каспий"), 9);
    c.Fill(labels, 0x123A52);
}

void Volga(TCanvasScene& c) {
    c.Gradient(0, 112, 0x7FB9E0, 0xDDEFF8);
    c.Gradient(112, 200, 0x4F88B5, 0x2A5C88);
    Sun(c, 70, 40, 12, 0xFFF3C4);
    TShape far = c.Shape();
    far.Polygon(Hills(110, 3, 0.5, 0.05, 116));
    c.Fill(far, 0x8FAE94);
    TShape bank = c.Shape();
    bank.Polygon({{190, 112}, {215, 76}, {250, 66}, {290, 60}, {320, 58}, {320, 200}, {262, 200}, {228, 150}});
    c.FillRows(bank, 60, 200, 0xC8AC7E, 0x8E7250);
    TShape grass = c.Shape();
    grass.Polygon({{213, 79}, {250, 66}, {290, 60}, {320, 58}, {320, 66}, {290, 68}, {252, 74}, {222, 86}});
    c.Fill(grass, 0x5E8C46);
    Ripples(c, 120, 196, 0xBFD8EA, 7);
    TShape hull = c.Shape();
    hull.Polygon({{84, 150}, {140, 150}, {132, 160}, {92, 160}});
    hull.Rect(98, 140, 26, 10);
    c.Fill(hull, 0xF4F4F0);
    TShape trim = c.Shape();
    trim.Rect(90, 153, 46, 2).Rect(100, 143, 3, 3).Rect(106, 143, 3, 3).Rect(112, 143, 3, 3).Rect(118, 143, 3, 3);
    trim.Rect(108, 130, 3, 10);
    c.Fill(trim, 0x1D4E78);
}

void Lena(TCanvasScene& c) {
    c.Gradient(0, 150, 0xAFCDE4, 0xEEF3F5);
    c.Gradient(150, 200, 0x5D8CA8, 0x35607C);
    TShape forest = c.Shape();
    forest.Polygon(Hills(96, 6, 1.1, 0.07, 150));
    c.Fill(forest, 0x3C6B45);
    TScatter r{11};
    for (int i = 0; i < 11; ++i) {
        double x = 8 + i * 29 + 6 * r.Next(), w = 12 + 9 * r.Next(), top = 62 + 40 * r.Next();
        TShape pillar = c.Shape();
        pillar.Polygon({{x, 150}, {x + 1.5, top + 8}, {x + w * 0.5, top}, {x + w - 1.5, top + 6}, {x + w, 150}});
        c.FillRows(pillar, top, 150, 0xD9BA8E, 0xA98558);
        TShape shade = c.Shape();
        shade.Polygon({{x + w * 0.62, top + 2}, {x + w - 1.5, top + 6}, {x + w, 150}, {x + w * 0.66, 150}});
        c.Fill(shade, 0x7E5E3C, 0.55);
        TShape pines = c.Shape();
        Fir(pines, x + w * 0.5, top + 2, 10 + 6 * r.Next());
        c.Fill(pines, 0x2F5D3A);
    }
    TShape shore = c.Shape();
    shore.Polygon(Hills(152, 2, 0.2, 0.09, 156));
    c.Fill(shore, 0x8A7050);
    Ripples(c, 158, 198, 0xA9C8DA, 3);
}

void Amur(TCanvasScene& c) {
    c.Gradient(0, 118, 0x5C5A8E, 0xF7C873);
    c.Gradient(118, 200, 0xD9925A, 0x3E4A78);
    Sun(c, 200, 112, 16, 0xFFE2A0);
    TShape far = c.Shape();
    far.Polygon(Hills(104, 12, 2.0, 0.035, 119));
    c.Fill(far, 0x4A4E7A);
    TShape near = c.Shape();
    near.Polygon({{0, 96}, {30, 84}, {64, 92}, {96, 110}, {120, 119}, {0, 119}});
    c.Fill(near, 0x30345A);
    TShape path = c.Shape();
    for (int i = 0; i < 9; ++i) path.Line(186 - i * 3, 126 + i * 8, 214 + i * 3, 126 + i * 8, 1.4);
    c.Fill(path, 0xFFE2A0, 0.6);
    Ripples(c, 124, 198, 0xF2B880, 5);
}

// ---- cities ----

void Windows(TCanvasScene& c, double x, double y, double w, double h, uint32_t seed) {
    TShape s = c.Shape();
    TScatter r{seed};
    for (double wy = y + 4; wy + 4 < y + h; wy += 8)
        for (double wx = x + 3; wx + 3 < x + w; wx += 7)
            if (r.Next() < 0.7) s.Rect(wx, wy, 3, 4);
    c.Fill(s, 0xF3E2A8, 0.85);
}

void Moscow(TCanvasScene& c) {
    c.Gradient(0, 160, 0x7DB4DE, 0xE2EFF7);
    c.Gradient(160, 200, 0x4F7FA8, 0x2F5A80);
    TShape wall = c.Shape();
    wall.Rect(0, 128, 320, 32);
    for (double x = 2; x < 320; x += 10) wall.Polygon({{x, 128}, {x, 121}, {x + 2.5, 124}, {x + 5, 121}, {x + 5, 128}});
    c.Fill(wall, 0xA8382E);
    auto tower = [&](double x, double w, double bodyTop, double roofTop) {
        TShape body = c.Shape();
        body.Rect(x, bodyTop, w, 160 - bodyTop);
        c.Fill(body, 0xB5433A);
        TShape roof = c.Shape();
        roof.Polygon({{x - 2, bodyTop}, {x + w / 2, roofTop}, {x + w + 2, bodyTop}});
        c.Fill(roof, 0x2F6B4A);
        TShape star = c.Shape();
        star.Star(x + w / 2, roofTop - 5, 4.5, 1.8);
        c.Fill(star, 0xD8302A);
    };
    tower(30, 20, 96, 50);
    tower(140, 26, 80, 20);
    tower(262, 18, 100, 60);
    TShape church = c.Shape();
    church.Rect(188, 100, 46, 28);
    c.Fill(church, 0xEDE4D0);
    const uint32_t domes[] = {0x2E7D5B, 0xD9A400, 0x2B6CB0};
    for (int i = 0; i < 3; ++i) {
        double cx = 196 + i * 15, base = 100 - (i == 1 ? 14 : 0);
        TShape drum = c.Shape();
        drum.Rect(cx - 4, base - 6, 8, 6 + (i == 1 ? 14 : 0));
        c.Fill(drum, 0xEDE4D0);
        TShape dome = c.Shape();
        dome.Ellipse(cx, base - 12, 8, 8);
        dome.Polygon({{cx - 5, base - 16}, {cx, base - 30}, {cx + 5, base - 16}});
        c.Fill(dome, domes[i]);
    }
    Ripples(c, 164, 198, 0xBFD8EA, 9);
}

void Petersburg(TCanvasScene& c) {
    c.Gradient(0, 130, 0xA2BFD8, 0xE6EEF3);
    c.Gradient(130, 200, 0x56799A, 0x33536F);
    TScatter r{4};
    for (double x = 0; x < 320; x += 26) {
        double h = 18 + 10 * r.Next();
        TShape house = c.Shape();
        house.Rect(x, 130 - h, 25, h);
        c.Fill(house, r.Next() < 0.5 ? 0xE6D3A3 : 0xD9B9A0);
        Windows(c, x, 130 - h, 25, h, uint32_t(x) + 1);
    }
    TShape spire = c.Shape();
    spire.Rect(146, 72, 20, 40).Polygon({{144, 74}, {156, 56}, {168, 74}});
    c.Fill(spire, 0xE9DCC0);
    TShape gold = c.Shape();
    gold.Polygon({{153, 60}, {156, 8}, {159, 60}});
    gold.Polygon({{150, 66}, {156, 54}, {162, 66}});
    c.Fill(gold, 0xD9B44A);
    TShape bridge = c.Shape();
    bridge.Rect(0, 146, 92, 6).Rect(228, 146, 92, 6);
    bridge.Rect(84, 140, 10, 30).Rect(226, 140, 10, 30);
    bridge.Polygon({{94, 146}, {148, 108}, {152, 113}, {94, 152}});
    bridge.Polygon({{226, 146}, {172, 108}, {168, 113}, {226, 152}});
    c.Fill(bridge, 0x4A4F58);
    Ripples(c, 156, 198, 0xA9C8DA, 12);
}

void Kazan(TCanvasScene& c) {
    c.Gradient(0, 140, 0x8DBDE3, 0xE4F0F8);
    TShape hill = c.Shape();
    hill.Polygon(Hills(150, 6, 0.8, 0.03));
    c.FillRows(hill, 140, 200, 0x7DA35B, 0x4F7A3A);
    TShape wall = c.Shape();
    wall.Rect(20, 122, 280, 22);
    for (double x = 20; x < 300; x += 8) wall.Rect(x, 118, 4, 4);
    c.Fill(wall, 0xF2EEE4);
    TShape mosque = c.Shape();
    mosque.Rect(128, 92, 64, 30);
    c.Fill(mosque, 0xF7F5EE);
    TShape blue = c.Shape();
    blue.Ellipse(160, 90, 18, 14);
    blue.Polygon({{156, 80}, {160, 62}, {164, 80}});
    for (double x : {116.0, 204.0}) {
        blue.Polygon({{x - 3, 52}, {x, 30}, {x + 3, 52}});
    }
    c.Fill(blue, 0x3D7FC4);
    TShape minarets = c.Shape();
    for (double x : {116.0, 204.0}) minarets.Rect(x - 2.5, 52, 5, 70).Rect(x - 4, 76, 8, 3);
    c.Fill(minarets, 0xF7F5EE);
    TShape leaning = c.Shape();
    for (int tier = 0; tier < 5; ++tier) {
        double w = 22 - tier * 3.5, top = 122 - (tier + 1) * 12, x = 250 + tier * 0.8 - w / 2;
        leaning.Rect(x, top, w, 12);
    }
    leaning.Polygon({{251.5, 62}, {256, 44}, {259.5, 62}});
    c.Fill(leaning, 0xB5463A);
    for (double x : {40.0, 290.0}) {
        TShape t = c.Shape();
        t.Rect(x - 8, 104, 16, 40);
        c.Fill(t, 0xF2EEE4);
        TShape roof = c.Shape();
        roof.Polygon({{x - 10, 104}, {x, 84}, {x + 10, 104}});
        c.Fill(roof, 0x3F7F5A);
    }
}

void Novosibirsk(TCanvasScene& c) {
    c.Gradient(0, 120, 0x86B6DC, 0xE0EDF6);
    c.Gradient(120, 200, 0x4A7CA4, 0x2D5578);
    TScatter r{21};
    for (double x = 0; x < 320; x += 18) {
        double h = 24 + 50 * r.Next();
        TShape block = c.Shape();
        block.Rect(x, 120 - h, 16, h);
        c.Fill(block, Mix(0x8C9BAA, 0xC5CDD4, r.Next()));
        Windows(c, x, 120 - h, 16, h, uint32_t(x) + 7);
    }
    TShape dome = c.Shape();
    dome.Ellipse(220, 82, 22, 16).Rect(196, 82, 48, 38);
    c.Fill(dome, 0xD5DDE3);
    TShape deck = c.Shape();
    deck.Rect(0, 136, 320, 5);
    for (int span = 0; span < 4; ++span) {
        double x0 = span * 80, x1 = x0 + 80;
        std::vector<TPointF> arc;
        for (int i = 0; i <= 16; ++i) {
            double t = i / 16.0;
            arc.push_back({x0 + (x1 - x0) * t, 136 - 34 * std::sin(kPi * t)});
        }
        deck.Polyline(arc, 2.4);
        for (int i = 1; i < 8; ++i) {
            double t = i / 8.0;
            deck.Line(x0 + 80 * t, 136 - 34 * std::sin(kPi * t), x0 + 80 * t, 136, 0.8);
        }
        deck.Rect(x0 - 3, 136, 6, 30);
    }
    c.Fill(deck, 0x3A4A5A);
    Ripples(c, 168, 198, 0xA9C8DA, 17);
}

// ---- animals ----

void Forest(TCanvasScene& c, uint32_t sky, uint32_t ground, double horizon) {
    c.Gradient(0, horizon, sky, Mix(sky, 0xFFFFFF, 0.5));
    c.Gradient(horizon, 200, ground, Mix(ground, 0x000000, 0.25));
    TShape far = c.Shape();
    TScatter r{31};
    for (double x = -6; x < 330; x += 13) Fir(far, x + 4 * r.Next(), horizon + 2, 40 + 30 * r.Next());
    c.Fill(far, 0x2E5A3C);
}

void Bear(TCanvasScene& c) {
    Forest(c, 0xBFD6CF, 0x8CAF5A, 120);
    TShape bear = c.Shape();
    bear.Ellipse(160, 128, 60, 30).Ellipse(136, 110, 30, 20).Ellipse(214, 116, 24, 19).Ellipse(236, 124, 13, 9);
    bear.Disc(204, 98, 6.5).Disc(222, 97, 6.5);
    for (double x : {108.0, 134.0, 176.0, 200.0}) bear.RoundRect(x, 132, 17, 40, 6);
    c.Fill(bear, 0x5B3A22);
    TShape light = c.Shape();
    light.Ellipse(150, 112, 40, 12);
    c.Fill(light, 0x7A5232, 0.35);
    TShape face = c.Shape();
    face.Disc(218, 111, 2.2).Disc(246, 122, 3);
    c.Fill(face, 0x1A120C);
    TShape grass = c.Shape();
    for (double x = 4; x < 320; x += 7) grass.Line(x, 200, x + 3, 186, 1.2);
    c.Fill(grass, 0x5E8636);
}

void Tiger(TCanvasScene& c) {
    Forest(c, 0xD9E4C3, 0xB9C46A, 110);
    TShape body = c.Shape();
    body.Ellipse(160, 122, 70, 28).Disc(236, 108, 22).Disc(222, 88, 6).Disc(248, 88, 6);
    for (double x : {104.0, 128.0, 174.0, 200.0}) body.RoundRect(x, 126, 15, 42, 6);
    body.Polyline({{92, 118}, {74, 124}, {62, 110}, {58, 96}}, 6);
    c.Fill(body, 0xE07A22);
    TShape belly = c.Shape();
    belly.Ellipse(160, 140, 50, 9).Ellipse(240, 116, 12, 9);
    c.Fill(belly, 0xF5E6CC);
    TShape stripes = c.Shape();
    for (double x = 104; x <= 214; x += 13) {
        double top = 122 - 28 * std::sqrt(std::max(0.0, 1 - std::pow((x - 160) / 70, 2)));
        stripes.Polygon({{x - 2, top + 1}, {x + 3, top + 1}, {x + 6, top + 18}, {x + 3, top + 22}});
    }
    stripes.Line(226, 96, 230, 104, 2).Line(246, 96, 242, 104, 2);
    stripes.Line(66, 118, 70, 113, 2).Line(60, 106, 65, 103, 2);
    c.Fill(stripes, 0x2A1A10);
    TShape eyes = c.Shape();
    eyes.Disc(229, 104, 2.2).Disc(243, 104, 2.2).Disc(236, 116, 3);
    c.Fill(eyes, 0x1A120C);
}

void Beaver(TCanvasScene& c) {
    c.Gradient(0, 120, 0xA9CDE0, 0xE6F0F4);
    TShape bank = c.Shape();
    bank.Polygon(Hills(118, 8, 0.3, 0.02, 140));
    c.Fill(bank, 0x5E8C46);
    c.Gradient(134, 200, 0x3F7396, 0x2A5273);
    TScatter r{5};
    for (int row = 0; row < 4; ++row)
        for (double x = 40 + row * 8; x < 280 - row * 8; x += 30) {
            TShape log = c.Shape();
            log.RoundRect(x + 6 * r.Next(), 150 - row * 8, 34, 8, 4);
            c.Fill(log, row % 2 ? 0x7A5230 : 0x94683F);
        }
    TShape beaver = c.Shape();
    beaver.Ellipse(176, 104, 32, 20).Ellipse(206, 96, 13, 11).Ellipse(136, 118, 18, 6);
    beaver.Disc(198, 86, 3.5).RoundRect(160, 114, 10, 12, 4).RoundRect(186, 114, 10, 12, 4);
    c.Fill(beaver, 0x6B4428);
    TShape tail = c.Shape();
    tail.Ellipse(136, 118, 18, 6);
    c.Fill(tail, 0x3E2A1A);
    TShape face = c.Shape();
    face.Disc(209, 92, 1.8).Disc(218, 96, 2.2);
    c.Fill(face, 0x120C08);
    TShape teeth = c.Shape();
    teeth.Rect(214, 101, 3, 4);
    c.Fill(teeth, 0xF4EAD0);
    Ripples(c, 162, 198, 0x9CC0D6, 2);
}

void Crane(TCanvasScene& c) {
    c.Gradient(0, 130, 0xC9DDE0, 0xEEF3F1);
    c.Gradient(130, 200, 0x8FB3B0, 0x5E8584);
    TShape reeds = c.Shape();
    TScatter r{8};
    for (int i = 0; i < 40; ++i) {
        double x = 320 * r.Next(), h = 20 + 40 * r.Next();
        reeds.Line(x, 140 + 20 * r.Next(), x + 4 * (r.Next() - 0.5), 140 - h, 1.1);
    }
    c.Fill(reeds, 0x6F8A4A);
    TShape legs = c.Shape();
    legs.Line(160, 106, 157, 156, 2).Line(172, 106, 177, 156, 2);
    c.Fill(legs, 0x3B3F44);
    TShape body = c.Shape();
    body.Ellipse(166, 94, 30, 15);
    body.Line(188, 88, 205, 46, 5);
    body.Disc(207, 42, 6);
    c.Fill(body, 0x9AA3A8);
    TShape dark = c.Shape();
    dark.Polygon({{136, 90}, {150, 100}, {132, 112}, {124, 104}});
    dark.Line(195, 68, 204, 46, 3.2);
    dark.Disc(208, 43, 3);
    c.Fill(dark, 0x3B3F44);
    TShape cap = c.Shape();
    cap.Disc(206, 37.5, 2.6);
    c.Fill(cap, 0xC0392B);
    TShape beak = c.Shape();
    beak.Line(212, 43, 226, 48, 2);
    c.Fill(beak, 0x8A8A70);
    Ripples(c, 150, 198, 0xDCE8E6, 4);
}

// ---- sciences ----

void Pendulum(TCanvasScene& c) {
    c.Gradient(0, 200, 0xFBF8F1, 0xEFE9DA);
    TShape grid = c.Shape();
    for (double x = 0; x <= 320; x += 20) grid.Rect(x, 0, 0.6, 200);
    for (double y = 0; y <= 200; y += 20) grid.Rect(0, y, 320, 0.6);
    c.Fill(grid, 0xD9E4EA);
    TShape support = c.Shape();
    support.Rect(110, 16, 100, 8);
    c.Fill(support, 0x5A6670);
    const double px = 160, py = 24, length = 140;
    for (double degrees : {-32.0, 32.0, 0.0}) {
        double a = degrees * kPi / 180, bx = px + length * std::sin(a), by = py + length * std::cos(a);
        bool rest = degrees == 0.0;
        TShape swing = c.Shape();
        swing.Line(px, py, bx, by, 1.2).Disc(bx, by, 12);
        c.Fill(swing, 0x1D5C74, rest ? 1.0 : 0.3);
    }
    TShape arc = c.Shape();
    for (int i = -16; i <= 16; i += 2) {
        double a = i * 2 * kPi / 180;
        arc.Disc(px + (length + 20) * std::sin(a), py + (length + 20) * std::cos(a), 1.1);
    }
    c.Fill(arc, 0xC45A3A);
    TShape label = c.Shape();
    label.Text(166, 80, "l", 15, false, "DejaVu Serif");
    c.Fill(label, 0x123A52);
}

void Flask(TCanvasScene& c) {
    c.Gradient(0, 168, 0xF0ECE2, 0xE2DCCB);
    c.Gradient(168, 200, 0xB08A5E, 0x8A6A44);
    const std::vector<TPointF> glass = {{148, 28}, {172, 28}, {172, 80}, {222, 162}, {218, 170}, {102, 170}, {98, 162}, {148, 80}};
    TShape outline = c.Shape();
    outline.Polygon(glass);
    c.Fill(outline, 0x5A7A8A);
    TShape inner = c.Shape();
    inner.Polygon({{151, 30}, {169, 30}, {169, 81}, {218, 161}, {215, 167}, {105, 167}, {102, 161}, {151, 81}});
    c.Fill(inner, 0xEAF4F7);
    TShape liquid = c.Shape();
    liquid.Polygon({{131, 112}, {189, 112}, {218, 161}, {215, 167}, {105, 167}, {102, 161}});
    c.FillRows(liquid, 112, 168, 0x47B8A6, 0x1E7F73);
    TShape bubbles = c.Shape();
    bubbles.Ring(150, 140, 4, 1).Ring(172, 128, 3, 1).Ring(160, 100, 2.5, 0.8).Ring(164, 70, 3, 0.8).Ring(156, 48, 2, 0.7);
    c.Fill(bubbles, 0xFFFFFF, 0.9);
    TShape shine = c.Shape();
    shine.Line(108, 158, 140, 106, 2.2);
    c.Fill(shine, 0xFFFFFF, 0.6);
    TShape rim = c.Shape();
    rim.RoundRect(144, 22, 32, 8, 3);
    c.Fill(rim, 0x5A7A8A);
}

void NightSky(TCanvasScene& c) {
    c.Gradient(0, 200, 0x0B1730, 0x1D3357);
    TShape stars = c.Shape();
    TScatter r{42};
    for (int i = 0; i < 90; ++i) stars.Disc(320 * r.Next(), 200 * r.Next(), 0.4 + 0.7 * r.Next());
    c.Fill(stars, 0xFFFFFF, 0.9);
    TShape orbits = c.Shape();
    for (double rx : {134.0, 96.0, 66.0, 40.0}) {  // largest first: each ring erases only inside itself
        orbits.Ellipse(160, 130, rx + 0.6, rx * 0.45 + 0.6);
        orbits.Ellipse(160, 130, rx - 0.6, rx * 0.45 - 0.6, true);
    }
    c.Fill(orbits, 0x5D7FA8, 0.8);
    Sun(c, 160, 130, 14, 0xF5C542);
    const struct {
        double rx, angle, radius;
        uint32_t colour;
    } planets[] = {{40, 0.3, 3, 0xB9A78C}, {66, 2.4, 5, 0xE3C07A}, {96, 0.8, 5.5, 0x4A90D9}, {134, 3.6, 10, 0xD8A36A}};
    for (const auto& p : planets) {
        TShape planet = c.Shape();
        planet.Disc(160 + p.rx * std::cos(p.angle), 130 + p.rx * 0.45 * std::sin(p.angle), p.radius);
        c.Fill(planet, p.colour);
    }
}

void Emblem(TCanvasScene& c) {
    c.Gradient(0, 200, 0xFBF8F1, 0xEFE9DA);
    TShape rim = c.Shape();
    rim.Disc(100, 92, 78);
    c.Fill(rim, 0x8A5A12);
    TShape disc = c.Shape();
    disc.Disc(100, 92, 72);
    c.FillRows(disc, 20, 164, 0xF6CE6A, 0xD8962E);
    TShape ring = c.Shape();
    ring.Ring(100, 92, 62, 1.5);
    c.Fill(ring, 0xFFF1C8, 0.8);
    TShape book = c.Shape();
    book.Polygon({{52, 66}, {96, 76}, {96, 132}, {52, 122}});
    book.Polygon({{104, 76}, {148, 66}, {148, 122}, {104, 132}});
    c.Fill(book, 0x0B2545);
    TShape lines = c.Shape();
    for (int i = 0; i < 5; ++i) {
        lines.Line(60, 82 + i * 8, 88, 88 + i * 8, 1.2);
        lines.Line(112, 88 + i * 8, 140, 82 + i * 8, 1.2);
    }
    c.Fill(lines, 0x7FA8C8);
    TShape rays = c.Shape();
    for (int i = 0; i < 7; ++i) {
        double a = kPi * (1.15 + 0.7 * i / 6);
        rays.Line(100 + 30 * std::cos(a), 60 + 30 * std::sin(a), 100 + 44 * std::cos(a), 60 + 44 * std::sin(a), 2.2);
    }
    c.Fill(rays, 0xFFF6D8);
    TShape name = c.Shape();
    name.Text(58, 168, Ru("Люмен"), 22, true, "DejaVu Serif");
    c.Fill(name, 0x0B2545);
}

}  // namespace

TBitmap DrawScene(TScene scene, int width, int height) {
    if (scene == TScene::Emblem) {
        TCanvasScene c(width, height, 200, 200);
        Emblem(c);
        return c.Picture;
    }
    TCanvasScene c(width, height);
    switch (scene) {
        case TScene::RiverMap: RiverMap(c); break;
        case TScene::Volga: Volga(c); break;
        case TScene::Lena: Lena(c); break;
        case TScene::Amur: Amur(c); break;
        case TScene::Moscow: Moscow(c); break;
        case TScene::Petersburg: Petersburg(c); break;
        case TScene::Kazan: Kazan(c); break;
        case TScene::Novosibirsk: Novosibirsk(c); break;
        case TScene::Bear: Bear(c); break;
        case TScene::Tiger: Tiger(c); break;
        case TScene::Beaver: Beaver(c); break;
        case TScene::Crane: Crane(c); break;
        case TScene::Pendulum: Pendulum(c); break;
        case TScene::Flask: Flask(c); break;
        case TScene::NightSky: NightSky(c); break;
        case TScene::Emblem: break;
    }
    return c.Picture;
}

}  // namespace bookpack
