// One 50 ms tick of an endless scan with a full pull from the simulated board: pull, count and
// log to a real file, reported per tick and as a share of the 50 ms period. The baseline runs
// the same tick but writes every record with its own fprintf call, in the same run.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "device/connection.h"
#include "scan/scancontrol.h"
#include "sim/board.h"

namespace {

constexpr int64_t kRecordsPerTick = (kTickPullBytes - kLeadBytes) / kRecordBytes;  // 1,999
constexpr int64_t kNsPerRecord = 50'000;  // 20,000 records per second
constexpr double kTickPeriodSeconds = 0.050;
constexpr int64_t kTicksPerFile = 256;  // the file is emptied now and then, outside the timing

class BoardDevice final : public Device {
  public:
    explicit BoardDevice(SimBoard& board) : b_(board) {}
    int32_t InitMcuSystem3(void* a, void* a2, int32_t base, const char* file,
                           int32_t* out) override {
        return b_.InitMcuSystem3(a, a2, base, file, out);
    }
    int32_t BootFile(const char* file, int32_t base) override { return b_.BootFile(file, base); }
    int32_t wrOptionInt(OptionDescriptor* d, int32_t* v) override { return b_.wrOptionInt(d, v); }
    int32_t rdOptionInt(OptionDescriptor* d, int32_t* v) override { return b_.rdOptionInt(d, v); }
    int32_t rdOptionDbl(OptionDescriptor* d, double* v) override { return b_.rdOptionDbl(d, v); }
    int32_t rdScannerBuffer(void* buf, int32_t cap) override {
        return b_.rdScannerBuffer(buf, cap);
    }
    int32_t SendReqScannerBuffer(void* buf, int32_t cap) override {
        return b_.SendReqScannerBuffer(buf, cap);
    }
    int32_t CleanServiceUsers() override { return b_.CleanServiceUsers(); }

  private:
    SimBoard& b_;
};

// Endless Scan ticked, nothing else; shows nothing.
class QuietWindow final : public WindowPort {
  public:
    void SetTitle(const std::string&) override {}
    void SetText(Control, const std::string&) override {}
    bool Checked(Control c) override { return c == Control::cbEndlessScan; }
    void SetChecked(Control, bool) override {}
    void SetEnabled(Control, bool) override {}
    int Position(Control) override { return 1; }
    void RepaintNow(Control) override {}
    void RepaintWindow() override {}
    void ShowMessage(const std::string&, const std::string&) override {}
    void Terminate() override {}
    bool WaitCancelled() override { return true; }
};

// A connected board on manual time with an endless scan running and its log open.
struct Rig {
    Rig() {
        char pattern[] = "/tmp/bench_tickXXXXXX";
        if (::mkdtemp(pattern)) dir = pattern;
        ctx->logPath = dir + "/Data.Txt";
        ctx->CounterFrequency = clock.Frequency();
        ctx->FOnline = ConnectDevice(device, clock, window, ctx->options, {0, "SYSTEM.DAT", ""});
        buScanStartClick(*ctx);
    }
    ~Rig() {
        ctx.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    static SimBoardSetup Setup(int64_t* ns) {
        SimBoardSetup setup;
        setup.systemText = "BaseSampleRate = 20000\nPhysMem = no\n";
        setup.firmwareLoaded = true;
        setup.nanoseconds = [ns] { return *ns; };
        return setup;
    }
    bool Ready() const { return !dir.empty() && ctx->FOnline == 1 && ctx->state.Scanning == 1; }
    // Exactly one full pull's worth of records becomes due.
    void NextPeriod() { ns += kRecordsPerTick * kNsPerRecord; }

    int64_t ns = 0;
    SimBoard board{Setup(&ns)};
    BoardDevice device{board};
    SteadyClock clock;
    QuietWindow window;
    std::unique_ptr<ScanContext> ctx = std::make_unique<ScanContext>(device, clock, window);
    std::string dir;
};

void Report(benchmark::State& state, double timedSeconds) {
    auto ticks = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * kRecordsPerTick);
    state.counters["period_share_%"] = 100.0 * timedSeconds / ticks / kTickPeriodSeconds;
}

void BM_TickWithRecordLog(benchmark::State& state) {
    Rig rig;
    if (!rig.Ready()) return state.SkipWithError("the simulated board did not start a scan");
    double timed = 0;
    int64_t ticks = 0;
    for (auto _ : state) {
        rig.NextPeriod();
        auto t0 = std::chrono::steady_clock::now();
        TimerTimer(*rig.ctx);
        timed += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (++ticks % kTicksPerFile == 0) {
            state.PauseTiming();
            rig.ctx->log.CloseScanLog();
            rig.ctx->log.OpenScanLog(rig.ctx->logPath);
            state.ResumeTiming();
        }
    }
    if (rig.ctx->state.FRecordsScanned != ticks * kRecordsPerTick)
        return state.SkipWithError("a tick did not pull a full buffer");
    if (rig.ctx->log.Health().Lost()) return state.SkipWithError("the log lost records");
    Report(state, timed);
}

// The same tick with the log written the plain way: one fprintf per record.
void BM_TickWithFprintfBaseline(benchmark::State& state) {
    Rig rig;
    if (!rig.Ready()) return state.SkipWithError("the simulated board did not start a scan");
    rig.ctx->log.CloseScanLog();
    std::string path = rig.dir + "/Baseline.Txt";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return state.SkipWithError("cannot open the baseline file");
    ScanContext& ctx = *rig.ctx;
    const unsigned char* buffer = ctx.log.ScanBuffer.data();
    double timed = 0;
    int64_t ticks = 0;
    for (auto _ : state) {
        rig.NextPeriod();
        auto t0 = std::chrono::steady_clock::now();
        int32_t n = ctx.device.rdScannerBuffer(ctx.log.ScanBuffer.data(), kTickPullBytes);
        if (n > 0) {
            ctx.state.FRecordsScanned += n / ctx.state.RecordSize;
            for (int32_t k = 0; k < n / kRecordBytes; ++k) {
                const unsigned char* r = RecordAt(buffer, k);
                std::fprintf(out, "%5i\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\t\t%.3f\r\n",
                             ReadInt32(r + kOffInt), ReadDouble(r + kOffCol2),
                             ReadDouble(r + kOffCol3), ReadDouble(r + kOffCol4A3),
                             ReadDouble(r + kOffCol5), ReadDouble(r + kOffCol6),
                             ReadDouble(r + kOffCol7));
            }
        }
        timed += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (++ticks % kTicksPerFile == 0) {
            state.PauseTiming();
            out = std::freopen(path.c_str(), "wb", out);
            state.ResumeTiming();
            if (!out) return state.SkipWithError("cannot reopen the baseline file");
        }
    }
    bool complete = ctx.state.FRecordsScanned == ticks * kRecordsPerTick;
    bool written = std::fclose(out) == 0;
    if (!complete) return state.SkipWithError("a tick did not pull a full buffer");
    if (!written) return state.SkipWithError("the baseline file was not written");
    Report(state, timed);
}

}  // namespace

BENCHMARK(BM_TickWithFprintfBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TickWithRecordLog)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
