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

namespace window = panel::window;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList Items(const window::Control& control) {
    QStringList items;
    for (const std::string& item : control.items) items.append(QString::fromStdString(item));
    return items;
}

QColor ColourOf(window::Colour colour) {
    return {colour.red, colour.green, colour.blue};
}

QComboBox* MakeDropDown(const window::Control& control, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);  // and typing never adds to the list
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(Items(control));
    if (control.selected >= 0)
        combo->setCurrentIndex(control.selected);
    return combo;
}

QSlider* MakeSlider(const window::SliderRange& range, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(range.minimum, range.maximum);
    slider->setPageStep(range.page);
    slider->setTickInterval(range.tick_interval);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setValue(range.position);
    return slider;
}

QPlainTextEdit* MakeLog(QWidget* parent) {
    auto* log = new QPlainTextEdit(parent);
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control, as in every other control of the window; the log
    // is for reading.
    log->setTabChangesFocus(true);
    return log;
}

}  // namespace

TForm1::TForm1(serial::SerialPlatform& platform, MessageBoxes& boxes, panel::Clipboard& clipboard,
               panel::StartPicture start, QWidget* parent)
    : QWidget(parent), m_boxes(boxes), m_panel(*this, platform, clipboard, std::move(start)) {
    ApplyWindowLook();
    CreateControls();
    CreateTimer();
    SetTabOrder();
    WireEvents();
    WireMenus();
}

TForm1::~TForm1() = default;

void TForm1::ApplyWindowLook() {
    const window::Window& form = window::PanelWindow();
    setObjectName(FromUtf8(form.name));
    setWindowTitle(FromUtf8(form.caption));
    look::MakeFixedDialog(this, form.client.width, form.client.height, form.client.left,
                          form.client.top);
    look::PaintBackground(this, ColourOf(form.background));
    setFont(look::PanelFont(FromUtf8(form.font_face), form.font_pixels));
}

void TForm1::CreateControls() {
    for (const window::Control& control : window::PanelWindow().controls) {
        m_controls[control.name] = CreateControl(control);
    }
    Image1 = Control<PictureBox>(window::kSourcePicture);
    Image2 = Control<PictureBox>(window::kPreview);
    Memo1 = Control<QPlainTextEdit>(window::kLog);
    Control<QComboBox>(window::kPortSelector)
        ->setEditText(QString::fromStdString(m_panel.PortPlaceholder()));
}

QWidget* TForm1::CreateControl(const window::Control& control) {
    QWidget* widget =
        CreateWidget(control, control.group.empty() ? this : m_controls.at(control.group));
    widget->setObjectName(FromUtf8(control.name));
    widget->setGeometry(control.box.left, control.box.top, control.box.width, control.box.height);
    widget->setEnabled(control.enabled);
    if (!control.visible)
        widget->hide();
    if (control.dim_text)
        look::SetTextColor(widget, ColourOf(window::PanelWindow().dim_text));
    return widget;
}

QWidget* TForm1::CreateWidget(const window::Control& control, QWidget* parent) {
    const QString caption = FromUtf8(control.caption);
    switch (control.kind) {
        case window::Kind::Picture: {
            auto* box = new PictureBox(parent);
            box->OnPaintError = [this](const QString& message) {
                ShowException(message.toStdString());
            };
            return box;
        }
        case window::Kind::GroupBox:
            return new QGroupBox(caption, parent);
        case window::Kind::Label:
            return new QLabel(caption, parent);
        case window::Kind::DropDown:
            return MakeDropDown(control, parent);
        case window::Kind::Button: {
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);
            return button;
        }
        case window::Kind::CheckBox: {
            auto* box = new QCheckBox(caption, parent);
            box->setChecked(control.checked);
            return box;
        }
        case window::Kind::Slider:
            return MakeSlider(control.slider, parent);
        case window::Kind::RadioGroup:
            return new TRadioGroup(parent, caption, Items(control), control.columns);
        case window::Kind::Log:
            return MakeLog(parent);
    }
    return new QWidget(parent);
}

void TForm1::CreateTimer() {
    const window::Window& form = window::PanelWindow();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(FromUtf8(form.timer));
    Timer1->setInterval(form.timer_interval_ms);
    Timer1->start();
}

// A radio group is one stop in the declared order, but each of its buttons takes the focus.
void TForm1::SetTabOrder() {
    QList<QWidget*> chain;
    for (const window::Control& control : window::PanelWindow().controls) {
        if (!window::TakesFocus(control.kind))
            continue;
        if (control.kind != window::Kind::RadioGroup) {
            chain.append(m_controls.at(control.name));
            continue;
        }
        const auto* group = Control<TRadioGroup>(control.name);
        for (int i = 0; group->Button(i) != nullptr; ++i) chain.append(group->Button(i));
    }
    for (int i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

template <typename Signal, typename Sender>
void TForm1::On(Sender* sender, Signal signal, std::string_view control, window::Handler handler) {
    connect(sender, signal, this, [this, control, handler] { Forward(control, handler); });
}

void TForm1::Forward(std::string_view control, window::Handler handler) {
    if (m_watcher)
        m_watcher({.control = control, .handler = handler});
    Forward(handler);
}

void TForm1::Forward(window::Handler handler) {
    m_panel.Run([this, handler] { (m_panel.*handler)(); });
}

void TForm1::WireEvents() {
    for (const window::Control& control : window::PanelWindow().controls) {
        WireEvents(control, m_controls.at(control.name));
    }
    const window::Window& form = window::PanelWindow();
    On(Timer1, &QTimer::timeout, form.timer, form.on_timer);
}

void TForm1::WireEvents(const window::Control& control, QWidget* widget) {
    if (control.on_enter != nullptr) {
        widget->installEventFilter(this);
        m_on_enter[widget] = &control;
    }
    if (control.on_typing != nullptr) {
        auto* combo = qobject_cast<QComboBox*>(widget);
        connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                [this, &control](const QString& text) {
                    if (m_watcher)
                        m_watcher({.control = control.name, .text_handler = control.on_typing});
                    m_panel.Run([&] { (m_panel.*control.on_typing)(text.toStdString()); });
                });
        // A long name (a pty, a /dev/serial/by-id link) does not fit the field: the
        // field's tooltip names it.
        connect(combo, &QComboBox::currentTextChanged, combo, &QWidget::setToolTip);
    }
    if (control.on_click == nullptr)
        return;
    if (auto* group = qobject_cast<TRadioGroup*>(widget)) {
        On(group, &TRadioGroup::Clicked, control.name, control.on_click);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        On(combo, &QComboBox::activated, control.name, control.on_click);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        On(button, &QAbstractButton::clicked, control.name, control.on_click);
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        const window::Window& form = window::PanelWindow();
        Forward(form.name, form.on_show);
    }
}

// A drop-down's list is rebuilt whenever the operator moves into it, but not when focus
// merely comes back from its own drop-down or from another window.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const auto entered = m_on_enter.find(watched);
    if (entered != m_on_enter.end() && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            Forward(entered->second->name, entered->second->on_enter);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- what the panel sees of the controls ---------------------------------------------------

// A long name (a pty, a /dev/serial/by-id link) does not fit the field: the drop-down
// widens to show it whole.
void TForm1::SetPortList(const std::vector<std::string>& names) {
    auto* ports = Control<QComboBox>(window::kPortSelector);
    ports->clear();
    int widest = 0;
    for (const std::string& name : names) {
        ports->addItem(QString::fromStdString(name));
        widest = std::max(
            widest, ports->fontMetrics().horizontalAdvance(ports->itemText(ports->count() - 1)));
    }
    ports->view()->setMinimumWidth(widest + 24);
}

void TForm1::SelectPort(int index) {
    Control<QComboBox>(window::kPortSelector)->setCurrentIndex(index);
}

int TForm1::SelectedPort() const {
    return Control<QComboBox>(window::kPortSelector)->currentIndex();
}

std::string TForm1::PortText() const {
    return Control<QComboBox>(window::kPortSelector)->currentText().toStdString();
}

void TForm1::SetPortText(const std::string& text) {
    Control<QComboBox>(window::kPortSelector)->setEditText(QString::fromStdString(text));
}

void TForm1::EnableOpenButton() {
    Control<QPushButton>(window::kOpenButton)->setEnabled(true);
}

void TForm1::FocusOpenButton() {
    Control<QPushButton>(window::kOpenButton)->setFocus();
}

std::string TForm1::SpeedText() const {
    return Control<QComboBox>(window::kSpeedSelector)->currentText().toStdString();
}

bool TForm1::IsChecked(panel::Switch box) const {
    return Control<QCheckBox>(window::SwitchControl(box).name)->isChecked();
}

int TForm1::ChosenItem(panel::Choice group) const {
    return Control<TRadioGroup>(window::ChoiceControl(group).name)->ItemIndex();
}

void TForm1::ShowThresholdSlider(bool shown) {
    Control<QSlider>(window::kThresholdSlider)->setVisible(shown);
}

int TForm1::ThresholdSliderPosition() const {
    return Control<QSlider>(window::kThresholdSlider)->value();
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
