#include "app/start_arguments.h"

#include <gtest/gtest.h>

namespace {

TEST(StartArgumentsTest, APortAPictureAndWarningsForTheRest) {
    const struct {
        std::vector<std::string> words;
        std::string port;
        std::string picture;
        bool help;
        std::vector<std::string> warnings;
    } cases[] = {
        {{}, "", "", false, {}},
        {{"--port", "COM3", "图.png"}, "COM3", "图.png", false, {}},
        {{"--port=/dev/ttyUSB0"}, "/dev/ttyUSB0", "", false, {}},
        {{"--bogus", "a.png", "b.png", "c.png"},
         "",
         "a.png",
         false,
         {"lcdpanel: unknown option --bogus (ignored)",
          "lcdpanel: only one picture is shown; b.png and the rest are ignored"}},
        {{"a.png", "--port"}, "", "a.png", false, {"lcdpanel: --port needs a NAME (ignored)"}},
        {{"--", "--port", "-"},
         "",
         "--port",
         false,
         {"lcdpanel: only one picture is shown; - and the rest are ignored"}},
        {{"--port", "ttyS0", "--help-all"}, "ttyS0", "", true, {}},
        {{"/?"}, "", "", true, {}},
    };
    for (const auto& start : cases) {
        const panel::StartArguments parsed = panel::ParseStartArguments(start.words);
        const std::string trace = start.words.empty() ? "" : start.words.front();
        EXPECT_EQ(parsed.port, start.port) << trace;
        EXPECT_EQ(parsed.picture, start.picture) << trace;
        EXPECT_EQ(parsed.help, start.help) << trace;
        EXPECT_EQ(parsed.warnings, start.warnings) << trace;
    }
}

}  // namespace
