// What the filter reads from the queue's PPD: the printer's encoding, the
// page size command default and the passcode rule.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/fd.h"
#include "filter/options.h"
#include "filter/standardattrs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zlk::common::UniqueFd file(memfd_create("ppd", MFD_CLOEXEC));
    if (!file || !zlk::common::WriteAll(file.get(), {reinterpret_cast<const char*>(data), size}))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(file.get());
    zlk::filter::stPPDOption facts{};
    zlk::filter::GetPPDOptions(path.c_str(), facts);
    zlk::filter::ReadPasscodeRule(path.c_str());
    return 0;
}
