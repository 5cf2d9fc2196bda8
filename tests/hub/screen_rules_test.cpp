#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "hub/blanking.h"
#include "hub/screen_rules.h"

namespace {

using namespace hub;
using namespace std::chrono_literals;
const auto At = [](int seconds) { return Clock::time_point{} + std::chrono::seconds(seconds); };

// One call on the fake clock, written "<second><op><client><name>[=<arg>][!<error>]": "2e1x=3"
// is client 1 making x expire 3 s after second 2. Ops: n new (no options), p priority (arg: rank),
// d duration, e expiry, k keep, f fill, c colour, b brightness, x delete, D drop client,
// a advance. Errors: T name taken, M no such screen, S too many screens, K too many kept.
RuleError Apply(ScreenRules& rules, const std::string& step) {
    int at = 0, arg = 0;
    char op = 0, name[8] = "";
    unsigned client = 1;
    std::sscanf(step.c_str(), "%d%c%u%7[a-z0-9]=%d", &at, &op, &client, name, &arg);
    ScreenCommand command;
    command.name = name;
    command.priority = op == 'p' ? std::optional(Priority(arg)) : std::nullopt;
    command.duration_s = op == 'd' ? std::optional(arg) : std::nullopt;
    command.expire_s = op == 'e' ? std::optional(arg) : std::nullopt;
    command.keep = op == 'k';
    return op == 'f'   ? rules.Fill(client, name, std::make_shared<Frame>(1), At(at))
           : op == 'c' ? rules.SetColor(client, name, arg, At(at))
           : op == 'b' ? rules.SetBrightness(client, name, arg, At(at))
           : op == 'x' ? rules.Delete(client, name, At(at))
           : op == 'D' ? (rules.DropClient(client, At(at)), RuleError::None)
           : op == 'a' ? (rules.Advance(At(at)), RuleError::None)
                       : rules.Configure(client, command, At(at));
}

RuleError WantOf(const std::string& step) {
    const auto bang = step.find('!');
    return bang == std::string::npos ? RuleError::None
                                     : RuleError(1 + std::string_view("TMSK").find(step[bang + 1]));
}

std::string StateOf(const ScreenRules& rules) {
    const Screen* shown = rules.Shown();
    const auto next = rules.NextChange();
    return "shown=" + (shown ? shown->name + " v" + std::to_string(shown->version) : "-") +
           " next=" + (next ? std::to_string((*next - At(0)) / 1s) : "-") +
           " count=" + std::to_string(rules.Count());
}

struct Case {
    const char *title, *steps, *transitions, *state;
};
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.title;
}

const Case kCases[] = {
    {"defaults: info, 5 s turns, no expiry; a screen without content waits for none",
     "0n1a 0f1a 0n1b 0p1i=2 0f1i 7a", "+a -a +i", "shown=i v1 next=10 count=3"},
    {"the highest class with content wins at once, gives back when its screen expires; none left",
     "0p1a=3 0f1a 0p1b=1 1p1x=0 2e1x=3 2f1x 7x1a", "+a -a +x -x +a -a", "shown=- next=- count=1"},
    {"turns in creation order, each its own duration, walked through when late",
     "0n1a 0n1b 0n1c 0d1a=2 0d1b=3 0f1a 0f1b 0f1c 10a", "+a -a +b -b +c -c +a",
     "shown=a v1 next=12 count=3"},
    {"an interrupted screen comes back first, for a whole turn",
     "0n1a 0n1b 0f1a 0f1b 1p1x=0 1e1x=2 1f1x 3a", "+a -a +x -x +a", "shown=a v1 next=8 count=2"},
    {"a turn long over ends when a second screen gets content", "0n1a 0f1a 1n1b 9f1b", "+a -a +b",
     "shown=b v1 next=14 count=2"},
    {"a shorter duration ends the shown turn sooner", "0n1a 0n1b 0f1a 0f1b 1d1a=2 2a", "+a -a +b",
     "shown=b v1 next=7 count=2"},
    {"screens not shown expire unseen; expire=0 clears; an expiry can come before a turn end",
     "0n1a 0n1b 0d1a=9 0f1a 0f1b 0e1c=3 0e1d=4 0e1e=6 1e1c=0 4a", "+a",
     "shown=a v1 next=6 count=4"},
    {"an unkept screen is its owner's, even for keep; a kept one anyone's",
     "0n1a 0f2a!T 0c2a=1!T 0b2a=1!T 0x2a!T 0p2a=0!T 0k2a!T 0f1a 0k1a 0p2a=0 0c2a=3 "
     "0f2z!M 0c2z!M 0b2z!M 0x2z!M",
     "+a", "shown=a v2 next=- count=1"},
    {"a dropped client's unkept screens go, its kept ones stay",
     "0n1a 0n1b 0k1b 0f1a 0f1b 0n2c 1D1 2x2b", "+a -a +b -b", "shown=- next=- count=1"},
    {"the version grows with fills and with changed colour or brightness",
     "0n1a 0f1a 0f1a 0c1a=3 0c1a=3 0b1a=2 0b1a=2", "+a", "shown=a v4 next=- count=1"},
};

class ScreenRulesTest : public testing::TestWithParam<Case> {};

TEST_P(ScreenRulesTest, ShowsWhatTheRulesSay) {
    ScreenRules rules;
    std::string transitions;
    std::istringstream steps(GetParam().steps);
    for (std::string token; steps >> token;) {
        EXPECT_EQ(Apply(rules, token), WantOf(token)) << token;
        for (const Transition& t : rules.TakeTransitions())
            transitions += (t.shown ? " +" : " -") + t.name;
    }
    EXPECT_EQ(transitions, " " + std::string(GetParam().transitions));
    EXPECT_EQ(StateOf(rules), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScreenRulesTest, testing::ValuesIn(kCases));

TEST(ScreenRulesLimitsTest, SeventeenthUnkeptAndSixtyFifthKeptAreRefusedAndChangeNothing) {
    ScreenRules rules;
    for (int i = 0; i < 80; ++i)  // 16 unkept of client 1, then 64 kept
        ASSERT_EQ(Apply(rules, (i < 16 ? "0n1u" : "0k2k") + std::to_string(i)), RuleError::None);
    for (const std::string step : {"0n1u99!S", "0n2u99", "0k2k99!K", "0k1u0!K", "0f2u0!T", "0x2k16",
                                   "0k1u0", "0n1u98", "0x2u99"})
        EXPECT_EQ(Apply(rules, step), WantOf(step)) << step;
    EXPECT_EQ(rules.Count(), 80u);
}

// The display goes dark in its hours unless a client showed something a moment ago, and when
// nothing changed for blank_after; each answer holds until the next check.
TEST(BlankingTest, DarkHoursIdleTimeAndWaking) {
    using std::chrono::seconds;
    const Clock::time_point t0{};
    const auto at = [&](int s) { return t0 + seconds(s); };
    const pages::DisplaySettings night{std::pair(23 * 60, 7 * 60), std::nullopt};
    const pages::DisplaySettings idle{std::nullopt, seconds(600)};
    const int noon = 12 * 3600;
    const int midnight = 0;
    const struct {
        const char* what;
        pages::DisplaySettings settings;
        int woken_at;  // -1: never
        int asked_at;
        int second_of_day;
        bool dark;
        int next_check;  // seconds after asked_at; -1: none
    } rows[] = {
        {"day", night, -1, 0, noon, false, 11 * 3600},
        {"night, across midnight", night, -1, 0, midnight, true, 7 * 3600},
        {"the last minute before the hours", night, -1, 0, 23 * 3600 - 1, false, 1},
        {"woken at night", night, 0, 30, midnight + 30, false, 30},
        {"dark again after the minute", night, 0, 60, midnight + 60, true, 7 * 3600 - 60},
        {"idle not yet", idle, 0, 599, noon, false, 1},
        {"idle", idle, 0, 600, noon, true, -1},
    };
    for (const auto& row : rows) {
        hub::Blanking blanking(row.settings);
        blanking.Changed(t0);
        if (row.woken_at >= 0)
            blanking.Woken(at(row.woken_at));
        EXPECT_EQ(blanking.Dark(at(row.asked_at), row.second_of_day), row.dark) << row.what;
        const auto next = blanking.NextCheck(at(row.asked_at), row.second_of_day);
        EXPECT_EQ(next ? (*next - at(row.asked_at)) / seconds(1) : -1, row.next_check) << row.what;
    }
}

}  // namespace
