#include "platform/forms/image.h"

#include "platform/forms/canvas.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TBitmap& TPicture::Bitmap() {
    if (!FBitmap) {
        FBitmap = std::make_unique<TBitmap>();
        FBitmap->OnChange = [this] { Changed(); };
    }
    return *FBitmap;
}

void TPicture::SetBitmap(const TBitmap& bitmap) {
    if (&bitmap == FBitmap.get()) return;
    Bitmap() = bitmap;  // the copy assignment fires the change
}

void TPicture::Assign(const TPicture& other) {
    if (&other == this) return;
    if (!other.FBitmap) {
        Clear();
        return;
    }
    SetBitmap(*other.FBitmap);
}

void TPicture::Clear() {
    if (!FBitmap) return;
    FBitmap.reset();
    Changed();
}

void TPicture::LoadFromFile(const std::string& path) {
    TBitmap loaded;
    loaded.LoadFromFile(path);
    SetBitmap(loaded);
}

void TPicture::Changed() {
    Fire(OnChange);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    FWidth = 105;
    FHeight = 105;
    FPicture.OnChange = [this] { PictureChanged(); };
}

void TImage::PictureChanged() {
    if (FAutoSize && !FPicture.Empty()) SetBounds(FLeft, FTop, FPicture.Width(), FPicture.Height());
    Invalidate();
}

void TImage::SetAutoSize(bool value) {
    FAutoSize = value;
    if (value) PictureChanged();
}

void TImage::SetStretch(bool value) {
    if (value == FStretch) return;
    FStretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    if (value == FCenter) return;
    FCenter = value;
    Invalidate();
}

void TImage::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
    const TBitmap* graphic = FPicture.Graphic();
    if (!graphic || graphic->Empty()) return;
    TBitmap* drawn = const_cast<TBitmap*>(graphic);
    bool savedTransparent = drawn->Transparent;
    drawn->Transparent = FTransparent || savedTransparent;
    if (FStretch) {
        canvas.StretchDraw(Rect(0, 0, FWidth, FHeight), *drawn);
    } else {
        int x = FCenter ? (FWidth - graphic->Width()) / 2 : 0;
        int y = FCenter ? (FHeight - graphic->Height()) / 2 : 0;
        canvas.Draw(x, y, *drawn);  // the canvas clip cuts it to the control
    }
    drawn->Transparent = savedTransparent;
}

bool TImage::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "Picture")) {
        TBitmap bitmap;
        loader.LoadPicture(value.AsString(), bitmap);
        FPicture.SetBitmap(bitmap);
    } else if (rtl::SameText(name, "AutoSize")) {
        SetAutoSize(value.AsBoolean());
    } else if (rtl::SameText(name, "Stretch")) {
        SetStretch(value.AsBoolean());
    } else if (rtl::SameText(name, "Center")) {
        SetCenter(value.AsBoolean());
    } else if (rtl::SameText(name, "Transparent")) {
        SetTransparent(value.AsBoolean());
    } else {
        return TGraphicControl::SetProperty(name, value, loader);
    }
    return true;
}

}  // namespace forms
