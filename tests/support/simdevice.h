// The real simulated board, in-process, behind the Device seam: each SimDevice owns a board of its
// own (never the library's process-wide one), so tests and benchmarks control its files, faults
// and time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/device.h"
#include "device/options.h"
#include "sim/board.h"

// Time that moves only when a test says so, in nanoseconds.
struct ManualTime {
    int64_t ns = 0;
    void AdvanceMs(int64_t ms) { ns += ms * 1'000'000; }
    void AdvanceUs(int64_t us) { ns += us * 1'000; }
    std::function<int64_t()> Source() {
        return [this] { return ns; };
    }
};

class SimDevice final : public Device {
  public:
    // `setup.systemText` set: InitMcuSystem3 uses that text and ignores the path it is given;
    // unset: it reads the path, as the library does. `setup.firmwareLoaded` skips the boot.
    // `setup.nanoseconds` drives the recorder's pacing; to share a FakeClock, pass
    // [&clock] { return clock.counter; } rather than Counter(), whose scripted reads the board
    // would otherwise consume.
    explicit SimDevice(SimBoardSetup setup = {});

    // A warm board with this SYSTEM.DAT text, these faults and this time source.
    static SimBoardSetup Warm(std::string systemText, std::function<int64_t()> nanoseconds,
                              std::string faultScript = {});

    SimBoard& board() { return *board_; }

    int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                           const char* systemFile, int32_t* out) override;
    int32_t BootFile(const char* bootFile, int32_t baseAddress) override;
    int32_t wrOptionInt(OptionDescriptor* d, int32_t* value) override;
    int32_t rdOptionInt(OptionDescriptor* d, int32_t* value) override;
    int32_t rdOptionDbl(OptionDescriptor* d, double* value) override;
    int32_t rdScannerBuffer(void* buffer, int32_t capacity) override;
    int32_t SendReqScannerBuffer(void* buffer, int32_t capacity) override;
    int32_t CleanServiceUsers() override;

  private:
    std::unique_ptr<SimBoard> board_;
};

// One record as the board lays it out: sequence number, channels 1..8 as doubles at 4, 12, ...,
// 60, channels 9 and 10 as 16-bit integers at 68 and 70.
struct SimRecord {
    int32_t sequence;
    double channel[8];
    int16_t channel9, channel10;
};
SimRecord DecodeSimRecord(const unsigned char* bytes);

// A warm SimDevice on manual time with the program's option table, connected and driven the way
// the program does it, for tests that need a live recorder without the program's scan logic.
struct SimRig {
    explicit SimRig(std::string systemText = {}, std::string faultScript = {});
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    ManualTime time;  // before `device`, which reads it
    SimDevice device;
    OptionTable table;

    // InitMcuSystem3, then optMeasureInit and the ten source reads that leave the handles in
    // `table`; 4 when all of them succeeded, else the first other result.
    int32_t Connect();
    // optScanInit, record limit, the ten links, commit, strobe setting, run 1: every result ORed.
    int32_t StartScan(int32_t recordLimit, bool waitStrobe = false);
    int32_t Write(OptionEntry e, int32_t value);
    int32_t ReadInt(OptionEntry e);  // the value; a failed read gives INT32_MIN
};
