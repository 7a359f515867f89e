// TPanel: a windowed container with a colour (and the native window the video renders into).
#pragma once

#include <string>

#include "platform/forms/control.h"

namespace forms {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    const char* ClassName() const override { return "TPanel"; }

    std::string Caption;  // cp1251; drawn centred in the raster
    TBevelCut BevelOuter = bvRaised;
    TBevelCut BevelInner = bvNone;
    void SetColor(TColor color) override;

    void Paint(TCanvas& canvas) override;
    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;

protected:
    std::unique_ptr<IControlPeer> CreatePeer(IBackend& backend, IWindowPeer& window) override;
    void PeerCreated() override;
};

}  // namespace forms
