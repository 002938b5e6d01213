#include <gtest/gtest.h>

#include "device/connection.h"
#include "tests/support/fakeclock.h"
#include "tests/support/fakedevice.h"
#include "tests/support/fakewindow.h"

namespace {

using Fn = FakeDevice::Fn;

class ConnectDeviceTest : public testing::Test {
protected:
    int32_t Connect() { return ConnectDevice(device, clock, window, table, settings); }

    FakeDevice device;
    FakeClock clock;
    FakeWindow window;
    OptionTable table;
    ConnectionSettings settings{768, "/opt/bench/SYSTEM.DAT", "/opt/bench/KORVA.ELF"};
};

TEST_F(ConnectDeviceTest, ReadyBoardNeedsNoBootNoWaitAndLeavesTheTitle) {
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(device.Count(Fn::InitMcuSystem3), 1);
    EXPECT_EQ(device.Count(Fn::BootFile), 0);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_TRUE(window.events.empty());
    EXPECT_FALSE(window.terminated);
    auto init = device.CallsOf(Fn::InitMcuSystem3)[0];
    EXPECT_EQ(init.value, 768);
    EXPECT_EQ(init.text, "/opt/bench/SYSTEM.DAT");
    EXPECT_NE(init.pointer, nullptr);
    EXPECT_NE(init.pointer2, nullptr);
}

TEST_F(ConnectDeviceTest, ColdBoardIsBootedOnceWaitedForAndInitialisedWithTheSameArguments) {
    device.SetNthResult(Fn::InitMcuSystem3, 1, -17);
    EXPECT_EQ(Connect(), 1);
    auto inits = device.CallsOf(Fn::InitMcuSystem3);
    ASSERT_EQ(inits.size(), 2u);
    EXPECT_EQ(inits[1].pointer, inits[0].pointer);
    EXPECT_EQ(inits[1].pointer2, inits[0].pointer2);
    EXPECT_EQ(inits[1].text, inits[0].text);
    EXPECT_EQ(inits[1].value, inits[0].value);
    auto boots = device.CallsOf(Fn::BootFile);
    ASSERT_EQ(boots.size(), 1u);
    EXPECT_EQ(boots[0].text, "/opt/bench/KORVA.ELF");
    EXPECT_EQ(boots[0].value, 768);
    EXPECT_EQ(clock.sleeps, std::vector<int>{100});
    EXPECT_EQ(window.events, std::vector<std::string>{"title:Booting ..."});
}

struct FailureCase {
    const char* name;
    int32_t firstInit, boot, secondInit;
    const char* title;
    int bootCalls, initCalls;
};

class ConnectFailure : public ConnectDeviceTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(ConnectFailure, StaysOfflineAndShowsTheFailingCallsNumber) {
    const FailureCase& c = GetParam();
    device.SetNthResult(Fn::InitMcuSystem3, 1, c.firstInit);
    device.SetNthResult(Fn::InitMcuSystem3, 2, c.secondInit);
    device.SetNthResult(Fn::BootFile, 1, c.boot);
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(window.title, c.title);
    EXPECT_EQ(device.Count(Fn::BootFile), c.bootCalls);
    EXPECT_EQ(device.Count(Fn::InitMcuSystem3), c.initCalls);
    EXPECT_EQ(device.Count(Fn::wrOptionInt), 0);  // no resource check offline
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConnectFailure,
    testing::Values(FailureCase{"BootFails", 3, 12, 0, "Error 12 at booting!", 1, 1},
                    FailureCase{"NegativeBootNumberKeepsItsSign", 3, -2, 0,
                                "Error -2 at booting!", 1, 1},
                    FailureCase{"SecondInitShowsItsOwnNumber", 3, 0, 9, "Error 9 at Initialize!",
                                1, 2},
                    FailureCase{"NegativeInitNumberKeepsItsSign", -1, 0, -70000,
                                "Error -70000 at Initialize!", 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectDeviceTest, EmptyPathsArePassedAsEmptyStrings) {
    settings.FSystemFileName.clear();
    settings.FBootFileName.clear();
    device.SetNthResult(Fn::InitMcuSystem3, 1, 1);
    Connect();
    EXPECT_EQ(device.CallsOf(Fn::InitMcuSystem3)[0].text, "");
    EXPECT_EQ(device.CallsOf(Fn::BootFile)[0].text, "");
}

TEST_F(ConnectDeviceTest, ResourceFailureShowsItsBoxThenEndsTheProgramWhileOnline) {
    device.SetDescriptorResult(optSrcDbl22, 0);
    window.whileBoxOpen = [&](const FakeWindow::Box&) { EXPECT_FALSE(window.terminated); };
    EXPECT_EQ(Connect(), 1);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Error at Ressource-Initialize!");
    EXPECT_EQ(window.boxes[0].caption, "Error");
    EXPECT_TRUE(window.terminated);
}

TEST(ReadResourceOptions, WritesInitThenReadsTheSourcesInTableOrder) {
    FakeDevice device;
    OptionTable table;
    for (OptionEntry e : {optMeasureInit, optSrcInt40, optSrcInt50, optSrcDbl13})
        table[e].location = 99;  // stale handles from nowhere must not reach the board
    EXPECT_EQ(ReadResourceOptions(device, table), 0);
    const std::pair<Fn, OptionEntry> expected[] = {
        {Fn::wrOptionInt, optMeasureInit}, {Fn::rdOptionDbl, optSrcDbl20},
        {Fn::rdOptionDbl, optSrcDbl10},    {Fn::rdOptionDbl, optSrcDbl21},
        {Fn::rdOptionDbl, optSrcDbl11},    {Fn::rdOptionDbl, optSrcDbl22},
        {Fn::rdOptionDbl, optSrcDbl12},    {Fn::rdOptionDbl, optSrcDbl23},
        {Fn::rdOptionDbl, optSrcDbl13},    {Fn::rdOptionInt, optSrcInt50},
        {Fn::rdOptionInt, optSrcInt40},
    };
    ASSERT_EQ(device.calls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(OptionName(expected[i].second));
        EXPECT_TRUE(device.calls[i].Is(expected[i].first, expected[i].second));
        EXPECT_EQ(device.calls[i].d.location, 0);
    }
    EXPECT_EQ(device.calls[0].value, 1);
}

TEST(ReadResourceOptions, KeepsTheHandlesTheBoardLeaves) {
    FakeDevice device;
    OptionTable table;
    device.SetLocation(optSrcDbl13, 0x1013);
    device.SetLocation(optSrcInt40, 0x1040);
    EXPECT_EQ(ReadResourceOptions(device, table), 0);
    EXPECT_EQ(table[optSrcDbl13].location, 0x1013);
    EXPECT_EQ(table[optSrcInt40].location, 0x1040);
}

struct CheckCase {
    const char* name;
    OptionEntry failing;
    int32_t expected;
    size_t calls;  // option calls made before the check ends
};

class ResourceCheck : public testing::TestWithParam<CheckCase> {};

TEST_P(ResourceCheck, StopsAtTheFirstTestedFailure) {
    const CheckCase& c = GetParam();
    FakeDevice device;
    OptionTable table;
    device.SetDescriptorResult(c.failing, 3);
    device.SetLocation(optSrcDbl20, 7);
    EXPECT_EQ(ReadResourceOptions(device, table), c.expected);
    EXPECT_EQ(device.calls.size(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ResourceCheck,
    testing::Values(CheckCase{"MeasureInitReadsNoSource", optMeasureInit, -1, 1},
                    CheckCase{"FirstDoubleSource", optSrcDbl20, -1, 2},
                    CheckCase{"LastDoubleSource", optSrcDbl13, -1, 9},
                    CheckCase{"IntSource50", optSrcInt50, -1, 10},
                    CheckCase{"IntSource40IsIgnored", optSrcInt40, 0, 11}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadResourceOptions, FailingMeasureInitLeavesEverySourceAtZero) {
    FakeDevice device;
    OptionTable table;
    table[optSrcDbl20].location = 55;
    device.SetDescriptorResult(optMeasureInit, 0);
    EXPECT_EQ(ReadResourceOptions(device, table), -1);
    EXPECT_EQ(table[optSrcDbl20].location, 0);
}

}  // namespace
