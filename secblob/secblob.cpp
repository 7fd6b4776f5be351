#include "secblob/secblob.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "common/openssl.h"

namespace zlk::secblob {
namespace {

// The only process-wide state: where messages go. nullptr means standard error.
std::atomic<MessageSink> g_sink{nullptr};

[[gnu::format(printf, 1, 2)]] void Message(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (MessageSink sink = g_sink.load(std::memory_order_acquire))
        sink(text);
    else
        std::fputs(text, stderr);
}

using common::CipherCtx;
using common::Mac;
using common::MacCtx;
using common::PKey;
using common::PKeyCtx;
using common::Secret;
using common::SecretBuffer;

// The codes the messages print as "ERROR[code]": one for each step that
// can fail, so that a message names its step.
enum MessageCode : int {
    kStorageEncryptKeyDerivation = 39,
    kStorageEncryptAes = 52,
    kStorageDecryptKeyDerivation = 84,
    kKTDataTooLong = 88,
    kStorageDecryptAes = 97,
    kKTInvalidKeyType = 106,
    kKTSecretRandom = 114,
    kKTSaltRandom = 122,
    kKTKeyDerivation = 131,
    kKTIvRandom = 139,
    kKTRsaEncrypt = 150,
    kKTAesEncrypt = 161,
};

// The error printed when OpenSSL failed without queueing one.
constexpr int kNoQueuedError = -1;

constexpr std::size_t kSecretLength = 32;
constexpr std::size_t kSaltLength = 32;
constexpr std::size_t kContentKeyLength = 32;
constexpr std::size_t kCbcIvLength = 16;
constexpr std::size_t kGcmIvLength = 12;
constexpr std::size_t kGcmTagLength = 16;
constexpr std::size_t kBlockLength = 16;
constexpr std::size_t kMaxWrappedLength = 512;
constexpr uint16_t kKTFormatMarker = 264;

// A call into OpenSSL failed: answer its first queued error (kNoQueuedError
// when it queued none) and leave the queue empty for the next caller.
int TakeError()
{
    unsigned long error = ERR_get_error();
    ERR_clear_error();
    return error != 0 ? static_cast<int>(error) : kNoQueuedError;
}

// OpenSSL wants a real pointer even for empty input.
const uint8_t* NonNull(const uint8_t* p)
{
    static const uint8_t kEmpty = 0;
    return p != nullptr ? p : &kEmpty;
}

// ---- Steps --------------------------------------------------------------

// Answers 0, or the random service's error after printing it.
int SecBlobEncInternal_GenerateRandom(uint8_t* buffer, std::size_t count)
{
    ERR_clear_error();
    if (count <= INT_MAX && RAND_bytes(buffer, static_cast<int>(count)) == 1)
        return 0;
    const int error = TakeError();
    Message("Generate Random Error[%d]", error);
    return error;
}

// HMAC-SHA256 of message under key into out. Answers 0 or OpenSSL's error.
int SecBlobEncInternal_GenerateHMAC(const uint8_t* key, std::size_t keyLength, const uint8_t* message,
                                    std::size_t messageLength, Secret<kContentKeyLength>& out)
{
    ERR_clear_error();
    Mac mac(EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr));
    MacCtx ctx(mac ? EVP_MAC_CTX_new(mac.get()) : nullptr);
    char digest[] = OSSL_DIGEST_NAME_SHA2_256;
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    std::size_t written = 0;
    if (ctx && EVP_MAC_init(ctx.get(), NonNull(key), keyLength, params) == 1 &&
        EVP_MAC_update(ctx.get(), NonNull(message), messageLength) == 1 &&
        EVP_MAC_final(ctx.get(), out.data(), &written, out.size()) == 1 && written == out.size())
        return 0;
    return TakeError();
}

// RSA-OAEP (SHA-256, MGF1 SHA-256) of in with the public key text into out
// (capacity in *outLength, which becomes the key's size). Answers success,
// or a crypto failure after printing OpenSSL's error.
SecBlobStatus SecBlobEncInternal_RSAEncrypt(std::string_view publicKeyText, const uint8_t* in, std::size_t inLength,
                                            uint8_t* out, std::size_t* outLength)
{
    ERR_clear_error();
    const char* reason = "public key text is not Base64";
    if (auto der = SecBlobEnc_Base64_Decode_Data(std::string(publicKeyText).c_str())) {
        reason = "not an RSA public key";
        const unsigned char* p = der->data();
        PKey key(d2i_PUBKEY(nullptr, &p, static_cast<long>(der->size())));
        if (key && EVP_PKEY_is_a(key.get(), "RSA")) {
            reason = "RSA encryption failed";
            PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
            std::size_t length = 0;
            if (ctx && EVP_PKEY_encrypt_init(ctx.get()) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) == 1 &&
                EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) == 1 &&
                EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) == 1 &&
                EVP_PKEY_encrypt(ctx.get(), nullptr, &length, in, inLength) == 1) {
                if (length > *outLength)
                    reason = "RSA key too large";
                else if (EVP_PKEY_encrypt(ctx.get(), out, &length, in, inLength) == 1) {
                    *outLength = length;
                    return kSecBlobSuccess;
                }
            }
        }
    }
    const unsigned long error = ERR_get_error();
    char description[512];
    if (error != 0)
        ERR_error_string_n(error, description, sizeof description);
    else
        std::snprintf(description, sizeof description, "%s", reason);
    ERR_clear_error();
    Message("RSA Error[%d] %s", error != 0 ? static_cast<int>(error) : kNoQueuedError, description);
    return kSecBlobCryptoFailure;
}

bool CbcArgumentsValid(std::size_t keyLength, std::size_t ivLength, std::size_t dataLength)
{
    return keyLength == kContentKeyLength && ivLength == kCbcIvLength && dataLength <= INT_MAX - 2 * kBlockLength;
}

// AES-256 of data into out (capacity in *outLength, bytes written out).
// Only mode 1 (CBC, PKCS#7 padding) is supported. Answers success, an
// invalid request for an unsupported mode, a crypto failure otherwise.
SecBlobStatus SecBlobEncInternal_AESEncrypt(int mode, const uint8_t* key, std::size_t keyLength, const uint8_t* iv,
                                            std::size_t ivLength, const uint8_t* data, std::size_t dataLength,
                                            uint8_t* out, std::size_t* outLength)
{
    if (mode != kAesModeCbc) {
        Message("AES Error. Unsupported AES Mode.\n");
        return kSecBlobInvalidRequest;
    }
    ERR_clear_error();
    int error = kNoQueuedError;
    if (CbcArgumentsValid(keyLength, ivLength, dataLength) &&
        (dataLength / kBlockLength + 1) * kBlockLength <= *outLength) {
        std::vector<uint8_t> cipher(dataLength + kBlockLength);
        CipherCtx ctx(EVP_CIPHER_CTX_new());
        int updated = 0;
        int finished = 0;
        if (ctx && EVP_EncryptInit_ex2(ctx.get(), EVP_aes_256_cbc(), key, iv, nullptr) == 1 &&
            EVP_EncryptUpdate(ctx.get(), cipher.data(), &updated, NonNull(data), static_cast<int>(dataLength)) == 1 &&
            EVP_EncryptFinal_ex(ctx.get(), cipher.data() + updated, &finished) == 1) {
            const std::size_t length = static_cast<std::size_t>(updated) + static_cast<std::size_t>(finished);
            std::memcpy(out, cipher.data(), length);
            *outLength = length;
            return kSecBlobSuccess;
        }
        error = TakeError();
    }
    Message("AES Error[%d]\n", error);
    return kSecBlobCryptoFailure;
}

// Inverse of the CBC mode of SecBlobEncInternal_AESEncrypt. A wrong key or
// damaged data fails the padding check. Answers success or a crypto failure.
SecBlobStatus SecBlobEncInternal_AESDecrypt(const uint8_t* key, std::size_t keyLength, const uint8_t* iv,
                                            std::size_t ivLength, const uint8_t* data, std::size_t dataLength,
                                            uint8_t* out, std::size_t* outLength)
{
    ERR_clear_error();
    int error = kNoQueuedError;
    if (CbcArgumentsValid(keyLength, ivLength, dataLength) && dataLength % kBlockLength == 0 && dataLength > 0) {
        SecretBuffer plain(dataLength + kBlockLength);
        CipherCtx ctx(EVP_CIPHER_CTX_new());
        int updated = 0;
        int finished = 0;
        if (ctx && EVP_DecryptInit_ex2(ctx.get(), EVP_aes_256_cbc(), key, iv, nullptr) == 1 &&
            EVP_DecryptUpdate(ctx.get(), plain.data(), &updated, data, static_cast<int>(dataLength)) == 1 &&
            EVP_DecryptFinal_ex(ctx.get(), plain.data() + updated, &finished) == 1) {
            const std::size_t length = static_cast<std::size_t>(updated) + static_cast<std::size_t>(finished);
            if (length <= *outLength) {
                if (length > 0)
                    std::memcpy(out, plain.data(), length);
                *outLength = length;
                return kSecBlobSuccess;
            }
        } else {
            error = TakeError();
        }
    }
    Message("AES Error[%d]\n", error);
    return kSecBlobCryptoFailure;
}

void PutLE16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void PutLE32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

void SecBlobEnc_SetMessageSink(MessageSink sink) { g_sink.store(sink, std::memory_order_release); }

SecBlobStatus SecBlobEnc_KT_Encrypt(int aesMode, int keyType, const uint8_t* data, std::size_t dataLength,
                                    const char* publicKeyText, std::size_t publicKeyTextLength, uint8_t* out,
                                    std::size_t* outLength)
{
    if (dataLength > kKTMaxDataLength) {
        Message("ERROR[%d]: too long bufLen [%zu].\n", kKTDataTooLong, dataLength);
        return kSecBlobInvalidRequest;
    }
    if (keyType != kKeyType2048 && keyType != kKeyType3072) {
        Message("ERROR[%d]: invalid key type[%d].\n", kKTInvalidKeyType, keyType);
        return kSecBlobInvalidRequest;
    }
    if ((data == nullptr && dataLength > 0) || publicKeyText == nullptr || out == nullptr || outLength == nullptr)
        return kSecBlobInvalidRequest;

    Secret<kSecretLength> secret;
    if (int error = SecBlobEncInternal_GenerateRandom(secret.data(), secret.size())) {
        Message("ERROR[%d]: generate random failed[%d].\n", kKTSecretRandom, error);
        return kSecBlobCryptoFailure;
    }
    std::array<uint8_t, kSaltLength> salt{};
    if (int error = SecBlobEncInternal_GenerateRandom(salt.data(), salt.size())) {
        Message("ERROR[%d]: generate random failed[%d].\n", kKTSaltRandom, error);
        return kSecBlobCryptoFailure;
    }
    Secret<kContentKeyLength> contentKey;
    if (int error =
            SecBlobEncInternal_GenerateHMAC(secret.data(), secret.size(), salt.data(), salt.size(), contentKey)) {
        Message("ERROR[%d]: Key Derivation HMAC failed[%d].\n", kKTKeyDerivation, error);
        return kSecBlobCryptoFailure;
    }
    const std::size_t ivLength = aesMode == kAesModeCbc ? kCbcIvLength : kGcmIvLength;
    std::array<uint8_t, kCbcIvLength> iv{};
    if (int error = SecBlobEncInternal_GenerateRandom(iv.data(), ivLength)) {
        Message("ERROR[%d]: generate random failed[%d].\n", kKTIvRandom, error);
        return kSecBlobCryptoFailure;
    }
    std::array<uint8_t, kMaxWrappedLength> wrapped{};
    std::size_t wrappedLength = wrapped.size();
    if (SecBlobStatus status =
            SecBlobEncInternal_RSAEncrypt(std::string_view(publicKeyText, publicKeyTextLength), secret.data(),
                                          secret.size(), wrapped.data(), &wrappedLength)) {
        Message("ERROR[%d]: RSA Encrypt failed[%d].\n", kKTRsaEncrypt, status);
        return kSecBlobCryptoFailure;
    }
    std::vector<uint8_t> cipher(dataLength + kBlockLength);
    std::size_t cipherLength = cipher.size();
    if (SecBlobStatus status =
            SecBlobEncInternal_AESEncrypt(aesMode, contentKey.data(), contentKey.size(), iv.data(), ivLength, data,
                                          dataLength, cipher.data(), &cipherLength)) {
        Message("ERROR[%d]: AES Encrypt failed[%d].\n", kKTAesEncrypt, status);
        return status == kSecBlobInvalidRequest ? kSecBlobInvalidRequest : kSecBlobCryptoFailure;
    }

    // Only CBC gets this far, and it carries no tag.
    const std::size_t tagLength = aesMode == kAesModeCbc ? 0 : kGcmTagLength;
    const std::size_t total = kKTHeaderSize + wrappedLength + ivLength + tagLength + cipherLength;
    const uint8_t* keyId = keyType == kKeyType2048 ? pubkey2048_OFFICIAL_SHA256 : pubkey3072_OFFICIAL_SHA256;
    PutLE16(out, kKTFormatMarker);
    PutLE32(out + 2, static_cast<uint32_t>(cipherLength));
    PutLE32(out + 6, static_cast<uint32_t>(total));
    out[10] = static_cast<uint8_t>(aesMode);
    out[11] = static_cast<uint8_t>(keyType);
    std::memset(out + 12, 0, 4);
    std::memcpy(out + 16, keyId, 32);
    std::memcpy(out + 48, salt.data(), salt.size());
    uint8_t* p = out + kKTHeaderSize;
    std::memcpy(p, wrapped.data(), wrappedLength);
    p += wrappedLength;
    std::memcpy(p, iv.data(), ivLength);
    p += ivLength;
    std::memset(p, 0, tagLength);
    p += tagLength;
    std::memcpy(p, cipher.data(), cipherLength);
    *outLength = total;
    return kSecBlobSuccess;
}

namespace {

// Both directions of a storage blob: the key is HMAC-SHA256(key, message);
// only the AES step and the message codes differ.
SecBlobStatus DataStorage(bool encrypt, const uint8_t* data, std::size_t dataLength, const uint8_t* hmacKey,
                          std::size_t hmacKeyLength, const uint8_t* hmacMessage, std::size_t hmacMessageLength,
                          const uint8_t* iv, std::size_t ivLength, uint8_t* out, std::size_t* outLength)
{
    if ((data == nullptr && dataLength > 0) || (hmacKey == nullptr && hmacKeyLength > 0) ||
        (hmacMessage == nullptr && hmacMessageLength > 0) || iv == nullptr || out == nullptr || outLength == nullptr)
        return kSecBlobInvalidRequest;
    const std::size_t capacity = *outLength;
    *outLength = 0;

    Secret<kContentKeyLength> key;
    if (int error = SecBlobEncInternal_GenerateHMAC(hmacKey, hmacKeyLength, hmacMessage, hmacMessageLength, key)) {
        Message("ERROR[%d]: Key Derivation HMAC failed[%d].\n",
                encrypt ? kStorageEncryptKeyDerivation : kStorageDecryptKeyDerivation, error);
        return kSecBlobCryptoFailure;
    }
    std::size_t written = capacity;
    if (encrypt) {
        if (SecBlobStatus status = SecBlobEncInternal_AESEncrypt(kAesModeCbc, key.data(), key.size(), iv, ivLength,
                                                                 data, dataLength, out, &written)) {
            Message("ERROR[%d]: AES Encrypt failed[%d].\n", kStorageEncryptAes, status);
            return kSecBlobCryptoFailure;
        }
    } else if (SecBlobStatus status = SecBlobEncInternal_AESDecrypt(key.data(), key.size(), iv, ivLength, data,
                                                                    dataLength, out, &written)) {
        Message("ERROR[%d]: AES Decrypt failed[%d].\n", kStorageDecryptAes, status);
        return kSecBlobCryptoFailure;
    }
    *outLength = written;
    return kSecBlobSuccess;
}

}  // namespace

SecBlobStatus SecBlobEnc_DataStorage_Encrypt(const uint8_t* data, std::size_t dataLength, const uint8_t* hmacKey,
                                             std::size_t hmacKeyLength, const uint8_t* hmacMessage,
                                             std::size_t hmacMessageLength, const uint8_t* iv, std::size_t ivLength,
                                             uint8_t* out, std::size_t* outLength)
{
    return DataStorage(true, data, dataLength, hmacKey, hmacKeyLength, hmacMessage, hmacMessageLength, iv, ivLength,
                       out, outLength);
}

SecBlobStatus SecBlobEnc_DataStorage_Decrypt(const uint8_t* data, std::size_t dataLength, const uint8_t* hmacKey,
                                             std::size_t hmacKeyLength, const uint8_t* hmacMessage,
                                             std::size_t hmacMessageLength, const uint8_t* iv, std::size_t ivLength,
                                             uint8_t* out, std::size_t* outLength)
{
    return DataStorage(false, data, dataLength, hmacKey, hmacKeyLength, hmacMessage, hmacMessageLength, iv, ivLength,
                       out, outLength);
}

SecBlobStatus Encode_Storage(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength)
{
    return SecBlobEnc_DataStorage_Encrypt(data, dataLength, seed1, sizeof seed1, seed2, sizeof seed2, seed3,
                                          sizeof seed3, out, outLength);
}

SecBlobStatus Decode_Storage(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength)
{
    return SecBlobEnc_DataStorage_Decrypt(data, dataLength, seed1, sizeof seed1, seed2, sizeof seed2, seed3,
                                          sizeof seed3, out, outLength);
}

SecBlobStatus Encode_Random(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength)
{
    return SecBlobEnc_KT_Encrypt(kAesModeCbc, kKeyType2048, data, dataLength, RSA_PUBKEY_2048_OFFICIAL,
                                 RSA_PUBKEY_2048_OFFICIAL_LEN, out, outLength);
}

SecBlobStatus Generate_Random(std::size_t count, uint8_t* buffer)
{
    if (count == 0)
        return kSecBlobSuccess;
    if (buffer == nullptr)
        return kSecBlobInvalidRequest;
    return SecBlobEncInternal_GenerateRandom(buffer, count) == 0 ? kSecBlobSuccess : kSecBlobCryptoFailure;
}

SecBlobStatus Decode_StorageText(const char* text, uint8_t* plain, std::size_t* plainLength)
{
    if (!text || !plain || !plainLength) {
        return kSecBlobInvalidRequest;
    }
    char cut[1024] = {};
    std::strncpy(cut, text, sizeof cut - 1);
    uint8_t stored[2000];
    const std::size_t storedLength = SecBlobEnc_Base64_Decode(cut, stored, sizeof stored);
    if (storedLength == 0) {
        return kSecBlobInvalidRequest;
    }
    return Decode_Storage(stored, storedLength, plain, plainLength);
}

std::optional<std::vector<uint8_t>> SecBlobEnc_Decode_Key(const char* publicKeyText)
{
    return SecBlobEnc_Base64_Decode_Data(publicKeyText);
}

}  // namespace zlk::secblob
