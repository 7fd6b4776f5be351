// Encrypted values: the blob formats, their limits and messages, Base64 and
// the built-in key material; blobs are also opened with the openssl command
// line tool, which shares no code with the library.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "opensslcli.h"
#include "secblob/secblob.h"

using namespace zlk::secblob;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kFixtures = ZLK_TEST_FIXTURES;
const std::string kDevPrivateKey = kFixtures + "/keys/printer-dev-private.pem";
const std::string k3072PublicKey = kFixtures + "/keys/printer-3072-public.pem";

std::string g_messages;
void CaptureMessage(const char* text) { g_messages += text; }

// Every test sees only its own library messages.
class SecBlobTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_messages.clear();
        SecBlobEnc_SetMessageSink(CaptureMessage);
    }
    void TearDown() override { SecBlobEnc_SetMessageSink(nullptr); }
};

Bytes Pattern(size_t length, uint8_t seed = 1)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t count)
{
    return Bytes(bytes.begin() + from, bytes.begin() + from + count);
}

uint32_t LE32(const Bytes& bytes, size_t at)
{
    return bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 |
           static_cast<uint32_t>(bytes.at(at + 3)) << 24;
}

struct Blob {
    int status = -1;
    Bytes bytes;
};

Blob KTEncrypt(int mode, int keyType, const Bytes& data, const std::string& keyText = RSA_PUBKEY_2048_OFFICIAL)
{
    Blob blob;
    blob.bytes.assign(KTBufferSize(data.size()), 0);
    size_t length = 0;
    blob.status = SecBlobEnc_KT_Encrypt(mode, keyType, data.data(), data.size(), keyText.data(), keyText.size(),
                                        blob.bytes.data(), &length);
    blob.bytes.resize(blob.status == kSecBlobSuccess ? length : 0);
    return blob;
}

// SecBlobEnc_DataStorage_Encrypt or SecBlobEnc_DataStorage_Decrypt, with
// room for the data and one block.
using StorageStep = SecBlobStatus (*)(const uint8_t*, size_t, const uint8_t*, size_t, const uint8_t*, size_t,
                                      const uint8_t*, size_t, uint8_t*, size_t*);

Blob Storage(StorageStep step, const Bytes& data, const Bytes& key, const Bytes& message, const Bytes& iv)
{
    Blob result;
    result.bytes.assign(data.size() + 16, 0);
    size_t length = result.bytes.size();
    result.status = step(data.data(), data.size(), key.data(), key.size(), message.data(), message.size(), iv.data(),
                         iv.size(), result.bytes.data(), &length);
    result.bytes.resize(length);
    return result;
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string PemBody(const std::string& pem)
{
    std::string body, line;
    for (char c : pem) {
        line += c;
        if (c == '\n') {
            if (line.rfind("-----", 0) != 0)
                body += line;
            line.clear();
        }
    }
    return body;
}

std::string ReadText(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    std::string text;
    if (!file)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, n);
    return text;
}

// SHA-256 and key size of a DER public key, computed here with OpenSSL.
struct DerFacts {
    int bits = 0;
    Bytes sha256;
};

DerFacts Facts(const Bytes& der)
{
    DerFacts facts;
    const unsigned char* p = der.data();
    std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size())),
                                                       EVP_PKEY_free);
    if (key && EVP_PKEY_is_a(key.get(), "RSA"))
        facts.bits = EVP_PKEY_get_bits(key.get());
    facts.sha256.resize(32);
    unsigned int length = 0;
    EVP_Digest(der.data(), der.size(), facts.sha256.data(), &length, EVP_sha256(), nullptr);
    return facts;
}

const Bytes k2048Id(pubkey2048_OFFICIAL_SHA256, pubkey2048_OFFICIAL_SHA256 + 32);
const Bytes k3072Id(pubkey3072_OFFICIAL_SHA256, pubkey3072_OFFICIAL_SHA256 + 32);

}  // namespace

// ---- Key-transport blobs ------------------------------------------------

using KeyTransportBlob = SecBlobTest;

TEST_F(KeyTransportBlob, DataLengthLimit)
{
    Blob largest = KTEncrypt(kAesModeCbc, kKeyType2048, Pattern(99500));
    ASSERT_EQ(largest.status, kSecBlobSuccess);
    EXPECT_EQ(LE32(largest.bytes, 2), 99504u);
    EXPECT_EQ(largest.bytes.size(), 80u + 256 + 16 + 99504);
    EXPECT_EQ(g_messages, "");

    EXPECT_EQ(KTEncrypt(kAesModeCbc, kKeyType2048, Pattern(99501)).status, kSecBlobInvalidRequest);
    EXPECT_EQ(g_messages, "ERROR[88]: too long bufLen [99501].\n");
}

TEST_F(KeyTransportBlob, HeaderOfATenByteSecret)
{
    Blob blob = KTEncrypt(kAesModeCbc, kKeyType2048, Pattern(10));
    ASSERT_EQ(blob.status, kSecBlobSuccess);
    ASSERT_EQ(blob.bytes.size(), 368u);
    EXPECT_EQ(blob.bytes[0], 0x08);
    EXPECT_EQ(blob.bytes[1], 0x01);
    EXPECT_EQ(LE32(blob.bytes, 2), 16u);
    EXPECT_EQ(LE32(blob.bytes, 6), 368u);
    EXPECT_EQ(blob.bytes[10], 1);
    EXPECT_EQ(blob.bytes[11], 0);
    EXPECT_EQ(LE32(blob.bytes, 12), 0u);
    EXPECT_EQ(Slice(blob.bytes, 16, 32), k2048Id);
}

TEST_F(KeyTransportBlob, EveryBlobHasFreshRandomParts)
{
    const Bytes data = Pattern(10);
    Blob a = KTEncrypt(kAesModeCbc, kKeyType2048, data), b = KTEncrypt(kAesModeCbc, kKeyType2048, data);
    ASSERT_EQ(a.status, kSecBlobSuccess);
    ASSERT_EQ(b.status, kSecBlobSuccess);
    EXPECT_EQ(Slice(a.bytes, 0, 48), Slice(b.bytes, 0, 48));
    EXPECT_NE(Slice(a.bytes, 48, 32), Slice(b.bytes, 48, 32));  // salt
    EXPECT_NE(Slice(a.bytes, 80, 256), Slice(b.bytes, 80, 256));  // wrapped secret
    EXPECT_NE(Slice(a.bytes, 336, 16), Slice(b.bytes, 336, 16));  // IV
    EXPECT_NE(Slice(a.bytes, 352, 16), Slice(b.bytes, 352, 16));  // ciphertext
}

TEST_F(KeyTransportBlob, KeyTypeNamesTheKeyInTheHeader)
{
    Blob blob = KTEncrypt(kAesModeCbc, kKeyType3072, Pattern(10));
    ASSERT_EQ(blob.status, kSecBlobSuccess);
    EXPECT_EQ(blob.bytes[11], 1);
    EXPECT_EQ(Slice(blob.bytes, 16, 32), k3072Id);

    for (int keyType : {2, -1}) {
        g_messages.clear();
        EXPECT_EQ(KTEncrypt(kAesModeCbc, keyType, Pattern(10)).status, kSecBlobInvalidRequest);
        EXPECT_EQ(g_messages, "ERROR[106]: invalid key type[" + std::to_string(keyType) + "].\n");
    }
}

TEST_F(KeyTransportBlob, OnlyCbcModeEncrypts)
{
    for (int mode : {kAesModeGcm, 7}) {
        g_messages.clear();
        EXPECT_EQ(KTEncrypt(mode, kKeyType2048, Pattern(10)).status, kSecBlobInvalidRequest) << mode;
        EXPECT_EQ(g_messages, "AES Error. Unsupported AES Mode.\nERROR[161]: AES Encrypt failed[2].\n") << mode;
    }
}

TEST_F(KeyTransportBlob, WrappedSecretTakesTheKeysSize)
{
    const std::string key3072 = PemBody(ReadText(k3072PublicKey));
    ASSERT_FALSE(key3072.empty());
    Blob blob = KTEncrypt(kAesModeCbc, kKeyType3072, Pattern(10), key3072);
    ASSERT_EQ(blob.status, kSecBlobSuccess);
    EXPECT_EQ(blob.bytes.size(), 80u + 384 + 16 + 16);
    EXPECT_EQ(LE32(blob.bytes, 6), blob.bytes.size());
}

TEST_F(KeyTransportBlob, UnusablePublicKeyFailsTheRsaStep)
{
    const std::string notBase64 = "not a key!";
    const std::string notAKey = "AAAAAAAA\n";
    for (const std::string& key : {notBase64, notAKey, std::string(RSA_PUBKEY_2048_OFFICIAL, 195)}) {
        g_messages.clear();
        EXPECT_EQ(KTEncrypt(kAesModeCbc, kKeyType2048, Pattern(10), key).status, kSecBlobCryptoFailure);
        EXPECT_EQ(g_messages.rfind("RSA Error[", 0), 0u) << g_messages;
        const std::string tail = "ERROR[150]: RSA Encrypt failed[99].\n";
        ASSERT_GE(g_messages.size(), tail.size());
        EXPECT_EQ(g_messages.substr(g_messages.size() - tail.size()), tail);
    }
}

TEST_F(KeyTransportBlob, EncodeRandomUsesTheBuiltInPrinterKey)
{
    for (size_t length : {0, 1, 255}) {
        Bytes out(KTBufferSize(length));
        size_t written = 0;
        const Bytes data = Pattern(length);
        ASSERT_EQ(Encode_Random(data.data(), length, out.data(), &written), kSecBlobSuccess);
        out.resize(written);
        EXPECT_EQ(written, 80 + 256 + 16 + (length / 16 + 1) * 16);
        EXPECT_EQ(out[10], 1);
        EXPECT_EQ(out[11], 0);
        EXPECT_EQ(Slice(out, 16, 32), k2048Id);
    }
}

// ---- Storage blobs ------------------------------------------------------

using StorageBlob = SecBlobTest;

TEST_F(StorageBlob, RoundTripWithBuiltInMaterial)
{
    for (size_t length : {0, 1, 15, 16, 17, 255}) {
        const Bytes data = Pattern(length, static_cast<uint8_t>(length));
        Bytes blob(length + 16);
        size_t blobLength = blob.size();
        ASSERT_EQ(Encode_Storage(data.data(), length, blob.data(), &blobLength), kSecBlobSuccess) << length;
        EXPECT_EQ(blobLength, (length / 16 + 1) * 16);
        Bytes plain(blobLength);
        size_t plainLength = plain.size();
        ASSERT_EQ(Decode_Storage(blob.data(), blobLength, plain.data(), &plainLength), kSecBlobSuccess) << length;
        plain.resize(plainLength);
        EXPECT_EQ(plain, data);
    }
    EXPECT_EQ(g_messages, "");
}

TEST_F(StorageBlob, OtherKeyMaterialOrDamagedDataFailsThePaddingCheck)
{
    const Bytes key(32, 0x11), message(32, 0x22), iv(16, 0x33);
    const Blob blob = Storage(SecBlobEnc_DataStorage_Encrypt, Pattern(20), key, message, iv);
    ASSERT_EQ(blob.status, kSecBlobSuccess);
    ASSERT_EQ(Storage(SecBlobEnc_DataStorage_Decrypt, blob.bytes, key, message, iv).bytes, Pattern(20));

    const std::string failed = "ERROR[97]: AES Decrypt failed[99].\n";
    g_messages.clear();
    EXPECT_EQ(Storage(SecBlobEnc_DataStorage_Decrypt, blob.bytes, Bytes(32, 0x12), message, iv).status,
              kSecBlobCryptoFailure);
    EXPECT_NE(g_messages.find("AES Error["), std::string::npos);
    EXPECT_NE(g_messages.find(failed), std::string::npos) << g_messages;

    g_messages.clear();
    size_t length = blob.bytes.size();
    Bytes out(length);
    EXPECT_EQ(Decode_Storage(blob.bytes.data(), blob.bytes.size(), out.data(), &length), kSecBlobCryptoFailure);
    EXPECT_EQ(length, 0u);
    EXPECT_NE(g_messages.find(failed), std::string::npos);

    for (const Bytes& damaged : {Slice(blob.bytes, 0, 17), Slice(blob.bytes, 0, 31), Bytes{}}) {
        g_messages.clear();
        EXPECT_EQ(Storage(SecBlobEnc_DataStorage_Decrypt, damaged, key, message, iv).status, kSecBlobCryptoFailure);
        EXPECT_NE(g_messages.find(failed), std::string::npos);
    }
}

TEST_F(StorageBlob, TooSmallCapacityFailsWithoutWriting)
{
    const Bytes data = Pattern(16);
    Bytes out(64, 0xAA);
    size_t length = 31;  // the blob needs 32
    EXPECT_EQ(Encode_Storage(data.data(), data.size(), out.data(), &length), kSecBlobCryptoFailure);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(out, Bytes(64, 0xAA));
    EXPECT_NE(g_messages.find("ERROR[52]: AES Encrypt failed[99].\n"), std::string::npos);

    Bytes blob(32);
    length = blob.size();
    ASSERT_EQ(Encode_Storage(data.data(), data.size(), blob.data(), &length), kSecBlobSuccess);
    g_messages.clear();
    length = 15;  // the text needs 16
    EXPECT_EQ(Decode_Storage(blob.data(), blob.size(), out.data(), &length), kSecBlobCryptoFailure);
    EXPECT_EQ(out, Bytes(64, 0xAA));
    EXPECT_NE(g_messages.find("ERROR[97]: AES Decrypt failed[99].\n"), std::string::npos);
}

// ---- Base64 ---------------------------------------------------------------

using Base64 = SecBlobTest;

TEST_F(Base64, KnownTextsAndRoundTrips)
{
    const std::pair<std::string, std::string> known[] = {
        {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, text] : known) {
        char out[16] = {};
        EXPECT_EQ(
            SecBlobEnc_Base64_Encode(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), out, sizeof out),
            text.size());
        EXPECT_EQ(std::string(out), text);
        uint8_t bytes[16];
        ASSERT_EQ(SecBlobEnc_Base64_Decode(text.c_str(), bytes, sizeof bytes), plain.size());
        EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), plain.size()), plain);
    }
    for (size_t length = 1; length <= 70; ++length) {
        const Bytes data = Pattern(length, static_cast<uint8_t>(251 - length));
        auto text = SecBlobEnc_Base64_Encode_Data(data.data(), data.size());
        ASSERT_TRUE(text);
        EXPECT_EQ(text->size(), (length + 2) / 3 * 4);
        text->push_back('\0');
        EXPECT_EQ(SecBlobEnc_Base64_Decode_Data(text->data()), data);
    }
    EXPECT_FALSE(SecBlobEnc_Base64_Encode_Data(nullptr, 0));
    EXPECT_FALSE(SecBlobEnc_Base64_Decode_Data(""));
}

TEST_F(Base64, LineBreaksOfTheKeyTextAreAccepted)
{
    uint8_t der[400];
    EXPECT_EQ(SecBlobEnc_Base64_Decode(RSA_PUBKEY_2048_OFFICIAL, der, sizeof der), 294u);
    std::string crlf;
    for (const char* c = RSA_PUBKEY_2048_OFFICIAL; *c; ++c)
        crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    uint8_t again[400];
    ASSERT_EQ(SecBlobEnc_Base64_Decode(crlf.c_str(), again, sizeof again), 294u);
    EXPECT_EQ(std::memcmp(der, again, 294), 0);
}

TEST_F(Base64, MalformedTextDecodesToNothing)
{
    const std::string truncatedKey(RSA_PUBKEY_2048_OFFICIAL, 396);
    for (const std::string& text :
         {std::string("Zm9v!"), std::string("Zm9v Zm9v"), std::string("Zm9v\tYmFy"), std::string("Zm9=v"),
          std::string("Zm===="), std::string("Z==="), std::string("Zm9"), std::string("Zm9vYmF"), std::string("Zh=="),
          std::string("Zm9vYg==Zm9v"), std::string("===="), std::string("\n\n"), truncatedKey}) {
        uint8_t out[400];
        std::memset(out, 0xAA, sizeof out);
        EXPECT_EQ(SecBlobEnc_Base64_Decode(text.c_str(), out, sizeof out), 0u) << text;
        EXPECT_FALSE(SecBlobEnc_Base64_Decode_Data(text.c_str())) << text;
    }
}

TEST_F(Base64, OutputThatDoesNotFitIsNotWritten)
{
    const Bytes data = Pattern(6);
    char text[12];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(SecBlobEnc_Base64_Encode(data.data(), data.size(), text, 7), 0u);
    EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, '#'));
    EXPECT_EQ(SecBlobEnc_Base64_Encode(data.data(), data.size(), text, 8), 8u);
    EXPECT_EQ(text[8], '#');

    uint8_t bytes[8];
    std::memset(bytes, 0xAA, sizeof bytes);
    EXPECT_EQ(SecBlobEnc_Base64_Decode("Zm9vYmFy", bytes, 5), 0u);
    EXPECT_EQ(Bytes(bytes, bytes + 8), Bytes(8, 0xAA));
}

// ---- Built-in key material ------------------------------------------------

using BuiltInKeys = SecBlobTest;

TEST_F(BuiltInKeys, PublicKeyTextIsAPemBodyOf2048BitRsa)
{
    const std::string text = RSA_PUBKEY_2048_OFFICIAL;
    EXPECT_EQ(text.size(), 399u);
    EXPECT_EQ(RSA_PUBKEY_2048_OFFICIAL_LEN, 399u);
    ASSERT_EQ(text.back(), '\n');
    size_t start = 0, lines = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++lines)
        EXPECT_EQ(end - start, lines < 6 ? 64u : 8u);
    EXPECT_EQ(lines, 7u);

    auto der = SecBlobEnc_Decode_Key(RSA_PUBKEY_2048_OFFICIAL);
    ASSERT_TRUE(der);
    ASSERT_EQ(der->size(), 294u);
    const DerFacts facts = Facts(*der);
    EXPECT_EQ(facts.bits, 2048);
    EXPECT_EQ(facts.sha256, k2048Id);

    EXPECT_FALSE(SecBlobEnc_Decode_Key("not a key"));
    EXPECT_FALSE(SecBlobEnc_Decode_Key(nullptr));
}

TEST_F(BuiltInKeys, ThirdKeyIdentifierNamesThe3072BitKey)
{
    auto der = SecBlobEnc_Decode_Key(PemBody(ReadText(k3072PublicKey)).c_str());
    ASSERT_TRUE(der);
    const DerFacts facts = Facts(*der);
    EXPECT_EQ(facts.bits, 3072);
    EXPECT_EQ(facts.sha256, k3072Id);
}

TEST(SecBlobMessages, DefaultSinkIsStandardErrorNeverStandardOutput)
{
    SecBlobEnc_SetMessageSink(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Bytes out(KTBufferSize(1));
    size_t length = 0;
    const uint8_t data = 0;
    EXPECT_EQ(SecBlobEnc_KT_Encrypt(kAesModeCbc, 5, &data, 1, RSA_PUBKEY_2048_OFFICIAL, RSA_PUBKEY_2048_OFFICIAL_LEN,
                                    out.data(), &length),
              kSecBlobInvalidRequest);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string stdoutText = testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "ERROR[106]: invalid key type[5].\n");
    EXPECT_EQ(stdoutText, "");
}

// ---- Opened by the openssl command line tool -------------------------------

using OpenedByOpenSsl = SecBlobTest;

TEST_F(OpenedByOpenSsl, KeyTransportBlobWithTheDevelopmentKey)
{
#ifndef ZLK_DEV_PRINTER_KEY
    GTEST_SKIP() << "built with a production public key; the development private key does not fit it";
#endif
    for (size_t length : {0, 10, 255}) {
        const Bytes data = Pattern(length, 0x41);
        Bytes blob(KTBufferSize(length));
        size_t written = 0;
        ASSERT_EQ(Encode_Random(data.data(), length, blob.data(), &written), kSecBlobSuccess);
        blob.resize(written);
        EXPECT_EQ(zlk::test::OpenSslOpenKeyTransportBlob(blob, kDevPrivateKey), Text(data)) << length;
    }
    Blob type1 = KTEncrypt(kAesModeCbc, kKeyType3072, Pattern(33));
    ASSERT_EQ(type1.status, kSecBlobSuccess);
    EXPECT_EQ(zlk::test::OpenSslOpenKeyTransportBlob(type1.bytes, kDevPrivateKey), Text(Pattern(33)));
}

TEST_F(OpenedByOpenSsl, StorageBlobWithTheSeeds)
{
    for (size_t length : {0, 16, 100}) {
        const Bytes data = Pattern(length, 0x30);
        Bytes blob(length + 16);
        size_t written = blob.size();
        ASSERT_EQ(Encode_Storage(data.data(), length, blob.data(), &written), kSecBlobSuccess);
        blob.resize(written);
        EXPECT_EQ(zlk::test::OpenSslOpenStorageBlob(blob, Bytes(seed1, seed1 + 32), Bytes(seed2, seed2 + 32),
                                                    Bytes(seed3, seed3 + 16)),
                  Text(data))
            << length;
    }
}
