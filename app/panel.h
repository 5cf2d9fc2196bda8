#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/activity_log.h"
#include "app/clipboard.h"
#include "app/frame_actions.h"
#include "app/panel_view.h"
#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "serial/serial_link.h"

namespace panel {

// The module's setting whose value each radio group chooses; its items are the setting's
// choices, in order.
constexpr const protocol::ModuleSetting& SettingChosenBy(Choice group) {
    switch (group) {
        case Choice::Color:
            return protocol::SettingNamed("color");
        case Choice::Brightness:
            return protocol::SettingNamed("brightness");
        case Choice::LcdModel:
            break;
    }
    return protocol::SettingNamed("model");
}

// Where the panel finds its start picture.
struct StartPicture {
    // A picture file named at start, shown in place of the demo picture; empty for none.
    std::filesystem::path file;
    // The folder the program runs from: an installed panel's demo picture lies in
    // ../share/lcdpanel beside it.
    std::filesystem::path program_folder;
};

// The panel's behaviour, whatever window shows it: each event of the window runs one of
// these handlers, by the control's numbered name. The panel owns its state (the link, the
// source picture, the last frame, the threshold mode, the binarization) and reaches the
// controls only through its view.
class Panel {
public:
    // The demo picture, looked up in the working directory.
    static constexpr char kDemoPicture[] = "demo480x480-4.jpg";

    Panel(PanelView& view, serial::SerialPlatform& platform, Clipboard& clipboard,
          StartPicture start = {});

    // Runs an event's work so that its error is shown and the event loop goes on. An error
    // that is no std::exception is shown with an empty message.
    template <typename Handler>
    void Run(Handler&& handler) noexcept;

    // The window's events.
    void FormShow();
    void ComboBox1Enter();
    void ComboBox1Click();
    // The operator typed into the port selector: a name of their own.
    void ComboBox1Change(const std::string& text);
    void Button2Click();
    void RadioGroup3Click() { SendChoice(Choice::LcdModel); }
    void RadioGroup1Click() { SendChoice(Choice::Brightness); }
    void RadioGroup2Click() { SendChoice(Choice::Color); }
    void Button1Click();
    void Button4Click();
    void Button3Click() { SendFill(protocol::PatternFill("stripes")); }
    void Button5Click() { SendFill(protocol::PatternFill("lines")); }
    void Button6Click() { SendFill(protocol::PatternFill("solid")); }
    void Button7Click() { SendFill(protocol::PatternFill("clear")); }
    void CheckBox4Click();
    void Timer1Timer();

    // Puts a port name into the port selector as if typed, ready for the open button.
    void ApplyPortArgument(const std::string& name);
    // What the port selector shows before any port is listed.
    std::string PortPlaceholder() const { return m_platform.PortNamePrefix(); }

    // Beyond the layout: pictures from files, a choice of binarization, saved previews and
    // logs. A dropped or opened file is sent on when auto-send is on; a file that cannot
    // be read changes nothing.
    void OpenPictureFile(const std::filesystem::path& path);
    void ChooseAndOpenPicture();
    void SavePreview(const std::filesystem::path& path);
    void ChooseAndSavePreview();
    void SaveLog(const std::filesystem::path& path);
    void ChooseAndSaveLog();
    void SetDither(std::optional<imaging::DitherMethod> dither) { m_dither = dither; }
    std::optional<imaging::DitherMethod> Dither() const { return m_dither; }

    // The slider's level while manual, else 0 for the automatic threshold.
    int Threshold() const;
    imaging::Binarization CurrentBinarization() const { return {Threshold(), m_dither}; }
    // A frame has been binarized or sent, so there is a preview to save.
    bool HasPreview() const { return !m_frame.empty(); }
    // The last frame binarized or sent, 28,800 bytes, or empty.
    const std::vector<std::uint8_t>& LastFrame() const { return m_frame; }
    serial::SerialLink& Link() { return m_link; }

private:
    void ShowPortList(std::vector<std::string> scanned);
    void SendChoice(Choice group);
    void SendFill(std::uint8_t fill);
    void CopySourcePicture(imaging::Bitmap& target) const;
    void ShowFrame(std::span<const std::uint8_t> frame);
    void SetSourcePicture(std::unique_ptr<imaging::TGraphic> picture);
    void SetSourceBitmap(imaging::Bitmap picture);
    void LoadPicture(const std::filesystem::path& path, bool send);
    void LoadStartPicture();
    std::vector<std::filesystem::path> DemoPictureFolders() const;

    PanelView& m_view;
    serial::SerialPlatform& m_platform;
    Clipboard& m_clipboard;
    StartPicture m_start;
    ActivityLog m_log;
    serial::SerialLink m_link;
    protocol::LinkNegotiator m_negotiator;
    protocol::ModuleCommands m_commands;
    FrameActions m_frames;

    // The last scan, and a name the operator typed or started with. That name stays in the
    // list after each scan, and stays selected until the operator picks another entry, so
    // that a rescan never swaps it for a port nobody chose.
    std::vector<std::string> m_scanned_ports;
    std::vector<std::string> m_listed_ports;
    std::string m_named_port;
    bool m_named_port_chosen = false;

    std::unique_ptr<imaging::TGraphic> m_image1;
    imaging::Bitmap m_image2;
    std::vector<std::uint8_t> m_frame;
    bool m_manual_threshold = false;
    std::optional<imaging::DitherMethod> m_dither;
};

template <typename Handler>
void Panel::Run(Handler&& handler) noexcept {
    std::string message;
    try {
        std::forward<Handler>(handler)();
        return;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
    }
    m_view.ShowException(message);
}

}  // namespace panel
