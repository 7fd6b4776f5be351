#include "filter/pipeline.h"

#include <fcntl.h>
#include <regex.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <qpdf/QPDF.hh>

#include "common/fd.h"
#include "common/ppdfile.h"
#include "filter/options.h"
#include "filter/output.h"
#include "filter/signals.h"

namespace zlk::filter {

namespace {

// One line of the spooler's conversion tables:
// source type, destination type, cost and program, separated by blanks;
// groups 1 to 4 capture them. A type is a lower-case top-level name, "/",
// and a subtype of the characters MIME type names are made of: letters,
// digits and ! # $ & . + ^ _ - (RFC 6838), and '*'.
// '-' stands last in the brackets so that it is itself: between '+' and '^'
// it would make a range taking in , / : ; < = > ? @ [ \ ] as well.
constexpr char kConversionLinePattern[] =
    "([a-z]+/[a-zA-Z_0-9!#$&.+^*-]+)[ \t\f\r\n]+([a-z]+/[a-zA-Z_0-9!#$&.+^*-]+)[ \t\f\r\n]+([0-9]+)+"
    "[ \t\f\r\n]+([^ \t\f\r\n]+)";
constexpr char kOrientationPattern[] = ".*(orientation-requested=[0-9]+)[ \t\f\r\n]*";

class Regex {
public:
    explicit Regex(const char* pattern) { ok_ = regcomp(&re_, pattern, REG_EXTENDED | REG_NEWLINE) == 0; }
    ~Regex()
    {
        if (ok_)
            regfree(&re_);
    }
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;
    bool ok() const { return ok_; }
    bool Match(const char* text, regmatch_t* groups, std::size_t count) const
    {
        return ok_ && regexec(&re_, text, count, groups, 0) == 0;
    }

private:
    regex_t re_{};
    bool ok_ = false;
};

std::string Group(const std::string& line, const regmatch_t& m)
{
    return m.rm_so < 0 ? std::string() : line.substr(m.rm_so, m.rm_eo - m.rm_so);
}

std::string EnvOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// Waits for the conversion filter and answers whether it succeeded.
bool WaitForChild(pid_t child, const std::string& program)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            Report(Severity::Error, "Lost track of the conversion filter %s.", program.c_str());
            return false;
        }
        if (CancelJob)
            kill(child, SIGTERM);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        Report(Severity::Error, "The conversion filter %s could not be started.", program.c_str());
    else if (WIFEXITED(status))
        Report(Severity::Error, "The conversion filter %s failed with status %d.", program.c_str(),
               WEXITSTATUS(status));
    else
        Report(Severity::Error, "The conversion filter %s stopped on signal %d.", program.c_str(),
               WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return false;
}

// Runs the conversion filter and keeps its output; or copies the document
// itself when no conversion is needed.
bool Convert(int argc, const char* const* argv, const PreparedFormat& format, common::TempFile& out)
{
    if (format.filterPath.empty()) {
        common::UniqueFd input(argc == 7 ? open(argv[6], O_RDONLY | O_CLOEXEC) : dup(STDIN_FILENO));
        if (!input) {
            Report(Severity::Error, "Unable to open the document %s: %s.", argc == 7 ? argv[6] : "(standard input)",
                   std::strerror(errno));
            return false;
        }
        return SaveToTempFile(input.get(), out);
    }

    int fds[2];
    if (pipe(fds) != 0) {
        Report(Severity::Error, "Unable to create a pipe: %s.", std::strerror(errno));
        return false;
    }
    common::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        Report(Severity::Error, "Unable to start the conversion filter: %s.", std::strerror(errno));
        return false;
    }
    if (child == 0) {
        dup2(writeEnd.get(), STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        ExecuteFilter(format.filterPath, argc, argv, format.status == 1 ? format.options : argv[5]);
    }
    writeEnd.reset();
    bool saved = SaveToTempFile(readEnd.get(), out);
    readEnd.reset();
    if (!saved)
        kill(child, SIGTERM);
    bool succeeded = WaitForChild(child, format.filterPath);
    if (!succeeded)
        out.Remove();
    return saved && succeeded;
}

}  // namespace

FilterEnvironment FilterEnvironment::FromProcess()
{
    FilterEnvironment env;
    env.ppdPath = EnvOr("PPD", "");
    env.tmpdir = EnvOr("TMPDIR", "/tmp");
    env.contentType = EnvOr("CONTENT_TYPE", "");
    env.dataDir = EnvOr("CUPS_DATADIR", "/usr/share/cups");
    env.serverBin = EnvOr("CUPS_SERVERBIN", "/usr/lib/cups");
    env.serverRoot = EnvOr("CUPS_SERVERROOT", "/etc/cups");
    return env;
}

std::vector<std::string> cupsDirectory(const FilterEnvironment& env)
{
    return {env.dataDir + "/mime/cupsfilters.convs", env.dataDir + "/mime/mime.convs", env.serverRoot + "/local.convs",
            env.serverRoot + "/mime.convs"};
}

std::string BestFilter(const std::string& tablePath, const std::string& sourceType, const std::string& destinationType)
{
    std::ifstream table(tablePath);
    if (!table)
        return {};
    Regex pattern(kConversionLinePattern);
    if (!pattern.ok())
        return {};
    std::string line;
    while (std::getline(table, line)) {
        // The pattern is not anchored: a commented-out line would match too.
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        regmatch_t groups[5];
        if (!pattern.Match(line.c_str(), groups, 5))
            continue;
        if (Group(line, groups[1]) == sourceType && Group(line, groups[2]) == destinationType &&
            std::atoi(Group(line, groups[3]).c_str()) < 1000)
            return Group(line, groups[4]);
    }
    return {};
}

std::string ChooseFilter(const std::string& sourceType, const FilterEnvironment& env)
{
    if (sourceType.empty()) {
        // Fixed diagnostic line for a PPD without a source type (see output.h).
        Utlfputs("get srcFormat error\n", stderr);
        return {};
    }
    if (sourceType == kDestinationType)
        return {};
    for (const std::string& table : cupsDirectory(env)) {
        std::string program = BestFilter(table, sourceType, kDestinationType);
        if (!program.empty())
            return env.serverBin + "/filter/" + program;
    }
    return {};
}

int RewriteOrientation(const char* jobOptions, std::string& out)
{
    out.clear();
    Regex pattern(kOrientationPattern);
    if (!pattern.ok())
        return -1;
    regmatch_t groups[2];
    if (!jobOptions || !pattern.Match(jobOptions, groups, 2))
        return 0;
    std::string text(jobOptions);
    std::size_t resume = static_cast<std::size_t>(groups[1].rm_eo) + 1;  // drops one separator
    out = text.substr(0, groups[1].rm_so);
    if (resume < text.size())
        out += text.substr(resume);
    return 1;
}

PreparedFormat PrepFormat(const char* jobOptions, const FilterEnvironment& env)
{
    PreparedFormat format;
    common::PPDHandle ppd = common::OpenPPD(env.ppdPath.c_str());
    if (!ppd) {
        // Fixed diagnostic line (see output.h). Unlike the others it has always
        // gone straight to standard error, not through the output writers.
        std::fputs("ppdOpenFile return NULL\n", stderr);
        Report(Severity::Error, "Unable to open the printer's PPD file \"%s\".", env.ppdPath.c_str());
        return format;
    }
    std::string filterEntry;
    if (ppd_attr_t* attr = ppdFindAttr_ALT(ppd.get(), "cupsFilter", nullptr); attr && attr->value)
        filterEntry = std::string(attr->value).substr(0, 127);
    ppd.reset();

    std::size_t start = filterEntry.find_first_not_of(" \t");
    if (start != std::string::npos)
        format.sourceType = filterEntry.substr(start, filterEntry.find_first_of(" \t", start) - start).substr(0, 31);

    format.filterPath = ChooseFilter(format.sourceType, env);
    if (format.sourceType.empty()) {
        Report(Severity::Error, "The PPD file has no cupsFilter entry naming the document type.");
        return format;
    }
    if (format.sourceType != kDestinationType && access(format.filterPath.c_str(), F_OK) != 0) {
        // Fixed diagnostic line for a missing conversion program (see output.h).
        Utlfputs("access bestFilterPath error\n", stderr);
        if (format.filterPath.empty())
            Report(Severity::Error, "No conversion filter turns %s into %s.", format.sourceType.c_str(),
                   kDestinationType);
        else
            Report(Severity::Error, "The conversion filter %s is not installed.", format.filterPath.c_str());
        format.filterPath.clear();
        return format;
    }
    format.status = RewriteOrientation(jobOptions, format.options);
    return format;
}

void ExecuteFilter(const std::string& filterPath, int argc, const char* const* argv, const std::string& options)
{
    std::vector<const char*> args(argv, argv + 5);
    args.push_back(options.c_str());
    if (argc == 7)
        args.push_back(argv[6]);
    args.push_back(nullptr);
    execv(filterPath.c_str(), const_cast<char* const*>(args.data()));
    _exit(127);
}

bool SaveToTempFile(int fd, common::TempFile& out)
{
    char path[1024];
    common::UniqueFd file(cupsTempFd(path, sizeof path));
    if (!file) {
        Report(Severity::Error, "Unable to create a temporary file: %s.", std::strerror(errno));
        return false;
    }
    common::TempFile temp{std::string(path)};
    char buffer[1024];
    std::size_t total = 0;
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR && !CancelJob)
            continue;
        if (CancelJob) {
            Report(Severity::Error, "The job was cancelled.");
            return false;
        }
        if (n < 0) {
            Report(Severity::Error, "Unable to read the converted document: %s.", std::strerror(errno));
            return false;
        }
        if (n == 0)
            break;
        if (!common::WriteAll(file.get(), std::string_view(buffer, static_cast<std::size_t>(n)))) {
            Report(Severity::Error, "Unable to write the temporary file %s: %s.", path, std::strerror(errno));
            return false;
        }
        total += static_cast<std::size_t>(n);
    }
    if (total == 0) {
        Report(Severity::Error, "The document to print is empty.");
        return false;
    }
    out = std::move(temp);
    return true;
}

bool ProcessData(int argc, const char* const* argv, const FilterEnvironment& env, common::TempFile& pdfOut,
                 PDFDocInfo& docInfo)
{
    PreparedFormat format = PrepFormat(argv[5], env);
    if (format.status < 0)
        return false;

    common::TempFile converted;
    if (!Convert(argc, argv, format, converted))
        return false;

    pdfDocInfo_init(converted.path().c_str(), docInfo);
    if (!docInfo.document) {
        Report(Severity::Error, "The converted document is not a readable PDF file.");
        return false;
    }
    if (docInfo.pageCount <= 0) {
        Report(Severity::Error, "The converted document has no pages.");
        return false;
    }

    if (CheckIfNeedEdit(argv[5], env.contentType.c_str(), docInfo)) {
        char renderedPath[128] = {};
        if (PreProcess(docInfo, renderedPath, sizeof renderedPath)) {
            pdfOut = common::TempFile(renderedPath);
        } else if (CancelJob) {
            Report(Severity::Error, "The job was cancelled.");
            return false;
        } else {
            Report(Severity::Info, "Re-rendering the document failed; printing it as converted.");
        }
    }
    if (pdfOut.empty())
        pdfOut = std::move(converted);
    docInfo.document.reset();
    return true;
}

}  // namespace zlk::filter
