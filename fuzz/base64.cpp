// The Base64 decoder of stored passwords, into a bounded and an open buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "secblob/secblob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::uint8_t out[2000];
    zlk::secblob::SecBlobEnc_Base64_Decode(text.c_str(), out, sizeof out);
    zlk::secblob::SecBlobEnc_Base64_Decode(text.c_str(), out, 3);
    zlk::secblob::SecBlobEnc_Base64_Decode_Data(text.c_str());
    return 0;
}
