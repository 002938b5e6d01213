// Connecting to the board once at start-up: initialise, boot once if that fails, initialise again,
// then the resource check that leaves each source's handle in its descriptor's `location`.
#pragma once

#include <cstdint>
#include <string>

#include "device/device.h"
#include "device/options.h"
#include "platform/clock.h"
#include "platform/windowport.h"

struct ConnectionSettings {
    int32_t BaseAddress = 0;
    std::string FSystemFileName;
    std::string FBootFileName;
};

inline constexpr int kSystemAreaBytes = 4320;
inline constexpr int kSystemArea2Bytes = 48;

// 1 once the board is initialised (also after a failed resource check, which shows its box and
// asks the application to end), 0 otherwise.
int32_t ConnectDevice(Device& device, Clock& clock, WindowPort& window, OptionTable& table,
                      const ConnectionSettings& settings);
// 0 when every tested option call returned 4, -1 at the first that did not.
int32_t ReadResourceOptions(Device& device, OptionTable& table);
