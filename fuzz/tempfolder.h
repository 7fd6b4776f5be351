// A private folder for the targets that read files: made once per process,
// removed when the process exits.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace zlk::fuzz {

class TempFolder {
public:
    TempFolder()
    {
        // Memory unless TMPDIR says otherwise: every input rewrites files,
        // and the settings store syncs them.
        std::error_code ec;
        const std::filesystem::path base = !std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        const std::string pattern = (base / "zlk-fuzz-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data()))
            std::abort();
        path_ = name.data();
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes a file below the folder, making its folders. Files are
    // rewritten rather than removed between inputs: that is cheaper.
    void Write(const std::filesystem::path& relative, std::string_view data) const
    {
        const std::filesystem::path file = path_ / relative;
        if (!std::filesystem::is_directory(file.parent_path()))
            std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    }

    // Removes a file (and what a folder holds) below the folder.
    void Remove(const std::filesystem::path& relative) const
    {
        std::error_code ec;
        std::filesystem::remove_all(path_ / relative, ec);
    }

private:
    std::filesystem::path path_;
};

}  // namespace zlk::fuzz
