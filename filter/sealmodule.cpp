#include "filter/sealmodule.h"

#include "secblob/secblob.h"

namespace {

using namespace zlk::secblob;

void SetMessageSink(void (*sink)(const char* text)) { SecBlobEnc_SetMessageSink(sink); }

int DecodeStorageText(const char* text, uint8_t* plain, size_t* plainLength)
{
    return Decode_StorageText(text, plain, plainLength);
}

int EncodeRandom(const uint8_t* data, size_t dataLength, uint8_t* out, size_t* outLength)
{
    return Encode_Random(data, dataLength, out, outLength);
}

int EncodeStorage(const uint8_t* data, size_t dataLength, uint8_t* out, size_t* outLength)
{
    return Encode_Storage(data, dataLength, out, outLength);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const ZLKPasswordSealerTable* ZLKPasswordSealer()
{
    static const ZLKPasswordSealerTable table = {SetMessageSink, DecodeStorageText, EncodeRandom, EncodeStorage};
    return &table;
}
