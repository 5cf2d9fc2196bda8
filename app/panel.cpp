#include "app/panel.h"

#include <algorithm>

#include "imaging/screen_scaler.h"
#include "serial/port_scan.h"

namespace panel {

Panel::Panel(PanelView& view, serial::SerialPlatform& platform, Clipboard& clipboard,
             StartPicture start)
    : m_view(view),
      m_platform(platform),
      m_clipboard(clipboard),
      m_start(std::move(start)),
      m_log(view),
      m_link(platform, m_log),
      m_negotiator(m_link, m_log),
      m_commands(m_link, m_log),
      m_frames(m_commands, m_log) {}

void Panel::FormShow() {
    ComboBox1Enter();
    LoadStartPicture();
}

void Panel::ComboBox1Enter() {
    ShowPortList(serial::ScanPorts(m_platform));
}

// The scanned ports, then the operator's own name where the scan did not find it. The
// highest scanned port is selected, unless the operator's name is the one they chose.
void Panel::ShowPortList(std::vector<std::string> scanned) {
    m_scanned_ports = std::move(scanned);
    std::vector<std::string> names = m_scanned_ports;
    if (!m_named_port.empty() && std::ranges::find(names, m_named_port) == names.end()) {
        names.push_back(m_named_port);
    }
    m_view.SetPortList(names);
    m_listed_ports = names;
    if (m_named_port_chosen) {
        m_view.SelectPort(static_cast<int>(std::ranges::find(names, m_named_port) - names.begin()));
        m_view.EnableOpenButton();
    } else if (!m_scanned_ports.empty()) {
        m_view.SelectPort(static_cast<int>(m_scanned_ports.size()) - 1);
        m_view.EnableOpenButton();
    }
}

void Panel::ComboBox1Click() {
    const int picked = m_view.SelectedPort();
    if (picked >= 0) {
        m_named_port_chosen = !m_named_port.empty() &&
                              static_cast<std::size_t>(picked) < m_listed_ports.size() &&
                              m_listed_ports[static_cast<std::size_t>(picked)] == m_named_port;
        m_view.EnableOpenButton();
    }
}

// A typed name can be opened at once; an empty field enables nothing.
void Panel::ComboBox1Change(const std::string& text) {
    m_named_port = text;
    m_named_port_chosen = !text.empty();
    if (m_named_port_chosen) {
        m_view.EnableOpenButton();
    }
}

// The selector's text is the chosen speed, whether typed or picked, so that every window
// treats an edit alike: only an empty text is no choice, and one that is no number fails at
// its conversion.
void Panel::Button2Click() {
    const std::string speed = m_view.SpeedText();
    if (speed.empty()) {
        m_view.ShowMessage("请选择波特率！");
        return;
    }
    const std::string port = m_view.PortText();
    if (m_negotiator.Negotiate(port, speed) == protocol::NegotiationOutcome::ModuleNotFound &&
        m_negotiator.PortUnopenable()) {
        m_log.LogLine(serial::DescribeOpenFailure(m_platform.DevicePath(port),
                                                  *m_negotiator.PortUnopenable()));
    }
}

// A group's chosen item goes out as its index; a group with nothing chosen sends nothing.
void Panel::SendChoice(Choice group) {
    const int index = m_view.ChosenItem(group);
    if (index >= 0) {
        m_commands.SendCommand(SettingChosenBy(group).prefix, index);
    }
}

int Panel::Threshold() const {
    return m_manual_threshold ? m_view.ThresholdSliderPosition() : 0;
}

void Panel::CopySourcePicture(imaging::Bitmap& target) const {
    if (m_image1 != nullptr) {
        m_image1->AssignTo(target);
    }
}

// The frame becomes the preview, at half its size, and the frame a saved preview holds.
void Panel::ShowFrame(std::span<const std::uint8_t> frame) {
    m_frame.assign(frame.begin(), frame.end());
    m_image2 = imaging::HalfScalePreviewOf(frame);
    m_view.ShowPreview(&m_image2);
}

void Panel::Button1Click() {
    m_frames.SendPicture([this](imaging::Bitmap& target) { CopySourcePicture(target); },
                         CurrentBinarization(),
                         [this](std::span<const std::uint8_t> frame) { ShowFrame(frame); });
}

void Panel::Button4Click() {
    m_frames.PreviewPicture([this](imaging::Bitmap& target) { CopySourcePicture(target); },
                            CurrentBinarization(),
                            [this](std::span<const std::uint8_t> frame) { ShowFrame(frame); });
}

// A pattern is shown in the preview, then becomes the source picture too, at full size.
void Panel::SendFill(std::uint8_t fill) {
    m_frames.SendFill(fill, [this](std::span<const std::uint8_t> frame) {
        ShowFrame(frame);
        SetSourceBitmap(imaging::PreviewOf(frame));
    });
}

void Panel::CheckBox4Click() {
    m_manual_threshold = !m_view.IsChecked(Switch::AutoThreshold);
    m_view.ShowThresholdSlider(m_manual_threshold);
}

// Takes a picture offered on the clipboard into Image1, empties the clipboard so that the
// picture is taken once, and sends it on when auto-send is on. A picture that cannot be
// copied out leaves Image1 as it was.
void Panel::Timer1Timer() {
    if (!m_view.IsChecked(Switch::ClipboardMonitor) || !m_clipboard.HasBitmap()) {
        return;
    }
    const imaging::Bitmap picture = m_clipboard.CopyBitmap();
    SetSourceBitmap(
        imaging::ComposeScreenPicture(picture, m_view.IsChecked(Switch::ScalePictures)));
    m_clipboard.Empty();
    if (m_view.IsChecked(Switch::AutoSend)) {
        Button1Click();
    }
}

void Panel::ApplyPortArgument(const std::string& name) {
    m_named_port = name;
    m_named_port_chosen = !name.empty();
    ShowPortList(m_scanned_ports);
    m_view.SetPortText(name);
    m_view.EnableOpenButton();
    m_view.FocusOpenButton();
}

// The view is handed the new picture before the old one goes, so it never holds a picture
// that is gone.
void Panel::SetSourcePicture(std::unique_ptr<imaging::TGraphic> picture) {
    std::swap(m_image1, picture);
    m_view.ShowSourcePicture(m_image1.get());
}

void Panel::SetSourceBitmap(imaging::Bitmap picture) {
    SetSourcePicture(std::make_unique<imaging::TBitmapGraphic>(std::move(picture)));
}

}  // namespace panel
