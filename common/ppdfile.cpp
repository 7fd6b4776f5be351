#include "common/ppdfile.h"

namespace zlk::common {

void PPDCloser::operator()(ppd_file_t* ppd) const { ppdClose(ppd); }

PPDHandle OpenPPD(const char* path) { return PPDHandle(path != nullptr ? ppdOpenFile(path) : nullptr); }

}  // namespace zlk::common
