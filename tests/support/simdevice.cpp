#include "tests/support/simdevice.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

SimDevice::SimDevice(SimBoardSetup setup) : board_(std::make_unique<SimBoard>(std::move(setup))) {}

SimBoardSetup SimDevice::Warm(std::string systemText, std::function<int64_t()> nanoseconds,
                              std::string faultScript) {
    SimBoardSetup setup;
    setup.systemText = std::move(systemText);
    setup.nanoseconds = std::move(nanoseconds);
    setup.faultScript = std::move(faultScript);
    setup.firmwareLoaded = true;
    return setup;
}

int32_t SimDevice::InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                                  const char* systemFile, int32_t* out) {
    return board_->InitMcuSystem3(systemArea, systemArea2, baseAddress, systemFile, out);
}
int32_t SimDevice::BootFile(const char* bootFile, int32_t baseAddress) {
    return board_->BootFile(bootFile, baseAddress);
}
int32_t SimDevice::wrOptionInt(OptionDescriptor* d, int32_t* value) {
    return board_->wrOptionInt(d, value);
}
int32_t SimDevice::rdOptionInt(OptionDescriptor* d, int32_t* value) {
    return board_->rdOptionInt(d, value);
}
int32_t SimDevice::rdOptionDbl(OptionDescriptor* d, double* value) {
    return board_->rdOptionDbl(d, value);
}
int32_t SimDevice::rdScannerBuffer(void* buffer, int32_t capacity) {
    return board_->rdScannerBuffer(buffer, capacity);
}
int32_t SimDevice::SendReqScannerBuffer(void* buffer, int32_t capacity) {
    return board_->SendReqScannerBuffer(buffer, capacity);
}
int32_t SimDevice::CleanServiceUsers() {
    return board_->CleanServiceUsers();
}

SimRig::SimRig(std::string systemText, std::string faultScript)
    : device(SimDevice::Warm(std::move(systemText), time.Source(), std::move(faultScript))) {}

int32_t SimRig::Connect() {
    unsigned char area[SimBoard::kSystemAreaBytes] = {};
    unsigned char area2[SimBoard::kSystemArea2Bytes] = {};
    int32_t out = 0;
    if (int32_t r = device.InitMcuSystem3(area, area2, 0, "SYSTEM.DAT", &out); r != 0) return r;
    if (int32_t r = Write(optMeasureInit, 1); r != kOptionOk) return r;
    for (std::size_t e = optSrcDbl20; e <= optSrcDbl13; ++e) {
        double value = 0;
        int32_t r = device.rdOptionDbl(&table[static_cast<OptionEntry>(e)], &value);
        if (r != kOptionOk) return r;
    }
    for (OptionEntry e : {optSrcInt50, optSrcInt40}) {
        int32_t value = 0;
        if (int32_t r = device.rdOptionInt(&table[e], &value); r != kOptionOk) return r;
    }
    return kOptionOk;
}

int32_t SimRig::StartScan(int32_t recordLimit, bool waitStrobe) {
    int32_t result = Write(optScanInit, 1);
    ClearScanDescriptors(table);
    result |= Write(optScanRecordLimit, recordLimit);
    for (const ChannelLink& link : ChannelLinks) {
        table[link.link].linkValue = table[link.source].location;
        result |= Write(link.link, 0);
    }
    result |= Write(optScanCommit, 1);
    result |= Write(optScanWaitStrobe, waitStrobe ? 1 : 0);
    result |= Write(optScanRun, 1);
    return result;
}

int32_t SimRig::Write(OptionEntry e, int32_t value) {
    return device.wrOptionInt(&table[e], &value);
}

int32_t SimRig::ReadInt(OptionEntry e) {
    int32_t value = 0;
    if (device.rdOptionInt(&table[e], &value) != kOptionOk)
        return std::numeric_limits<int32_t>::min();
    return value;
}

static_assert(std::endian::native == std::endian::little, "records are little-endian");

SimRecord DecodeSimRecord(const unsigned char* bytes) {
    SimRecord r;
    std::memcpy(&r.sequence, bytes, 4);
    for (int k = 0; k < 8; ++k) std::memcpy(&r.channel[k], bytes + 4 + 8 * k, 8);
    std::memcpy(&r.channel9, bytes + 68, 2);
    std::memcpy(&r.channel10, bytes + 70, 2);
    return r;
}
