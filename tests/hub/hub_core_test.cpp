// The hub's state on a fake clock: the display dark after its idle time, lit again by what
// a client shows, at the brightness it had.
#include <gtest/gtest.h>

#include "hub/hub_core.h"

namespace {

using namespace std::chrono_literals;

struct RecordedDisplay final : hub::Display {
    std::vector<hub::Showing> shown;
    bool Show(hub::Showing showing) override {
        shown.push_back(std::move(showing));
        return false;
    }
    void SetModel(int) override {}
};

struct NoOutput final : hub::ClientOutput {
    void Deliver(const std::string&) override {}
};

TEST(HubCoreTest, IdleDarkensAndWhatAClientShowsLightsAtTheBrightnessBefore) {
    RecordedDisplay display;
    hub::Clock::time_point now{};
    hub::HubCore core(
        display, [&] { return now; }, [](auto) {}, 921600);
    NoOutput output;
    const hub::ClientId client = core.Join(output);
    const auto frame = std::make_shared<const hub::Frame>(protocol::FrameBytes, 0x0F);
    core.UseBlanking(pages::DisplaySettings{std::nullopt, 600s}, [] { return 12 * 3600; });
    core.Execute(client, hub::ScreenCommand{"s", std::nullopt, std::nullopt, std::nullopt, false});
    core.Execute(client, hub::FrameCommand{"s"}, frame);
    now += 599s;
    core.Reschedule();
    now += 1s;
    core.Reschedule();  // the alarm rings
    EXPECT_NE(core.StatusLine().find(" dark=yes"), std::string::npos);
    const auto* color = &protocol::SettingNamed("color");
    core.Execute(client, hub::SettingCommand{"s", color, 2});  // the module's 3
    core.Execute(client, hub::SettingCommand{"s", &protocol::SettingNamed("brightness"), 1});
    now += 601s;
    core.Reschedule();
    core.Execute(client, hub::SettingCommand{"s", color, 3});  // the screen's 1
    const std::vector<std::tuple<std::string, std::optional<int>, std::uint8_t>> expected = {
        {"s", std::nullopt, 0x0F},
        {"-", 0, 0x00},
        {"s", 3, 0x0F},
        {"s", 1, 0x0F},
        {"-", 0, 0x00},
        {"s", 1, 0x0F}};
    ASSERT_EQ(display.shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [screen, brightness, fill] = expected[i];
        EXPECT_EQ(display.shown[i].screen, screen) << i;
        EXPECT_EQ(display.shown[i].brightness, brightness) << i;
        EXPECT_EQ(display.shown[i].frame->front(), fill) << i;
    }
}

// In the dark hours, what a client shows wakes the display; a page's own change does not.
TEST(HubCoreTest, WhatAClientShowsWakesTheDarkHours) {
    RecordedDisplay display;
    hub::HubCore core(display, [] { return hub::Clock::time_point{}; }, [](auto) {}, 921600);
    NoOutput output;
    const hub::ClientId client = core.Join(output);
    core.UseBlanking(pages::DisplaySettings{std::pair(0, 23 * 60), std::nullopt}, [] { return 60; });
    core.Execute(client, hub::ScreenCommand{"s", std::nullopt, std::nullopt, std::nullopt, false});
    core.Execute(client, hub::PatternCommand{"s", 0x0F});
    ASSERT_EQ(display.shown.size(), 2u);
    EXPECT_EQ(display.shown[0].screen, "-");
    EXPECT_EQ(display.shown[1].screen, "s");
}

}  // namespace
