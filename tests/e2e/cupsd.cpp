#include "cupsd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "process.h"

namespace fs = std::filesystem;

namespace zlk::test {

namespace {

// Exit status of a scheduler child that could not set up its namespace.
constexpr int kNoNamespace = 126;

bool WriteProcFile(const char* path, const char* text)
{
    int fd = open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const std::size_t length = std::strlen(text);
    bool ok = write(fd, text, length) == static_cast<ssize_t>(length);
    close(fd);
    return ok;
}

// In the child between fork and exec: a mount namespace where the system's
// /usr/share/ppd shows at systemView and ppdDir stands in for it. Without
// root, a user namespace mapping only this user grants the mounts.
bool EnterPpdNamespace(const char* ppdDir, const char* systemView, const char* uidMap, const char* gidMap)
{
    if (getuid() == 0) {
        if (unshare(CLONE_NEWNS) != 0)
            return false;
    } else if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !WriteProcFile("/proc/self/setgroups", "deny") ||
               !WriteProcFile("/proc/self/uid_map", uidMap) || !WriteProcFile("/proc/self/gid_map", gidMap)) {
        return false;
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("/usr/share/ppd", systemView, nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
           mount(ppdDir, "/usr/share/ppd", nullptr, MS_BIND | MS_REC, nullptr) == 0;
}

}  // namespace

Cupsd::Cupsd(const std::string& filterPath, const std::string& modelDir, const std::string& sharePpdDir)
{
    const std::string root = dir_.path();
    // The scheduler runs filters as lp when started by root: every folder
    // on the way must be readable by it.
    chmod(root.c_str(), 0755);
    for (const char* sub : {"etc/ppd", "spool/tmp", "cache", "state", "log", "out", "bin/filter"})
        fs::create_directories(root + "/" + sub);
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_directory())
            chmod(entry.path().c_str(), 0755);
    chmod((root + "/spool/tmp").c_str(), 01777);

    const std::string system = "/usr/lib/cups";
    const bool systemLayout = !sharePpdDir.empty();
    if (systemLayout) {
        // The system's driver programs, which its scheduler lists too.
        fs::create_symlink(system + "/driver", root + "/bin/driver");
    } else {
        // No driver programs: listing them would browse the network.
        fs::create_directories(root + "/bin/driver");
        chmod((root + "/bin/driver").c_str(), 0755);
    }
    for (const char* sub : {"backend", "cgi-bin", "daemon", "monitor", "notifier"})
        if (fs::exists(system + "/" + sub))
            fs::create_symlink(system + "/" + sub, root + "/bin/" + sub);
    // The system's filters, but never an installed ZLKPrintFilter: the
    // build's is the one under test.
    for (const auto& entry : fs::directory_iterator(system + "/filter"))
        if (entry.path().filename() != "ZLKPrintFilter")
            fs::create_symlink(entry.path(), root + "/bin/filter/" + entry.path().filename().string());
    const std::string installed = root + "/bin/filter/ZLKPrintFilter";
    fs::copy_file(filterPath, installed);
    chmod(installed.c_str(), 0755);

    std::string dataDir = "/usr/share/cups";
    if (!modelDir.empty()) {
        dataDir = root + "/share";
        fs::create_directories(dataDir);
        chmod(dataDir.c_str(), 0755);
        for (const auto& entry : fs::directory_iterator("/usr/share/cups"))
            if (entry.path().filename() != "model")
                fs::create_symlink(entry.path(), dataDir + "/" + entry.path().filename().string());
        fs::create_symlink(modelDir, dataDir + "/model");
    }

    // /usr/share/ppd with the package installed: the system's entries, seen
    // through systemView, and the package's, which win a clash.
    const std::string ppdDir = root + "/ppd";
    const std::string systemView = root + "/system-ppd";
    if (systemLayout) {
        for (const std::string& made : {ppdDir, systemView}) {
            fs::create_directories(made);
            chmod(made.c_str(), 0755);
        }
        for (const auto& entry : fs::directory_iterator(sharePpdDir))
            fs::create_symlink(entry.path(), ppdDir + "/" + entry.path().filename().string());
        if (fs::is_directory("/usr/share/ppd"))
            for (const auto& entry : fs::directory_iterator("/usr/share/ppd"))
                if (!fs::exists(fs::symlink_status(ppdDir + "/" + entry.path().filename().string())))
                    fs::create_symlink(systemView + "/" + entry.path().filename().string(),
                                       ppdDir + "/" + entry.path().filename().string());
    }
    const std::string uidMap = std::to_string(getuid()) + " " + std::to_string(getuid()) + " 1";
    const std::string gidMap = std::to_string(getgid()) + " " + std::to_string(getgid()) + " 1";

    // The package's types, where the scheduler reads local ones: a
    // system layout has the installed file in its data folder.
    if (!systemLayout)
        fs::copy_file(ZLK_MIME_TYPES, root + "/etc/zelko.types");

    port_ = FreePort();
    WriteFile(root + "/etc/cupsd.conf", "LogLevel debug\nMaxLogSize 0\nListen 127.0.0.1:" + std::to_string(port_) +
                                            "\nWebInterface No\nBrowsing Off\nDefaultAuthType None\n"
                                            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                                            "</Policy>\n");
    std::string files = "FileDevice Yes\nServerRoot " + root + "/etc\nServerBin " + root + "/bin\nDataDir " + dataDir +
                        "\nRequestRoot " + root + "/spool\nTempDir " + root + "/spool/tmp\nCacheDir " + root +
                        "/cache\nStateDir " + root + "/state\nAccessLog " + root + "/log/access_log\nErrorLog " + root +
                        "/log/error_log\nPageLog " + root + "/log/page_log\n";
    if (getuid() == 0)
        files += "User lp\nGroup lp\n";
    WriteFile(root + "/etc/cups-files.conf", files);

    pid_ = fork();
    if (pid_ == 0) {
        // The scheduler must not outlive a test run that crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (systemLayout && !EnterPpdNamespace(ppdDir.c_str(), systemView.c_str(), uidMap.c_str(), gidMap.c_str()))
            _exit(kNoNamespace);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (root + "/etc/cupsd.conf").c_str(), "-s",
              (root + "/etc/cups-files.conf").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && !Accepts(port_); ++i) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            noNamespace_ = WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace;
            error_ = noNamespace_ ? "no mount namespace for a private /usr/share/ppd (needs root or user namespaces, "
                                    "and /usr/share/ppd)"
                                  : "cupsd exited at start";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!Accepts(port_))
        error_ = "cupsd does not answer on port " + std::to_string(port_);
}

Cupsd::~Cupsd()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
}

std::string Cupsd::server() const { return "127.0.0.1:" + std::to_string(port_); }

std::string Cupsd::Command(const std::vector<std::string>& args, int* exitCode) const
{
    RunOptions run;
    run.args = args;
    run.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"CUPS_SERVER", server()}, {"HOME", dir_.path()}};
    for (const auto& [name, value] : clientEnv_)
        run.env.insert_or_assign(name, value);
    std::string program = "/usr/bin/" + args.front();
    if (!fs::exists(program))
        program = "/usr/sbin/" + args.front();
    RunResult result = RunProgram(program, run);
    if (exitCode)
        *exitCode = result.exitCode;
    return result.out + result.err;
}

std::string Cupsd::AddQueue(const std::string& name, const std::string& ppd, bool model)
{
    const std::string capture = dir_.path() + "/out/" + name + ".prn";
    WriteFile(capture, "");
    chmod(capture.c_str(), 0666);
    int code = 0;
    std::string out = Command({"lpadmin", "-h", server(), "-p", name, "-E", "-v", "file://" + capture,
                               model ? "-m" : "-P", ppd, "-o", "printer-error-policy=abort-job"},
                              &code);
    if (code != 0)
        return "lpadmin failed (" + std::to_string(code) + "): " + out;
    captures_[name] = capture;
    return {};
}

std::string Cupsd::AddForwardingQueue(const std::string& name, const std::string& ppd, const std::string& uri)
{
    int code = 0;
    std::vector<std::string> args = {"lpadmin", "-h", server(), "-p", name, "-E", "-v", uri};
    if (ppd.empty())
        args.insert(args.end(), {"-m", "raw"});
    else
        args.insert(args.end(), {"-P", ppd});
    const std::string out = Command(args, &code);
    return code == 0 ? std::string() : "lpadmin failed (" + std::to_string(code) + "): " + out;
}

std::string Cupsd::QueueUri(const std::string& name) const { return "ipp://" + server() + "/printers/" + name; }

PrintedJob Cupsd::WaitForNewestJob(const std::string& queue)
{
    // "queue-N user size date" per job, ended ones included.
    int newest = 0;
    for (int i = 0; i < 100 && newest == 0; ++i) {
        std::istringstream lines(Command({"lpstat", "-h", server(), "-W", "all", "-o", queue}));
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with(queue + "-"))
                newest = std::max(newest, std::atoi(line.c_str() + queue.size() + 1));
        if (newest == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (newest == 0) {
        PrintedJob none;
        none.state = "timeout";
        return none;
    }
    return WaitForJob(queue, newest);
}

std::string Cupsd::JobState(int id) const
{
    // "lpstat -W completed" lists ended jobs; the log tells how they ended.
    std::string log = JobLog(id);
    if (log.find("Job completed.") != std::string::npos || log.find("job-completed") != std::string::npos)
        return "completed";
    if (log.find("aborted") != std::string::npos || log.find("stopped due to filter errors") != std::string::npos)
        return "aborted";
    if (log.find("canceled") != std::string::npos || log.find("cancelled") != std::string::npos)
        return "canceled";
    if (log.find("Printer stopped") != std::string::npos)
        return "stopped";
    return {};
}

PrintedJob Cupsd::WaitForJob(const std::string& queue, int id)
{
    PrintedJob job;
    job.id = id;
    for (int i = 0; i < 300 && job.state.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        job.state = JobState(job.id);
    }
    if (job.state.empty())
        job.state = "timeout";
    job.stream = ReadFile(captures_.at(queue));
    return job;
}

PrintedJob Cupsd::Print(const std::string& queue, const std::string& file, const std::vector<std::string>& lpArgs)
{
    PrintedJob job;
    WriteFile(captures_.at(queue), "");
    std::vector<std::string> args = {"lp", "-h", server(), "-d", queue};
    args.insert(args.end(), lpArgs.begin(), lpArgs.end());
    args.push_back(file);
    int code = 0;
    std::string out = Command(args, &code);
    std::size_t at = out.find("request id is " + queue + "-");
    if (code != 0 || at == std::string::npos) {
        job.state = "rejected: " + out;
        return job;
    }
    return WaitForJob(queue, std::stoi(out.substr(at + 15 + queue.size())));
}

PrintedJob Cupsd::PrintWith(const std::string& queue, const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& env, RunResult* run)
{
    PrintedJob job;
    WriteFile(captures_.at(queue), "");
    RunOptions options;
    options.args = {program};
    options.args.insert(options.args.end(), args.begin(), args.end());
    options.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"CUPS_SERVER", server()}, {"HOME", dir_.path()}};
    options.env.insert(env.begin(), env.end());
    for (const auto& [name, value] : clientEnv_)
        options.env.insert_or_assign(name, value);
    const RunResult result = RunProgram(program, options);
    if (run)
        *run = result;
    const std::size_t at = result.out.find(queue + "-");
    if (result.exitCode != 0 || at == std::string::npos) {
        job.state = "rejected: " + result.err;
        return job;
    }
    return WaitForJob(queue, std::stoi(result.out.substr(at + queue.size() + 1)));
}

std::string Cupsd::Reload()
{
    const std::string logPath = dir_.path() + "/log/error_log";
    auto reloads = [&] {
        std::string log;
        try {
            log = ReadFile(logPath);
        } catch (...) {}
        std::size_t count = 0;
        for (std::size_t at = 0; (at = log.find("Full reload complete.", at)) != std::string::npos; ++at)
            ++count;
        return count;
    };
    const std::size_t before = reloads();
    if (pid_ <= 0 || kill(pid_, SIGHUP) != 0)
        return "no scheduler to reload";
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (reloads() > before && Accepts(port_))
            return {};
    }
    return "the scheduler did not reload within 10 seconds";
}

std::string Cupsd::JobLog(int id) const
{
    std::string log;
    try {
        log = ReadFile(dir_.path() + "/log/error_log");
    } catch (...) {
        return {};
    }
    const std::string tag = "[Job " + std::to_string(id) + "] ";
    std::istringstream in(log);
    std::string lines;
    for (std::string line; std::getline(in, line);)
        if (line.find(tag) != std::string::npos)
            lines += line + "\n";
    return lines;
}

}  // namespace zlk::test
