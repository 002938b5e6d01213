#include "sim/signals.h"

#include <cmath>
#include <numbers>

namespace zorix {

namespace {

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// sin(2 pi n / period + phase), with n reduced first so that long runs keep full precision.
double Wave(int64_t n, int64_t period, double phase = 0.0) {
    int64_t k = n % period;
    if (k < 0) k += period;
    return std::sin(2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(period) +
                    phase);
}

// Rises from -1 to 1 over `period` samples, then starts again.
double Saw(int64_t n, int64_t period) {
    int64_t k = n % period;
    if (k < 0) k += period;
    return 2.0 * static_cast<double>(k) / static_cast<double>(period) - 1.0;
}

}  // namespace

double Signals::Noise(int source, int64_t sample) const {
    uint64_t h = Mix(seed_ ^ Mix(static_cast<uint64_t>(source) * 0x100000001B3ull ^
                                 Mix(static_cast<uint64_t>(sample))));
    return static_cast<double>(h >> 11) * 0x1.0p-52 - 1.0;
}

double Signals::Value(int source, int64_t n) const {
    switch (source) {
        case 0:
            return 120.0 * Wave(n, 40'000) + 0.02 * Noise(0, n);  // axis 1 position
        case 1:
            return 35.0 * Wave(n, 40'000, 0.5 * std::numbers::pi) +  // axis 1 velocity
                   0.05 * Noise(1, n);
        case 2:
            return 12.5 * Wave(n, 6'000, 0.7) + 0.01 * Noise(2, n);  // axis 1 current
        case 3:
            return 50.0 * Saw(n, 100'000) + 0.005 * Noise(3, n);  // feed ramp
        case 4:
            return 80.0 * Wave(n, 25'000) * Wave(n, 1'500) + 0.1 * Noise(4, n);
        case 5:
            return 10.0 * std::abs(Saw(n, 8'000)) + 0.01 * Noise(5, n);  // triangle
        case 6:
            return 24.0 + 1.5 * Wave(n, 200'000) + 0.1 * Noise(6, n);  // temperature
        case 7:
            return 0.5 * Wave(n, 900) + 0.25 * Wave(n, 2'700, 1.0) + 0.02 * Noise(7, n);
        case 8:
        case 9:
            return IntValue(source, n);
        default:
            return 0.0;
    }
}

int32_t Signals::IntValue(int source, int64_t n) const {
    switch (source) {
        case 8: {  // encoder counter: four samples per count, wraps like a 16-bit register
            uint64_t start = seed_ & 0xFFF;
            return static_cast<int16_t>(
                static_cast<uint16_t>(start + static_cast<uint64_t>(n / 4)));
        }
        case 9: {  // digital inputs: 12 slowly counting lines (Gray code) and 4 noisy ones
            uint64_t slow = static_cast<uint64_t>(n >> 8);
            uint64_t gray = (slow ^ (slow >> 1)) & 0x0FFF;
            uint64_t noisy = Mix(seed_ ^ Mix(static_cast<uint64_t>(n >> 12))) & 0xF000;
            return static_cast<int32_t>(gray | noisy);
        }
        default:
            return static_cast<int32_t>(std::lround(Value(source, n)));
    }
}

}  // namespace zorix
