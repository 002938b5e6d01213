// The simulated recorder board behind the eight library calls. One instance is one board: the
// library keeps a single process-wide one (exports.cpp), tests make as many as they like.
// Every call comes from one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "device/devicelib.h"
#include "sim/descriptors.h"
#include "sim/faultscript.h"
#include "sim/recorder.h"
#include "sim/systemfile.h"

struct SimBoardSetup {
    // Monotonic time in nanoseconds; empty = std::chrono::steady_clock. A fault script's
    // "clock step" replaces it.
    std::function<int64_t()> nanoseconds;
    std::string faultScript;                       // script text; empty = no faults
    std::string faultScriptName = "fault script";  // how messages name it (the file's path)
    // Set when the script could not even be read; the board then refuses every call.
    std::string faultScriptError;
    bool announceFaultScript = false;  // say on `diagnostics` that a usable script is in force
    // SYSTEM.DAT contents that InitMcuSystem3 uses instead of reading the path it is given.
    std::optional<std::string> systemText;
    bool firmwareLoaded = false;          // a warm board: init works without BootFile
    std::string dumpPath;                 // every delivered buffer is appended here; empty = none
    std::ostream* diagnostics = nullptr;  // where problems are explained; null = std::cerr
};

// The library's own setup: ZORIX_FAULTS names the fault script, ZORIX_DUMP the dump file.
SimBoardSetup SetupFromEnvironment();

class SimBoard {
  public:
    explicit SimBoard(SimBoardSetup setup = {});
    ~SimBoard();
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                           const char* systemFile, int32_t* out);
    int32_t BootFile(const char* bootFile, int32_t baseAddress);
    int32_t wrOptionInt(OptionDescriptor* d, int32_t* value);
    int32_t rdOptionInt(OptionDescriptor* d, int32_t* value);
    int32_t rdOptionDbl(OptionDescriptor* d, double* value);
    int32_t rdScannerBuffer(void* buffer, int32_t capacity);
    int32_t SendReqScannerBuffer(void* buffer, int32_t capacity);
    int32_t CleanServiceUsers();

    // What InitMcuSystem3 may write: never more than this into each area.
    static constexpr int kSystemAreaBytes = 4320;
    static constexpr int kSystemArea2Bytes = 48;
    static constexpr int32_t kBoardRevision = 0x00010400;  // left in InitMcuSystem3's `out`

  private:
    int64_t Begin(zorix::BoardCall call, const OptionDescriptor* d, bool pull);
    const zorix::FaultRule* Rule(zorix::BoardCall call, const OptionDescriptor* d, bool pull);
    int32_t Init(void* area, void* area2, int32_t base, const char* path, int32_t* out);
    int32_t Boot(const char* path, int32_t base);
    int32_t OptionCall(zorix::BoardCall call, OptionDescriptor* d, int32_t* intValue,
                       double* dblValue);
    int32_t Option(zorix::BoardCall call, OptionDescriptor* d, int32_t* intValue, double* dblValue);
    int32_t Write(const zorix::BoardOption& o, const OptionDescriptor& d, int32_t value);
    int32_t Read(const zorix::BoardOption& o, int32_t* intValue, double* dblValue);
    int32_t BufferCall(zorix::BoardCall call, void* buffer, int32_t capacity);
    int32_t Deliver(unsigned char* buffer, int32_t capacity, std::optional<int32_t> forced);
    void Dump(int32_t result, int32_t capacity, const unsigned char* bytes, int32_t placed);
    bool PhysMem() const;
    std::ostream& Diagnostics();

    SimBoardSetup setup_;
    zorix::FaultScript faults_;
    zorix::FaultCounters counters_;
    bool unusable_ = false;  // the fault script could not be used: every call fails
    int64_t now_ = 0;        // board time of the call in progress, ns
    int64_t steppedNs_ = 0;  // "clock step" time

    bool booted_ = false;
    std::optional<int32_t> bootedBase_;
    bool initialised_ = false;
    int64_t initNs_ = 0;
    zorix::SystemConfig system_;
    std::optional<zorix::Recorder> recorder_;
    std::optional<int64_t> frozenAtNs_;  // "stall pull": nothing is recorded after this time

    std::FILE* dump_ = nullptr;
    bool dumpFailed_ = false;
};
