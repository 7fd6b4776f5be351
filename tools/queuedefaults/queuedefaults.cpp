#include "tools/queuedefaults/queuedefaults.h"
#include "tools/queuedefaults/privatevalues.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <sstream>

#include <cups/cups.h>
#include <strings.h>

#include "common/fd.h"
#include "common/ppdfile.h"
#include "common/utf8.h"

extern char** environ;

namespace zlk::queuedefaults {

namespace {

// The filter reads every ticket key under this prefix.
constexpr char kPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";

// Print type panel products, in the panel's own order: the row's position is
// the product number it writes.
constexpr const char* kPrintTypeProducts[] = {"Default00", "Default01", "Default02", "Default03", "Quorvel00"};

// A key the command may set: an integer within [low, high], or a text of at
// most maxBytes bytes (the filter's field less its terminator).
struct Key {
    const char* name;
    int low = 0;
    int high = 0;
    std::size_t maxBytes = 0;  // 0: an integer key
};

constexpr Key kKeys[] = {
    {"PrintTypeProductTypeTicketKey", 0, 4},
    // Delayed and mailbox printing need a start time or box number per job.
    {"PrintTypeTicketKey", 1, 3},
    {"DocumentNameTypeTicketKey", 1, 2},
    {"JBAManageTypeListTicketKey", 1, 2},
    {"JBAUserIDListCtrlTicket", 1, 2},
    {"JBAUserInputRadioBtnTicket", 0, 1},
    {"JBAAccountIDTextEditTicket", 0, 0, 32},
    {"JBADomainNameTextEditTicket", 0, 0, 64},
    {"JBAAdminAccountIDTextEditTicket", 0, 0, 32},
    {"JBAAdminDomainNameTextEditTicket", 0, 0, 64},
};

const char* AttrValue(ppd_file_t* ppd, const char* name)
{
    ppd_attr_t* attr = ppdFindAttr(ppd, name, nullptr);
    return attr && attr->value ? attr->value : nullptr;
}

bool AttrIs(ppd_file_t* ppd, const char* name, const char* value)
{
    const char* found = AttrValue(ppd, name);
    return found && std::strcmp(found, value) == 0;
}

// The dialogs offer neither panel on a Quorvel model that switches either off.
bool PanelsAllowed(ppd_file_t* ppd)
{
    if (!AttrIs(ppd, "ZLKDeviceModel", "Quorvel"))
        return true;
    return !AttrIs(ppd, "ZLKXEnableAccounting", "False") && !AttrIs(ppd, "ZLKXEnablePrintType", "False");
}

bool AccountingOffered(ppd_file_t* ppd)
{
    const char* value = AttrValue(ppd, "ZLKXAccountingSettings");
    return PanelsAllowed(ppd) && value && *value;
}

bool IsPasswordName(const std::string& name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.find("password") != std::string::npos;
}

const Key* FindKey(const std::string& name)
{
    for (const Key& key : kKeys)
        if (name == key.name)
            return &key;
    return nullptr;
}

// Empty when value fits key; otherwise why not.
std::string CheckValue(const Key& key, const std::string& value)
{
    if (key.maxBytes == 0) {
        bool digits = !value.empty() && value.size() <= 3 &&
                      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
        int number = digits ? std::stoi(value) : -1;
        if (number < key.low || number > key.high)
            return std::string(key.name) + " takes a number from " + std::to_string(key.low) + " to " +
                   std::to_string(key.high) + ", not \"" + value + "\"";
        return {};
    }
    if (value.empty() || value.size() > key.maxBytes)
        return std::string(key.name) + " takes a text of 1 to " + std::to_string(key.maxBytes) + " bytes";
    if (!common::IsValidUtf8(value) ||
        std::any_of(value.begin(), value.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        return std::string(key.name) + " takes UTF-8 text without control characters";
    return {};
}

void Put(std::vector<Setting>& settings, const std::string& name, const std::string& value)
{
    for (Setting& setting : settings)
        if (setting.name == name) {
            setting.value = value;
            return;
        }
    settings.push_back({name, value});
}

std::string PasswordRefusal(const std::string& name)
{
    return name +
           " is a password: queue defaults are kept readable in the scheduler's printers.conf, so passwords are "
           "never set there; give it per job (lp -o) or per user (lpoptions)";
}

}  // namespace

std::optional<int> PrintTypeProductType(ppd_file_t* ppd)
{
    const char* value = AttrValue(ppd, "ZLKXPrintTypeSettings");
    if (!PanelsAllowed(ppd) || !value || !*value)
        return std::nullopt;
    // "Default01-ColorMFPJ": the product before the first "-", its help page after it.
    std::string product(value, std::strcspn(value, "-"));
    for (std::size_t row = 0; row < std::size(kPrintTypeProducts); ++row)
        if (product == kPrintTypeProducts[row])
            return static_cast<int>(row);
    // The panel of an unknown product keeps the first row's number.
    return 0;
}

Plan PlanDefaults(ppd_file_t* ppd, const Request& request)
{
    Plan plan;
    ppdMarkDefaults(ppd);
    std::optional<int> product = PrintTypeProductType(ppd);
    if (product)
        Put(plan.settings, "PrintTypeProductTypeTicketKey", std::to_string(*product));

    if (request.printType) {
        int type = *request.printType;
        if (type < 1 || type > 3) {
            plan.error = "print type " + std::to_string(type) + " cannot be a queue default";
            return plan;
        }
        if (!product) {
            plan.error = "the printer description offers no print types (no ZLKXPrintTypeSettings)";
            return plan;
        }
        if (type != 1 && !common::CanHoldJobs(ppd)) {
            plan.error =
                "the printer cannot hold jobs as its description stands (ZLKHardDisk not installed): only "
                "normal printing is offered";
            return plan;
        }
        Put(plan.settings, "PrintTypeTicketKey", std::to_string(type));
        // Held jobs are named on the printer's panel by the job's title.
        if (type != 1)
            Put(plan.settings, "DocumentNameTypeTicketKey", "1");
    }

    if (request.accounting || request.account || request.domain) {
        if (!AccountingOffered(ppd)) {
            plan.error = "the printer description offers no job accounting (no ZLKXAccountingSettings)";
            return plan;
        }
        // Charged to the user the spooler names: the filter falls back to
        // the job's user when no user id is given.
        Put(plan.settings, "JBAManageTypeListTicketKey", "2");
        Put(plan.settings, "JBAUserIDListCtrlTicket", "1");
        Put(plan.settings, "JBAUserInputRadioBtnTicket", "0");
        const std::pair<const char*, const std::optional<std::string>*> texts[] = {
            {"JBAAccountIDTextEditTicket", &request.account}, {"JBADomainNameTextEditTicket", &request.domain}};
        for (const auto& [name, value] : texts) {
            if (!*value)
                continue;
            if (std::string why = CheckValue(*FindKey(name), **value); !why.empty()) {
                plan.error = why;
                return plan;
            }
            Put(plan.settings, name, **value);
        }
    }

    for (const Setting& extra : request.extra) {
        std::string name = extra.name;
        if (name.rfind(kPrefix, 0) == 0)
            name.erase(0, std::strlen(kPrefix));
        if (IsPasswordName(name)) {
            plan.error = PasswordRefusal(name);
            return plan;
        }
        const Key* key = FindKey(name);
        if (!key) {
            plan.error = "unknown ticket key " + name + " (see --help for the keys that can be set)";
            return plan;
        }
        if (std::string why = CheckValue(*key, extra.value); !why.empty()) {
            plan.error = why;
            return plan;
        }
        Put(plan.settings, name, extra.value);
    }

    if (plan.settings.empty())
        plan.error = "nothing to set: the printer description names no print type product and no default was asked for";
    return plan;
}

const std::vector<std::string>& SettableNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const Key& key : kKeys)
            all.emplace_back(key.name);
        return all;
    }();
    return names;
}

namespace {

// Whether text, given plainly (blanks and double quotes escaped), would not
// reach the filter as it is. lpadmin reads its -o argument as an option
// list, libcups encodes the value as an IPP attribute by its looks (an
// unknown name has no type of its own), the scheduler keeps it in
// printers.conf and encodes it the same way again for every job.
bool NeedsSlashDecimal(const std::string& text)
{
    if (text.empty())
        return false;
    // The filter decodes a value that starts with "/"; the dialogs write
    // quotes, commas and backslashes in this form too.
    if (text.front() == '/' || text.find_first_of("',\\") != std::string::npos)
        return true;
    // libcups sends a value that starts with "{" as a collection, which the
    // scheduler does not keep as a default, though lpadmin succeeds.
    if (text.front() == '{')
        return true;
    // It sends "true" and "false", in any case, as a boolean, which comes
    // back in lower case.
    if (strcasecmp(text.c_str(), "true") == 0 || strcasecmp(text.c_str(), "false") == 0)
        return true;
    // printers.conf keeps no blank at either end of a value (and a value of
    // blanks alone not at all): the scheduler reads it back without them
    // when it starts again.
    return text.front() == ' ' || text.back() == ' ';
}

// The text of a value as the scheduler holds it, decoded as the filter
// decodes it; the value itself when it is not of the slash-decimal form.
std::string FilterReads(const std::string& value)
{
    if (!value.starts_with('/'))
        return value;
    std::string text;
    for (std::size_t at = 0; at < value.size();) {
        if (value[at] != '/')
            return value;
        std::size_t end = value.find('/', at + 1);
        if (end == std::string::npos)
            end = value.size();
        const std::string digits = value.substr(at + 1, end - at - 1);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }) ||
            std::stoi(digits) > 255)
            return value;
        text += static_cast<char>(std::stoi(digits));
        at = end;
    }
    return text;
}

// The text the scheduler is to hold for value: what lpadmin's option
// parser makes of OptionValue.
std::string ExpectedStoredText(const std::string& value)
{
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(("v=" + OptionValue(value)).c_str(), 0, &options);
    const char* parsed = cupsGetOption("v", count, options);
    std::string text = parsed ? parsed : "";
    cupsFreeOptions(count, options);
    return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string OptionValue(const std::string& text)
{
    // lpadmin parses the value as an option list, and the scheduler hands
    // it on escaped again, so escaped blanks and quotes arrive whole.
    std::string value;
    if (NeedsSlashDecimal(text)) {
        for (unsigned char c : text)
            value += "/" + std::to_string(c);
        return value;
    }
    for (char c : text) {
        if (c == ' ' || c == '"')
            value += '\\';
        value += c;
    }
    return value;
}

std::vector<std::string> SetArguments(const std::string& queue, const std::vector<Setting>& settings,
                                      const std::string& server)
{
    std::vector<std::string> argv = {"lpadmin"};
    if (!server.empty())
        argv.insert(argv.end(), {"-h", server});
    argv.insert(argv.end(), {"-p", queue});
    for (const Setting& setting : settings)
        argv.insert(argv.end(), {"-o", kPrefix + setting.name + "-default=" + OptionValue(setting.value)});
    return argv;
}

std::vector<std::string> RemoveArguments(const std::string& queue, const std::string& server)
{
    std::vector<std::string> argv = {"lpadmin"};
    if (!server.empty())
        argv.insert(argv.end(), {"-h", server});
    argv.insert(argv.end(), {"-p", queue});
    for (const std::string& name : SettableNames())
        argv.insert(argv.end(), {"-R", kPrefix + name + "-default"});
    return argv;
}

std::string HoldUntilDefault(bool ask) { return ask ? "indefinite" : "no-hold"; }

std::string AskRefusal(ppd_file_t* ppd)
{
    if (PrintTypeProductType(ppd) || AccountingOffered(ppd))
        return {};
    return "the printer description offers neither print types nor job accounting (no ZLKXPrintTypeSettings or "
           "ZLKXAccountingSettings, or switched off): not a Zelko queue the print agent could ask about";
}

std::vector<std::string> AskArguments(const std::string& queue, bool ask, const std::string& server)
{
    std::vector<std::string> argv = {"lpadmin"};
    if (!server.empty())
        argv.insert(argv.end(), {"-h", server});
    argv.insert(argv.end(), {"-p", queue, "-o", "job-hold-until-default=" + HoldUntilDefault(ask)});
    return argv;
}

StoredDefaults ReadStoredDefaults(const std::string& queue, const std::string& server)
{
    StoredDefaults stored;
    if (!server.empty())
        cupsSetServer(server.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    std::vector<std::string> names = {"job-hold-until-default"};
    for (const std::string& name : SettableNames())
        names.push_back(kPrefix + name + "-default");
    std::vector<const char*> requested;
    for (const std::string& name : names)
        requested.push_back(name.c_str());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(requested.size()), nullptr, requested.data());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        stored.error = cupsLastErrorString();
        ippDelete(response);
        return stored;
    }
    const std::string suffix = "-default";
    for (ipp_attribute_t* attr = ippFirstAttribute(response); attr; attr = ippNextAttribute(response)) {
        const char* found = ippGetName(attr);
        if (!found || ippGetGroupTag(attr) != IPP_TAG_PRINTER)
            continue;
        std::string name = found;
        if (name == "job-hold-until-default") {
            const char* keyword = ippGetString(attr, 0, nullptr);
            stored.holdUntil = keyword ? keyword : "";
            continue;
        }
        if (!name.starts_with(kPrefix) || !name.ends_with(suffix))
            continue;
        name = name.substr(std::strlen(kPrefix), name.size() - std::strlen(kPrefix) - suffix.size());
        const ipp_tag_t tag = ippGetValueTag(attr);
        StoredValue value;
        if (ippGetCount(attr) == 1 && (tag == IPP_TAG_NAME || tag == IPP_TAG_TEXT || tag == IPP_TAG_KEYWORD ||
                                       tag == IPP_TAG_NAMELANG || tag == IPP_TAG_TEXTLANG)) {
            const char* text = ippGetString(attr, 0, nullptr);
            value.text = text ? text : "";
        } else {
            char text[1024];
            ippAttributeString(attr, text, sizeof text);
            value = {text, false, ippTagString(tag)};
        }
        stored.values[name] = value;
    }
    ippDelete(response);
    return stored;
}

std::string CheckStoredDefaults(const std::vector<Setting>& settings, const StoredDefaults& stored)
{
    std::string differences;
    for (const Setting& setting : settings) {
        const auto found = stored.values.find(setting.name);
        std::string held;
        if (found == stored.values.end())
            held = "nothing";
        else if (!found->second.isText)
            held = "a " + found->second.type + " (" + found->second.text + ")";
        else if (found->second.text != ExpectedStoredText(setting.value))
            held = Quoted(FilterReads(found->second.text));
        if (!held.empty())
            differences +=
                "the scheduler stored " + held + " for " + setting.name + " instead of " + Quoted(setting.value) + "\n";
    }
    return differences;
}

std::string CheckRemovedDefaults(const StoredDefaults& stored)
{
    std::string left;
    for (const auto& [name, value] : stored.values)
        left += "the scheduler still holds " + (value.isText ? Quoted(FilterReads(value.text)) : value.text) + " for " +
                name + "\n";
    return left;
}

int RunProgram(const std::vector<std::string>& argv, std::string& output)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        output = std::strerror(errno);
        return -1;
    }
    common::UniqueFd readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int status = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    if (status != 0) {
        output = argv[0] + ": " + std::strerror(status);
        return -1;
    }
    char buffer[4096];
    for (ssize_t got; (got = read(readEnd.get(), buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

std::string Usage()
{
    std::string text =
        "usage: zlk-queue-defaults [options] QUEUE\n"
        "Sets the driver defaults of a CUPS queue from its printer description, so that jobs from\n"
        "any program carry the printer's print type product (the document name the printer shows)\n"
        "and, if asked, a print type and job accounting.\n"
        "\n"
        "  --print-type normal|secure|sample  print type of every job (secure and sample jobs are\n"
        "                        held at the printer, named by the job's title)\n"
        "  --accounting          charge every job to the user who prints it\n"
        "  --account ID          ... to this account id (implies --accounting)\n"
        "  --domain NAME         ... in this domain (implies --accounting)\n"
        "  --set NAME=VALUE      set one ticket key (names below, with or without the\n"
        "                        com.zelko.jt.printsettings.pdf.ww. prefix)\n"
        "  --ppd FILE            read this printer description instead of the queue's\n"
        "  -h SERVER[:PORT]      the scheduler to talk to\n"
        "  --dry-run             print what would be set, change nothing\n"
        "  --remove              remove every default this command sets\n"
        "  --ask-at-print-time   hold every job that does not say when to print (jobs from\n"
        "                        programs with their own print dialog) until its user answers\n"
        "                        the Zelko print agent's print type and accounting panels\n"
        "  --no-ask-at-print-time  print such jobs at once again\n"
        "  --hide-passwords      have the scheduler keep the driver's passwords in jobs from\n"
        "                        everyone but the job's owner and administrators (all queues;\n"
        "                        no QUEUE needed; the scheduler restarts)\n"
        "  --help                this text\n"
        "\n"
        "Passwords and passcodes are refused: queue defaults are readable in printers.conf.\n"
        "After lpadmin the defaults are read back from the scheduler: the command fails, naming\n"
        "each setting, when the scheduler holds anything but what was asked.\n"
        "Keys that can be set:";
    for (const std::string& name : SettableNames())
        text += "\n  " + name;
    return text + "\n";
}

struct RemoveOnExit {
    std::string path;
    ~RemoveOnExit()
    {
        if (!path.empty())
            unlink(path.c_str());
    }
};

std::optional<int> PrintTypeByName(const std::string& name)
{
    if (name == "normal")
        return 1;
    if (name == "secure")
        return 2;
    if (name == "sample")
        return 3;
    return std::nullopt;
}

// The queue's printer description, or the file given; null once err says why.
common::PPDHandle OpenDescription(const std::string& queue, const std::string& ppdPath, const std::string& server,
                                  std::ostream& err)
{
    RemoveOnExit fetched;
    std::string path = ppdPath;
    if (path.empty()) {
        if (!server.empty())
            cupsSetServer(server.c_str());
        const char* got = cupsGetPPD2(CUPS_HTTP_DEFAULT, queue.c_str());
        if (!got) {
            err << "zlk-queue-defaults: cannot get the printer description of " << queue << ": "
                << cupsLastErrorString() << "\n";
            return nullptr;
        }
        path = fetched.path = got;
    }
    common::PPDHandle ppd = common::OpenPPD(path.c_str());
    if (!ppd)
        err << "zlk-queue-defaults: cannot read the printer description " << path << "\n";
    return ppd;
}

// Runs lpadmin, or with dryRun shows the command line. The exit status when
// the command ends here (shown, or lpadmin failed); none when it ran and the
// result is to be read back.
std::optional<int> RunLpadmin(const std::vector<std::string>& argv, bool dryRun, std::ostream& out, std::ostream& err,
                              const Runner& run)
{
    if (dryRun) {
        out << "would run:";
        for (const std::string& arg : argv)
            out << " " << arg;
        out << "\n";
        return 0;
    }
    std::string output;
    if (int status = run(argv, output); status != 0) {
        err << "zlk-queue-defaults: lpadmin failed (" << status << "): " << output << "\n";
        return 1;
    }
    return std::nullopt;
}

// Sets the queue's job-hold-until-default and reads it back.
int SetAsk(const std::string& queue, bool ask, const std::string& ppdPath, const std::string& server, bool dryRun,
           std::ostream& out, std::ostream& err, const Runner& run, const DefaultsReader& read)
{
    common::PPDHandle ppd = OpenDescription(queue, ppdPath, server, err);
    if (!ppd)
        return 1;
    if (std::string why = AskRefusal(ppd.get()); !why.empty()) {
        err << "zlk-queue-defaults: " << queue << ": " << why << "; nothing set\n";
        return 2;
    }
    const std::vector<std::string> argv = AskArguments(queue, ask, server);
    if (std::optional<int> ended = RunLpadmin(argv, dryRun, out, err, run))
        return *ended;
    const StoredDefaults stored = read(queue, server);
    if (!stored.error.empty()) {
        err << "zlk-queue-defaults: lpadmin succeeded, but the job-hold-until-default of " << queue
            << " could not be read back from the scheduler: " << stored.error << "\n";
        return 1;
    }
    if (stored.holdUntil != HoldUntilDefault(ask)) {
        err << "zlk-queue-defaults: the scheduler holds job-hold-until-default="
            << (stored.holdUntil.empty() ? "(nothing)" : stored.holdUntil) << " for " << queue << " instead of "
            << HoldUntilDefault(ask) << "\n";
        return 1;
    }
    if (ask)
        out << queue
            << " holds every job that does not say when to print until its user answers the Zelko print "
               "agent\n";
    else
        out << queue << " prints jobs that do not say when to print at once\n";
    return 0;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Runner& run,
               const DefaultsReader& read)
{
    Request request;
    std::string queue, ppdPath, server;
    bool dryRun = false, remove = false, hidePasswords = false;
    std::optional<bool> ask;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto next = [&](std::string& into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        std::string value;
        if (arg == "--help") {
            out << Usage();
            return 0;
        } else if (arg == "--dry-run") {
            dryRun = true;
        } else if (arg == "--remove") {
            remove = true;
        } else if (arg == "--hide-passwords") {
            hidePasswords = true;
        } else if (arg == "--ask-at-print-time" || arg == "--no-ask-at-print-time") {
            ask = arg == "--ask-at-print-time";
        } else if (arg == "--accounting") {
            request.accounting = true;
        } else if (arg == "--print-type" && next(value)) {
            request.printType = PrintTypeByName(value);
            if (!request.printType) {
                err << "zlk-queue-defaults: print type \"" << value
                    << "\" is not one of normal, secure, sample (delayed and mailbox printing need a start time "
                       "or box number per job)\n";
                return 2;
            }
        } else if (arg == "--account" && next(value)) {
            request.account = value;
        } else if (arg == "--domain" && next(value)) {
            request.domain = value;
        } else if (arg == "--set" && next(value)) {
            std::size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0) {
                err << "zlk-queue-defaults: --set takes NAME=VALUE\n";
                return 2;
            }
            request.extra.push_back({value.substr(0, equals), value.substr(equals + 1)});
        } else if (arg == "--ppd" && next(value)) {
            ppdPath = value;
        } else if (arg == "-h" && next(value)) {
            server = value;
        } else if (!arg.starts_with('-') && queue.empty()) {
            queue = arg;
        } else {
            err << "zlk-queue-defaults: "
                << (arg.starts_with('-') ? "unknown option or missing value: " : "more than one queue: ") << arg << "\n"
                << Usage();
            return 2;
        }
    }
    const bool otherSettings =
        request.printType || request.accounting || request.account || request.domain || !request.extra.empty();
    if (ask && (otherSettings || remove || hidePasswords)) {
        err << "zlk-queue-defaults: --ask-at-print-time and --no-ask-at-print-time change only whether the queue "
               "holds jobs: give other settings in a run of their own\n";
        return 2;
    }
    if (hidePasswords && !queue.empty()) {
        err << "zlk-queue-defaults: --hide-passwords is for the whole scheduler and takes no queue\n";
        return 2;
    }
    if (hidePasswords)
        return HidePasswords(server, out, err);
    if (queue.empty()) {
        err << "zlk-queue-defaults: no queue given\n" << Usage();
        return 2;
    }
    if (ask)
        return SetAsk(queue, *ask, ppdPath, server, dryRun, out, err, run, read);

    std::vector<std::string> argv;
    std::vector<Setting> settings;
    if (remove) {
        argv = RemoveArguments(queue, server);
    } else {
        common::PPDHandle ppd = OpenDescription(queue, ppdPath, server, err);
        if (!ppd)
            return 1;
        Plan plan = PlanDefaults(ppd.get(), request);
        if (!plan.error.empty()) {
            err << "zlk-queue-defaults: " << plan.error << "; nothing set\n";
            return 2;
        }
        for (const Setting& setting : plan.settings)
            out << kPrefix << setting.name << "-default=" << setting.value << "\n";
        argv = SetArguments(queue, plan.settings, server);
        settings = plan.settings;
    }
    if (std::optional<int> ended = RunLpadmin(argv, dryRun, out, err, run))
        return *ended;
    // lpadmin succeeds even where the scheduler keeps a value other than the
    // one given, or none: what counts is what the scheduler holds.
    const StoredDefaults stored = read(queue, server);
    if (!stored.error.empty()) {
        err << "zlk-queue-defaults: lpadmin succeeded, but the defaults of " << queue
            << " could not be read back from the scheduler: " << stored.error << "\n";
        return 1;
    }
    const std::string differences = remove ? CheckRemovedDefaults(stored) : CheckStoredDefaults(settings, stored);
    if (!differences.empty()) {
        std::string line;
        for (std::istringstream lines(differences); std::getline(lines, line);)
            err << "zlk-queue-defaults: " << line << "\n";
        err << "zlk-queue-defaults: the defaults of " << queue
            << " are not as asked; jobs would carry what the scheduler holds"
            << (remove ? "" : " (zlk-queue-defaults --remove " + queue + " takes every one away)") << "\n";
        return 1;
    }
    if (remove)
        out << "removed the driver defaults of " << queue << "\n";
    return 0;
}

}  // namespace zlk::queuedefaults
