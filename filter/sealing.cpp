#include "filter/sealing.h"

#include <cstring>
#include <string>

#include "filter/embeddedmodule.h"
#include "filter/output.h"
#include "filter/sealmodule.h"

extern "C" const unsigned char zlk_sealer_module_begin[], zlk_sealer_module_end[];

namespace zlk::filter::sealing {

namespace {

const ZLKPasswordSealerTable* LoadSealer()
{
    std::string why;
    auto entry = reinterpret_cast<ZLKPasswordSealerEntry>(LoadEmbeddedModule(
        "ZLKPasswordSealer", zlk_sealer_module_begin, zlk_sealer_module_end, "ZLKPasswordSealer", why));
    if (!entry) {
        Report(Severity::Error, "The password sealer cannot be loaded: %s.", why.c_str());
        return nullptr;
    }
    const ZLKPasswordSealerTable* table = entry();
    // Standard output is the job stream: the module's messages go to the
    // spooler's log with the filter's own.
    table->setMessageSink([](const char* text) { Utlfputs(text, stderr); });
    return table;
}

const ZLKPasswordSealerTable* Sealer()
{
    static const ZLKPasswordSealerTable* const sealer = LoadSealer();
    return sealer;
}

secblob::SecBlobStatus Status(int value) { return static_cast<secblob::SecBlobStatus>(value); }

}  // namespace

secblob::SecBlobStatus Decode_StorageText(const char* text, uint8_t* plain, std::size_t* plainLength)
{
    const ZLKPasswordSealerTable* sealer = Sealer();
    return sealer ? Status(sealer->decodeStorageText(text, plain, plainLength)) : secblob::kSecBlobCryptoFailure;
}

secblob::SecBlobStatus Encode_Random(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength)
{
    const ZLKPasswordSealerTable* sealer = Sealer();
    return sealer ? Status(sealer->encodeRandom(data, dataLength, out, outLength)) : secblob::kSecBlobCryptoFailure;
}

secblob::SecBlobStatus Encode_Storage(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength)
{
    const ZLKPasswordSealerTable* sealer = Sealer();
    return sealer ? Status(sealer->encodeStorage(data, dataLength, out, outLength)) : secblob::kSecBlobCryptoFailure;
}

void Wipe(void* data, std::size_t size) { explicit_bzero(data, size); }

}  // namespace zlk::filter::sealing
