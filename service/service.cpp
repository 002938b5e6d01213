#include "service/service.h"

#include <cstdio>

void sbTimeFactorChange(Device& device, WindowPort& window, OptionTable& table) {
    int32_t factor = window.Position(Control::sbTimeFactor);
    window.SetTitle(std::to_string(factor));
    // A refused write is not reported: the title already shows the new position.
    device.wrOptionInt(&table[optScanTimeFactor], &factor);
}

void buClearUserClick(Device& device, WindowPort& window) {
    window.SetText(Control::Edit1, "ClearServiceUsers siehe Titelzeile!");
    int32_t result = device.CleanServiceUsers();
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<uint32_t>(result));
    window.SetTitle(text);
}
