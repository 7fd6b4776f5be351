// The printer job stream around the ticket and the PDF: the PJL header with
// the job attributes for accounting and secure release, and the trailer.
#pragma once

#include <string>

#include "filter/encoding.h"
#include "filter/options.h"

namespace zlk::filter {

// Universal exit language: ESC %-12345X, written without a line end.
inline constexpr char kUEL[] = "\x1b%-12345X";

// Who the job is accounted to, chosen from the accounting options.
struct JobOwnerInfo {
    std::string user;
    std::string password;  // Base64 of a printer-bound blob, or empty
    std::string accountId;
    std::string domain;
    std::string storageId;
    std::string storagePassword;
};

JobOwnerInfo GetJobOwnerInfo(const printoptions& options);

// The header up to and including ENTER LANGUAGE. localHostName is used when
// the accounting options carry no host name. Nothing in it can fail; it
// still answers 1, the answer its callers have always been given.
int OutputXPJLCommand(const char* const* argv, const printoptions& options, const DocumentNames& names,
                      const char* localHostName);

// Writes the job attributes (PutJACommand) alone.
void PutJACommand(const char* const* argv, const printoptions& options, const DocumentNames& names,
                  const char* localHostName);

// The trailer after the last PDF byte, ending with EOJ.
void OutputXPJLTrailer(const char* const* argv, const printoptions& options);

}  // namespace zlk::filter
