// zlk-print-agent's watch over the user's jobs: it listens to the
// scheduler's job events, and for each of the user's jobs held by a queue
// that asks at print time shows one window at a time with the account
// plug-in's panels for that queue. Jobs that already carry the choices are
// released without a window; a job that leaves the queue another way while
// its window shows closes the window. Nothing is kept between windows.
#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/agent/askwindow.h"
#include "host/agent/heldjobs.h"

namespace zlk::host::agent {

struct AgentSetup {
    std::vector<std::filesystem::path> pluginFolders;
    // The queue's PPD in a temporary file the agent removes.
    std::function<std::filesystem::path(const std::string& queue, std::string* error)> queuePPD;
    // What the agent tells the session's log (one line each, no secrets).
    std::function<void(const std::string& line)> log;
};

class Agent final : public QObject {
public:
    Agent(widgets::QtToolkit& toolkit, std::unique_ptr<Scheduler> scheduler, AgentSetup setup);
    ~Agent() override;

    // Looks at the user's jobs now, then whenever the scheduler reports a
    // change.
    void Start();
    const std::string& User() const { return scheduler_->user(); }
    // The window on screen; null when none.
    AskWindow* Shown() const { return shown_.get(); }
    // Calls back each time a window is shown.
    void OnShown(std::function<void(AskWindow&)> callback) { onShown_ = std::move(callback); }

private:
    void Poll();
    void Refresh();
    void ShowNext();
    void Finished();

    widgets::QtToolkit& toolkit_;
    std::unique_ptr<Scheduler> scheduler_;
    AgentSetup setup_;
    QTimer poll_;
    std::deque<HeldJob> waiting_;
    // Jobs asked about, let go or found not to be ours: never again.
    std::set<int> handled_;
    std::unique_ptr<AskWindow> shown_;
    // The window last closed, deleted once its own signal has returned.
    std::unique_ptr<AskWindow> closed_;
    std::function<void(AskWindow&)> onShown_;
    int quietPolls_ = 0;
};

}  // namespace zlk::host::agent
