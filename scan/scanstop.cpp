#include "scan/scancontrol.h"
#include "scan/scansteps.h"
#include "scan/scantexts.h"

namespace {

// The recorder needs this long after the stop command before its buffer holds the last records.
constexpr int kDrainWaitMs = 50;

class InProgress {
  public:
    explicit InProgress(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~InProgress() { flag_ = before_; }
    InProgress(const InProgress&) = delete;
    InProgress& operator=(const InProgress&) = delete;

  private:
    bool& flag_;
    bool before_;
};

}  // namespace

void ScanStop(ScanContext& ctx) {
    InProgress stopping(ctx.state.StopInProgress);
    WindowPort& w = ctx.window;

    w.SetEnabled(Control::cbEndlessScan, true);
    int32_t run = 0;
    if (ctx.device.wrOptionInt(&ctx.options[optScanRun], &run) != kOptionOk) {
        w.ShowMessage("Error at Start of Scanner!", "Error");
        return;
    }
    ctx.clock.Sleep(kDrainWaitMs);
    TimerTimer(ctx);
    w.SetText(Control::buScanStart, "Scan Start");
    ctx.state.Scanning = 0;

    LogLossWatch watch(ctx.log);
    ctx.log.CloseScanLog();
    watch.Report(w);

    std::string summary = SummaryText(ctx.state.FRecordsScanned, ctx.log.SummaryA1,
                                      ctx.log.SummaryA2, ctx.log.SummaryA3);
    if (ctx.log.Health().Lost()) summary += ctx.log.LossText() + "\n";
    w.ShowMessage(summary, "Messergebnis");
}
