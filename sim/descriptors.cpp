#include "sim/descriptors.h"

#include <array>

#include "sim/text.h"

namespace zorix {

namespace {

using K = OptionKind;

constexpr std::array<BoardOption, 30> kOptions = {{
    {"optMeasureInit", 1000, 0, 1, kAccessWrite, kTypeInt, K::MeasureInit, 0},
    {"optSrcDbl10", 1000, 1, 0, kAccessRead, kTypeDouble, K::Source, 0},
    {"optSrcDbl11", 1000, 1, 1, kAccessRead, kTypeDouble, K::Source, 1},
    {"optSrcDbl12", 1000, 1, 2, kAccessRead, kTypeDouble, K::Source, 2},
    {"optSrcDbl13", 1000, 1, 3, kAccessRead, kTypeDouble, K::Source, 3},
    {"optSrcDbl20", 1000, 2, 0, kAccessRead, kTypeDouble, K::Source, 4},
    {"optSrcDbl21", 1000, 2, 1, kAccessRead, kTypeDouble, K::Source, 5},
    {"optSrcDbl22", 1000, 2, 2, kAccessRead, kTypeDouble, K::Source, 6},
    {"optSrcDbl23", 1000, 2, 3, kAccessRead, kTypeDouble, K::Source, 7},
    {"optSrcInt40", 1000, 4, 0, kAccessRead, kTypeInt, K::Source, 8},
    {"optSrcInt50", 1000, 5, 0, kAccessRead, kTypeInt, K::Source, 9},
    {"optScanInit", 1100, 0, 1, kAccessWrite, kTypeInt, K::ScanInit, 0},
    {"optScanCommit", 1100, 0, 2, kAccessWrite, kTypeInt, K::Commit, 0},
    {"optScanRun", 1100, 0, 3, kAccessWrite, kTypeInt, K::Run, 0},
    {"optScanStatus", 1100, 0, 4, kAccessRead, kTypeInt, K::Status, 0},
    {"optScanTimeFactor", 1100, 0, 6, kAccessWrite, kTypeInt, K::TimeFactor, 0},
    {"optScanRecordLimit", 1100, 0, 7, kAccessWrite, kTypeInt, K::RecordLimit, 0},
    {"optScanRecordCount", 1100, 0, 8, kAccessRead, kTypeInt, K::RecordCount, 0},
    {"optScanRecordSize", 1100, 0, 9, kAccessRead, kTypeInt, K::RecordSize, 0},
    {"optScanWaitStrobe", 1100, 0, 11, kAccessWrite, kTypeInt, K::WaitStrobe, 0},
    {"optScanChannel1", 1100, 1, 1, kAccessLink, kTypeLink, K::Link, 1},
    {"optScanChannel2", 1100, 2, 1, kAccessLink, kTypeLink, K::Link, 2},
    {"optScanChannel3", 1100, 3, 1, kAccessLink, kTypeLink, K::Link, 3},
    {"optScanChannel4", 1100, 4, 1, kAccessLink, kTypeLink, K::Link, 4},
    {"optScanChannel5", 1100, 5, 1, kAccessLink, kTypeLink, K::Link, 5},
    {"optScanChannel6", 1100, 6, 1, kAccessLink, kTypeLink, K::Link, 6},
    {"optScanChannel7", 1100, 7, 1, kAccessLink, kTypeLink, K::Link, 7},
    {"optScanChannel8", 1100, 8, 1, kAccessLink, kTypeLink, K::Link, 8},
    {"optScanChannel9", 1100, 9, 1, kAccessLink, kTypeLink, K::Link, 9},
    {"optScanChannel10", 1100, 10, 1, kAccessLink, kTypeLink, K::Link, 10},
}};

// Handles carry a tag in the high byte so that a stray small number (0 above all) never
// names a source by accident.
constexpr int32_t kSourceTag = 0x2A000000;
constexpr int32_t kSlotTag = 0x3B000000;

int32_t Packed(const BoardOption& o) {
    return (o.index << 8) | o.subIndex;
}

}  // namespace

std::span<const BoardOption> BoardOptions() {
    return kOptions;
}

const BoardOption* FindOption(int32_t group, int32_t index, int32_t subIndex) {
    for (const BoardOption& o : kOptions) {
        if (o.group == group && o.index == index && o.subIndex == subIndex) return &o;
    }
    return nullptr;
}

const BoardOption* FindOption(std::string_view name) {
    for (const BoardOption& o : kOptions) {
        if (EqualsNoCase(o.name, name)) return &o;
    }
    return nullptr;
}

int32_t OptionLocation(const BoardOption& option) {
    return (option.kind == OptionKind::Source ? kSourceTag : kSlotTag) |
           (option.group == 1100 ? 0x10000 : 0) | Packed(option);
}

std::optional<int> SourceOfHandle(int32_t handle) {
    for (const BoardOption& o : kOptions) {
        if (o.kind == OptionKind::Source && OptionLocation(o) == handle) return o.number;
    }
    return std::nullopt;
}

}  // namespace zorix
