#include "host/gui/helpopener.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "host/gui/texts.h"

namespace zlk::host::gui {

namespace {

// What the watcher reports when xdg-open could not be run at all.
constexpr int kNotStarted = 127;

// Looked up before forking, so that the children only call exec.
std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// Closes every descriptor from lowest up. Between fork and exec: only
// async-signal-safe calls.
void CloseFrom(int lowest, int highest)
{
    if (::close_range(static_cast<unsigned>(lowest), ~0U, 0) == 0) {
        return;
    }
    for (int fd = lowest; fd < highest; ++fd) {
        ::close(fd);
    }
}

void WaitFor(pid_t child, int* status)
{
    while (::waitpid(child, status, 0) < 0 && errno == EINTR) {}
}

}  // namespace

QString NoHelpViewerText(const QString& page) { return Text("No help viewer could open the help page %1.").arg(page); }

QString NoHelpViewerAdvice() { return Text("Install xdg-utils and a web browser, or open the file yourself."); }

HelpOpener::HelpOpener(widgets::QtToolkit& toolkit) : toolkit_(toolkit) {}

HelpOpener::~HelpOpener()
{
    // The watchers still running find the pipe closed and end quietly.
    for (int readEnd : readEnds_) {
        ::close(readEnd);
    }
}

void HelpOpener::Install()
{
    toolkit_.SetHelpOpener([this](const std::string& url) { return Open(url); });
}

int HelpOpener::Open(const std::string& url)
{
    const QUrl parsed(QString::fromStdString(url));
    const QString page = parsed.isLocalFile() ? parsed.toLocalFile() : QString::fromStdString(url);
    const std::string program = FindProgram("xdg-open");
    int pipeEnds[2] = {-1, -1};
    if (program.empty() || ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        Tell(page);
        return -1;
    }
    // The browser must not hold the dialog's output: a script reading it
    // would wait until the browser closed.
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    rlimit limit{};
    const int highest = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                            ? static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536))
                            : 65536;
    const char* argv[] = {program.c_str(), url.c_str(), nullptr};
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;

    // The first child leaves at once, so the watcher it leaves behind is
    // nobody's child here; the watcher waits for xdg-open and writes its
    // exit status into the pipe.
    const pid_t first = ::fork();
    if (first == 0) {
        ::setsid();
        const pid_t watcher = ::fork();
        if (watcher != 0) {
            ::_exit(0);
        }
        ::sigaction(SIGCHLD, &defaultAction, nullptr);
        ::sigaction(SIGPIPE, &defaultAction, nullptr);
        // Only the pipe stays open: a display connection held here would
        // keep the dialog's windows on screen after it ended.
        const int report = ::fcntl(pipeEnds[1], F_DUPFD, 10);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
        }
        ::dup2(report, 3);
        CloseFrom(4, highest);
        int code = kNotStarted;
        const pid_t viewer = ::fork();
        if (viewer == 0) {
            CloseFrom(3, highest);
            ::execv(argv[0], const_cast<char* const*>(argv));
            ::_exit(kNotStarted);
        }
        if (viewer > 0) {
            int status = 0;
            WaitFor(viewer, &status);
            code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        [[maybe_unused]] const ssize_t written = ::write(3, &code, sizeof code);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    if (devNull >= 0) {
        ::close(devNull);
    }
    if (first < 0) {
        ::close(pipeEnds[0]);
        Tell(page);
        return -1;
    }
    int status = 0;
    WaitFor(first, &status);
    Watch(pipeEnds[0], page);
    return 0;
}

void HelpOpener::Watch(int readEnd, const QString& page)
{
    readEnds_.push_back(readEnd);
    auto* notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, readEnd, page] {
        int code = 0;
        ssize_t got = 0;
        do {
            got = ::read(readEnd, &code, sizeof code);
        } while (got < 0 && errno == EINTR);
        notifier->setEnabled(false);
        notifier->deleteLater();
        ::close(readEnd);
        std::erase(readEnds_, readEnd);
        // Nothing read: the watcher was stopped and nobody knows; say nothing.
        if (got == static_cast<ssize_t>(sizeof code) && code != 0) {
            Tell(page);
        }
    });
}

void HelpOpener::Tell(const QString& page)
{
    // After the button's action has returned, not inside it.
    QTimer::singleShot(0, this, [this, page] {
        widgets::Alert alert;
        alert.message = NoHelpViewerText(page).toStdString();
        alert.informative = NoHelpViewerAdvice().toStdString();
        alert.style = widgets::AlertStyle::Warning;
        toolkit_.RunAlert(alert);
    });
}

}  // namespace zlk::host::gui
