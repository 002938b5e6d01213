// SYSTEM.DAT, the board's parameters: `Key = value` lines, '#' starts a comment, keys in any case.
// Every key is optional; an unknown key, a repeated key or a bad value makes the file malformed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorix {

struct SystemConfig {
    int64_t baseSampleRate = 20000;  // records per second at time factor 1
    int64_t spoolRecords = 100000;   // records the spool holds before the oldest are dropped
    uint64_t seed = 1;               // noise on the source signals
    bool physMem = true;             // the physical-memory read path exists
    std::optional<int64_t> strobeDelayMs = 100;  // after the run command; empty = never fires
};

// False with "line N: ..." in `error` when the text is malformed.
bool ParseSystemFile(std::string_view text, SystemConfig& out, std::string& error);

}  // namespace zorix
