#pragma once

#include <QWidget>

#include "app/panel.h"
#include "app/panel_view.h"
#include "app/qt/message_boxes.h"

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

// The panel's window on Qt: it builds the controls with their classic look, shows what
// the panel tells it and forwards every event to the panel. Controls keep their numbered
// names (Button1, CheckBox2, ...) as object names.
class TForm1 final : public QWidget, public panel::PanelView {
    Q_OBJECT

public:
    TForm1(serial::SerialPlatform& platform, MessageBoxes& boxes, panel::Clipboard& clipboard,
           panel::StartPicture start = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    panel::Panel& Panel() { return m_panel; }
    // The context menus, built anew each time they are asked for.
    QMenu* PictureMenu(PictureBox* box);
    QMenu* LogMenu();

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
    void CreatePictures();
    void CreatePortGroup();
    void CreateRadioGroups();
    void CreateDisplayGroup();
    void CreateMemo();
    void SetTabOrder();
    void WireEvents();
    void WireMenus();
    void AddBinarizationMenu(QMenu* menu);
    template <typename Signal, typename Sender>
    void On(Sender* sender, Signal signal, void (panel::Panel::*handler)());
    void Forward(void (panel::Panel::*handler)());

    PictureBox* Image1;
    PictureBox* Image2;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QLabel* Label2;
    QComboBox* ComboBox2;
    QPushButton* Button2;
    QLabel* Label3;
    TRadioGroup* RadioGroup2;
    TRadioGroup* RadioGroup1;
    TRadioGroup* RadioGroup3;
    QPushButton* Button4;
    QGroupBox* GroupBox3;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox4;
    QSlider* TrackBar1;
    QPushButton* Button1;
    QPushButton* Button3;
    QPushButton* Button5;
    QPushButton* Button6;
    QPushButton* Button7;
    QPlainTextEdit* Memo1;
    QTimer* Timer1;

    MessageBoxes& m_boxes;
    panel::Panel m_panel;
};
