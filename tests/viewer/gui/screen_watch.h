// Grabs an area of the screen over and over from a thread with its own connection to the X server,
// so the screen is seen as the reader sees it whatever the GUI thread is doing (a pause included).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/forms/types.h"

namespace guitest {

class ScreenWatch {
public:
    // Every kStep-th pixel of every kStep-th row is kept (0x00RRGGBB).
    static constexpr int kStep = 4;
    struct Grab {
        double ms;  // since the watch began
        std::vector<uint32_t> samples;
    };

    explicit ScreenWatch(const forms::TRect& area);
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;
    // Ends the watch and hands over what it saw.
    const std::vector<Grab>& Stop();

private:
    void Run();

    const forms::TRect area_;
    std::atomic<bool> stop_{false};
    std::vector<Grab> grabs_;
    std::thread thread_;
};

}  // namespace guitest
