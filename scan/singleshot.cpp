#include "scan/scancontrol.h"
#include "scan/scansteps.h"
#include "scan/scantexts.h"

namespace {

constexpr int32_t kStatusRecording = 4;  // status bit: the recorder is still recording
constexpr int32_t kRecordLimit = 2000;   // as the start configured it
// After the recording ends, the recorder needs this long before its count is final.
constexpr int kSettleMs = 50;

}  // namespace

void RunSingleShot(ScanContext& ctx) {
    WindowPort& w = ctx.window;
    Device& dev = ctx.device;
    int32_t count = 0;
    int32_t loops = 0;
    int32_t status = 0;

    w.SetEnabled(Control::buScanStart, false);
    int32_t acc = dev.rdOptionInt(&ctx.options[optScanStatus], &status);
    w.SetText(Control::laCntr, "");
    w.SetText(Control::laScanned, "");
    w.SetText(Control::laScannerStatus, "");

    // No pause between passes: the labels are the only sign of life while the window takes no
    // input. The operator can still end a wait whose strobe never comes or whose bit sticks.
    bool cancelled = false;
    while (acc == kOptionOk && count < kRecordLimit && (status & kStatusRecording) != 0) {
        if (w.WaitCancelled()) {
            cancelled = true;
            break;
        }
        ++loops;
        acc = dev.rdOptionInt(&ctx.options[optScanRecordCount], &count);
        w.SetText(Control::laScanned, Decimal(count));
        w.RepaintNow(Control::laScanned);
        acc |= dev.rdOptionInt(&ctx.options[optScanStatus], &status);
        w.SetText(Control::laScannerStatus, Hex8(status));
        w.RepaintNow(Control::laScannerStatus);
        w.SetText(Control::laCntr, Decimal(loops));
        w.RepaintNow(Control::laCntr);
    }
    // Nothing later in the scan writes the title, so the note stays in view.
    if (cancelled) w.SetTitle("Wait for the Scanner ended by the operator!");

    ctx.clock.Sleep(kSettleMs);
    acc = dev.rdOptionInt(&ctx.options[optScanRecordCount], &count);
    w.SetText(Control::laScanned, Decimal(count));
    w.SetEnabled(Control::buScanStart, true);
    w.SetText(Control::laScanned, Decimal(count));
    if (acc != kOptionOk) w.ShowMessage("Error at Using the Scanner!", "Error");

    unsigned char* buffer = ctx.log.ScanBuffer.data();
    bool physMem = w.Checked(Control::cbPhysMem);
    // Only the read call lies between the two samples.
    int64_t t0 = ctx.clock.Counter();
    int32_t n = physMem ? dev.SendReqScannerBuffer(buffer, kSingleShotPullBytes)
                        : dev.rdScannerBuffer(buffer, kSingleShotPullBytes);
    int64_t t1 = ctx.clock.Counter();
    // Wraps instead of overflowing when a counter jumps backwards or far.
    int64_t counts = static_cast<int64_t>(static_cast<uint64_t>(t1) - static_cast<uint64_t>(t0));

    w.SetText(Control::edZusatzinfo, ResolutionText(ctx.CounterFrequency));
    w.SetText(Control::Edit1, ReadTimeText(n, counts, ctx.CounterFrequency));
    if (!PullFailed(n, kSingleShotPullBytes) && n > 0) ctx.log.LogScanRecords(n / kRecordBytes);

    w.SetText(Control::buScanStart, "Scan Start");
    ctx.state.Scanning = 0;
    w.SetEnabled(Control::cbEndlessScan, true);
    ctx.log.CloseScanLog();
    // The resolution text above replaced any earlier loss report.
    if (ctx.log.Health().Lost()) w.SetText(Control::edZusatzinfo, ctx.log.LossText());
}
