#include "app/form1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>

#include "app/clipboard_picture.h"
#include "app/error_display.h"
#include "app/picture_box.h"
#include "app/radio_group.h"
#include "app/window_look.h"
#include "imaging/picture_registry.h"
#include "serial/port_scan.h"

namespace {

constexpr int kClientWidth = 830;
constexpr int kClientHeight = 640;
constexpr int kLeft = 230;
constexpr int kTop = 21;

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    box->setChecked(true);
    return box;
}

TRadioGroup* MakeRadioGroup(QWidget* parent, const char* name, const QString& title,
                            const QStringList& items, int columns, QRect geometry) {
    auto* group = new TRadioGroup(parent, title, items, columns);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(geometry);
    return group;
}

}  // namespace

TForm1::TForm1(serial::SerialPlatform& platform, MessageBoxes& boxes, ClipboardSource& clipboard,
               QWidget* parent)
    : QWidget(parent),
      m_platform(platform),
      m_boxes(boxes),
      m_clipboard(clipboard),
      m_link(platform, m_log),
      m_negotiator(m_link, m_log),
      m_commands(m_link, m_log),
      m_frames(m_commands, m_log) {
    setObjectName("Form1");
    ApplyWindowLook();
    CreatePictures();
    CreatePortGroup();
    CreateRadioGroups();
    CreateDisplayGroup();
    CreateMemo();
    m_log.Attach(Memo1);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    Timer1->start();
    SetTabOrder();
    WireEvents();
    WireMenus();
}

TForm1::~TForm1() = default;

void TForm1::ApplyWindowLook() {
    setWindowTitle(QStringLiteral("Velnor串口液晶屏模块V1.0"));
    look::MakeFixedDialog(this, kClientWidth, kClientHeight, kLeft, kTop);
    look::PaintBackground(this, look::kMoneyGreen);
    setFont(look::PanelFont());
}

void TForm1::CreatePictures() {
    Image1 = new PictureBox(this, m_boxes, false);
    Image1->setObjectName("Image1");
    Image1->setGeometry(23, 156, 480, 480);
    Image2 = new PictureBox(this, m_boxes, true);
    Image2->setObjectName("Image2");
    Image2->setGeometry(562, 161, 240, 240);
}

void TForm1::CreatePortGroup() {
    GroupBox2 =
        look::MakeGroupBox(this, "GroupBox2", QStringLiteral("   串口设置   "), {22, 8, 361, 97});
    Label1 = look::MakeLabel(GroupBox2, "Label1", QStringLiteral("端口"), {9, 27, 39, 13});
    ComboBox1 = look::MakeComboBox(GroupBox2, "ComboBox1", {50, 23, 65, 21});
    ComboBox1->setEditText(QStringLiteral("COM"));
    Label2 = look::MakeLabel(GroupBox2, "Label2", QStringLiteral("波特率"), {124, 27, 60, 13});
    ComboBox2 = look::MakeComboBox(GroupBox2, "ComboBox2", {181, 23, 89, 21});
    for (const std::int32_t speed : protocol::kModuleSpeeds) {
        ComboBox2->addItem(QString::number(speed));
    }
    ComboBox2->setCurrentIndex(3);
    Button2 = look::MakeButton(GroupBox2, "Button2", QStringLiteral("打开"), {288, 21, 57, 25});
    Button2->setEnabled(false);
    Label3 = look::MakeLabel(GroupBox2, "Label3", QStringLiteral("2400bps为模块一上电的默认波特率"),
                             {16, 48, 217, 13});
    look::SetTextColor(Label3, look::k3DDkShadow);
}

void TForm1::CreateRadioGroups() {
    RadioGroup2 = MakeRadioGroup(
        this, "RadioGroup2", QStringLiteral("  屏幕颜色  "),
        {QStringLiteral("黑"), QStringLiteral("红"), QStringLiteral("绿"), QStringLiteral("黄"),
         QStringLiteral("蓝"), QStringLiteral("紫"), QStringLiteral("青"), QStringLiteral("白")},
        8, {22, 111, 297, 44});
    RadioGroup1 = MakeRadioGroup(this, "RadioGroup1", QStringLiteral("  屏幕亮度  "),
                                 {"0", "1", "2", "3"}, 4, {326, 111, 201, 44});
    RadioGroup3 = MakeRadioGroup(this, "RadioGroup3", QStringLiteral("  LCD型号  "),
                                 {QStringLiteral("1未实现"), QStringLiteral("2未实现")}, 2,
                                 {534, 111, 169, 44});
    Button4 = look::MakeButton(this, "Button4", QStringLiteral("二值化测试"), {716, 128, 88, 25});
}

void TForm1::CreateDisplayGroup() {
    GroupBox3 =
        look::MakeGroupBox(this, "GroupBox3", QStringLiteral("  屏幕显示  "), {390, 8, 420, 97});
    CheckBox2 =
        MakeCheckBox(GroupBox3, "CheckBox2", QStringLiteral("剪贴板监视"), {22, 16, 90, 17});
    CheckBox3 = MakeCheckBox(GroupBox3, "CheckBox3", QStringLiteral("图像缩放"), {136, 16, 80, 17});
    CheckBox1 = MakeCheckBox(GroupBox3, "CheckBox1", QStringLiteral("自动刷屏"), {324, 16, 80, 17});
    CheckBox4 = MakeCheckBox(GroupBox3, "CheckBox4", QStringLiteral("自动灰度"), {25, 40, 80, 17});
    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox3);
    TrackBar1->setObjectName("TrackBar1");
    TrackBar1->setGeometry(104, 41, 313, 24);
    TrackBar1->setRange(0, 255);
    TrackBar1->setPageStep(32);
    TrackBar1->setTickInterval(1);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setValue(128);
    TrackBar1->hide();
    Button1 = look::MakeButton(GroupBox3, "Button1", QStringLiteral("刷图片"), {24, 64, 64, 25});
    Button3 = look::MakeButton(GroupBox3, "Button3", QStringLiteral("刷竖条"), {96, 64, 64, 25});
    Button5 = look::MakeButton(GroupBox3, "Button5", QStringLiteral("刷细线"), {176, 64, 64, 25});
    Button6 = look::MakeButton(GroupBox3, "Button6", QStringLiteral("刷纯色"), {256, 64, 64, 25});
    Button7 = look::MakeButton(GroupBox3, "Button7", QStringLiteral("清屏"), {336, 64, 64, 25});
}

void TForm1::CreateMemo() {
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(560, 410, 241, 225);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control, as in every other control of the window; the log
    // is for reading.
    Memo1->setTabChangesFocus(true);
}

// Group by group: the port settings, the log, brightness, colour, the display group,
// the model and the preview button.
void TForm1::SetTabOrder() {
    QList<QWidget*> chain = {ComboBox1, Button2, ComboBox2, Memo1};
    for (TRadioGroup* group : {RadioGroup1, RadioGroup2}) {
        for (int i = 0; group->Button(i) != nullptr; ++i) chain.append(group->Button(i));
    }
    chain += {CheckBox3, CheckBox2, CheckBox1, Button1, TrackBar1,
              CheckBox4, Button3,   Button5,   Button6, Button7};
    for (int i = 0; RadioGroup3->Button(i) != nullptr; ++i) chain.append(RadioGroup3->Button(i));
    chain.append(Button4);
    for (int i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

template <typename Signal, typename Sender>
void TForm1::On(Sender* sender, Signal signal, void (TForm1::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
}

void TForm1::WireEvents() {
    ComboBox1->installEventFilter(this);
    On(ComboBox1, &QComboBox::activated, &TForm1::ComboBox1Click);
    On(Button2, &QPushButton::clicked, &TForm1::Button2Click);
    On(RadioGroup3, &TRadioGroup::Clicked, &TForm1::RadioGroup3Click);
    On(RadioGroup1, &TRadioGroup::Clicked, &TForm1::RadioGroup1Click);
    On(RadioGroup2, &TRadioGroup::Clicked, &TForm1::RadioGroup2Click);
    On(Button1, &QPushButton::clicked, &TForm1::Button1Click);
    On(Button4, &QPushButton::clicked, &TForm1::Button4Click);
    On(Button3, &QPushButton::clicked, &TForm1::Button3Click);
    On(Button5, &QPushButton::clicked, &TForm1::Button5Click);
    On(Button6, &QPushButton::clicked, &TForm1::Button6Click);
    On(Button7, &QPushButton::clicked, &TForm1::Button7Click);
    On(CheckBox4, &QCheckBox::clicked, &TForm1::CheckBox4Click);
    On(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        Guarded([this] { FormShow(); });
    }
}

// The port list is rebuilt whenever the operator moves into the selector, but not when
// focus merely comes back from its own drop-down or from another window.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1 && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            Guarded([this] { ComboBox1Enter(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::FormShow() {
    ComboBox1Enter();
    LoadStartPicture();
}

void TForm1::ComboBox1Enter() {
    ComboBox1->clear();
    for (const std::string& name : serial::ScanPorts(m_platform)) {
        ComboBox1->addItem(QString::fromStdString(name));
    }
    if (ComboBox1->count() > 0) {
        ComboBox1->setCurrentIndex(ComboBox1->count() - 1);
        Button2->setEnabled(true);
    }
}

void TForm1::ComboBox1Click() {
    if (ComboBox1->currentIndex() >= 0) {
        Button2->setEnabled(true);
    }
}

void TForm1::Button2Click() {
    if (ComboBox2->currentIndex() < 0) {
        m_boxes.ShowMessage(QStringLiteral("请选择波特率！"));
        return;
    }
    m_negotiator.Negotiate(ComboBox1->currentText().toStdString(),
                           ComboBox2->currentText().toStdString());
}

// A group's chosen item goes out as its index; a group with nothing chosen sends nothing.
void TForm1::SendChoice(const TRadioGroup* group, const char* prefix) {
    if (group->ItemIndex() >= 0) {
        m_commands.SendCommand(prefix, group->ItemIndex());
    }
}

void TForm1::RadioGroup3Click() {
    SendChoice(RadioGroup3, protocol::kLcdModelPrefix);
}

void TForm1::RadioGroup1Click() {
    SendChoice(RadioGroup1, protocol::kBrightnessPrefix);
}

void TForm1::RadioGroup2Click() {
    SendChoice(RadioGroup2, protocol::kColorPrefix);
}

int TForm1::Threshold() const {
    return TrackBar1->isHidden() ? 0 : TrackBar1->value();
}

void TForm1::CopyImage1(imaging::Bitmap& target) const {
    if (Image1->Graphic() != nullptr) {
        Image1->Graphic()->AssignTo(target);
    }
}

void TForm1::ShowInImage2(const imaging::Bitmap& picture) {
    Image2->SetBitmap(picture);
}

void TForm1::Button1Click() {
    m_frames.SendPicture([this](imaging::Bitmap& target) { CopyImage1(target); },
                         CurrentBinarization(),
                         [this](const imaging::Bitmap& preview) { ShowInImage2(preview); });
}

void TForm1::Button4Click() {
    m_frames.PreviewPicture([this](imaging::Bitmap& target) { CopyImage1(target); },
                            CurrentBinarization(),
                            [this](const imaging::Bitmap& preview) { ShowInImage2(preview); });
}

void TForm1::SendFill(std::uint8_t fill) {
    m_frames.SendFill(
        fill, [this](const imaging::Bitmap& pattern) { ShowInImage2(pattern); },
        [this](const imaging::Bitmap& pattern) { Image1->SetBitmap(pattern); });
}

void TForm1::CheckBox4Click() {
    TrackBar1->setVisible(!CheckBox4->isChecked());
}

// Takes a picture offered on the clipboard into Image1, empties the clipboard so that the
// picture is taken once, and sends it on when auto-send is on. A picture that cannot be
// copied out leaves Image1 as it was.
void TForm1::Timer1Timer() {
    if (!CheckBox2->isChecked() || !m_clipboard.HasBitmap()) {
        return;
    }
    const QImage picture = m_clipboard.CopyBitmap();
    Image1->Clear();
    Image1->SetBitmap(ComposeClipboardPicture(picture, CheckBox3->isChecked()));
    m_clipboard.Empty();
    if (CheckBox1->isChecked()) {
        Button1Click();
    }
}

void TForm1::ApplyPortArgument(const QString& name) {
    ComboBox1->setEditText(name);
    Button2->setEnabled(true);
    Button2->setFocus();
}
