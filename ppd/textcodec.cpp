#include "ppd/textcodec.h"

#include <iconv.h>

#include <cerrno>

#include "common/iconv.h"
#include "common/utf8.h"

namespace zlk::ppd {

namespace {

const char* IconvName(TextEncoding encoding)
{
    switch (encoding) {
    case kTextEncodingMacRoman: return "MACINTOSH";
    case kTextEncodingMacJapanese:
        // Shift-JIS PPDs; CP932 is the superset printers actually use.
        return "CP932";
    case kTextEncodingISOLatin1: return "ISO-8859-1";
    case kTextEncodingWindowsLatin1: return "CP1252";
    case kTextEncodingUTF8: return "UTF-8";
    default: return nullptr;
    }
}

std::optional<std::string> Iconv(std::string_view input, const char* to, const char* from)
{
    common::IconvHandle cd(to, from);
    if (!cd.ok()) {
        return std::nullopt;
    }
    iconv_t raw = cd.get();
    std::string out;
    std::string in(input);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            return std::nullopt;
        }
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(raw, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return out;
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t n = common::Utf8CharLength(text, i, &c);
        if (n == 0) {
            return std::nullopt;
        }
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        common::AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, TextEncoding from)
{
    if (from == kTextEncodingUTF8) {
        return common::IsValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    }
    const char* name = IconvName(from);
    return name ? Iconv(bytes, "UTF-8", name) : std::nullopt;
}

std::optional<std::string> ConvertFromUtf8(std::string_view utf8, TextEncoding to)
{
    if (!common::IsValidUtf8(utf8)) {
        return std::nullopt;
    }
    if (to == kTextEncodingUTF8) {
        return std::string(utf8);
    }
    const char* name = IconvName(to);
    return name ? Iconv(utf8, name, "UTF-8") : std::nullopt;
}

std::string Utf8Prefix(std::string_view text, std::size_t maxBytes)
{
    return std::string(text.substr(0, common::Utf8SafeLength(text, maxBytes)));
}

}  // namespace zlk::ppd
