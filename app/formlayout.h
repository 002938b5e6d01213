// The main window's form as data: every control with its kind, initial caption, client-area
// geometry in pixels, tab position and initial state, in creation order.
#pragma once

#include <array>

#include "platform/windowport.h"

enum class ControlKind { Label, Button, CheckBox, Edit, ScrollBar };

struct FormControl {
    Control control;
    ControlKind kind;
    const char* caption;  // UTF-8; empty for the scroll bar
    int left, top, width, height;
    int tabOrder;  // -1: no tab stop
    bool checked;
};

inline constexpr int kFormLeft = 779;
inline constexpr int kFormTop = 163;
// The original's outer 341 x 358 less its borders and caption: every control fits inside.
inline constexpr int kClientWidth = 333;
inline constexpr int kClientHeight = 331;
inline constexpr int kTimerIntervalMs = 50;
inline constexpr int kTimeFactorMin = 1;
inline constexpr int kTimeFactorMax = 100;

// Label widths are those for the initial text; labels size themselves to whatever they show.
inline constexpr std::array<FormControl, 18> kFormControls{{
    {Control::laScannerStatus, ControlKind::Label, "---", 108, 108, 9, 13, -1, false},
    {Control::laScanned, ControlKind::Label, "---", 108, 156, 9, 13, -1, false},
    {Control::Label1, ControlKind::Label, "Records Scanned:", 4, 156, 89, 13, -1, false},
    {Control::Label2, ControlKind::Label, "Scanner Status:", 4, 108, 76, 13, -1, false},
    {Control::Label3, ControlKind::Label, "Record Size:", 4, 132, 61, 13, -1, false},
    {Control::laRecordSize, ControlKind::Label, "-----", 108, 132, 15, 13, -1, false},
    {Control::laCntr, ControlKind::Label, "---", 108, 208, 9, 13, -1, false},
    {Control::laLsm, ControlKind::Label, "---", 108, 184, 9, 13, -1, false},
    {Control::Label4, ControlKind::Label, "left Spool memory:", 4, 184, 86, 13, -1, false},
    {Control::Label5, ControlKind::Label, "Loop Counter:", 4, 208, 67, 13, -1, false},
    {Control::buScanStart, ControlKind::Button, "Scan Start", 4, 12, 75, 21, 0, false},
    {Control::cbEndlessScan, ControlKind::CheckBox, "EndlessScan", 4, 44, 97, 17, 1, true},
    {Control::cbWaitForStrobe, ControlKind::CheckBox, "Wait for Strobe", 100, 44, 97, 17, 2, false},
    {Control::Edit1, ControlKind::Edit, "Edit1", 4, 240, 317, 21, 3, false},
    {Control::sbTimeFactor, ControlKind::ScrollBar, "", 4, 300, 317, 17, 4, false},
    {Control::cbPhysMem, ControlKind::CheckBox, "use Phys. Mem.", 100, 64, 97, 17, 5, false},
    {Control::edZusatzinfo, ControlKind::Edit, "Zusatz Info", 4, 268, 317, 21, 6, false},
    {Control::buClearUser, ControlKind::Button, "ClearUser", 208, 8, 75, 25, 7, false},
}};
