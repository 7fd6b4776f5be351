// File descriptors and temporary files that clean up after themselves, so
// that no exit path leaks a descriptor or leaves a file in a spool folder.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace zlk::common {

// Owns one file descriptor; -1 is "none".
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1);
    // Closes now and answers whether close reported success (a write error
    // on some file systems shows only here).
    bool close();

private:
    int fd_ = -1;
};

// Writes all of data, retrying after interruptions and short writes; false
// on an error or when the descriptor takes nothing.
bool WriteAll(int fd, std::string_view data);

// Owns the name of a temporary file and unlinks it on destruction.
class TempFile {
public:
    TempFile() = default;
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() { Remove(); }
    TempFile(TempFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    TempFile& operator=(TempFile&& other) noexcept
    {
        if (this != &other) {
            Remove();
            path_ = std::exchange(other.path_, {});
        }
        return *this;
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    bool empty() const { return path_.empty(); }
    void Remove();
    // Gives up ownership (the file was renamed into place, or is kept).
    std::string Release() { return std::exchange(path_, {}); }

private:
    std::string path_;
};

// Makes a new empty file in the spooler's temporary folder (cupsTempFd:
// TMPDIR, readable by its owner only) and hands its name to temp; its open
// descriptor, or an empty one (errno set) when none could be made.
UniqueFd NewTempFile(TempFile& temp);

// A temporary file without a name: made in the spooler's temporary folder
// and unlinked there at once, so that it lives only as long as its
// descriptor. A process killed outright (SIGKILL runs no destructor) thus
// leaves nothing behind. A library that wants a path gets path(),
// /proc/self/fd/N, which opens the same file while the descriptor is open
// (in this process and in the children it forks).
class UnnamedTempFile {
public:
    UnnamedTempFile() = default;
    explicit UnnamedTempFile(UniqueFd fd) : fd_(std::move(fd)) {}

    int fd() const { return fd_.get(); }
    explicit operator bool() const { return static_cast<bool>(fd_); }
    bool empty() const { return !fd_; }
    // "/proc/self/fd/N", or empty when there is no file.
    std::string path() const;
    void reset() { fd_.reset(); }

private:
    UniqueFd fd_;
};

// Makes a new empty file as NewTempFile does and unlinks it before
// answering; none (errno set) when it could not be made or unlinked.
UnnamedTempFile NewUnnamedTempFile();

}  // namespace zlk::common
