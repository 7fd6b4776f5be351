// Runs ZLKPrintFilter for a job of the Printer Application, so that both
// roads to the printer write the same job stream: the filter is given what
// the spooler would give it for the same settings.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zlk::printerapp {

// A job's settings in the filter's terms (PPD choices, CUPS option names).
struct FilterJob {
    int jobId = 0;
    std::string user;
    std::string title;
    int copies = 1;
    std::vector<std::pair<std::string, std::string>> options;  // in order
};

// The options argument as the spooler writes it: name=value, blank
// separated, quotes and backslashes kept by a backslash.
std::string FilterOptionString(const FilterJob& job);

struct FilterCommand {
    std::string program;  // the filter
    std::string ppd;
    std::string document;  // a PDF
    std::string tmpdir;
};

struct FilterHooks {
    // Takes each piece of the stream; false stops the job.
    std::function<bool(const char* data, std::size_t size)> write;
    // Each line the filter writes to standard error.
    std::function<void(const std::string& line)> log;
    // Asked while the filter runs: true ends it (the job was cancelled).
    std::function<bool()> cancelled;
};

// Runs the filter with its output going to hooks.write; "" when it ended
// well, else why not.
std::string RunFilter(const FilterCommand& command, const FilterJob& job, const FilterHooks& hooks);

// Whether a file starts as a PDF does.
bool LooksLikePdf(const std::string& path);

}  // namespace zlk::printerapp
