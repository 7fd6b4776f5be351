#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/openssl.h"
#include "secblob/secblob.h"
#include "tools/inspect/inspect-private.h"

namespace zlk::inspect {

namespace internal {

namespace {

constexpr std::size_t kBlobHeader = 80;
constexpr std::size_t kSecretLength = 32;
constexpr std::size_t kIvLength = 16;
constexpr std::size_t kAesBlock = 16;

uint32_t LittleEndian32(const std::vector<uint8_t>& bytes, std::size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<std::string> CheckBlobLayout(const std::vector<uint8_t>& blob, BlobLayout& layout)
{
    if (blob.size() < kBlobHeader)
        return "blob of " + std::to_string(blob.size()) + " bytes is shorter than its 80-byte header";
    if (blob[0] != 0x08 || blob[1] != 0x01)
        return std::string("blob does not start with the format marker 264");
    const uint32_t cipherLength = LittleEndian32(blob, 2);
    const uint32_t total = LittleEndian32(blob, 6);
    if (total != blob.size())
        return "blob says it is " + std::to_string(total) + " bytes long but holds " + std::to_string(blob.size());
    const int mode = blob[10];
    const int keyType = blob[11];
    if (mode != secblob::kAesModeCbc)
        return "blob uses AES mode " + std::to_string(mode) + "; printer blobs use mode 1 (CBC)";
    if (keyType != secblob::kKeyType2048 && keyType != secblob::kKeyType3072)
        return "blob has unknown key type " + std::to_string(keyType);
    if (blob[12] || blob[13] || blob[14] || blob[15])
        return std::string("blob bytes 12 to 15 are not zero");
    const uint8_t* keyId =
        keyType == secblob::kKeyType2048 ? secblob::pubkey2048_OFFICIAL_SHA256 : secblob::pubkey3072_OFFICIAL_SHA256;
    if (!std::equal(keyId, keyId + 32, blob.begin() + 16))
        return std::string("blob names a printer key this build does not know");
    layout.wrappedLength = keyType == secblob::kKeyType2048 ? 256 : 384;
    layout.cipherOffset = kBlobHeader + layout.wrappedLength + kIvLength;
    layout.cipherLength = cipherLength;
    if (static_cast<uint64_t>(layout.cipherOffset) + cipherLength != total)
        return "blob lengths do not add up: 80 + " + std::to_string(layout.wrappedLength) + " + 16 + " +
               std::to_string(cipherLength) + " is not " + std::to_string(total);
    if (cipherLength == 0 || cipherLength % kAesBlock != 0)
        return "blob ciphertext of " + std::to_string(cipherLength) + " bytes is not a whole number of AES blocks";
    return std::nullopt;
}

std::optional<std::string> OpenBlob(const std::vector<uint8_t>& blob, const BlobLayout& layout, EVP_PKEY* key,
                                    std::string& error)
{
    const int keySize = EVP_PKEY_get_size(key);
    if (keySize <= 0 || static_cast<std::size_t>(keySize) != layout.wrappedLength) {
        error = "the blob is for a " + std::to_string(layout.wrappedLength * 8) + "-bit key, the given key has " +
                std::to_string(EVP_PKEY_get_bits(key)) + " bits";
        return std::nullopt;
    }
    const uint8_t* salt = blob.data() + 48;
    const uint8_t* wrapped = blob.data() + kBlobHeader;
    const uint8_t* iv = wrapped + layout.wrappedLength;

    std::vector<unsigned char> unwrapped(layout.wrappedLength);
    std::size_t unwrappedLength = unwrapped.size();
    common::PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    const bool unwrappedOk =
        ctx && EVP_PKEY_decrypt_init(ctx.get()) == 1 &&
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) == 1 &&
        EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) == 1 &&
        EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) == 1 &&
        EVP_PKEY_decrypt(ctx.get(), unwrapped.data(), &unwrappedLength, wrapped, layout.wrappedLength) == 1;
    common::Secret<kSecretLength> secret;
    if (unwrappedOk && unwrappedLength == kSecretLength)
        std::memcpy(secret.data(), unwrapped.data(), kSecretLength);
    OPENSSL_cleanse(unwrapped.data(), unwrapped.size());
    if (!unwrappedOk || unwrappedLength != kSecretLength) {
        ERR_clear_error();
        error = unwrappedOk ? "the unwrapped secret is not 32 bytes" : "RSA-OAEP unwrapping failed";
        return std::nullopt;
    }

    common::Secret<32> contentKey;
    std::size_t contentKeyLength = 0;
    if (!EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA256", nullptr, secret.data(), kSecretLength, salt, 32,
                   contentKey.data(), contentKey.size(), &contentKeyLength) ||
        contentKeyLength != 32) {
        ERR_clear_error();
        error = "HMAC-SHA256 failed";
        return std::nullopt;
    }

    std::string plain(layout.cipherLength + kAesBlock, '\0');
    int written = 0, finalWritten = 0;
    common::CipherCtx cipher(EVP_CIPHER_CTX_new());
    const bool decrypted =
        cipher && EVP_DecryptInit_ex(cipher.get(), EVP_aes_256_cbc(), nullptr, contentKey.data(), iv) == 1 &&
        EVP_DecryptUpdate(cipher.get(), reinterpret_cast<unsigned char*>(plain.data()), &written,
                          blob.data() + layout.cipherOffset, static_cast<int>(layout.cipherLength)) == 1 &&
        EVP_DecryptFinal_ex(cipher.get(), reinterpret_cast<unsigned char*>(plain.data()) + written, &finalWritten) == 1;
    if (!decrypted) {
        ERR_clear_error();
        OPENSSL_cleanse(plain.data(), plain.size());
        error = "AES-256-CBC decryption failed its padding check";
        return std::nullopt;
    }
    plain.resize(static_cast<std::size_t>(written + finalWritten));
    return plain;
}

}  // namespace internal

namespace {

// Encrypted keys are refused rather than prompting on the terminal.
int NoPassword(char*, int, int, void*) { return 0; }

}  // namespace

std::optional<PrinterKey> PrinterKey::Load(const std::string& path, std::string& error)
{
    common::Bio bio(BIO_new_file(path.c_str(), "r"));
    if (!bio) {
        ERR_clear_error();
        error = std::string("cannot read: ") + std::strerror(errno ? errno : ENOENT);
        return std::nullopt;
    }
    EVP_PKEY* raw = PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassword, nullptr);
    ERR_clear_error();
    if (!raw) {
        error = "not an unencrypted PEM private key";
        return std::nullopt;
    }
    PrinterKey key;
    key.key_ = std::shared_ptr<evp_pkey_st>(raw, EVP_PKEY_free);
    if (!EVP_PKEY_is_a(raw, "RSA")) {
        error = "not an RSA private key";
        return std::nullopt;
    }
    return key;
}

}  // namespace zlk::inspect
