// zlk-printer-app as its tests run it: a server on a private loopback port
// with its own state folder, driven with ipptool; jobs reach a file device.
// A test target that includes it defines ZLK_PRINTER_APP_BINARY, ZLK_IPPTOOL,
// ZLK_IPP_TESTS and ZLK_SAMPLE_PPD_DIR.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "spooler.h"

namespace zlk::test {

// One zlk-printer-app server; its state folder outlives it so that another
// can start from it.
class PrinterApp {
public:
    explicit PrinterApp(const std::string& root) : root_(root)
    {
        std::filesystem::create_directories(root_ + "/tmp");
        std::filesystem::create_directories(root_ + "/out");
    }
    ~PrinterApp() { Stop(); }
    PrinterApp(const PrinterApp&) = delete;
    PrinterApp& operator=(const PrinterApp&) = delete;

    // "" once the server takes connections, else why not.
    std::string Start()
    {
        port_ = FreePort();
        std::vector<std::string> args = {"zlk-printer-app",
                                         "server",
                                         "-o",
                                         "server-port=" + std::to_string(port_),
                                         "-o",
                                         "listen-hostname=localhost",
                                         "-o",
                                         "log-level=info",
                                         "-o",
                                         "state-directory=" + root_ + "/state"};
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + root_, "TMPDIR=" + root_ + "/tmp",
                                        "ZLK_PRINTER_APP_PPD_DIR=" ZLK_SAMPLE_PPD_DIR,
                                        "ZLK_PRINTER_APP_FILTER=" + FilterProgram()};
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, ZLK_PRINTER_APP_BINARY, nullptr, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = 0;
            return "cannot start zlk-printer-app";
        }
        for (int i = 0; i < 300; ++i) {
            if (Accepts(port_))
                return "";
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return "zlk-printer-app ended at start:\n" + Log();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "zlk-printer-app does not listen on its port:\n" + Log();
    }

    // Ends the server as the system's service manager would (it saves its
    // state on the way out).
    void Stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
    }

    // By address: FreePort knows the port is free on IPv4 only.
    std::string Uri(const std::string& path) const { return "ipp://127.0.0.1:" + std::to_string(port_) + path; }

    // Runs one of our ipptool files; vars become -d name=value.
    RunResult Ipp(const std::string& path, const std::string& testFile, const std::map<std::string, std::string>& vars,
                  const std::string& file = "") const
    {
        RunOptions run;
        run.args = {"ipptool", "-t"};
        for (const auto& [name, value] : vars) {
            run.args.push_back("-d");
            run.args.push_back(name + "=" + value);
        }
        if (!file.empty()) {
            run.args.push_back("-f");
            run.args.push_back(file);
        }
        run.args.push_back(Uri(path));
        run.args.push_back(std::string(ZLK_IPP_TESTS) + "/" + testFile);
        run.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", root_}, {"TMPDIR", root_ + "/tmp"}};
        return RunProgram(ZLK_IPPTOOL, run);
    }

    // Runs any ipptool file (Debian's own suites among them) with the given
    // options before the printer's address.
    RunResult IppFile(const std::string& path, const std::string& testFile, const std::vector<std::string>& options,
                      int timeoutMs = 0) const
    {
        RunOptions run;
        run.args = {"ipptool"};
        run.args.insert(run.args.end(), options.begin(), options.end());
        run.args.push_back(Uri(path));
        run.args.push_back(testFile);
        run.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", root_}, {"TMPDIR", root_ + "/tmp"}};
        if (timeoutMs > 0) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            run.killWhen = [deadline](pid_t) { return std::chrono::steady_clock::now() > deadline; };
        }
        return RunProgram(ZLK_IPPTOOL, run);
    }

    RunResult AddPrinter(const std::string& name, const std::string& driver) const
    {
        return Ipp("/ipp/system", "add-printer.test",
                   {{"name", name}, {"driver", driver}, {"device", "file://" + root_ + "/out"}});
    }

    RunResult Print(const std::string& printer, const std::string& file, const std::string& format = "application/pdf",
                    const std::string& password = "43219876") const
    {
        return Ipp("/ipp/print/" + printer, "print-job.test",
                   {{"format", format}, {"sides", "two-sided-long-edge"}, {"account", "ACC9"}, {"password", password}},
                   file);
    }

    // What reached the file device (one job's worth: tests print once).
    std::string Output() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(root_ + "/out"))
            return ReadFile(entry.path().string());
        return "";
    }

    std::string Log() const
    {
        std::error_code error;
        const std::string log = root_ + "/state/zlk-printer-app.log";
        return std::filesystem::exists(log, error) ? ReadFile(log) : "(no log)";
    }

private:
    std::string root_;
    int port_ = 0;
    pid_t pid_ = 0;
};

}  // namespace zlk::test
