// The sample book's pictures, all drawn here: the skin's pictures for "face.dat" (frame, header,
// buttons in three states, settings background, splash pictures) and the pages' illustrations.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/bitmap.h"
#include "viewer/facefile.h"

namespace bookpack {

// Every picture of "face.dat", named as the configuration names them, as BMP file images.
std::vector<viewer::TFaceEntry> SkinPictures();

// The illustrations the pages show: relative name under data\ (e.g. "img/volga.png") and bytes.
struct TPageFile {
    std::string Name;
    std::string Bytes;
};
std::vector<TPageFile> PagePictures();

// The two cursor files of the data folder: "cursor.cur" and "cursorlink.cur".
std::vector<TPageFile> CursorFiles();

// Scenes shared by the page illustrations and the splash pictures.
enum class TScene { RiverMap, Volga, Lena, Amur, Moscow, Petersburg, Kazan, Novosibirsk, Bear, Tiger, Beaver,
                    Crane, Pendulum, Flask, NightSky, Emblem };
forms::TBitmap DrawScene(TScene scene, int width, int height);

}  // namespace bookpack
