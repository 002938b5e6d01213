// The single shot: the wait and its three ends, the operator ending a stuck wait, the count read
// and its box, the timed read with its texts, the log and the end of the scan.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "scan/scancontrol.h"
#include "tests/support/scanrig.h"

namespace {

using Fn = FakeDevice::Fn;
using Strings = std::vector<std::string>;

// A start without endless mode runs the single shot before it returns. `statuses` are the
// single shot's status reads in turn (the start's own read comes first and shows 0), `counts`
// its record count reads; the last value of each repeats.
void Shoot(ScanRig& r, std::vector<int32_t> statuses, std::vector<int32_t> counts) {
    r.window.checked[Control::cbEndlessScan] = false;
    statuses.insert(statuses.begin(), 0);
    r.device.QueueIntValues(optScanStatus, statuses);
    r.device.QueueIntValues(optScanRecordCount, counts);
    r.device.QueueIntValues(optScanRecordSize, {72});
    buScanStartClick(*r.ctx);
}

Strings EventsFrom(const ScanRig& r, const std::string& first) {
    auto it = std::find(r.window.events.begin(), r.window.events.end(), first);
    return Strings(it, r.window.events.end());
}

TEST(SingleShot, WaitPassesRepaintTheirLabelsThenTheScanIsReadTimedLoggedAndEnded) {
    ScanRig r;
    r.TraceIntoEvents();
    r.device.QueuePulls({144});
    Shoot(r, {4, 0}, {5, 7});

    EXPECT_EQ(EventsFrom(r, "enable:buScanStart:0"),
              (Strings{"enable:buScanStart:0",
                       "dev:rd:optScanStatus",
                       "text:laCntr:",
                       "text:laScanned:",
                       "text:laScannerStatus:",
                       "dev:rd:optScanRecordCount",
                       "text:laScanned:5",
                       "repaint:laScanned:5",
                       "dev:rd:optScanStatus",
                       "text:laScannerStatus:00000000",
                       "repaint:laScannerStatus:00000000",
                       "text:laCntr:1",
                       "repaint:laCntr:1",
                       "sleep:50",
                       "dev:rd:optScanRecordCount",
                       "text:laScanned:7",
                       "enable:buScanStart:1",
                       "text:laScanned:7",
                       "dev:rdScannerBuffer:144720",
                       "text:edZusatzinfo:TimerAuflösung: 0.001 µs",
                       "text:Edit1:Lesezeit: 0 ms # 144 Bytes read! ",
                       "text:buScanStart:Scan Start",
                       "enable:cbEndlessScan:1"}));
    EXPECT_EQ(r.window.waitPolls, 1);
    EXPECT_EQ(r.device.CallsOf(Fn::rdScannerBuffer)[0].pointer, r.ctx->log.ScanBuffer.data());
    EXPECT_EQ(r.LoggedSequence(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(r.ctx->log.IsOpen());
    EXPECT_TRUE(r.window.boxes.empty()) << "no summary";
    EXPECT_EQ(r.ctx->state.Scanning, 0);
    EXPECT_EQ(r.ctx->state.FRecordsScanned, 0);

    // Afterwards the tick shows the status and pulls nothing.
    ASSERT_EQ(r.ctx->state.StatusPolling, 1);
    int statusReads = r.device.Count(Fn::rdOptionInt, optScanStatus);
    r.window.checked[Control::cbEndlessScan] = true;
    TimerTimer(*r.ctx);
    EXPECT_EQ(r.device.Count(Fn::rdOptionInt, optScanStatus), statusReads + 1);
    EXPECT_EQ(r.device.Count(Fn::rdScannerBuffer), 1);
}

TEST(SingleShot, WaitEndsOnItsThreeConditions) {
    struct Case {
        const char* name;
        std::vector<int32_t> statuses, counts;
        int failingCountRead;   // k-th count read returns 3; 0: none
        int failingStatusRead;  // k-th status read of the single shot returns 3; 0: none
        int passes;
        const char* cntr;
        const char* scanned;  // after the pause
    };
    const Case cases[] = {
        {"status bit clear at the first read", {0x3}, {37}, 0, 0, 0, "", "37"},
        {"recording ends", {4, 4, 0}, {1, 2, 3}, 0, 0, 2, "2", "3"},
        {"count reaches 2000", {0xff}, {500, 1999, 2000, 2001}, 0, 0, 3, "3", "2001"},
        {"count read fails in a pass", {4}, {10, 20, 30}, 2, 0, 2, "2", "30"},
        {"first status read fails", {4}, {10}, 0, 1, 0, "", "10"},
        {"status read fails in a pass", {4}, {10, 20}, 0, 2, 1, "1", "20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanRig r;
        if (c.failingCountRead)
            r.device.SetDescriptorNthResult(optScanRecordCount, c.failingCountRead, 3);
        if (c.failingStatusRead)  // the start's own read comes first
            r.device.SetDescriptorNthResult(optScanStatus, c.failingStatusRead + 1, 3);
        Shoot(r, c.statuses, c.counts);

        EXPECT_EQ(r.window.waitPolls, c.passes);
        EXPECT_EQ(r.window.repaints[Control::laCntr], c.passes);
        EXPECT_EQ(r.window.Text(Control::laCntr), c.cntr);
        EXPECT_EQ(r.window.Text(Control::laScanned), c.scanned);
        EXPECT_EQ(r.device.Count(Fn::rdOptionInt, optScanRecordCount), c.passes + 1);
        EXPECT_TRUE(r.window.boxes.empty()) << "a failed call during the wait has no message";
        EXPECT_EQ(r.clock.sleeps, std::vector<int>{50});
        EXPECT_EQ(r.device.Count(Fn::rdScannerBuffer), 1);
        EXPECT_EQ(r.ctx->state.Scanning, 0);
    }
}

TEST(SingleShot, OperatorEndsAStuckWaitAndNothingRecordedIsLost) {
    ScanRig r;
    r.window.cancelWaitAt = [](int poll) { return poll == 3; };
    r.device.QueuePulls({216});
    Shoot(r, {4}, {5});  // the bit never clears, the count never moves

    EXPECT_EQ(r.window.waitPolls, 3);
    EXPECT_EQ(r.window.Text(Control::laCntr), "2");
    EXPECT_EQ(r.window.title, "Wait for the Scanner ended by the operator!");
    EXPECT_EQ(r.clock.sleeps, std::vector<int>{50});
    EXPECT_EQ(r.window.Text(Control::Edit1), "Lesezeit: 0 ms # 216 Bytes read! ");
    EXPECT_EQ(r.LoggedSequence(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(r.window.Text(Control::buScanStart), "Scan Start");
    EXPECT_TRUE(r.window.IsEnabled(Control::buScanStart));
    EXPECT_EQ(r.ctx->state.Scanning, 0);
    EXPECT_FALSE(r.ctx->log.IsOpen());
}

TEST(SingleShot, FailedCountReadShowsItsBoxWhileTheTickOnlyShowsTheStatusThenGoesOn) {
    ScanRig r;
    r.device.SetDescriptorNthResult(optScanRecordCount, 1, 9);
    r.device.QueuePulls({144});
    r.window.whileBoxOpen = [&](const FakeWindow::Box&) {
        TimerTimer(*r.ctx);
        EXPECT_EQ(r.device.Count(Fn::rdScannerBuffer), 0) << "the tick pulls nothing";
        EXPECT_EQ(r.window.Text(Control::laScannerStatus), "00004321");
    };
    Shoot(r, {0, 0x4321}, {100});  // no pass; the tick gets the second status

    ASSERT_EQ(r.window.boxes.size(), 1u);
    EXPECT_EQ(r.window.boxes[0].text, "Error at Using the Scanner!");
    EXPECT_EQ(r.window.boxes[0].caption, "Error");
    EXPECT_EQ(r.device.Count(Fn::rdOptionInt, optScanStatus), 3) << "start, single shot, tick";
    EXPECT_EQ(r.window.Text(Control::laScanned), "100");
    EXPECT_EQ(r.device.Count(Fn::rdScannerBuffer), 1);
    EXPECT_EQ(r.LogLines().size(), 2u);
    EXPECT_EQ(r.ctx->state.Scanning, 0);
}

struct ReadCase {
    int32_t n;
    int64_t counts;     // counter counts that pass during the read call alone
    int64_t frequency;  // counts per second
    const char* edit1;
    const char* info;
    std::size_t lines;
    bool physMem = false;
};

const ReadCase kReads[] = {
    {144720, 15625000, 1000000000, "Lesezeit: 15 ms # 144720 Bytes read! Rate: 9.3 MB/s ",
     "TimerAuflösung: 0.001 µs", 2010},
    {144720, 1000, 1000000000, "Lesezeit: 0 ms # 144720 Bytes read! ", "TimerAuflösung: 0.001 µs",
     2010},  // exactly 1e-6 s: no rate
    {144720, 0, 1000000000, "Lesezeit: 0 ms # 144720 Bytes read! ", "TimerAuflösung: 0.001 µs",
     2010},
    {144, 156250, 10000000, "Lesezeit: 15 ms # 144 Bytes read! Rate: 0.0 MB/s ",
     "TimerAuflösung: 0.100 µs", 2, true},
    {71, 15625000, 1000000000, "Lesezeit: 15 ms # 71 Bytes read! Rate: 0.0 MB/s ",
     "TimerAuflösung: 0.001 µs", 0},
    {0, 0, 1000000000, "Lesezeit: 0 ms # 0 Bytes read! ", "TimerAuflösung: 0.001 µs", 0},
    {-3, 15625000, 1000000000, "Lesezeit: 15 ms # -3 Bytes read! Rate: -0.0 MB/s ",
     "TimerAuflösung: 0.001 µs", 0},
    // More than was asked for: shown as the library said, refused for the log.
    {144721, 0, 1000000000, "Lesezeit: 0 ms # 144721 Bytes read! ", "TimerAuflösung: 0.001 µs", 0},
    // A frequency of 0 (only a fake clock gives it) makes neither a time nor a rate.
    {144720, 5, 0, "Lesezeit: unbekannt # 144720 Bytes read! ", "TimerAuflösung: unbekannt", 2010},
};

class TimedReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(TimedReadTest, ReadTimeCoversTheReadCallAloneAndItsTextsAndLogFollow) {
    const ReadCase& c = GetParam();
    ScanRig r;
    r.ctx->CounterFrequency = c.frequency;
    r.window.checked[Control::cbPhysMem] = c.physMem;
    if (c.physMem) r.device.QueuePulls({0});  // the start's probe: available
    r.device.QueuePulls({c.n});
    // Only the buffer read moves the counter by the case's amount; the pause moves it too, and
    // would show up in the text if it lay between the two samples.
    r.device.onCall = [&](const FakeDevice::Call& call) {
        if ((call.fn == Fn::rdScannerBuffer || call.fn == Fn::SendReqScannerBuffer) &&
            call.capacity > 0)
            r.clock.counter += c.counts;
    };
    Shoot(r, {0}, {0});

    auto reads = r.device.CallsOf(c.physMem ? Fn::SendReqScannerBuffer : Fn::rdScannerBuffer);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.back().capacity, 144720);
    EXPECT_EQ(r.window.Text(Control::Edit1), c.edit1);
    EXPECT_EQ(r.window.Text(Control::edZusatzinfo), c.info);
    EXPECT_EQ(r.LogLines().size(), c.lines);
    EXPECT_EQ(r.ctx->state.Scanning, 0);
    EXPECT_TRUE(r.window.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, TimedReadTest, testing::ValuesIn(kReads));

TEST(SingleShot, TextsUseAPointUnderAGermanLocale) {
    std::string restore = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    ScanRig r;
    r.ctx->CounterFrequency = 10000000;
    r.device.QueuePulls({144720});
    r.device.onCall = [&](const FakeDevice::Call& call) {
        if (call.fn == Fn::rdScannerBuffer) r.clock.counter += 156250;  // 1/64 s
    };
    Shoot(r, {0}, {0});
    std::setlocale(LC_ALL, restore.c_str());
    EXPECT_EQ(r.window.Text(Control::Edit1),
              "Lesezeit: 15 ms # 144720 Bytes read! Rate: 9.3 MB/s ");
    EXPECT_EQ(r.window.Text(Control::edZusatzinfo), "TimerAuflösung: 0.100 µs");
}

TEST(SingleShot, LostLogDataReplacesTheResolutionText) {
    ScanRig r;
    r.ctx->logPath = "/dev/full";
    r.device.QueuePulls({144});
    Shoot(r, {0}, {0});
    std::string info = r.window.Text(Control::edZusatzinfo);
    EXPECT_EQ(info, r.ctx->log.LossText());
    EXPECT_NE(info.find("No space left on device - 2 records not logged"), std::string::npos)
        << info;
    EXPECT_TRUE(r.window.boxes.empty());
}

}  // namespace
