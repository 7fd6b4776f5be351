// The owning handle of a parsed PPD file.
#pragma once

#include <cups/ppd.h>

#include <memory>

namespace zlk::common {

struct PPDCloser {
    void operator()(ppd_file_t* ppd) const;
};
using PPDHandle = std::unique_ptr<ppd_file_t, PPDCloser>;

// Opens the PPD at path; empty when path is null or the file does not parse.
PPDHandle OpenPPD(const char* path);

// Whether the printer, with the installed options its PPD gives as defaults,
// can hold jobs (secure and sample printing need it): always with
// ZLKPTSecurePrintDefault "True"; otherwise a pick-one ZLKHardDisk other
// than "None", or a Boolean one that is "True" or else a ZLKRAMDisk that is
// "True". A PPD that names no hard disk option can.
bool CanHoldJobs(ppd_file_t* ppd);

}  // namespace zlk::common
