// A scripted board for tests: logs every call with the descriptor's seven words as passed and the
// value passed, and answers from a script (per function, per k-th call, per descriptor).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "device/device.h"
#include "device/options.h"

class FakeDevice final : public Device {
  public:
    enum class Fn {
        InitMcuSystem3,
        BootFile,
        wrOptionInt,
        rdOptionInt,
        rdOptionDbl,
        rdScannerBuffer,
        SendReqScannerBuffer,
        CleanServiceUsers
    };

    struct Call {
        Fn fn = Fn::InitMcuSystem3;
        OptionDescriptor d{};            // copy of the descriptor as passed (option calls)
        int32_t value = 0;               // value passed (wrOptionInt), base address (init, boot)
        int32_t capacity = 0;            // buffer calls
        std::string text;                // path passed (init, boot)
        const void* pointer = nullptr;   // buffer or first area
        const void* pointer2 = nullptr;  // second area (init)
        int32_t result = 0;
        bool Is(Fn f, OptionEntry e) const;  // fn and descriptor identity match
    };

    // --- the script ---
    void SetResult(Fn fn, int32_t result);                              // every call of fn
    void SetNthResult(Fn fn, int k, int32_t result);                    // k-th call of fn, 1-based
    void SetDescriptorResult(OptionEntry e, int32_t result);            // every option call on e
    void SetDescriptorNthResult(OptionEntry e, int k, int32_t result);  // k-th call on e
    // Values that reads of e deliver in turn; the last one repeats.
    void QueueIntValues(OptionEntry e, std::vector<int32_t> values);
    // `location` that every call on e leaves in the descriptor.
    void SetLocation(OptionEntry e, int32_t location);
    // Results of the buffer reads (both paths) in turn; then the default result.
    void QueuePulls(std::vector<int32_t> results);
    // Runs after a call is logged and answered (e.g. to tick while a call is in progress).
    std::function<void(const Call&)> onCall;
    // Buffer reads fill the records they report: each gets the next sequence number in its
    // integer and sequence + field * 0.125 in its eight doubles.
    int32_t nextSequence = 0;

    // --- the log ---
    std::vector<Call> calls;
    int Count(Fn fn) const;
    int Count(Fn fn, OptionEntry e) const;
    std::vector<Call> CallsOf(Fn fn) const;
    std::vector<Call> CallsOn(OptionEntry e) const;  // option calls on e, in order

    // --- Device ---
    int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                           const char* systemFile, int32_t* out) override;
    int32_t BootFile(const char* bootFile, int32_t baseAddress) override;
    int32_t wrOptionInt(OptionDescriptor* d, int32_t* value) override;
    int32_t rdOptionInt(OptionDescriptor* d, int32_t* value) override;
    int32_t rdOptionDbl(OptionDescriptor* d, double* value) override;
    int32_t rdScannerBuffer(void* buffer, int32_t capacity) override;
    int32_t SendReqScannerBuffer(void* buffer, int32_t capacity) override;
    int32_t CleanServiceUsers() override;

  private:
    using Key = std::tuple<int32_t, int32_t, int32_t>;  // group, index, subIndex
    static Key KeyOf(const OptionDescriptor& d) { return {d.group, d.index, d.subIndex}; }
    static Key KeyOf(OptionEntry e);
    int32_t Answer(Call& call, const OptionDescriptor* d);
    int32_t OptionCall(Fn fn, OptionDescriptor* d, Call call);
    int32_t BufferCall(Fn fn, void* buffer, int32_t capacity);

    std::map<Fn, int32_t> defaults_;
    std::map<std::pair<Fn, int>, int32_t> nth_;
    std::map<Key, int32_t> byDescriptor_;
    std::map<std::pair<Key, int>, int32_t> byDescriptorNth_;
    std::map<Key, std::deque<int32_t>> intValues_;
    std::map<Key, int32_t> locations_;
    std::deque<int32_t> pulls_;
    std::map<Fn, int> counts_;
    std::map<Key, int> descriptorCounts_;
};
