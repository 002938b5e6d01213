// The 50 ms tick: status poll, pull, count and log, and what a failed pull does, including a
// library that keeps failing while the tick runs inside the boxes it caused.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "device/connection.h"
#include "scan/scancontrol.h"
#include "tests/support/scanrig.h"
#include "tests/support/simdevice.h"

namespace {

using Fn = FakeDevice::Fn;
using Strings = std::vector<std::string>;

class TickTest : public testing::Test {
  protected:
    // An endless scan started through the button; the recorder reports 72-byte records.
    void StartEndless() {
        device.QueueIntValues(optScanStatus, {4});
        device.QueueIntValues(optScanRecordSize, {72});
        buScanStartClick(ctx);
        ASSERT_EQ(ctx.state.Scanning, 1);
        ASSERT_TRUE(window.boxes.empty());
    }

    ScanRig rig;
    FakeDevice& device = rig.device;
    FakeWindow& window = rig.window;
    ScanContext& ctx = *rig.ctx;
};

struct PullCase {
    int32_t n, recordSize;
    int64_t counter;                   // FRecordsScanned after the tick, from 10
    std::optional<std::string> label;  // laScanned written by the tick, or not at all
    std::size_t lines;
    std::vector<int> sleeps;
    Strings boxes;
    const char* dropped = nullptr;  // edZusatzinfo, when the pull could not be counted
};

TEST_F(TickTest, PullIsCountedByRecordSizeAndLoggedBy72) {
    const PullCase cases[] = {
        {144000, 72, 2010, "2010", 2000, {}, {}},
        {100, 72, 11, "11", 1, {}, {}},
        {71, 72, 10, "10", 0, {}, {}},  // the label is rewritten with the same total
        {100, 50, 12, "12", 1, {}, {}},
        {500, 0, 10, std::nullopt, 0, {10}, {}, "Record Size 0: 500 Bytes dropped"},
        {148, -72, 10, std::nullopt, 0, {10}, {}, "Record Size -72: 148 Bytes dropped"},
        {0, 72, 10, std::nullopt, 0, {}, {}},
        {-5, 72, 10, std::nullopt, 0, {50}, {"Messergebnis", "Fehler beim Scan"}},
        // More than was asked for: refused like a failed read, never read past the request.
        {144001, 72, 10, std::nullopt, 0, {50}, {"Messergebnis", "Fehler beim Scan"}},
    };
    for (const PullCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " RecordSize " << c.recordSize);
        ScanRig r;
        r.device.QueueIntValues(optScanRecordSize, {c.recordSize});
        buScanStartClick(*r.ctx);
        r.ctx->state.FRecordsScanned = 10;
        r.window.events.clear();
        r.device.QueuePulls({c.n});

        TimerTimer(*r.ctx);
        r.ctx->log.CloseScanLog();

        auto pulls = r.device.CallsOf(Fn::rdScannerBuffer);
        ASSERT_GE(pulls.size(), 1u);
        EXPECT_EQ(pulls[0].capacity, 144000);
        EXPECT_EQ(pulls[0].pointer, r.ctx->log.ScanBuffer.data());
        EXPECT_EQ(r.ctx->state.FRecordsScanned, c.counter);
        Strings labels;
        for (const std::string& e : r.window.events)
            if (e.rfind("text:laScanned:", 0) == 0) labels.push_back(e.substr(15));
        EXPECT_EQ(labels, c.label ? Strings{*c.label} : Strings{});
        EXPECT_EQ(r.LogLines().size(), c.lines);
        EXPECT_EQ(r.clock.sleeps, c.sleeps);
        EXPECT_EQ(r.Captions(), c.boxes);
        if (c.dropped) {
            EXPECT_EQ(r.window.Text(Control::edZusatzinfo), c.dropped);
        }
        if (c.boxes.size() == 2) {
            EXPECT_EQ(r.window.boxes[1].text, "Rückgabewert: " + std::to_string(c.n));
        }
    }
}

TEST_F(TickTest, StatusPollShowsTheWordAndStopsAfterAFailedRead) {
    struct Case {
        int32_t result;
        std::optional<int32_t> value;  // none: the library leaves the word unwritten
        const char* label;
        int32_t pollingAfter;
    };
    const Case cases[] = {
        {4, 0x00ab0004, "00AB0004", 1},
        {4, -1, "FFFFFFFF", 1},
        {3, std::nullopt, "00000000", 0},
        {-1, 0x7, "00000007", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result);
        ScanRig r;
        r.ctx->state.StatusPolling = 1;
        if (c.value) r.device.QueueIntValues(optScanStatus, {*c.value});
        r.device.SetDescriptorNthResult(optScanStatus, 1, c.result);
        TimerTimer(*r.ctx);
        EXPECT_EQ(r.window.Text(Control::laScannerStatus), c.label);
        EXPECT_EQ(r.ctx->state.StatusPolling, c.pollingAfter);

        r.window.SetText(Control::laScannerStatus, "seen");
        TimerTimer(*r.ctx);
        EXPECT_EQ(r.device.Count(Fn::rdOptionInt, optScanStatus), 1 + c.pollingAfter);
        EXPECT_EQ(r.window.Text(Control::laScannerStatus), c.pollingAfter ? c.label : "seen");
        EXPECT_EQ(r.device.Count(Fn::rdScannerBuffer), 0) << "no scan, no pull";
    }
}

TEST_F(TickTest, ReadPathFollowsThePhysMemBoxAtEveryTick) {
    StartEndless();
    for (bool physMem : {true, false, true}) {
        window.checked[Control::cbPhysMem] = physMem;
        TimerTimer(ctx);
    }
    auto fast = device.CallsOf(Fn::SendReqScannerBuffer);
    auto plain = device.CallsOf(Fn::rdScannerBuffer);
    ASSERT_EQ(fast.size(), 2u);
    ASSERT_EQ(plain.size(), 1u);
    for (const auto& c : {fast[0], fast[1], plain[0]}) {
        EXPECT_EQ(c.capacity, 144000);
        EXPECT_EQ(c.pointer, ctx.log.ScanBuffer.data());
    }
}

TEST(TickStates, NothingIsPulledWithoutAnActiveEndlessScanAndNothingAtAllOffline) {
    struct Case {
        int32_t online, scanning;
        bool endless;
        int statusReads;
    };
    const Case cases[] = {
        {0, 1, true, 0},  // offline: not even the status read
        {1, 0, true, 1},
        {1, 1, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "online " << c.online << " scanning " << c.scanning
                                        << " endless " << c.endless);
        ScanRig r;
        r.ctx->FOnline = c.online;
        r.ctx->state.StatusPolling = 1;
        r.ctx->state.Scanning = c.scanning;
        r.window.checked[Control::cbEndlessScan] = c.endless;
        r.window.checked[Control::cbPhysMem] = true;
        r.device.SetResult(Fn::rdScannerBuffer, -1);
        r.device.SetResult(Fn::SendReqScannerBuffer, -1);
        TimerTimer(*r.ctx);
        EXPECT_EQ(r.device.Count(Fn::rdOptionInt, optScanStatus), c.statusReads);
        EXPECT_EQ(r.device.calls.size(), static_cast<std::size_t>(c.statusReads));
        EXPECT_EQ(r.window.events.size(), static_cast<std::size_t>(c.statusReads));
        EXPECT_EQ(r.ctx->state.StatusPolling, 1);
        EXPECT_EQ(r.ctx->state.Scanning, c.scanning);
    }
}

TEST_F(TickTest, FailedPullStopsFirstThenReportsTheResult) {
    StartEndless();
    device.QueuePulls({144, -5, 216});  // the stop's drain tick still delivers 3 records
    TimerTimer(ctx);
    rig.TraceIntoEvents();
    window.events.clear();
    window.whileBoxOpen = [&](const FakeWindow::Box& box) {
        EXPECT_FALSE(ctx.log.IsOpen()) << box.caption;
        EXPECT_EQ(ctx.state.Scanning, 0) << box.caption;
    };
    TimerTimer(ctx);

    EXPECT_EQ(window.events,
              (Strings{"dev:rd:optScanStatus", "text:laScannerStatus:00000004",
                       "dev:rdScannerBuffer:144000", "enable:cbEndlessScan:1",
                       "dev:wr:optScanRun=0", "sleep:50", "dev:rdScannerBuffer:144000",
                       "text:laScanned:5", "text:buScanStart:Scan Start",
                       "box:Messergebnis:5 Messungen: DP: A1 = 4.125000 A2 = 4.375000 A3 = "
                       "4.625000\n",
                       "closed:Messergebnis", "box:Fehler beim Scan:Rückgabewert: -5",
                       "closed:Fehler beim Scan"}));
    EXPECT_EQ(rig.LoggedSequence(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(window.deepestBox, 1);
}

TEST_F(TickTest, FailedPullWhoseStopIsRefusedLeavesTheScanAndTheNextTickPullsAgain) {
    StartEndless();
    device.SetDescriptorResult(optScanRun, 5);
    device.QueuePulls({-5, 144});
    TimerTimer(ctx);
    ASSERT_EQ(rig.Captions(), (Strings{"Error", "Fehler beim Scan"}));
    EXPECT_EQ(window.boxes[0].text, "Error at Start of Scanner!");
    EXPECT_EQ(ctx.state.Scanning, 1);
    EXPECT_TRUE(ctx.log.IsOpen());

    TimerTimer(ctx);
    EXPECT_EQ(ctx.state.FRecordsScanned, 2);
    ctx.log.CloseScanLog();
    EXPECT_EQ(rig.LogLines().size(), 2u);
}

// A library whose every pull fails, with the timer firing while each box is open: every box
// and every stop must come once, side by side, never inside another.
TEST_F(TickTest, KeepFailingLibraryNeverNestsStopsOrBoxes) {
    struct Case {
        const char* name;
        bool stopAccepted;
        Strings boxes;
    };
    const Case cases[] = {
        {"stop accepted", true, {"Messergebnis", "Fehler beim Scan"}},
        {"stop refused", false, {"Error", "Fehler beim Scan"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanRig r;
        r.device.QueueIntValues(optScanRecordSize, {72});
        buScanStartClick(*r.ctx);
        if (!c.stopAccepted) r.device.SetDescriptorResult(optScanRun, 5);
        r.device.SetResult(Fn::rdScannerBuffer, -7);
        int ticksInBoxes = 0;
        r.window.whileBoxOpen = [&](const FakeWindow::Box&) {
            for (int i = 0; i < 3; ++i, ++ticksInBoxes) TimerTimer(*r.ctx);
        };

        TimerTimer(*r.ctx);

        EXPECT_EQ(r.Captions(), c.boxes);
        EXPECT_EQ(r.window.deepestBox, 1);
        EXPECT_EQ(ticksInBoxes, 6);
        EXPECT_EQ(r.device.CallsOn(optScanRun).size(), 2u) << "one start, one stop";
        EXPECT_EQ(r.window.boxes.back().text, "Rückgabewert: -7");
        EXPECT_FALSE(r.ctx->state.StopInProgress);
        EXPECT_FALSE(r.ctx->state.PullErrorBoxOpen);
        EXPECT_EQ(r.ctx->state.Scanning, c.stopAccepted ? 0 : 1);

        // Still refused and still failing: the next tick tries once more, in a fresh pair.
        if (!c.stopAccepted) {
            TimerTimer(*r.ctx);
            EXPECT_EQ(r.Captions(),
                      (Strings{"Error", "Fehler beim Scan", "Error", "Fehler beim Scan"}));
            EXPECT_EQ(r.window.deepestBox, 1);
        }
    }
}

TEST_F(TickTest, RecordsKeepBeingCountedAndLoggedWhileTheErrorBoxIsOpen) {
    StartEndless();
    device.SetDescriptorResult(optScanRun, 5);  // the scan stays active
    device.QueuePulls({-5});
    window.whileBoxOpen = [&](const FakeWindow::Box& box) {
        if (box.caption != "Fehler beim Scan") return;
        device.QueuePulls({144, -6, 216});
        for (int i = 0; i < 3; ++i) TimerTimer(ctx);
    };
    TimerTimer(ctx);

    EXPECT_EQ(rig.Captions(), (Strings{"Error", "Fehler beim Scan"}));
    EXPECT_EQ(ctx.state.FRecordsScanned, 5);
    ctx.log.CloseScanLog();
    EXPECT_EQ(rig.LoggedSequence(), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(TickTest, LostLogDataIsShownWhenItAppearsAndWhenItsCountMoves) {
    ctx.logPath = "/dev/full";
    StartEndless();
    ASSERT_FALSE(ctx.log.Health().Lost());
    window.events.clear();
    device.QueuePulls({144, 0, 71, 216});
    for (int i = 0; i < 4; ++i) TimerTimer(ctx);
    Strings shown;
    for (const std::string& e : window.events)
        if (e.rfind("text:edZusatzinfo:", 0) == 0) shown.push_back(e.substr(18));
    ASSERT_EQ(shown.size(), 2u) << "rewritten only when the count moved";
    EXPECT_NE(shown[0].find("No space left on device - 2 records not logged"), std::string::npos)
        << shown[0];
    EXPECT_NE(shown[1].find(" - 5 records not logged"), std::string::npos) << shown[1];
    EXPECT_TRUE(window.boxes.empty()) << "no box during the scan";
}

// The real simulated board at 20,000 records per second, on the test's time: a pull takes at
// most 1,999 records, so a long gap between ticks is caught up over the following ones.
TEST(TickOnSimulatedBoard, EndlessScanLogsEveryRecordOnceInOrderAndTheSummaryCountsThemAll) {
    TempDir dir{"tst_tick"};
    FakeClock clock;  // nanoseconds, shared with the board
    SimDevice device(SimDevice::Warm("BaseSampleRate = 20000\nPhysMem = yes\n",
                                     [&clock] { return clock.counter; }));
    FakeWindow window;
    auto ctx = std::make_unique<ScanContext>(device, clock, window);
    ctx->logPath = dir.At("Data.Txt");
    ctx->CounterFrequency = clock.frequency;
    ctx->FOnline = ConnectDevice(device, clock, window, ctx->options, {0, "SYSTEM.DAT", "x"});
    ASSERT_EQ(ctx->FOnline, 1);
    window.checked[Control::cbPhysMem] = true;

    buScanStartClick(*ctx);
    ASSERT_TRUE(window.boxes.empty()) << window.boxes[0].text;
    ASSERT_EQ(window.Text(Control::edZusatzinfo), "rwPhysMem available!");
    ASSERT_EQ(window.Text(Control::laRecordSize), "72");
    for (int ms : {50, 50, 150, 50, 0, 20}) {
        clock.counter += ms * 1'000'000LL;
        TimerTimer(*ctx);
    }
    buScanStartClick(*ctx);

    const int records = 320 * 20;  // 320 ms of recording
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].caption, "Messergebnis");
    EXPECT_EQ(window.boxes[0].text.rfind(std::to_string(records) + " Messungen: DP: A1 = ", 0), 0u)
        << window.boxes[0].text;
    std::vector<std::string> lines = ReadLogLines(ctx->logPath);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) ASSERT_EQ(std::stoi(lines[i]), i) << lines[i];
    EXPECT_EQ(ctx->state.FRecordsScanned, records);
}

}  // namespace
