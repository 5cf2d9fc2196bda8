#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/picture_box.h"
#include "serial/serial_platform.h"
#include "sim/module_sim.h"
#include "support/listed_ports.h"

QT_BEGIN_NAMESPACE
// Readable failure messages for Qt's strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace testing_support {

// Message boxes that record instead of waiting for a click.
class RecordingBoxes : public MessageBoxes {
public:
    void ShowMessage(const QString& text) override { messages.append(text); }
    void ShowException(const QString& text) override { errors.append(text); }
    QStringList messages;
    QStringList errors;
};

// A clipboard the test fills; it counts how often the panel emptied it.
class FakeClipboard : public ClipboardSource {
public:
    bool HasBitmap() override { return !picture.isNull() && !refused; }
    QImage CopyBitmap() override {
        if (unreadable) {
            refused = true;
            throw std::runtime_error("The clipboard's picture cannot be read: not a picture");
        }
        return picture;
    }
    void Empty() override {
        picture = QImage();
        ++emptied;
    }
    // Another program copies a picture: a new clipboard content.
    void Offer(const QImage& offered, bool readable = true) {
        picture = offered;
        unreadable = !readable;
        refused = false;
    }
    QImage picture;
    bool unreadable = false;
    bool refused = false;
    int emptied = 0;
};

class FormFixture : public ::testing::Test {
protected:
    void StartModule(sim::ModuleOptions options = {}) {
        options.pace = false;
        m_module = std::make_unique<sim::PtyModule>(options);
        m_module->Start();
        m_platform.ports.push_back(m_module->SlavePath());
    }
    // Shows the window, which scans the listed ports.
    void Show() {
        m_form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    QStringList MemoLines() const { return m_form.Memo1->toPlainText().split('\n'); }
    const imaging::Bitmap& Shown(PictureBox* box) { return box->Graphic()->DrawingBitmap(); }
    // Connects to the module through the window, as the operator does.
    void Connect() {
        Show();
        Click(m_form.Button2);
        ASSERT_TRUE(m_form.Link().IsOpen()) << m_form.Memo1->toPlainText().toStdString();
    }
    std::vector<std::string> ModuleLines() const { return m_module->ReceivedLines(); }

    ListedPortsPlatform m_platform;
    RecordingBoxes m_boxes;
    FakeClipboard m_clipboard;
    TForm1 m_form{m_platform, m_boxes, m_clipboard};
    std::unique_ptr<sim::PtyModule> m_module;
};

}  // namespace testing_support
