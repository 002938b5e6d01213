// The simulated recorder: pacing by elapsed time x rate, channel links, the spool and its
// overflow, the record limit, the strobe, and data that depends on the seed alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "device/options.h"
#include "sim/descriptors.h"
#include "sim/errors.h"
#include "sim/signals.h"
#include "tests/support/simdevice.h"

namespace {

using namespace zorix;

constexpr int32_t kPull = 144000;

// Every record waiting, in read order.
std::vector<SimRecord> Drain(SimRig& rig) {
    std::vector<SimRecord> records;
    std::vector<unsigned char> buffer(kPull);
    for (int32_t n; (n = rig.device.rdScannerBuffer(buffer.data(), kPull)) > 0;) {
        EXPECT_EQ((n - kLeadBytes) % kRecordBytes, 0) << n;
        for (int32_t at = kLeadBytes; at + kRecordBytes <= n; at += kRecordBytes)
            records.push_back(DecodeSimRecord(buffer.data() + at));
    }
    return records;
}

void ExpectSequence(const std::vector<SimRecord>& records, int32_t first, int32_t count) {
    ASSERT_EQ(records.size(), static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) ASSERT_EQ(records[i].sequence, first + i) << i;
}

int SourceOf(const OptionDescriptor& d) {
    return FindOption(d.group, d.index, d.subIndex)->number;
}

TEST(SimPacing, RecordsAreElapsedTimeTimesRateOverTheTimeFactor) {
    struct Case {
        int32_t rate, factor;
        int64_t elapsedUs;
        int32_t expected;
    } cases[] = {
        {20000, 1, 0, 0},          {20000, 1, 49, 0},          {20000, 1, 50, 1},
        {20000, 1, 1000, 20},      {20000, 1, 1000000, 20000}, {20000, 2, 1000000, 10000},
        {20000, 5, 1000000, 4000}, {20000, 100, 4999, 0},      {20000, 100, 1000000, 200},
        {1000, 1, 1000000, 1000},  {1000, 3, 999999, 333},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << c.rate << " factor " << c.factor << " after "
                                        << c.elapsedUs << " us");
        SimRig rig("BaseSampleRate = " + std::to_string(c.rate) + "\n");
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        ASSERT_EQ(rig.Write(optScanTimeFactor, c.factor), kOptionSuccess);
        ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
        rig.time.AdvanceUs(c.elapsedUs);
        EXPECT_EQ(rig.ReadInt(optScanRecordCount), c.expected);
        ExpectSequence(Drain(rig), 0, c.expected);
    }
}

TEST(SimPacing, TimeFactorChangeDuringARunShiftsNoRecord) {
    SimRig rig;
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceUs(10'025);  // 200 records and half a period
    ASSERT_EQ(rig.Write(optScanTimeFactor, 4), kOptionSuccess);
    rig.time.AdvanceUs(9'950);  // 200 us per record from record 200 on
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 249);
    rig.time.AdvanceUs(25);
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 250);
    ASSERT_EQ(rig.Write(optScanTimeFactor, 1), kOptionSuccess);
    rig.time.AdvanceMs(1);
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 270);
    ExpectSequence(Drain(rig), 0, 270);
}

TEST(SimPacing, LongRunsKeepCountingWithoutOverflow) {
    SimRig rig("SpoolRecords = 10\n");
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceMs(int64_t{30} * 3600 * 1000);  // 30 hours: 2.16e9 records
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), INT32_MAX);
    std::vector<SimRecord> last = Drain(rig);
    ASSERT_EQ(last.size(), 10u);
    // The newest records; their 32-bit sequence numbers have wrapped, still one apart.
    EXPECT_EQ(static_cast<uint32_t>(last.back().sequence), 2'160'000'000u - 1);
    EXPECT_EQ(static_cast<uint32_t>(last.back().sequence - last.front().sequence), 9u);
}

TEST(SimChannels, ChannelKCarriesTheSourceInItsLink) {
    SimRig rig("Seed = 99\n");
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceMs(5);
    // Then cross channels 1 and 8 and record again.
    ASSERT_EQ(rig.Write(optScanInit, 1), kOptionSuccess);
    std::vector<SimRecord> straight = Drain(rig);
    for (const ChannelLink& link : ChannelLinks)
        rig.table[link.link].linkValue = rig.table[link.source].location;
    rig.table[optScanChannel1].linkValue = rig.table[optSrcDbl20].location;
    rig.table[optScanChannel8].linkValue = rig.table[optSrcDbl13].location;
    rig.table[optScanChannel9].linkValue = rig.table[optSrcDbl10].location;
    for (const ChannelLink& link : ChannelLinks) ASSERT_EQ(rig.Write(link.link, 0), kOptionSuccess);
    ASSERT_EQ(rig.Write(optScanCommit, 1), kOptionSuccess);
    ASSERT_EQ(rig.Write(optScanRun, 1), kOptionSuccess);
    rig.time.AdvanceMs(5);
    std::vector<SimRecord> crossed = Drain(rig);
    ASSERT_EQ(straight.size(), 100u);
    ASSERT_EQ(crossed.size(), 100u);

    const Signals signals(99);
    for (std::size_t i = 0; i < straight.size(); ++i) {
        const SimRecord& r = straight[i];
        for (const ChannelLink& link : ChannelLinks) {
            SCOPED_TRACE(testing::Message() << "record " << i << " channel " << link.channel);
            int source = SourceOf(rig.table[link.source]);
            if (link.channel <= 8) {
                ASSERT_EQ(r.channel[link.channel - 1], signals.Value(source, r.sequence));
            } else {
                int16_t got = link.channel == 9 ? r.channel9 : r.channel10;
                ASSERT_EQ(got, static_cast<int16_t>(signals.IntValue(source, r.sequence)));
            }
        }
        const SimRecord& c = crossed[i];
        ASSERT_EQ(c.channel[0], signals.Value(SourceOf(rig.table[optSrcDbl20]), c.sequence));
        ASSERT_EQ(c.channel[7], signals.Value(SourceOf(rig.table[optSrcDbl13]), c.sequence));
        ASSERT_EQ(c.channel[1], signals.Value(SourceOf(rig.table[optSrcDbl23]), c.sequence));
        ASSERT_EQ(c.channel9,
                  std::lround(signals.Value(SourceOf(rig.table[optSrcDbl10]), c.sequence)));
    }
    // The sources really differ, so a wrong link could not pass unnoticed.
    EXPECT_NE(straight[50].channel[0], straight[50].channel[7]);
}

TEST(SimData, SameSeedSameBytesHoweverTheReadsAreTimed) {
    auto run = [](const char* system, int steps) {
        SimRig rig(system);
        EXPECT_EQ(rig.Connect(), kOptionSuccess);
        EXPECT_EQ(rig.StartScan(3000), kOptionSuccess);
        std::vector<unsigned char> bytes, buffer(kPull);
        for (int i = 0; i < steps; ++i) {
            rig.time.AdvanceUs(200'000 / steps);
            for (int32_t n; (n = rig.device.rdScannerBuffer(buffer.data(), 7204)) > 0;)
                bytes.insert(bytes.end(), buffer.begin() + kLeadBytes, buffer.begin() + n);
        }
        return bytes;
    };
    std::vector<unsigned char> once = run("Seed = 7\n", 1);
    EXPECT_EQ(once.size(), 3000u * kRecordBytes);
    EXPECT_EQ(run("Seed = 7\n", 173), once);
    EXPECT_NE(run("Seed = 8\n", 1), once);
}

TEST(SimSpool, OverflowDropsTheOldestAndStaysVisibleUntilTheNextStart) {
    SimRig rig("SpoolRecords = 100\n");
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceMs(4);  // 80 records
    EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusSpoolOverflow, 0);
    rig.time.AdvanceMs(6);  // 200 in all
    EXPECT_NE(rig.ReadInt(optScanStatus) & kStatusSpoolOverflow, 0);
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 200);
    ExpectSequence(Drain(rig), 100, 100);
    EXPECT_NE(rig.ReadInt(optScanStatus) & kStatusSpoolOverflow, 0);  // sticky after the drain
    rig.time.AdvanceMs(1);
    ExpectSequence(Drain(rig), 200, 20);  // no overflow now, nothing lost

    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusSpoolOverflow, 0);
}

TEST(SimSpool, StopKeepsWhatWasRecordedForDraining) {
    SimRig rig;
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceMs(5);
    ASSERT_EQ(rig.Write(optScanRun, 0), kOptionSuccess);
    rig.time.AdvanceMs(5);
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 100);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & (kStatusRunning | kStatusRecordsWaiting),
              kStatusRecordsWaiting);
    ExpectSequence(Drain(rig), 0, 100);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusRecordsWaiting, 0);
}

TEST(SimRecordLimit, TheRunEndsItselfAtTheLimit) {
    SimRig rig;
    ASSERT_EQ(rig.Connect(), kOptionSuccess);
    ASSERT_EQ(rig.StartScan(50), kOptionSuccess);
    rig.time.AdvanceUs(2'450);  // 49 records
    EXPECT_EQ(rig.ReadInt(optScanStatus) & (kStatusRunning | kStatusLimitReached), kStatusRunning);
    rig.time.AdvanceMs(10);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & (kStatusRunning | kStatusLimitReached),
              kStatusLimitReached);
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 50);
    ExpectSequence(Drain(rig), 0, 50);

    // 0 means endless again, and the next start clears the limit bit.
    ASSERT_EQ(rig.StartScan(0), kOptionSuccess);
    rig.time.AdvanceMs(10);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & (kStatusRunning | kStatusLimitReached), kStatusRunning);
    EXPECT_EQ(rig.ReadInt(optScanRecordCount), 200);
}

TEST(SimStrobe, RecordingBeginsWhenTheStrobeFires) {
    struct Case {
        const char* system;
        bool wait;
        int32_t statusAt10ms;  // running and strobe bits
        int32_t countAt30ms;
    } cases[] = {
        {"StrobeDelay = 20\n", true, kStatusRunning | kStatusWaitingStrobe, 200},
        {"StrobeDelay = 0\n", true, kStatusRunning, 600},
        {"StrobeDelay = never\n", true, kStatusRunning | kStatusWaitingStrobe, 0},
        {"StrobeDelay = 20\n", false, kStatusRunning, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.system << "wait " << c.wait);
        SimRig rig(c.system);
        ASSERT_EQ(rig.Connect(), kOptionSuccess);
        ASSERT_EQ(rig.StartScan(0, c.wait), kOptionSuccess);
        rig.time.AdvanceMs(10);
        EXPECT_EQ(rig.ReadInt(optScanStatus) & (kStatusRunning | kStatusWaitingStrobe),
                  c.statusAt10ms);
        rig.time.AdvanceMs(20);
        EXPECT_EQ(rig.ReadInt(optScanRecordCount), c.countAt30ms);
        ExpectSequence(Drain(rig), 0, c.countAt30ms);
    }
}

}  // namespace
