// A temporary file of the filter: removed when its owner goes away, so no
// exit path leaves one behind in the spooler's temp folder.
#pragma once

#include <unistd.h>

#include <string>
#include <utility>

namespace zlk::filter {

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

    void Remove()
    {
        if (!path_.empty())
            unlink(path_.c_str());
        path_.clear();
    }

    // Gives up ownership: the file stays.
    std::string Release() { return std::exchange(path_, {}); }

private:
    std::string path_;
};

}  // namespace zlk::filter
