// Conversions between the text forms the dialog side meets: UTF-8 (our
// strings), UTF-16 (what text fields count in) and the legacy encodings a
// PPD may name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zlk::ppd {

// The platform's string-encoding numbers, as the dialog code compares them.
using TextEncoding = std::uint32_t;
inline constexpr TextEncoding kTextEncodingMacRoman = 0;
inline constexpr TextEncoding kTextEncodingMacJapanese = 1;
inline constexpr TextEncoding kTextEncodingISOLatin1 = 0x0201;
inline constexpr TextEncoding kTextEncodingWindowsLatin1 = 0x0500;
inline constexpr TextEncoding kTextEncodingUTF8 = 0x08000100;

// Nothing when the input is not well-formed (lone surrogates included).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

// Through iconv; nothing when a byte or character has no counterpart or the
// encoding is not one of the numbers above.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, TextEncoding from);
std::optional<std::string> ConvertFromUtf8(std::string_view utf8, TextEncoding to);

// The longest prefix of at most maxBytes bytes that does not split a UTF-8
// character (common::Utf8SafeLength) as a string: every fixed cut of a text (255 bytes for a value,
// 19 for a key, ...) is taken with it, so no cut leaves half a character.
std::string Utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace zlk::ppd
