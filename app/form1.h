#pragma once

#include <cstdint>
#include <optional>

#include <QWidget>

#include "app/clipboard_source.h"
#include "app/error_display.h"
#include "app/memo_log.h"
#include "app/message_boxes.h"
#include "imaging/frame_actions.h"
#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "serial/serial_link.h"

class PictureBox;
class QActionGroup;
class QMenu;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTimer;
class TRadioGroup;

// The panel's one window. Controls keep their numbered names (Button1, CheckBox2, ...).
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // The demo picture, looked up in the working directory.
    static constexpr char kDemoPicture[] = "demo480x480-4.jpg";

    TForm1(serial::SerialPlatform& platform, MessageBoxes& boxes, ClipboardSource& clipboard,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // Puts a port name into the port selector as if typed, ready for the open button.
    void ApplyPortArgument(const QString& name);
    // A picture file to show at start in place of the demo picture; before the window shows.
    void SetStartPicture(const QString& path) { m_start_picture = path; }

    serial::SerialLink& Link() { return m_link; }

    // Event handlers.
    void FormShow();
    void ComboBox1Enter();
    void ComboBox1Click();
    void Button2Click();
    void RadioGroup3Click();
    void RadioGroup1Click();
    void RadioGroup2Click();
    void Button1Click();
    void Button4Click();
    void Button3Click() { SendFill(15); }
    void Button5Click() { SendFill(254); }
    void Button6Click() { SendFill(255); }
    void Button7Click() { SendFill(0); }
    void CheckBox4Click();
    void Timer1Timer();

    void SendFill(std::uint8_t fill);
    // The slider's level while it is shown, else 0 for the automatic threshold.
    int Threshold() const;

    // Beyond the layout: pictures from files, a choice of binarization, saved previews and
    // logs. The menus offer them; these do the work.
    void OpenPictureFile(const QString& path);
    void SavePreview(const QString& path);
    void SaveLog(const QString& path);
    void SetDither(std::optional<imaging::DitherMethod> dither);
    imaging::Binarization CurrentBinarization() const;
    // The context menus, built anew each time they are asked for.
    QMenu* PictureMenu(PictureBox* box);
    QMenu* LogMenu();

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
    // Runs an event's work so that its error is shown and the loop goes on.
    template <typename Handler>
    void Guarded(Handler&& handler) {
        RunGuarded(m_boxes, std::forward<Handler>(handler));
    }
    template <typename Signal, typename Sender>
    void On(Sender* sender, Signal signal, void (TForm1::*handler)());

    void SendChoice(const TRadioGroup* group, const char* prefix);
    void WireMenus();
    void LoadPicture(const QString& path, bool send);
    void LoadStartPicture();
    QString DemoPicturePath() const;
    void AddBinarizationMenu(QMenu* menu);
    void ChooseAndOpenPicture();
    void ChooseAndSavePreview();
    void ChooseAndSaveLog();
    void CopyImage1(imaging::Bitmap& target) const;
    void ShowInImage2(const imaging::Bitmap& picture);

    serial::SerialPlatform& m_platform;
    MessageBoxes& m_boxes;
    ClipboardSource& m_clipboard;
    MemoLog m_log;
    serial::SerialLink m_link;
    protocol::LinkNegotiator m_negotiator;
    protocol::ModuleCommands m_commands;
    imaging::FrameActions m_frames;
    std::optional<imaging::DitherMethod> m_dither;
    QString m_start_picture;
};
