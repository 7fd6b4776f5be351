#include "platform/system/fileutil.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zlk::platform::detail {

void FileDescriptor::reset(int fd)
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

bool FileDescriptor::close()
{
    if (fd_ < 0) {
        return true;
    }
    int fd = release();
    return ::close(fd) == 0;
}

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
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
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

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned int code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
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
