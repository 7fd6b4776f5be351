// zlk-print: the print dialog without a screen. It shows the queue's PPD to
// every installed dialog plug-in, lets their panels write the job's
// settings as a print dialog would, and prints the files with them.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/describe.h"
#include "host/documents.h"
#include "host/jobsubmit.h"
#include "host/printdialog.h"
#include "host/script.h"
#include "platform/system/storedsettings.h"
#include "platform/widgets/headless.h"

namespace {

using namespace zlk;

constexpr int kPrinted = 0;
constexpr int kStopped = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] =
    "usage: zlk-print [-d QUEUE | --ppd FILE] [-o NAME=VALUE]... [--script FILE]\n"
    "                 [--options | --summary | --describe | --save-defaults] FILE...\n"
    "Shows the queue's printer to the Zelko print dialog plug-ins without a screen and prints the\n"
    "files with the settings their panels write.\n"
    "  -d QUEUE         the queue (default: the default queue)\n"
    "  --ppd FILE       use this PPD instead of the queue's (with --options, --summary or --describe)\n"
    "  -o NAME=VALUE    start the settings as lp -o does: a printer option's choice, or a setting\n"
    "  --script FILE    the actions a person would take in the panels and windows (- for standard input;\n"
    "                   see zlk-print(1))\n"
    "  --describe       print the panels and windows with their controls as JSON, and exit\n"
    "  --options        print the job options that would be sent, one NAME=VALUE a line, and exit\n"
    "  --summary        print each panel's summary of its settings, and exit\n"
    "  --save-defaults  keep the print type and accounting settings (and the printer options that\n"
    "                   differ from the printer's defaults) as this user's defaults for QUEUE, as\n"
    "                   lpoptions does, so that jobs from any program carry them\n"
    "  --help           this text\n"
    "Exit status: 0 printed, 1 a panel or the queue stopped the job, 2 a usage error or an unknown queue.\n";

struct Arguments {
    std::string queue;
    std::filesystem::path ppd;
    std::vector<host::JobOption> options;
    std::vector<std::filesystem::path> files;
    std::string script;  // a file name, or "-"
    bool showOptions = false;
    bool describe = false;
    bool summary = false;
    bool saveDefaults = false;
};

bool Parse(int argc, char** argv, Arguments& arguments, std::string& problem)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                problem = arg + " needs " + what;
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-d") {
            const char* queue = value("a queue name");
            if (!queue) {
                return false;
            }
            arguments.queue = queue;
        } else if (arg == "--ppd") {
            const char* ppd = value("a PPD file");
            if (!ppd) {
                return false;
            }
            arguments.ppd = ppd;
        } else if (arg == "-o") {
            const char* option = value("NAME=VALUE");
            if (!option) {
                return false;
            }
            const std::string text = option;
            const auto equals = text.find('=');
            if (equals == std::string::npos || equals == 0) {
                problem = "-o needs NAME=VALUE, not \"" + text + "\"";
                return false;
            }
            // A line break would forge lines of --options and of lpoptions.
            if (std::any_of(text.begin(), text.end(), [](char c) {
                    const auto byte = static_cast<unsigned char>(c);
                    return byte < 0x20 || byte == 0x7F;
                })) {
                problem = "-o " + text.substr(0, equals) + "=...: the value has a control character";
                return false;
            }
            arguments.options.emplace_back(text.substr(0, equals), text.substr(equals + 1));
        } else if (arg == "--script") {
            const char* script = value("a script file");
            if (!script) {
                return false;
            }
            arguments.script = script;
        } else if (arg == "--describe") {
            arguments.describe = true;
        } else if (arg == "--summary") {
            arguments.summary = true;
        } else if (arg == "--save-defaults") {
            arguments.saveDefaults = true;
        } else if (arg == "--options") {
            arguments.showOptions = true;
        } else if (arg == "--help") {
            std::cout << kUsageText;
            std::exit(kPrinted);
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            problem = "unknown option " + arg;
            return false;
        } else {
            arguments.files.emplace_back(arg);
        }
    }
    const bool showOnly = arguments.showOptions || arguments.describe || arguments.summary;
    if (!showOnly && !arguments.saveDefaults && arguments.files.empty()) {
        problem = "no file to print";
        return false;
    }
    if (!arguments.ppd.empty() && (!showOnly || arguments.saveDefaults)) {
        problem = "--ppd shows the options only; print to or save for a queue with -d";
        return false;
    }
    return true;
}

// The script's text; nothing when it cannot be read or is too large to
// be one a person wrote.
std::optional<std::string> ReadScript(const std::string& name, std::string& problem)
{
    constexpr std::size_t kMaxScript = 1 << 20;
    std::ifstream file;
    std::istream* in = &std::cin;
    if (name != "-") {
        file.open(name, std::ios::binary);
        if (!file) {
            problem = "the script " + name + " cannot be read";
            return std::nullopt;
        }
        in = &file;
    }
    std::string text;
    char buffer[4096];
    while (in->read(buffer, sizeof buffer) || in->gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in->gcount()));
        if (text.size() > kMaxScript) {
            problem = "the script is larger than 1 MiB";
            return std::nullopt;
        }
    }
    return text;
}

// What the alerts of the panels said, and how they were answered: a script
// that ran into one learns which message it was.
void ReportAlerts(const widgets::HeadlessToolkit& toolkit)
{
    for (const auto& shown : toolkit.Alerts()) {
        std::string text = shown.alert.message;
        if (!shown.alert.informative.empty()) {
            text += (text.empty() ? "" : " ") + shown.alert.informative;
        }
        const std::vector<std::string>& buttons = shown.alert.buttons;
        const std::string answer = shown.answer >= 0 && static_cast<std::size_t>(shown.answer) < buttons.size()
                                       ? buttons[static_cast<std::size_t>(shown.answer)]
                                       : "OK";
        std::cerr << "zlk-print: alert: \"" << text << "\", answered \"" << answer << "\"\n";
    }
    if (toolkit.BeepCount() > 0) {
        std::cerr << "zlk-print: " << toolkit.BeepCount() << " typed or stepped value(s) refused with a beep\n";
    }
}

// The panels' summaries as text: each panel's name, then its settings.
void PrintSummaries(host::PrintDialog& dialog)
{
    for (const auto& panel : dialog.Panels()) {
        const platform::PDESummary summary = panel->summaryInfo();
        std::cout << panel->panelName() << "\n";
        for (const std::string& title : summary.displayOrder) {
            const auto value = summary.values.find(title);
            std::cout << "  " << title << ": " << (value == summary.values.end() ? "" : value->second) << "\n";
        }
    }
}

// The dialog's notices from the from-th on; how many there are now.
std::size_t ReportNotices(const host::PrintDialog& dialog, std::size_t from)
{
    const std::vector<std::string>& notices = dialog.Notices();
    for (std::size_t i = from; i < notices.size(); ++i) {
        std::cerr << "zlk-print: " << notices[i] << "\n";
    }
    return notices.size();
}

// The script played on the restored panels, then what was asked for.
int PlayAndPrint(Arguments& arguments, host::PrintDialog& dialog, widgets::HeadlessToolkit& toolkit,
                 std::vector<host::ScriptStep> steps, const std::string& printer, std::size_t reported)
{
    std::string problem;
    host::ScriptRunner runner(toolkit, dialog, std::move(steps));
    if (!runner.RunPanelSteps()) {
        std::cerr << "zlk-print: script " << runner.Error() << "; nothing was printed\n";
        return kUsage;
    }
    // As the script left the panels, each having taken what it shows.
    if (arguments.describe || arguments.summary) {
        if (!dialog.SaveValues()) {
            std::cerr << "zlk-print: " << dialog.Notices().back() << "\n";
            return kStopped;
        }
    }
    if (arguments.summary) {
        PrintSummaries(dialog);
        return kPrinted;
    }
    if (arguments.describe) {
        std::cout << host::DescribeDialog(dialog, toolkit, printer);
        return kPrinted;
    }
    if (arguments.saveDefaults) {
        const std::optional<std::vector<host::JobOption>> defaults = host::DefaultOptions(dialog);
        if (!defaults) {
            std::cerr << "zlk-print: the defaults were not saved: "
                      << (dialog.Notices().empty() ? "a panel refused" : dialog.Notices().back()) << "\n";
            return kStopped;
        }
        if (!host::SaveDefaultOptions(arguments.queue, *defaults, &problem)) {
            std::cerr << "zlk-print: " << problem << "\n";
            return kStopped;
        }
        if (arguments.files.empty()) {
            ReportNotices(dialog, reported);
            return kPrinted;
        }
    }
    const bool goesOn = dialog.Print();
    ReportNotices(dialog, reported);
    for (const std::string& title : runner.Cancelled()) {
        std::cerr << "zlk-print: the window \"" << title
                  << "\" opened with no action in the script for it and was cancelled\n";
    }
    if (!runner.Error().empty()) {
        std::cerr << "zlk-print: script " << runner.Error() << "; nothing was printed\n";
        return kUsage;
    }
    if (!goesOn) {
        std::cerr << "zlk-print: a panel stopped the print\n";
        return kStopped;
    }
    const std::vector<host::JobOption> options = dialog.JobOptions();
    // Showing the options is not printing: the settings are not kept.
    if (arguments.showOptions) {
        for (const auto& [name, value] : options) {
            std::cout << name << "=" << value << "\n";
        }
        return kPrinted;
    }
    if (const platform::StoreResult stored = dialog.StoreSettings(); !stored.ok()) {
        std::cerr << "zlk-print: the settings were not stored: " << stored.message << "\n";
    }
    const host::SubmitResult submitted =
        host::SubmitJob(arguments.queue, arguments.files.front().filename().string(), arguments.files, options);
    if (submitted.jobId == 0) {
        std::cerr << "zlk-print: " << submitted.message << "\n";
        return kStopped;
    }
    std::cout << arguments.queue << "-" << submitted.jobId << "\n";
    return kPrinted;
}

int Run(int argc, char** argv)
{
    Arguments arguments;
    std::string problem;
    if (!Parse(argc, argv, arguments, problem)) {
        std::cerr << "zlk-print: " << problem << "\n" << kUsageText;
        return kUsage;
    }
    std::vector<host::ScriptStep> steps;
    if (!arguments.script.empty()) {
        const std::optional<std::string> text = ReadScript(arguments.script, problem);
        const auto parsed = text ? host::ParseScript(*text, &problem) : std::nullopt;
        if (!parsed) {
            std::cerr << "zlk-print: " << (text ? "script " : "") << problem << "\n";
            return kUsage;
        }
        steps = *parsed;
    }
    // The documents before any panel: nothing is asked of a person for a
    // job that cannot print.
    std::string pageRanges;
    for (const auto& [name, value] : arguments.options) {
        if (name == "page-ranges") {
            pageRanges = value;
        }
    }
    if (const std::string why = host::CheckDocuments(arguments.files, pageRanges); !why.empty()) {
        std::cerr << "zlk-print: " << why << "\n";
        return kUsage;
    }
    std::filesystem::path ppd = arguments.ppd;
    std::filesystem::path queuePPD;
    if (ppd.empty()) {
        if (arguments.queue.empty()) {
            arguments.queue = host::DefaultQueue();
        }
        if (arguments.queue.empty()) {
            std::cerr << "zlk-print: no queue given and no default queue\n";
            return kUsage;
        }
        queuePPD = host::QueuePPD(arguments.queue, &problem);
        if (queuePPD.empty()) {
            std::cerr << "zlk-print: " << problem << "\n";
            return kUsage;
        }
        ppd = queuePPD;
    }
    widgets::HeadlessToolkit toolkit;
    host::PrintDialog::Setup setup;
    setup.queue = arguments.queue.empty() ? ppd.stem().string() : arguments.queue;
    setup.ppd = ppd;
    setup.initial = arguments.options;
    setup.settingsFolder = platform::DefaultPrintSettingsFolder();
    setup.pluginFolders = host::PluginFolders(std::getenv("ZLK_PLUGIN_PATH"));
    setup.toolkit = &toolkit;
    std::unique_ptr<host::PrintDialog> dialog = host::PrintDialog::Open(setup, &problem);
    if (!queuePPD.empty()) {
        unlink(queuePPD.c_str());
    }
    if (!dialog) {
        std::cerr << "zlk-print: " << problem << "\n";
        return kUsage;
    }
    dialog->Restore();
    // What could not be loaded or restored is said before anything is done.
    const std::size_t reported = ReportNotices(*dialog, 0);
    if (dialog->Panels().empty()) {
        std::cerr << "zlk-print: "
                  << (dialog->DamagedPlugIns() > 0 ? "no dialog plug-in could be loaded"
                                                   : "no dialog plug-in serves this printer")
                  << "; the job has the -o options only\n";
    }
    const int status = PlayAndPrint(arguments, *dialog, toolkit, std::move(steps), ppd.string(), reported);
    ReportAlerts(toolkit);
    return status;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
