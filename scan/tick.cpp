#include "scan/scancontrol.h"
#include "scan/scansteps.h"
#include "scan/scantexts.h"

namespace {

// Gives the recorder time to fill while its data cannot be counted.
constexpr int kNoRecordSizePauseMs = 10;

void PollStatus(ScanContext& ctx) {
    // A failed read may leave the word unwritten; the label then shows 00000000, not noise.
    int32_t status = 0;
    int32_t result = ctx.device.rdOptionInt(&ctx.options[optScanStatus], &status);
    ctx.window.SetText(Control::laScannerStatus, Hex8(status));
    if (result != kOptionOk) ctx.state.StatusPolling = 0;
}

void CountAndLog(ScanContext& ctx, int32_t n) {
    ScanState& s = ctx.state;
    if (s.RecordSize <= 0) {
        ctx.clock.Sleep(kNoRecordSizePauseMs);
        // Still dropped, as the recorder's size cannot count them, but never without a word.
        s.DroppedBytes += n;
        ctx.window.SetText(Control::edZusatzinfo, DroppedText(s.RecordSize, s.DroppedBytes));
        return;
    }
    s.FRecordsScanned += n / s.RecordSize;
    ctx.window.SetText(Control::laScanned, Decimal(s.FRecordsScanned));
    LogLossWatch watch(ctx.log);
    ctx.log.LogScanRecords(n / kRecordBytes);
    watch.Report(ctx.window);
}

// Stops the scan and then reports the library's result. A stop already under way (its drain
// tick and boxes included) or a report still open owns the failure: the pull is then dropped,
// so stops and boxes never nest and the log is closed once. It carried no records.
void ReportFailedPull(ScanContext& ctx, int32_t n) {
    ScanState& s = ctx.state;
    if (s.StopInProgress || s.PullErrorBoxOpen) return;
    if (s.Scanning != 0) {
        s.StatusPolling = 0;
        ScanStop(ctx);
    }
    s.PullErrorBoxOpen = true;
    ctx.window.ShowMessage("Rückgabewert: " + Decimal(n), "Fehler beim Scan");
    s.PullErrorBoxOpen = false;
}

}  // namespace

void TimerTimer(ScanContext& ctx) {
    if (ctx.FOnline == 0) return;
    if (ctx.state.StatusPolling != 0) PollStatus(ctx);
    if (!ctx.window.Checked(Control::cbEndlessScan) || ctx.state.Scanning == 0) return;

    unsigned char* buffer = ctx.log.ScanBuffer.data();
    int32_t n = ctx.window.Checked(Control::cbPhysMem)
                    ? ctx.device.SendReqScannerBuffer(buffer, kTickPullBytes)
                    : ctx.device.rdScannerBuffer(buffer, kTickPullBytes);
    if (PullFailed(n, kTickPullBytes))
        ReportFailedPull(ctx, n);
    else if (n > 0)
        CountAndLog(ctx, n);
}
