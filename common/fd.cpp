#include "common/fd.h"

#include <cups/cups.h>
#include <unistd.h>

#include <cerrno>

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

void TempFile::Remove()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace zlk::common
