// The recorder: ten channel links, a run paced by elapsed time x rate (worked out lazily at each
// call, no threads), a spool of limited size and the status word.
//
// The spool holds a range of sequence numbers; a record's bytes are made when it is read, which
// is the same thing because a record is a pure function of its run's links and its number.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/signals.h"

namespace zorix {

struct RecorderParams {
    int64_t baseSampleRate = 20000;  // records per second at time factor 1
    int64_t spoolRecords = 100000;
};

class Recorder {
  public:
    Recorder(RecorderParams params, Signals signals);

    // Configuration, kept from one run to the next until ResetConfiguration.
    void ResetConfiguration(int64_t now);  // also stops a run; keeps the time factor
    void Link(int channel, int source);    // channel 1..10; undoes a commit
    void Commit() { committed_ = true; }
    bool Committed() const { return committed_; }
    void SetRecordLimit(int64_t limit) { limit_ = limit; }  // 0 = endless
    void SetWaitStrobe(bool wait) { waitStrobe_ = wait; }
    bool WaitStrobe() const { return waitStrobe_; }
    void SetTimeFactor(int64_t now, int32_t factor);  // sample period = factor / base rate
    int32_t TimeFactor() const { return factor_; }

    // A run. With the strobe wait on, recording begins `strobeDelayNs` after the start, or never
    // when that is empty. No record is sampled at or after `stallAtNs`.
    void Start(int64_t now, std::optional<int64_t> strobeDelayNs, std::optional<int64_t> stallAtNs);
    void Stop(int64_t now);
    void StallAt(int64_t ns);
    bool Running() const { return running_; }

    void Advance(int64_t now);  // makes the records due by `now`
    int32_t Status(int64_t now) const;
    int64_t RecordCount() const { return produced_; }  // since the run started, dropped included
    int64_t Waiting() const { return produced_ - first_; }
    // The oldest `count` waiting records leave the spool as 72 bytes each at `out`.
    void Take(int64_t count, unsigned char* out);
    void Encode(int64_t sequence, unsigned char* out) const;

  private:
    int64_t DueTime(int64_t records) const;  // when record number `records` - 1 completes

    RecorderParams params_;
    Signals signals_;
    std::array<int, 10> links_;  // source per channel, -1 = not linked
    std::array<int, 10> runLinks_;
    bool committed_ = false;
    int64_t limit_ = 0;
    bool waitStrobe_ = false;
    int32_t factor_ = 1;

    bool running_ = false;
    bool limitReached_ = false;
    bool overflow_ = false;
    std::optional<int64_t> anchorNs_;  // recording begins here; empty: the strobe never fires
    int64_t anchorSeq_ = 0;
    std::optional<int64_t> stallAtNs_;
    int64_t produced_ = 0;  // next sequence number
    int64_t first_ = 0;     // oldest sequence number still in the spool
};

}  // namespace zorix
