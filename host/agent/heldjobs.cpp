#include "host/agent/heldjobs.h"

#include <algorithm>
#include <ctime>

#include "common/dialogjob.h"

namespace zlk::host::agent {

namespace {

constexpr char kTicketPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";
// A subscription outlives the agent by at most this long when it is killed.
constexpr int kLeaseSeconds = 300;
constexpr int kRenewSeconds = 120;
// The scheduler is local or on the office's network: a request that takes
// longer than this is not worth a frozen window.
constexpr int kConnectMs = 5000;

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppHandle = std::unique_ptr<ipp_t, IppDeleter>;

std::string Value(ipp_attribute_t* attr)
{
    char text[1024];
    ippAttributeString(attr, text, sizeof text);
    return text;
}

// The queue's name from a printer or class URI.
std::string QueueOfUri(const std::string& uri)
{
    for (const char* folder : {"/printers/", "/classes/"}) {
        if (const std::size_t at = uri.rfind(folder); at != std::string::npos) {
            return uri.substr(at + std::char_traits<char>::length(folder));
        }
    }
    return {};
}

int Number(const std::map<std::string, std::string>& attributes, const char* name)
{
    const auto it = attributes.find(name);
    return it == attributes.end() ? 0 : std::atoi(it->second.c_str());
}

std::string Text(const std::map<std::string, std::string>& attributes, const char* name)
{
    const auto it = attributes.find(name);
    return it == attributes.end() ? std::string() : it->second;
}

bool CarriesChoices(const std::map<std::string, std::string>& attributes)
{
    for (const auto& [name, value] : attributes) {
        if (name == "job-password" || name == "job-account-id" || name == "job-accounting-user-id") {
            return true;
        }
        if (name.rfind(kTicketPrefix, 0) == 0) {
            const std::string key = name.substr(std::char_traits<char>::length(kTicketPrefix));
            if (key == "PrintTypeTicketKey" || key.rfind("JBA", 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

HeldJobKind ClassifyJob(const std::map<std::string, std::string>& attributes, const std::string& user)
{
    if (Text(attributes, "job-originating-user-name") != user || Text(attributes, "job-state") != "pending-held" ||
        Text(attributes, "job-hold-until") != "indefinite" || attributes.count(common::kDialogJobOption) != 0) {
        return HeldJobKind::NotOurs;
    }
    return CarriesChoices(attributes) ? HeldJobKind::Release : HeldJobKind::Ask;
}

std::unique_ptr<Scheduler> Scheduler::Connect(std::string* error)
{
    std::unique_ptr<Scheduler> scheduler(new Scheduler());
    scheduler->http_ =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMs, nullptr);
    if (!scheduler->http_) {
        if (error) {
            *error = std::string("the print scheduler at ") + cupsServer() + " cannot be reached";
        }
        return nullptr;
    }
    scheduler->user_ = cupsUser();
    return scheduler;
}

Scheduler::~Scheduler()
{
    if (subscription_ > 0) {
        // Not left to expire: the scheduler keeps a limited number.
        ipp_t* request = Request(IPP_OP_CANCEL_SUBSCRIPTION);
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", subscription_);
        ippDelete(cupsDoRequest(http_, request, "/"));
    }
    httpClose(http_);
}

ipp_t* Scheduler::Request(ipp_op_t op) const
{
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user_.c_str());
    return request;
}

ipp_t* Scheduler::Send(ipp_t* request, const char* resource, std::string* error)
{
    ipp_t* response = cupsDoRequest(http_, request, resource);
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        if (error) {
            *error = cupsLastErrorString();
        }
        ippDelete(response);
        return nullptr;
    }
    return response;
}

bool Scheduler::Subscribe(std::string* error)
{
    ipp_t* request = Request(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS);
    ippAddString(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr, "ippget");
    static const char* const events[] = {"job-created", "job-state-changed"};
    ippAddStrings(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events", 2, nullptr, events);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", kLeaseSeconds);
    IppHandle response(Send(request, "/", error));
    ipp_attribute_t* id =
        response ? ippFindAttribute(response.get(), "notify-subscription-id", IPP_TAG_INTEGER) : nullptr;
    if (!id) {
        if (error && response) {
            *error = "the scheduler gave no subscription";
        }
        subscription_ = 0;
        return false;
    }
    subscription_ = ippGetInteger(id, 0);
    sequence_ = 1;
    renewAt_ = std::time(nullptr) + kRenewSeconds;
    return true;
}

bool Scheduler::JobsChanged()
{
    if (subscription_ <= 0) {
        // Without events every look is a change: the caller looks less often.
        Subscribe(nullptr);
        return true;
    }
    if (std::time(nullptr) >= renewAt_) {
        ipp_t* renew = Request(IPP_OP_RENEW_SUBSCRIPTION);
        ippAddInteger(renew, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", subscription_);
        ippAddInteger(renew, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", kLeaseSeconds);
        ippDelete(cupsDoRequest(http_, renew, "/"));
        renewAt_ = std::time(nullptr) + kRenewSeconds;
    }
    ipp_t* request = Request(IPP_OP_GET_NOTIFICATIONS);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", subscription_);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers", sequence_);
    IppHandle response(Send(request, "/", nullptr));
    if (!response) {
        // Expired (the computer slept) or the scheduler restarted.
        subscription_ = 0;
        Subscribe(nullptr);
        return true;
    }
    bool changed = false;
    for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr; attr = ippNextAttribute(response.get())) {
        if (ippGetGroupTag(attr) == IPP_TAG_EVENT_NOTIFICATION && ippGetName(attr) &&
            std::string_view(ippGetName(attr)) == "notify-sequence-number") {
            sequence_ = std::max(sequence_, ippGetInteger(attr, 0) + 1);
            changed = true;
        }
    }
    return changed;
}

std::vector<HeldJob> Scheduler::HeldJobs()
{
    ipp_t* request = Request(IPP_OP_GET_JOBS);
    ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 1);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    IppHandle response(Send(request, "/", nullptr));
    std::vector<HeldJob> jobs;
    if (!response) {
        return jobs;
    }
    std::map<std::string, std::string> attributes;
    auto take = [&] {
        const HeldJobKind kind = ClassifyJob(attributes, user_);
        if (kind != HeldJobKind::NotOurs) {
            HeldJob job;
            job.id = Number(attributes, "job-id");
            job.queue = QueueOfUri(Text(attributes, "job-printer-uri"));
            job.title = Text(attributes, "job-name");
            job.user = user_;
            job.host = Text(attributes, "job-originating-host-name");
            job.pages = Number(attributes, "job-impressions");
            job.kilobytes = Number(attributes, "job-k-octets");
            job.answered = kind == HeldJobKind::Release;
            if (job.id > 0 && !job.queue.empty()) {
                jobs.push_back(std::move(job));
            }
        }
        attributes.clear();
    };
    for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr; attr = ippNextAttribute(response.get())) {
        if (!ippGetName(attr)) {
            take();  // a separator between jobs
        } else if (ippGetGroupTag(attr) == IPP_TAG_JOB) {
            attributes[ippGetName(attr)] = Value(attr);
        }
    }
    take();
    std::sort(jobs.begin(), jobs.end(), [](const HeldJob& a, const HeldJob& b) { return a.id < b.id; });
    return jobs;
}

bool Scheduler::AsksAtPrintTime(const std::string& queue)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user_.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-hold-until-default");
    IppHandle response(Send(request, "/", nullptr));
    ipp_attribute_t* attr =
        response ? ippFindAttribute(response.get(), "job-hold-until-default", IPP_TAG_ZERO) : nullptr;
    return attr && Value(attr) == "indefinite";
}

std::string Scheduler::JobRequest(ipp_op_t op, int job, const std::vector<JobOption>& attributes)
{
    ipp_t* request = ippNewRequest(op);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user_.c_str());
    cups_option_t* encoded = nullptr;
    int count = 0;
    for (const auto& [name, value] : attributes) {
        count = cupsAddOption(name.c_str(), value.c_str(), count, &encoded);
    }
    // As lp -i encodes them, so the filter reads them as it reads lp's.
    cupsEncodeOptions2(request, count, encoded, IPP_TAG_JOB);
    cupsFreeOptions(count, encoded);
    std::string error;
    IppHandle response(Send(request, "/jobs", &error));
    return response ? std::string() : error;
}

std::string Scheduler::ReleaseWith(int job, const std::vector<JobOption>& options)
{
    if (!options.empty()) {
        if (std::string why = JobRequest(IPP_OP_SET_JOB_ATTRIBUTES, job, options); !why.empty()) {
            return why;
        }
    }
    return Release(job);
}

std::string Scheduler::Release(int job) { return JobRequest(IPP_OP_RELEASE_JOB, job); }

std::string Scheduler::Cancel(int job) { return JobRequest(IPP_OP_CANCEL_JOB, job); }

}  // namespace zlk::host::agent
