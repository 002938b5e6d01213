// A clock whose counter moves only when told to, or by a scripted step per read.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "platform/clock.h"

class FakeClock final : public Clock {
public:
    int64_t frequency = 1'000'000'000;
    int64_t counter = 0;
    std::deque<int64_t> counterReads;  // values that the next Counter() calls return, in turn
    std::vector<int> sleeps;           // every Sleep(ms), in order
    std::function<void(int)> onSleep;

    int64_t Counter() override {
        if (!counterReads.empty()) {
            counter = counterReads.front();
            counterReads.pop_front();
        }
        return counter;
    }
    int64_t Frequency() override { return frequency; }
    void Sleep(int milliseconds) override {
        sleeps.push_back(milliseconds);
        counter += frequency / 1000 * milliseconds;
        if (onSleep) onSleep(milliseconds);
    }
};
