// The device seam: the eight board calls, so logic can run against the linked library or a fake.
#pragma once

#include <cstdint>

#include "device/devicelib.h"

class Device {
public:
    virtual ~Device() = default;
    virtual int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                                   const char* systemFile, int32_t* out) = 0;
    virtual int32_t BootFile(const char* bootFile, int32_t baseAddress) = 0;
    virtual int32_t wrOptionInt(OptionDescriptor* d, int32_t* value) = 0;
    virtual int32_t rdOptionInt(OptionDescriptor* d, int32_t* value) = 0;
    virtual int32_t rdOptionDbl(OptionDescriptor* d, double* value) = 0;
    virtual int32_t rdScannerBuffer(void* buffer, int32_t capacity) = 0;
    virtual int32_t SendReqScannerBuffer(void* buffer, int32_t capacity) = 0;
    virtual int32_t CleanServiceUsers() = 0;
};

// Forwards every call to the board library the executable was linked with.
class LinkedDevice final : public Device {
public:
    int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                           const char* systemFile, int32_t* out) override;
    int32_t BootFile(const char* bootFile, int32_t baseAddress) override;
    int32_t wrOptionInt(OptionDescriptor* d, int32_t* value) override;
    int32_t rdOptionInt(OptionDescriptor* d, int32_t* value) override;
    int32_t rdOptionDbl(OptionDescriptor* d, double* value) override;
    int32_t rdScannerBuffer(void* buffer, int32_t capacity) override;
    int32_t SendReqScannerBuffer(void* buffer, int32_t capacity) override;
    int32_t CleanServiceUsers() override;
};
