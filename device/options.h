// The thirty board options the program reads and writes, and how the recorder's channels link to
// their sources.
#pragma once

#include <array>
#include <cstddef>

#include "device/devicelib.h"

// Entry numbers of OptionTable; the order is fixed.
enum OptionEntry : std::size_t {
    optMeasureInit = 0,
    optSrcInt40,
    optSrcInt50,
    optSrcDbl20,
    optSrcDbl10,
    optSrcDbl21,
    optSrcDbl11,
    optSrcDbl22,
    optSrcDbl12,
    optSrcDbl23,
    optSrcDbl13,
    optScanInit,  // 11
    optScanWaitStrobe,
    optScanChannel8,
    optScanChannel7,
    optScanChannel6,
    optScanChannel5,
    optScanChannel4,
    optScanChannel3,
    optScanChannel2,
    optScanChannel1,
    optScanChannel9,
    optScanCommit,
    optScanRecordLimit,
    optScanRun,
    optScanRecordCount,
    optScanRecordSize,
    optScanStatus,
    optScanChannel10,  // 28
    optScanTimeFactor,
    OptionCount
};

inline constexpr int32_t kOptionOk = 4;  // what every option call returns on success

// Owned by the program for its whole run; the library may rewrite `location` during a call.
class OptionTable {
public:
    OptionTable();  // the initial words: every location and linkValue 0
    OptionDescriptor& operator[](OptionEntry e) { return entries_[e]; }
    const OptionDescriptor& operator[](OptionEntry e) const { return entries_[e]; }

private:
    std::array<OptionDescriptor, OptionCount> entries_;
};

const char* OptionName(OptionEntry e);

// A recorder channel and the source it records; channels 1 to 10 in link order.
struct ChannelLink {
    int channel;
    OptionEntry link;
    OptionEntry source;
};
extern const std::array<ChannelLink, 10> ChannelLinks;

// Zeroes `location` on the recorder entries optScanInit..optScanChannel10 and nothing else;
// optScanTimeFactor keeps what the library left there.
void ClearScanDescriptors(OptionTable& table);
// Zeroes `location` on optMeasureInit and the ten sources.
void ClearSourceDescriptors(OptionTable& table);
