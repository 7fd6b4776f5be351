// Documents for the benchmarks: pages that look like ordinary office output
// (a shared font, lines of text, rules and a filled box).
#pragma once

#include <string>

namespace zlk::bench {

void WriteOfficePdf(const std::string& path, int pageCount);

// A fresh directory under the system temp folder, removed with its content.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace zlk::bench
