// lcdhub against the simulated module, beside lcdctl on the port itself: the time a frame
// takes from a client's socket to the line, the stream's rate, and the service's processor
// time and memory while it holds many clients.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "hub/hub_service.h"
#include "protocol/commands.h"
#include "sim/module_sim.h"
#include "support/hub_client.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Entry = sim::TranscriptEntry;
using testing_support::HubClient;
using namespace std::chrono_literals;

constexpr double kFrameWireBits = 10.0 * (20 + 28800);  // header and payload
constexpr int kTurnaroundFrames = 101;                  // the first one shows the screen
constexpr int kStreamFrames = 101;                      // 100 whole frames between replies

double Ms(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}
double Seconds(Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// A private folder for the module's link and the hub's socket, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/hub_bench.XXXXXX";
        if (::mkdtemp(name) != nullptr)
            m_path = name;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!m_path.empty())
            fs::remove_all(m_path, ignored);
    }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

sim::ModuleOptions Module(int baud, bool pace, const std::string& link_path = {}) {
    sim::ModuleOptions options;
    options.start_baud = baud;
    options.pace = pace;
    options.link_path = link_path;
    return options;
}

// lcdhub in this process, as its tests run it.
class InProcessHub {
public:
    InProcessHub(const std::string& port, int baud, const std::string& socket) {
        hub::HubOptions options;
        options.port = port;
        options.baud = baud;
        options.socket = socket;
        m_log = std::tmpfile();
        m_service = std::make_unique<hub::HubService>(options, *m_platform, m_log);
        m_service->Listen();
        m_thread = std::thread([this] { m_service->Run(); });
    }
    ~InProcessHub() {
        m_service->Stop();
        m_thread.join();
        m_service.reset();
        std::fclose(m_log);
    }

private:
    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    std::FILE* m_log = nullptr;
    std::unique_ptr<hub::HubService> m_service;
    std::thread m_thread;
};

// The built lcdhub as a process of its own, so that /proc tells its processor time and
// memory apart from the module's and the clients'. Its log goes to a file, which cannot
// fill up and stop it the way an unread pipe would.
class HubProcess {
public:
    HubProcess(const std::string& port, const std::string& socket, const std::string& log,
               const std::vector<std::string>& extra = {}) {
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0600);
        ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<std::string> args = {LCDHUB_PATH, "--port", port, "--socket", socket};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, LCDHUB_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~HubProcess() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        if (!Reaped(5s)) {
            ::kill(m_pid, SIGKILL);
            Reaped(5s);
        }
    }
    pid_t Pid() const { return m_pid; }

private:
    bool Reaped(std::chrono::seconds timeout) {
        const auto deadline = Clock::now() + timeout;
        int status = 0;
        while (Clock::now() < deadline) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    pid_t m_pid = -1;
};

// The process's processor time from /proc/PID/stat (utime + stime), in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t name_end = text.rfind(')');
    if (name_end == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(name_end + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::stol(field);
        if (index == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

// The processor time of the process's children it has waited for (cutime + cstime), in ticks.
long ChildrenTicks(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t name_end = text.rfind(')');
    std::istringstream fields(name_end == std::string::npos ? "" : text.substr(name_end + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; index <= 17 && fields >> field; ++index) {
        if (index == 16 || index == 17)
            ticks += std::stol(field);
    }
    return ticks;
}

// The same in nanoseconds on the processor, summed over the process's threads: the ticks
// alone count 10 ms steps, the whole of the goal over a 10 s window.
double RunNanoseconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream file(task.path() / "schedstat");
        double ns = 0;
        if (file >> ns)
            total += ns;
    }
    return total;
}

// A figure in kB from /proc/PID/status ("VmRSS:", "VmHWM:"); -1 when missing.
double StatusKb(pid_t pid, const std::string& key) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size()));
    }
    return -1;
}

// A client past the greeting; null when none came before the deadline.
std::unique_ptr<HubClient> Connect(const std::string& socket,
                                   std::chrono::milliseconds timeout = 5s) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        auto client = std::make_unique<HubClient>(socket);
        if (client->Connected() && client->Line() == "lcdhub 1 480x480")
            return client;
        std::this_thread::sleep_for(20ms);
    }
    return nullptr;
}

bool LinkUp(HubClient& client, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (!client.Send("status\n"))
            return false;
        if (client.Line().rfind("ok link=up", 0) == 0)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// `ok`, with or without fields.
bool IsOk(const std::string& reply) {
    return reply.substr(0, reply.find(' ')) == "ok";
}

// The event of a frame of the bench's screen reaching the module.
bool IsSent(const std::string& event) {
    return event.rfind("event sent bench ", 0) == 0;
}

// Sends the commands and takes one `ok` for each.
bool Commands(HubClient& client, const std::string& bytes, int replies) {
    if (!client.Send(bytes))
        return false;
    for (int i = 0; i < replies; ++i)
        if (!IsOk(client.Line()))
            return false;
    return true;
}

// A frame that differs from every other one the benchmark sends.
std::string NumberedFrame(std::uint32_t number) {
    std::string frame(protocol::FrameBytes, static_cast<char>(number * 37));
    std::memcpy(frame.data(), &number, sizeof number);
    return frame;
}

// A gradient, as lcdctl_bench streams.
std::string GrayFrame(int shift) {
    std::string gray(480 * 480, '\0');
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 480; ++x) gray[y * 480 + x] = static_cast<char>((x + y + shift) / 4);
    return gray;
}

std::vector<const Entry*> Entries(const std::vector<Entry>& transcript, Entry::Kind kind,
                                  Entry::From from, const std::string& prefix = {}) {
    std::vector<const Entry*> found;
    for (const Entry& e : transcript)
        if (e.kind == kind && e.from == from && e.bytes.rfind(prefix, 0) == 0)
            found.push_back(&e);
    return found;
}

bool WaitForFrames(const sim::PtyModule& module, int count) {
    const auto deadline = Clock::now() + 10s;
    while (module.FramesReceived() < count && Clock::now() < deadline)
        std::this_thread::sleep_for(200us);
    return module.FramesReceived() >= count;
}

// ---------------------------------------------------------------------------------------
// 1. From a frame given to the first payload byte at the module.

// Per frame: from `given[i]` to the module's first payload byte of frame i, less the time
// the module's model holds the line in between. Unpaced that is nothing; paced, the
// header is taken at once and only the reply to it ("ok, send 28800 bytes") spends its
// wire time. The first frame is left out: it also brings the screen up.
struct Turnaround {
    double median_ms = 0, worst_ms = 0;
};
Turnaround Summarise(const sim::PtyModule& module, const std::vector<Clock::time_point>& given,
                     bool pace) {
    const auto transcript = module.Transcript();
    const auto payloads = Entries(transcript, Entry::Kind::Payload, Entry::From::Host);
    const auto header_replies =
        Entries(transcript, Entry::Kind::Reply, Entry::From::Module, "ok, send ");
    std::vector<double> per_frame;
    for (std::size_t f = 1; f < given.size() && f < payloads.size(); ++f) {
        const Entry* reply = header_replies[f];
        const double wire_ms = pace ? 1e3 * 10.0 * reply->bytes.size() / reply->baud : 0;
        per_frame.push_back(Ms(payloads[f]->timestamp - given[f]) - wire_ms);
    }
    if (per_frame.empty())
        return {};
    std::sort(per_frame.begin(), per_frame.end());
    return {per_frame[per_frame.size() / 2], per_frame.back()};
}

// Through the hub: each frame goes once the one before it has been answered by the module
// (`event sent`), and is timed from the moment its bytes were all written to the socket.
bool HubTurnarounds(const std::string& socket, std::vector<Clock::time_point>& given) {
    auto client = Connect(socket);
    if (!client || !LinkUp(*client) || !Commands(*client, "screen bench\nwatch on\n", 2))
        return false;
    for (int i = 0; i < kTurnaroundFrames; ++i) {
        if (!client->Send("frame bench\n" + NumberedFrame(static_cast<std::uint32_t>(i))))
            return false;
        given.push_back(Clock::now());
        std::string line;
        while (!IsSent(line = client->Line(true)))
            if (line.empty())
                return false;
    }
    return true;
}

// lcdctl on the port: each raw gray frame goes once the module holds the one before.
bool DirectTurnarounds(const sim::PtyModule& module, std::vector<Clock::time_point>& given) {
    bench_support::ChildProcess lcdctl({LCDCTL_PATH, "-q", "--direct", "-p", module.SlavePath(),
                                        "-b", "921600", "stream", "--no-drop", "--threshold",
                                        "128"});
    for (int i = 0; i < kTurnaroundFrames; ++i) {
        if (!lcdctl.Write(GrayFrame(i)))
            return false;
        given.push_back(Clock::now());
        if (!WaitForFrames(module, i + 1))
            return false;
    }
    lcdctl.CloseInput();
    return lcdctl.Wait(10s) == 0;
}

void BM_FrameTurnaround(benchmark::State& state) {
    const bool pace = state.range(0) != 0;
    for (auto _ : state) {
        ScratchDir dir;
        Turnaround through_hub, direct;
        {
            sim::PtyModule module(Module(921600, pace, dir / "port"));
            module.Start();
            InProcessHub hub(dir / "port", 921600, dir / "hub.sock");
            std::vector<Clock::time_point> given;
            if (!HubTurnarounds(dir / "hub.sock", given)) {
                state.SkipWithError("the hub did not pass the frames on");
                return;
            }
            through_hub = Summarise(module, given, pace);
        }
        {
            sim::PtyModule module(Module(921600, pace));
            module.Start();
            std::vector<Clock::time_point> given;
            if (!DirectTurnarounds(module, given)) {
                state.SkipWithError("lcdctl did not pass the frames on");
                return;
            }
            direct = Summarise(module, given, pace);
        }
        state.counters["hub_median_ms"] = through_hub.median_ms;
        state.counters["hub_worst_ms"] = through_hub.worst_ms;
        state.counters["lcdctl_median_ms"] = direct.median_ms;
        state.counters["lcdctl_worst_ms"] = direct.worst_ms;
    }
}
// At 921600 bit/s, the hub's speed unless told. lcdctl's figure includes reading 230,400
// gray bytes from its input and thresholding them; the hub's client gives the frame ready.
BENCHMARK(BM_FrameTurnaround)
    ->ArgName("paced")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// ---------------------------------------------------------------------------------------
// 2. One client streaming through the hub, beside lcdctl streaming on the port itself.

// Frames a second the module finished, from the first final reply to the last.
double ModuleFps(const sim::PtyModule& module) {
    const auto transcript = module.Transcript();
    const auto finals = Entries(transcript, Entry::Kind::Reply, Entry::From::Module, "ok, frame ");
    if (finals.size() < 2)
        return 0;
    return (finals.size() - 1) / Seconds(finals.back()->timestamp - finals.front()->timestamp);
}

double DirectStreamFps(int baud) {
    sim::PtyModule module(Module(baud, true));
    module.Start();
    bench_support::ChildProcess lcdctl({LCDCTL_PATH, "-q", "--direct", "-p", module.SlavePath(),
                                        "-b", std::to_string(baud), "stream", "--no-drop",
                                        "--threshold", "128"});
    for (int i = 0; i < kStreamFrames; ++i)
        if (!lcdctl.Write(GrayFrame(i)))
            return 0;
    lcdctl.CloseInput();
    if (lcdctl.Wait(120s) != 0 || module.FramesReceived() != kStreamFrames)
        return 0;
    return ModuleFps(module);
}

// `after_sent`: each frame waits for the module's answer to the one before; otherwise the
// client gives the next as soon as the hub says `ok`, and the hub keeps only the newest
// frame waiting for the line. Returns the frames the client gave.
int StreamThroughHub(const std::string& socket, const sim::PtyModule& module, bool after_sent) {
    auto client = Connect(socket);
    if (!client || !LinkUp(*client) ||
        !Commands(*client, after_sent ? "screen bench\nwatch on\n" : "screen bench\n",
                  after_sent ? 2 : 1))
        return 0;
    const auto deadline = Clock::now() + 60s;
    int given = 0;
    while (module.FramesReceived() < kStreamFrames && Clock::now() < deadline) {
        if (!client->Send("frame bench\n" + NumberedFrame(static_cast<std::uint32_t>(given))))
            return 0;
        ++given;
        if (!after_sent) {
            if (!IsOk(client->Line()))
                return 0;
            continue;
        }
        for (std::string line; !IsSent(line = client->Line(true));)
            if (line.empty())
                return 0;
    }
    return given;
}

void BM_StreamThroughHub(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    const bool after_sent = state.range(1) != 0;
    for (auto _ : state) {
        const double direct_fps = DirectStreamFps(baud);
        ScratchDir dir;
        double hub_fps = 0;
        int given = 0;
        {
            sim::PtyModule module(Module(baud, true, dir / "port"));
            module.Start();
            {
                InProcessHub hub(dir / "port", baud, dir / "hub.sock");
                given = StreamThroughHub(dir / "hub.sock", module, after_sent);
            }  // the frame on the line finishes
            hub_fps = given > 0 ? ModuleFps(module) : 0;
        }
        if (direct_fps <= 0 || hub_fps <= 0) {
            state.SkipWithError(direct_fps <= 0 ? "lcdctl's stream did not arrive whole"
                                                : "the hub did not pass the stream on");
            return;
        }
        state.counters["hub_fps"] = hub_fps;
        state.counters["lcdctl_fps"] = direct_fps;
        state.counters["hub_pct_of_lcdctl"] = 100 * hub_fps / direct_fps;
        state.counters["hub_line_share_pct"] = 100 * hub_fps / (baud / kFrameWireBits);
        state.counters["frames_given"] = given;
    }
}
// Module paced at 5000000 bit/s; the hub started at that speed.
BENCHMARK(BM_StreamThroughHub)
    ->ArgNames({"baud", "after_sent"})
    ->Args({5000000, 0})
    ->Args({5000000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// ---------------------------------------------------------------------------------------
// 3 and 4. The lcdhub program itself, with an unpaced module at 921600 bit/s.

// lcdhub started on a module, its link up; `probe` is a client already past the greeting.
struct RunningHub {
    ScratchDir dir;
    std::unique_ptr<sim::PtyModule> module;
    std::unique_ptr<HubProcess> process;
    std::unique_ptr<HubClient> probe;

    bool Start(const std::vector<std::string>& extra = {}) {
        module = std::make_unique<sim::PtyModule>(Module(921600, false, dir / "port"));
        module->Start();
        process =
            std::make_unique<HubProcess>(dir / "port", dir / "hub.sock", dir / "hub.log", extra);
        probe = Connect(dir / "hub.sock");
        return process->Pid() > 0 && probe && LinkUp(*probe);
    }
};

// Processor time over a window with eight clients connected, watching and otherwise idle.
void BM_HubIdleCpu(benchmark::State& state) {
    const auto window = std::chrono::seconds(state.range(0));
    for (auto _ : state) {
        RunningHub hub;
        if (!hub.Start() || !Commands(*hub.probe, "watch on\n", 1)) {
            state.SkipWithError("lcdhub did not come up");
            return;
        }
        std::vector<std::unique_ptr<HubClient>> clients;
        for (int i = 1; i < 8; ++i) {
            clients.push_back(Connect(hub.dir / "hub.sock"));
            if (!clients.back() || !Commands(*clients.back(), "watch on\n", 1)) {
                state.SkipWithError("a client was not let in");
                return;
            }
        }
        std::this_thread::sleep_for(1s);  // the start's and the connections' work is done
        const pid_t pid = hub.process->Pid();
        const long ticks_before = CpuTicks(pid);
        const double ns_before = RunNanoseconds(pid);
        const auto start = Clock::now();
        std::this_thread::sleep_for(window);
        const long ticks = CpuTicks(pid) - ticks_before;
        const double ns = RunNanoseconds(pid) - ns_before;
        const double wall = Seconds(Clock::now() - start);
        state.counters["cpu_pct"] = 100 * ns / 1e9 / wall;
        state.counters["cpu_pct_from_ticks"] =
            100.0 * ticks / static_cast<double>(::sysconf(_SC_CLK_TCK)) / wall;
        // Since the start, to show that the threads' times were read at all.
        state.counters["cpu_ms_in_all"] = RunNanoseconds(pid) / 1e6;
    }
}
// 10 s by default; the 60 s window runs only when a filter names it:
//   --benchmark_filter=BM_HubIdleCpu/window_s:60
BENCHMARK(BM_HubIdleCpu)
    ->ArgName("window_s")
    ->Arg(10)
    ->Arg(60)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The hub showing the system page as shipped (its values read every 2 s, its clock every
// second), beside a shell loop that draws a like page with ImageMagick every 2 s: processor
// time over the window, the loop's children counted as they are reaped.
void BM_HubPagesCpu(benchmark::State& state) {
    const auto window = std::chrono::seconds(state.range(0));
    for (auto _ : state) {
        RunningHub hub;
        if (!hub.Start({"--pages", PAGES_DIR "/system.toml"})) {
            state.SkipWithError("lcdhub did not come up");
            return;
        }
        std::this_thread::sleep_for(3s);  // the first pages drawn and sent
        const pid_t pid = hub.process->Pid();
        const double ns_before = RunNanoseconds(pid);
        const std::string png = hub.dir / "magick.png";
        const std::string loop =
            "while :; do convert -size 480x480 xc:black -fill white -font " MAGICK_FONT
            " -pointsize 64 -annotate +150+70 \"$(date +%H:%M)\" -pointsize 28 -annotate +16+150 "
            "\"load $(cut -d' ' -f1-3 /proc/loadavg)\" -annotate +16+250 \"$(grep MemAvailable "
            "/proc/meminfo)\" -annotate +16+350 \"$(grep eth0 /proc/net/dev | tr -s ' ' | cut -d' "
            "' -f3)\" "
            "-monochrome " +
            png + "; sleep 2; done";
        pid_t shell = -1;
        std::vector<std::string> args = {"/bin/sh", "-c", loop};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const bool magick =
            ::posix_spawn(&shell, "/bin/sh", nullptr, nullptr, argv.data(), environ) == 0;
        const auto start = Clock::now();
        std::this_thread::sleep_for(window);
        const double wall = Seconds(Clock::now() - start);
        state.counters["hub_cpu_pct"] = 100 * (RunNanoseconds(pid) - ns_before) / 1e9 / wall;
        if (magick) {
            state.counters["magick_cpu_pct"] =
                100.0 * ChildrenTicks(shell) / static_cast<double>(::sysconf(_SC_CLK_TCK)) / wall;
            ::kill(shell, SIGKILL);
            ::waitpid(shell, nullptr, 0);
        }
    }
}
BENCHMARK(BM_HubPagesCpu)->ArgName("window_s")->Arg(20)->Iterations(1)->Unit(benchmark::kSecond);

// Memory with the most clients the hub lets in, each holding its 16 screens, every screen
// with a frame of its own.
void BM_HubMemory(benchmark::State& state) {
    constexpr int kClients = 32, kScreens = 16;
    for (auto _ : state) {
        RunningHub hub;
        if (!hub.Start()) {
            state.SkipWithError("lcdhub did not come up");
            return;
        }
        const pid_t pid = hub.process->Pid();
        const double idle_kb = StatusKb(pid, "VmRSS:");
        std::mt19937 noise(7);
        std::vector<std::unique_ptr<HubClient>> clients;
        clients.push_back(std::move(hub.probe));
        for (int c = 0; c < kClients; ++c) {
            if (c > 0)
                clients.push_back(Connect(hub.dir / "hub.sock"));
            std::string commands;
            for (int s = 0; s < kScreens; ++s) {
                const std::string name = std::to_string(c).append("s").append(std::to_string(s));
                std::string frame(protocol::FrameBytes, '\0');
                for (char& byte : frame) byte = static_cast<char>(noise());
                commands += "screen " + name + "\nframe " + name + "\n" + frame;
            }
            if (!clients.back() || !Commands(*clients.back(), commands, 2 * kScreens)) {
                state.SkipWithError("a client's screens were not taken");
                return;
            }
        }
        std::this_thread::sleep_for(1s);  // the frame on the line finishes
        state.counters["rss_mb"] = StatusKb(pid, "VmRSS:") / 1024;
        state.counters["hwm_mb"] = StatusKb(pid, "VmHWM:") / 1024;
        state.counters["idle_rss_mb"] = idle_kb / 1024;
    }
}
BENCHMARK(BM_HubMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

// As BENCHMARK_MAIN, except that without a filter the 60 s processor-time window is left
// out, so that a plain run stays short.
int main(int argc, char** argv) {
    const bool filtered = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return std::strncmp(arg, "--benchmark_filter", 18) == 0;
    });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!filtered)
        benchmark::SetBenchmarkFilter("-window_s:60");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
