// The simulated board's fault script: a broken script is reported and never passes for a clean
// run, and each directive has its effect.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "device/options.h"
#include "sim/errors.h"
#include "sim/faultscript.h"
#include "sim/signals.h"
#include "sim/text.h"
#include "tests/support/simdevice.h"

namespace {

using namespace zorix;
namespace fs = std::filesystem;

const fs::path kSources = fs::path(__FILE__).parent_path().parent_path();

TEST(FaultScriptParse, EveryMistakeIsNamedWithItsLine) {
    struct Case {
        const char* text;
        const char* expected;  // part of the error
    } cases[] = {
        {"frobnicate\n", "line 1: unknown directive 'frobnicate'"},
        {"# fine\n\ncall rdFoo fail 1\n", "line 3: unknown function 'rdFoo'"},
        {"call BootFile 0 fail 1\n", "a count starts at 1"},
        {"call BootFile fail\n", "missing the result"},
        {"call BootFile fail x\n", "the result must be a number"},
        {"call BootFile 2 explode 3\n", "expected 'fail <n>' or 'result <n>'"},
        {"call BootFile fail 1 now\n", "unexpected 'now'"},
        {"option optNothing fail 1\n", "unknown option 'optNothing'"},
        {"option 1100/0 fail 1\n", "unknown option '1100/0'"},
        {"pull 2 bytes\n", "missing bytes"},
        {"pull 2 bytes 99999999999\n", "bytes must be a number"},
        {"pull 2 count 5\n", "expected 'bytes'"},
        {"stall soon\n", "expected 'stall time <ms>' or 'stall pull <k>'"},
        {"stall pull 0\n", "pull must be a number from 1"},
        {"clock step 5\nclock step 6\n", "line 2: clock step is given twice"},
        {"physmem maybe\n", "expected 'physmem available' or 'physmem unavailable'"},
        {"strobe later\n", "milliseconds must be a number"},
        {"status clear 4\n", "expected 'set'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FaultScript script;
        std::string error;
        EXPECT_FALSE(ParseFaultScript(c.text, script, error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

// Every call of a board whose script is unusable fails, so a typo never looks like a clean run.
void ExpectEveryCallFails(SimBoard& board) {
    OptionDescriptor status{0, 1, 3, 1100, 0, 4, 0};
    int32_t value = 0;
    double dbl = 0;
    unsigned char area[SimBoard::kSystemAreaBytes], area2[SimBoard::kSystemArea2Bytes];
    unsigned char buffer[100];
    EXPECT_EQ(board.BootFile("KORVA.ELF", 0), kErrFaultScript);
    EXPECT_EQ(board.InitMcuSystem3(area, area2, 0, "SYSTEM.DAT", &value), kErrFaultScript);
    EXPECT_EQ(board.wrOptionInt(&status, &value), kErrFaultScript);
    EXPECT_EQ(board.rdOptionInt(&status, &value), kErrFaultScript);
    EXPECT_EQ(board.rdOptionDbl(&status, &dbl), kErrFaultScript);
    EXPECT_EQ(board.rdScannerBuffer(buffer, sizeof buffer), -kErrFaultScript);
    EXPECT_EQ(board.SendReqScannerBuffer(buffer, 0), -kErrFaultScript);
    EXPECT_EQ(board.CleanServiceUsers(), kErrFaultScript);
}

TEST(FaultScriptUnusable, ABadLineIsReportedAndEveryCallFails) {
    std::ostringstream diagnostics;
    SimBoardSetup setup;
    setup.firmwareLoaded = true;
    setup.faultScript = "call BootFile 1 fail 3\ncal InitMcuSystem3 fail 1\n";
    setup.faultScriptName = "/tmp/faults.txt";
    setup.diagnostics = &diagnostics;
    SimBoard board(setup);
    EXPECT_NE(diagnostics.str().find("/tmp/faults.txt line 2: unknown directive 'cal'"),
              std::string::npos)
        << diagnostics.str();
    ExpectEveryCallFails(board);
}

TEST(FaultScriptUnusable, AScriptTheEnvironmentNamesButCannotBeReadIsReported) {
    struct Env {  // restores the variables whatever happens
        ~Env() {
            ::unsetenv("ZORIX_FAULTS");
            ::unsetenv("ZORIX_DUMP");
        }
    } env;
    const std::string missing = testing::TempDir() + "no-such-faults.txt";
    for (const std::string& path : {missing, testing::TempDir()}) {
        SCOPED_TRACE(path);
        ::setenv("ZORIX_FAULTS", path.c_str(), 1);
        ::setenv("ZORIX_DUMP", "/tmp/dump.bin", 1);
        SimBoardSetup setup = SetupFromEnvironment();
        EXPECT_NE(setup.faultScriptError.find("cannot read fault script '" + path + "'"),
                  std::string::npos)
            << setup.faultScriptError;
        EXPECT_EQ(setup.dumpPath, "/tmp/dump.bin");
        std::ostringstream diagnostics;
        setup.diagnostics = &diagnostics;
        SimBoard board(setup);
        EXPECT_NE(diagnostics.str().find(path), std::string::npos) << diagnostics.str();
        ExpectEveryCallFails(board);
    }
}

TEST(FaultScriptReadme, EveryScriptInTheReadmeParses) {
    std::ifstream in(kSources / "sim" / "README.md");
    ASSERT_TRUE(in) << "sim/README.md not found";
    std::string line, script;
    std::vector<std::string> scripts;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside && line == "```faults") {
            inside = true;
            script.clear();
        } else if (inside && line == "```") {
            inside = false;
            scripts.push_back(script);
        } else if (inside) {
            script += line + "\n";
        }
    }
    EXPECT_FALSE(inside) << "unclosed block";
    ASSERT_FALSE(scripts.empty());
    for (const std::string& s : scripts) {
        SCOPED_TRACE(s);
        FaultScript parsed;
        std::string error;
        EXPECT_TRUE(ParseFaultScript(s, parsed, error)) << error;
    }
}

// --- directives ---

TEST(FaultCall, KthAndOnwardAndTheFirstMatchingLineWins) {
    SimRig rig({},
               "call CleanServiceUsers 2 fail 7\n"
               "call CleanServiceUsers 2+ fail -1\n"
               "call CleanServiceUsers 4 fail 5\n");
    std::vector<int32_t> results;
    for (int i = 0; i < 5; ++i) results.push_back(rig.device.CleanServiceUsers());
    EXPECT_EQ(results, (std::vector<int32_t>{0, 7, -1, -1, -1}));
}

TEST(FaultCall, InitAndBootTakeTheirForcedResults) {
    const std::string image = testing::TempDir() + "faults-KORVA.ELF";
    {
        std::ifstream sample(kSources / "sim" / "KORVA.ELF", std::ios::binary);
        std::ofstream(image, std::ios::binary) << sample.rdbuf();
    }
    SimBoardSetup setup;
    setup.systemText = "";
    setup.faultScript = "call InitMcuSystem3 2 fail 17\ncall BootFile 2 fail -3\n";
    SimDevice device(setup);
    unsigned char area[SimBoard::kSystemAreaBytes], area2[SimBoard::kSystemArea2Bytes];
    int32_t out = 0;
    EXPECT_EQ(device.InitMcuSystem3(area, area2, 0, "x", &out), kErrFirmwareNotLoaded);
    EXPECT_EQ(device.BootFile(image.c_str(), 0), kOk);
    EXPECT_EQ(device.InitMcuSystem3(area, area2, 0, "x", &out), 17);
    EXPECT_EQ(device.InitMcuSystem3(area, area2, 0, "x", &out), kOk);
    EXPECT_EQ(device.BootFile(image.c_str(), 0), -3);
    std::filesystem::remove(image);
}

TEST(FaultCall, FailDoesNothingWhileResultStillActs) {
    {
        SimRig rig({}, "call wrOptionInt * result 6\n");
        ASSERT_EQ(rig.Connect(), 6);
        EXPECT_EQ(rig.StartScan(0), 6);
        rig.time.AdvanceMs(1);
        EXPECT_EQ(rig.ReadInt(optScanRecordCount), 20);  // every write took effect
    }
    {
        SimRig rig({}, "option optScanRun 1 fail 6\n");
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        EXPECT_EQ(rig.StartScan(0), 6);
        EXPECT_EQ(rig.table[optScanRun].location, 0);  // untouched: the call never happened
        rig.time.AdvanceMs(1);
        EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusRunning, 0);
        EXPECT_EQ(rig.Write(optScanRun, 1), kOptionSuccess);  // the second is let through
    }
}

TEST(FaultOption, ADescriptorFailsByNameOrNumberOnItsKthCall) {
    SimRig rig({},
               "option 1100/0/2 2 fail 1\n"  // optScanCommit
               "option optScanStatus 3+ result -7\n");
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    EXPECT_EQ(rig.StartScan(0), kOptionSuccess);
    EXPECT_EQ(rig.StartScan(0), kOptionSuccess | 1 | kErrNotCommitted);  // nothing committed
    EXPECT_EQ(rig.StartScan(0), kOptionSuccess);
    int32_t status = 0;
    for (int32_t expected : {kOptionSuccess, kOptionSuccess, -7, -7}) {
        status = 0;
        EXPECT_EQ(rig.device.rdOptionInt(&rig.table[optScanStatus], &status), expected);
        EXPECT_NE(status & kStatusRunning, 0);  // "result": the read itself still happened
    }
}

TEST(FaultPull, AForcedCountNeverWritesBeyondTheCapacityNorInventsRecords) {
    struct Case {
        int32_t forced;
        int32_t records;  // whole real records placed
    } cases[] = {
        {-5, 0},  {0, 0},   {3, 0},   {71, 0},   {72, 0},     {76, 1},
        {144, 1}, {147, 1}, {148, 2}, {1001, 5}, {200000, 5},
    };
    constexpr int32_t kCapacity = 144000;
    constexpr unsigned char kGuard = 0x5A;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "forced " << c.forced);
        SimRig rig("Seed = 5\n", "pull 2 bytes " + std::to_string(c.forced) + "\n");
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
        std::vector<unsigned char> buffer(kCapacity + 64, kGuard);
        ASSERT_EQ(rig.device.rdScannerBuffer(buffer.data(), kCapacity), 0);  // pull 1
        rig.time.AdvanceUs(250);                                             // 5 records
        ASSERT_EQ(rig.device.rdScannerBuffer(buffer.data(), kCapacity), c.forced);

        const int32_t placed = std::clamp(c.forced, 0, kCapacity);
        if (placed >= kLeadBytes) {
            EXPECT_EQ(GetLE32(buffer.data()), static_cast<uint32_t>(5 - c.records));
        }
        for (int32_t i = kLeadBytes + c.records * kRecordBytes; i < placed; ++i)
            ASSERT_EQ(buffer[static_cast<std::size_t>(i)], 0) << "byte " << i << " not zeroed";
        for (std::size_t i = static_cast<std::size_t>(placed); i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], kGuard) << "byte " << i << " written beyond the count";
        const Signals signals(5);
        for (int32_t k = 0; k < c.records; ++k) {
            SimRecord r = DecodeSimRecord(buffer.data() + kLeadBytes + k * kRecordBytes);
            EXPECT_EQ(r.sequence, k);
            EXPECT_EQ(r.channel[0], signals.Value(3, k));  // channel 1 is optSrcDbl13
        }
        // Only the records placed left the spool; the rest follow in order.
        std::vector<unsigned char> rest(1000);
        int32_t n = rig.device.rdScannerBuffer(rest.data(), 1000);
        int32_t left = 5 - c.records;
        EXPECT_EQ(n, left > 0 ? kLeadBytes + left * kRecordBytes : 0);
        if (left > 0) {
            EXPECT_EQ(DecodeSimRecord(rest.data() + kLeadBytes).sequence, c.records);
        }
    }
}

TEST(FaultPull, CallRulesOnTheBufferFunctionsObeyTheSameLimits) {
    SimRig rig({},
               "call SendReqScannerBuffer 1 fail 0x12340000\n"
               "call rdScannerBuffer 1 fail 500\n");
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    EXPECT_EQ(rig.device.SendReqScannerBuffer(nullptr, 0), 0x12340000);  // a forced probe
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceUs(100);
    std::vector<unsigned char> buffer(300, 0xEE);
    EXPECT_EQ(rig.device.rdScannerBuffer(buffer.data(), 200), 500);
    EXPECT_EQ(DecodeSimRecord(buffer.data() + kLeadBytes).sequence, 0);
    EXPECT_EQ(DecodeSimRecord(buffer.data() + kLeadBytes + kRecordBytes).sequence, 1);
    for (std::size_t i = 200; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << i;
}

TEST(FaultStall, TheRecorderStopsMakingRecordsButStillReportsRunning) {
    {
        SimRig rig({}, "stall time 5\n");
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        for (int run = 0; run < 2; ++run) {  // from each run's start
            ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
            rig.time.AdvanceMs(100);
            EXPECT_EQ(rig.ReadInt(optScanRecordCount), 100);
            EXPECT_NE(rig.ReadInt(optScanStatus) & kStatusRunning, 0);
        }
    }
    {
        SimRig rig({}, "stall pull 2\n");
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
        unsigned char buffer[10000];
        for (int32_t expected : {20, 20, 0, 0}) {
            rig.time.AdvanceMs(1);
            int32_t n = rig.device.rdScannerBuffer(buffer, sizeof buffer);
            EXPECT_EQ(n > 0 ? (n - kLeadBytes) / kRecordBytes : 0, expected);
        }
        ASSERT_EQ(rig.StartScan(0), kOptionSuccess);  // for good
        rig.time.AdvanceMs(10);
        EXPECT_EQ(rig.ReadInt(optScanRecordCount), 0);
    }
}

TEST(FaultStatus, SetBitsStayOnEvenAfterTheRunEnds) {
    SimRig rig({}, "status set 4\nstatus set 0x100\n");
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    EXPECT_EQ(rig.ReadInt(optScanStatus), 0x104);
    ASSERT_EQ(rig.StartScan(10), kOptionSuccess);
    rig.time.AdvanceMs(10);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & (0x100 | kStatusRunning | kStatusLimitReached),
              0x100 | kStatusRunning | kStatusLimitReached);
}

TEST(FaultSettings, ScriptOverridesTheSystemFile) {
    struct Case {
        const char* system;
        const char* faults;
        bool probeAvailable;
        int32_t recordSize;
        int32_t countAfter10ms;  // with the strobe wait on
    } cases[] = {
        {"PhysMem = no\nStrobeDelay = 1000\n", "physmem available\nstrobe 5\n", true, 72, 100},
        {"PhysMem = yes\nStrobeDelay = 0\n", "physmem unavailable\nstrobe never\nrecordsize 50\n",
         false, 50, 0},
        {"PhysMem = yes\nStrobeDelay = 0\n", "recordsize -1\n", true, -1, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        SimRig rig(c.system, c.faults);
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        EXPECT_EQ((rig.device.SendReqScannerBuffer(nullptr, 0) & 0xFFFF) == 0, c.probeAvailable);
        EXPECT_EQ(rig.ReadInt(optScanRecordSize), c.recordSize);
        ASSERT_EQ(rig.StartScan(0, true), kOptionSuccess);
        rig.time.AdvanceMs(10);
        EXPECT_EQ(rig.ReadInt(optScanRecordCount), c.countAfter10ms);
        // Records keep their 72 bytes whatever size is reported.
        unsigned char buffer[1000];
        int32_t n = rig.device.rdScannerBuffer(buffer, 4 + 2 * kRecordBytes);
        if (c.countAfter10ms > 0) {
            ASSERT_EQ(n, 4 + 2 * kRecordBytes);
            EXPECT_EQ(DecodeSimRecord(buffer + 4 + kRecordBytes).sequence, 1);
        }
    }
}

TEST(FaultClock, ClockStepMakesTimeACountOfCalls) {
    // No time source: without the script the host clock would drive the board.
    SimBoardSetup setup;
    setup.systemText = "";
    setup.firmwareLoaded = true;
    setup.faultScript = "clock step 1000\n";
    SimDevice device(setup);
    OptionTable table;
    unsigned char area[SimBoard::kSystemAreaBytes], area2[SimBoard::kSystemArea2Bytes];
    int32_t out = 0;
    ASSERT_EQ(device.InitMcuSystem3(area, area2, 0, "x", &out), 0);
    int32_t one = 1;
    ASSERT_EQ(device.wrOptionInt(&table[optScanCommit], &one), kOptionSuccess);
    ASSERT_EQ(device.wrOptionInt(&table[optScanRun], &one), kOptionSuccess);  // at 3 ms
    std::vector<int32_t> counts;
    for (int i = 0; i < 3; ++i) {
        int32_t count = 0;
        ASSERT_EQ(device.rdOptionInt(&table[optScanRecordCount], &count), kOptionSuccess);
        counts.push_back(count);
    }
    EXPECT_EQ(counts, (std::vector<int32_t>{20, 40, 60}));
}

}  // namespace
