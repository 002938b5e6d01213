#include "device/options.h"
#include "scan/scancontrol.h"
#include "scan/scansteps.h"
#include "scan/scantexts.h"

namespace {

// Option calls succeed with 4; the recorder configuration may also answer 6 (bit 2 is a
// notice, not an error), the run sequence may not.
constexpr int32_t kConfigNotice = 2;
constexpr int32_t kSingleShotRecordLimit = 2000;

int32_t Write(ScanContext& ctx, OptionEntry e, int32_t value) {
    return ctx.device.wrOptionInt(&ctx.options[e], &value);
}

void ScanStart(ScanContext& ctx) {
    ScanState& s = ctx.state;
    WindowPort& w = ctx.window;

    s.FRecordsScanned = 0;
    s.DroppedBytes = 0;
    w.SetText(Control::Edit1, "...");
    ctx.log.SummaryA1 = ctx.log.SummaryA2 = ctx.log.SummaryA3 = 0.0;
    w.SetEnabled(Control::cbEndlessScan, false);

    int32_t acc = Write(ctx, optScanInit, 1);
    // After the init write, so that it always goes out with location 0.
    ClearScanDescriptors(ctx.options);
    bool endless = w.Checked(Control::cbEndlessScan);
    acc |= Write(ctx, optScanRecordLimit, endless ? 0 : kSingleShotRecordLimit);
    for (const ChannelLink& link : ChannelLinks) {
        ctx.options[link.link].linkValue = ctx.options[link.source].location;
        acc |= Write(ctx, link.link, 0);
    }
    acc |= Write(ctx, optScanCommit, 1);
    if ((acc & ~kConfigNotice) != kOptionOk) {
        w.ShowMessage("Error at Initialize of Scanner!", "Error");
        return;
    }

    s.StatusPolling = 1;
    int32_t status = 0;
    acc = ctx.device.rdOptionInt(&ctx.options[optScanStatus], &status);
    w.SetText(Control::laScannerStatus, Hex8(status));
    w.SetText(Control::laScanned, "");
    acc |= ctx.device.rdOptionInt(&ctx.options[optScanRecordSize], &s.RecordSize);
    w.SetText(Control::laRecordSize, Decimal(s.RecordSize));
    acc |= Write(ctx, optScanWaitStrobe, w.Checked(Control::cbWaitForStrobe) ? 1 : 0);
    acc |= Write(ctx, optScanRun, 1);
    // Whatever the run command answered: the next press must be able to stop the recorder.
    s.Scanning = 1;
    w.SetText(Control::buScanStart, "Scan Stop");
    if (acc != kOptionOk) {
        w.ShowMessage("Error at Initialize the Scanner!", "Error");
        return;
    }

    w.SetText(Control::Edit1, "...");
    if (w.Checked(Control::cbPhysMem)) {
        // Capacity 0 only asks whether the path exists; the low 16 bits are 0 when it does.
        int32_t r = ctx.device.SendReqScannerBuffer(ctx.log.ScanBuffer.data(), 0);
        w.SetText(Control::Edit1, Hex8(r));
        w.RepaintWindow();
        bool available = (static_cast<uint32_t>(r) & 0xFFFFu) == 0;
        w.SetChecked(Control::cbPhysMem, available);
        w.SetText(Control::edZusatzinfo,
                  available ? "rwPhysMem available!" : "rwPhysMem not available!");
    }

    ctx.log.OpenScanLog(ctx.logPath);
    if (ctx.log.Health().Lost()) w.SetText(Control::edZusatzinfo, ctx.log.LossText());

    if (w.Checked(Control::cbEndlessScan)) {
        w.SetText(Control::buScanStart, "Scan Stop");
        return;
    }
    RunSingleShot(ctx);
}

}  // namespace

void buScanStartClick(ScanContext& ctx) {
    if (ctx.FOnline == 0) return;
    ctx.state.StatusPolling = 0;
    if (ctx.state.Scanning == 0)
        ScanStart(ctx);
    else
        ScanStop(ctx);
}
