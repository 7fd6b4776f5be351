// zlk-printer-app: the printer family's driver as an IPP Everywhere Printer
// Application on PAPPL. Sub-commands and options are PAPPL's (server, add,
// default, jobs, submit, shutdown, ...); see zlk-printer-app --help.
//
// Environment:
//   ZLK_PRINTER_APP_PPD_DIR    the model PPDs (one driver each)
//   ZLK_PRINTER_APP_FILTER     the filter program that writes the job stream
//   ZLK_PRINTER_APP_STATE_DIR  the state folder (also -o state-directory=DIR)
//   ZLK_PRINTER_APP_PORT       the IPP port (also -o server-port=N)
//   ZLK_PRINTER_APP_TESTPAGE   the test page template (a PDF)

#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "printerapp/driver.h"
#include "printerapp/papplmends.h"
#include "printerapp/webui.h"

namespace {

using zlk::printerapp::Catalog;

constexpr const char* kName = "zlk-printer-app";

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string Option(int count, cups_option_t* options, const char* name, const std::string& fallback)
{
    const char* value = cupsGetOption(name, count, options);
    return value && *value ? value : fallback;
}

// Root keeps its state with the system's; a user's server keeps it in the
// user's state folder.
std::string DefaultStateDirectory()
{
    if (getuid() == 0)
        return std::string("/var/lib/") + kName;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/" + kName;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/state/" + kName;
    return std::string(papplGetTempDir()) + "/" + kName + std::to_string(getuid());
}

// PAPPL's debug level writes out every request's attributes, the passcodes
// of secure jobs among them, so the log goes no further than info.
pappl_loglevel_t LogLevel(const std::string& name)
{
    if (name == "debug") {
        std::fprintf(stderr, "%s: log-level=debug would record job passcodes; logging at info instead\n", kName);
        return PAPPL_LOGLEVEL_INFO;
    }
    if (name == "info")
        return PAPPL_LOGLEVEL_INFO;
    if (name == "error")
        return PAPPL_LOGLEVEL_ERROR;
    if (name == "fatal")
        return PAPPL_LOGLEVEL_FATAL;
    return PAPPL_LOGLEVEL_WARN;
}

bool SaveState(pappl_system_t* system, void* file) { return papplSystemSaveState(system, static_cast<char*>(file)); }

pappl_system_t* CreateSystem(int count, cups_option_t* options, void* data)
{
    auto& catalog = *static_cast<Catalog*>(data);
    const std::string stateDir =
        Option(count, options, "state-directory", EnvOr("ZLK_PRINTER_APP_STATE_DIR", DefaultStateDirectory()));
    const std::string spoolDir = Option(count, options, "spool-directory", stateDir + "/spool");
    std::error_code error;
    std::filesystem::create_directories(spoolDir, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot make %s: %s\n", kName, spoolDir.c_str(), error.message().c_str());
        return nullptr;
    }
    chmod(stateDir.c_str(), 0700);  // the state may name accounts and printers' addresses

    const std::string portText = Option(count, options, "server-port", EnvOr("ZLK_PRINTER_APP_PORT", "0"));
    char* end = nullptr;
    const long port = std::strtol(portText.c_str(), &end, 10);
    if (*end || port < 0 || port > 65535) {
        std::fprintf(stderr, "%s: bad server port \"%s\"\n", kName, portText.c_str());
        return nullptr;
    }
    const std::string logFile = Option(count, options, "log-file", stateDir + "/" + kName + ".log");
    const std::string authService = Option(count, options, "auth-service", "");

    pappl_system_t* system = papplSystemCreate(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE, kName,
                                               static_cast<int>(port), "_print,_universal", spoolDir.c_str(),
                                               logFile.c_str(), LogLevel(Option(count, options, "log-level", "warn")),
                                               authService.empty() ? nullptr : authService.c_str(), false);
    if (!system)
        return nullptr;
    // The vendor attributes' labels on the web pages, in English and Japanese.
    zlk::printerapp::AddVendorStrings(system, catalog.models());
    // Without an authentication service the passcodes of jobs are taken out
    // of requests on their way in (see passcodes.h); PAPPL's own checks run
    // otherwise, and then only job-group passcodes reach the printer.
    if (authService.empty())
        papplSystemSetAuthCallback(system, "Basic", zlk::printerapp::AuthorizeKeepingPasscodes, &catalog.passcodes());
    papplSystemSetEventCallback(system, zlk::printerapp::FollowJobEvents, nullptr);
    if (const char* group = cupsGetOption("admin-group", count, options))
        papplSystemSetAdminGroup(system, group);
    if (const char* host = cupsGetOption("server-hostname", count, options))
        papplSystemSetHostName(system, host);
    // A server started on demand by a sub-command only takes local requests.
    if (!cupsGetOption("private-server", count, options))
        papplSystemAddListeners(system, cupsGetOption("listen-hostname", count, options));

    for (const std::string& problem : catalog.problems())
        papplLog(system, PAPPL_LOGLEVEL_WARN, "Model left out: %s", problem.c_str());
    for (const zlk::printerapp::Model& model : catalog.models())
        for (const std::string& option : model.vendorLeftOut)
            papplLog(system, PAPPL_LOGLEVEL_WARN, "%s: option not offered: %s", model.driverName.c_str(),
                     option.c_str());
    // The drivers must be known before the state names printers of them.
    papplSystemSetPrinterDrivers(system, catalog.driverCount(), catalog.drivers(), nullptr,
                                 zlk::printerapp::PrinterCreated, zlk::printerapp::DriverCallback, &catalog);
    // One system per process: the save callback keeps this name to the end.
    static std::string stateFile;
    stateFile = stateDir + "/" + kName + ".state";
    papplSystemLoadState(system, stateFile.c_str());
    papplSystemSetSaveCallback(system, SaveState, stateFile.data());
    return system;
}

void Usage(void*)
{
    std::printf(
        "Usage: %s SUB-COMMAND [OPTIONS] [FILES]\n"
        "Server options: -o state-directory=DIR -o server-port=N -o listen-hostname=HOST\n"
        "                -o log-file=FILE -o log-level=LEVEL\n"
        "Models are read from %s (ZLK_PRINTER_APP_PPD_DIR).\n",
        kName, EnvOr("ZLK_PRINTER_APP_PPD_DIR", ZLK_PRINTER_APP_PPD_DIR).c_str());
}

}  // namespace

int main(int argc, char* argv[])
{
    Catalog catalog(EnvOr("ZLK_PRINTER_APP_PPD_DIR", ZLK_PRINTER_APP_PPD_DIR),
                    EnvOr("ZLK_PRINTER_APP_FILTER", ZLK_PRINTER_APP_FILTER));
    // PAPPL 1.3.1 looks the footer up as a localized string and crashes on
    // every web page without one, so there is always a footer.
    return papplMainloop(argc, argv, ZLK_VERSION, "zlk-printer-app " ZLK_VERSION, catalog.driverCount(),
                         catalog.drivers(), nullptr, zlk::printerapp::DriverCallback, nullptr, nullptr, CreateSystem,
                         Usage, &catalog);
}
