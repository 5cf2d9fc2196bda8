// lcdctl as a user runs it, against the simulated module on a pseudo-terminal; for
// --reconnect, an adapter pulled out and plugged in again (a new pseudo-terminal behind the
// same link).
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <thread>

#include "imaging/jpeg_image.h"
#include "imaging/mono_frame.h"
#include "imaging/working_picture.h"
#include "support/frame_bits.h"
#include "support/module_fixture.h"
#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Module;
using testing_support::WaitUntil;
using Frame = std::vector<std::uint8_t>;
using Hashes = std::vector<std::uint64_t>;

using testing_support::FrameBit;
using testing_support::GrayFrameFor;
using testing_support::kFrameBytes;
constexpr int kSide = testing_support::kScreenSide;

std::uint64_t HashOfFrameOf(std::uint8_t byte) {
    return sim::FrameHash(Frame(kFrameBytes, byte));
}

// The module has answered a frame's header after entry `from`: the host writes the payload
// from now on.
bool PayloadIsUnderway(const std::vector<sim::TranscriptEntry>& transcript, std::size_t from) {
    using Kind = sim::TranscriptEntry::Kind;
    const auto entries = std::span(transcript).subspan(from);
    const auto header = std::ranges::find_if(entries, [](const sim::TranscriptEntry& e) {
        return e.kind == Kind::Line && e.bytes.starts_with("pixels: ");
    });
    return std::any_of(header, entries.end(), [](const sim::TranscriptEntry& e) {
        return e.kind == Kind::Reply && e.timestamp != std::chrono::steady_clock::time_point{};
    });
}

class LcdctlTest : public ::testing::Test {
protected:
    void StartModule(sim::ModuleOptions options) {
        m_module = std::make_unique<sim::PtyModule>(options);
        m_module->Start();
        m_port = options.link_path.empty() ? m_module->SlavePath() : options.link_path;
    }
    // An unpaced module behind the link, as a USB adapter plugged in.
    void PlugIn(long hang_up_after_bytes = -1) {
        sim::ModuleOptions options;
        options.pace = false;
        options.link_path = m_link;
        options.hang_up_after_bytes = hang_up_after_bytes;
        StartModule(options);
    }
    // lcdctl with `args`, after "-p PORT" unless with_port is false.
    void Run(QStringList args, bool with_port = true) {
        if (with_port)
            args = QStringList{"-p", QString::fromStdString(m_port)} + args;
        m_errors.clear();
        m_lcdctl.start(LCDCTL_PATH, args);
        ASSERT_TRUE(m_lcdctl.waitForStarted());
    }
    // Writes all of `bytes` to lcdctl; false once it no longer takes them.
    bool Feed(const std::string& bytes) {
        m_lcdctl.write(bytes.data(), static_cast<qint64>(bytes.size()));
        while (m_lcdctl.bytesToWrite() > 0 && m_lcdctl.waitForBytesWritten(10000)) {
        }
        return m_lcdctl.bytesToWrite() == 0;
    }
    // Ends the input and waits for the end: the exit status, -1 if it never came.
    int Finish() {
        m_lcdctl.closeWriteChannel();
        const bool ended =
            m_lcdctl.waitForFinished(20000) && m_lcdctl.exitStatus() == QProcess::NormalExit;
        m_errors += m_lcdctl.readAllStandardError().toStdString();
        return ended ? m_lcdctl.exitCode() : -1;
    }
    bool Said(const std::string& text) const { return m_errors.find(text) != std::string::npos; }
    // Reads standard error until it holds `text`; false after ten seconds without it.
    bool WaitForError(const std::string& text) {
        for (int i = 0; i < 100 && !Said(text); ++i) {
            m_lcdctl.waitForReadyRead(100);
            m_errors += m_lcdctl.readAllStandardError().toStdString();
        }
        return Said(text);
    }
    // A stream that has sent its first frame and read its reply, then loses its port.
    void StreamThenPullOut(const QStringList& options) {
        PlugIn();
        Run(QStringList{"stream", "--threshold", "128"} + options);
        Feed(GrayFrameFor(1));
        ASSERT_TRUE(WaitForError("ok, frame 28800 bytes"));
        m_module.reset();
    }
    std::string Scratch(const std::string& name) {
        return m_folder.filePath(name.c_str()).toStdString();
    }

    QTemporaryDir m_folder;
    const std::string m_link = Scratch("usb-module");
    std::unique_ptr<sim::PtyModule> m_module;
    std::string m_port;
    QProcess m_lcdctl;
    std::string m_errors;
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
    StartModule(Module().Unpaced());
    const QString preview = QString::fromStdString(Scratch("preview.png"));
    Run({"send", DEMO_PICTURE, "--fit", "none", "--preview", preview});
    ASSERT_EQ(Finish(), 0);
    EXPECT_TRUE(Said("平均灰度："));
    const Frame expected = PanelFrameOfTheDemoPicture();
    EXPECT_EQ(m_module->LastFrame(), expected);
    const QImage png(preview);
    ASSERT_EQ(png.size(), QSize(480, 480));
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 480; ++x)
            ASSERT_EQ(png.pixel(x, y) == qRgb(255, 255, 255), FrameBit(expected, x, y))
                << x << "," << y;

    // The negotiation left the module at 921600: the next call needs one hello.
    Run({"pattern", "stripes"});
    ASSERT_EQ(Finish(), 0);
    EXPECT_FALSE(Said("baudrate 2400"));
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
        Run(QStringList{"send", c.file, "--threshold", "128", "--preview", preview} + c.fit, false);
        ASSERT_EQ(Finish(), 0) << m_errors;
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
    StartModule(Module().StartingAt(921600));  // 313 ms a frame
    Run({"stream", "--no-drop", "--threshold", "128"});
    for (std::uint8_t byte : {0x01, 0x80, 0x55, 0xAA}) ASSERT_TRUE(Feed(GrayFrameFor(byte)));
    ASSERT_EQ(Finish(), 0);
    EXPECT_EQ(m_module->FrameHashes(), (Hashes{HashOfFrameOf(0x01), HashOfFrameOf(0x80),
                                               HashOfFrameOf(0x55), HashOfFrameOf(0xAA)}));
    EXPECT_TRUE(Said("4 sent, 0 dropped")) << m_errors;
}

TEST_F(LcdctlTest, FramesThatComeWhileTheLineIsBusyReplaceTheOneWaiting) {
    StartModule(Module().StartingAt(921600));  // paced: 313 ms a frame
    Run({"stream", "--threshold", "128"});
    for (int byte = 1; byte <= 10; ++byte) ASSERT_TRUE(Feed(GrayFrameFor(byte)));
    ASSERT_EQ(Finish(), 0);
    const Hashes hashes = m_module->FrameHashes();
    ASSERT_GE(hashes.size(), 2u);
    EXPECT_LE(hashes.size(), 4u);
    EXPECT_EQ(hashes.front(), HashOfFrameOf(1));
    EXPECT_EQ(hashes.back(), HashOfFrameOf(10));  // the newest, never a stale one
    EXPECT_TRUE(Said(std::to_string(hashes.size()) + " sent, " +
                     std::to_string(10 - hashes.size()) + " dropped"))
        << m_errors;
}

TEST_F(LcdctlTest, FailuresEndWithTheirStatusAndOneLineSayingWhy) {
    StartModule(Module().Unpaced().StartingAt(921600));
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
        {{"send", DEMO_PICTURE, "--preview", "/no/such/preview.png"},
         "",
         3,
         "cannot write preview '/no/such/preview.png': No such file or directory"},
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
        Run(c.args);
        Feed(c.input);
        EXPECT_EQ(Finish(), c.status) << c.message;
        EXPECT_TRUE(Said("lcdctl: " + c.message)) << m_errors;
    }
    EXPECT_EQ(m_module->FrameHashes(), Hashes{HashOfFrameOf(7)});

    // A module that never answers: one line, naming the port.
    StartModule(Module().Silent());
    Run({"-q", "connect"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(m_errors.starts_with("lcdctl: no link to the module on " + m_port) &&
                m_errors.find('\n') == m_errors.size() - 1)
        << m_errors;
}

// What the module says reaches the terminal escaped; a command or frame it leaves unanswered
// is a failure of its own.
TEST_F(LcdctlTest, RepliesAreShownEscapedAndAnUnansweredExchangeFails) {
    const sim::ModuleOptions mute = Module().NotAcknowledging();
    const sim::ModuleOptions escapes = Module().ReplyingAfter("\x1b]52;c;aGk=\a");
    const std::string no_answer = "lcdctl: the module did not answer", pgm = "P5\n480 480\n255\n";
    const std::tuple<sim::ModuleOptions, QStringList, std::string, std::string> cases[] = {
        {mute, {"color", "3"}, "", no_answer + "\n"},
        {mute, {"pattern", "solid"}, "", no_answer + "\n"},
        {mute, {"send", "-", "--threshold", "9"}, pgm + GrayFrameFor(1), no_answer + "\n"},
        {mute, {"stream", "--no-drop"}, GrayFrameFor(1) + GrayFrameFor(2), no_answer + " 2 of 2"},
        {escapes, {"color", "3"}, "", "\\x1b]52;c;aGk=\\x07ok, color 3\n"},
    };
    for (const auto& [module, args, input, said] : cases) {
        StartModule(module);
        Run(args);
        Feed(input);
        EXPECT_EQ(Finish(), module.no_acknowledge ? 4 : 0) << said;
        EXPECT_TRUE(Said(said) && !Said("\x1b")) << m_errors;
    }
}

// A port in a fresh folder, so that no adapter on this machine is ever talked to: named with
// its reason after one probe.
TEST_F(LcdctlTest, APortThatCannotBeOpenedIsNamedWithItsReasonAtOnce) {
    m_port = m_link;
    Run({"connect"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(m_errors, "baudrate 921600...\nlcdctl: no link to the module on " + m_link +
                            ": cannot open " + m_link + ": No such file or directory\n");
}

TEST_F(LcdctlTest, CtrlCEndsTheNegotiationBeforeItsNextProbe) {
    StartModule(Module().Silent());  // six probes of 0.1 s to go
    Run({"connect"});
    ASSERT_TRUE(WaitForError("baudrate 2400..."));
    ::kill(static_cast<pid_t>(m_lcdctl.processId()), SIGINT);
    EXPECT_EQ(Finish(), 130);
    EXPECT_FALSE(Said("baudrate 5000000...")) << m_errors;
}

// Each run takes the port that the one before had to release.
TEST_F(LcdctlTest, CtrlCAKillAndAHangUpFinishTheFrameOnTheLineFirst) {
    StartModule(Module().StartingAt(921600));  // paced: 313 ms a frame
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::size_t from = m_module->Transcript().size();
        Run({"pattern", "lines"});
        ASSERT_TRUE(WaitUntil([&] { return PayloadIsUnderway(m_module->Transcript(), from); }, 5s));
        ::kill(static_cast<pid_t>(m_lcdctl.processId()), signal);
        EXPECT_EQ(Finish(), 130) << signal;
    }
    EXPECT_EQ(m_module->FrameHashes(), Hashes(3, HashOfFrameOf(0xFE)));
}

// As `lcdctl ... | head -c 0` once head is gone: the output ends, the run goes on.
TEST_F(LcdctlTest, AReaderThatWentAwayEndsTheOutputButNotTheRun) {
    StartModule(Module().Unpaced());
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    ::close(pipe_ends[0]);
    for (const int stream : {STDERR_FILENO, STDOUT_FILENO}) {
        m_lcdctl.setChildProcessModifier([&, stream] {
            ::signal(SIGPIPE, SIG_DFL);  // as a shell leaves it
            ::dup2(pipe_ends[1], stream);
        });
        Run({"send", DEMO_PICTURE, "--preview", "-"});
        EXPECT_EQ(Finish(), 0) << stream;
    }
    ::close(pipe_ends[1]);
    EXPECT_EQ(m_module->FramesReceived(), 2);
}

TEST_F(LcdctlTest, ModuleVanishingMidStreamEndsTheStreamAtOnce) {
    // Gone in the middle of the second frame.
    StartModule(Module().Unpaced().StartingAt(921600).HangingUpAfter(38 + 20 + 28800 + 20 + 5000));
    const auto start = std::chrono::steady_clock::now();
    Run({"stream"});
    for (int i = 0; i < 40 && Feed(GrayFrameFor(static_cast<std::uint8_t>(i))); ++i) {
    }
    EXPECT_EQ(Finish(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(Said("lcdctl: the module's port is gone")) << m_errors;
}

TEST_F(LcdctlTest, AStreamWaitsForThePortAndGoesOnWithEveryFrameInOrder) {
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--no-drop", "--reconnect=20"}));
    Feed(GrayFrameFor(2));
    ASSERT_TRUE(WaitForError("the module's port is gone; waiting up to 20 s for it to come back"));
    Feed(GrayFrameFor(3));
    PlugIn();
    Feed(GrayFrameFor(4));
    ASSERT_EQ(Finish(), 0) << m_errors;
    EXPECT_EQ(m_module->FrameHashes(),
              (Hashes{HashOfFrameOf(2), HashOfFrameOf(3), HashOfFrameOf(4)}));
    EXPECT_TRUE(Said("4 sent, 0 dropped") && Said("1 reconnected")) << m_errors;
    // The new module is found from its power-up speed.
    EXPECT_NE(m_errors.find("baudrate 2400...", m_errors.find("waiting up to")), std::string::npos);
}

// With drops allowed, what was not sent counts as dropped, and the newest frame still comes.
TEST_F(LcdctlTest, AStreamThatDropsCountsEveryFrameItDidNotSend) {
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--reconnect"}));
    for (std::uint8_t byte = 2; byte <= 4; ++byte) Feed(GrayFrameFor(byte));
    ASSERT_TRUE(WaitForError("waiting up to 30 s"));
    PlugIn();
    ASSERT_EQ(Finish(), 0) << m_errors;
    const int received = m_module->FramesReceived();
    ASSERT_GE(received, 1);
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 4));
    EXPECT_TRUE(
        Said(std::to_string(1 + received) + " sent, " + std::to_string(3 - received) + " dropped"))
        << m_errors;
}

TEST_F(LcdctlTest, APortThatStaysAwayEndsTheWaitAtItsDeadlineOrAtCtrlC) {
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--reconnect=1"}));
    Feed(GrayFrameFor(2));
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(Said("lcdctl: the link did not come back within 1 s")) << m_errors;

    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--reconnect=600"}));
    Feed(GrayFrameFor(2));
    ASSERT_TRUE(WaitForError("waiting up to 600 s"));
    ::kill(static_cast<pid_t>(m_lcdctl.processId()), SIGINT);
    EXPECT_EQ(Finish(), 130);
}

// A single picture that the lost link cut off in the middle goes again, whole, to the
// module that comes back.
TEST_F(LcdctlTest, SendWithReconnectSendsThePictureAgainOnceThePortIsBack) {
    const std::string picture = Scratch("stripes.pgm");
    std::ofstream(picture, std::ios::binary) << "P5\n480 480\n255\n" + GrayFrameFor(15);
    PlugIn(5000);  // gone in the middle of the payload
    Run({"send", QString::fromStdString(picture), "--fit", "none", "--threshold", "128",
         "--reconnect=20"});
    ASSERT_TRUE(WaitForError("waiting up to 20 s"));
    EXPECT_EQ(m_module->FramesReceived(), 0);
    m_module.reset();
    PlugIn();
    ASSERT_EQ(Finish(), 0) << m_errors;
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 15));
}

}  // namespace
