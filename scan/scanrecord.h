// The recorder's data as the board library delivers it: a 4-byte lead, then packed 72-byte
// little-endian records whose doubles sit at unaligned offsets.
#pragma once

#include <cstdint>
#include <cstring>

inline constexpr int32_t kRecordBytes = 72;
inline constexpr int32_t kLeadBytes = 4;
inline constexpr int32_t kScanBufferRecords = 2010;
inline constexpr int32_t kScanBufferBytes = kScanBufferRecords * kRecordBytes;  // 144,720
inline constexpr int32_t kTickPullBytes = 144000;                               // 2000 records
inline constexpr int32_t kSingleShotPullBytes = kScanBufferBytes;

// Field offsets within one record.
inline constexpr int kOffInt = 0;
inline constexpr int kOffCol2 = 4;
inline constexpr int kOffA1 = 12;
inline constexpr int kOffCol3 = 20;
inline constexpr int kOffA2 = 28;
inline constexpr int kOffCol5 = 36;
inline constexpr int kOffCol4A3 = 44;
inline constexpr int kOffCol7 = 52;
inline constexpr int kOffCol6 = 60;

// Record k starts at buffer byte 4 + 72k.
inline const unsigned char* RecordAt(const unsigned char* buffer, int32_t k) {
    return buffer + kLeadBytes + static_cast<std::size_t>(k) * kRecordBytes;
}

// Records held by a buffer read that returned `bytes`: the lead counts in n, the remainder is
// dropped, a result of 0 or less holds none, and a result above the buffer is clipped to it.
inline int32_t RecordsInRead(int32_t bytes) {
    if (bytes <= 0) return 0;
    const int32_t records = bytes / kRecordBytes;
    return records < kScanBufferRecords ? records : kScanBufferRecords;
}

inline int32_t ReadInt32(const unsigned char* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline double ReadDouble(const unsigned char* p) {
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

static_assert(sizeof(double) == 8 && sizeof(int32_t) == 4);
