// Steps that the start, the stop, the tick and the single shot share.
#pragma once

#include <cstdint>

#include "scan/scancontext.h"

// The stop of an active scan (Scanning 1): stop command, drain tick, close, summary. Marks the
// stop as in progress until it returns, its boxes included.
void ScanStop(ScanContext& ctx);

// A buffer read either delivered 0..capacity bytes or failed: a negative result is the library's
// error, and a count above what was asked for comes from a broken library whose buffer cannot be
// trusted, so it is refused the same way rather than read past what was asked.
inline bool PullFailed(int32_t n, int32_t capacity) {
    return n < 0 || n > capacity;
}

// Shows lost log data in edZusatzinfo as it happens: construct before a log call, Report()
// after it. The text is rewritten only when the loss first appears or its count moved.
class LogLossWatch {
  public:
    explicit LogLossWatch(const RecordLog& log);
    void Report(WindowPort& window) const;

  private:
    const RecordLog& log_;
    bool openFailed_, writeFailed_;
    int64_t recordsLost_;
};
