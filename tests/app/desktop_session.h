#pragma once

#include <X11/Xlib.h>
#include <signal.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/wait_until.h"

namespace testing_support {

inline QProcessEnvironment EnvironmentFor(const QString& display) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("WAYLAND_DISPLAY");
    return environment;
}

// Runs a command to its end; its exit code (-1 when it did not end) and what it printed.
struct CommandResult {
    int exit_code = -1;
    std::string output;
};
inline CommandResult RunCommand(const QString& program, const QStringList& arguments,
                                const QString& display) {
    QProcess process;
    process.setProcessEnvironment(EnvironmentFor(display));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {-1, "timed out"};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAll().toStdString()};
}

// The X display the test runs on (xvfb-run gives it a private one), with the programs a
// person's desktop has: it clicks and presses keys through xdotool, fills the clipboard
// through xclip, and photographs windows.
class DesktopSession {
public:
    DesktopSession() : m_display(qEnvironmentVariable("DISPLAY")) {
        for (const char* tool : {"xdotool", "xclip", "import", "xdpyinfo"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                m_problem = std::string(tool) + " is not installed";
        if (m_problem.empty() && (m_display.isEmpty() || Run("xdpyinfo", {}).exit_code != 0))
            m_problem = "no X display: run under xvfb-run";
    }
    // Ends what the session started, newest first, and waits until each is gone.
    ~DesktopSession() {
        if (m_watched) {
            m_watched->kill();
            m_watched->waitForFinished(3000);
        }
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
            const auto pid = static_cast<pid_t>(*it);
            ::kill(pid, SIGKILL);
            WaitUntil([&] { return ::kill(pid, 0) != 0; }, std::chrono::seconds(3));
        }
    }
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Empty when the display is up; otherwise why it is not.
    const std::string& Problem() const { return m_problem; }
    const QString& Display() const { return m_display; }
    CommandResult Run(const QString& program, const QStringList& arguments) const {
        return RunCommand(program, arguments, m_display);
    }

    // The program under test, on the display; the session keeps it, and its exit.
    QProcess& StartWatched(const QString& program, const QStringList& arguments,
                           const QString& directory, const QString& output_file) {
        m_watched = std::make_unique<QProcess>();
        m_watched->setProcessEnvironment(EnvironmentFor(m_display));
        m_watched->setWorkingDirectory(directory);
        m_watched->setStandardOutputFile(output_file);
        m_watched->setStandardErrorFile(output_file);
        m_watched->start(program, arguments);
        m_watched->waitForStarted();
        return *m_watched;
    }
    // Asks the window to close, as a window manager's close button does.
    void CloseWindow(const QString& window) {
        ::Display* display = XOpenDisplay(m_display.toLatin1().constData());
        if (display == nullptr)
            return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window.toULong();
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
        XCloseDisplay(display);
    }
    // The first window of the program with this class, once it is mapped.
    QString FindWindow(const QString& window_class) {
        QString window;
        WaitUntil(
            [&] {
                const CommandResult found =
                    Run("xdotool", {"search", "--onlyvisible", "--class", window_class});
                window = QString::fromStdString(found.output).section('\n', 0, 0).trimmed();
                return found.exit_code == 0 && !window.isEmpty();
            },
            std::chrono::seconds(15));
        return window;
    }
    void Click(const QString& window, int x, int y) {
        Run("xdotool", {"mousemove", "--window", window, QString::number(x), QString::number(y),
                        "click", "1"});
    }
    void Key(const QString& key) { Run("xdotool", {"key", key}); }
    // Offers the picture on the clipboard as PNG, held by xclip in the foreground, so that
    // its process is known; that process.
    long long OfferPicture(const QImage& picture, const QString& scratch_file) {
        picture.save(scratch_file, "PNG");
        QProcess xclip;
        xclip.setProcessEnvironment(EnvironmentFor(m_display));
        xclip.setProgram("xclip");
        xclip.setArguments(
            {"-quiet", "-selection", "clipboard", "-t", "image/png", "-i", scratch_file});
        xclip.setStandardOutputFile(QProcess::nullDevice());
        xclip.setStandardErrorFile(QProcess::nullDevice());
        qint64 pid = 0;
        if (xclip.startDetached(&pid))
            m_children.push_back(pid);
        WaitUntil([&] { return ClipboardTargets().contains("image/png"); },
                  std::chrono::seconds(5));
        return pid;
    }
    QStringList ClipboardTargets() const {
        const CommandResult result =
            Run("xclip", {"-selection", "clipboard", "-o", "-t", "TARGETS"});
        return result.exit_code != 0
                   ? QStringList()
                   : QString::fromStdString(result.output).split('\n', Qt::SkipEmptyParts);
    }
    QImage Screenshot(const QString& window, const QString& scratch_file) const {
        Run("import", {"-window", window, scratch_file});
        return QImage(scratch_file).convertToFormat(QImage::Format_RGB32);
    }

private:
    QString m_display;
    std::string m_problem;
    std::vector<long long> m_children;
    std::unique_ptr<QProcess> m_watched;
};

}  // namespace testing_support
