#include <gtest/gtest.h>

#include <set>

#include "device/options.h"

namespace {

struct Expected {
    OptionEntry entry;
    const char* name;
    int32_t group, index, subIndex, access, valueType;
};

// The table as the board expects it, entry by entry.
const Expected kTable[] = {
    {optMeasureInit, "optMeasureInit", 1000, 0, 1, 2, 3},
    {optSrcInt40, "optSrcInt40", 1000, 4, 0, 1, 3},
    {optSrcInt50, "optSrcInt50", 1000, 5, 0, 1, 3},
    {optSrcDbl20, "optSrcDbl20", 1000, 2, 0, 1, 4},
    {optSrcDbl10, "optSrcDbl10", 1000, 1, 0, 1, 4},
    {optSrcDbl21, "optSrcDbl21", 1000, 2, 1, 1, 4},
    {optSrcDbl11, "optSrcDbl11", 1000, 1, 1, 1, 4},
    {optSrcDbl22, "optSrcDbl22", 1000, 2, 2, 1, 4},
    {optSrcDbl12, "optSrcDbl12", 1000, 1, 2, 1, 4},
    {optSrcDbl23, "optSrcDbl23", 1000, 2, 3, 1, 4},
    {optSrcDbl13, "optSrcDbl13", 1000, 1, 3, 1, 4},
    {optScanInit, "optScanInit", 1100, 0, 1, 2, 3},
    {optScanWaitStrobe, "optScanWaitStrobe", 1100, 0, 11, 2, 3},
    {optScanChannel8, "optScanChannel8", 1100, 8, 1, 3, 0},
    {optScanChannel7, "optScanChannel7", 1100, 7, 1, 3, 0},
    {optScanChannel6, "optScanChannel6", 1100, 6, 1, 3, 0},
    {optScanChannel5, "optScanChannel5", 1100, 5, 1, 3, 0},
    {optScanChannel4, "optScanChannel4", 1100, 4, 1, 3, 0},
    {optScanChannel3, "optScanChannel3", 1100, 3, 1, 3, 0},
    {optScanChannel2, "optScanChannel2", 1100, 2, 1, 3, 0},
    {optScanChannel1, "optScanChannel1", 1100, 1, 1, 3, 0},
    {optScanChannel9, "optScanChannel9", 1100, 9, 1, 3, 0},
    {optScanCommit, "optScanCommit", 1100, 0, 2, 2, 3},
    {optScanRecordLimit, "optScanRecordLimit", 1100, 0, 7, 2, 3},
    {optScanRun, "optScanRun", 1100, 0, 3, 2, 3},
    {optScanRecordCount, "optScanRecordCount", 1100, 0, 8, 1, 3},
    {optScanRecordSize, "optScanRecordSize", 1100, 0, 9, 1, 3},
    {optScanStatus, "optScanStatus", 1100, 0, 4, 1, 3},
    {optScanChannel10, "optScanChannel10", 1100, 10, 1, 3, 0},
    {optScanTimeFactor, "optScanTimeFactor", 1100, 0, 6, 2, 3},
};

TEST(OptionTable, InitialWordsMatchTheBoardsTableEntryByEntry) {
    static_assert(sizeof(OptionDescriptor) == 28);
    ASSERT_EQ(std::size(kTable), static_cast<size_t>(OptionCount));
    OptionTable table;
    for (size_t i = 0; i < std::size(kTable); ++i) {
        const Expected& e = kTable[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(static_cast<size_t>(e.entry), i);
        EXPECT_STREQ(OptionName(e.entry), e.name);
        const OptionDescriptor& d = table[e.entry];
        EXPECT_EQ(d.location, 0);
        EXPECT_EQ(d.access, e.access);
        EXPECT_EQ(d.valueType, e.valueType);
        EXPECT_EQ(d.group, e.group);
        EXPECT_EQ(d.index, e.index);
        EXPECT_EQ(d.subIndex, e.subIndex);
        EXPECT_EQ(d.linkValue, 0);
    }
}

TEST(OptionTable, EveryDescriptorNamesADistinctOption) {
    OptionTable table;
    std::set<std::tuple<int32_t, int32_t, int32_t>> seen;
    for (size_t i = 0; i < OptionCount; ++i) {
        const OptionDescriptor& d = table[static_cast<OptionEntry>(i)];
        EXPECT_TRUE(seen.insert({d.group, d.index, d.subIndex}).second) << OptionName(static_cast<OptionEntry>(i));
    }
}

TEST(OptionTable, ChannelLinksGoInChannelOrderToTheirSources) {
    const std::pair<OptionEntry, OptionEntry> expected[] = {
        {optScanChannel1, optSrcDbl13}, {optScanChannel2, optSrcDbl23},
        {optScanChannel3, optSrcDbl12}, {optScanChannel4, optSrcDbl22},
        {optScanChannel5, optSrcDbl11}, {optScanChannel6, optSrcDbl21},
        {optScanChannel7, optSrcDbl10}, {optScanChannel8, optSrcDbl20},
        {optScanChannel9, optSrcInt50}, {optScanChannel10, optSrcInt40},
    };
    OptionTable table;
    for (size_t k = 0; k < ChannelLinks.size(); ++k) {
        EXPECT_EQ(ChannelLinks[k].channel, static_cast<int>(k + 1));
        EXPECT_EQ(ChannelLinks[k].link, expected[k].first);
        EXPECT_EQ(ChannelLinks[k].source, expected[k].second);
        EXPECT_EQ(table[ChannelLinks[k].link].index, static_cast<int32_t>(k + 1));
    }
}

// Every word of every entry set to a marker, so a clear that touches too much or too little shows.
OptionTable Marked() {
    OptionTable table;
    for (size_t i = 0; i < OptionCount; ++i) {
        OptionDescriptor& d = table[static_cast<OptionEntry>(i)];
        d.location = 1000 + static_cast<int32_t>(i);
        d.linkValue = 2000 + static_cast<int32_t>(i);
    }
    return table;
}

TEST(OptionTable, ClearScanDescriptorsZeroesOnlyRecorderLocationsButTheTimeFactor) {
    OptionTable table = Marked();
    const OptionTable before = table;
    ClearScanDescriptors(table);
    for (size_t i = 0; i < OptionCount; ++i) {
        auto e = static_cast<OptionEntry>(i);
        SCOPED_TRACE(OptionName(e));
        bool cleared = i >= optScanInit && i <= optScanChannel10;
        EXPECT_EQ(table[e].location, cleared ? 0 : before[e].location);
        EXPECT_EQ(table[e].linkValue, before[e].linkValue);
        EXPECT_EQ(table[e].group, before[e].group);
    }
}

TEST(OptionTable, ClearSourceDescriptorsZeroesOnlyTheSourceEntries) {
    OptionTable table = Marked();
    const OptionTable before = table;
    ClearSourceDescriptors(table);
    for (size_t i = 0; i < OptionCount; ++i) {
        auto e = static_cast<OptionEntry>(i);
        SCOPED_TRACE(OptionName(e));
        EXPECT_EQ(table[e].location, i <= optSrcDbl13 ? 0 : before[e].location);
        EXPECT_EQ(table[e].linkValue, before[e].linkValue);
    }
}

}  // namespace
