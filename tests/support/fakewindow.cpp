#include "tests/support/fakewindow.h"

FakeWindow::FakeWindow() {
    texts = {
        {Control::laScannerStatus, "---"}, {Control::laScanned, "---"},
        {Control::laRecordSize, "-----"},  {Control::laCntr, "---"},
        {Control::laLsm, "---"},           {Control::buScanStart, "Scan Start"},
        {Control::Edit1, "Edit1"},         {Control::edZusatzinfo, "Zusatz Info"},
    };
    checked = {{Control::cbEndlessScan, true},
               {Control::cbWaitForStrobe, false},
               {Control::cbPhysMem, false}};
}

std::string FakeWindow::Text(Control c) const {
    auto it = texts.find(c);
    return it == texts.end() ? std::string() : it->second;
}

bool FakeWindow::IsEnabled(Control c) const {
    auto it = enabled.find(c);
    return it == enabled.end() || it->second;
}

void FakeWindow::SetTitle(const std::string& text) {
    title = text;
    events.push_back("title:" + text);
}

void FakeWindow::SetText(Control c, const std::string& text) {
    texts[c] = text;
    events.push_back(std::string("text:") + ControlName(c) + ":" + text);
}

bool FakeWindow::Checked(Control c) { return checked[c]; }

void FakeWindow::SetChecked(Control c, bool value) {
    checked[c] = value;
    events.push_back(std::string("check:") + ControlName(c) + ":" + (value ? "1" : "0"));
}

void FakeWindow::SetEnabled(Control c, bool value) {
    enabled[c] = value;
    events.push_back(std::string("enable:") + ControlName(c) + ":" + (value ? "1" : "0"));
}

void FakeWindow::RepaintNow(Control c) {
    ++repaints[c];
    events.push_back(std::string("repaint:") + ControlName(c) + ":" + Text(c));
}

void FakeWindow::ShowMessage(const std::string& text, const std::string& caption) {
    Box box{text, caption, openBoxes};
    boxes.push_back(box);
    events.push_back("box:" + caption + ":" + text);
    ++openBoxes;
    if (openBoxes > deepestBox) deepestBox = openBoxes;
    if (whileBoxOpen) whileBoxOpen(box);
    --openBoxes;
    events.push_back("closed:" + caption);
}

bool FakeWindow::WaitCancelled() {
    ++waitPolls;
    return cancelWaitAt ? cancelWaitAt(waitPolls) : false;
}

