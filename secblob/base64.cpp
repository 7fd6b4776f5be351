// Base64 of the encrypted values: plain code with no OpenSSL, so a program
// that only encodes (the filter) does not load libcrypto for it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "secblob/secblob.h"

namespace zlk::secblob {
namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// Decodes text into out. Answers 0 (writing nothing) when the text is not
// canonical Base64 apart from line breaks, or its bytes do not fit.
std::size_t DecodeBase64(std::string_view text, uint8_t* out, std::size_t capacity)
{
    std::size_t symbols = 0;
    std::size_t padding = 0;
    int lastValue = 0;
    for (char c : text) {
        if (IsLineBreak(c))
            continue;
        ++symbols;
        if (c == '=') {
            ++padding;
            continue;
        }
        lastValue = Base64Value(c);
        if (lastValue < 0 || padding > 0)  // outside the alphabet, or data after padding
            return 0;
    }
    if (symbols == 0 || symbols % 4 != 0 || padding > 2)
        return 0;
    // Bits that padding drops must be zero, or the text was cut or altered.
    if ((padding == 1 && (lastValue & 0x03) != 0) || (padding == 2 && (lastValue & 0x0f) != 0))
        return 0;
    const std::size_t length = symbols / 4 * 3 - padding;
    if (out == nullptr || length > capacity)
        return 0;

    uint32_t bits = 0;
    int bitCount = 0;
    std::size_t written = 0;
    for (char c : text) {
        if (IsLineBreak(c) || c == '=')
            continue;
        bits = (bits << 6) | static_cast<uint32_t>(Base64Value(c));
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out[written++] = static_cast<uint8_t>(bits >> bitCount);
        }
    }
    return written;
}

std::optional<std::vector<uint8_t>> DecodeBase64Data(std::string_view text)
{
    std::vector<uint8_t> bytes(text.size() / 4 * 3);
    const std::size_t length = DecodeBase64(text, bytes.data(), bytes.size());
    if (length == 0)
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

}  // namespace

std::size_t SecBlobEnc_Base64_Encode(const uint8_t* data, std::size_t length, char* out, std::size_t outCapacity)
{
    if (data == nullptr || out == nullptr || length == 0 || length > SIZE_MAX / 4 * 3 - 3)
        return 0;
    const std::size_t textLength = (length + 2) / 3 * 4;
    if (textLength > outCapacity)
        return 0;
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; i += 3) {
        const std::size_t left = length - i;
        const uint32_t group = static_cast<uint32_t>(data[i]) << 16 |
                               (left > 1 ? static_cast<uint32_t>(data[i + 1]) << 8 : 0) |
                               (left > 2 ? static_cast<uint32_t>(data[i + 2]) : 0);
        out[written++] = kBase64Alphabet[(group >> 18) & 0x3f];
        out[written++] = kBase64Alphabet[(group >> 12) & 0x3f];
        out[written++] = left > 1 ? kBase64Alphabet[(group >> 6) & 0x3f] : '=';
        out[written++] = left > 2 ? kBase64Alphabet[group & 0x3f] : '=';
    }
    return written;
}

std::size_t SecBlobEnc_Base64_Decode(const char* text, uint8_t* out, std::size_t outCapacity)
{
    return text != nullptr ? DecodeBase64(text, out, outCapacity) : 0;
}

std::optional<std::vector<char>> SecBlobEnc_Base64_Encode_Data(const uint8_t* data, std::size_t length)
{
    if (length == 0 || length > SIZE_MAX / 4 * 3 - 3)
        return std::nullopt;
    std::vector<char> text((length + 2) / 3 * 4);
    if (SecBlobEnc_Base64_Encode(data, length, text.data(), text.size()) == 0)
        return std::nullopt;
    return text;
}

std::optional<std::vector<uint8_t>> SecBlobEnc_Base64_Decode_Data(const char* text)
{
    return text != nullptr ? DecodeBase64Data(text) : std::nullopt;
}

}  // namespace zlk::secblob
