#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace testing_support {

// Runs a command to its end; its exit code and what it printed.
struct CommandResult {
    int exit_code = -1;
    std::string output;
};
CommandResult RunCommand(const QString& program, const QStringList& arguments,
                         const QString& display);

// Waits until `done` holds, for at most `timeout`, letting nothing else run.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// The X display the test runs on, with the programs a person's desktop has: it clicks and
// presses keys through xdotool, fills the clipboard through xclip, photographs windows.
class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Empty when the display is up; otherwise why it is not.
    const std::string& Problem() const { return m_problem; }
    const QString& Display() const { return m_display; }

    // Starts a helper program on the display; killed with the session.
    void Start(const QString& program, const QStringList& arguments);
    // Starts the program under test on the display; the session keeps it, and its exit.
    QProcess& StartWatched(const QString& program, const QStringList& arguments,
                           const QString& directory, const QString& output_file);
    // Asks the window to close, as a window manager's close button does.
    void CloseWindow(const QString& window);
    // The first window of the program with this class, waiting for it to be mapped.
    QString FindWindow(const QString& window_class);
    void Click(const QString& window, int x, int y);
    void Key(const QString& key);
    // Offers the picture on the clipboard as PNG, held by another program; its process.
    long long OfferPicture(const QImage& picture, const QString& scratch_file);
    QStringList ClipboardTargets();
    QImage Screenshot(const QString& window, const QString& scratch_file);

private:
    QString m_display;
    std::string m_problem;
    std::vector<long long> m_children;
    std::unique_ptr<QProcess> m_watched;
};

}  // namespace testing_support
