// A scan context over the three fakes, online, with its log in a directory of its own that is
// removed afterwards. For the scan tests; needs GoogleTest for the temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "scan/scancontext.h"
#include "tests/support/fakeclock.h"
#include "tests/support/fakedevice.h"
#include "tests/support/fakewindow.h"
#include "tests/support/testfiles.h"

// Lines of a log file without their CR LF; a last line without one is not counted.
inline std::vector<std::string> ReadLogLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

struct ScanRig {
    ScanRig() {
        ctx = std::make_unique<ScanContext>(device, clock, window);  // holds a 144 KB buffer
        ctx->FOnline = 1;
        ctx->CounterFrequency = clock.frequency;
        ctx->logPath = dir + "/Data.Txt";
        // A single-shot wait that a test forgot to end would otherwise hang the run.
        window.cancelWaitAt = [](int poll) {
            if (poll <= 1'000'000) return false;
            ADD_FAILURE() << "the single-shot wait never ended";
            return true;
        };
    }
    ~ScanRig() { ctx.reset(); }  // closes an open log before its directory goes
    ScanRig(const ScanRig&) = delete;
    ScanRig& operator=(const ScanRig&) = delete;

    std::vector<std::string> LogLines() const { return ReadLogLines(ctx->logPath); }
    // The integer column of every line.
    std::vector<int> LoggedSequence() const {
        std::vector<int> seq;
        for (const std::string& line : LogLines()) seq.push_back(std::stoi(line));
        return seq;
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (const FakeWindow::Box& b : window.boxes) out.push_back(b.caption);
        return out;
    }
    // Device calls and sleeps in the window's event list, so their order against the window's
    // events can be checked: "dev:<fn>[:<option>]=<value>" and "sleep:<ms>".
    void TraceIntoEvents() {
        device.onCall = [this](const FakeDevice::Call& c) {
            window.events.push_back("dev:" + Describe(c));
        };
        clock.onSleep = [this](int ms) { window.events.push_back("sleep:" + std::to_string(ms)); };
    }
    static std::string Describe(const FakeDevice::Call& c) {
        using Fn = FakeDevice::Fn;
        switch (c.fn) {
            case Fn::wrOptionInt:
                return "wr:" + OptionNameOf(c) + "=" + std::to_string(c.value);
            case Fn::rdOptionInt:
                return "rd:" + OptionNameOf(c);
            case Fn::rdScannerBuffer:
                return "rdScannerBuffer:" + std::to_string(c.capacity);
            case Fn::SendReqScannerBuffer:
                return "SendReqScannerBuffer:" + std::to_string(c.capacity);
            default:
                return "other";
        }
    }
    static std::string OptionNameOf(const FakeDevice::Call& c) {
        for (std::size_t i = 0; i < OptionCount; ++i) {
            auto e = static_cast<OptionEntry>(i);
            if (c.Is(c.fn, e)) return OptionName(e);
        }
        return "?";
    }

    TempDir logDir{"scanrig"};  // first, so that it goes last
    const std::string& dir = logDir.Path();
    FakeDevice device;
    FakeClock clock;
    FakeWindow window;
    std::unique_ptr<ScanContext> ctx;
};
