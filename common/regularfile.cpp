#include "common/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zlk::common {

namespace {
void Say(std::string* why, const std::string& text)
{
    if (why != nullptr) {
        *why = text;
    }
}
}  // namespace

UniqueFd OpenRegularFile(const std::string& path, std::string* why, bool followLinks)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer. It changes nothing for a regular file.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW)));
    if (!fd) {
        const int cause = errno;
        Say(why, "cannot open " + path + ": " + std::strerror(cause));
        errno = cause;
        return fd;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        const int cause = errno;
        Say(why, "cannot inspect " + path + ": " + std::strerror(cause));
        errno = cause;
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        Say(why, path + " is not a regular file");
        errno = EINVAL;
        return {};
    }
    return fd;
}

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out, std::string* why,
                         bool followLinks)
{
    out.clear();
    UniqueFd fd = OpenRegularFile(path, why, followLinks);
    if (!fd) {
        return errno == ENOENT ? FileRead::missing : errno == EINVAL ? FileRead::notRegular : FileRead::failed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Say(why, "cannot read " + path + ": " + std::strerror(errno));
            return FileRead::failed;
        }
        if (n == 0) {
            return FileRead::ok;
        }
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            Say(why, path + " is larger than " + std::to_string(maxBytes) + " bytes");
            out.clear();
            return FileRead::tooLarge;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace zlk::common
