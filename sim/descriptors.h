// The thirty options the board knows, by group/index/subIndex, and what it leaves in a
// descriptor's `location`.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zorix {

inline constexpr int32_t kAccessRead = 1;
inline constexpr int32_t kAccessWrite = 2;
inline constexpr int32_t kAccessLink = 3;
inline constexpr int32_t kTypeLink = 0;
inline constexpr int32_t kTypeInt = 3;
inline constexpr int32_t kTypeDouble = 4;

enum class OptionKind {
    MeasureInit,
    Source,  // `number`: source 0..9
    ScanInit,
    WaitStrobe,
    Link,  // `number`: channel 1..10
    Commit,
    RecordLimit,
    Run,
    RecordCount,
    RecordSize,
    Status,
    TimeFactor,
};

struct BoardOption {
    const char* name;
    int32_t group, index, subIndex, access, valueType;
    OptionKind kind;
    int number;
};

std::span<const BoardOption> BoardOptions();
const BoardOption* FindOption(int32_t group, int32_t index, int32_t subIndex);
const BoardOption* FindOption(std::string_view name);  // any case

// What a successful call leaves in `location`: for a source its handle, which a channel link
// must carry in `linkValue`; for any other option an internal slot number.
int32_t OptionLocation(const BoardOption& option);
std::optional<int> SourceOfHandle(int32_t handle);  // empty for 0 and any unknown value

}  // namespace zorix
