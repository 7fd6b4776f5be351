#include "host/jobsubmit.h"

#include <algorithm>

#include <cups/cups.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "common/dialogjob.h"
#include "common/openssl.h"
#include "secblob/secblob.h"

namespace zlk::host {

namespace {

struct DestsDeleter {
    int count;
    void operator()(cups_dest_t* dests) const { cupsFreeDests(count, dests); }
};

constexpr char kPasscodeKey[] = "com.zelko.jt.printsettings.pdf.ww.PrintTypePasswordTicketKey";

// The digits of the passcode the print type panel wrote as a storage blob;
// empty when it is not one that opens to digits.
std::string OpenedPasscode(const std::string& blob)
{
    common::SecretBuffer plain(255);
    std::size_t length = plain.size();
    if (secblob::Decode_StorageText(blob.c_str(), plain.data(), &length) != secblob::kSecBlobSuccess || length == 0) {
        return {};
    }
    const std::string_view digits(reinterpret_cast<const char*>(plain.data()), length);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return {};
    }
    return std::string(digits);
}

}  // namespace

std::string DocumentFormat(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    char head[5] = {};
    in.read(head, sizeof head);
    const std::string start(head, static_cast<std::size_t>(in.gcount()));
    if (start.rfind("%PDF-", 0) == 0) {
        return CUPS_FORMAT_PDF;
    }
    if (start.rfind("%!", 0) == 0) {
        return CUPS_FORMAT_POSTSCRIPT;
    }
    return CUPS_FORMAT_AUTO;
}

QueueDescription DescribeQueue(const std::string& queue)
{
    QueueDescription description;
    std::unique_ptr<cups_dest_t, DestsDeleter> dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr),
                                                    DestsDeleter{1});
    if (!dest) {
        return description;
    }
    auto option = [&](const char* name) {
        const char* value = cupsGetOption(name, dest->num_options, dest->options);
        return std::string(value ? value : "");
    };
    description.known = true;
    description.info = option("printer-info");
    description.location = option("printer-location");
    description.stopped = option("printer-state") == "5";
    description.accepting = option("printer-is-accepting-jobs") != "false";
    description.message = option("printer-state-message");
    return description;
}

std::string DefaultQueue()
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest) {
        return {};
    }
    std::string name = dest->name;
    cupsFreeDests(1, dest);
    return name;
}

std::vector<std::string> Queues()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::unique_ptr<cups_dest_t, DestsDeleter> owned(dests, DestsDeleter{count});
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        if (!dests[i].instance) {
            names.emplace_back(dests[i].name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool SaveDefaultOptions(const std::string& queue, const std::vector<JobOption>& options, std::string* error)
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::unique_ptr<cups_dest_t, DestsDeleter> owned(dests, DestsDeleter{count});
    cups_dest_t* dest = cupsGetDest(queue.c_str(), nullptr, count, dests);
    if (!dest) {
        if (error) {
            *error = "the queue \"" + queue + "\" is unknown to the scheduler";
        }
        return false;
    }
    for (const auto& [name, value] : options) {
        if (value.empty()) {
            dest->num_options = cupsRemoveOption(name.c_str(), dest->num_options, &dest->options);
        } else {
            dest->num_options = cupsAddOption(name.c_str(), value.c_str(), dest->num_options, &dest->options);
        }
    }
    // Where libcups keeps them for this user: its own folder in the home
    // folder, else the system's file.
    const char* serverRoot = std::getenv("CUPS_SERVERROOT");
    const char* home = std::getenv("HOME");
    const std::filesystem::path own =
        home ? std::filesystem::path(home) / ".cups" / "lpoptions" : std::filesystem::path();
    const std::filesystem::path system = std::filesystem::path(serverRoot ? serverRoot : "/etc/cups") / "lpoptions";
    errno = 0;
    if (cupsSetDests2(CUPS_HTTP_DEFAULT, count, dests) != 0) {
        // libcups says only that its last request went well: the cause is
        // the file's.
        const int cause = errno;
        if (error) {
            *error = "the defaults could not be stored in " + (own.empty() ? system : own).string() + ": " +
                     (cause != 0 ? std::strerror(cause) : cupsLastErrorString());
        }
        return false;
    }
    // Only the owner may read it. A link there is followed by CUPS, but the
    // mode of another file is not ours to change.
    for (const std::filesystem::path& file : {own, system}) {
        std::error_code ignored;
        if (!file.empty() && std::filesystem::exists(std::filesystem::symlink_status(file, ignored))) {
            if (!std::filesystem::is_symlink(file, ignored)) {
                std::filesystem::permissions(
                    file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ignored);
            }
            break;
        }
    }
    return true;
}

std::optional<std::vector<JobOption>> DefaultOptions(PrintDialog& dialog)
{
    if (!dialog.Save()) {
        return std::nullopt;
    }
    std::vector<JobOption> options = dialog.JobOptions();
    for (JobOption& option : options) {
        if (dialog.IsPPDDefault(option)) {
            option.second.clear();
        }
    }
    return options;
}

std::filesystem::path QueuePPD(const std::string& queue, std::string* error)
{
    char path[1024] = "";
    time_t modified = 0;
    if (cupsGetPPD3(CUPS_HTTP_DEFAULT, queue.c_str(), &modified, path, sizeof path) != HTTP_STATUS_OK) {
        if (error) {
            *error = "the queue \"" + queue + "\" is unknown to the scheduler, or it has no PPD";
        }
        return {};
    }
    return path;
}

SubmitResult SubmitJob(const std::string& queue, const std::string& title,
                       const std::vector<std::filesystem::path>& files, const std::vector<JobOption>& options)
{
    SubmitResult result;
    std::unique_ptr<cups_dest_t, DestsDeleter> dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr),
                                                    DestsDeleter{1});
    if (!dest) {
        result.message = "the queue \"" + queue + "\" is unknown: " + cupsLastErrorString();
        return result;
    }
    cups_option_t* cupsOptions = nullptr;
    int count = 0;
    for (const auto& [name, value] : options) {
        if (name == kPasscodeKey) {
            // Sent as job-password when it opens: the scheduler shows that
            // to nobody, the ticket key to anyone who asks for the job.
            if (const std::string passcode = OpenedPasscode(value); !passcode.empty()) {
                count = cupsAddOption("job-password", passcode.c_str(), count, &cupsOptions);
                count = cupsAddOption("job-password-encryption", "none", count, &cupsOptions);
                continue;
            }
        }
        count = cupsAddOption(name.c_str(), value.c_str(), count, &cupsOptions);
    }
    // Only jobs sent from here carry the mark, never the saved defaults:
    // those are defaults too, which a standard attribute may override.
    count = cupsAddOption(common::kDialogJobOption, common::kDialogJobValue, count, &cupsOptions);
    // The user has answered our panels already: a queue that asks at print
    // time must not hold this job for the print agent. A hold asked for stays.
    if (!cupsGetOption("job-hold-until", count, cupsOptions)) {
        count = cupsAddOption("job-hold-until", "no-hold", count, &cupsOptions);
    }
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get());
    int jobId = 0;
    if (cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest.get(), info, &jobId, title.c_str(), count, cupsOptions) !=
        IPP_STATUS_OK) {
        result.message = std::string("the queue refused the job: ") + cupsLastErrorString();
        cupsFreeOptions(count, cupsOptions);
        cupsFreeDestInfo(info);
        return result;
    }
    bool sent = true;
    for (std::size_t i = 0; i < files.size() && sent; ++i) {
        std::ifstream in(files[i], std::ios::binary);
        if (!in) {
            result.message = "cannot read " + files[i].string();
            sent = false;
            break;
        }
        const std::string format = DocumentFormat(files[i]);
        if (cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest.get(), info, jobId, files[i].filename().c_str(),
                                  format.c_str(), 0, nullptr, i + 1 == files.size()) != HTTP_STATUS_CONTINUE) {
            result.message = std::string("the document could not be sent: ") + cupsLastErrorString();
            sent = false;
            break;
        }
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, buffer, static_cast<std::size_t>(in.gcount())) !=
                HTTP_STATUS_CONTINUE) {
                sent = false;
                break;
            }
        }
        if (cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest.get(), info) != IPP_STATUS_OK) {
            result.message = std::string("the document was not accepted: ") + cupsLastErrorString();
            sent = false;
        }
    }
    if (!sent) {
        // Half a job must not print.
        cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest.get(), jobId);
    } else {
        result.jobId = jobId;
    }
    cupsFreeOptions(count, cupsOptions);
    cupsFreeDestInfo(info);
    return result;
}

}  // namespace zlk::host
