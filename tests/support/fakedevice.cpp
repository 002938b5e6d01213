#include "tests/support/fakedevice.h"

#include <algorithm>
#include <cstring>

#include "scan/scanrecord.h"

bool FakeDevice::Call::Is(Fn f, OptionEntry e) const {
    return fn == f && KeyOf(d) == KeyOf(e);
}

FakeDevice::Key FakeDevice::KeyOf(OptionEntry e) {
    static const OptionTable initial;
    return KeyOf(initial[e]);
}

void FakeDevice::SetResult(Fn fn, int32_t result) {
    defaults_[fn] = result;
}
void FakeDevice::SetNthResult(Fn fn, int k, int32_t result) {
    nth_[{fn, k}] = result;
}
void FakeDevice::SetDescriptorResult(OptionEntry e, int32_t result) {
    byDescriptor_[KeyOf(e)] = result;
}
void FakeDevice::SetDescriptorNthResult(OptionEntry e, int k, int32_t result) {
    byDescriptorNth_[{KeyOf(e), k}] = result;
}
void FakeDevice::QueueIntValues(OptionEntry e, std::vector<int32_t> values) {
    intValues_[KeyOf(e)] = std::deque<int32_t>(values.begin(), values.end());
}
void FakeDevice::SetLocation(OptionEntry e, int32_t location) {
    locations_[KeyOf(e)] = location;
}
void FakeDevice::QueuePulls(std::vector<int32_t> results) {
    pulls_.insert(pulls_.end(), results.begin(), results.end());
}

int FakeDevice::Count(Fn fn) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.fn == fn; }));
}
int FakeDevice::Count(Fn fn, OptionEntry e) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.Is(fn, e); }));
}
std::vector<FakeDevice::Call> FakeDevice::CallsOf(Fn fn) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.fn == fn) out.push_back(c);
    return out;
}
std::vector<FakeDevice::Call> FakeDevice::CallsOn(OptionEntry e) const {
    std::vector<Call> out;
    for (const Call& c : calls) {
        bool option = c.fn == Fn::wrOptionInt || c.fn == Fn::rdOptionInt || c.fn == Fn::rdOptionDbl;
        if (option && KeyOf(c.d) == KeyOf(e)) out.push_back(c);
    }
    return out;
}

// Priority: k-th call of the descriptor, the descriptor, k-th call of the function, the function.
int32_t FakeDevice::Answer(Call& call, const OptionDescriptor* d) {
    int k = ++counts_[call.fn];
    if (d) {
        Key key = KeyOf(*d);
        int dk = ++descriptorCounts_[key];
        if (auto it = byDescriptorNth_.find({key, dk}); it != byDescriptorNth_.end())
            return it->second;
        if (auto it = byDescriptor_.find(key); it != byDescriptor_.end()) return it->second;
    }
    if (auto it = nth_.find({call.fn, k}); it != nth_.end()) return it->second;
    if (auto it = defaults_.find(call.fn); it != defaults_.end()) return it->second;
    bool option =
        call.fn == Fn::wrOptionInt || call.fn == Fn::rdOptionInt || call.fn == Fn::rdOptionDbl;
    return option ? kOptionOk : 0;
}

int32_t FakeDevice::OptionCall(Fn fn, OptionDescriptor* d, Call call) {
    call.fn = fn;
    call.d = *d;
    call.result = Answer(call, d);
    if (auto it = locations_.find(KeyOf(*d)); it != locations_.end()) d->location = it->second;
    calls.push_back(call);
    if (onCall) onCall(calls.back());
    return call.result;
}

int32_t FakeDevice::InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                                   const char* systemFile, int32_t* out) {
    Call call;
    call.fn = Fn::InitMcuSystem3;
    call.value = baseAddress;
    call.text = systemFile ? systemFile : "<null>";
    call.pointer = systemArea;
    call.pointer2 = systemArea2;
    if (out) *out = 0x5a5a5a5a;
    call.result = Answer(call, nullptr);
    calls.push_back(call);
    if (onCall) onCall(calls.back());
    return call.result;
}

int32_t FakeDevice::BootFile(const char* bootFile, int32_t baseAddress) {
    Call call;
    call.fn = Fn::BootFile;
    call.value = baseAddress;
    call.text = bootFile ? bootFile : "<null>";
    call.result = Answer(call, nullptr);
    calls.push_back(call);
    if (onCall) onCall(calls.back());
    return call.result;
}

int32_t FakeDevice::wrOptionInt(OptionDescriptor* d, int32_t* value) {
    Call call{};
    call.value = *value;
    return OptionCall(Fn::wrOptionInt, d, call);
}

int32_t FakeDevice::rdOptionInt(OptionDescriptor* d, int32_t* value) {
    auto it = intValues_.find(KeyOf(*d));
    if (it != intValues_.end() && !it->second.empty()) {
        *value = it->second.front();
        if (it->second.size() > 1) it->second.pop_front();
    }
    Call call{};
    call.value = *value;
    return OptionCall(Fn::rdOptionInt, d, call);
}

int32_t FakeDevice::rdOptionDbl(OptionDescriptor* d, double* value) {
    *value = 0.0;
    return OptionCall(Fn::rdOptionDbl, d, Call{});
}

int32_t FakeDevice::BufferCall(Fn fn, void* buffer, int32_t capacity) {
    Call call;
    call.fn = fn;
    call.capacity = capacity;
    call.pointer = buffer;
    int32_t result;
    ++counts_[fn];
    if (!pulls_.empty()) {
        result = pulls_.front();
        pulls_.pop_front();
    } else {
        auto it = nth_.find({fn, counts_[fn]});
        auto def = defaults_.find(fn);
        result = it != nth_.end() ? it->second : def != defaults_.end() ? def->second : 0;
    }
    // A fake never writes past what it was asked for, even when it reports more.
    if (result > 0 && buffer && capacity > 0) {
        int32_t bytes = std::min(result, capacity);
        auto* p = static_cast<unsigned char*>(buffer);
        // Fills the 68 bytes of each record that lie within what it reports, as n / 72 counts.
        for (int32_t k = 0; kLeadBytes + k * kRecordBytes + 68 <= bytes; ++k) {
            unsigned char* r = p + kLeadBytes + k * kRecordBytes;
            int32_t seq = nextSequence++;
            std::memcpy(r, &seq, 4);
            for (int f = 0; f < 8; ++f) {
                double v = seq + f * 0.125;
                std::memcpy(r + 4 + 8 * f, &v, 8);
            }
        }
    }
    call.result = result;
    calls.push_back(call);
    if (onCall) onCall(calls.back());
    return result;
}

int32_t FakeDevice::rdScannerBuffer(void* buffer, int32_t capacity) {
    return BufferCall(Fn::rdScannerBuffer, buffer, capacity);
}
int32_t FakeDevice::SendReqScannerBuffer(void* buffer, int32_t capacity) {
    return BufferCall(Fn::SendReqScannerBuffer, buffer, capacity);
}
int32_t FakeDevice::CleanServiceUsers() {
    Call call;
    call.fn = Fn::CleanServiceUsers;
    call.result = Answer(call, nullptr);
    calls.push_back(call);
    if (onCall) onCall(calls.back());
    return call.result;
}
