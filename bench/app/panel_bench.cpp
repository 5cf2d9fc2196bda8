// The whole panel on an Xvfb display: start-up to first paint, idle cost of the clipboard
// monitor, and the time from copying a picture to the module having its frame.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

#include "desktop_session.h"
#include "sim/module_sim.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::DesktopSession;
using testing_support::WaitUntil;

DesktopSession& Desktop() {
    static DesktopSession session;
    return session;
}

QProcessEnvironment DisplayEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", Desktop().Display());
    environment.remove("QT_QPA_PLATFORM");
    return environment;
}

bool DesktopReady(benchmark::State& state) {
    if (!Desktop().Problem().empty()) {
        state.SkipWithError(Desktop().Problem().c_str());
        return false;
    }
    return true;
}

void BM_StartToFirstPaint(benchmark::State& state) {
    if (!DesktopReady(state))
        return;
    for (auto _ : state) {
        QProcess probe;
        probe.setProcessEnvironment(DisplayEnvironment());
        probe.setWorkingDirectory(PANEL_DEMO_DIR);
        const auto start = Clock::now();
        probe.start(FIRST_PAINT_PROBE, {});
        if (!probe.waitForFinished(20000)) {
            probe.kill();
            state.SkipWithError("the probe did not paint");
            return;
        }
        const long long painted = probe.readAllStandardOutput().trimmed().toLongLong();
        const auto elapsed = std::chrono::nanoseconds(painted) - start.time_since_epoch();
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

struct ProcessUsage {
    double cpu_seconds;
    long rss_kb;
};

ProcessUsage UsageOf(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stol(field);
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    long rss = 0;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            rss = std::stol(line.substr(6));
    return {static_cast<double>(ticks) / sysconf(_SC_CLK_TCK), rss};
}

// The panel idle with its one-second clipboard poll: CPU share and resident memory.
void BM_IdlePanel(benchmark::State& state) {
    if (!DesktopReady(state))
        return;
    QProcess panel;
    panel.setProcessEnvironment(DisplayEnvironment());
    panel.setWorkingDirectory(PANEL_DEMO_DIR);
    panel.start(PANEL_BINARY, {});
    panel.waitForStarted();
    QThread::sleep(3);  // past start-up and the first paint
    const double window = 30;
    for (auto _ : state) {
        const ProcessUsage before = UsageOf(panel.processId());
        QThread::sleep(static_cast<unsigned long>(window));
        const ProcessUsage after = UsageOf(panel.processId());
        state.counters["cpu_percent"] = 100 * (after.cpu_seconds - before.cpu_seconds) / window;
        state.counters["rss_MB"] = after.rss_kb / 1024.0;
    }
    panel.kill();
    panel.waitForFinished();
}
BENCHMARK(BM_IdlePanel)->Iterations(1)->Unit(benchmark::kSecond);

// From the copy to the module holding the frame, at 921600 bit/s with the module's line
// pacing on: one poll period at most, plus the frame's time on the wire.
void BM_ClipboardToModule(benchmark::State& state) {
    if (!DesktopReady(state))
        return;
    QTemporaryDir folder;
    sim::ModuleOptions options;
    options.start_baud = 921600;
    sim::PtyModule module(options);
    module.Start();
    QProcess panel;
    panel.setProcessEnvironment(DisplayEnvironment());
    panel.setWorkingDirectory(PANEL_DEMO_DIR);
    panel.start(PANEL_BINARY, {"--port", QString::fromStdString(module.SlavePath())});
    const QString window = Desktop().FindWindow("lcdpanel");
    Desktop().Click(window, 22 + 288 + 28, 8 + 21 + 12);
    if (!WaitUntil([&] { return module.ReceivedLines().size() >= 3; }, 10s)) {
        state.SkipWithError("the panel did not connect");
        return;
    }
    std::mt19937 rng(1);
    double worst = 0;
    for (auto _ : state) {
        QImage picture(480, 480, QImage::Format_RGB32);
        picture.fill(qRgb(rng() % 256, rng() % 256, rng() % 256));
        const int frames = module.FramesReceived();
        const auto start = Clock::now();
        Desktop().OfferPicture(picture, folder.filePath("copy.png"));
        if (!module.WaitForFrames(frames + 1, 5s)) {
            state.SkipWithError("no frame arrived");
            break;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
    }
    const double wire = (20 + 28800) * 10.0 / 921600;
    state.counters["worst_ms"] = worst * 1e3;
    state.counters["limit_ms"] = (1.0 + wire + 0.010) * 1e3;
    panel.kill();
    panel.waitForFinished();
}
BENCHMARK(BM_ClipboardToModule)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
