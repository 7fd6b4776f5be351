// zlk-queue-defaults: sets a queue's driver defaults (print settings ticket
// keys as `KEY-default` printer options), so that jobs from programs that
// write no ticket (plain lp, office suites, browsers) still carry the
// print type product of the printer and, if the site wants it, a print
// type and job accounting. The scheduler adds a queue's defaults to every
// job, and the filter reads them as if the dialog had written them.
//
// Passwords are never queue defaults: the scheduler keeps defaults in
// printers.conf, readable by anyone who can read that file.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <cups/ppd.h>

namespace zlk::queuedefaults {

// One ticket key, by its name after the common prefix, and the value the
// filter is to read.
struct Setting {
    std::string name;
    std::string value;
    bool operator==(const Setting&) const = default;
};

// What the administrator asked for, beyond what the PPD gives.
struct Request {
    std::optional<int> printType = {};  // 1 normal, 2 secure, 3 sample
    bool accounting = false;  // charge jobs to the spooler's user
    std::optional<std::string> account = {};  // account id (implies accounting)
    std::optional<std::string> domain = {};  // domain name (implies accounting)
    std::vector<Setting> extra = {};  // --set NAME=VALUE, in the order given
};

struct Plan {
    std::vector<Setting> settings;  // in the order they are set
    std::string error;  // non-empty: refused, nothing is set
};

// The print type product number the print type panel writes for this PPD,
// none when the PPD offers no print type panel.
std::optional<int> PrintTypeProductType(ppd_file_t* ppd);

// The settings for a queue with this PPD (defaults marked by the caller or
// not; this marks them).
Plan PlanDefaults(ppd_file_t* ppd, const Request& request);

// Every ticket key name the command may set (and --remove removes).
const std::vector<std::string>& SettableNames();

// The option value as lpadmin -o must be given it so that the filter reads
// text back exactly: the dialogs' slash-decimal form wherever lpadmin or the
// scheduler would read the text as something else (see the definition),
// otherwise blanks and double quotes escaped for the option parser.
std::string OptionValue(const std::string& text);

// What the scheduler holds for one "<key>-default" printer attribute.
struct StoredValue {
    std::string text;  // the value as text
    bool isText = true;  // false: the scheduler keeps it as another type (a boolean, ...)
    std::string type = {};  // that type's name when not text
    bool operator==(const StoredValue&) const = default;
};

// A queue's driver defaults as the scheduler reports them, by ticket key
// name (without the common prefix and "-default"); error says why they
// could not be read.
struct StoredDefaults {
    std::map<std::string, StoredValue> values;
    std::string holdUntil;  // the queue's job-hold-until-default, empty when not reported
    std::string error;
};

// Asks the scheduler (server, or the default one) for the queue's printer
// attributes of every settable key and its job-hold-until-default (IPP
// Get-Printer-Attributes).
StoredDefaults ReadStoredDefaults(const std::string& queue, const std::string& server);
using DefaultsReader = std::function<StoredDefaults(const std::string& queue, const std::string& server)>;

// Empty when the scheduler holds each setting as the filter is to read it;
// otherwise one line per setting that it holds differently ("the scheduler
// stored X for NAME instead of Y"). With remove, every settable key must be
// gone instead.
std::string CheckStoredDefaults(const std::vector<Setting>& settings, const StoredDefaults& stored);
std::string CheckRemovedDefaults(const StoredDefaults& stored);

// Argument vectors of the lpadmin runs that set or remove the defaults.
std::vector<std::string> SetArguments(const std::string& queue, const std::vector<Setting>& settings,
                                      const std::string& server);
std::vector<std::string> RemoveArguments(const std::string& queue, const std::string& server);

// Asking at print time: the queue holds every job that names no
// job-hold-until of its own ("indefinite"), until the Zelko print agent has
// the user's print type and accounting choices; "no-hold" puts it back.
std::string HoldUntilDefault(bool ask);
// Empty when the print agent has something to ask for this PPD (a print
// type or accounting panel); otherwise why the queue is not one to hold.
std::string AskRefusal(ppd_file_t* ppd);
std::vector<std::string> AskArguments(const std::string& queue, bool ask, const std::string& server);

// Runs a program (argv[0] looked up in PATH); answers its exit status and
// leaves what it wrote in output.
using Runner = std::function<int(const std::vector<std::string>& argv, std::string& output)>;
int RunProgram(const std::vector<std::string>& argv, std::string& output);

// The whole command, arguments without the program name. After lpadmin it
// reads the queue's defaults back (read) and fails unless the scheduler
// holds what was asked. 0 done, 1 failed (PPD not readable, lpadmin failed,
// the scheduler holds other values), 2 usage or refused.
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Runner& run,
               const DefaultsReader& read);

}  // namespace zlk::queuedefaults
