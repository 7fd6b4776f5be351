// zlk-print-agent: started with the desktop session, it asks for the print
// type and accounting settings of jobs that programs with their own print
// dialog sent to Zelko queues set to ask at print time.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "host/agent/agent.h"
#include "host/gui/helpopener.h"
#include "host/gui/texts.h"
#include "host/jobsubmit.h"
#include "host/pluginhost.h"

namespace {

constexpr char kUsage[] =
    "usage: zlk-print-agent\n"
    "Asks, in a window, for the print type and accounting settings of your jobs\n"
    "held by Zelko queues that ask at print time, then releases them.\n";

// Waits this long before trying a scheduler that could not be reached.
constexpr int kRetryMs = 30000;

int quitPipe[2] = {-1, -1};

extern "C" void AskToQuit(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(quitPipe[1], &byte, 1);
}

void Log(const std::string& line) { std::cerr << "zlk-print-agent: " << line << std::endl; }

// One agent a user: a second one (started twice by the session) would show
// every window twice. The lock goes with the process.
bool FirstOfThisUser()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path folder =
        runtime && *runtime ? std::filesystem::path(runtime) : std::filesystem::temp_directory_path();
    const std::filesystem::path lock = folder / ("zlk-print-agent-" + std::to_string(getuid()) + ".lock");
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;  // kept open until exit
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("zlk-print-agent");
    QApplication::setApplicationDisplayName(zlk::host::gui::Text("Zelko Print Agent"));
    // The agent lives as long as the session, not as long as its windows.
    QApplication::setQuitOnLastWindowClosed(false);
    for (const QString& arg : QApplication::arguments().mid(1)) {
        if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        std::cerr << "zlk-print-agent: unknown argument " << arg.toStdString() << "\n" << kUsage;
        return 2;
    }
    if (!FirstOfThisUser()) {
        Log("already running for this user");
        return 0;
    }

    // The session ends with SIGTERM: leave through the event loop, so the
    // scheduler's subscription is cancelled rather than left to expire.
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        std::signal(SIGTERM, AskToQuit);
        std::signal(SIGINT, AskToQuit);
    }
    QSocketNotifier quitNotifier(quitPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, &QApplication::quit);

    zlk::widgets::QtToolkit toolkit;
    zlk::host::gui::HelpOpener help(toolkit);
    help.Install();
    zlk::host::agent::AgentSetup setup;
    setup.pluginFolders = zlk::host::PluginFolders(std::getenv("ZLK_PLUGIN_PATH"));
    setup.queuePPD = zlk::host::QueuePPD;
    setup.log = Log;
    std::unique_ptr<zlk::host::agent::Agent> agent;
    QTimer connect;
    QObject::connect(&connect, &QTimer::timeout, [&] {
        std::string why;
        std::unique_ptr<zlk::host::agent::Scheduler> scheduler = zlk::host::agent::Scheduler::Connect(&why);
        if (!scheduler) {
            Log(why + "; trying again in " + std::to_string(kRetryMs / 1000) + " s");
            connect.start(kRetryMs);
            return;
        }
        connect.stop();
        agent = std::make_unique<zlk::host::agent::Agent>(toolkit, std::move(scheduler), setup);
        Log("watching the jobs of " + agent->User());
        agent->Start();
    });
    connect.setSingleShot(true);
    connect.start(0);
    const int status = QApplication::exec();
    agent.reset();
    return status;
}
