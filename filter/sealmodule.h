// The filter's password sealing lives in a module of its own: OpenSSL costs
// a job about a millisecond to load and initialise, and only jobs that carry
// a password need it. The filter carries the module inside itself
// (sealembed.cpp) and loads it on first use, like the raster renderer. Its
// one entry, ZLKPasswordSealer, hands out the table below: the secblob calls
// the filter makes, with their statuses as plain ints. Nothing throws across.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

struct ZLKPasswordSealerTable {
    // Where the module's messages go (they must never reach the job stream).
    void (*setMessageSink)(void (*sink)(const char* text));
    int (*decodeStorageText)(const char* text, uint8_t* plain, size_t* plainLength);
    int (*encodeRandom)(const uint8_t* data, size_t dataLength, uint8_t* out, size_t* outLength);
    int (*encodeStorage)(const uint8_t* data, size_t dataLength, uint8_t* out, size_t* outLength);
};

typedef const ZLKPasswordSealerTable* (*ZLKPasswordSealerEntry)(void);

}  // extern "C"
