// The slash-decimal decoder of option values ("/65/66/67" is "ABC"), on a
// buffer that may lack its terminating zero.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "filter/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<char> buffer(data, data + size);
    zlk::filter::numstrtochar(buffer.data(), buffer.size());
    return 0;
}
