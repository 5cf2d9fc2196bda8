// How lcdpanel starts where no window system answers: the usage needs none, and a missing
// display is one line and status 1, not the toolkit's abort.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Start {
    QStringList arguments;
    QString display;  // empty: unset
    int status;
    QString first_line_holds;
};

TEST(PanelStartTest, UsageAndAMissingDisplayNeedNoWindowSystem) {
    for (const Start& start : {Start{{"--help"}, "", 0, "Usage:"},
                               Start{{"--port", "ttyUSB0", "--help-all"}, ":4242", 0, "Usage:"},
                               Start{{}, "", 1, "DISPLAY is not set"},
                               Start{{"--port", "ttyUSB0"}, ":4242", 1, "DISPLAY=:4242"}}) {
        SCOPED_TRACE(start.arguments.join(' ').toStdString() + " on '" +
                     start.display.toStdString() + "'");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (!start.display.isEmpty())
            environment.insert("DISPLAY", start.display);
        QProcess panel;
        panel.setProcessEnvironment(environment);
        panel.setProcessChannelMode(QProcess::MergedChannels);
        panel.start(PANEL_BINARY, start.arguments);
        ASSERT_TRUE(panel.waitForFinished(10000));
        const QStringList lines =
            QString::fromUtf8(panel.readAll()).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(panel.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(panel.exitCode(), start.status);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines[0].contains(start.first_line_holds)) << lines.join('\n').toStdString();
        if (start.status != 0) {
            EXPECT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
        }
    }
}

}  // namespace
