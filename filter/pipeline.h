// Conversion of the incoming document into the PDF to print: choosing the
// spooler's conversion filter, running it in a child process, keeping its
// output in an unnamed temporary file and re-rendering that when needed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/fd.h"
#include "common/ppdfile.h"
#include "filter/pdfdoc.h"

namespace zlk::filter {

// The spooler's environment as the filter sees it.
struct FilterEnvironment {
    std::string ppdPath;  // PPD
    std::string tmpdir;  // TMPDIR
    std::string contentType;  // CONTENT_TYPE
    std::string dataDir;  // CUPS_DATADIR
    std::string serverBin;  // CUPS_SERVERBIN
    std::string serverRoot;  // CUPS_SERVERROOT

    static FilterEnvironment FromProcess();
};

// The type every conversion must reach; a document already of this type
// needs no conversion filter.
inline constexpr char kDestinationType[] = "application/vnd.cups-pdf";

// Conversion tables searched in order.
std::vector<std::string> cupsDirectory(const FilterEnvironment& env);

// Program of the first line of the table converting sourceType into
// destinationType below cost 1000; empty when none does.
std::string BestFilter(const std::string& tablePath, const std::string& sourceType, const std::string& destinationType);

// Full path of the conversion program for sourceType, or empty. Empty too
// when sourceType already is the destination type (no conversion needed).
std::string ChooseFilter(const std::string& sourceType, const FilterEnvironment& env);

// Result of PrepFormat: -1 failed, 0 options unchanged, 1 options rewritten
// (three answers, so not a bool).
struct PreparedFormat {
    int status = -1;
    std::string sourceType;
    std::string filterPath;  // empty: the document is copied through
    std::string options;  // rewritten options when status is 1
};

// Chooses the conversion filter from the PPD's cupsFilter entry and removes
// the last orientation-requested option from the job options. The PPD is
// env.ppdPath, or ppd as the caller parsed it (empty: it did not parse).
PreparedFormat PrepFormat(const char* jobOptions, const FilterEnvironment& env);
PreparedFormat PrepFormat(const char* jobOptions, const common::PPDHandle& ppd, const FilterEnvironment& env);

// Removes the last option named "orientation-requested" whose value starts
// with a digit, with the blanks after it; every other byte stays, so the
// converter reads every other option as it was given. Answers 1 and fills
// out when there was one, 0 when not, -1 when the rest could not be kept
// (PrepFormat's answers, which it passes on). Linear in the text's length.
int RewriteOrientation(const char* jobOptions, std::string& out);

// The conversion filter's arguments: the filter's first five, options in
// place of the job's, and the document when one was named; null-terminated.
// They point into argv and options.
std::vector<const char*> FilterArguments(int argc, const char* const* argv, const std::string& options);

// Copies everything readable from fd into a new unnamed temporary file
// (common::NewUnnamedTempFile). Answers false (and leaves no file) when the
// file cannot be made or written, when the job is cancelled, or when no
// byte arrived.
bool SaveToTempFile(int fd, common::UnnamedTempFile& out);

// Converts the document (argv[6], or standard input) and leaves the PDF to
// print in pdfOut; false after reporting what went wrong. Every temporary
// file it makes is unnamed from the start, so none outlives the process,
// however it ends.
bool ProcessData(int argc, const char* const* argv, const FilterEnvironment& env, common::UnnamedTempFile& pdfOut,
                 PDFDocInfo& docInfo);
// The same with the job's PPD parsed once by the caller (see PrepFormat).
bool ProcessData(int argc, const char* const* argv, const FilterEnvironment& env, const common::PPDHandle& ppd,
                 common::UnnamedTempFile& pdfOut, PDFDocInfo& docInfo);

}  // namespace zlk::filter
