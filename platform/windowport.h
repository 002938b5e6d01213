// The window port: everything the logic does to the main window. TMainWindow implements it with
// Qt widgets; tests use a recording fake. Texts are UTF-8.
#pragma once

#include <string>

// The window's controls, by their names on the form.
enum class Control {
    laScannerStatus,
    laScanned,
    Label1,
    Label2,
    Label3,
    laRecordSize,
    laCntr,
    laLsm,
    Label4,
    Label5,
    buScanStart,
    cbEndlessScan,
    cbWaitForStrobe,
    Edit1,
    sbTimeFactor,
    cbPhysMem,
    edZusatzinfo,
    buClearUser,
};

// The control's name on the form, e.g. "buScanStart".
const char* ControlName(Control c);

class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual void SetTitle(const std::string& text) = 0;
    // Caption of a label or button, text of an edit line.
    virtual void SetText(Control c, const std::string& text) = 0;
    virtual bool Checked(Control c) = 0;
    virtual void SetChecked(Control c, bool checked) = 0;
    virtual void SetEnabled(Control c, bool enabled) = 0;
    virtual int Position(Control c) = 0;  // the scroll bar's position
    // Repaints one control at once without handling any other event.
    virtual void RepaintNow(Control c) = 0;
    virtual void RepaintWindow() = 0;
    // Modal box with an OK button only; timer ticks keep arriving while it is open.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Asks the application to end as soon as its message loop runs.
    virtual void Terminate() = 0;
    // Called between the passes of a blocking wait: keeps the window painted, swallows all input
    // and ticks, and returns true once the operator asked to end the wait (Escape or closing).
    virtual bool WaitCancelled() = 0;
};
