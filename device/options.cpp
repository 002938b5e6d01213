#include "device/options.h"

namespace {

struct InitialWords {
    const char* name;
    int32_t group, index, subIndex, access, valueType;
};

// Indexed by OptionEntry.
constexpr InitialWords kInitial[OptionCount] = {
    {"optMeasureInit", 1000, 0, 1, 2, 3},   {"optSrcInt40", 1000, 4, 0, 1, 3},
    {"optSrcInt50", 1000, 5, 0, 1, 3},      {"optSrcDbl20", 1000, 2, 0, 1, 4},
    {"optSrcDbl10", 1000, 1, 0, 1, 4},      {"optSrcDbl21", 1000, 2, 1, 1, 4},
    {"optSrcDbl11", 1000, 1, 1, 1, 4},      {"optSrcDbl22", 1000, 2, 2, 1, 4},
    {"optSrcDbl12", 1000, 1, 2, 1, 4},      {"optSrcDbl23", 1000, 2, 3, 1, 4},
    {"optSrcDbl13", 1000, 1, 3, 1, 4},      {"optScanInit", 1100, 0, 1, 2, 3},
    {"optScanWaitStrobe", 1100, 0, 11, 2, 3}, {"optScanChannel8", 1100, 8, 1, 3, 0},
    {"optScanChannel7", 1100, 7, 1, 3, 0},  {"optScanChannel6", 1100, 6, 1, 3, 0},
    {"optScanChannel5", 1100, 5, 1, 3, 0},  {"optScanChannel4", 1100, 4, 1, 3, 0},
    {"optScanChannel3", 1100, 3, 1, 3, 0},  {"optScanChannel2", 1100, 2, 1, 3, 0},
    {"optScanChannel1", 1100, 1, 1, 3, 0},  {"optScanChannel9", 1100, 9, 1, 3, 0},
    {"optScanCommit", 1100, 0, 2, 2, 3},    {"optScanRecordLimit", 1100, 0, 7, 2, 3},
    {"optScanRun", 1100, 0, 3, 2, 3},       {"optScanRecordCount", 1100, 0, 8, 1, 3},
    {"optScanRecordSize", 1100, 0, 9, 1, 3}, {"optScanStatus", 1100, 0, 4, 1, 3},
    {"optScanChannel10", 1100, 10, 1, 3, 0}, {"optScanTimeFactor", 1100, 0, 6, 2, 3},
};

}  // namespace

OptionTable::OptionTable() {
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const InitialWords& w = kInitial[i];
        entries_[i] = OptionDescriptor{0, w.access, w.valueType, w.group, w.index, w.subIndex, 0};
    }
}

const char* OptionName(OptionEntry e) { return e < OptionCount ? kInitial[e].name : "?"; }

const std::array<ChannelLink, 10> ChannelLinks = {{
    {1, optScanChannel1, optSrcDbl13},
    {2, optScanChannel2, optSrcDbl23},
    {3, optScanChannel3, optSrcDbl12},
    {4, optScanChannel4, optSrcDbl22},
    {5, optScanChannel5, optSrcDbl11},
    {6, optScanChannel6, optSrcDbl21},
    {7, optScanChannel7, optSrcDbl10},
    {8, optScanChannel8, optSrcDbl20},
    {9, optScanChannel9, optSrcInt50},
    {10, optScanChannel10, optSrcInt40},
}};

void ClearScanDescriptors(OptionTable& table) {
    for (std::size_t i = optScanInit; i <= optScanChannel10; ++i)
        table[static_cast<OptionEntry>(i)].location = 0;
}

void ClearSourceDescriptors(OptionTable& table) {
    for (std::size_t i = optMeasureInit; i <= optSrcDbl13; ++i)
        table[static_cast<OptionEntry>(i)].location = 0;
}
