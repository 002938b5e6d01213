// A window that records what the logic does to it. Its message box can run code (ticks) while
// "open", which is how re-entrancy is tested.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/windowport.h"

class FakeWindow final : public WindowPort {
public:
    FakeWindow();

    struct Box {
        std::string text, caption;
        int depth;  // boxes already open when this one opened
    };

    std::string title = "MainWindow";
    std::map<Control, std::string> texts;
    std::map<Control, bool> checked;
    std::map<Control, bool> enabled;
    int position = 1;
    std::vector<Box> boxes;
    int openBoxes = 0;
    int deepestBox = 0;
    // Runs while a box is open, before the operator presses OK.
    std::function<void(const Box&)> whileBoxOpen;
    std::vector<std::string> events;  // "title:...", "text:<control>:...", "box:<caption>:<text>"
    std::map<Control, int> repaints;
    int windowRepaints = 0;
    bool terminated = false;
    int waitPolls = 0;
    std::function<bool(int poll)> cancelWaitAt;  // decides WaitCancelled(), given the poll number

    std::string Text(Control c) const;
    bool IsEnabled(Control c) const;

    void SetTitle(const std::string& text) override;
    void SetText(Control c, const std::string& text) override;
    bool Checked(Control c) override;
    void SetChecked(Control c, bool value) override;
    void SetEnabled(Control c, bool value) override;
    int Position(Control) override { return position; }
    void RepaintNow(Control c) override;
    void RepaintWindow() override { ++windowRepaints; }
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void Terminate() override { terminated = true; }
    bool WaitCancelled() override;
};
