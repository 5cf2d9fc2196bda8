#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/hub_route.h"
#include "cli/options.h"
#include "cli/ports.h"
#include "support/scripted_serial.h"

namespace {

using cli::Command;

cli::ParsedArguments Parse(std::vector<std::string> args) {
    return cli::ParseArguments(args);
}

TEST(LcdctlOptionsTest, CommandsAndTheirValues) {
    // The patterns are the panel's fill bytes: stripes, thin lines, solid, clear.
    const std::pair<const char*, int> patterns[] = {
        {"stripes", 15}, {"lines", 254}, {"solid", 255}, {"clear", 0}};
    for (const auto& [name, fill] : patterns) {
        EXPECT_EQ(Parse({"pattern", name}).options.fill, fill) << name;
    }
    const cli::Options color = Parse({"-q", "color", "7"}).options;
    EXPECT_EQ(std::tuple(color.command, color.setting->prefix, color.value, color.quiet),
              std::tuple(Command::Setting, std::string_view("set color to: "), 7, true));
    const cli::Options send = Parse({"send", "-", "--port=ttyUSB1", "-b", "115200", "--fit", "pad",
                                     "--dither", "bayer", "--invert", "--preview", "out.png"})
                                  .options;
    EXPECT_EQ(std::tuple(send.input, send.port, send.baud, send.picture.fit, send.preview),
              std::tuple("-", "ttyUSB1", 115200, cli::Fit::Pad, "out.png"));
    EXPECT_TRUE(send.picture.dither == imaging::DitherMethod::Bayer8 && send.picture.invert);
    const cli::Options stream = Parse({"stream", "--size", "320x240", "--fps", "12.5", "--no-drop",
                                       "--count", "9", "--threshold", "200"})
                                    .options;
    EXPECT_EQ(std::tuple(stream.width, stream.height, stream.fps, stream.no_drop, stream.count,
                         stream.picture.threshold, stream.picture.fit),
              std::tuple(320, 240, 12.5, true, 9L, 200, cli::Fit::Crop));
    // --reconnect takes its seconds only after "=": "send --reconnect a.png" names the file.
    EXPECT_EQ(Parse({"stream"}).options.reconnect_seconds, 0);
    EXPECT_EQ(Parse({"stream", "--reconnect"}).options.reconnect_seconds, 30);
    const cli::Options resend = Parse({"send", "--reconnect", "a.png"}).options;
    EXPECT_EQ(std::tuple(resend.reconnect_seconds, resend.input), std::tuple(30, "a.png"));
    EXPECT_EQ(Parse({"send", "a.png", "--reconnect=5"}).options.reconnect_seconds, 5);
}

TEST(LcdctlOptionsTest, MistakesAreNamed) {
    const std::pair<std::vector<std::string>, const char*> mistakes[] = {
        {{}, "no command"},
        {{"color", "8"}, "color takes one value from 0 to 7"},
        {{"connect", "--bogus"}, "unknown option --bogus"},
        {{"-b", "4800", "connect"}, "--baud takes one of the module's speeds"},
        {{"send", "a.png", "--threshold", "0"}, "--threshold takes auto or"},
        {{"send", "a.png", "--threshold", "90", "--dither", "floyd"}, "do not go together"},
        {{"color", "1", "--invert"}, "picture options go with send and stream"},
        {{"connect", "--port"}, "option --port needs a value"},
        {{"-p", "", "connect"}, "--port takes the name of a port"},
        {{"stream", "--fps", "1e-10"}, "--fps takes a rate from 0.001 to 1000"},
        {{"stream", "--reconnect=0"}, "--reconnect takes a number of seconds from 1"},
        {{"connect", "--reconnect"}, "--reconnect goes with send and stream"},
        {{"set", "a"}, "set takes a value's name and one line of text"},
        {{"set", "a", "two\nlines"}, "set takes a value's name and one line of text"},
        {{"page", "a.toml", "--set", "x=1"}, "--set goes with page --preview"},
        {{"page", "a.toml", "--preview", "a.png", "--set", "=1"}, "--set takes NAME=VALUE"},
        {{"page", "a.toml", "--direct"}, "page are the hub's; --direct has no hub"},
    };
    for (const auto& [args, message] : mistakes) {
        EXPECT_NE(Parse(args).error.find(message), std::string::npos)
            << "'" << Parse(args).error << "' lacks '" << message << "'";
    }
}

TEST(LcdctlPortsTest, OnlyTheOneUsbPortIsTakenUnasked) {
    testing_support::ScriptedPlatform platform;
    platform.candidates = {"ttyS0", "ttyACM0", "ttyUSB0"};
    platform.existing = {"/dev/ttyS0", "/dev/ttyUSB0"};
    EXPECT_EQ(cli::ChoosePort(platform, "").name, "ttyUSB0");
    EXPECT_EQ(cli::ChoosePort(platform, "ttyS0").name, "ttyS0");  // named: used as named
    platform.existing.insert("/dev/ttyACM0");
    EXPECT_NE(cli::ChoosePort(platform, "").problem.find("ttyACM0, ttyUSB0"), std::string::npos);
    platform.existing = {"/dev/ttyS0"};
    EXPECT_NE(cli::ChoosePort(platform, "").problem.find("--port"), std::string::npos);
}

TEST(LcdctlPortsTest, DetailsComeFromTheUsbDeviceAndTheByIdLink) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("ports-" + std::to_string(::getpid()));
    const fs::path usb = root / "sys/devices/usb1/1-2", by_id = root / "dev/serial/by-id/usb-FTDI";
    fs::create_directories(usb / "1-2:1.0/ttyUSB3");
    fs::create_directories(root / "sys/class/tty/ttyUSB3");
    fs::create_directory_symlink(usb / "1-2:1.0/ttyUSB3", root / "sys/class/tty/ttyUSB3/device");
    for (const char* file : {"idVendor", "manufacturer", "product", "serial"})
        std::ofstream(usb / file) << "my " << file << "\n";
    fs::create_directories(by_id.parent_path());
    std::ofstream(root / "dev/ttyUSB3").close();
    fs::create_symlink("../../ttyUSB3", by_id);
    EXPECT_EQ(cli::DescribePort("ttyUSB3", cli::DetailsOf("ttyUSB3", root / "sys", root / "dev")),
              "ttyUSB3\tmy manufacturer\tmy product\tserial my serial\t" + by_id.string());
    EXPECT_EQ(cli::DescribePort("ttyS0", cli::DetailsOf("ttyS0", root / "sys", root / "dev")),
              "ttyS0\t-\t-\t-\t-");
    fs::remove_all(root);
}

// --wait takes the events of its own frame (version 5) or of a newer one that replaced it,
// never an earlier frame's that was still on the line when it began.
TEST(LcdctlHubEventsTest, OnlyOurFramesEventsCount) {
    const std::tuple<const char*, std::optional<std::uint64_t>, bool> rows[] = {
        {"event sent lcdctl version=5", 5, true},
        {"event sent lcdctl version=6", 5, true},
        {"event sent lcdctl version=4", 5, false},
        {"event sent lcdctl2 version=5", 5, false},
        {"event unanswered lcdctl version=5", 5, false},
        {"event sent lcdctl", 5, true},  // a hub that numbers nothing
        {"event sent lcdctl version=1", std::nullopt, true},
    };
    for (const auto& [event, version, ours] : rows) {
        EXPECT_EQ(cli::IsEventOfOurFrame(event, "sent", "lcdctl", version), ours) << event;
    }
}

}  // namespace
