#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "serial/termios2_linux.h"
#include "sim/module_sim.h"
#include "sim/module_state_machine.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Hello(int n) {
    return "hello, please set baudrate to: " + std::to_string(n) + "\n";
}
std::string Mark(int n) {
    return "yes, current baudrate is: " + std::to_string(n) + "\n";
}

// The host's end: the pseudo-terminal's slave, raw at a speed of the test's choosing.
class HostLine {
public:
    HostLine(const std::string& path, int baud)
        : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (m_fd < 0) {
            throw std::runtime_error("cannot open " + path);
        }
        SetBaud(baud);
    }
    ~HostLine() { ::close(m_fd); }
    int Fd() const { return m_fd; }
    void SetBaud(int baud) { EXPECT_TRUE(serial::termios2::SetRawLine(m_fd, baud)); }

    // False when the write failed (errno says why).
    bool Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t put = ::write(m_fd, bytes.data(), bytes.size());
            if (put < 0 && errno != EAGAIN) {
                return false;
            }
            if (put > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(put));
            } else {
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
        return true;
    }

    // Up to the first line feed (or, with `whole_span`, all) that arrives within `timeout`.
    std::string Read(std::chrono::milliseconds timeout = 3s, bool whole_span = false) {
        const auto end = Clock::now() + timeout;
        std::string got;
        char c;
        while ((whole_span || got.empty() || got.back() != '\n') && Clock::now() < end) {
            pollfd p{m_fd, POLLIN, 0};
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || ::read(m_fd, &c, 1) != 1) {
                break;
            }
            got.push_back(c);
        }
        return got;
    }

private:
    int m_fd;
};

sim::ModuleOptions Fast() {
    sim::ModuleOptions options;
    options.pace = false;
    return options;
}

TEST(PtyModule, HearsTheHostOnlyAtTheSpeedTheHostSetOnItsLine) {
    sim::PtyModule module(Fast());
    module.Start();
    HostLine host(module.SlavePath(), 9600);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.Read(300ms, true), "");

    host.SetBaud(2400);
    ASSERT_TRUE(host.Write(Hello(921600)));
    EXPECT_EQ(host.Read(), Mark(2400));
    host.SetBaud(921600);  // like the host: the next hello follows at once
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.Read(), Mark(921600));
    EXPECT_EQ(module.Baud(), 921600);
}

TEST(PtyModule, ASplitReplyArrivesInPiecesWithGaps) {
    sim::ModuleOptions options = Fast();
    options.split_chunks = 3;
    options.split_gap_ms = 80;
    sim::PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(0)));
    const std::string first = host.Read(40ms, true);
    EXPECT_FALSE(first.empty());
    const auto start = Clock::now();
    const std::string rest = host.Read();
    EXPECT_GE(Clock::now() - start, 100ms) << "two more gaps, less the 40 ms already waited";
    EXPECT_EQ(first + rest, Mark(2400));
}

// Lower bounds only: a loaded machine may be slower than the line, never faster.
TEST(PtyModule, APacedFrameHoldsTheLineAndIsDrawnInTheScreensColour) {
    const std::string png = std::filesystem::temp_directory_path() /
                            ("pty_module_test_" + std::to_string(::getpid()) + ".png");
    sim::ModuleOptions options;
    options.start_baud = 921600;
    options.screen_png = png;
    sim::PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 921600);
    ASSERT_TRUE(host.Write("set color to: 5\nset brightness to: 1\npixels: 0,0,480,480\n"));
    std::string replies;
    for (int i = 0; i < 3; ++i) {
        replies += host.Read();
    }
    EXPECT_EQ(replies, "ok, color 5\nok, brightness 1\nok, send 28800 bytes\n");

    std::string payload(sim::kFrameBytes, '\n');  // line feeds are pixels here
    payload[0] = '\x80';
    payload[1 * sim::kRowBytes + 59] = '\x01';
    payload[479 * sim::kRowBytes + 29] = '\0';
    payload[479 * sim::kRowBytes + 30] = '\0';
    const auto start = Clock::now();
    ASSERT_TRUE(host.Write(payload));
    EXPECT_EQ(host.Read(), "ok, frame 28800 bytes\n");
    EXPECT_GE(Clock::now() - start, 312ms) << "28,800 bytes of ten bits at 921,600 bit/s";
    ASSERT_TRUE(module.WaitForFrames(1, 2s));
    const std::vector<std::uint8_t> frame = module.LastFrame();
    EXPECT_EQ(std::string(frame.begin(), frame.end()), payload);

    const QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(480, 480));
    const QRgb light = qRgb(127, 0, 127);  // colour 5 is red and blue, at brightness 1
    const QRgb dark = qRgb(0, 0, 0);
    EXPECT_EQ(image.pixel(0, 0), light);
    EXPECT_EQ(image.pixel(1, 0), dark);
    EXPECT_EQ(image.pixel(479, 1), light);
    EXPECT_EQ(image.pixel(478, 1), dark);
    EXPECT_EQ(image.pixel(4, 479), light);
    EXPECT_EQ(image.pixel(236, 479), dark);
    EXPECT_EQ(image.pixel(246, 479), dark);

    ASSERT_TRUE(host.Write("set color to: 2\n"));
    EXPECT_EQ(host.Read(), "ok, color 2\n");
    EXPECT_EQ(QImage(QString::fromStdString(png)).pixel(0, 0), qRgb(0, 127, 0))
        << "a new colour repaints the frame shown";
    std::filesystem::remove(png);
}

TEST(PtyModule, HangingUpMakesTheDeviceFailForTheHost) {
    sim::ModuleOptions options = Fast();
    options.hang_up_after_bytes = 20;
    sim::PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write("pixels: 0,0,480,480\n"));  // exactly 20 bytes
    for (int i = 0; i < 200 && !module.HungUp(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(module.HungUp());
    errno = 0;
    EXPECT_FALSE(host.Write(std::string(sim::kFrameBytes, '\0')));
    EXPECT_EQ(errno, EIO);
    char byte;
    EXPECT_LE(::read(host.Fd(), &byte, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(module.SlavePath()));
}

TEST(LcdsimProcess, PrintsItsPortServesItAndEndsCleanlyOnSigterm) {
    const std::string link =
        std::filesystem::temp_directory_path() / ("lcdsim_test_" + std::to_string(::getpid()));
    QProcess lcdsim;
    lcdsim.start(LCDSIM_PATH, {"--no-pace", "--link", QString::fromStdString(link)});
    ASSERT_TRUE(lcdsim.waitForReadyRead(5000));
    const std::string path = lcdsim.readLine().trimmed().toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(std::filesystem::read_symlink(link), path);
    {
        HostLine host(link, 2400);
        ASSERT_TRUE(host.Write(Hello(0)));
        EXPECT_EQ(host.Read(), Mark(2400));
    }
    lcdsim.terminate();  // SIGTERM
    ASSERT_TRUE(lcdsim.waitForFinished(5000));
    EXPECT_EQ(lcdsim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(lcdsim.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

}  // namespace
