#include "platform/system/fileutil.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/fd.h"

namespace zlk::platform::detail {

std::string ErrnoMessage(std::string_view what)
{
    std::string message(what);
    message += ": ";
    message += std::strerror(errno);
    return message;
}

OSStatus ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out, std::string& message,
                       bool followLinks)
{
    out.clear();
    common::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
    if (!fd) {
        if (errno == ENOENT) {
            return fnfErr;
        }
        message = ErrnoMessage("cannot open " + path.string());
        return ioErr;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        message = ErrnoMessage("cannot inspect " + path.string());
        return ioErr;
    }
    if (!S_ISREG(info.st_mode)) {
        message = path.string() + " is not a regular file";
        return ioErr;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            message = ErrnoMessage("cannot read " + path.string());
            return ioErr;
        }
        if (n == 0) {
            break;
        }
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            message = path.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
            return kDamagedDataErr;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return noErr;
}

std::optional<PasswordEntry> LookUpPasswordEntry(uid_t uid)
{
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr) {
            return std::nullopt;
        }
        return PasswordEntry{found->pw_name != nullptr ? found->pw_name : "",
                             found->pw_dir != nullptr ? found->pw_dir : "", found->pw_gid};
    }
}

}  // namespace zlk::platform::detail
