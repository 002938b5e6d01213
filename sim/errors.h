// Every number the simulated board returns and every bit of its recorder status word.
// A number keeps its meaning for good: new causes get new numbers, old ones are never reused.
// The same table, with the cause behind each number, is in sim/README.md.
#pragma once

#include <cstdint>

namespace zorix {

// --- InitMcuSystem3 and BootFile: 0 = success ---
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kErrFirmwareNotLoaded = 101;  // init before a successful BootFile
inline constexpr int32_t kErrSystemFileNoPath = 102;   // null or empty system file path
inline constexpr int32_t kErrSystemFileUnreadable = 103;
inline constexpr int32_t kErrSystemFileMalformed = 104;
inline constexpr int32_t kErrBaseAddress = 105;  // init at another base than the boot used
inline constexpr int32_t kErrBootNoPath = 111;   // null or empty boot image path
inline constexpr int32_t kErrBootUnreadable = 112;
inline constexpr int32_t kErrBootMagic = 113;
inline constexpr int32_t kErrBootLength = 114;
inline constexpr int32_t kErrBootChecksum = 115;

// --- option calls: 4 = success. Every error has a bit above 4 set, so it also fails a caller
// that ORs results together and ignores the bit of value 2. ---
inline constexpr int32_t kOptionSuccess = 4;
inline constexpr int32_t kErrNotInitialised = 201;
inline constexpr int32_t kErrUnknownOption = 202;   // no option with this group/index/subIndex
inline constexpr int32_t kErrWrongAccess = 203;     // access word, or read of a write-only option
inline constexpr int32_t kErrWrongValueType = 204;  // valueType word, or int call on a double
inline constexpr int32_t kErrValueOutOfRange = 205;
inline constexpr int32_t kErrUnknownSourceHandle = 206;  // channel link's linkValue
inline constexpr int32_t kErrNotCommitted = 207;         // run 1 before optScanCommit
inline constexpr int32_t kErrBadArgument = 208;          // null descriptor or value address
inline constexpr int32_t kErrRecorderBusy = 209;         // configuration while a run is active

// --- buffer reads: byte count >= 0, or one of these ---
inline constexpr int32_t kErrBufferNotInitialised = -201;
inline constexpr int32_t kErrBufferBadArgument = -208;   // negative capacity, or null buffer
inline constexpr int32_t kErrPhysMemUnavailable = -210;  // SendReqScannerBuffer, path absent

// --- any call ---
inline constexpr int32_t kErrInternal = 98;     // buffer reads: -98
inline constexpr int32_t kErrFaultScript = 99;  // buffer reads: -99; the script was unusable

// --- SendReqScannerBuffer(buffer, 0): the physical-memory probe ---
inline constexpr int32_t kProbeAvailable = 0x00010000;  // high word: path revision 1
inline constexpr int32_t kProbeUnavailable = 0x00010001;

// --- CleanServiceUsers ---
inline constexpr int32_t kNoServiceUsers = 0;

// --- optScanStatus bits ---
inline constexpr int32_t kStatusCommitted = 0x01;       // links committed since optScanInit
inline constexpr int32_t kStatusWaitingStrobe = 0x02;   // running, strobe not fired yet
inline constexpr int32_t kStatusRunning = 0x04;         // started, not stopped or finished
inline constexpr int32_t kStatusLimitReached = 0x08;    // until the next start
inline constexpr int32_t kStatusSpoolOverflow = 0x10;   // oldest records dropped; until next start
inline constexpr int32_t kStatusRecordsWaiting = 0x20;  // the spool holds unread records

// --- records ---
inline constexpr int32_t kRecordBytes = 72;
inline constexpr int32_t kLeadBytes = 4;

}  // namespace zorix
