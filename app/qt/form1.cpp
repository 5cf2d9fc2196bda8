#include "app/qt/form1.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>

#include "app/qt/picture_box.h"
#include "app/qt/radio_group.h"
#include "app/qt/window_look.h"

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

TForm1::TForm1(serial::SerialPlatform& platform, MessageBoxes& boxes, panel::Clipboard& clipboard,
               panel::StartPicture start, QWidget* parent)
    : QWidget(parent), m_boxes(boxes), m_panel(*this, platform, clipboard, std::move(start)) {
    setObjectName("Form1");
    ApplyWindowLook();
    CreatePictures();
    CreatePortGroup();
    CreateRadioGroups();
    CreateDisplayGroup();
    CreateMemo();
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
    Image1 = new PictureBox(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(23, 156, 480, 480);
    Image2 = new PictureBox(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(562, 161, 240, 240);
    for (PictureBox* box : {Image1, Image2}) {
        box->OnPaintError = [this](const QString& message) {
            ShowException(message.toStdString());
        };
    }
}

void TForm1::CreatePortGroup() {
    GroupBox2 =
        look::MakeGroupBox(this, "GroupBox2", QStringLiteral("   串口设置   "), {22, 8, 361, 97});
    Label1 = look::MakeLabel(GroupBox2, "Label1", QStringLiteral("端口"), {9, 27, 39, 13});
    ComboBox1 = look::MakeComboBox(GroupBox2, "ComboBox1", {50, 23, 65, 21});
    ComboBox1->setEditText(QString::fromStdString(m_panel.PortPlaceholder()));
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
void TForm1::On(Sender* sender, Signal signal, void (panel::Panel::*handler)()) {
    connect(sender, signal, this, [this, handler] { Forward(handler); });
}

void TForm1::Forward(void (panel::Panel::*handler)()) {
    m_panel.Run([this, handler] { (m_panel.*handler)(); });
}

void TForm1::WireEvents() {
    ComboBox1->installEventFilter(this);
    On(ComboBox1, &QComboBox::activated, &panel::Panel::ComboBox1Click);
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        m_panel.Run([this, name = text.toStdString()] { m_panel.ComboBox1Change(name); });
    });
    connect(ComboBox1, &QComboBox::currentTextChanged, ComboBox1, &QWidget::setToolTip);
    On(Button2, &QPushButton::clicked, &panel::Panel::Button2Click);
    On(RadioGroup3, &TRadioGroup::Clicked, &panel::Panel::RadioGroup3Click);
    On(RadioGroup1, &TRadioGroup::Clicked, &panel::Panel::RadioGroup1Click);
    On(RadioGroup2, &TRadioGroup::Clicked, &panel::Panel::RadioGroup2Click);
    On(Button1, &QPushButton::clicked, &panel::Panel::Button1Click);
    On(Button4, &QPushButton::clicked, &panel::Panel::Button4Click);
    On(Button3, &QPushButton::clicked, &panel::Panel::Button3Click);
    On(Button5, &QPushButton::clicked, &panel::Panel::Button5Click);
    On(Button6, &QPushButton::clicked, &panel::Panel::Button6Click);
    On(Button7, &QPushButton::clicked, &panel::Panel::Button7Click);
    On(CheckBox4, &QCheckBox::clicked, &panel::Panel::CheckBox4Click);
    On(Timer1, &QTimer::timeout, &panel::Panel::Timer1Timer);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        Forward(&panel::Panel::FormShow);
    }
}

// The port list is rebuilt whenever the operator moves into the selector, but not when
// focus merely comes back from its own drop-down or from another window.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1 && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            Forward(&panel::Panel::ComboBox1Enter);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- what the panel sees of the controls ---------------------------------------------------

// A long name (a pty, a /dev/serial/by-id link) does not fit the field: the drop-down
// widens to show it whole, and the field's tooltip names it.
void TForm1::SetPortList(const std::vector<std::string>& names) {
    ComboBox1->clear();
    int widest = 0;
    for (const std::string& name : names) {
        ComboBox1->addItem(QString::fromStdString(name));
        widest = std::max(widest,
                          ComboBox1->fontMetrics().horizontalAdvance(QString::fromStdString(name)));
    }
    ComboBox1->view()->setMinimumWidth(widest + 24);
}

void TForm1::SelectPort(int index) {
    ComboBox1->setCurrentIndex(index);
}

int TForm1::SelectedPort() const {
    return ComboBox1->currentIndex();
}

std::string TForm1::PortText() const {
    return ComboBox1->currentText().toStdString();
}

void TForm1::SetPortText(const std::string& text) {
    ComboBox1->setEditText(QString::fromStdString(text));
}

void TForm1::EnableOpenButton() {
    Button2->setEnabled(true);
}

void TForm1::FocusOpenButton() {
    Button2->setFocus();
}

std::string TForm1::SpeedText() const {
    return ComboBox2->currentText().toStdString();
}

bool TForm1::IsChecked(panel::Switch box) const {
    switch (box) {
        case panel::Switch::ClipboardMonitor:
            return CheckBox2->isChecked();
        case panel::Switch::ScalePictures:
            return CheckBox3->isChecked();
        case panel::Switch::AutoSend:
            return CheckBox1->isChecked();
        case panel::Switch::AutoThreshold:
            return CheckBox4->isChecked();
    }
    return false;
}

int TForm1::ChosenItem(panel::Choice group) const {
    switch (group) {
        case panel::Choice::Color:
            return RadioGroup2->ItemIndex();
        case panel::Choice::Brightness:
            return RadioGroup1->ItemIndex();
        case panel::Choice::LcdModel:
            return RadioGroup3->ItemIndex();
    }
    return -1;
}

void TForm1::ShowThresholdSlider(bool shown) {
    TrackBar1->setVisible(shown);
}

int TForm1::ThresholdSliderPosition() const {
    return TrackBar1->value();
}

void TForm1::ShowSourcePicture(imaging::TGraphic* picture) {
    Image1->Show(picture);
}

void TForm1::ShowPreview(const imaging::Bitmap* preview) {
    Image2->Show(preview);
}

void TForm1::AppendLogLine(std::string_view text) {
    Memo1->appendPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TForm1::RemoveOldestLogLines(std::size_t count) {
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, static_cast<int>(count));
    cursor.removeSelectedText();
}
