// The start/stop toggle: the start's call sequence and its two tests, the channel links, the
// physical-memory probe, and the stop's paths with the summary.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>
#include <vector>

#include "scan/scancontrol.h"
#include "tests/support/scanrig.h"

namespace {

using Fn = FakeDevice::Fn;
using Strings = std::vector<std::string>;

const OptionEntry kConfigWrites[] = {
    optScanInit,     optScanRecordLimit, optScanChannel1, optScanChannel2, optScanChannel3,
    optScanChannel4, optScanChannel5,    optScanChannel6, optScanChannel7, optScanChannel8,
    optScanChannel9, optScanChannel10,   optScanCommit};

class ScanControlTest : public testing::Test {
  protected:
    ScanControlTest() {
        device.QueueIntValues(optScanStatus, {4});
        device.QueueIntValues(optScanRecordSize, {72});
    }
    // Everything after the first `from` events.
    Strings EventsFrom(std::size_t from) const {
        return Strings(window.events.begin() + static_cast<long>(from), window.events.end());
    }

    ScanRig rig;
    FakeDevice& device = rig.device;
    FakeWindow& window = rig.window;
    ScanContext& ctx = *rig.ctx;
};

TEST_F(ScanControlTest, EndlessStartConfiguresLinksStartsProbesAndOpensTheLogInThisOrder) {
    window.checked[Control::cbWaitForStrobe] = true;
    window.checked[Control::cbPhysMem] = true;
    ctx.state.FRecordsScanned = 99;
    ctx.log.SummaryA1 = ctx.log.SummaryA2 = ctx.log.SummaryA3 = 1.5;
    rig.TraceIntoEvents();

    buScanStartClick(ctx);

    Strings expected = {"text:Edit1:...", "enable:cbEndlessScan:0", "dev:wr:optScanInit=1",
                        "dev:wr:optScanRecordLimit=0"};
    for (int k = 1; k <= 10; ++k)
        expected.push_back("dev:wr:optScanChannel" + std::to_string(k) + "=0");
    Strings rest = {"dev:wr:optScanCommit=1",
                    "dev:rd:optScanStatus",
                    "text:laScannerStatus:00000004",
                    "text:laScanned:",
                    "dev:rd:optScanRecordSize",
                    "text:laRecordSize:72",
                    "dev:wr:optScanWaitStrobe=1",
                    "dev:wr:optScanRun=1",
                    "text:buScanStart:Scan Stop",
                    "text:Edit1:...",
                    "dev:SendReqScannerBuffer:0",
                    "text:Edit1:00000000",
                    "check:cbPhysMem:1",
                    "text:edZusatzinfo:rwPhysMem available!",
                    "text:buScanStart:Scan Stop"};
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(window.events, expected);

    EXPECT_EQ(device.CallsOf(Fn::SendReqScannerBuffer)[0].pointer, ctx.log.ScanBuffer.data());
    EXPECT_EQ(window.windowRepaints, 1);
    EXPECT_EQ(ctx.state.Scanning, 1);
    EXPECT_EQ(ctx.state.StatusPolling, 1);
    EXPECT_EQ(ctx.state.RecordSize, 72);
    EXPECT_EQ(ctx.state.FRecordsScanned, 0);
    EXPECT_EQ(ctx.log.SummaryA1, 0.0);
    EXPECT_EQ(ctx.log.SummaryA2, 0.0);
    EXPECT_EQ(ctx.log.SummaryA3, 0.0);
    EXPECT_TRUE(ctx.log.IsOpen());
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ScanControlTest, RecordLimitAndStrobeFollowTheirCheckBoxes) {
    struct Case {
        bool endless, strobe;
        int32_t limit, strobeValue;
    };
    for (Case c : {Case{true, false, 0, 0}, Case{false, true, 2000, 1}}) {
        SCOPED_TRACE(testing::Message() << "endless " << c.endless << " strobe " << c.strobe);
        ScanRig r;
        r.window.checked[Control::cbEndlessScan] = c.endless;
        r.window.checked[Control::cbWaitForStrobe] = c.strobe;
        buScanStartClick(*r.ctx);
        ASSERT_EQ(r.device.CallsOn(optScanRecordLimit).size(), 1u);
        EXPECT_EQ(r.device.CallsOn(optScanRecordLimit)[0].value, c.limit);
        ASSERT_EQ(r.device.CallsOn(optScanWaitStrobe).size(), 1u);
        EXPECT_EQ(r.device.CallsOn(optScanWaitStrobe)[0].value, c.strobeValue);
    }
}

struct ResultCase {
    const char* name;
    std::function<void(FakeDevice&)> script;
    const char* box;  // nullptr: no box
    int32_t scanning, polling;
    bool logOpen;
    const char* caption;
};

class StartResultTest : public testing::TestWithParam<ResultCase> {};

TEST_P(StartResultTest, ConfigurationTestLetsBit2ThroughTheStartTestDoesNot) {
    const ResultCase& c = GetParam();
    ScanRig rig;
    c.script(rig.device);
    buScanStartClick(*rig.ctx);

    EXPECT_EQ(rig.window.boxes.size(), c.box ? 1u : 0u);
    if (c.box && !rig.window.boxes.empty()) {
        EXPECT_EQ(rig.window.boxes[0].text, c.box);
        EXPECT_EQ(rig.window.boxes[0].caption, "Error");
    }
    const ScanState& s = rig.ctx->state;
    EXPECT_EQ(s.Scanning, c.scanning);
    EXPECT_EQ(s.StatusPolling, c.polling);
    EXPECT_EQ(rig.ctx->log.IsOpen(), c.logOpen);
    EXPECT_EQ(rig.window.Text(Control::buScanStart), c.caption);
    EXPECT_FALSE(rig.window.IsEnabled(Control::cbEndlessScan));
    // A rejected configuration goes no further than the commit.
    EXPECT_EQ(rig.device.Count(Fn::rdOptionInt, optScanStatus), c.polling ? 1 : 0);
    EXPECT_EQ(rig.device.Count(Fn::wrOptionInt, optScanRun), c.polling ? 1 : 0);
}

void AllConfigWrites(FakeDevice& d, int32_t result) {
    for (OptionEntry e : kConfigWrites) d.SetDescriptorResult(e, result);
}

INSTANTIATE_TEST_SUITE_P(
    LibraryResults, StartResultTest,
    testing::Values(
        ResultCase{"AllFour", [](FakeDevice&) {}, nullptr, 1, 1, true, "Scan Stop"},
        ResultCase{"ConfigWritesAllSix", [](FakeDevice& d) { AllConfigWrites(d, 6); }, nullptr, 1,
                   1, true, "Scan Stop"},
        ResultCase{"OneConfigWriteZero",
                   [](FakeDevice& d) { d.SetDescriptorResult(optScanChannel7, 0); }, nullptr, 1, 1,
                   true, "Scan Stop"},
        ResultCase{"AllConfigWritesZero", [](FakeDevice& d) { AllConfigWrites(d, 0); },
                   "Error at Initialize of Scanner!", 0, 0, false, "Scan Start"},
        ResultCase{"CommitOne", [](FakeDevice& d) { d.SetDescriptorResult(optScanCommit, 1); },
                   "Error at Initialize of Scanner!", 0, 0, false, "Scan Start"},
        ResultCase{"StatusReadSix", [](FakeDevice& d) { d.SetDescriptorResult(optScanStatus, 6); },
                   "Error at Initialize the Scanner!", 1, 1, false, "Scan Stop"},
        ResultCase{"RecordSizeReadSix",
                   [](FakeDevice& d) { d.SetDescriptorResult(optScanRecordSize, 6); },
                   "Error at Initialize the Scanner!", 1, 1, false, "Scan Stop"},
        ResultCase{"StrobeWriteSix",
                   [](FakeDevice& d) { d.SetDescriptorResult(optScanWaitStrobe, 6); },
                   "Error at Initialize the Scanner!", 1, 1, false, "Scan Stop"},
        ResultCase{"RunSix", [](FakeDevice& d) { d.SetDescriptorResult(optScanRun, 6); },
                   "Error at Initialize the Scanner!", 1, 1, false, "Scan Stop"}),
    [](const testing::TestParamInfo<ResultCase>& info) { return info.param.name; });

TEST_F(ScanControlTest, LinksFollowTheSourcesLocationAndRecorderLocationsAreClearedEachStart) {
    // Handles as the connection left them in the sources, and what the library leaves in the
    // recorder descriptors at every call.
    for (std::size_t k = 0; k < ChannelLinks.size(); ++k)
        ctx.options[ChannelLinks[k].source].location = 1000 + static_cast<int32_t>(k);
    ctx.options[optScanTimeFactor].location = 77;
    device.SetLocation(optScanInit, 501);
    device.SetLocation(optScanRun, 502);
    for (const ChannelLink& l : ChannelLinks) device.SetLocation(l.link, 600 + l.channel);

    buScanStartClick(ctx);
    EXPECT_EQ(ctx.options[optScanInit].location, 0) << "cleared after the init write";
    buScanStartClick(ctx);                     // stop
    ctx.options[optSrcDbl13].location = 4242;  // a handle may change between scans
    buScanStartClick(ctx);

    for (OptionEntry e : {optScanInit, optScanChannel1, optScanChannel10}) {
        SCOPED_TRACE(OptionName(e));
        for (const FakeDevice::Call& c : device.CallsOn(e)) EXPECT_EQ(c.d.location, 0);
    }
    auto runs = device.CallsOn(optScanRun);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].d.location, 502) << "the stop writes the table as the start left it";
    EXPECT_EQ(runs[2].d.location, 0) << "the next start clears it";

    for (int scan = 0; scan < 2; ++scan) {
        for (std::size_t k = 0; k < ChannelLinks.size(); ++k) {
            const ChannelLink& l = ChannelLinks[k];
            SCOPED_TRACE(testing::Message() << "scan " << scan << " channel " << l.channel);
            auto calls = device.CallsOn(l.link);
            ASSERT_EQ(calls.size(), 2u);
            int32_t want = 1000 + static_cast<int32_t>(k);
            if (scan == 1 && l.source == optSrcDbl13) want = 4242;
            EXPECT_EQ(calls[scan].d.linkValue, want);
            EXPECT_EQ(calls[scan].value, 0);
        }
    }
    EXPECT_EQ(ctx.options[optScanTimeFactor].location, 77) << "never cleared by a start";
}

TEST(ScanControlOffline, PressChangesNothingAndCallsNothing) {
    ScanRig rig;
    rig.ctx->FOnline = 0;
    rig.ctx->state.StatusPolling = 1;
    for (int32_t scanning : {0, 1}) {
        rig.ctx->state.Scanning = scanning;
        buScanStartClick(*rig.ctx);
    }
    EXPECT_TRUE(rig.device.calls.empty());
    EXPECT_TRUE(rig.window.events.empty());
    EXPECT_EQ(rig.ctx->state.StatusPolling, 1);
    EXPECT_TRUE(rig.clock.sleeps.empty());
}

TEST(ScanControlProbe, PhysicalMemoryProbeTicksTheBoxOnlyWhenTheLow16BitsAreZero) {
    struct Case {
        bool ticked;
        int32_t result;
        const char* edit1;
        bool after;
        const char* info;
    };
    const Case cases[] = {
        {true, 0x00010000, "00010000", true, "rwPhysMem available!"},
        {true, 0, "00000000", true, "rwPhysMem available!"},
        {true, 1, "00000001", false, "rwPhysMem not available!"},
        {true, -1, "FFFFFFFF", false, "rwPhysMem not available!"},
        {false, 0, "...", false, "Zusatz Info"},  // no probe: the text stays as it was
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ticked " << c.ticked << " result " << c.result);
        ScanRig rig;
        rig.window.checked[Control::cbPhysMem] = c.ticked;
        rig.device.SetResult(Fn::SendReqScannerBuffer, c.result);
        buScanStartClick(*rig.ctx);
        EXPECT_EQ(rig.device.Count(Fn::SendReqScannerBuffer), c.ticked ? 1 : 0);
        EXPECT_EQ(rig.window.Text(Control::Edit1), c.edit1);
        EXPECT_EQ(rig.window.checked[Control::cbPhysMem], c.after);
        EXPECT_EQ(rig.window.Text(Control::edZusatzinfo), c.info);
        EXPECT_EQ(rig.window.windowRepaints, c.ticked ? 1 : 0);
        if (c.ticked) {
            EXPECT_EQ(rig.device.CallsOf(Fn::SendReqScannerBuffer)[0].capacity, 0);
        }
    }
}

TEST_F(ScanControlTest, NextPressAfterRejectedConfigurationConfiguresAgainWithTheSameSetting) {
    device.SetDescriptorNthResult(optScanCommit, 1, 1);
    device.QueueIntValues(optScanStatus, {4, 0});  // the single shot then finds it done
    window.checked[Control::cbEndlessScan] = false;
    window.SetText(Control::Edit1, "old");
    buScanStartClick(ctx);
    ASSERT_EQ(rig.Captions(), Strings{"Error"});
    EXPECT_EQ(window.Text(Control::Edit1), "...");
    EXPECT_FALSE(window.IsEnabled(Control::cbEndlessScan));
    EXPECT_FALSE(ctx.log.IsOpen());

    buScanStartClick(ctx);  // a second start, not a stop
    auto inits = device.CallsOn(optScanInit);
    auto limits = device.CallsOn(optScanRecordLimit);
    ASSERT_EQ(inits.size(), 2u);
    ASSERT_EQ(limits.size(), 2u);
    EXPECT_EQ(limits[1].value, 2000);
    EXPECT_EQ(device.Count(Fn::wrOptionInt, optScanRun), 1);
    EXPECT_EQ(rig.Captions(), Strings{"Error"});
}

// A full endless scan: start, two ticks, stop. Records are numbered by the fake in pull order.
TEST_F(ScanControlTest, StopDrainsOnceMoreAfter50MsThenClosesTheLogAndShowsTheSummary) {
    buScanStartClick(ctx);
    device.QueuePulls({144, 0, 216});  // 2 records, nothing, 3 records in the final tick
    TimerTimer(ctx);
    TimerTimer(ctx);
    rig.TraceIntoEvents();
    std::size_t before = window.events.size();
    window.whileBoxOpen = [&](const FakeWindow::Box&) {
        EXPECT_FALSE(ctx.log.IsOpen());
        EXPECT_EQ(rig.LogLines().size(), 5u);
        TimerTimer(ctx);  // the timer keeps firing: nothing is read any more
    };
    buScanStartClick(ctx);

    EXPECT_EQ(
        EventsFrom(before),
        (Strings{"enable:cbEndlessScan:1", "dev:wr:optScanRun=0", "sleep:50",
                 "dev:rdScannerBuffer:144000", "text:laScanned:5", "text:buScanStart:Scan Start",
                 "box:Messergebnis:5 Messungen: DP: A1 = 4.125000 A2 = 4.375000 A3 = "
                 "4.625000\n",
                 "closed:Messergebnis"}));
    EXPECT_EQ(rig.LoggedSequence(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ctx.state.Scanning, 0);
    EXPECT_EQ(ctx.state.StatusPolling, 0);
    EXPECT_FALSE(ctx.state.StopInProgress);
}

TEST_F(ScanControlTest, RejectedStopKeepsTheScanAndTheLogAndTheNextPressStopsAgain) {
    buScanStartClick(ctx);
    device.SetDescriptorNthResult(optScanRun, 2, 5);
    buScanStartClick(ctx);

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Error at Start of Scanner!");
    EXPECT_EQ(window.boxes[0].caption, "Error");
    EXPECT_EQ(ctx.state.Scanning, 1);
    EXPECT_EQ(ctx.state.StatusPolling, 0);
    EXPECT_EQ(window.Text(Control::buScanStart), "Scan Stop");
    EXPECT_TRUE(window.IsEnabled(Control::cbEndlessScan));
    EXPECT_TRUE(ctx.log.IsOpen());
    EXPECT_TRUE(rig.clock.sleeps.empty());
    EXPECT_EQ(device.Count(Fn::rdScannerBuffer), 0) << "no drain tick";

    // Stop rejected: the box may be unticked now, and then the ticks read nothing.
    window.checked[Control::cbEndlessScan] = false;
    TimerTimer(ctx);
    buScanStartClick(ctx);
    EXPECT_EQ(device.Count(Fn::rdScannerBuffer), 0);
    EXPECT_EQ(rig.Captions(), (Strings{"Error", "Messergebnis"}));
    EXPECT_EQ(ctx.state.Scanning, 0);
    EXPECT_FALSE(ctx.log.IsOpen());
}

TEST_F(ScanControlTest, StopAfterRejectedStartDrainsCountsButLogsNothing) {
    device.SetDescriptorNthResult(optScanRun, 1, 6);
    buScanStartClick(ctx);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Error at Initialize the Scanner!");

    device.QueuePulls({216});
    buScanStartClick(ctx);
    auto runs = device.CallsOn(optScanRun);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].value, 0);
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].text, "3 Messungen: DP: A1 = 0.000000 A2 = 0.000000 A3 = 0.000000\n");
    EXPECT_EQ(window.boxes[1].caption, "Messergebnis");
    EXPECT_FALSE(std::filesystem::exists(ctx.logPath)) << "no log was ever opened";
}

TEST_F(ScanControlTest, SummaryShowsTheFull64BitCount) {
    buScanStartClick(ctx);
    ctx.state.FRecordsScanned = 5'000'000'000;
    device.QueuePulls({144});
    buScanStartClick(ctx);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text,
              "5000000002 Messungen: DP: A1 = 1.125000 A2 = 1.375000 A3 = 1.625000\n");
}

TEST_F(ScanControlTest, SummaryUsesAPointUnderAGermanLocale) {
    const char* saved = std::setlocale(LC_ALL, nullptr);
    std::string restore = saved ? saved : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    buScanStartClick(ctx);
    device.QueuePulls({144});
    buScanStartClick(ctx);
    std::setlocale(LC_ALL, restore.c_str());
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "2 Messungen: DP: A1 = 1.125000 A2 = 1.375000 A3 = 1.625000\n");
}

TEST_F(ScanControlTest, LostLogDataIsShownAtOnceAndAddedUnderTheSummary) {
    struct Case {
        const char* name;
        std::string path;
        const char* reason;
        bool lostAtStart;
    };
    const Case cases[] = {
        {"log path is a directory", rig.dir, "Is a directory", true},
        {"full disk", "/dev/full", "No space left on device", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanRig r;
        r.ctx->logPath = c.path;
        r.device.QueueIntValues(optScanRecordSize, {72});
        buScanStartClick(*r.ctx);
        EXPECT_EQ(r.window.Text(Control::edZusatzinfo),
                  c.lostAtStart ? r.ctx->log.LossText() : "Zusatz Info");
        EXPECT_EQ(r.ctx->log.Health().Lost(), c.lostAtStart);
        r.device.QueuePulls({144});
        TimerTimer(*r.ctx);
        std::string loss = r.ctx->log.LossText();
        EXPECT_NE(loss.find(c.reason), std::string::npos) << loss;
        EXPECT_NE(loss.find(" 2 records"), std::string::npos) << loss;
        EXPECT_EQ(r.window.Text(Control::edZusatzinfo), loss);
        buScanStartClick(*r.ctx);
        ASSERT_EQ(r.window.boxes.size(), 1u) << "no box but the summary";
        const std::string& text = r.window.boxes[0].text;
        EXPECT_EQ(text.rfind("2 Messungen: DP: A1 = ", 0), 0u) << text;
        EXPECT_TRUE(text.ends_with("\n" + loss + "\n")) << text;
    }
}

}  // namespace
