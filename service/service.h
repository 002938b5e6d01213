// The two controls that act on the board whatever the connection or scan state.
#pragma once

#include "device/device.h"
#include "device/options.h"
#include "platform/windowport.h"

void sbTimeFactorChange(Device& device, WindowPort& window, OptionTable& table);
void buClearUserClick(Device& device, WindowPort& window);
