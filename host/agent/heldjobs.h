// The scheduler's side of the print-time prompt: which of this user's jobs
// wait, held, for the print type and accounting choices, and the requests
// that give a held job those choices, release it or cancel it.
//
// A queue asks at print time when its job-hold-until-default is
// "indefinite": every job that does not say otherwise arrives held. Jobs
// our dialogs send say "no-hold" and carry the dialog's mark, so a held job
// with the mark was held by its sender and is never touched here.
#pragma once

#include <cups/cups.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/printdialog.h"

namespace zlk::host::agent {

struct HeldJob {
    int id = 0;
    std::string queue;
    std::string title;
    std::string user;
    std::string host;  // where it was sent from, when the scheduler knows
    int pages = 0;  // 0 when the sender did not say
    int kilobytes = 0;
    // The job already carries print type or accounting choices (our ticket
    // keys, or the standard job-password, job-account-id and
    // job-accounting-user-id): it needs no answer.
    bool answered = false;
};

// What is to be done with a job the scheduler reports held.
enum class HeldJobKind {
    NotOurs,  // another user's, not held indefinitely, or held by our dialogs
    Ask,  // waits for the user's answer
    Release,  // held only because the queue asks, and it is answered already
};

// Decides from the job's attributes (as Get-Jobs answers them) for user.
HeldJobKind ClassifyJob(const std::map<std::string, std::string>& attributes, const std::string& user);

// A connection to the scheduler libcups is set to (CUPS_SERVER, the
// client.conf, or the local one) for one user's jobs.
class Scheduler {
public:
    // Null with a message when the scheduler cannot be reached.
    static std::unique_ptr<Scheduler> Connect(std::string* error);
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    const std::string& user() const { return user_; }

    // Starts a pull subscription to job events of every queue; false with
    // the scheduler's message when it refuses.
    bool Subscribe(std::string* error);
    bool Subscribed() const { return subscription_ > 0; }
    // Whether anything happened to jobs since the last call (also true the
    // first time, and when the subscription was lost and made again).
    bool JobsChanged();

    // This user's held jobs that wait for an answer or need releasing, in
    // the order they arrived.
    std::vector<HeldJob> HeldJobs();
    // Whether the queue holds jobs to ask at print time.
    bool AsksAtPrintTime(const std::string& queue);

    // Adds the options to the held job as job attributes, then releases it.
    // Empty, or the scheduler's reason.
    std::string ReleaseWith(int job, const std::vector<JobOption>& options);
    std::string Release(int job);
    std::string Cancel(int job);

private:
    Scheduler() = default;
    ipp_t* Request(ipp_op_t op) const;
    // A request about one job; answers empty or the scheduler's reason.
    std::string JobRequest(ipp_op_t op, int job, const std::vector<JobOption>& attributes = {});
    // Sends and frees request; the response (owned by the caller) or null
    // with *error set.
    ipp_t* Send(ipp_t* request, const char* resource, std::string* error);

    http_t* http_ = nullptr;
    std::string user_;
    int subscription_ = 0;
    int sequence_ = 0;  // the next event number wanted
    time_t renewAt_ = 0;
};

}  // namespace zlk::host::agent
