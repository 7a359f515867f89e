// TTimer: OnTimer every Interval milliseconds from the message loop while Enabled.
#pragma once

#include "platform/forms/component.h"

namespace forms {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    const char* ClassName() const override { return "TTimer"; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned value);
    TNotifyEvent OnTimer;  // runs only when assigned; an exception goes to the error report

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

private:
    void Restart();
    void Stop();
    void Tick();
    bool FEnabled = true;
    unsigned FInterval = 1000;
    int FTimerId = 0;
};

}  // namespace forms
