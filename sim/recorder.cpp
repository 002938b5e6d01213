#include "sim/recorder.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "sim/errors.h"
#include "sim/text.h"

namespace zorix {

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

int16_t Saturate16(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int16_t>(std::clamp(std::round(v), -32768.0, 32767.0));
}

}  // namespace

Recorder::Recorder(RecorderParams params, Signals signals) : params_(params), signals_(signals) {
    links_.fill(-1);
    runLinks_.fill(-1);
}

void Recorder::ResetConfiguration(int64_t now) {
    Stop(now);
    links_.fill(-1);
    committed_ = false;
    limit_ = 0;
    waitStrobe_ = false;
}

void Recorder::Link(int channel, int source) {
    links_[static_cast<std::size_t>(channel - 1)] = source;
    committed_ = false;
}

int64_t Recorder::DueTime(int64_t records) const {
    // ceil(records * factor * 1e9 / rate): the first instant at which that many are complete.
    __int128 num = static_cast<__int128>(records - anchorSeq_) * factor_ * kNsPerSecond;
    __int128 ns = (num + params_.baseSampleRate - 1) / params_.baseSampleRate;
    return *anchorNs_ + static_cast<int64_t>(ns);
}

void Recorder::SetTimeFactor(int64_t now, int32_t factor) {
    Advance(now);
    // Re-anchor at the moment the last record became due, so the change shifts no record.
    if (running_ && anchorNs_ && produced_ > anchorSeq_) {
        anchorNs_ = DueTime(produced_);
        anchorSeq_ = produced_;
    }
    factor_ = factor;
}

void Recorder::Start(int64_t now, std::optional<int64_t> strobeDelayNs,
                     std::optional<int64_t> stallAtNs) {
    running_ = true;
    limitReached_ = false;
    overflow_ = false;
    produced_ = first_ = anchorSeq_ = 0;
    runLinks_ = links_;
    if (!waitStrobe_)
        anchorNs_ = now;
    else if (strobeDelayNs)
        anchorNs_ = now + *strobeDelayNs;
    else
        anchorNs_.reset();
    stallAtNs_ = stallAtNs;
}

void Recorder::Stop(int64_t now) {
    Advance(now);
    running_ = false;
}

void Recorder::StallAt(int64_t ns) {
    stallAtNs_ = stallAtNs_ ? std::min(*stallAtNs_, ns) : ns;
}

void Recorder::Advance(int64_t now) {
    if (!running_ || !anchorNs_) return;
    int64_t t = stallAtNs_ ? std::min(now, *stallAtNs_) : now;
    if (t > *anchorNs_) {
        __int128 n = static_cast<__int128>(t - *anchorNs_) * params_.baseSampleRate /
                     (static_cast<__int128>(factor_) * kNsPerSecond);
        int64_t target = anchorSeq_ + static_cast<int64_t>(n);
        if (limit_ > 0) target = std::min(target, limit_);
        if (target > produced_) {
            produced_ = target;
            if (produced_ - first_ > params_.spoolRecords) {
                first_ = produced_ - params_.spoolRecords;  // the oldest go, the rest stay whole
                overflow_ = true;
            }
        }
    }
    if (limit_ > 0 && produced_ >= limit_) {
        running_ = false;
        limitReached_ = true;
    }
}

int32_t Recorder::Status(int64_t now) const {
    int32_t status = 0;
    if (committed_) status |= kStatusCommitted;
    if (running_) status |= kStatusRunning;
    if (running_ && waitStrobe_ && (!anchorNs_ || now < *anchorNs_)) status |= kStatusWaitingStrobe;
    if (limitReached_) status |= kStatusLimitReached;
    if (overflow_) status |= kStatusSpoolOverflow;
    if (Waiting() > 0) status |= kStatusRecordsWaiting;
    return status;
}

void Recorder::Take(int64_t count, unsigned char* out) {
    count = std::clamp<int64_t>(count, 0, Waiting());
    for (int64_t i = 0; i < count; ++i) Encode(first_ + i, out + i * kRecordBytes);
    first_ += count;
}

void Recorder::Encode(int64_t sequence, unsigned char* out) const {
    // Sequence numbers wrap like the board's 32-bit counter.
    PutLE32(out, static_cast<uint32_t>(sequence));
    for (std::size_t ch = 0; ch < 8; ++ch) {
        int source = runLinks_[ch];
        double v = source < 0 ? 0.0 : signals_.Value(source, sequence);
        PutLE64(out + 4 + 8 * ch, std::bit_cast<uint64_t>(v));
    }
    for (std::size_t ch = 8; ch < 10; ++ch) {
        int source = runLinks_[ch];
        int16_t v = 0;
        if (source >= kDoubleSources)
            v = static_cast<int16_t>(static_cast<uint16_t>(signals_.IntValue(source, sequence)));
        else if (source >= 0)
            v = Saturate16(signals_.Value(source, sequence));
        uint16_t bits = static_cast<uint16_t>(v);
        out[68 + 2 * (ch - 8)] = static_cast<unsigned char>(bits);
        out[69 + 2 * (ch - 8)] = static_cast<unsigned char>(bits >> 8);
    }
}

}  // namespace zorix
