#include "common/ppdfile.h"

#include <cstring>

namespace zlk::common {

void PPDCloser::operator()(ppd_file_t* ppd) const { ppdClose(ppd); }

PPDHandle OpenPPD(const char* path) { return PPDHandle(path != nullptr ? ppdOpenFile(path) : nullptr); }

bool CanHoldJobs(ppd_file_t* ppd)
{
    const ppd_attr_t* always = ppd ? ppdFindAttr(ppd, "ZLKPTSecurePrintDefault", nullptr) : nullptr;
    if (always && always->value && std::strcmp(always->value, "True") == 0)
        return true;
    ppd_option_t* disk = ppd ? ppdFindOption(ppd, "ZLKHardDisk") : nullptr;
    if (!disk || !disk->defchoice[0])
        return true;
    if (disk->ui == PPD_UI_PICKONE)
        return std::strcmp(disk->defchoice, "None") != 0;
    if (disk->ui != PPD_UI_BOOLEAN || std::strcmp(disk->defchoice, "False") != 0)
        return true;
    ppd_option_t* ram = ppdFindOption(ppd, "ZLKRAMDisk");
    return ram && std::strcmp(ram->defchoice, "True") == 0;
}

}  // namespace zlk::common
