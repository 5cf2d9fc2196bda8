// lcdctl as a user runs it, against the simulated module on a pseudo-terminal.
#include <signal.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <thread>

#include "imaging/frame_actions.h"
#include "imaging/jpeg_image.h"
#include "imaging/mono_frame.h"
#include "support/frame_bits.h"
#include "support/module_fixture.h"

namespace {

using namespace std::chrono_literals;
using testing_support::With;
using Frame = std::vector<std::uint8_t>;

using testing_support::FrameBit;
using testing_support::GrayFrameFor;
using testing_support::kFrameBytes;
constexpr int kSide = testing_support::kScreenSide;

std::uint64_t HashOfFrameOf(std::uint8_t byte) {
    return sim::FrameHash(Frame(kFrameBytes, byte));
}

// Polls until `done` holds; false once the deadline has passed.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// The module has answered a frame's header: the host writes the payload from now on.
bool PayloadIsUnderway(const std::vector<sim::TranscriptEntry>& transcript) {
    using Kind = sim::TranscriptEntry::Kind;
    const auto header = std::ranges::find_if(transcript, [](const sim::TranscriptEntry& e) {
        return e.kind == Kind::Line && e.bytes.starts_with("pixels: ");
    });
    return std::any_of(header, transcript.end(), [](const sim::TranscriptEntry& e) {
        return e.kind == Kind::Reply && e.timestamp != std::chrono::steady_clock::time_point{};
    });
}

// Writes all of `bytes` to the program; false once it no longer takes them.
bool Feed(QProcess& lcdctl, const std::string& bytes) {
    lcdctl.write(bytes.data(), static_cast<qint64>(bytes.size()));
    while (lcdctl.bytesToWrite() > 0 && lcdctl.waitForBytesWritten(10000)) {
    }
    return lcdctl.bytesToWrite() == 0;
}

// Ends the input and waits for the end: the exit status, -1 if it never came.
int Finish(QProcess& lcdctl) {
    lcdctl.closeWriteChannel();
    const bool ended = lcdctl.waitForFinished(20000) && lcdctl.exitStatus() == QProcess::NormalExit;
    return ended ? lcdctl.exitCode() : -1;
}

std::string Errors(QProcess& lcdctl) {
    return lcdctl.readAllStandardError().toStdString();
}

class LcdctlTest : public ::testing::Test {
protected:
    void StartModule(sim::ModuleOptions options) {
        m_module = std::make_unique<sim::PtyModule>(options);
        m_module->Start();
    }
    std::unique_ptr<QProcess> Run(QStringList args, bool with_port = true) {
        if (with_port)
            args = QStringList{"-p", QString::fromStdString(m_module->SlavePath())} + args;
        auto lcdctl = std::make_unique<QProcess>();
        lcdctl->start(LCDCTL_PATH, args);
        EXPECT_TRUE(lcdctl->waitForStarted());
        return lcdctl;
    }
    std::string Scratch(const std::string& name) {
        return m_folder.filePath(name.c_str()).toStdString();
    }
    QTemporaryDir m_folder;
    std::unique_ptr<sim::PtyModule> m_module;
};

// The frame the panel's 刷图片 makes of the demo picture, by the panel's own steps.
Frame PanelFrameOfTheDemoPicture() {
    imaging::TJPEGImage demo;
    demo.LoadFromFile(DEMO_PICTURE);
    const imaging::Bitmap working =
        imaging::PrepareWorkingPicture([&](imaging::Bitmap& target) { demo.AssignTo(target); });
    Frame frame(kFrameBytes);
    testing_support::RecordingLog log;
    imaging::Binarize(working, frame, 0, log);
    return frame;
}

TEST_F(LcdctlTest, SendOfTheDemoPictureOneToOneIsThePanelsFrameAndThePreviewShowsIt) {
    StartModule(With([](auto& o) { o.pace = false; }));
    const QString preview = QString::fromStdString(Scratch("preview.png"));
    auto lcdctl = Run({"send", DEMO_PICTURE, "--fit", "none", "--preview", preview});
    ASSERT_EQ(Finish(*lcdctl), 0);
    EXPECT_NE(Errors(*lcdctl).find("平均灰度："), std::string::npos);
    const Frame expected = PanelFrameOfTheDemoPicture();
    EXPECT_EQ(m_module->LastFrame(), expected);
    const QImage png(preview);
    ASSERT_EQ(png.size(), QSize(480, 480));
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 480; ++x)
            ASSERT_EQ(png.pixel(x, y) == qRgb(255, 255, 255), FrameBit(expected, x, y))
                << x << "," << y;

    // The negotiation left the module at 921600: the next call needs one hello.
    auto again = Run({"pattern", "stripes"});
    ASSERT_EQ(Finish(*again), 0);
    EXPECT_EQ(Errors(*again).find("baudrate 2400"), std::string::npos);
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 15));
}

// Black with a white rectangle, saved at the path (the format by its extension).
QString Drawn(const std::string& path, QSize size, QRect white) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter(&picture).fillRect(white, Qt::white);
    const QString file = QString::fromStdString(path);
    EXPECT_TRUE(picture.save(file, nullptr, 95)) << path;
    return file;
}

TEST_F(LcdctlTest, FitsAndInversionShapeTheFrame) {
    // A white square between black quarters; black standing on end; a JPEG the decoder could
    // shrink fourfold, with white at its top-left.
    const QString wide = Drawn(Scratch("wide.png"), {960, 480}, {240, 0, 480, 480});
    const QString tall = Drawn(Scratch("tall.png"), {480, 960}, {});
    const QString big = Drawn(Scratch("big.jpg"), {1920, 1920}, {0, 0, 240, 240});
    const auto within = [](int at, int from, int to) { return at >= from && at < to; };
    const struct {
        QString file;
        QStringList fit;
        std::function<bool(int x, int y)> light;
    } cases[] = {
        {wide, {"--fit", "crop"}, [](int, int) { return true; }},  // the centre
        {wide, {"--fit", "crop", "--invert"}, [](int, int) { return false; }},
        {wide, {"--fit", "stretch"}, [&](int x, int) { return within(x, 120, 360); }},
        {wide,
         {"--fit", "pad"},
         [&](int x, int y) { return !within(y, 120, 360) || within(x, 120, 360); }},
        {tall, {"--fit", "pad"}, [&](int x, int) { return !within(x, 120, 360); }},  // centred
        {big, {"--fit", "none"}, [&](int x, int y) { return x < 240 && y < 240; }},  // 1:1
    };
    for (const auto& c : cases) {
        const std::string name = (c.file + " " + c.fit.join(' ')).toStdString();
        const QString preview = QString::fromStdString(Scratch("fit.png"));
        auto lcdctl = Run(
            QStringList{"send", c.file, "--threshold", "128", "--preview", preview} + c.fit, false);
        ASSERT_EQ(Finish(*lcdctl), 0) << Errors(*lcdctl);
        const QImage png(preview);
        ASSERT_EQ(png.size(), QSize(kSide, kSide)) << name;
        int wrong = 0;  // the scaler blurs the edges: a few pixels either way
        for (int i = 0; i < kSide * kSide; ++i) {
            const int x = i % kSide, y = i / kSide;
            wrong += (qGray(png.pixel(x, y)) == 255) != c.light(x, y);
        }
        EXPECT_LT(wrong, kSide * kSide / 100) << name;
    }
}

TEST_F(LcdctlTest, EveryFrameArrivesInOrderWithoutDropping) {
    // Paced, the line is still busy when the next frames come: they wait instead of replacing
    // one another.
    StartModule(With([](auto& o) { o.start_baud = 921600; }));  // 313 ms a frame
    auto lcdctl = Run({"stream", "--no-drop", "--threshold", "128"});
    std::vector<std::uint64_t> expected;
    for (std::uint8_t byte : {0x01, 0x80, 0x55, 0xAA}) {
        ASSERT_TRUE(Feed(*lcdctl, GrayFrameFor(byte)));
        expected.push_back(HashOfFrameOf(byte));
    }
    ASSERT_EQ(Finish(*lcdctl), 0);
    EXPECT_EQ(m_module->FrameHashes(), expected);
    EXPECT_NE(Errors(*lcdctl).find("4 sent, 0 dropped"), std::string::npos);
}

TEST_F(LcdctlTest, FramesThatComeWhileTheLineIsBusyReplaceTheOneWaiting) {
    StartModule(With([](auto& o) { o.start_baud = 921600; }));  // paced: 313 ms a frame
    auto lcdctl = Run({"stream", "--threshold", "128"});
    for (int byte = 1; byte <= 10; ++byte) ASSERT_TRUE(Feed(*lcdctl, GrayFrameFor(byte)));
    ASSERT_EQ(Finish(*lcdctl), 0);
    const std::vector<std::uint64_t> hashes = m_module->FrameHashes();
    ASSERT_GE(hashes.size(), 2u);
    EXPECT_LE(hashes.size(), 4u);
    EXPECT_EQ(hashes.front(), HashOfFrameOf(1));
    EXPECT_EQ(hashes.back(), HashOfFrameOf(10));  // the newest, never a stale one
    const std::string summary =
        std::to_string(hashes.size()) + " sent, " + std::to_string(10 - hashes.size()) + " dropped";
    EXPECT_NE(Errors(*lcdctl).find(summary), std::string::npos);
}

TEST_F(LcdctlTest, FailuresEndWithTheirStatusAndOneLineSayingWhy) {
    StartModule(With([](auto& o) {
        o.pace = false;
        o.start_baud = 921600;
    }));
    std::ofstream(Scratch("notes.txt")) << "not a picture\n";
    const struct {
        QStringList args;
        std::string input;
        int status;
        std::string message;
    } cases[] = {
        {{"send", "/no/such.png"}, "", 3, "cannot read picture '/no/such.png': No such file"},
        {{"send", QString::fromStdString(Scratch("notes.txt"))},
         "",
         3,
         "cannot read picture '" + Scratch("notes.txt") + "': not a picture"},
        {{"send", "-"}, "", 3, "cannot read picture '-': not a picture"},
        {{"send", "-"},
         "P4\n30000 30000\n",
         3,
         "cannot read picture '-': too large (30000 × 30000)"},
        {{"stream", "--threshold", "128"},
         GrayFrameFor(7) + std::string(1000, '\0'),
         3,
         "the input ended inside a frame (1000 of 230400 bytes); not sent"},
        {{"connect", "--bogus"}, "", 2, "unknown option --bogus"},
    };
    for (const auto& c : cases) {
        auto lcdctl = Run(c.args);
        Feed(*lcdctl, c.input);
        EXPECT_EQ(Finish(*lcdctl), c.status) << c.message;
        EXPECT_NE(Errors(*lcdctl).find("lcdctl: " + c.message), std::string::npos) << c.message;
    }
    EXPECT_EQ(m_module->FrameHashes(), std::vector<std::uint64_t>{HashOfFrameOf(7)});

    // A module that never answers, and a port that cannot exist: a path in a fresh folder,
    // so that no adapter on this machine is ever talked to. One line, naming the port.
    StartModule(With([](auto& o) { o.silent = true; }));
    for (const std::string& port : {m_module->SlavePath(), Scratch("no_such_port")}) {
        auto lcdctl = Run({"-q", "-p", QString::fromStdString(port), "connect"}, false);
        EXPECT_EQ(Finish(*lcdctl), 1) << port;
        const std::string errors = Errors(*lcdctl);
        EXPECT_TRUE(errors.starts_with("lcdctl: no link to the module on " + port) &&
                    errors.find('\n') == errors.size() - 1)
            << errors;
    }
}

TEST_F(LcdctlTest, CtrlCFinishesTheFrameOnTheLineFirst) {
    StartModule(With([](auto& o) { o.start_baud = 921600; }));  // paced: 313 ms a frame
    auto lcdctl = Run({"pattern", "lines"});
    ASSERT_TRUE(WaitFor([&] { return PayloadIsUnderway(m_module->Transcript()); }, 5s));
    ::kill(static_cast<pid_t>(lcdctl->processId()), SIGINT);
    EXPECT_EQ(Finish(*lcdctl), 130);
    EXPECT_EQ(m_module->FrameHashes(), std::vector<std::uint64_t>{HashOfFrameOf(0xFE)});
}

TEST_F(LcdctlTest, ModuleVanishingMidStreamEndsTheStreamAtOnce) {
    StartModule(With([](auto& o) {  // gone in the middle of the second frame
        o.pace = false;
        o.start_baud = 921600;
        o.hang_up_after_bytes = 38 + 20 + 28800 + 20 + 5000;
    }));
    const auto start = std::chrono::steady_clock::now();
    auto lcdctl = Run({"stream"});
    for (int i = 0; i < 40 && Feed(*lcdctl, GrayFrameFor(static_cast<std::uint8_t>(i))); ++i) {
    }
    EXPECT_EQ(Finish(*lcdctl), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(Errors(*lcdctl).find("lcdctl: the module's port is gone"), std::string::npos);
}

}  // namespace
