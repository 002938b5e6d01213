#include "device/device.h"

int32_t LinkedDevice::InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                                     const char* systemFile, int32_t* out) {
    return ::InitMcuSystem3(systemArea, systemArea2, baseAddress, systemFile, out);
}
int32_t LinkedDevice::BootFile(const char* bootFile, int32_t baseAddress) {
    return ::BootFile(bootFile, baseAddress);
}
int32_t LinkedDevice::wrOptionInt(OptionDescriptor* d, int32_t* value) {
    return ::wrOptionInt(d, value);
}
int32_t LinkedDevice::rdOptionInt(OptionDescriptor* d, int32_t* value) {
    return ::rdOptionInt(d, value);
}
int32_t LinkedDevice::rdOptionDbl(OptionDescriptor* d, double* value) {
    return ::rdOptionDbl(d, value);
}
int32_t LinkedDevice::rdScannerBuffer(void* buffer, int32_t capacity) {
    return ::rdScannerBuffer(buffer, capacity);
}
int32_t LinkedDevice::SendReqScannerBuffer(void* buffer, int32_t capacity) {
    return ::SendReqScannerBuffer(buffer, capacity);
}
int32_t LinkedDevice::CleanServiceUsers() { return ::CleanServiceUsers(); }
