#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/clipboard.h"
#include "app/panel_texts.h"
#include "app/panel_view.h"

namespace testing_support {

// The window's controls as plain state: what the panel showed, and what an operator set.
class FakeView : public panel::PanelView {
public:
    void SetPortList(const std::vector<std::string>& names) override {
        ports = names;
        port_text.clear();
        selected_port = -1;
        if (!names.empty())
            SelectPort(0);  // a list's first item is chosen as it arrives
    }
    void SelectPort(int index) override {
        selected_port = index;
        port_text = ports.at(static_cast<std::size_t>(index));
    }
    int SelectedPort() const override { return selected_port; }
    std::string PortText() const override { return port_text; }
    void SetPortText(const std::string& text) override { port_text = text; }
    void EnableOpenButton() override { open_enabled = true; }
    void FocusOpenButton() override { open_focused = true; }
    std::string SpeedText() const override { return speed; }
    bool IsChecked(panel::Switch box) const override { return !unchecked.contains(box); }
    int ChosenItem(panel::Choice group) const override {
        return chosen[static_cast<std::size_t>(group)];
    }
    void ShowThresholdSlider(bool shown) override { slider_shown = shown; }
    int ThresholdSliderPosition() const override { return slider; }
    void ShowSourcePicture(imaging::TGraphic* picture) override { source = picture; }
    void ShowPreview(const imaging::Bitmap* picture) override { preview = picture; }
    void AppendLogLine(std::string_view text) override { log.emplace_back(text); }
    void RemoveOldestLogLines(std::size_t count) override {
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(count));
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowException(std::string_view text) override { errors.emplace_back(text); }
    std::optional<std::filesystem::path> ChooseFile(panel::FilePrompt prompt) override {
        prompts.push_back(prompt);
        return chosen_file;
    }

    void Check(panel::Switch box, bool checked) {
        if (checked)
            unchecked.erase(box);
        else
            unchecked[box] = true;
    }
    void Choose(panel::Choice group, int index) { chosen[static_cast<std::size_t>(group)] = index; }

    std::vector<std::string> ports;
    int selected_port = -1;
    std::string port_text = "COM";
    bool open_enabled = false;
    bool open_focused = false;
    std::string speed = "921600";
    std::map<panel::Switch, bool> unchecked;
    std::array<int, 3> chosen = {-1, -1, -1};
    bool slider_shown = false;
    int slider = 128;
    imaging::TGraphic* source = nullptr;
    const imaging::Bitmap* preview = nullptr;
    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<panel::FilePrompt> prompts;
    std::optional<std::filesystem::path> chosen_file;
};

// A clipboard the test fills; it counts how often the panel emptied it.
class FakeClipboard : public panel::Clipboard {
public:
    bool HasBitmap() override { return picture.has_value() && !refused; }
    imaging::Bitmap CopyBitmap() override {
        if (unreadable) {
            refused = true;
            throw std::runtime_error(panel::texts::Format(
                panel::texts::kUnreadableClipboard,
                {panel::texts::PictureReason(imaging::PictureProblem::NotAPicture)}));
        }
        return *picture;
    }
    void Empty() override {
        picture.reset();
        ++emptied;
    }
    // Another program copies a picture: a new clipboard content.
    void Offer(imaging::Bitmap offered, bool readable = true) {
        picture = std::move(offered);
        unreadable = !readable;
        refused = false;
    }
    std::optional<imaging::Bitmap> picture;
    bool unreadable = false;
    bool refused = false;
    int emptied = 0;
};

}  // namespace testing_support
