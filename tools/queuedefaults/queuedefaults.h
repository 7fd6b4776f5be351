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
// text back exactly: the dialogs' slash-decimal form where they use it,
// blanks and double quotes escaped for the option parser.
std::string OptionValue(const std::string& text);

// Argument vectors of the lpadmin runs that set or remove the defaults.
std::vector<std::string> SetArguments(const std::string& queue, const std::vector<Setting>& settings,
                                      const std::string& server);
std::vector<std::string> RemoveArguments(const std::string& queue, const std::string& server);

// Runs a program (argv[0] looked up in PATH); answers its exit status and
// leaves what it wrote in output.
using Runner = std::function<int(const std::vector<std::string>& argv, std::string& output)>;
int RunProgram(const std::vector<std::string>& argv, std::string& output);

// The whole command, arguments without the program name. 0 done, 1 failed
// (PPD not readable, lpadmin failed), 2 usage or refused.
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Runner& run);

}  // namespace zlk::queuedefaults
