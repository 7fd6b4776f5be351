#include "spooler.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace zlk::test {

const char kRecordingConverter[] =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$FAKE_ARGS\"\n"
    "if [ $# -ge 6 ]; then exec cat \"$6\"; else exec cat; fi\n";

std::string FixturePath(const std::string& relative) { return std::string(ZLK_TEST_FIXTURES) + "/" + relative; }
std::string SamplePpd(const std::string& name) { return std::string(ZLK_SAMPLE_PPD_DIR) + "/" + name; }
std::string BuildDir() { return ZLK_BUILD_DIR; }
std::string FilterProgram() { return ZLK_FILTER_BINARY; }
std::string FilterProgramWithCopy() { return ZLK_FILTER_JOBCOPY_BINARY; }

std::string LinkedPlugins(const std::string& folder)
{
    namespace fs = std::filesystem;
    const fs::path from = fs::absolute(ZLK_PLUGIN_BUILD_DIR);
    const fs::path plugins = fs::path(folder) / "plugins";
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path to = plugins / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(to);
        } else {
            fs::create_symlink(entry.path(), to);
        }
    }
    return plugins.string();
}

RunResult InspectStream(const std::string& stream)
{
    TempDir dir;
    WriteFile(dir.file("job.prn"), stream);
    RunOptions run;
    run.args = {"zlk-inspect", "--key", FixturePath("keys/printer-dev-private.pem"), dir.file("job.prn")};
    run.env = {{"PATH", "/usr/bin:/bin"}};
    return RunProgram(ZLK_INSPECT_BINARY, run);
}

SpoolerRun::SpoolerRun()
{
    fs::create_directories(root.file("data/mime"));
    fs::create_directories(root.file("etc"));
    fs::create_directories(root.file("bin/filter"));
    fs::create_directories(tmpdir);
    WriteFile(root.file("data/mime/cupsfilters.convs"), "application/pdf application/vnd.cups-pdf 66 recordconv\n");
    Converter("recordconv", kRecordingConverter);
    env = {{"PATH", "/usr/bin:/bin"},
           {"PPD", FixturePath("ppd/cp932.ppd")},
           {"TMPDIR", tmpdir},
           {"CONTENT_TYPE", "application/pdf"},
           {"CUPS_DATADIR", root.file("data")},
           {"CUPS_SERVERBIN", root.file("bin")},
           {"CUPS_SERVERROOT", root.file("etc")},
           {"FAKE_ARGS", argsFile}};
}

void SpoolerRun::Converter(const std::string& name, const std::string& script)
{
    WriteFile(root.file("bin/filter/" + name), script);
    chmod(root.file("bin/filter/" + name).c_str(), 0755);
}

std::string SpoolerRun::Pdf(int pages)
{
    std::string path = root.file("in-" + std::to_string(pages) + ".pdf");
    WriteTestPdf(path, pages);
    return path;
}

RunResult SpoolerRun::Run(const std::string& program, bool closeStdout, int terminateAfterMs)
{
    RunOptions run;
    run.args = {"ZLKPrintFilter", "42", user, title, copies, options};
    if (!document.empty())
        run.args.push_back(document);
    run.env = env;
    run.stdinPath = stdinPath;
    run.closeStdout = closeStdout;
    run.terminateAfterMs = terminateAfterMs;
    run.killWhen = killWhen;
    return RunProgram(program, run);
}

std::vector<std::string> SpoolerRun::TmpFiles() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tmpdir))
        names.push_back(entry.path().filename().string());
    return names;
}

JobStreamParts SplitJobStream(const std::string& stream)
{
    static const std::string kUEL = "\x1b%-12345X";
    static const std::string kEnter = "@PJL ENTER LANGUAGE=PDF\n";
    static const std::string kTicketEnd = "</PwgPrintJobTicket>\n";
    JobStreamParts parts;
    std::size_t enter = stream.find(kEnter);
    std::size_t ticketEnd = stream.find(kTicketEnd);
    std::size_t trailer = stream.rfind(kUEL);
    if (stream.rfind(kUEL, 0) != 0 || enter == std::string::npos || ticketEnd == std::string::npos ||
        trailer == std::string::npos || trailer == 0 || ticketEnd < enter)
        return parts;
    std::size_t pdf = ticketEnd + kTicketEnd.size();
    if (trailer < pdf)
        return parts;
    parts.header = stream.substr(0, enter + kEnter.size());
    parts.ticket = stream.substr(enter + kEnter.size(), pdf - enter - kEnter.size());
    parts.pdf = stream.substr(pdf, trailer - pdf);
    parts.trailer = stream.substr(trailer);
    parts.ok = true;
    return parts;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Attribute(const std::string& header, const std::string& code)
{
    const std::string head = "@PJL SET JOBATTR=\"@" + code + "=";
    for (const std::string& line : Lines(header))
        if (line.rfind(head, 0) == 0)
            return line.substr(head.size(), line.size() - head.size() - 1);
    return "<missing>";
}

}  // namespace zlk::test
