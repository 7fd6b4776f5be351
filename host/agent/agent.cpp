#include "host/agent/agent.h"

#include <unistd.h>

#include <algorithm>
#include <map>

namespace zlk::host::agent {

namespace {

// Events are fetched this often: the window should follow the job within
// half a second, and a Get-Notifications that finds nothing costs the
// scheduler next to nothing.
constexpr int kPollMs = 200;
// Without a subscription (the scheduler refused or is away) the jobs
// themselves are looked at, less often.
constexpr int kUnsubscribedPollMs = 5000;
// A full look now and then, in case an event was missed.
constexpr int kPollsPerFullLook = 300;

std::string Name(const HeldJob& job) { return job.queue + "-" + std::to_string(job.id); }

}  // namespace

Agent::Agent(widgets::QtToolkit& toolkit, std::unique_ptr<Scheduler> scheduler, AgentSetup setup)
    : toolkit_(toolkit),
      scheduler_(std::move(scheduler)),
      setup_(std::move(setup))
{
    if (!setup_.log) {
        setup_.log = [](const std::string&) {};
    }
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
}

Agent::~Agent()
{
    poll_.stop();
    shown_.reset();
    closed_.reset();
}

void Agent::Start()
{
    std::string why;
    if (!scheduler_->Subscribe(&why)) {
        setup_.log("the scheduler sends no job events (" + why + "); looking at the jobs every " +
                   std::to_string(kUnsubscribedPollMs / 1000) + " s");
    }
    Refresh();
    poll_.start(scheduler_->Subscribed() ? kPollMs : kUnsubscribedPollMs);
}

void Agent::Poll()
{
    closed_.reset();
    const bool changed = scheduler_->JobsChanged();
    if (changed || ++quietPolls_ >= kPollsPerFullLook) {
        quietPolls_ = 0;
        Refresh();
    }
    poll_.setInterval(scheduler_->Subscribed() ? kPollMs : kUnsubscribedPollMs);
}

void Agent::Refresh()
{
    const std::vector<HeldJob> jobs = scheduler_->HeldJobs();
    auto held = [&](int id) {
        return std::any_of(jobs.begin(), jobs.end(), [id](const HeldJob& job) { return job.id == id; });
    };
    // Released, cancelled or moved by someone else meanwhile.
    std::erase_if(waiting_, [&](const HeldJob& job) { return !held(job.id); });
    if (shown_ && shown_->Given() == Answer::None && !held(shown_->Job().id)) {
        setup_.log("job " + Name(shown_->Job()) + " is no longer held; its window closes");
        shown_->close();
    }
    std::map<std::string, bool> asks;
    for (const HeldJob& job : jobs) {
        const bool waiting =
            std::any_of(waiting_.begin(), waiting_.end(), [&](const HeldJob& other) { return other.id == job.id; });
        if (handled_.count(job.id) || waiting || (shown_ && shown_->Job().id == job.id)) {
            continue;
        }
        if (!asks.count(job.queue)) {
            asks[job.queue] = scheduler_->AsksAtPrintTime(job.queue);
        }
        if (!asks[job.queue]) {
            // Held by its sender on a queue that does not ask: not ours to answer.
            handled_.insert(job.id);
        } else if (job.answered) {
            handled_.insert(job.id);
            const std::string why = scheduler_->Release(job.id);
            setup_.log("job " + Name(job) +
                       (why.empty() ? " carries its print settings already: released" : " was not released: " + why));
        } else {
            waiting_.push_back(job);
        }
    }
    ShowNext();
}

void Agent::ShowNext()
{
    while (!shown_ && !waiting_.empty()) {
        HeldJob job = std::move(waiting_.front());
        waiting_.pop_front();
        handled_.insert(job.id);
        std::string problem;
        const std::filesystem::path ppd = setup_.queuePPD(job.queue, &problem);
        std::unique_ptr<PrintDialog> dialog;
        if (!ppd.empty()) {
            PrintDialog::Setup setup;
            setup.queue = job.queue;
            setup.ppd = ppd;
            setup.pluginFolders = setup_.pluginFolders;
            setup.toolkit = &toolkit_;
            setup.panelKinds = {kAccountingPanelKind, kPrintTypePanelKind};
            dialog = PrintDialog::Open(setup, &problem);
            unlink(ppd.c_str());
        }
        if (!dialog || dialog->Panels().empty()) {
            setup_.log("job " + Name(job) +
                       " stays held: " + (dialog ? "no Zelko panel serves the queue " + job.queue : problem));
            continue;
        }
        dialog->Restore();
        AskActions actions;
        actions.releaseWith = [this](int id, const std::vector<JobOption>& options) {
            return scheduler_->ReleaseWith(id, options);
        };
        actions.cancel = [this](int id) { return scheduler_->Cancel(id); };
        shown_ = std::make_unique<AskWindow>(toolkit_, std::move(job), std::move(dialog), std::move(actions));
        connect(shown_.get(), &QDialog::finished, this, [this] { Finished(); });
        shown_->show();
        shown_->raise();
        shown_->activateWindow();
        setup_.log("job " + Name(shown_->Job()) + " is held for its print settings: asking");
        if (onShown_) {
            onShown_(*shown_);
        }
    }
}

void Agent::Finished()
{
    closed_ = std::move(shown_);
    const AskWindow* window = closed_.get();
    static const std::map<Answer, const char*> said = {
        {Answer::Printed, " printed with the settings given"},
        {Answer::Cancelled, " cancelled"},
        {Answer::Later, " left held"},
        {Answer::None, " left held"},
    };
    setup_.log("job " + Name(window->Job()) + said.at(window->Given()));
    ShowNext();
}

}  // namespace zlk::host::agent
