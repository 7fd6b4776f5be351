#include "opensslcli.h"

#include <cctype>
#include <stdexcept>

#include "process.h"
#include "secblob/secblob.h"
#include "testpdf.h"

#ifndef ZLK_OPENSSL_CLI
#define ZLK_OPENSSL_CLI "/usr/bin/openssl"
#endif

namespace zlk::test {

namespace {

std::string OpenSsl(const std::vector<std::string>& args)
{
    RunOptions run;
    run.args = {"openssl"};
    run.args.insert(run.args.end(), args.begin(), args.end());
    run.env = {{"PATH", "/usr/bin:/bin"}};
    RunResult result = RunProgram(ZLK_OPENSSL_CLI, run);
    if (result.exitCode != 0)
        throw std::runtime_error("openssl " + args.front() + " failed: " + result.err);
    return result.out;
}

std::string Bytes(const std::vector<uint8_t>& data, size_t from, size_t count)
{
    if (from + count > data.size())
        throw std::runtime_error("blob shorter than its header says");
    return std::string(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + count));
}

uint32_t LittleEndian32(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint32_t>(data.at(at)) | static_cast<uint32_t>(data.at(at + 1)) << 8 |
           static_cast<uint32_t>(data.at(at + 2)) << 16 | static_cast<uint32_t>(data.at(at + 3)) << 24;
}

// HMAC-SHA256 by the tool, as lower-case hex.
std::string HmacHex(const std::string& keyHex, const std::string& messagePath)
{
    std::string out = OpenSsl({"mac", "-digest", "SHA256", "-macopt", "hexkey:" + keyHex, "-in", messagePath, "HMAC"});
    std::string hex;
    for (char c : out)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (hex.size() != 64)
        throw std::runtime_error("unexpected HMAC output: " + out);
    return hex;
}

std::string Decrypt(const TempDir& dir, const std::string& ciphertext, const std::string& keyHex,
                    const std::string& ivHex)
{
    WriteFile(dir.file("ciphertext"), ciphertext);
    return OpenSsl({"enc", "-d", "-aes-256-cbc", "-K", keyHex, "-iv", ivHex, "-in", dir.file("ciphertext")});
}

}  // namespace

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string StoredPassword(const std::string& password)
{
    using namespace zlk::secblob;
    std::vector<uint8_t> blob(password.size() + 32);
    size_t length = blob.size();
    if (Encode_Storage(reinterpret_cast<const uint8_t*>(password.data()), password.size(), blob.data(), &length) !=
        kSecBlobSuccess)
        throw std::runtime_error("cannot store the password");
    std::string text(2 * length + 8, '\0');
    text.resize(SecBlobEnc_Base64_Encode(blob.data(), length, text.data(), text.size()));
    return text;
}

std::string OpenSslOpenKeyTransportBlob(const std::vector<uint8_t>& blob, const std::string& keyPath)
{
    const uint32_t cipherLength = LittleEndian32(blob, 2);
    const uint32_t total = LittleEndian32(blob, 6);
    if (total != blob.size() || blob.at(10) != 1 || total < 80 + 16 + cipherLength)
        throw std::runtime_error("not a mode-1 key-transport blob");
    const size_t wrappedLength = total - 80 - 16 - cipherLength;

    TempDir dir;
    WriteFile(dir.file("wrapped"), Bytes(blob, 80, wrappedLength));
    WriteFile(dir.file("salt"), Bytes(blob, 48, 32));
    std::string secret =
        OpenSsl({"pkeyutl", "-decrypt", "-inkey", keyPath, "-pkeyopt", "rsa_padding_mode:oaep", "-pkeyopt",
                 "rsa_oaep_md:sha256", "-pkeyopt", "rsa_mgf1_md:sha256", "-in", dir.file("wrapped")});
    std::string contentKey = HmacHex(Hex(std::vector<uint8_t>(secret.begin(), secret.end())), dir.file("salt"));
    std::string iv = Bytes(blob, 80 + wrappedLength, 16);
    return Decrypt(dir, Bytes(blob, 80 + wrappedLength + 16, cipherLength), contentKey,
                   Hex(std::vector<uint8_t>(iv.begin(), iv.end())));
}

std::string OpenSslOpenStorageBlob(const std::vector<uint8_t>& blob, const std::vector<uint8_t>& hmacKey,
                                   const std::vector<uint8_t>& hmacMessage, const std::vector<uint8_t>& iv)
{
    TempDir dir;
    WriteFile(dir.file("message"), std::string(hmacMessage.begin(), hmacMessage.end()));
    std::string key = HmacHex(Hex(hmacKey), dir.file("message"));
    return Decrypt(dir, std::string(blob.begin(), blob.end()), key, Hex(iv));
}

}  // namespace zlk::test
