#include "scan/scansteps.h"

LogLossWatch::LogLossWatch(const RecordLog& log)
    : log_(log),
      openFailed_(log.Health().openFailed),
      writeFailed_(log.Health().writeFailed),
      recordsLost_(log.Health().recordsLost) {}

void LogLossWatch::Report(WindowPort& window) const {
    const LogHealth& now = log_.Health();
    if (!now.Lost()) return;
    if (now.openFailed == openFailed_ && now.writeFailed == writeFailed_ &&
        now.recordsLost == recordsLost_)
        return;
    window.SetText(Control::edZusatzinfo, log_.LossText());
}
