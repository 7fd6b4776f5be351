#include "common/fd.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace zlk::common {

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool UniqueFd::close()
{
    if (fd_ < 0)
        return true;
    return ::close(release()) == 0;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

UniqueFd NewTempFile(TempFile& temp)
{
    char path[1024];
    UniqueFd file(cupsTempFd(path, sizeof path));
    if (file) {
        temp = TempFile(path);
    }
    return file;
}

UnnamedTempFile NewUnnamedTempFile()
{
    char path[1024];
    UniqueFd file(cupsTempFd(path, sizeof path));
    if (!file)
        return {};
    // Programs the owner starts get it only where it hands it on itself.
    ::fcntl(file.get(), F_SETFD, FD_CLOEXEC);
    if (::unlink(path) != 0) {
        const int error = errno;
        file.reset();
        errno = error;
        return {};
    }
    return UnnamedTempFile(std::move(file));
}

std::string UnnamedTempFile::path() const { return fd_ ? "/proc/self/fd/" + std::to_string(fd_.get()) : std::string(); }

void TempFile::Remove()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace zlk::common
