// The ten measured sources: smooth signals plus seeded noise. A value is a pure function of
// (seed, source, sample number), so a given seed gives the same data however the calls are timed.
#pragma once

#include <cstdint>

namespace zorix {

inline constexpr int kSourceCount = 10;
inline constexpr int kDoubleSources = 8;  // sources 0..7 are doubles, 8 and 9 are integers

class Signals {
  public:
    explicit Signals(uint64_t seed = 1) : seed_(seed) {}

    // Any source as a double (the integer sources exactly).
    double Value(int source, int64_t sample) const;
    // The integer sources; their values always fit in 16 bits.
    int32_t IntValue(int source, int64_t sample) const;

  private:
    double Noise(int source, int64_t sample) const;  // uniform in [-1, 1)
    uint64_t seed_;
};

}  // namespace zorix
