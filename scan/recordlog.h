// The record log: turns records in the scan buffer into "Data.Txt" lines and keeps three values
// of the last record written for the stop's summary. Unlike a bare stream it knows when data
// was lost (the file could not be opened, or a write failed) and says so, while the scan goes on.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "scan/scanrecord.h"

// What the operator must be told about this scan's log.
struct LogHealth {
    bool openFailed = false;     // OpenScanLog could not create or empty the file
    bool writeFailed = false;    // a write did not reach the file
    int64_t recordsWritten = 0;  // lines that reached the file since OpenScanLog
    int64_t recordsLost = 0;     // records handed in since OpenScanLog that did not
    std::string reason;          // strerror text of the first failure
    bool Lost() const { return openFailed || writeFailed; }
};

class RecordLog {
public:
    RecordLog();
    ~RecordLog();  // flushes and closes an open log
    RecordLog(const RecordLog&) = delete;
    RecordLog& operator=(const RecordLog&) = delete;

    // Both acquisition paths read into this buffer from its first byte.
    alignas(8) std::array<unsigned char, kScanBufferBytes> ScanBuffer{};

    double SummaryA1 = 0.0;
    double SummaryA2 = 0.0;
    double SummaryA3 = 0.0;

    // Creates or empties `path`; afterwards a log is open, or none when that failed.
    void OpenScanLog(const std::string& path = "Data.Txt");
    // Writes records 0..count-1 of ScanBuffer; count is clipped to what the buffer holds.
    // Nothing happens for count <= 0 or with no log open.
    void LogScanRecords(int32_t count);
    // Writes what is pending and closes; afterwards no log is open.
    void CloseScanLog();
    bool IsOpen() const;

    const LogHealth& Health() const { return health_; }
    // One line for the operator, e.g. "Data.Txt: No space left on device - 812 records not
    // logged"; empty while nothing was lost.
    std::string LossText() const;

private:
    struct Impl;
    Impl* impl_;
    LogHealth health_;
};
