// The pages' illustrations (PNG, and one BMP to show the browser takes both) and the two cursors.
#include "platform/forms/bmp.h"
#include "tools/bookpack/art.h"
#include "tools/bookpack/imagefiles.h"
#include "tools/bookpack/paint.h"

namespace bookpack {

namespace {

struct TIllustration {
    const char* Name;
    TScene Scene;
};

constexpr TIllustration kIllustrations[] = {
    {"img/rivers.png", TScene::RiverMap},     {"img/volga.png", TScene::Volga},
    {"img/lena.png", TScene::Lena},           {"img/amur.png", TScene::Amur},
    {"img/moscow.png", TScene::Moscow},       {"img/spb.png", TScene::Petersburg},
    {"img/kazan.png", TScene::Kazan},         {"img/novosibirsk.png", TScene::Novosibirsk},
    {"img/bear.png", TScene::Bear},           {"img/tiger.png", TScene::Tiger},
    {"img/beaver.png", TScene::Beaver},       {"img/crane.png", TScene::Crane},
    {"img/physics.png", TScene::Pendulum},    {"img/chemistry.bmp", TScene::Flask},
};

std::string Encode(const std::string& name, const forms::TBitmap& picture) {
    return name.ends_with(".bmp") ? forms::EncodeBmp24(picture) : EncodePng(picture);
}

// The pointer: a white arrow with a dark outline; the link pointer adds a teal badge.
TPageFile Cursor(const std::string& name, bool link) {
    constexpr int kSize = 32;
    TShape outline(kSize, kSize);
    outline.Polygon({{0.5, 0.5}, {0.5, 19.5}, {5, 15.2}, {8.6, 23}, {12.2, 21.4}, {8.8, 14}, {14.8, 14}});
    TShape fill(kSize, kSize);
    fill.Polygon({{1.8, 3.4}, {1.8, 16.4}, {5.3, 13}, {9.1, 21.2}, {10.6, 20.5}, {6.9, 12.6}, {11.6, 12.6}});
    TShape badge(kSize, kSize);
    TShape badgeMark(kSize, kSize);
    if (link) {
        badge.Disc(22, 22, 8);
        badgeMark.Ring(19.6, 22, 2.6, 1.4).Ring(24.4, 22, 2.6, 1.4);
    }
    forms::TBitmap colour(kSize, kSize), alpha(kSize, kSize);
    FillSolid(colour, 0, 0, kSize, kSize, 0x000000);
    FillSolid(alpha, 0, 0, kSize, kSize, 0x000000);
    outline.Paint(alpha, 0xFFFFFF);
    badge.Paint(alpha, 0xFFFFFF);
    fill.Paint(colour, 0xFFFFFF);
    badge.Paint(colour, 0x1D5C74);
    badgeMark.Paint(colour, 0xFFFFFF);
    return {name, EncodeCursor(colour, alpha, 0, 0)};
}

}  // namespace

std::vector<TPageFile> PagePictures() {
    std::vector<TPageFile> files;
    for (const TIllustration& i : kIllustrations) files.push_back({i.Name, Encode(i.Name, DrawScene(i.Scene, 320, 200))});
    files.push_back({"img/emblem.png", EncodePng(DrawScene(TScene::Emblem, 200, 200))});
    return files;
}

std::vector<TPageFile> CursorFiles() { return {Cursor("cursor.cur", false), Cursor("cursorlink.cur", true)}; }

}  // namespace bookpack
