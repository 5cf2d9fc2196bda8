#include "desktop_session.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xlib.h>
#include <signal.h>

namespace testing_support {

namespace {

QProcessEnvironment EnvironmentFor(const QString& display) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("WAYLAND_DISPLAY");
    return environment;
}

QString MissingTool() {
    for (const char* tool : {"xdotool", "xclip", "import", "xdpyinfo"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            return QString("%1 is not installed").arg(tool);
        }
    }
    return {};
}

}  // namespace

CommandResult RunCommand(const QString& program, const QStringList& arguments,
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

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

// The display is the one the test runs on (xvfb-run gives it a private one).
DesktopSession::DesktopSession() : m_display(qEnvironmentVariable("DISPLAY")) {
    const QString missing = MissingTool();
    if (!missing.isEmpty()) {
        m_problem = missing.toStdString();
    } else if (m_display.isEmpty() || RunCommand("xdpyinfo", {}, m_display).exit_code != 0) {
        m_problem = "no X display: run under xvfb-run";
    }
}

// Ends what the session started, newest first, and waits until each is gone.
DesktopSession::~DesktopSession() {
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

void DesktopSession::Start(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(EnvironmentFor(m_display));
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (process.startDetached(&pid)) {
        m_children.push_back(pid);
    }
}

QProcess& DesktopSession::StartWatched(const QString& program, const QStringList& arguments,
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

void DesktopSession::CloseWindow(const QString& window) {
    ::Display* display = XOpenDisplay(m_display.toLatin1().constData());
    if (display == nullptr) {
        return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window.toULong();
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display);
}

QString DesktopSession::FindWindow(const QString& window_class) {
    QString window;
    WaitUntil(
        [&] {
            const CommandResult found = RunCommand(
                "xdotool", {"search", "--onlyvisible", "--class", window_class}, m_display);
            window = QString::fromStdString(found.output).section('\n', 0, 0).trimmed();
            return found.exit_code == 0 && !window.isEmpty();
        },
        std::chrono::seconds(15));
    return window;
}

void DesktopSession::Click(const QString& window, int x, int y) {
    RunCommand(
        "xdotool",
        {"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "1"},
        m_display);
}

void DesktopSession::Key(const QString& key) {
    RunCommand("xdotool", {"key", key}, m_display);
}

// xclip holds the selection until someone takes it over; in the foreground, so that its
// process is known.
long long DesktopSession::OfferPicture(const QImage& picture, const QString& scratch_file) {
    picture.save(scratch_file, "PNG");
    Start("xclip", {"-quiet", "-selection", "clipboard", "-t", "image/png", "-i", scratch_file});
    WaitUntil([&] { return ClipboardTargets().contains("image/png"); }, std::chrono::seconds(5));
    return m_children.back();
}

QStringList DesktopSession::ClipboardTargets() {
    const CommandResult result =
        RunCommand("xclip", {"-selection", "clipboard", "-o", "-t", "TARGETS"}, m_display);
    return result.exit_code != 0
               ? QStringList()
               : QString::fromStdString(result.output).split('\n', Qt::SkipEmptyParts);
}

QImage DesktopSession::Screenshot(const QString& window, const QString& scratch_file) {
    RunCommand("import", {"-window", window, scratch_file}, m_display);
    return QImage(scratch_file).convertToFormat(QImage::Format_RGB32);
}

}  // namespace testing_support
