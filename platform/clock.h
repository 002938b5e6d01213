// The clock seam: a high-resolution counter, its frequency, and a sleep on the calling thread.
#pragma once

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t Counter() = 0;    // counts since an arbitrary origin
    virtual int64_t Frequency() = 0;  // counts per second
    virtual void Sleep(int milliseconds) = 0;
};

// std::chrono::steady_clock in nanoseconds, and a real sleep.
class SteadyClock final : public Clock {
public:
    int64_t Counter() override;
    int64_t Frequency() override;
    void Sleep(int milliseconds) override;
};
