#include "sim/board.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <limits>

#include "sim/bootimage.h"
#include "sim/errors.h"
#include "sim/signals.h"
#include "sim/text.h"

using namespace zorix;

namespace {

constexpr std::size_t kSystemFileMaxBytes = 64 * 1024;

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool IsPullCall(BoardCall call, int32_t capacity) {
    return (call == BoardCall::rdScannerBuffer || call == BoardCall::SendReqScannerBuffer) &&
           capacity > 0;
}

}  // namespace

SimBoard::SimBoard(SimBoardSetup setup) : setup_(std::move(setup)) {
    std::string error = setup_.faultScriptError;
    if (error.empty() && !ParseFaultScript(setup_.faultScript, faults_, error))
        error = setup_.faultScriptName + " " + error;
    if (!error.empty()) {
        unusable_ = true;
        Diagnostics() << "zorix: " << error
                      << "\nzorix: the fault script is unusable: every call fails with "
                      << kErrFaultScript << " (buffer reads " << -kErrFaultScript << ")\n";
    } else if (setup_.announceFaultScript) {
        Diagnostics() << "zorix: fault script " << setup_.faultScriptName << " in use ("
                      << faults_.rules.size() << " call/option/pull rules)\n";
    }
}

SimBoard::~SimBoard() {
    if (dump_) std::fclose(dump_);
}

std::ostream& SimBoard::Diagnostics() {
    return setup_.diagnostics ? *setup_.diagnostics : std::cerr;
}

int64_t SimBoard::Begin(BoardCall call, const OptionDescriptor* d, bool pull) {
    if (faults_.clockStepUs) {
        steppedNs_ += *faults_.clockStepUs * 1000;
        now_ = steppedNs_;
    } else {
        now_ = setup_.nanoseconds ? setup_.nanoseconds() : SteadyNs();
    }
    counters_.Count(call, d, pull);
    return now_;
}

const FaultRule* SimBoard::Rule(BoardCall call, const OptionDescriptor* d, bool pull) {
    return faults_.Match(counters_, call, d, pull);
}

// --- boot and init ---

int32_t SimBoard::BootFile(const char* bootFile, int32_t baseAddress) {
    Begin(BoardCall::BootFile, nullptr, false);
    if (unusable_) return kErrFaultScript;
    const FaultRule* rule = Rule(BoardCall::BootFile, nullptr, false);
    if (rule && rule->verb == FaultVerb::Fail) return rule->value;
    int32_t result = Boot(bootFile, baseAddress);
    return rule ? rule->value : result;
}

int32_t SimBoard::Boot(const char* path, int32_t base) {
    if (!path || !*path) {
        Diagnostics() << "zorix: BootFile: no boot image path\n";
        return kErrBootNoPath;
    }
    std::string image, error;
    if (!ReadFileBytes(path, kBootImageMaxBytes, image, error)) {
        Diagnostics() << "zorix: BootFile: cannot read '" << path << "': " << error << "\n";
        return kErrBootUnreadable;
    }
    int32_t result = image.size() > kBootImageMaxBytes ? kErrBootLength : kOk;
    if (result == kOk) {
        result = CheckBootImage(image, error);
    } else {
        error = "larger than " + std::to_string(kBootImageMaxBytes) + " bytes";
    }
    if (result != kOk) {
        Diagnostics() << "zorix: BootFile: '" << path << "': " << error << "\n";
        return result;
    }
    // Fresh firmware: whatever the board was doing is gone.
    booted_ = true;
    bootedBase_ = base;
    initialised_ = false;
    recorder_.reset();
    return kOk;
}

int32_t SimBoard::InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                                 const char* systemFile, int32_t* out) {
    Begin(BoardCall::InitMcuSystem3, nullptr, false);
    if (unusable_) return kErrFaultScript;
    const FaultRule* rule = Rule(BoardCall::InitMcuSystem3, nullptr, false);
    if (rule && rule->verb == FaultVerb::Fail) return rule->value;
    int32_t result = Init(systemArea, systemArea2, baseAddress, systemFile, out);
    return rule ? rule->value : result;
}

int32_t SimBoard::Init(void* area, void* area2, int32_t base, const char* path, int32_t* out) {
    initialised_ = false;
    recorder_.reset();
    if (!booted_ && !setup_.firmwareLoaded) return kErrFirmwareNotLoaded;
    if (bootedBase_ && *bootedBase_ != base) {
        Diagnostics() << "zorix: InitMcuSystem3: base address " << base
                      << " is not the booted board's (" << *bootedBase_ << ")\n";
        return kErrBaseAddress;
    }
    std::string text;
    std::string name = "system text";
    if (setup_.systemText) {
        text = *setup_.systemText;
    } else {
        if (!path || !*path) {
            Diagnostics() << "zorix: InitMcuSystem3: no system file path\n";
            return kErrSystemFileNoPath;
        }
        name = path;
        std::string error;
        if (!ReadFileBytes(path, kSystemFileMaxBytes, text, error)) {
            Diagnostics() << "zorix: InitMcuSystem3: cannot read '" << path << "': " << error
                          << "\n";
            return kErrSystemFileUnreadable;
        }
        if (text.size() > kSystemFileMaxBytes) {
            Diagnostics() << "zorix: InitMcuSystem3: '" << path << "' is too large\n";
            return kErrSystemFileMalformed;
        }
    }
    SystemConfig config;
    std::string error;
    if (!ParseSystemFile(text, config, error)) {
        Diagnostics() << "zorix: InitMcuSystem3: " << name << " " << error << "\n";
        return kErrSystemFileMalformed;
    }
    system_ = config;
    recorder_.emplace(RecorderParams{config.baseSampleRate, config.spoolRecords},
                      Signals(config.seed));
    initialised_ = true;
    initNs_ = now_;

    // What the firmware reports back: a header in each area, well inside its size.
    if (area) {
        unsigned char header[32] = {'Z', 'X', 'S', 'A'};
        PutLE32(header + 4, static_cast<uint32_t>(kBoardRevision));
        PutLE32(header + 8, static_cast<uint32_t>(base));
        PutLE32(header + 12, static_cast<uint32_t>(config.baseSampleRate));
        PutLE32(header + 16, static_cast<uint32_t>(config.spoolRecords));
        PutLE64(header + 20, config.seed);
        PutLE32(header + 28, config.physMem ? 1u : 0u);
        static_assert(sizeof header <= kSystemAreaBytes);
        std::memcpy(area, header, sizeof header);
    }
    if (area2) {
        unsigned char header[16] = {'Z', 'X', 'S', '2'};
        PutLE32(header + 4, static_cast<uint32_t>(kBoardRevision));
        PutLE32(header + 8, kRecordBytes);
        PutLE32(header + 12, 10);  // channels
        static_assert(sizeof header <= kSystemArea2Bytes);
        std::memcpy(area2, header, sizeof header);
    }
    if (out) *out = kBoardRevision;
    return kOk;
}

// --- options ---

int32_t SimBoard::wrOptionInt(OptionDescriptor* d, int32_t* value) {
    return OptionCall(BoardCall::wrOptionInt, d, value, nullptr);
}

int32_t SimBoard::rdOptionInt(OptionDescriptor* d, int32_t* value) {
    return OptionCall(BoardCall::rdOptionInt, d, value, nullptr);
}

int32_t SimBoard::rdOptionDbl(OptionDescriptor* d, double* value) {
    return OptionCall(BoardCall::rdOptionDbl, d, nullptr, value);
}

int32_t SimBoard::OptionCall(BoardCall call, OptionDescriptor* d, int32_t* intValue,
                             double* dblValue) {
    Begin(call, d, false);
    if (unusable_) return kErrFaultScript;
    const FaultRule* rule = Rule(call, d, false);
    if (rule && rule->verb == FaultVerb::Fail) return rule->value;
    int32_t result = Option(call, d, intValue, dblValue);
    return rule ? rule->value : result;
}

int32_t SimBoard::Option(BoardCall call, OptionDescriptor* d, int32_t* intValue, double* dblValue) {
    if (!d || (!intValue && !dblValue)) return kErrBadArgument;
    if (!initialised_) return kErrNotInitialised;
    const BoardOption* o = FindOption(d->group, d->index, d->subIndex);
    if (!o) return kErrUnknownOption;
    bool write = call == BoardCall::wrOptionInt;
    if (d->access != o->access || write != (o->access != kAccessRead)) return kErrWrongAccess;
    bool typeFits =
        call == BoardCall::rdOptionDbl ? o->valueType == kTypeDouble : o->valueType != kTypeDouble;
    if (d->valueType != o->valueType || !typeFits) return kErrWrongValueType;

    recorder_->Advance(now_);
    int32_t result = write ? Write(*o, *d, *intValue) : Read(*o, intValue, dblValue);
    if (result == kOptionSuccess) d->location = OptionLocation(*o);
    return result;
}

int32_t SimBoard::Write(const BoardOption& o, const OptionDescriptor& d, int32_t value) {
    Recorder& r = *recorder_;
    bool busy = r.Running();
    switch (o.kind) {
        case OptionKind::MeasureInit:
            return value == 1 ? kOptionSuccess : kErrValueOutOfRange;
        case OptionKind::ScanInit:
            if (value != 1) return kErrValueOutOfRange;
            r.ResetConfiguration(now_);
            return kOptionSuccess;
        case OptionKind::WaitStrobe:
            if (value != 0 && value != 1) return kErrValueOutOfRange;
            if (busy) return kErrRecorderBusy;
            r.SetWaitStrobe(value == 1);
            return kOptionSuccess;
        case OptionKind::Link: {
            if (value != 0) return kErrValueOutOfRange;
            std::optional<int> source = SourceOfHandle(d.linkValue);
            if (!source) return kErrUnknownSourceHandle;
            if (busy) return kErrRecorderBusy;
            r.Link(o.number, *source);
            return kOptionSuccess;
        }
        case OptionKind::Commit:
            if (value != 1) return kErrValueOutOfRange;
            if (busy) return kErrRecorderBusy;
            r.Commit();
            return kOptionSuccess;
        case OptionKind::RecordLimit:
            if (value < 0) return kErrValueOutOfRange;
            if (busy) return kErrRecorderBusy;
            r.SetRecordLimit(value);
            return kOptionSuccess;
        case OptionKind::Run:
            if (value == 0) {
                r.Stop(now_);
                return kOptionSuccess;
            }
            if (value != 1) return kErrValueOutOfRange;
            if (!r.Committed()) return kErrNotCommitted;
            if (!busy) {
                std::optional<int64_t> strobe =
                    faults_.strobeGiven ? faults_.strobeMs : system_.strobeDelayMs;
                std::optional<int64_t> stall = frozenAtNs_;
                if (faults_.stallAfterMs) {
                    int64_t at = now_ + *faults_.stallAfterMs * 1'000'000;
                    stall = stall ? std::min(*stall, at) : at;
                }
                r.Start(now_, strobe ? std::optional<int64_t>(*strobe * 1'000'000) : std::nullopt,
                        stall);
            }
            return kOptionSuccess;
        case OptionKind::TimeFactor:
            if (value < 1 || value > 100) return kErrValueOutOfRange;
            r.SetTimeFactor(now_, value);
            return kOptionSuccess;
        default:
            return kErrWrongAccess;  // read-only kinds never get here
    }
}

int32_t SimBoard::Read(const BoardOption& o, int32_t* intValue, double* dblValue) {
    const Recorder& r = *recorder_;
    switch (o.kind) {
        case OptionKind::Source: {
            // The live value: the sample the source shows now, at the base rate since init.
            __int128 sample =
                static_cast<__int128>(now_ - initNs_) * system_.baseSampleRate / 1'000'000'000;
            Signals signals(system_.seed);
            if (dblValue)
                *dblValue = signals.Value(o.number, static_cast<int64_t>(sample));
            else
                *intValue = signals.IntValue(o.number, static_cast<int64_t>(sample));
            return kOptionSuccess;
        }
        case OptionKind::RecordCount:
            *intValue = ClampToInt32(r.RecordCount());
            return kOptionSuccess;
        case OptionKind::RecordSize:
            *intValue = faults_.recordSize.value_or(kRecordBytes);
            return kOptionSuccess;
        case OptionKind::Status:
            *intValue = r.Status(now_) | faults_.statusSet;
            return kOptionSuccess;
        default:
            return kErrWrongAccess;  // write-only kinds never get here
    }
}

// --- buffer reads ---

int32_t SimBoard::rdScannerBuffer(void* buffer, int32_t capacity) {
    return BufferCall(BoardCall::rdScannerBuffer, buffer, capacity);
}

int32_t SimBoard::SendReqScannerBuffer(void* buffer, int32_t capacity) {
    return BufferCall(BoardCall::SendReqScannerBuffer, buffer, capacity);
}

bool SimBoard::PhysMem() const {
    return faults_.physMem.value_or(system_.physMem);
}

int32_t SimBoard::BufferCall(BoardCall call, void* buffer, int32_t capacity) {
    bool pull = IsPullCall(call, capacity);
    Begin(call, nullptr, pull);
    if (unusable_) return -kErrFaultScript;
    const FaultRule* rule = Rule(call, nullptr, pull);
    if (capacity < 0 || (capacity > 0 && !buffer)) return kErrBufferBadArgument;
    if (recorder_) recorder_->Advance(now_);

    int32_t result = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    if (rule) {
        // A forced count still hands over real records only, and never more than `capacity`.
        result = Deliver(bytes, capacity, rule->value);
    } else if (!initialised_) {
        result = kErrBufferNotInitialised;
    } else if (capacity == 0) {
        if (call == BoardCall::SendReqScannerBuffer)
            result = PhysMem() ? kProbeAvailable : kProbeUnavailable;
    } else if (call == BoardCall::SendReqScannerBuffer && !PhysMem()) {
        result = kErrPhysMemUnavailable;
    } else {
        result = Deliver(bytes, capacity, std::nullopt);
    }
    if (pull && faults_.stallAfterPull && counters_.pulls == *faults_.stallAfterPull) {
        frozenAtNs_ = now_;
        if (recorder_) recorder_->StallAt(now_);
    }
    return result;
}

int32_t SimBoard::Deliver(unsigned char* buffer, int32_t capacity, std::optional<int32_t> forced) {
    if (forced && *forced <= 0) return *forced;
    int32_t region = forced ? std::min(*forced, capacity) : capacity;
    if (!forced && region < kLeadBytes + kRecordBytes) return 0;
    int64_t waiting = recorder_ ? recorder_->Waiting() : 0;
    int64_t fit = region >= kLeadBytes ? (region - kLeadBytes) / kRecordBytes : 0;
    int64_t records = std::min(waiting, fit);
    if (!forced && records == 0) return 0;

    int32_t placed = forced ? region : kLeadBytes + static_cast<int32_t>(records) * kRecordBytes;
    if (forced && placed <= 0) return *forced;  // a forced count into no room (the probe)
    unsigned char lead[kLeadBytes];
    PutLE32(lead, static_cast<uint32_t>(ClampToInt32(waiting - records)));
    std::memcpy(buffer, lead, static_cast<std::size_t>(std::min(placed, kLeadBytes)));
    if (records > 0) recorder_->Take(records, buffer + kLeadBytes);
    // Room the count claims but no record fills: zeros, never stale bytes.
    int64_t filled = kLeadBytes + records * kRecordBytes;
    if (placed > filled) std::memset(buffer + filled, 0, static_cast<std::size_t>(placed - filled));
    int32_t result = forced ? *forced : placed;
    Dump(result, capacity, buffer, placed);
    return result;
}

void SimBoard::Dump(int32_t result, int32_t capacity, const unsigned char* bytes, int32_t placed) {
    if (setup_.dumpPath.empty() || dumpFailed_ || placed <= 0) return;
    if (!dump_) dump_ = std::fopen(setup_.dumpPath.c_str(), "ab");
    unsigned char header[16] = {'P', 'U', 'L', 'L'};
    PutLE32(header + 4, static_cast<uint32_t>(result));
    PutLE32(header + 8, static_cast<uint32_t>(capacity));
    PutLE32(header + 12, static_cast<uint32_t>(placed));
    bool ok = dump_ && std::fwrite(header, 1, sizeof header, dump_) == sizeof header &&
              std::fwrite(bytes, 1, static_cast<std::size_t>(placed), dump_) ==
                  static_cast<std::size_t>(placed) &&
              std::fflush(dump_) == 0;
    if (!ok) {
        Diagnostics() << "zorix: cannot write the dump file '" << setup_.dumpPath
                      << "': " << std::strerror(errno) << "; no further reads are dumped\n";
        dumpFailed_ = true;
    }
}

// --- service ---

int32_t SimBoard::CleanServiceUsers() {
    Begin(BoardCall::CleanServiceUsers, nullptr, false);
    if (unusable_) return kErrFaultScript;
    if (const FaultRule* rule = Rule(BoardCall::CleanServiceUsers, nullptr, false))
        return rule->value;
    return kNoServiceUsers;
}
