#include "capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "testpdf.h"

namespace zlk::test {

std::string CaptureStdout(const std::function<void()>& body)
{
    TempDir dir;
    const std::string path = dir.file("stdout");
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    int target = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (saved < 0 || target < 0)
        throw std::runtime_error("cannot redirect standard output");
    dup2(target, STDOUT_FILENO);
    close(target);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return ReadFile(path);
}

}  // namespace zlk::test
