// Owning handle of a parsed PPD.
#pragma once

#include <cups/ppd.h>

#include <memory>

namespace zlk::platform {

struct PPDCloser {
    void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};
using PPDHandle = std::unique_ptr<ppd_file_t, PPDCloser>;

}  // namespace zlk::platform
