// Buffer reads of the simulated board: 4 + 72k bytes, never beyond the capacity, the
// physical-memory probe, and the dump that end-to-end tests rebuild the log from.
#include <gtest/gtest.h>
#include <stdlib.h>

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
#include "sim/text.h"
#include "tests/support/simdevice.h"
#include "tests/support/testfiles.h"

namespace {

using namespace zorix;
namespace fs = std::filesystem;

constexpr unsigned char kGuard = 0xC3;

using Read = int32_t (SimDevice::*)(void*, int32_t);
struct Path {
    const char* name;
    Read read;
};
const Path kPaths[] = {{"rdScannerBuffer", &SimDevice::rdScannerBuffer},
                       {"SendReqScannerBuffer", &SimDevice::SendReqScannerBuffer}};

// A rig with `records` waiting.
void Record(SimRig& rig, int records) {
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(records), kOptionSuccess);
    rig.time.AdvanceMs(1000);
    ASSERT_EQ(rig.ReadInt(optScanRecordCount), records);
}

TEST(SimBufferRead, DeliversWholeRecordsAndNeverMoreThanTheCapacity) {
    struct Case {
        int32_t capacity;
        int32_t expected;
    } cases[] = {
        {0, 0},
        {75, 0},
        {76, 76},
        {147, 76},
        {148, 148},
        {144000, 4 + 72 * 1999},
        {144720, 4 + 72 * 2009},
    };
    for (const Path& path : kPaths) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << path.name << " capacity " << c.capacity);
            SimRig rig;
            Record(rig, 3000);
            std::vector<unsigned char> buffer(static_cast<std::size_t>(c.capacity) + 64, kGuard);
            int32_t n = (rig.device.*path.read)(buffer.data(), c.capacity);
            if (c.capacity == 0 && path.read == &SimDevice::SendReqScannerBuffer) {
                EXPECT_EQ(n & 0xFFFF, 0);  // the probe, tested below
                n = 0;
            } else {
                EXPECT_EQ(n, c.expected);
            }
            for (std::size_t i = static_cast<std::size_t>(n); i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], kGuard) << "byte " << i << " written beyond the count";
            int32_t records = n > 0 ? (n - kLeadBytes) / kRecordBytes : 0;
            if (n > 0) {
                EXPECT_EQ(static_cast<int32_t>(GetLE32(buffer.data())), 3000 - records);
                EXPECT_EQ(DecodeSimRecord(buffer.data() + n - kRecordBytes).sequence, records - 1);
            }
            // What was delivered has left the spool; the rest comes next, in order.
            std::vector<unsigned char> next(200);
            ASSERT_EQ(rig.device.rdScannerBuffer(next.data(), 76), 76);
            EXPECT_EQ(DecodeSimRecord(next.data() + kLeadBytes).sequence, records);
        }
    }
}

TEST(SimBufferRead, NothingWaitingGivesZeroAndTouchesNothing) {
    SimRig rig;
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    std::vector<unsigned char> buffer(1000, kGuard);
    for (const Path& path : kPaths) {
        SCOPED_TRACE(path.name);
        EXPECT_EQ((rig.device.*path.read)(buffer.data(), 1000), 0);  // nothing recorded
        ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
        rig.time.AdvanceUs(49);  // not a whole sample period yet
        EXPECT_EQ((rig.device.*path.read)(buffer.data(), 1000), 0);
        rig.time.AdvanceUs(1);
        EXPECT_EQ((rig.device.*path.read)(buffer.data(), 1000), 76);
        EXPECT_EQ((rig.device.*path.read)(buffer.data() + 100, 900), 0);
    }
    for (std::size_t i = 76; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], kGuard) << i;
}

TEST(SimBufferRead, BadArgumentsAreRefused) {
    SimRig rig;
    Record(rig, 10);
    unsigned char buffer[100];
    for (const Path& path : kPaths) {
        SCOPED_TRACE(path.name);
        EXPECT_EQ((rig.device.*path.read)(buffer, -1), kErrBufferBadArgument);
        EXPECT_EQ((rig.device.*path.read)(nullptr, 100), kErrBufferBadArgument);
    }
    EXPECT_EQ(rig.device.rdScannerBuffer(nullptr, 0), 0);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusRecordsWaiting, kStatusRecordsWaiting);
}

TEST(SimProbe, ReportsThePhysicalMemoryPathAndTakesNoRecords) {
    for (bool available : {true, false}) {
        SCOPED_TRACE(available ? "PhysMem = yes" : "PhysMem = no");
        SimRig rig(available ? "PhysMem = yes\n" : "PhysMem = no\n");
        Record(rig, 10);
        int32_t probe = rig.device.SendReqScannerBuffer(nullptr, 0);
        EXPECT_EQ((probe & 0xFFFF) == 0, available) << std::hex << probe;
        unsigned char buffer[1000];
        EXPECT_EQ(rig.device.SendReqScannerBuffer(buffer, sizeof buffer),
                  available ? 4 + 72 * 10 : kErrPhysMemUnavailable);
        // The other path works either way and still finds what the probe left.
        if (!available) {
            EXPECT_EQ(rig.device.rdScannerBuffer(buffer, sizeof buffer), 4 + 72 * 10);
        }
    }
}

class SimDump : public testing::Test {
  protected:
    SimBoardSetup Setup(const std::string& dumpPath, const std::string& faults = {}) {
        SimBoardSetup setup = SimDevice::Warm("", time.Source(), faults);
        setup.dumpPath = dumpPath;
        setup.diagnostics = &diagnostics;
        return setup;
    }
    static void Start(SimDevice& device, OptionTable& table) {
        unsigned char area[SimBoard::kSystemAreaBytes], area2[SimBoard::kSystemArea2Bytes];
        int32_t out, value = 0;
        ASSERT_EQ(device.InitMcuSystem3(area, area2, 0, "x", &out), 0);
        double dbl;
        ASSERT_EQ(device.rdOptionDbl(&table[optSrcDbl10], &dbl), kOptionSuccess);
        table[optScanChannel1].linkValue = table[optSrcDbl10].location;
        for (auto [e, v] : {std::pair{optScanChannel1, 0}, {optScanCommit, 1}, {optScanRun, 1}}) {
            value = v;
            ASSERT_EQ(device.wrOptionInt(&table[e], &value), kOptionSuccess);
        }
    }

    TempDir tmp{"simdump"};
    fs::path dir = tmp.Path();
    ManualTime time;
    std::ostringstream diagnostics;
};

TEST_F(SimDump, HoldsExactlyTheBytesEachReadPlaced) {
    const std::string path = (dir / "dump.bin").string();
    SimDevice device(Setup(path, "pull 3 bytes 100\n"));
    OptionTable table;
    Start(device, table);
    std::vector<std::vector<unsigned char>> delivered;
    std::vector<int32_t> results;
    std::vector<unsigned char> buffer(5000, kGuard);
    for (int64_t us : {1000, 0, 500, 2000}) {  // 20 records, nothing, 10 (forced 100), 40
        time.AdvanceUs(us);
        int32_t n = device.rdScannerBuffer(buffer.data(), 4000);
        if (n <= 0) continue;
        results.push_back(n);
        delivered.emplace_back(buffer.begin(), buffer.begin() + std::min(n, 4000));
    }
    ASSERT_EQ(results, (std::vector<int32_t>{4 + 72 * 20, 100, 4 + 72 * 49}));

    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> dump((std::istreambuf_iterator<char>(in)), {});
    std::size_t at = 0;
    for (std::size_t i = 0; i < delivered.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_LE(at + 16, dump.size());
        EXPECT_EQ(std::memcmp(dump.data() + at, "PULL", 4), 0);
        EXPECT_EQ(static_cast<int32_t>(GetLE32(dump.data() + at + 4)), results[i]);
        EXPECT_EQ(GetLE32(dump.data() + at + 8), 4000u);
        uint32_t placed = GetLE32(dump.data() + at + 12);
        ASSERT_EQ(placed, delivered[i].size());
        ASSERT_LE(at + 16 + placed, dump.size());
        EXPECT_TRUE(std::equal(delivered[i].begin(), delivered[i].end(), dump.begin() + at + 16));
        at += 16 + placed;
    }
    EXPECT_EQ(at, dump.size());
    EXPECT_EQ(diagnostics.str(), "");
}

TEST_F(SimDump, AFailedDumpIsReportedAndTheReadsGoOn) {
    fs::create_directory(dir / "folder");
    for (std::string path : {std::string("/dev/full"), (dir / "folder").string()}) {
        SCOPED_TRACE(path);
        diagnostics.str("");
        SimDevice device(Setup(path));
        OptionTable table;
        Start(device, table);
        unsigned char buffer[1000];
        time.AdvanceMs(1);
        EXPECT_EQ(device.rdScannerBuffer(buffer, sizeof buffer), 4 + 72 * 13);
        time.AdvanceMs(1);
        EXPECT_EQ(device.rdScannerBuffer(buffer, sizeof buffer), 4 + 72 * 13);
        const std::string said = diagnostics.str();
        const std::string message = "cannot write the dump file '" + path + "'";
        std::size_t first = said.find(message);
        EXPECT_NE(first, std::string::npos) << said;
        EXPECT_EQ(said.find(message, first + 1), std::string::npos) << "reported once: " << said;
    }
}

}  // namespace
