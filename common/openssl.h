// Owning pointers for the OpenSSL objects the deliverables use, each freed
// with its own free function, and buffers for key material and plain
// passwords that are wiped however their owner returns.
#pragma once

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zlk::common {

template <auto Free>
struct OpenSSLDeleter {
    template <typename T>
    void operator()(T* p) const
    {
        Free(p);
    }
};

using PKey = std::unique_ptr<EVP_PKEY, OpenSSLDeleter<EVP_PKEY_free>>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, OpenSSLDeleter<EVP_PKEY_CTX_free>>;
using Mac = std::unique_ptr<EVP_MAC, OpenSSLDeleter<EVP_MAC_free>>;
using MacCtx = std::unique_ptr<EVP_MAC_CTX, OpenSSLDeleter<EVP_MAC_CTX_free>>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, OpenSSLDeleter<EVP_CIPHER_CTX_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, OpenSSLDeleter<EVP_MD_CTX_free>>;
using Bio = std::unique_ptr<BIO, OpenSSLDeleter<BIO_free_all>>;

// Fixed-size key material.
template <std::size_t N>
class Secret {
public:
    Secret() = default;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    static constexpr std::size_t size() { return N; }

private:
    std::array<std::uint8_t, N> bytes_{};
};

// A variable-size buffer that may hold plain text.
class SecretBuffer {
public:
    explicit SecretBuffer(std::size_t size) : bytes_(size) {}
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
    ~SecretBuffer() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
    std::uint8_t* data() { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace zlk::common
