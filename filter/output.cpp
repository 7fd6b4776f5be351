#include "filter/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <ctime>

namespace zlk::filter {

namespace {

// Names tried for one second's job copies.
constexpr int kJobCopyNames = 100;

}  // namespace

std::FILE* gJobFilefp = nullptr;

std::size_t Utlfwrite(const void* data, std::size_t size, std::size_t count, std::FILE* stream)
{
    if (gJobFilefp)
        std::fwrite(data, size, count, gJobFilefp);
    return std::fwrite(data, size, count, stream);
}

int Utlfputs(const char* text, std::FILE* stream)
{
    if (gJobFilefp)
        std::fputs(text, gJobFilefp);
    return std::fputs(text, stream);
}

int Utlfputc(int c, std::FILE* stream)
{
    if (gJobFilefp)
        std::fputc(c, gJobFilefp);
    return std::fputc(c, stream);
}

void Report(Severity severity, const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Utlfputs(severity == Severity::Error ? "ERROR: " : severity == Severity::Warning ? "WARNING: " : "INFO: ", stderr);
    Utlfputs(text, stderr);
    Utlfputc('\n', stderr);
}

JobCopy::~JobCopy() { Close(); }

void JobCopy::Open(const char* markerPath, const char* tmpdir)
{
    Close();
    if (!markerPath || access(markerPath, F_OK) != 0)
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    // A new file of our own only: never through a link, never one that is
    // already there. A name taken (two jobs in one second, or a planted
    // file) moves on to the next free one.
    for (int attempt = 0; attempt < kJobCopyNames && !file_; ++attempt) {
        if (attempt == 0)
            std::snprintf(path_, sizeof path_, "%s/ff%s.job", tmpdir ? tmpdir : "", stamp);
        else
            std::snprintf(path_, sizeof path_, "%s/ff%s-%d.job", tmpdir ? tmpdir : "", stamp, attempt);
        const int fd = open(path_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST || errno == ELOOP)
                continue;
            break;
        }
        file_ = fdopen(fd, "w");
        if (!file_)
            close(fd);
    }
    if (!file_)
        path_[0] = '\0';
    gJobFilefp = file_;
}

void JobCopy::Close()
{
    if (!file_)
        return;
    if (gJobFilefp == file_)
        gJobFilefp = nullptr;
    // The support tools read the copy as another user; 0676 is the mode they
    // expect. Set on the file this job made, never through its name.
    fchmod(fileno(file_), 0676);
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace zlk::filter
