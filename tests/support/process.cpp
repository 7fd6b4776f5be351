#include "process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "testpdf.h"

namespace zlk::test {

RunResult RunProgram(const std::string& program, const RunOptions& options)
{
    TempDir capture;
    const std::string outPath = capture.file("out");
    const std::string errPath = capture.file("err");

    std::vector<std::string> envText;
    for (const auto& [key, value] : options.env)
        envText.push_back(key + "=" + value);
    std::vector<char*> argv, envp;
    for (const auto& a : options.args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (options.closeStdout && pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");

    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        int in = open(options.stdinPath.c_str(), O_RDONLY);
        int out = options.closeStdout ? pipeFds[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (options.closeStdout) {
            close(pipeFds[0]);
            close(pipeFds[1]);
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (options.closeStdout) {
        close(pipeFds[0]);  // nobody reads: writes fail with a broken pipe
        close(pipeFds[1]);
    }
    if (options.terminateAfterMs > 0) {
        usleep(static_cast<useconds_t>(options.terminateAfterMs) * 1000);
        kill(child, SIGTERM);
    }
    int status = 0;
    bool reaped = false;
    struct rusage usage {};
    if (options.killWhen) {
        while (!reaped) {
            reaped = wait4(child, &status, WNOHANG, &usage) == child;
            if (!reaped && options.killWhen(child)) {
                kill(child, SIGKILL);
                break;
            }
            if (!reaped)
                usleep(1000);
        }
    }
    if (!reaped)
        wait4(child, &status, 0, &usage);

    RunResult result;
    result.peakKiB = usage.ru_maxrss;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    if (!options.closeStdout)
        result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

int FreePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

bool Accepts(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace zlk::test
