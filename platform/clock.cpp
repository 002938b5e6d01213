#include "platform/clock.h"

#include <chrono>
#include <thread>

int64_t SteadyClock::Counter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t SteadyClock::Frequency() { return 1'000'000'000; }

void SteadyClock::Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
