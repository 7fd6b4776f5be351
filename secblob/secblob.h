// Encrypted values on their way from the print dialog to the printer.
//
// Storage blobs: AES-256-CBC with key material built into every deliverable,
// so a password that a dialog stores in the print settings opens in the
// filter. Key-transport blobs: a fresh content key, wrapped with the
// printer's RSA public key, encrypts the secret for the printer.
//
// Nothing here throws; every call answers a status and prints its failure
// message through the message sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zlk::secblob {

// What every call answers. The values are fixed: the dialogs keep
// them as plain int statuses and compare against these names. Unscoped, so
// such an int compares and assigns as before.
enum SecBlobStatus : int {
    kSecBlobSuccess = 0,
    kSecBlobInvalidRequest = 2,  // bad arguments, length or key type, unsupported AES mode
    kSecBlobCryptoFailure = 99,  // a cryptographic step failed (wrong key material, damaged data ...)
};

// AES modes and key types of a key-transport blob.
inline constexpr int kAesModeGcm = 0;  // laid out, not supported by encryption
inline constexpr int kAesModeCbc = 1;
inline constexpr int kKeyType2048 = 0;
inline constexpr int kKeyType3072 = 1;

inline constexpr std::size_t kKTHeaderSize = 80;
inline constexpr std::size_t kKTMaxDataLength = 99500;
// Output room SecBlobEnc_KT_Encrypt needs for dataLength bytes.
inline constexpr std::size_t KTBufferSize(std::size_t dataLength) { return 80 + 512 + 16 + 16 + dataLength + 16; }

// Built-in key material, the same in every deliverable.
extern const char RSA_PUBKEY_2048_OFFICIAL[];  // PEM body: Base64 lines of 64, LF-terminated
extern const std::size_t RSA_PUBKEY_2048_OFFICIAL_LEN;  // 399 for a 2048-bit key
extern const uint8_t pubkey2048_OFFICIAL_SHA256[32];
extern const uint8_t pubkey3072_OFFICIAL_SHA256[32];
extern const uint8_t seed1[32];
extern const uint8_t seed2[32];
extern const uint8_t seed3[16];

// Where the library's messages go. The default writes to standard error;
// a program whose standard output is a data stream must never let them
// reach standard output.
using MessageSink = void (*)(const char* text);
void SecBlobEnc_SetMessageSink(MessageSink sink);

SecBlobStatus SecBlobEnc_KT_Encrypt(int aesMode, int keyType, const uint8_t* data, std::size_t dataLength,
                                    const char* publicKeyText, std::size_t publicKeyTextLength, uint8_t* out,
                                    std::size_t* outLength);

// outLength: capacity in, bytes written out.
SecBlobStatus SecBlobEnc_DataStorage_Encrypt(const uint8_t* data, std::size_t dataLength, const uint8_t* hmacKey,
                                             std::size_t hmacKeyLength, const uint8_t* hmacMessage,
                                             std::size_t hmacMessageLength, const uint8_t* iv, std::size_t ivLength,
                                             uint8_t* out, std::size_t* outLength);
SecBlobStatus SecBlobEnc_DataStorage_Decrypt(const uint8_t* data, std::size_t dataLength, const uint8_t* hmacKey,
                                             std::size_t hmacKeyLength, const uint8_t* hmacMessage,
                                             std::size_t hmacMessageLength, const uint8_t* iv, std::size_t ivLength,
                                             uint8_t* out, std::size_t* outLength);

// Storage blobs with the built-in material (seed1, seed2, seed3).
SecBlobStatus Encode_Storage(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength);
SecBlobStatus Decode_Storage(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength);

// Opens a password as the dialogs store it (a Base64 storage blob) into
// plain, within the working limits every reader keeps: the first 1023
// characters of text, 2000 bytes of blob. Answers kSecBlobSuccess with
// *plainLength set; the caller wipes plain.
SecBlobStatus Decode_StorageText(const char* text, uint8_t* plain, std::size_t* plainLength);

// Key-transport blob for the printer: mode 1, key type 0, built-in key.
// out must hold KTBufferSize(dataLength) bytes.
SecBlobStatus Encode_Random(const uint8_t* data, std::size_t dataLength, uint8_t* out, std::size_t* outLength);

SecBlobStatus Generate_Random(std::size_t count, uint8_t* buffer);

// Base64 with the standard alphabet and "=" padding. Encode writes no
// terminating zero and answers the text length, 0 on failure or when the
// text would not fit outCapacity. Decode skips line breaks and answers the
// byte count, 0 on failure, when nothing decodes or when the bytes would
// not fit outCapacity.
std::size_t SecBlobEnc_Base64_Encode(const uint8_t* data, std::size_t length, char* out, std::size_t outCapacity);
std::size_t SecBlobEnc_Base64_Decode(const char* text, uint8_t* out, std::size_t outCapacity);
std::optional<std::vector<char>> SecBlobEnc_Base64_Encode_Data(const uint8_t* data, std::size_t length);
std::optional<std::vector<uint8_t>> SecBlobEnc_Base64_Decode_Data(const char* text);

// DER bytes of a public key text, or none.
std::optional<std::vector<uint8_t>> SecBlobEnc_Decode_Key(const char* publicKeyText);

}  // namespace zlk::secblob
