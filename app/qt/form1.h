#pragma once

#include <QWidget>

#include <functional>
#include <map>
#include <string_view>

#include "app/panel.h"
#include "app/panel_view.h"
#include "app/qt/message_boxes.h"
#include "app/window_declaration.h"

class PictureBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTimer;
class TRadioGroup;

// The panel's window on Qt: it builds the declared controls with their classic look, shows
// what the panel tells it and forwards every event to the panel. Controls keep their numbered
// names (Button1, CheckBox2, ...) as object names.
class TForm1 final : public QWidget, public panel::PanelView {
    Q_OBJECT

public:
    TForm1(serial::SerialPlatform& platform, MessageBoxes& boxes, panel::Clipboard& clipboard,
           panel::StartPicture start = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    panel::Panel& Panel() { return m_panel; }
    // Shows each event of a declared control or the window on its way to the panel.
    void WatchEvents(std::function<void(const panel::window::Forwarded&)> watcher) {
        m_watcher = std::move(watcher);
    }
    // A control's context menu, built anew each time it is asked for.
    QMenu* ContextMenu(std::string_view control);

    // panel::PanelView
    void SetPortList(const std::vector<std::string>& names) override;
    void SelectPort(int index) override;
    int SelectedPort() const override;
    std::string PortText() const override;
    void SetPortText(const std::string& text) override;
    void EnableOpenButton() override;
    void FocusOpenButton() override;
    std::string SpeedText() const override;
    bool IsChecked(panel::Switch box) const override;
    int ChosenItem(panel::Choice group) const override;
    void ShowThresholdSlider(bool shown) override;
    int ThresholdSliderPosition() const override;
    void ShowSourcePicture(imaging::TGraphic* picture) override;
    void ShowPreview(const imaging::Bitmap* preview) override;
    void AppendLogLine(std::string_view text) override;
    void RemoveOldestLogLines(std::size_t count) override;
    void ShowMessage(std::string_view text) override;
    void ShowException(std::string_view text) override;
    std::optional<std::filesystem::path> ChooseFile(panel::FilePrompt prompt) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ApplyWindowLook();
    void CreateControls();
    QWidget* CreateControl(const panel::window::Control& control);
    QWidget* CreateWidget(const panel::window::Control& control, QWidget* parent);
    void CreateTimer();
    void SetTabOrder();
    void WireEvents();
    void WireEvents(const panel::window::Control& control, QWidget* widget);
    void WireMenus();
    void AddBinarizationMenu(QMenu* menu);
    template <typename Signal, typename Sender>
    void On(Sender* sender, Signal signal, std::string_view control,
            panel::window::Handler handler);
    void Forward(std::string_view control, panel::window::Handler handler);
    void Forward(panel::window::Handler handler);
    // The control of that name, as the widget its kind is built as.
    template <typename Widget>
    Widget* Control(std::string_view name) const {
        return qobject_cast<Widget*>(m_controls.at(name));
    }

    std::map<std::string_view, QWidget*> m_controls;
    // The operator moving into these runs their handler.
    std::map<QObject*, const panel::window::Control*> m_on_enter;
    std::function<void(const panel::window::Forwarded&)> m_watcher;
    PictureBox* Image1;
    PictureBox* Image2;
    QPlainTextEdit* Memo1;
    QTimer* Timer1;

    MessageBoxes& m_boxes;
    panel::Panel m_panel;
};
