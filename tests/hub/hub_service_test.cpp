// The hub as its clients see it: the real socket, the real link, a simulated module.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "hub/hub_service.h"
#include "protocol/commands.h"
#include "sim/module_sim.h"
#include "support/hub_client.h"
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using testing_support::HubClient;
using namespace std::chrono_literals;

std::string FrameOf(std::uint8_t fill) {
    return std::string(protocol::FrameBytes, char(fill));
}

class HubServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("hub_test_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        sim::ModuleOptions module;
        module.pace = false;
        module.link_path = (m_dir / "port").string();
        m_module = std::make_unique<sim::PtyModule>(module);
        m_module->Start();
        m_options.port = module.link_path;
        m_options.socket = (m_dir / "hub.sock").string();
        m_options.timings.retry = 50ms;
        m_options.limits.payload_silence = 100ms;
        m_options.limits.clients = 3;
        m_log = std::tmpfile();
    }
    void TearDown() override {
        StopHub();
        std::fclose(m_log);
        m_module.reset();
        fs::remove_all(m_dir);
    }
    void StartHub() {
        m_hub = std::make_unique<hub::HubService>(m_options, *m_platform, m_log);
        m_hub->Listen();
        m_thread = std::thread([this] { m_hub->Run(); });
    }
    void StopHub() {
        if (m_hub) {
            m_hub->Stop();
            m_thread.join();
            m_hub.reset();
        }
    }
    std::unique_ptr<HubClient> Client() {
        auto client = std::make_unique<HubClient>(m_options.socket);
        EXPECT_EQ(client->Line(), "lcdhub 1 480x480");
        return client;
    }
    // Waits until the module has received a frame of `fill` last.
    bool ModuleShows(std::uint8_t fill, std::chrono::milliseconds timeout = 5s) {
        return testing_support::WaitUntil(
            [&] {
                return m_module->LastFrame() ==
                       std::vector<std::uint8_t>(protocol::FrameBytes, fill);
            },
            timeout);
    }

    // Waits until the hub's log holds `text`.
    bool LogHas(const std::string& text, std::chrono::milliseconds timeout = 5s) {
        return testing_support::WaitUntil(
            [&] {
                std::string log(1 << 16, '\0');
                log.resize(::pread(::fileno(m_log), log.data(), log.size(), 0));
                return log.find(text) != std::string::npos;
            },
            timeout);
    }

    fs::path m_dir;
    std::unique_ptr<sim::PtyModule> m_module;
    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    hub::HubOptions m_options;
    std::FILE* m_log = nullptr;
    std::unique_ptr<hub::HubService> m_hub;
    std::thread m_thread;
};

TEST_F(HubServiceTest, AHigherPriorityTakesOverAndItsScreenGoesWithItsClient) {
    StartHub();
    auto info = Client();
    ASSERT_TRUE(info->Send("screen clock\nframe clock\n" + FrameOf(0x0F) + "watch on\n"));
    EXPECT_EQ(info->Line(), "ok");
    EXPECT_EQ(info->Line(), "ok version=1");
    EXPECT_EQ(info->Line(), "ok");
    EXPECT_TRUE(ModuleShows(0x0F));
    {
        auto alert = Client();
        ASSERT_TRUE(alert->Send("screen build priority=alert\npattern build solid\n"));
        EXPECT_EQ(alert->Line(), "ok");
        EXPECT_EQ(alert->Line(), "ok version=1");
        EXPECT_TRUE(ModuleShows(0xFF));
        ASSERT_TRUE(alert->Send("status\n"));
        EXPECT_EQ(alert->Line().rfind(
                      "ok link=up port=" + m_options.port + " speed=921600 shown=build sent=", 0),
                  0u);
    }  // the alert's client leaves: its unkept screen goes, the clock comes back
    EXPECT_TRUE(ModuleShows(0x0F));
    std::string events;
    for (std::string line; !(line = info->Line(true, 1s)).empty();) events += line + ";";
    EXPECT_NE(events.find("event hidden clock;event shown build;"), std::string::npos) << events;
    EXPECT_NE(events.find("event hidden build;event shown clock;"), std::string::npos) << events;
}

// An adapter pulled out while idle, and a module that resets behind one that stays: the
// link comes up again, and the shown screen is sent again with its colour.
TEST_F(HubServiceTest, ALinkLostToAnUnplugOrAResetComesBackWithTheShownScreen) {
    StartHub();
    auto client = Client();
    ASSERT_TRUE(client->Send("screen s\ncolor s 3\nframe s\n" + FrameOf(0x0F)));
    for (const char* reply : {"ok", "ok version=1", "ok version=2"}) {
        EXPECT_EQ(client->Line(), reply);
    }
    ASSERT_TRUE(ModuleShows(0x0F));
    m_module->Unplug();
    std::this_thread::sleep_for(100ms);
    m_module->Replug();
    EXPECT_TRUE(ModuleShows(0x0F));
    m_module->PowerCycle();  // answers nothing at the old speed: two frames go unanswered
    ASSERT_TRUE(client->Send("watch on\n"));
    EXPECT_EQ(client->Line(), "ok");
    for (const std::uint8_t fill : {0x33, 0x44}) {  // each frame's event names its version
        ASSERT_TRUE(client->Send("frame s\n" + FrameOf(fill)));
        const std::string reply = client->Line();
        ASSERT_EQ(reply.rfind("ok version=", 0), 0u) << reply;
        const std::string event = "event unanswered s " + reply.substr(3);
        std::string line;
        while (!(line = client->Line(true)).empty() && line != event) {
        }
        EXPECT_EQ(line, event);
    }
    EXPECT_TRUE(ModuleShows(0x44));
    const auto lines = m_module->ReceivedLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "set color to: 3"), 3);
}

// Each bad input gets one error; a lost framing closes the connection too.
TEST_F(HubServiceTest, HostileInputGetsAnErrorAndLostFramingACloseOnly) {
    struct Row {
        std::string sent;
        std::string reply;
        bool closes;
    };
    const Row rows[] = {
        {"bogus\n", "error unknown command", false},
        {"frame no!name\n" + FrameOf(1), "error bad name", false},
        {"frame nobody\n" + FrameOf(1), "error no such screen", false},
        {"screen p\npicture p 9\nnot a jpg", "ok", false},  // then the decode's error
        {std::string(4097, 'x'), "error line too long", true},
        {"picture p 12x\n", "error bad size", true},
        {"screen q\nframe q\nshort", "ok", true},  // silent inside the payload
    };
    StartHub();
    for (const Row& row : rows) {
        auto client = Client();
        ASSERT_TRUE(client->Send(row.sent));
        EXPECT_EQ(client->Line(), row.reply) << row.sent.substr(0, 20);
        if (row.sent.rfind("screen p", 0) == 0) {
            EXPECT_EQ(client->Line().substr(0, 6), "error ");
        }
        EXPECT_EQ(client->Closed(), row.closes) << row.sent.substr(0, 20);
    }
    auto a = Client(), b = Client(), c = Client();
    HubClient fourth(m_options.socket);
    EXPECT_EQ(fourth.Line(), "error busy");
    EXPECT_TRUE(fourth.Closed());
}

// lcdctl's exit status, run with `args` and no hub of the user's to find; -1 when it hangs.
int Lcdctl(std::vector<std::string> args) {
    args.insert(args.begin(), LCDCTL_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    char* env[] = {nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, LCDCTL_PATH, nullptr, nullptr, argv.data(), env) != 0)
        return -2;
    int status = 0;
    for (int waited = 0; waited < 2000; ++waited) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// Payloads held at once are bounded for all clients together: one that would go over is
// read, dropped and refused, and the room comes back once the first is taken.
TEST_F(HubServiceTest, PayloadsHeldAtOnceAreBoundedForAllClients) {
    m_options.limits.held_payload_bytes = 40000;
    m_options.limits.payload_silence = 10s;
    StartHub();
    auto first = Client();
    auto second = Client();
    const std::string frame = FrameOf(0x0F);
    ASSERT_TRUE(first->Send("screen a\nframe a\n" + frame.substr(0, 10000)));
    EXPECT_EQ(first->Line(), "ok");
    ASSERT_TRUE(second->Send("screen b\nframe b\n" + frame));
    EXPECT_EQ(second->Line(), "ok");
    EXPECT_EQ(second->Line(), "error busy");
    ASSERT_TRUE(first->Send(frame.substr(10000)));
    EXPECT_EQ(first->Line(), "ok version=1");
    ASSERT_TRUE(second->Send("frame b\n" + frame));
    EXPECT_EQ(second->Line(), "ok version=1");
}

// lcdctl through the hub: its exit status says what became of the frame.
TEST_F(HubServiceTest, LcdctlThroughTheHubTellsWhatBecameOfItsFrame) {
    StartHub();
    const std::string hub = "--hub=" + m_options.socket;
    EXPECT_EQ(Lcdctl({hub, "-q", "send", DEMO_PICTURE, "--wait"}), 0);
    EXPECT_EQ(m_module->FramesReceived(), 1);
    EXPECT_EQ(Lcdctl({hub, "status"}), 0);
    const auto page = [&](const std::string& name, const std::string& picture) {
        std::ofstream(m_dir / (name + ".toml"))
            << "[[page]]\nname = \"" << name << "\"\n[[page.element]]\ntype = \"picture\"\n"
            << "path = \"" << picture << "\"\n";
        return Lcdctl({hub, "-q", "page", (m_dir / (name + ".toml")).string()});
    };
    EXPECT_EQ(page("pic", DEMO_PICTURE), 0);  // its picture carried inside
    EXPECT_EQ(page("gone", "gone.png"), 3);
    EXPECT_EQ(Lcdctl({hub, "-q", "--screen", "no!name", "pattern", "solid"}), 3);
    EXPECT_EQ(Lcdctl({"--hub=" + (m_dir / "none").string(), "status"}), 1);
    m_module->PowerCycle();  // the frame goes unanswered
    EXPECT_EQ(Lcdctl({hub, "-q", "pattern", "solid", "--wait=5"}), 4);
    m_module->Unplug();
    EXPECT_EQ(Lcdctl({hub, "-q", "pattern", "clear", "--wait=1"}), 1);
    EXPECT_EQ(Lcdctl({hub, "release"}), 0);
    EXPECT_EQ(Lcdctl({hub, "release"}), 3);  // no such screen now
}

// Pages: the hub's own file, drawn with a value a client sets, reloaded when it changes (a
// mistake keeps the pages shown); a client's pages, refused when they would run anything.
TEST_F(HubServiceTest, PagesAreDrawnFedReloadedAndSentByClients) {
    const auto write = [&](const std::string& text) {
        std::ofstream(m_dir / "own.toml.new") << text;
        fs::rename(m_dir / "own.toml.new", m_dir / "own.toml");  // as an editor saves
    };
    const std::string bar =
        "[[page]]\nname = \"own\"\n[[page.element]]\ntype = \"bar\"\n"
        "value = \"level\"\noutline = false\n";
    write(bar);
    m_options.pages = {(m_dir / "own.toml").string()};
    StartHub();
    EXPECT_TRUE(ModuleShows(0xFF));  // an unknown value: an empty bar on white
    auto client = Client();
    ASSERT_TRUE(client->Send("set level 100\n"));
    EXPECT_EQ(client->Line(), "ok");
    EXPECT_TRUE(ModuleShows(0x00));  // a full bar
    write(bar + "size = 3\n");
    EXPECT_TRUE(LogHas("own.toml:7:1: unknown key size in an element; the pages shown stay"));
    write("[[page]]\nname = \"other\"\n");
    EXPECT_TRUE(ModuleShows(0xFF));
    ASSERT_TRUE(client->Send("status\n"));
    EXPECT_NE(client->Line().find(" shown=other "), std::string::npos);
    const std::string exec = "[values.x]\nexec = [\"true\"]\n[[page]]\nname = \"c\"\n";
    const std::string dark =
        "[[page]]\nname = \"c\"\npriority = \"alert\"\nbackground = \"black\"\n";
    ASSERT_TRUE(client->Send("page " + std::to_string(exec.size()) + "\n" + exec + "page " +
                             std::to_string(dark.size()) + "\n" + dark));
    EXPECT_EQ(client->Line(),
              "error 2:8: exec is refused in pages sent to the hub: it only reads what is sent");
    EXPECT_EQ(client->Line(), "ok pages=c");
    EXPECT_TRUE(ModuleShows(0x00));
}

// A socket is made for the hub alone; nothing else at its path is touched.
TEST_F(HubServiceTest, TheSocketIsPrivateAndNeverTakenFromAnother) {
    StartHub();
    struct stat status {};
    ASSERT_EQ(::stat(m_options.socket.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    hub::HubService second(m_options, *m_platform, m_log);
    EXPECT_THROW(second.Listen(), std::runtime_error);  // one answers there
    StopHub();
    EXPECT_FALSE(fs::exists(m_options.socket));
    std::ofstream(m_options.socket) << "mine";
    hub::HubService third(m_options, *m_platform, m_log);
    EXPECT_THROW(third.Listen(), std::runtime_error);
    EXPECT_TRUE(fs::is_regular_file(m_options.socket));
}

// Accepts that fail as a process out of descriptors does, three times; then one that waits.
class FailingListener final : public hub::ClientListener {
public:
    explicit FailingListener(asio::io_context& io) : m_io(io) {}
    void Accept(Arrived arrived) override {
        if (++calls > 3) {
            m_waiting = std::move(arrived);
            return;
        }
        asio::post(m_io, [arrived = std::move(arrived)] {
            arrived(std::make_error_code(std::errc::too_many_files_open), nullptr);
        });
    }
    void Close() override { m_waiting = nullptr; }
    int calls = 0;

private:
    asio::io_context& m_io;
    Arrived m_waiting;
};

struct NoDisplay final : hub::Display {
    bool Show(hub::Showing) override { return false; }
    void SetModel(int) override {}
};

TEST(HubServerTest, AFailingAcceptIsToldOnceAndTriedAgainLaterNotInASpin) {
    asio::io_context io;
    FailingListener listener(io);
    NoDisplay display;
    std::vector<std::string> log;
    hub::ServerLimits limits;
    limits.accept_retry = 20ms;
    hub::HubServer server(
        io, listener, display, 921600, [&log](const std::string& line) { log.push_back(line); },
        limits);
    const auto started = std::chrono::steady_clock::now();
    server.Start();
    for (int i = 0; i < 500 && listener.calls < 4; ++i) {
        io.run_for(10ms);
    }
    EXPECT_EQ(listener.calls, 4);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 3 * limits.accept_retry);
    EXPECT_EQ(log, std::vector<std::string>{"cannot take a client: Too many open files"});
    server.Close();
}

}  // namespace
