#include "printerapp/filterjob.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/fd.h"

extern char** environ;

namespace zlk::printerapp {

namespace {

using common::UniqueFd;

bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

// posix_spawn's file actions and attributes, released on every path.
struct SpawnActions {
    posix_spawn_file_actions_t actions;
    SpawnActions() { posix_spawn_file_actions_init(&actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
};

// The environment the spooler gives a filter; the spooler's own folders
// pass through so that the conversion step finds its tables.
std::vector<std::string> FilterEnvironment(const FilterCommand& command)
{
    std::vector<std::string> env = {
        "PATH=/usr/bin:/bin",
        "PPD=" + command.ppd,
        "CONTENT_TYPE=application/pdf",
        "FINAL_CONTENT_TYPE=application/vnd.cups-pdf",
        "TMPDIR=" + command.tmpdir,
        "CHARSET=utf-8",
        "LANG=C.UTF-8",
    };
    for (const char* name : {"CUPS_DATADIR", "CUPS_SERVERBIN", "CUPS_SERVERROOT"})
        if (const char* value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Hands complete lines of text to log, keeping the rest for later.
void DrainLines(std::string& pending, const std::function<void(const std::string&)>& log, bool all)
{
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
        log(pending.substr(start, end - start));
    pending.erase(0, start);
    if (all && !pending.empty()) {
        log(pending);
        pending.clear();
    }
}

}  // namespace

std::string FilterOptionString(const FilterJob& job)
{
    std::string text;
    for (const auto& [name, value] : job.options) {
        if (!text.empty())
            text += ' ';
        text += name;
        text += '=';
        for (char c : value) {
            if (c == ' ' || c == '\t' || c == '\'' || c == '"' || c == '\\')
                text += '\\';
            text += c;
        }
    }
    return text;
}

bool LooksLikePdf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<char, 5> head{};
    in.read(head.data(), head.size());
    return in.gcount() == 5 && std::memcmp(head.data(), "%PDF-", 5) == 0;
}

std::string RunFilter(const FilterCommand& command, const FilterJob& job, const FilterHooks& hooks)
{
    UniqueFd outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite))
        return std::string("cannot make a pipe: ") + std::strerror(errno);

    std::vector<std::string> args = {"ZLKPrintFilter",           std::to_string(job.jobId), job.user,        job.title,
                                     std::to_string(job.copies), FilterOptionString(job),   command.document};
    std::vector<std::string> env = FilterEnvironment(command);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    SpawnActions spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&spawn.actions, errWrite.get(), 2);
    pid_t pid = 0;
    if (const int error = posix_spawn(&pid, command.program.c_str(), &spawn.actions, nullptr, argv.data(), envp.data()))
        return "cannot start " + command.program + ": " + std::strerror(error);
    outWrite.reset();
    errWrite.reset();

    std::string failure;
    std::string errText;
    std::array<char, 65536> buffer;
    bool outOpen = true, errOpen = true, stopped = false;
    while (outOpen || errOpen) {
        std::array<pollfd, 2> fds = {pollfd{outOpen ? outRead.get() : -1, POLLIN, 0},
                                     pollfd{errOpen ? errRead.get() : -1, POLLIN, 0}};
        // Wakes now and then to notice a cancelled job.
        if (poll(fds.data(), fds.size(), 500) < 0 && errno != EINTR) {
            failure = std::string("poll: ") + std::strerror(errno);
            break;
        }
        if (!stopped && hooks.cancelled && hooks.cancelled()) {
            kill(pid, SIGTERM);
            stopped = true;
            failure = "the job was cancelled";
        }
        if (outOpen && fds[0].revents) {
            const ssize_t n = read(outRead.get(), buffer.data(), buffer.size());
            if (n > 0 && !stopped && !hooks.write(buffer.data(), static_cast<std::size_t>(n))) {
                kill(pid, SIGTERM);
                stopped = true;
                failure = "the printer took no more data";
            }
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                outOpen = false;
        }
        if (errOpen && fds[1].revents) {
            const ssize_t n = read(errRead.get(), buffer.data(), buffer.size());
            if (n > 0) {
                errText.append(buffer.data(), static_cast<std::size_t>(n));
                DrainLines(errText, hooks.log, false);
            }
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                errOpen = false;
        }
    }
    DrainLines(errText, hooks.log, true);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (!failure.empty())
        return failure;
    if (WIFSIGNALED(status))
        return "the filter ended on signal " + std::to_string(WTERMSIG(status));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the filter failed with status " + std::to_string(WEXITSTATUS(status));
    return "";
}

}  // namespace zlk::printerapp
