// A private CUPS scheduler for end-to-end tests: its own server root,
// spool, logs and port on loopback, a filter directory holding the filter
// under test, and a queue whose device captures the job stream to a file.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "process.h"
#include "testpdf.h"

namespace zlk::test {

struct PrintedJob {
    int id = 0;
    std::string state;  // "completed", "aborted", "canceled", "stopped" or "timeout"
    std::string stream;  // what reached the device
};

class Cupsd {
public:
    // Starts cupsd with filterPath installed as ZLKPrintFilter. ok() tells
    // whether it came up; error() says why not.
    // modelDir, when given, is where the scheduler looks for drivers.
    // sharePpdDir, when given, is a package's usr/share/ppd: the scheduler
    // is then set up as the system's, with its driver programs, and sees
    // /usr/share/ppd as it is with the package installed (in a mount
    // namespace of its own), so it names drivers as the system does.
    explicit Cupsd(const std::string& filterPath, const std::string& modelDir = "",
                   const std::string& sharePpdDir = "");
    ~Cupsd();
    Cupsd(const Cupsd&) = delete;
    Cupsd& operator=(const Cupsd&) = delete;

    bool ok() const { return pid_ > 0 && error_.empty(); }
    // True when this machine refuses the mount namespace sharePpdDir needs.
    bool noNamespace() const { return noNamespace_; }
    const std::string& error() const { return error_; }
    std::string server() const;  // host:port for -h

    // Adds a queue printing to a capture file; answers "" or the error.
    // With model true, ppd names a driver the scheduler lists (lpadmin -m).
    std::string AddQueue(const std::string& name, const std::string& ppd, bool model = false);
    // Adds a queue sending its jobs to uri (another scheduler's queue), with
    // the PPD, or raw (no filter here) when ppd is empty; "" or the error.
    std::string AddForwardingQueue(const std::string& name, const std::string& ppd, const std::string& uri);
    // The ipp: address of one of this scheduler's queues.
    std::string QueueUri(const std::string& name) const;
    // Waits for the newest job of the queue (one another scheduler sent
    // here) to end.
    PrintedJob WaitForNewestJob(const std::string& queue);

    // More environment for the client programs (lp, zlk-print): where
    // their lpoptions file is, for instance.
    void SetClientEnv(std::map<std::string, std::string> env) { clientEnv_ = std::move(env); }

    // Runs a CUPS command (lp, lpadmin, lpinfo, lpstat) against this server.
    std::string Command(const std::vector<std::string>& args, int* exitCode = nullptr) const;

    // Submits with lp and waits for the job to end.
    PrintedJob Print(const std::string& queue, const std::string& file, const std::vector<std::string>& lpArgs);

    // Runs a program that submits a job and prints "<queue>-<id>" (as
    // zlk-print does) with this server in CUPS_SERVER and env added, then
    // waits for the job to end; run receives how the program ended.
    PrintedJob PrintWith(const std::string& queue, const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, RunResult* run = nullptr);

    // Has the scheduler write its state (printers.conf) and read it back
    // afresh, as it does when it starts again (SIGHUP: a full reload);
    // answers "" once it has, or why not.
    std::string Reload();

    // The scheduler's log lines of one job.
    std::string JobLog(int id) const;
    const std::string& root() const { return dir_.path(); }
    // Waits for a job sent some other way (from inside the test) to end.
    PrintedJob WaitForJob(const std::string& queue, int id);

private:
    std::string JobState(int id) const;
    std::map<std::string, std::string> clientEnv_;

    TempDir dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    std::string error_;
    bool noNamespace_ = false;
    std::map<std::string, std::string> captures_;  // queue -> capture file
};

}  // namespace zlk::test
