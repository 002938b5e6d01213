#include "platform/windowport.h"

const char* ControlName(Control c) {
    switch (c) {
        case Control::laScannerStatus: return "laScannerStatus";
        case Control::laScanned: return "laScanned";
        case Control::Label1: return "Label1";
        case Control::Label2: return "Label2";
        case Control::Label3: return "Label3";
        case Control::laRecordSize: return "laRecordSize";
        case Control::laCntr: return "laCntr";
        case Control::laLsm: return "laLsm";
        case Control::Label4: return "Label4";
        case Control::Label5: return "Label5";
        case Control::buScanStart: return "buScanStart";
        case Control::cbEndlessScan: return "cbEndlessScan";
        case Control::cbWaitForStrobe: return "cbWaitForStrobe";
        case Control::Edit1: return "Edit1";
        case Control::sbTimeFactor: return "sbTimeFactor";
        case Control::cbPhysMem: return "cbPhysMem";
        case Control::edZusatzinfo: return "edZusatzinfo";
        case Control::buClearUser: return "buClearUser";
    }
    return "?";
}
