// Runs a program the way the spooler runs a filter: given arguments, a
// clean environment, standard input from a file, output captured.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zlk::test {

struct RunResult {
    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;  // the signal that ended it, if any
    std::string out;  // standard output
    std::string err;  // standard error
    long peakKiB = 0;  // the program's largest resident set
};

struct RunOptions {
    std::vector<std::string> args;  // argv, argv[0] included
    std::map<std::string, std::string> env;  // the whole environment
    std::string stdinPath = "/dev/null";
    bool closeStdout = false;  // stdout is a pipe nobody reads
    int terminateAfterMs = 0;  // send SIGTERM after this long (0: never)
    // Asked every millisecond while the program runs, with its process id:
    // true sends it SIGKILL (nothing it would do on its way out runs).
    std::function<bool(pid_t)> killWhen = {};
};

RunResult RunProgram(const std::string& program, const RunOptions& options);

// A loopback TCP port free at the time of asking (0 when none was found),
// and whether something accepts connections on one.
int FreePort();
bool Accepts(int port);

}  // namespace zlk::test
