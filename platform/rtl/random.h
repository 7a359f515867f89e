// The class library's pseudo-random generator: a 32-bit linear congruential sequence, so a seed
// set by SetRandSeed gives the same numbers on every run.
#pragma once

#include <cstdint>

namespace rtl {

// Seeds the generator from the clock.
void Randomize();
void SetRandSeed(uint32_t seed);
uint32_t GetRandSeed();
// A number in [0, n); 0 when n <= 0.
int Random(int n);
// A number in [0, 1).
double RandomFloat();

}  // namespace rtl
