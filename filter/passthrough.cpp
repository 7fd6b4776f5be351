#include "filter/passthrough.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "common/fd.h"
#include "filter/jobstream.h"
#include "filter/output.h"
#include "filter/signals.h"

namespace zlk::filter {

namespace {
// The lines every header starts with (OutputXPJLCommand).
constexpr std::string_view kHeadLines = "@PJL SET STRINGCODESET=CP932\n@PJL JOB MODE=PRINTER\n";
}  // namespace

bool IsJobStream(std::string_view head)
{
    const std::string_view uel = kUEL;
    return head.starts_with(uel) && head.substr(uel.size()).starts_with(kHeadLines);
}

bool PassJobStreamThrough(int argc, const char* const* argv)
{
    common::UniqueFd input(argc == 7 ? ::open(argv[6], O_RDONLY | O_CLOEXEC) : ::dup(STDIN_FILENO));
    if (!input) {
        Report(Severity::Error, "Unable to read the job stream to send on.");
        return false;
    }
    std::string head;
    char buffer[65536];
    bool checked = false;
    for (;;) {
        if (CancelJob)
            return false;
        const ssize_t n = ::read(input.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Report(Severity::Error, "Unable to read the job stream to send on.");
            return false;
        }
        std::string_view chunk(buffer, static_cast<std::size_t>(n));
        if (!checked) {
            // Nothing goes out before the start is known to be ours.
            head.append(chunk);
            const std::size_t needed = std::string_view(kUEL).size() + kHeadLines.size();
            if (head.size() < needed && n > 0)
                continue;
            if (!IsJobStream(head)) {
                Report(Severity::Error, "The job was typed as a job stream of this driver but is not one.");
                return false;
            }
            checked = true;
            chunk = head;
        }
        if (chunk.empty())
            return std::fflush(stdout) == 0;
        if (std::fwrite(chunk.data(), 1, chunk.size(), stdout) != chunk.size()) {
            Report(Severity::Error, "Unable to write the job to the printer.");
            return false;
        }
        if (n == 0)
            return std::fflush(stdout) == 0;
    }
}

}  // namespace zlk::filter
