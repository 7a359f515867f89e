#include "platform/rtl/random.h"

#include <time.h>
#include <unistd.h>

#include <atomic>

namespace rtl {

namespace {

std::atomic<uint32_t> randSeed{0};

uint32_t NextSeed() {
    uint32_t current = randSeed.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = current * 0x08088405u + 1u;
    } while (!randSeed.compare_exchange_weak(current, next, std::memory_order_relaxed));
    return next;
}

}  // namespace

void Randomize() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    uint64_t mix = static_cast<uint64_t>(ts.tv_sec) * 1000000007u + static_cast<uint64_t>(ts.tv_nsec);
    mix ^= static_cast<uint64_t>(getpid()) << 16;
    SetRandSeed(static_cast<uint32_t>(mix ^ (mix >> 32)));
}

void SetRandSeed(uint32_t seed) { randSeed.store(seed, std::memory_order_relaxed); }

uint32_t GetRandSeed() { return randSeed.load(std::memory_order_relaxed); }

int Random(int n) {
    if (n <= 0) return 0;
    return static_cast<int>((static_cast<uint64_t>(NextSeed()) * static_cast<uint32_t>(n)) >> 32);
}

double RandomFloat() { return NextSeed() / 4294967296.0; }

}  // namespace rtl
