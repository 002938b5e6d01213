// The simulated board's options: it knows the program's thirty descriptors, refuses everything
// else with an error (never 4), and leaves handles that name the sources.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "device/options.h"
#include "sim/errors.h"
#include "tests/support/simdevice.h"

namespace {

using namespace zorix;

class SimOptions : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(rig.Connect(), kOptionOk); }
    SimRig rig;
};

TEST_F(SimOptions, AcceptsEveryDescriptorOfTheProgramsTable) {
    // Entries that the program writes, with a value it writes; the rest it reads.
    const std::set<OptionEntry> doubles = {optSrcDbl20, optSrcDbl10, optSrcDbl21, optSrcDbl11,
                                           optSrcDbl22, optSrcDbl12, optSrcDbl23, optSrcDbl13};
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const auto e = static_cast<OptionEntry>(i);
        SCOPED_TRACE(OptionName(e));
        OptionDescriptor& d = rig.table[e];
        d.location = 0;
        int32_t value = 1;
        double dbl = 0;
        int32_t result;
        if (d.access == 3) {
            d.linkValue = rig.table[optSrcDbl10].location;
            value = 0;
            result = rig.device.wrOptionInt(&d, &value);
        } else if (d.access == 2) {
            if (e == optScanWaitStrobe || e == optScanRecordLimit || e == optScanRun) value = 0;
            result = rig.device.wrOptionInt(&d, &value);
        } else if (doubles.count(e)) {
            result = rig.device.rdOptionDbl(&d, &dbl);
        } else {
            result = rig.device.rdOptionInt(&d, &value);
        }
        EXPECT_EQ(result, kOptionOk);
        EXPECT_NE(d.location, 0);
    }
}

TEST_F(SimOptions, SourceHandlesAreDistinctNonzeroAndStable) {
    std::set<int32_t> handles;
    for (const ChannelLink& link : ChannelLinks) handles.insert(rig.table[link.source].location);
    EXPECT_EQ(handles.size(), 10u);
    EXPECT_EQ(handles.count(0), 0u);

    // A second read, and another board in another state, leave the very same handles.
    SimRig other;
    other.time.AdvanceMs(1234);
    ASSERT_EQ(other.Connect(), kOptionOk);
    rig.time.AdvanceMs(50);
    double dbl = 0;
    int32_t value = 0;
    for (const ChannelLink& link : ChannelLinks) {
        SCOPED_TRACE(OptionName(link.source));
        OptionDescriptor again = rig.table[link.source];
        again.location = 0;
        if (again.valueType == 4)
            ASSERT_EQ(rig.device.rdOptionDbl(&again, &dbl), kOptionOk);
        else
            ASSERT_EQ(rig.device.rdOptionInt(&again, &value), kOptionOk);
        EXPECT_EQ(again.location, rig.table[link.source].location);
        EXPECT_EQ(other.table[link.source].location, rig.table[link.source].location);
    }
}

TEST_F(SimOptions, SourcesDeliverMovingValuesOfTheirOwnType) {
    double first = 0, later = 0;
    ASSERT_EQ(rig.device.rdOptionDbl(&rig.table[optSrcDbl10], &first), kOptionOk);
    rig.time.AdvanceMs(100);
    ASSERT_EQ(rig.device.rdOptionDbl(&rig.table[optSrcDbl10], &later), kOptionOk);
    EXPECT_NE(first, later);
    int32_t inputs = -1;
    ASSERT_EQ(rig.device.rdOptionInt(&rig.table[optSrcInt50], &inputs), kOptionOk);
    EXPECT_GE(inputs, 0);
    EXPECT_LE(inputs, 0xFFFF);
}

// One refused call: what to change in a copy of the program's descriptor, how to call, and
// the number expected. The descriptor must come back exactly as it went in.
struct Refusal {
    const char* what;
    OptionEntry entry;
    std::function<void(OptionDescriptor&)> change;
    enum Call { Write, ReadInt, ReadDbl } call;
    int32_t value;
    int32_t expected;
};

TEST_F(SimOptions, RefusesWhatItDoesNotKnowOrAllow) {
    auto none = [](OptionDescriptor&) {};
    const int32_t runSlot = [&] {
        OptionDescriptor d = rig.table[optScanRecordLimit];
        int32_t zero = 0;
        rig.device.wrOptionInt(&d, &zero);
        return d.location;
    }();
    const Refusal cases[] = {
        {"unknown group", optScanRun, [](auto& d) { d.group = 1200; }, Refusal::Write, 1,
         kErrUnknownOption},
        {"unknown index", optSrcDbl10, [](auto& d) { d.index = 3; }, Refusal::ReadDbl, 0,
         kErrUnknownOption},
        {"unknown subIndex", optScanRun, [](auto& d) { d.subIndex = 5; }, Refusal::Write, 1,
         kErrUnknownOption},
        {"channel 11", optScanChannel10, [](auto& d) { d.index = 11; }, Refusal::Write, 0,
         kErrUnknownOption},
        {"access word wrong", optSrcDbl10, [](auto& d) { d.access = 2; }, Refusal::ReadDbl, 0,
         kErrWrongAccess},
        {"read of write-only", optScanRun, none, Refusal::ReadInt, 0, kErrWrongAccess},
        {"write of read-only", optScanStatus, none, Refusal::Write, 1, kErrWrongAccess},
        {"read of a link", optScanChannel1, none, Refusal::ReadInt, 0, kErrWrongAccess},
        {"type word wrong", optScanRun, [](auto& d) { d.valueType = 4; }, Refusal::Write, 1,
         kErrWrongValueType},
        {"int read of double source", optSrcDbl13, none, Refusal::ReadInt, 0, kErrWrongValueType},
        {"double read of int source", optSrcInt40, none, Refusal::ReadDbl, 0, kErrWrongValueType},
        {"double read of status", optScanStatus, none, Refusal::ReadDbl, 0, kErrWrongValueType},
        {"link without handle", optScanChannel1, [](auto& d) { d.linkValue = 0; }, Refusal::Write,
         0, kErrUnknownSourceHandle},
        {"link to a non-source", optScanChannel2, [&](auto& d) { d.linkValue = runSlot; },
         Refusal::Write, 0, kErrUnknownSourceHandle},
        {"link with value 1", optScanChannel3, none, Refusal::Write, 1, kErrValueOutOfRange},
        {"time factor 0", optScanTimeFactor, none, Refusal::Write, 0, kErrValueOutOfRange},
        {"time factor 101", optScanTimeFactor, none, Refusal::Write, 101, kErrValueOutOfRange},
        {"run 2", optScanRun, none, Refusal::Write, 2, kErrValueOutOfRange},
        {"strobe wait 2", optScanWaitStrobe, none, Refusal::Write, 2, kErrValueOutOfRange},
        {"negative record limit", optScanRecordLimit, none, Refusal::Write, -1,
         kErrValueOutOfRange},
        {"scan init 0", optScanInit, none, Refusal::Write, 0, kErrValueOutOfRange},
        {"commit 0", optScanCommit, none, Refusal::Write, 0, kErrValueOutOfRange},
        {"run before commit", optScanRun, none, Refusal::Write, 1, kErrNotCommitted},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        OptionDescriptor d = rig.table[c.entry];
        d.location = 0;
        d.linkValue = d.access == 3 ? rig.table[optSrcDbl10].location : 0;
        c.change(d);
        const OptionDescriptor before = d;
        int32_t value = c.value;
        double dbl = 0;
        int32_t result = c.call == Refusal::Write     ? rig.device.wrOptionInt(&d, &value)
                         : c.call == Refusal::ReadInt ? rig.device.rdOptionInt(&d, &value)
                                                      : rig.device.rdOptionDbl(&d, &dbl);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(std::memcmp(&d, &before, sizeof d), 0) << "location " << d.location;
        // Every refusal also fails a check that ORs results and ignores the bit of value 2.
        EXPECT_NE((result | kOptionOk) & ~2, kOptionOk);
    }
}

TEST_F(SimOptions, NullArgumentsAreRefusedNotFollowed) {
    int32_t value = 1;
    double dbl = 0;
    EXPECT_EQ(rig.device.wrOptionInt(nullptr, &value), kErrBadArgument);
    EXPECT_EQ(rig.device.wrOptionInt(&rig.table[optScanRun], nullptr), kErrBadArgument);
    EXPECT_EQ(rig.device.rdOptionInt(&rig.table[optScanStatus], nullptr), kErrBadArgument);
    EXPECT_EQ(rig.device.rdOptionDbl(nullptr, &dbl), kErrBadArgument);
}

TEST_F(SimOptions, RunNeedsLinksCommittedSinceTheLastChange) {
    EXPECT_EQ(rig.StartScan(0), kOptionOk);
    EXPECT_EQ(rig.Write(optScanRun, 0), kOptionOk);
    // A new link undoes the commit; so does optScanInit.
    rig.table[optScanChannel4].linkValue = rig.table[optSrcDbl10].location;
    EXPECT_EQ(rig.Write(optScanChannel4, 0), kOptionOk);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusCommitted, 0);
    EXPECT_EQ(rig.Write(optScanRun, 1), kErrNotCommitted);
    EXPECT_EQ(rig.Write(optScanCommit, 1), kOptionOk);
    EXPECT_EQ(rig.Write(optScanInit, 1), kOptionOk);
    EXPECT_EQ(rig.Write(optScanRun, 1), kErrNotCommitted);
}

TEST_F(SimOptions, ConfigurationIsRefusedWhileRunningButTheTimeFactorIsNot) {
    ASSERT_EQ(rig.StartScan(0), kOptionOk);
    rig.table[optScanChannel1].linkValue = rig.table[optSrcDbl20].location;
    EXPECT_EQ(rig.Write(optScanChannel1, 0), kErrRecorderBusy);
    EXPECT_EQ(rig.Write(optScanCommit, 1), kErrRecorderBusy);
    EXPECT_EQ(rig.Write(optScanRecordLimit, 5), kErrRecorderBusy);
    EXPECT_EQ(rig.Write(optScanWaitStrobe, 1), kErrRecorderBusy);
    EXPECT_EQ(rig.Write(optScanTimeFactor, 100), kOptionOk);
    EXPECT_EQ(rig.Write(optScanTimeFactor, 1), kOptionOk);
    // optScanInit is how a new scan begins: it stops the run and frees the configuration.
    EXPECT_EQ(rig.Write(optScanInit, 1), kOptionOk);
    EXPECT_EQ(rig.ReadInt(optScanStatus) & kStatusRunning, 0);
    EXPECT_EQ(rig.Write(optScanRecordLimit, 5), kOptionOk);
}

}  // namespace
