// The opener of stored passwords (the blobs the print dialogs store).
#include <cstddef>
#include <cstdint>

#include "secblob/secblob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t plain[255];
    std::size_t plainLength = sizeof plain;
    zlk::secblob::Decode_Storage(data, size, plain, &plainLength);
    return 0;
}
