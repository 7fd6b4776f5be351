// Output writers of the filter: every byte of the job stream, and the
// messages written through them, also go to the job copy when one is open.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zlk::filter {

// The open job-copy file, or nullptr. Owned by JobCopy.
extern std::FILE* gJobFilefp;

std::size_t Utlfwrite(const void* data, std::size_t size, std::size_t count, std::FILE* stream);
int Utlfputs(const char* text, std::FILE* stream);
int Utlfputc(int c, std::FILE* stream);

// Writes "ERROR: <text>" and a line end to standard error through the
// output writers: the spooler shows such lines to the user.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Opens the job copy when the marker file exists and publishes it as
// gJobFilefp; closing it (Close or destruction) sets its mode to 0676.
class JobCopy {
public:
    JobCopy() = default;
    JobCopy(const JobCopy&) = delete;
    JobCopy& operator=(const JobCopy&) = delete;
    ~JobCopy();

    // Opens "<tmpdir>/ffYYYYmmddHHMMSS.job" if markerPath exists. A failed
    // open leaves no job copy and is not reported.
    void Open(const char* markerPath, const char* tmpdir);
    void Close();
    const char* path() const { return path_; }
    bool isOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
    char path_[1035] = {};
};

}  // namespace zlk::filter
