// The real panel on a real X display, driven as a person would: clicks and typing through
// xdotool, pictures copied by another program. The simulated module, in this process,
// reports what reached it. The cases run in order, on one panel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <random>

#include "desktop_session.h"
#include "sim/module_sim.h"
#include "test_pictures.h"

namespace {

using namespace std::chrono_literals;
using testing_support::DesktopSession;
using testing_support::ExpectedFrame;
using testing_support::RandomPicture;
using testing_support::WaitUntil;

// Where the layout puts the controls, in the window's client area.
const QPoint kOpenButton(22 + 288 + 28, 8 + 21 + 12);
const QPoint kWhiteColour(22 + 8 + 7 * 35 + 15, 111 + 27);
const QPoint kSendPicture(390 + 24 + 32, 8 + 64 + 12);
const QPoint kClipboardMonitor(390 + 22 + 8, 8 + 16 + 8);
const QPoint kPortField(22 + 50 + 25, 8 + 23 + 10);
const QRect kImage1(23, 156, 480, 480);
const QRect kImage2(562, 161, 240, 240);
const QRgb kMoneyGreen = qRgb(192, 220, 192);

class PanelDesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_desktop = new DesktopSession;
        if (!s_desktop->Problem().empty()) {
            return;
        }
        s_folder = new QTemporaryDir;
        QFile::copy(QString(PANEL_DEMO_DIR) + "/demo480x480-4.jpg",
                    s_folder->filePath("demo480x480-4.jpg"));
        s_module = new sim::PtyModule({});
        s_module->Start();
        s_desktop->Start(PANEL_BINARY, {"--port", "COM7"}, s_folder->path(),
                         s_folder->filePath("panel.log"));
        s_window = s_desktop->FindWindow("lcdpanel");
    }
    static void TearDownTestSuite() {
        delete s_desktop;  // ends the panel first
        delete s_module;
        delete s_folder;
    }
    void SetUp() override {
        if (!s_desktop->Problem().empty()) {
            GTEST_SKIP() << s_desktop->Problem();
        }
        ASSERT_FALSE(s_window.isEmpty()) << "the panel's window never appeared on "
                                         << s_desktop->Display().toStdString() << "; it printed:\n"
                                         << PanelOutput();
    }
    static std::string PanelOutput() {
        QFile log(s_folder->filePath("panel.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : "(nothing)";
    }
    void Click(QPoint at) { s_desktop->Click(s_window, at.x(), at.y()); }
    QString Scratch(const QString& name) { return s_folder->filePath(name); }
    std::vector<std::string> ModuleLines() { return s_module->ReceivedLines(); }
    bool ModuleGot(const std::string& line) {
        const auto lines = ModuleLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    static DesktopSession* s_desktop;
    static QTemporaryDir* s_folder;
    static sim::PtyModule* s_module;
    static QString s_window;
};

DesktopSession* PanelDesktopTest::s_desktop = nullptr;
QTemporaryDir* PanelDesktopTest::s_folder = nullptr;
sim::PtyModule* PanelDesktopTest::s_module = nullptr;
QString PanelDesktopTest::s_window;

TEST_F(PanelDesktopTest, TypedPortAndOpenButtonBringTheLinkUp) {
    // Into the port field (which rescans the ports), select what is there, type the
    // module's device.
    Click(kPortField);
    s_desktop->Key("ctrl+a");
    s_desktop->Type(QString::fromStdString(s_module->SlavePath()));
    Click(kOpenButton);
    ASSERT_TRUE(
        WaitUntil([&] { return s_module->Baud() == 921600 && ModuleLines().size() >= 3; }, 10s));
    std::vector<std::pair<int, std::string>> hellos;
    for (const sim::TranscriptEntry& e : s_module->Transcript())
        if (e.from == sim::TranscriptEntry::From::Host)
            hellos.emplace_back(e.baud, e.bytes);
    EXPECT_EQ(hellos, (std::vector<std::pair<int, std::string>>{
                          {2400, "hello, please set baudrate to: 0\n"},
                          {2400, "hello, please set baudrate to: 921600\n"},
                          {921600, "hello, please set baudrate to: 0\n"}}));
}

TEST_F(PanelDesktopTest, WhiteSendsColourSeven) {
    Click(kWhiteColour);
    EXPECT_TRUE(WaitUntil([&] { return ModuleGot("set color to: 7"); }, 5s));
}

TEST_F(PanelDesktopTest, WindowShowsTheDemoPictureAndItsPreview) {
    const int frames = s_module->FramesReceived();
    Click(kSendPicture);
    ASSERT_TRUE(s_module->WaitForFrames(frames + 1, 10s));
    QThread::msleep(300);  // the window repaints once the action is over
    const QImage shot = s_desktop->Screenshot(s_window, Scratch("window.png"));
    ASSERT_EQ(shot.size(), QSize(830, 640));
    EXPECT_EQ(shot.pixel(10, 630), kMoneyGreen);
    EXPECT_EQ(shot.pixel(540, 300), kMoneyGreen);

    // Image1 shows the demo picture 1:1 from its top-left corner.
    const QImage demo = QImage(QString(PANEL_DEMO_DIR) + "/demo480x480-4.jpg")
                            .convertToFormat(QImage::Format_RGB32);
    long long difference = 0;
    for (int y = 0; y < 480; y += 3)
        for (int x = 0; x < 480; x += 3) {
            const QRgb a = shot.pixel(kImage1.x() + x, kImage1.y() + y), b = demo.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LT(difference / (160 * 160 * 3), 4) << "mean difference per channel";

    // Image2 holds the black-and-white preview, at half size.
    int black = 0, white = 0;
    for (int y = 0; y < kImage2.height(); ++y)
        for (int x = 0; x < kImage2.width(); ++x) {
            const QRgb c = shot.pixel(kImage2.x() + x, kImage2.y() + y);
            black += c == qRgb(0, 0, 0);
            white += c == qRgb(255, 255, 255);
        }
    EXPECT_EQ(black + white, 240 * 240);
    EXPECT_GT(black, 240 * 240 / 10);
    EXPECT_GT(white, 240 * 240 / 10);
}

TEST_F(PanelDesktopTest, CopiedPictureReachesTheModuleAndLeavesTheClipboardEmpty) {
    const QImage picture = RandomPicture(480, 480, 11);
    const int frames = s_module->FramesReceived();
    s_desktop->OfferPicture(picture, Scratch("square.png"));
    ASSERT_TRUE(s_module->WaitForFrames(frames + 1, 5s));
    EXPECT_EQ(s_module->LastFrame(), ExpectedFrame(picture));
    EXPECT_TRUE(
        WaitUntil([&] { return !s_desktop->ClipboardTargets().contains("image/png"); }, 3s));
}

TEST_F(PanelDesktopTest, WidePictureWithScalingArrivesAsItsLeftHalf) {
    const QImage wide = RandomPicture(960, 480, 12);
    const int frames = s_module->FramesReceived();
    s_desktop->OfferPicture(wide, Scratch("wide.png"));
    ASSERT_TRUE(s_module->WaitForFrames(frames + 1, 5s));
    EXPECT_EQ(s_module->LastFrame(), ExpectedFrame(wide));
}

TEST_F(PanelDesktopTest, UncheckedMonitorTakesNothing) {
    Click(kClipboardMonitor);
    QThread::msleep(200);
    const int frames = s_module->FramesReceived();
    s_desktop->OfferPicture(RandomPicture(480, 480, 13), Scratch("ignored.png"));
    QThread::msleep(2500);  // more than two of the monitor's ticks
    EXPECT_EQ(s_module->FramesReceived(), frames);
    EXPECT_TRUE(s_desktop->ClipboardTargets().contains("image/png"));
}

TEST_F(PanelDesktopTest, HugePictureIsRefusedOnceAndThePanelCarriesOn) {
    const int frames = s_module->FramesReceived();
    Click(kClipboardMonitor);  // on again: the picture left from before is taken now
    ASSERT_TRUE(s_module->WaitForFrames(frames + 1, 5s));
    QImage huge(20000, 20000, QImage::Format_Mono);
    huge.fill(1);
    s_desktop->OfferPicture(huge, Scratch("huge.png"));
    QThread::msleep(3500);  // three ticks: one refusal, no repeats
    const testing_support::CommandResult windows = testing_support::RunCommand(
        "xdotool", {"search", "--onlyvisible", "--name", "Velnor"}, s_desktop->Display());
    EXPECT_EQ(QString::fromStdString(windows.output).split('\n', Qt::SkipEmptyParts).size(), 2)
        << "the window and one message box";
    EXPECT_TRUE(s_desktop->ClipboardTargets().contains("image/png")) << "left to its owner";
    s_desktop->Key("Return");  // close the box; the panel goes on
    Click(kSendPicture);
    EXPECT_TRUE(s_module->WaitForFrames(frames + 2, 5s));
}

}  // namespace
