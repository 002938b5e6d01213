#include <gtest/gtest.h>

#include "service/service.h"
#include "tests/support/fakedevice.h"
#include "tests/support/fakewindow.h"

namespace {

using Fn = FakeDevice::Fn;

TEST(TimeFactor, ShowsThePositionBeforeWritingIt) {
    FakeDevice device;
    FakeWindow window;
    OptionTable table;
    device.onCall = [&](const FakeDevice::Call& call) {
        EXPECT_EQ(window.title, std::to_string(call.value));
    };
    for (int position : {2, 57, 100}) {
        window.position = position;
        sbTimeFactorChange(device, window, table);
    }
    auto writes = device.CallsOn(optScanTimeFactor);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].value, 2);
    EXPECT_EQ(writes[2].value, 100);
    EXPECT_EQ(window.title, "100");
}

TEST(TimeFactor, PassesWhateverTheLastCallLeftInLocation) {
    FakeDevice device;
    FakeWindow window;
    OptionTable table;
    device.SetLocation(optScanTimeFactor, 0x77);
    device.SetResult(Fn::wrOptionInt, -1);  // a refused write is not reported
    sbTimeFactorChange(device, window, table);
    sbTimeFactorChange(device, window, table);
    auto writes = device.CallsOn(optScanTimeFactor);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].d.location, 0);
    EXPECT_EQ(writes[1].d.location, 0x77);
    EXPECT_TRUE(window.boxes.empty());
}

TEST(ClearUser, ShowsTheResultAsEightUpperCaseHexDigits) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "00000000"}, {-1, "FFFFFFFF"}, {0xabc, "00000ABC"}, {INT32_MIN, "80000000"}};
    for (auto [result, title] : cases) {
        FakeDevice device;
        FakeWindow window;
        device.SetResult(Fn::CleanServiceUsers, result);
        buClearUserClick(device, window);
        EXPECT_EQ(window.title, title);
        EXPECT_EQ(window.events.front(), "text:Edit1:ClearServiceUsers siehe Titelzeile!");
        EXPECT_EQ(device.Count(Fn::CleanServiceUsers), 1);
    }
}

}  // namespace
