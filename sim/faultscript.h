// The fault script: a text file of directives, one a line, '#' starts a comment. Its grammar and
// the effect of each directive are in sim/README.md.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "device/devicelib.h"

namespace zorix {

enum class BoardCall {
    InitMcuSystem3,
    BootFile,
    wrOptionInt,
    rdOptionInt,
    rdOptionDbl,
    rdScannerBuffer,
    SendReqScannerBuffer,
    CleanServiceUsers,
};
inline constexpr std::size_t kBoardCallCount = 8;

// Which uses of a counted thing a rule applies to: the k-th only, or the k-th and every later.
struct When {
    int64_t k = 1;
    bool onward = true;
    bool Matches(int64_t n) const { return onward ? n >= k : n == k; }
};

enum class FaultVerb {
    Fail,    // the call does nothing and returns the value
    Result,  // the call is carried out, then returns the value instead of its own result
};

struct FaultRule {
    enum class Target { Call, Option, Pull } target = Target::Call;
    BoardCall call = BoardCall::InitMcuSystem3;  // Target::Call
    int32_t group = 0, index = 0, subIndex = 0;  // Target::Option
    When when;
    FaultVerb verb = FaultVerb::Fail;
    int32_t value = 0;  // result, or the byte count of a pull
    int line = 0;
};

// How often each thing has been used so far, 1-based once counted.
struct FaultCounters {
    std::array<int64_t, kBoardCallCount> calls{};
    std::map<std::tuple<int32_t, int32_t, int32_t>, int64_t> options;
    int64_t pulls = 0;  // buffer reads of either kind with a capacity above 0

    void Count(BoardCall call, const OptionDescriptor* d, bool pull);
};

struct FaultScript {
    std::vector<FaultRule> rules;         // the first that fits a call wins
    std::optional<int64_t> stallAfterMs;  // after each run start
    std::optional<int64_t> stallAfterPull;
    int32_t statusSet = 0;  // ORed into every status read
    std::optional<bool> physMem;
    std::optional<int32_t> recordSize;
    bool strobeGiven = false;
    std::optional<int64_t> strobeMs;  // with strobeGiven: empty = never
    std::optional<int64_t> clockStepUs;

    // The rule for the call just counted, if any.
    const FaultRule* Match(const FaultCounters& counters, BoardCall call, const OptionDescriptor* d,
                           bool pull) const;
};

// False with "line N: ..." in `error` when a line is not understood.
bool ParseFaultScript(std::string_view text, FaultScript& out, std::string& error);

const char* BoardCallName(BoardCall call);

}  // namespace zorix
