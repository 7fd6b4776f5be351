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

}  // namespace zlk::common
