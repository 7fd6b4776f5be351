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

// The filter's one way of telling the spooler what went wrong or what it
// did instead: the severity's prefix ("ERROR: ", "WARNING: ", "INFO: "),
// the formatted text and a line end, written to standard error through the
// output writers (so the job copy has it too). The spooler logs such lines
// by their prefix and shows ERROR lines to the user as the job's state.
//
// Beside them the filter writes a few fixed diagnostic lines without a
// prefix ("Process Data fail", "get srcFormat error" ...), each commented
// where it is written. Their wording never changes: support staff search
// logs and job copies for them, and so do the tests.
enum class Severity { Error, Warning, Info };
void Report(Severity severity, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Opens the job copy when the marker file exists and publishes it as
// gJobFilefp; closing it (Close or destruction) sets its mode to 0676.
class JobCopy {
public:
    JobCopy() = default;
    JobCopy(const JobCopy&) = delete;
    JobCopy& operator=(const JobCopy&) = delete;
    ~JobCopy();

    // Creates "<tmpdir>/ffYYYYmmddHHMMSS.job" (or, when that name is taken,
    // "ffYYYYmmddHHMMSS-N.job") if markerPath exists; an existing file or
    // link is never opened. A failed open leaves no job copy and is not
    // reported.
    void Open(const char* markerPath, const char* tmpdir);
    void Close();
    const char* path() const { return path_; }
    bool isOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
    char path_[1035] = {};
};

}  // namespace zlk::filter
