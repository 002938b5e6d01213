// The scan state that the start, the stop, the tick and the single shot share.
#pragma once

#include <cstdint>

struct ScanState {
    int32_t Scanning = 0;       // 1 from the run command until the scan ends
    int32_t StatusPolling = 0;  // 1: every tick reads and shows the recorder status
    // 64 bits: at the board's top rate a 32-bit count overflows after about 30 hours.
    int64_t FRecordsScanned = 0;
    int32_t RecordSize = 0;  // as the recorder reported it at the last start
    // Bytes pulled and dropped this scan because RecordSize gave no way to count them.
    int64_t DroppedBytes = 0;
    // Re-entrancy guards: a modal box keeps ticks coming, and a failing library must not make
    // stops or their boxes nest.
    bool StopInProgress = false;
    bool PullErrorBoxOpen = false;
};
