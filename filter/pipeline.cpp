#include "filter/pipeline.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <strings.h>

#include <qpdf/QPDF.hh>

#include "common/fd.h"
#include "common/ppdfile.h"
#include "filter/options.h"
#include "filter/output.h"
#include "filter/signals.h"

namespace zlk::filter {

namespace {

// One line of the spooler's conversion tables: source type, destination
// type, cost and program, separated by blanks. A type is a lower-case
// top-level name, "/", and a subtype of the characters MIME type names are
// made of: letters, digits and ! # $ & . + ^ _ - (RFC 6838), and '*'. The
// line is read in one pass; like the pattern search it replaces, the source
// type may be the tail of a longer word ("xtext/plain" reads as itself,
// "Text/plain" as "ext/plain") and anything after the program is ignored.
struct ConversionLine {
    std::string_view source;
    std::string_view destination;
    std::string_view cost;
    std::string_view program;
};

bool IsTableBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n'; }
bool IsTopLevelChar(char c) { return c >= 'a' && c <= 'z'; }
bool IsSubtypeChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_!#$&.+^*-", c) != nullptr;
}

// The longest tail of word that is a whole type, or empty.
std::string_view TypeTail(std::string_view word)
{
    const std::size_t slash = word.rfind('/');
    if (slash == std::string_view::npos || slash + 1 == word.size() || slash == 0 || !IsTopLevelChar(word[slash - 1]))
        return {};
    for (std::size_t i = slash + 1; i < word.size(); ++i)
        if (!IsSubtypeChar(word[i]))
            return {};
    std::size_t start = slash;
    while (start > 0 && IsTopLevelChar(word[start - 1]))
        --start;
    return word.substr(start);
}

bool IsType(std::string_view word) { return !word.empty() && TypeTail(word) == word; }

bool IsDigits(std::string_view word)
{
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<ConversionLine> ReadConversionLine(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t i = 0; i < line.size();) {
        while (i < line.size() && IsTableBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsTableBlank(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    for (std::size_t k = 0; k + 3 < words.size(); ++k) {
        std::string_view source = TypeTail(words[k]);
        if (!source.empty() && IsType(words[k + 1]) && IsDigits(words[k + 2]))
            return ConversionLine{source, words[k + 1], words[k + 2], words[k + 3]};
    }
    return std::nullopt;
}

// A cost below 1000; a run of digits too long for any integer is not.
bool IsCheapEnough(std::string_view cost)
{
    unsigned long value = 0;
    auto [end, ec] = std::from_chars(cost.data(), cost.data() + cost.size(), value);
    return ec == std::errc() && end == cost.data() + cost.size() && value < 1000;
}

std::string EnvOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// One option of an option string as the spooler's option parser reads it:
// from its name to the start of the next option (separating blanks
// included). valueBegin > valueEnd for an option without "=".
struct OptionSpan {
    std::size_t begin = 0;
    std::size_t nameEnd = 0;
    std::size_t valueBegin = 1;
    std::size_t valueEnd = 0;
    std::size_t end = 0;
};

constexpr std::string_view kOrientationName = "orientation-requested";

bool IsOptionBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Splits text in one pass the way cupsParseOptions reads it: a value is made
// of quoted parts, brace groups and plain runs, a backslash keeping the next
// character; a name without a value is a switch; a lone "=" ends the list.
std::vector<OptionSpan> SplitOptions(std::string_view text)
{
    std::vector<OptionSpan> spans;
    const std::size_t n = text.size();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsOptionBlank(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        OptionSpan span;
        span.begin = i;
        while (i < n && !IsOptionBlank(text[i]) && text[i] != '=')
            ++i;
        if (i == span.begin)
            break;
        span.nameEnd = i;
        skipBlanks();
        if (i < n && text[i] == '=') {
            span.valueBegin = ++i;
            while (i < n && !IsOptionBlank(text[i])) {
                const char c = text[i];
                if (c == ',') {
                    ++i;
                } else if (c == '"' || c == '\'') {
                    for (++i; i < n && text[i] != c; ++i)
                        if (text[i] == '\\' && i + 1 < n)
                            ++i;
                    if (i < n)
                        ++i;
                } else if (c == '{') {
                    for (int depth = 0; i < n; ++i) {
                        if (text[i] == '{') {
                            ++depth;
                        } else if (text[i] == '}') {
                            if (--depth == 0) {
                                ++i;
                                break;
                            }
                        } else if (text[i] == '\\' && i + 1 < n) {
                            ++i;
                        }
                    }
                } else {
                    for (; i < n && !IsOptionBlank(text[i]); ++i)
                        if (text[i] == '\\' && i + 1 < n)
                            ++i;
                }
            }
            span.valueEnd = i;
            skipBlanks();
        }
        span.end = i;
        spans.push_back(span);
    }
    return spans;
}

// Whether both parsed lists hold the same options, apart from name.
bool SameOptionsBut(const JobOptions& a, const JobOptions& b, std::string_view name)
{
    auto kept = [&](const JobOptions& options) {
        std::map<std::string, std::string> map;
        for (int i = 0; i < options.count(); ++i)
            if (strcasecmp(options.options()[i].name, std::string(name).c_str()) != 0)
                map[options.options()[i].name] = options.options()[i].value;
        return map;
    };
    return kept(a) == kept(b);
}

// The parsed options apart from name, written so that cupsParseOptions reads
// each value back unchanged: every byte but letters and digits escaped.
std::string WriteOptionsBut(const JobOptions& options, std::string_view name)
{
    std::string text;
    for (int i = 0; i < options.count(); ++i) {
        const cups_option_t& option = options.options()[i];
        if (strcasecmp(option.name, std::string(name).c_str()) == 0)
            continue;
        if (!text.empty())
            text += ' ';
        text += option.name;
        text += '=';
        for (const char* p = option.value; *p; ++p) {
            if (!std::isalnum(static_cast<unsigned char>(*p)))
                text += '\\';
            text += *p;
        }
    }
    return text;
}

// How long a stopped conversion filter may take to end before it is killed.
constexpr auto kStopGrace = std::chrono::milliseconds(1000);

// Stops the conversion filter's process group: SIGTERM, and SIGKILL to what
// is left after the grace period. The filter is waited for without being
// reaped, so its group id cannot pass to another process meanwhile.
void StopConverter(pid_t child)
{
    kill(-child, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno != EINTR)
            break;
        if (info.si_pid == child)
            break;
        usleep(20000);
    }
    // Children the filter left behind go too, even when it ended in time.
    kill(-child, SIGKILL);
}

// Waits for the conversion filter and answers whether it succeeded. A
// cancelled job (or stopped, when the output was not all kept) stops it first.
bool WaitForChild(pid_t child, const std::string& program, bool stop)
{
    if (stop || CancelJob)
        StopConverter(child);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            Report(Severity::Error, "Lost track of the conversion filter %s.", program.c_str());
            return false;
        }
        if (CancelJob) {
            StopConverter(child);
        }
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

// Starts the conversion filter writing into output, in a process group of
// its own (so that stopping it reaches what it starts) that dies with the
// filter. The child shares the filter's memory until it execs (vfork: the
// filter's address space is not copied for a process that only execs), so
// it makes system calls only, with the filter's signal handlers put aside.
pid_t StartConverter(const char* program, const char* const* args, int output)
{
    const pid_t parent = getpid();
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    const pid_t child = vfork();
    if (child == 0) {
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigaction(SIGTERM, &standard, nullptr);
        sigaction(SIGPIPE, &standard, nullptr);
        if (!EndWithParent(parent))
            _exit(1);
        setpgid(0, 0);
        dup2(output, STDOUT_FILENO);
        close(output);
        sigprocmask(SIG_SETMASK, &before, nullptr);
        execv(program, const_cast<char* const*>(args));
        _exit(127);
    }
    const int error = errno;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (child > 0)
        setpgid(child, child);
    errno = error;
    return child;
}

// Runs the conversion filter and keeps its output; or copies the document
// itself when no conversion is needed.
bool Convert(int argc, const char* const* argv, const PreparedFormat& format, common::UnnamedTempFile& out)
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

    // The conversion filter writes straight into the temporary file: into a
    // pipe, pdftopdf runs about a sixth slower, and the copy costs more.
    common::UnnamedTempFile file = common::NewUnnamedTempFile();
    if (!file) {
        Report(Severity::Error, "Unable to create a temporary file: %s.", std::strerror(errno));
        return false;
    }
    std::fflush(nullptr);
    const std::string options = format.status == 1 ? format.options : argv[5];
    const std::vector<const char*> args = FilterArguments(argc, argv, options);
    const pid_t child = StartConverter(format.filterPath.c_str(), args.data(), file.fd());
    if (child < 0) {
        Report(Severity::Error, "Unable to start the conversion filter: %s.", std::strerror(errno));
        return false;
    }
    const bool succeeded = WaitForChild(child, format.filterPath, false);
    if (CancelJob) {
        Report(Severity::Error, "The job was cancelled.");
        return false;
    }
    if (!succeeded) {
        return false;
    }
    struct stat written {};
    if (fstat(file.fd(), &written) != 0 || written.st_size == 0) {
        Report(Severity::Error, "The document to print is empty.");
        return false;
    }
    out = std::move(file);
    return true;
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
    std::string line;
    while (std::getline(table, line)) {
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::optional<ConversionLine> entry = ReadConversionLine(line);
        if (entry && entry->source == sourceType && entry->destination == destinationType && IsCheapEnough(entry->cost))
            return std::string(entry->program);
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
    if (!jobOptions)
        return 0;
    const std::string_view text(jobOptions);
    const std::vector<OptionSpan> spans = SplitOptions(text);
    const auto last = std::find_if(spans.rbegin(), spans.rend(), [&](const OptionSpan& span) {
        return text.substr(span.begin, span.nameEnd - span.begin) == kOrientationName &&
               span.valueBegin < span.valueEnd && text[span.valueBegin] >= '0' && text[span.valueBegin] <= '9';
    });
    if (last == spans.rend())
        return 0;
    out = std::string(text.substr(0, last->begin)) + std::string(text.substr(last->end));
    // The spans above follow the spooler's option parser; should they ever
    // read a text differently, the converter still gets every other option
    // as that parser reads it, written out afresh.
    const JobOptions before(jobOptions), after(out.c_str());
    if (!SameOptionsBut(before, after, kOrientationName)) {
        out = WriteOptionsBut(before, kOrientationName);
        if (!SameOptionsBut(before, JobOptions(out.c_str()), kOrientationName))
            return -1;
    }
    return 1;
}

PreparedFormat PrepFormat(const char* jobOptions, const FilterEnvironment& env)
{
    return PrepFormat(jobOptions, common::OpenPPD(env.ppdPath.c_str()), env);
}

PreparedFormat PrepFormat(const char* jobOptions, const common::PPDHandle& ppd, const FilterEnvironment& env)
{
    PreparedFormat format;
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
    if (format.status < 0)
        Report(Severity::Error, "The job options cannot be passed on to the conversion filter.");
    return format;
}

std::vector<const char*> FilterArguments(int argc, const char* const* argv, const std::string& options)
{
    std::vector<const char*> args(argv, argv + 5);
    args.push_back(options.c_str());
    if (argc == 7)
        args.push_back(argv[6]);
    args.push_back(nullptr);
    return args;
}

bool SaveToTempFile(int fd, common::UnnamedTempFile& out)
{
    common::UnnamedTempFile file = common::NewUnnamedTempFile();
    if (!file) {
        Report(Severity::Error, "Unable to create a temporary file: %s.", std::strerror(errno));
        return false;
    }
    std::vector<char> buffer(65536);
    std::size_t total = 0;
    for (;;) {
        ssize_t n = read(fd, buffer.data(), buffer.size());
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
        if (!common::WriteAll(file.fd(), std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            Report(Severity::Error, "Unable to write a temporary file: %s.", std::strerror(errno));
            return false;
        }
        total += static_cast<std::size_t>(n);
    }
    if (total == 0) {
        Report(Severity::Error, "The document to print is empty.");
        return false;
    }
    out = std::move(file);
    return true;
}

bool ProcessData(int argc, const char* const* argv, const FilterEnvironment& env, common::UnnamedTempFile& pdfOut,
                 PDFDocInfo& docInfo)
{
    return ProcessData(argc, argv, env, common::OpenPPD(env.ppdPath.c_str()), pdfOut, docInfo);
}

bool ProcessData(int argc, const char* const* argv, const FilterEnvironment& env, const common::PPDHandle& ppd,
                 common::UnnamedTempFile& pdfOut, PDFDocInfo& docInfo)
{
    PreparedFormat format = PrepFormat(argv[5], ppd, env);
    if (format.status < 0)
        return false;

    // Every temporary file is unnamed from the moment it is made: a filter
    // killed outright (SIGKILL) leaves none behind in the spooler's folder.
    common::UnnamedTempFile converted;
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
    // The printer gets only a PDF that reads without repair.
    if (!IsSoundPDF(docInfo)) {
        common::UnnamedTempFile repaired;
        if (!RewriteDamagedPDF(docInfo, repaired)) {
            Report(Severity::Error, "The converted document is a damaged PDF file that cannot be repaired.");
            return false;
        }
        Report(Severity::Info, "The converted document was a damaged PDF file; it is printed as repaired.");
        converted = std::move(repaired);
    }

    if (CheckIfNeedEdit(argv[5], env.contentType.c_str(), docInfo)) {
        common::UnnamedTempFile rendered;
        if (PreProcess(docInfo, rendered)) {
            pdfOut = std::move(rendered);
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
