// TImage: a graphic control showing a picture (natural size clipped, stretched, or auto-sized).
#pragma once

#include <memory>
#include <string>

#include "platform/forms/bitmap.h"
#include "platform/forms/control.h"

namespace forms {

// Holds one bitmap (or none). Assignments copy the pixels; the caller keeps its object.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    bool Empty() const { return !FBitmap || FBitmap->Empty(); }
    bool HasGraphic() const { return FBitmap != nullptr; }
    // The bitmap, created empty on first use (as the class library's Picture.Bitmap does).
    TBitmap& Bitmap();
    const TBitmap* Graphic() const { return FBitmap.get(); }
    void SetBitmap(const TBitmap& bitmap);
    void Assign(const TPicture& other);
    void Clear();                            // Picture.Graphic := nil
    void LoadFromFile(const std::string& path);
    int Width() const { return FBitmap ? FBitmap->Width() : 0; }
    int Height() const { return FBitmap ? FBitmap->Height() : 0; }

    std::function<void()> OnChange;
    void Changed();

private:
    std::unique_ptr<TBitmap> FBitmap;
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner);
    const char* ClassName() const override { return "TImage"; }

    TPicture& Picture() { return FPicture; }
    const TPicture& Picture() const { return FPicture; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

    void Paint(TCanvas& canvas) override;
    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;

private:
    void PictureChanged();
    TPicture FPicture;
    bool FAutoSize = false;
    bool FStretch = false;
    bool FCenter = false;
    bool FTransparent = false;
};

}  // namespace forms
