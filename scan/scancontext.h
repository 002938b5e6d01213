// Everything the window's handlers share: the three seams, the option table, the connection
// flag, the scan state and the record log. One instance lives as long as the window.
#pragma once

#include <cstdint>
#include <string>

#include "device/device.h"
#include "device/options.h"
#include "platform/clock.h"
#include "platform/windowport.h"
#include "scan/recordlog.h"
#include "scan/scanstate.h"

struct ScanContext {
    ScanContext(Device& d, Clock& c, WindowPort& w) : device(d), clock(c), window(w) {}

    Device& device;
    Clock& clock;
    WindowPort& window;

    OptionTable options;
    int32_t FOnline = 0;
    int64_t CounterFrequency = 0;  // counts per second, read once at start-up
    ScanState state;
    RecordLog log;
    std::string logPath = "Data.Txt";  // relative: lands in the working directory
};
