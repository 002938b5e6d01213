// The handlers of scan acquisition: the start/stop toggle, the 50 ms tick, and the single shot
// that a start without endless mode runs before it returns.
#pragma once

#include "scan/scancontext.h"

void buScanStartClick(ScanContext& ctx);
void TimerTimer(ScanContext& ctx);
void RunSingleShot(ScanContext& ctx);
