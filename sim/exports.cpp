// The eight exported functions: thin forwarders to one process-wide board, created at the first
// call. No exception crosses the C boundary.
#include <mutex>
#include <new>

#include "device/devicelib.h"
#include "sim/board.h"
#include "sim/errors.h"

#define ZORIX_API extern "C" __attribute__((visibility("default")))

namespace {

std::mutex& BoardLock() {
    static std::mutex lock;
    return lock;
}

SimBoard& Board() {
    static SimBoard board(SetupFromEnvironment());
    return board;
}

template <typename F>
int32_t Guarded(int32_t onError, F&& body) {
    try {
        std::lock_guard<std::mutex> hold(BoardLock());
        return body(Board());
    } catch (...) {
        return onError;
    }
}

}  // namespace

ZORIX_API int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                                 const char* systemFile, int32_t* out) {
    return Guarded(zorix::kErrInternal, [&](SimBoard& b) {
        return b.InitMcuSystem3(systemArea, systemArea2, baseAddress, systemFile, out);
    });
}

ZORIX_API int32_t BootFile(const char* bootFile, int32_t baseAddress) {
    return Guarded(zorix::kErrInternal,
                   [&](SimBoard& b) { return b.BootFile(bootFile, baseAddress); });
}

ZORIX_API int32_t wrOptionInt(OptionDescriptor* d, int32_t* value) {
    return Guarded(zorix::kErrInternal, [&](SimBoard& b) { return b.wrOptionInt(d, value); });
}

ZORIX_API int32_t rdOptionInt(OptionDescriptor* d, int32_t* value) {
    return Guarded(zorix::kErrInternal, [&](SimBoard& b) { return b.rdOptionInt(d, value); });
}

ZORIX_API int32_t rdOptionDbl(OptionDescriptor* d, double* value) {
    return Guarded(zorix::kErrInternal, [&](SimBoard& b) { return b.rdOptionDbl(d, value); });
}

ZORIX_API int32_t rdScannerBuffer(void* buffer, int32_t capacity) {
    return Guarded(-zorix::kErrInternal,
                   [&](SimBoard& b) { return b.rdScannerBuffer(buffer, capacity); });
}

ZORIX_API int32_t SendReqScannerBuffer(void* buffer, int32_t capacity) {
    return Guarded(-zorix::kErrInternal,
                   [&](SimBoard& b) { return b.SendReqScannerBuffer(buffer, capacity); });
}

ZORIX_API int32_t CleanServiceUsers(void) {
    return Guarded(zorix::kErrInternal, [&](SimBoard& b) { return b.CleanServiceUsers(); });
}
