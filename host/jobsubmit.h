// Sends a job to a CUPS queue, local or remote, with the job options the
// print dialog came to.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/printdialog.h"

namespace zlk::host {

struct SubmitResult {
    int jobId = 0;  // 0 when the queue refused the job
    std::string message;
};

// One job holding the files, each sent with its own type (PDF, PostScript
// or plain text as its first bytes say; anything else for the scheduler to
// recognise).
SubmitResult SubmitJob(const std::string& queue, const std::string& title,
                       const std::vector<std::filesystem::path>& files, const std::vector<JobOption>& options);

// Stores options as the user's defaults for the queue, as lpoptions does
// (~/.cups/lpoptions, or the system's file for root), so that jobs any
// program sends to the queue carry them. An option with an empty value is
// removed instead: CUPS would read its bare name back as "true". The file
// is kept at mode 0600: it may hold encrypted passwords. False with a
// message on failure.
bool SaveDefaultOptions(const std::string& queue, const std::vector<JobOption>& options, std::string* error);

// What Set as Defaults keeps of a dialog: every panel saves its values (no
// window of the print itself opens), then the job options, each printer
// option at the printer's own default and each empty setting as a removal
// (an empty value). Copies and page ranges belong to one job and are not
// among them. Nothing when a panel refuses to save; the dialog's last
// notice says why.
std::optional<std::vector<JobOption>> DefaultOptions(PrintDialog& dialog);

// The PPD the scheduler keeps for a queue, copied to a temporary file the
// caller removes; empty with a message when the queue is unknown.
std::filesystem::path QueuePPD(const std::string& queue, std::string* error);

// What the scheduler says of a queue for a person choosing it.
struct QueueDescription {
    std::string info;  // printer-info, the administrator's description
    std::string location;
    bool known = false;
    bool stopped = false;  // paused: jobs wait
    bool accepting = true;  // false: jobs are refused
    std::string message;  // printer-state-message, when there is one
};
QueueDescription DescribeQueue(const std::string& queue);

// The default queue, or empty.
std::string DefaultQueue();

// The queues this user can print to, by name (instances left out).
std::vector<std::string> Queues();

// The document type by its first bytes.
std::string DocumentFormat(const std::filesystem::path& file);

}  // namespace zlk::host
