// The panel's behaviour through a fake view, against the simulated module: the link, the
// commands, the patterns, the threshold, the clipboard and picture files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/panel.h"
#include "imaging/dither.h"
#include "imaging/jpeg_image.h"
#include "pictures/picture_files.h"
#include "sim/module_sim.h"
#include "support/fake_view.h"
#include "support/listed_module.h"
#include "support/test_pictures.h"

namespace {

using imaging::Bitmap;
using panel::Choice;
using panel::Switch;
using testing_support::ExpectedFrame;
using testing_support::FrameBit;
using testing_support::kFrameBytes;
using testing_support::PlainPicture;
using testing_support::RandomPicture;
using Frame = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// A picture file the platform's readers take: binary PPM.
void WritePpm(const fs::path& path, const Bitmap& picture) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.Width() << ' ' << picture.Height() << "\n255\n";
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint8_t* p = picture.Row(y) + 3 * x;
            out.put(static_cast<char>(p[2]))
                .put(static_cast<char>(p[1]))
                .put(static_cast<char>(p[0]));
        }
}

// The red, green, blue of a 24-bit pixel.
std::tuple<int, int, int> Rgb(const Bitmap& picture, int x, int y) {
    const std::uint8_t* p = picture.Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

class PanelTest : public ::testing::Test {
protected:
    void StartModule() { m_module = testing_support::StartListedModule(m_platform); }
    void Show() {
        m_panel.Run([this] { m_panel.FormShow(); });
    }
    void Connect() {
        Show();
        m_panel.Button2Click();
        ASSERT_TRUE(m_panel.Link().IsOpen()) << ::testing::PrintToString(m_view.log);
    }
    void WaitForFrames(int count) {
        ASSERT_TRUE(m_module->WaitForFrames(count, std::chrono::seconds(5)));
    }
    std::vector<std::string> ModuleLines() const { return m_module->ReceivedLines(); }
    const Bitmap& Source() { return m_view.source->DrawingBitmap(); }
    void Take(Bitmap picture) {
        m_clipboard.Offer(std::move(picture));
        m_panel.Run([this] { m_panel.Timer1Timer(); });
    }
    fs::path Scratch(const std::string& name) {
        fs::create_directories(m_scratch);
        return m_scratch / name;
    }
    void TearDown() override { fs::remove_all(m_scratch); }

    testing_support::ListedPortsPlatform m_platform;
    testing_support::FakeView m_view;
    testing_support::FakeClipboard m_clipboard;
    panel::Panel m_panel{m_view, m_platform, m_clipboard};
    std::unique_ptr<sim::PtyModule> m_module;
    const fs::path m_scratch =
        fs::temp_directory_path() / ("panel_test_" + std::to_string(getpid()));
};

TEST_F(PanelTest, ScanSelectsTheHighestPortAndLeavesTheConnectedOneOut) {
    StartModule();
    sim::PtyModule other({});
    m_platform.ports.push_back(other.SlavePath());
    Show();
    EXPECT_EQ(m_view.ports.size(), 2u);
    EXPECT_TRUE(m_view.selected_port == 1 && m_view.open_enabled);

    m_view.SelectPort(0);
    m_panel.Button2Click();
    ASSERT_TRUE(m_panel.Link().IsOpen());
    m_panel.ComboBox1Enter();  // rescanning while the link is up: the held port is gone
    EXPECT_EQ(m_view.ports, std::vector<std::string>{other.SlavePath()});
    EXPECT_TRUE(m_panel.Link().IsOpen());

    m_platform.ports.clear();
    m_view.open_enabled = false;
    m_panel.ComboBox1Enter();  // an empty scan enables nothing
    m_panel.ComboBox1Click();  // nor does a click with nothing chosen
    EXPECT_FALSE(m_view.open_enabled);
    m_view.ports = {"ttyUSB0"};
    m_view.SelectPort(0);
    m_panel.ComboBox1Click();
    EXPECT_TRUE(m_view.open_enabled);

    m_panel.ApplyPortArgument("ttyACM3");
    EXPECT_TRUE(m_view.port_text == "ttyACM3" && m_view.open_focused);
}

// A name the operator typed or started with stays listed and chosen through rescans, so a
// scan never swaps in a port nobody chose; picking a scanned entry hands the choice back.
TEST_F(PanelTest, NamedPortOutlivesARescanAndTypingANameEnablesOpen) {
    Show();  // nothing to list
    m_panel.ComboBox1Change("");
    EXPECT_FALSE(m_view.open_enabled);
    m_panel.ComboBox1Change("COM123");
    EXPECT_TRUE(m_view.open_enabled);

    StartModule();
    const std::string scanned = m_module->SlavePath();
    m_panel.ApplyPortArgument("/dev/pts/77");
    EXPECT_EQ(m_view.ports, (std::vector<std::string>{"/dev/pts/77"}));
    m_panel.ComboBox1Enter();
    EXPECT_EQ(m_view.ports, (std::vector<std::string>{scanned, "/dev/pts/77"}));
    EXPECT_EQ(m_view.port_text, "/dev/pts/77");
    m_view.SelectPort(0);
    m_panel.ComboBox1Click();
    m_panel.ComboBox1Enter();
    EXPECT_EQ(m_view.port_text, scanned);
    EXPECT_EQ(m_view.ports.size(), 2u);
    m_view.SelectPort(1);
    m_panel.ComboBox1Click();
    m_panel.ComboBox1Enter();
    EXPECT_EQ(m_view.port_text, "/dev/pts/77");
}

// The speed is the selector's text, typed or picked: only an empty one asks for a speed, and
// one that is no number fails at its conversion, once the module is found; the panel goes on.
// An unlisted speed comes last: no probe finds the module there.
TEST_F(PanelTest, OpenButtonTakesTheSpeedTextAndAsksOnlyForAnEmptyOne) {
    StartModule();
    Show();
    const struct {
        std::string text, message, error, last_line;
    } cases[] = {
        {"", "请选择波特率！", "", ""},
        {"fast", "", "'fast' is not a valid integer value", "yes, current baudrate is: 2400"},
        {"115200", "", "", "初始化成功，双方的当前波特率：115200"},
        {"1000000", "", "", "初始化成功，双方的当前波特率：1000000"},
    };
    for (const auto& c : cases) {
        m_view.log.clear(), m_view.messages.clear(), m_view.errors.clear();
        m_view.speed = c.text;
        m_panel.Run([this] { m_panel.Button2Click(); });
        EXPECT_EQ(m_view.messages.empty() ? "" : m_view.messages[0], c.message) << c.text;
        EXPECT_EQ(m_view.errors.empty() ? "" : m_view.errors[0], c.error) << c.text;
        EXPECT_EQ(m_view.log.empty() ? "" : m_view.log.back(), c.last_line) << c.text;
        EXPECT_EQ(ModuleLines().empty(), c.text.empty()) << c.text;
    }
}

TEST_F(PanelTest, RadioChoicesSendTheirIndexAndNoChoiceSendsNothing) {
    StartModule();
    Connect();
    m_panel.RadioGroup1Click();  // nothing chosen yet
    m_view.Choose(Choice::Color, 7);
    m_panel.RadioGroup2Click();
    m_view.Choose(Choice::LcdModel, 0);
    m_panel.RadioGroup3Click();
    m_view.Choose(Choice::Brightness, 2);
    m_panel.RadioGroup1Click();
    const auto lines = ModuleLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
              (std::vector<std::string>{"set color to: 7", "set LCD model to: 0",
                                        "set brightness to: 2"}));
}

TEST_F(PanelTest, EachPatternReachesTheModuleAndBothPictures) {
    StartModule();
    Connect();
    const std::pair<void (panel::Panel::*)(), std::uint8_t> patterns[] = {
        {&panel::Panel::Button3Click, 0x0F},
        {&panel::Panel::Button5Click, 0xFE},
        {&panel::Panel::Button6Click, 0xFF},
        {&panel::Panel::Button7Click, 0x00}};
    int frames = 0;
    for (const auto& [button, fill] : patterns) {
        SCOPED_TRACE(int{fill});
        (m_panel.*button)();
        WaitForFrames(++frames);
        const Frame pattern(kFrameBytes, fill);
        EXPECT_EQ(m_module->LastFrame(), pattern);
        EXPECT_EQ(m_panel.LastFrame(), pattern);
        // Image1 takes the pattern at full size; the preview is at half.
        ASSERT_EQ(std::tuple(Source().Width(), Source().Format(), m_view.preview->Width()),
                  std::tuple(480, imaging::PixelFormat::Indexed8, 240));
        for (int x = 0; x < 8; ++x)  // the fill's bits, leftmost pixel first
            EXPECT_EQ(Source().Row(479)[472 + x], FrameBit(pattern, 472 + x, 479) ? 255 : 0) << x;
    }
    // Sent back as a picture with the automatic threshold, a pattern comes back unchanged.
    m_panel.Button5Click();
    m_panel.Button1Click();
    WaitForFrames(frames + 2);
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 0xFE));
}

TEST_F(PanelTest, WithoutAPortNothingIsSentAndNoPictureChanges) {
    StartModule();
    Show();
    const imaging::TGraphic* demo = m_view.source;
    m_view.Choose(Choice::Brightness, 1);
    for (auto action : {&panel::Panel::Button3Click, &panel::Panel::Button7Click,
                        &panel::Panel::Button1Click, &panel::Panel::RadioGroup1Click})
        (m_panel.*action)();
    EXPECT_TRUE(m_view.source == demo && m_view.preview == nullptr && !m_panel.HasPreview());
    EXPECT_EQ(m_view.log, std::vector<std::string>(4, "错误：串口未打开。"));
    EXPECT_TRUE(m_module->Transcript().empty());
}

TEST_F(PanelTest, SliderThresholdAppliesOnlyWhileShown) {
    m_view.Check(Switch::AutoSend, false);
    Take(PlainPicture(480, 480, 130, 130, 130));
    EXPECT_EQ(m_panel.Threshold(), 0);
    m_view.Check(Switch::AutoThreshold, false);
    m_panel.CheckBox4Click();
    EXPECT_TRUE(m_view.slider_shown);
    m_panel.Button4Click();  // 130 > 128: all light, no mean logged
    EXPECT_EQ(m_panel.LastFrame(), Frame(kFrameBytes, 0xFF));
    EXPECT_TRUE(m_view.log.empty());

    m_view.slider = 0;  // the slider at 0 means automatic
    m_panel.Button4Click();
    EXPECT_EQ(m_view.log, std::vector<std::string>{"平均灰度：50%"});
    EXPECT_EQ(m_panel.LastFrame(), Frame(kFrameBytes, 0));
    m_view.slider = 200;
    m_view.Check(Switch::AutoThreshold, true);
    m_panel.CheckBox4Click();
    EXPECT_TRUE(!m_view.slider_shown && m_panel.Threshold() == 0);
}

// The working folder the panel looks for its demo picture in, for one test.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : m_previous(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(m_previous); }

private:
    fs::path m_previous;
};

// The demo picture is looked for in the working folder, then beside the program, then in an
// installed panel's own folder; what is found there, or that nothing is, shows.
TEST_F(PanelTest, DemoPictureIsTakenFromItsFoldersInOrderOrItsProblemShown) {
    const fs::path demo = fs::current_path() / panel::Panel::kDemoPicture;
    const fs::path data(JPEG_TEST_DATA_DIR);
    for (const char* folder : {"work", "bin"}) fs::create_directories(Scratch(folder));
    const InFolder here(Scratch("work"));
    const std::string looked_in =
        "找不到演示图片“demo480x480-4.jpg”，已查找：" + Scratch("work").string();
    const struct {
        std::vector<std::pair<const char*, fs::path>> copies;  // folder, file copied there
        const char* program_folder;
        int width;          // of the picture shown; -1 for none
        std::string error;  // how the one error shown begins
    } cases[] = {
        {{{"portable", demo}}, "portable", 480, ""},
        {{{"share/lcdpanel", demo}}, "bin", 480, ""},
        {{{"work", data / "baseline_small.jpg"}, {"portable", demo}}, "portable", 101, ""},
        {{}, "", -1, looked_in},
        {{},
         "bin",
         -1,
         looked_in + "、" + Scratch("bin").string() + "、" +
             (Scratch("bin") / ".." / "share" / "lcdpanel").string()},
        // No JPEG at all: the file is named beside libjpeg's code.
        {{{"work", data / "baseline_small.bmp"}},
         "",
         -1,
         "无法读取图片“demo480x480-4.jpg”：JPEG error #"},
    };
    for (const auto& start : cases) {
        SCOPED_TRACE(start.program_folder + (" " + start.error));
        for (const auto& [folder, file] : start.copies) {
            fs::create_directories(Scratch(folder));
            fs::copy_file(file, Scratch(folder) / panel::Panel::kDemoPicture);
        }
        testing_support::FakeView view;
        const fs::path program = *start.program_folder ? Scratch(start.program_folder) : "";
        panel::Panel panel(view, m_platform, m_clipboard, {{}, program});
        panel.Run([&panel] { panel.FormShow(); });
        EXPECT_EQ(view.source != nullptr ? view.source->Width() : -1, start.width);
        ASSERT_EQ(view.errors.size(), start.error.empty() ? 0u : 1u);
        if (!start.error.empty()) {
            EXPECT_EQ(view.errors[0].rfind(start.error, 0), 0u) << view.errors[0];
        }
        for (const auto& [folder, file] : start.copies)
            fs::remove(Scratch(folder) / panel::Panel::kDemoPicture);
    }
}

// The demo picture decodes when first used: one whose pixels fail ends the send after the
// header's reply; with none, the picture is empty and extends to white.
TEST_F(PanelTest, DemoPictureDecodesOnFirstUseAndItsFailureEndsOnlyItsAction) {
    const InFolder here(Scratch(""));
    Show();
    EXPECT_EQ(m_view.source, nullptr);
    m_panel.Button4Click();
    EXPECT_EQ(m_view.log, std::vector<std::string>{"平均灰度：100%"});

    fs::copy_file(fs::path(JPEG_TEST_DATA_DIR) / "bad_progression.jpg", "demo480x480-4.jpg");
    StartModule();
    Connect();
    EXPECT_NE(dynamic_cast<imaging::TJPEGImage*>(m_view.source), nullptr);
    m_view.errors.clear();
    const Frame white = m_panel.LastFrame();
    m_panel.Run([this] { m_panel.Button1Click(); });
    ASSERT_EQ(m_view.errors.size(), 1u);
    EXPECT_NE(m_view.errors[0].find("JPEG"), std::string::npos);
    EXPECT_EQ(ModuleLines().back(), "pixels: 0,0,480,480");
    EXPECT_EQ(m_module->FramesReceived(), 0);
    EXPECT_EQ(m_panel.LastFrame(), white);  // the preview stays as it was
}

TEST_F(PanelTest, ClipboardScalingCropsTheTopLeftSquareAndStretchesIt) {
    Show();
    m_view.Check(Switch::AutoSend, false);
    // The square crop keeps the top-left corner: its left quarter (red) fills the left
    // quarter of Image1; a squeeze or a centred crop would not.
    for (const auto& [width, height] :
         {std::pair(200, 100), std::pair(100, 200), std::pair(1000, 2000)}) {
        SCOPED_TRACE(::testing::Message() << width << "x" << height);
        const int side = std::min(width, height);
        Bitmap picture = PlainPicture(width, height, 0, 0, 255);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side / 2; ++x)
                picture.Row(y)[3 * x + 2] = 255, picture.Row(y)[3 * x] = 0;
        Take(picture);
        EXPECT_FALSE(m_clipboard.HasBitmap());  // taken once: the clipboard is empty
        EXPECT_EQ(Rgb(Source(), 100, 470), std::tuple(255, 0, 0));
        EXPECT_EQ(Rgb(Source(), 380, 470), std::tuple(0, 0, 255));
    }
    m_view.Check(Switch::ScalePictures, false);  // 1:1 from the top-left on white
    Take(PlainPicture(100, 50, 0, 0, 255));
    EXPECT_EQ(Rgb(Source(), 99, 49), std::tuple(0, 0, 255));
    EXPECT_EQ(Rgb(Source(), 100, 49), std::tuple(255, 255, 255));
    EXPECT_EQ(Rgb(Source(), 99, 50), std::tuple(255, 255, 255));
}

TEST_F(PanelTest, ClipboardPictureIsSentOnlyWithAutoSendAndOnlyWhileMonitored) {
    StartModule();
    Connect();
    const Bitmap wide = RandomPicture(960, 480, 7);
    Take(wide);
    WaitForFrames(1);
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(wide));  // the left square, 1:1

    m_view.Check(Switch::AutoSend, false);
    Take(RandomPicture(480, 480, 8));
    EXPECT_EQ(m_clipboard.emptied, 2);
    m_view.Check(Switch::ClipboardMonitor, false);
    const imaging::TGraphic* before = m_view.source;
    Take(RandomPicture(10, 10, 9));
    EXPECT_TRUE(m_clipboard.HasBitmap() && m_view.source == before);
    EXPECT_EQ(m_module->FramesReceived(), 1);
}

TEST_F(PanelTest, UnreadableClipboardPictureIsReportedOnceAndChangesNothing) {
    Show();
    const imaging::TGraphic* demo = m_view.source;
    m_clipboard.Offer(RandomPicture(10, 10, 1), false);
    for (int tick = 0; tick < 3; ++tick) m_panel.Run([this] { m_panel.Timer1Timer(); });
    EXPECT_EQ(m_view.errors, std::vector<std::string>{"无法读取剪贴板中的图片：不是图片"});
    EXPECT_TRUE(m_view.source == demo && m_clipboard.emptied == 0);
}

TEST_F(PanelTest, DroppedFilesArriveAsTheirFramesScaledAndOneToOne) {
    StartModule();
    Connect();
    const Bitmap wide = RandomPicture(960, 480, 21);
    WritePpm(Scratch("wide.ppm"), wide);
    m_panel.OpenPictureFile(Scratch("wide.ppm"));  // scaled: the left square, 1:1 here
    WaitForFrames(1);
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(wide));

    m_view.Check(Switch::ScalePictures, false);
    const fs::path jpeg = fs::path(JPEG_TEST_DATA_DIR) / "color_480.jpg";
    m_panel.OpenPictureFile(jpeg);
    WaitForFrames(2);
    imaging::TJPEGImage decoded;
    decoded.LoadFromFile(jpeg);
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(decoded.DecodeBitmap()));
}

TEST_F(PanelTest, PictureNamedAtStartReplacesTheDemoPictureAndIsNotSent) {
    StartModule();
    const Bitmap wide = RandomPicture(960, 480, 24);
    WritePpm(Scratch("start.ppm"), wide);
    panel::Panel started(m_view, m_platform, m_clipboard, {Scratch("start.ppm"), {}});
    started.FormShow();
    started.Button2Click();
    EXPECT_EQ(dynamic_cast<imaging::TJPEGImage*>(m_view.source), nullptr);
    EXPECT_EQ(m_module->FramesReceived(), 0);
    started.Button1Click();
    WaitForFrames(1);
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(wide));  // scaled: the left square
}

TEST_F(PanelTest, FileThatCannotBeReadIsNamedWithItsReasonAndChangesNothing) {
    StartModule();
    Connect();
    std::ofstream(Scratch("notes.png")) << "not a picture";
    const imaging::TGraphic* demo = m_view.source;
    for (const char* name : {"notes.png", "missing.jpg"})
        m_panel.Run([&] { m_panel.OpenPictureFile(Scratch(name)); });
    const std::string named = "无法读取图片“" + Scratch("").string();
    EXPECT_EQ(m_view.errors, (std::vector<std::string>{named + "notes.png”：不是图片",
                                                       named + "missing.jpg”：文件不存在"}));
    EXPECT_EQ(m_view.source, demo);
    EXPECT_EQ(m_module->FramesReceived(), 0);
}

TEST_F(PanelTest, BinarizationChoiceReachesTheFrameAndThresholdStaysAsItWas) {
    m_view.Check(Switch::AutoSend, false);
    const Bitmap picture = RandomPicture(480, 480, 22);
    Take(picture);
    for (const auto method : {std::optional(imaging::DitherMethod::Atkinson),
                              std::optional(imaging::DitherMethod::Bayer8),
                              std::optional(imaging::DitherMethod::FloydSteinberg),
                              std::optional<imaging::DitherMethod>()}) {
        m_panel.SetDither(method);
        m_view.log.clear();
        m_panel.Button4Click();
        Frame expected(kFrameBytes);
        if (method) {
            imaging::Dither(picture, expected, *method);
            EXPECT_TRUE(m_view.log.empty());
        } else {
            expected = ExpectedFrame(picture);
            EXPECT_EQ(m_view.log.size(), 1u);
        }
        EXPECT_EQ(m_panel.LastFrame(), expected);
    }
}

TEST_F(PanelTest, SavedPreviewIsTheFrameAndSavedLogIsItsText) {
    m_panel.Button3Click();  // no port: the log holds the error, no preview yet
    m_panel.Run([this] { m_panel.SavePreview(Scratch("none.png")); });  // refused: see below
    m_view.Check(Switch::AutoSend, false);
    Take(RandomPicture(480, 480, 23));
    m_panel.Button4Click();
    m_panel.SavePreview(Scratch("preview.png"));
    const Bitmap saved = pictures::LoadPictureFile(Scratch("preview.png"));
    ASSERT_EQ(std::tuple(saved.Width(), saved.Height()), std::tuple(480, 480));
    const Frame shown = testing_support::PackFrame([&](int x, int y) {
        const std::uint8_t* p = saved.Row(y) + saved.BytesPerPixel() * x;
        return saved.Format() == imaging::PixelFormat::Indexed8 ? saved.Palette()[*p].red == 255
                                                                : p[0] == 255;
    });
    EXPECT_EQ(shown, m_panel.LastFrame());

    m_view.chosen_file = Scratch("log.txt");
    m_panel.ChooseAndSaveLog();
    std::ifstream text(Scratch("log.txt"), std::ios::binary);
    EXPECT_EQ(m_view.log.at(0), "错误：串口未打开。");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}),
              m_view.log[0] + "\n" + m_view.log.at(1));
    // Refused, or failing, with the reason in the window's words.
    m_panel.Run([this] { m_panel.SavePreview(Scratch("")); });
    m_panel.Run([this] { m_panel.SaveLog(Scratch("no/such/folder/log.txt")); });
    EXPECT_EQ(m_view.errors,
              (std::vector<std::string>{"还没有可保存的预览。",
                                        "无法保存“" + Scratch("").string() + "”：不是普通文件",
                                        "无法保存“" + Scratch("no/such/folder/log.txt").string() +
                                            "”：No such file or directory"}));
}

TEST(ActivityLogTest, RepliesKeepInnerLineFeedsAndOldestLinesGoPastTheLimits) {
    testing_support::FakeView view;
    panel::ActivityLog log(view);
    log.LogLine("baudrate 2400...");
    log.LogReply("first\nsecond\n");
    log.LogReply("");
    log.LogLine("错误：串口未打开。");
    EXPECT_EQ(log.Text(), "baudrate 2400...\nfirst\nsecond\n\n错误：串口未打开。");
    EXPECT_EQ(view.log.size(), 5u);

    for (std::size_t i = 0; i < panel::ActivityLog::kMaxLines; ++i) log.LogLine(std::to_string(i));
    EXPECT_EQ(view.log.size(), panel::ActivityLog::kMaxLines);
    EXPECT_EQ(view.log.front(), "0");     // the view drops what the log dropped
    const std::string flood(28799, 'x');  // what a flooding module's reply fills
    for (int i = 0; i < 200; ++i) log.LogReply(flood);
    log.LogLine("last");
    const std::size_t size = log.Text().size();
    EXPECT_TRUE(size <= panel::ActivityLog::kMaxBytes &&
                size > panel::ActivityLog::kMaxBytes - 30000);
    EXPECT_TRUE(view.log.back() == "last" && view.log.front() == flood);
}

}  // namespace
