// The secblob calls the filter makes, through the password sealer module
// (sealmodule.h), which is loaded the first time a job needs one. When the
// module cannot be loaded each call says why (once) and answers
// kSecBlobCryptoFailure, so the callers' own failure paths apply.
#pragma once

#include <cstddef>
#include <cstdint>

#include "secblob/secblob.h"

namespace zlk::filter::sealing {

secblob::SecBlobStatus Decode_StorageText(const char* text, uint8_t* plain, std::size_t* plainLength);
secblob::SecBlobStatus Encode_Random(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength);
secblob::SecBlobStatus Encode_Storage(const uint8_t* data, std::size_t dataLength, uint8_t* out,
                                      std::size_t* outLength);

// Wipes a buffer that held a password, in a way the compiler keeps.
void Wipe(void* data, std::size_t size);

}  // namespace zlk::filter::sealing
