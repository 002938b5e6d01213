#include "device/connection.h"

#include <array>
#include <cstdio>

namespace {

// Handed to the library by address at every initialisation; the program never looks inside.
std::array<unsigned char, kSystemAreaBytes> SystemArea{};
std::array<unsigned char, kSystemArea2Bytes> SystemArea2{};

std::string Format(const char* format, int32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(value));
    return text;
}

}  // namespace

int32_t ReadResourceOptions(Device& device, OptionTable& table) {
    ClearSourceDescriptors(table);
    int32_t one = 1;
    if (device.wrOptionInt(&table[optMeasureInit], &one) != kOptionOk) return -1;
    double dbl = 0.0;
    for (OptionEntry e : {optSrcDbl20, optSrcDbl10, optSrcDbl21, optSrcDbl11, optSrcDbl22,
                          optSrcDbl12, optSrcDbl23, optSrcDbl13}) {
        if (device.rdOptionDbl(&table[e], &dbl) != kOptionOk) return -1;
    }
    int32_t value = 0;
    if (device.rdOptionInt(&table[optSrcInt50], &value) != kOptionOk) return -1;
    // Read for the handle it leaves in `location`; its result does not fail the check.
    device.rdOptionInt(&table[optSrcInt40], &value);
    return 0;
}

int32_t ConnectDevice(Device& device, Clock& clock, WindowPort& window, OptionTable& table,
                      const ConnectionSettings& settings) {
    int32_t out = 0;  // the library's, never read
    int32_t result = device.InitMcuSystem3(SystemArea.data(), SystemArea2.data(),
                                           settings.BaseAddress,
                                           settings.FSystemFileName.c_str(), &out);
    if (result != 0) {
        window.SetTitle("Booting ...");
        int32_t booted = device.BootFile(settings.FBootFileName.c_str(), settings.BaseAddress);
        if (booted != 0) {
            window.SetTitle(Format("Error %i at booting!", booted));
            return 0;
        }
        clock.Sleep(100);  // the firmware needs a moment before it answers
        result = device.InitMcuSystem3(SystemArea.data(), SystemArea2.data(),
                                       settings.BaseAddress, settings.FSystemFileName.c_str(),
                                       &out);
    }
    if (result != 0) {
        window.SetTitle(Format("Error %i at Initialize!", result));
        return 0;
    }
    if (ReadResourceOptions(device, table) != 0) {
        window.ShowMessage("Error at Ressource-Initialize!", "Error");
        window.Terminate();
    }
    return 1;
}
