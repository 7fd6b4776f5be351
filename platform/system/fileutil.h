// Small POSIX helpers shared by the system services (not installed).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/printing/status.h"

namespace zlk::platform::detail {

// Owns a file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);
    // Closes now and answers whether close reported success.
    bool close();

private:
    int fd_ = -1;
};

// Reads a whole file of at most maxBytes. noErr, fnfErr when it does not
// exist, ioErr otherwise (message says why); kDamagedDataErr when larger.
// followLinks false refuses a symbolic link in the last component.
OSStatus ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out, std::string& message,
                       bool followLinks = false);

// Writes all bytes, retrying after interruptions and short writes.
bool WriteAll(int fd, std::string_view data);

// "<what>: <strerror(errno)>".
std::string ErrnoMessage(std::string_view what);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

struct PasswordEntry {
    std::string name;
    std::string home;
    gid_t primaryGroup = 0;
};
// The password database's entry for uid; nullopt when it has none.
std::optional<PasswordEntry> LookUpPasswordEntry(uid_t uid);

}  // namespace zlk::platform::detail
