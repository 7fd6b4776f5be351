#include "ppd/textcodec.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace zlk::ppd {

namespace {

// Decodes one scalar value at text[i], advancing i; -1 when malformed.
long DecodeUtf8(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra = 0;
    long value = 0;
    long minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return -1;
    }
    if (text.size() - i <= static_cast<std::size_t>(extra)) {
        return -1;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return -1;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return -1;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return value;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

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

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

std::optional<std::string> Iconv(std::string_view input, const char* to, const char* from)
{
    iconv_t raw = iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::unique_ptr<void, IconvCloser> cd(raw);
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

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (DecodeUtf8(text, i) < 0) {
            return false;
        }
    }
    return true;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        long c = DecodeUtf8(text, i);
        if (c < 0) {
            return std::nullopt;
        }
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
        AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, TextEncoding from)
{
    if (from == kTextEncodingUTF8) {
        return IsValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    }
    const char* name = IconvName(from);
    return name ? Iconv(bytes, "UTF-8", name) : std::nullopt;
}

std::optional<std::string> ConvertFromUtf8(std::string_view utf8, TextEncoding to)
{
    if (!IsValidUtf8(utf8)) {
        return std::nullopt;
    }
    if (to == kTextEncodingUTF8) {
        return std::string(utf8);
    }
    const char* name = IconvName(to);
    return name ? Iconv(utf8, name, "UTF-8") : std::nullopt;
}

std::size_t Utf8SafeLength(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) {
        return text.size();
    }
    std::size_t n = maxBytes;
    // Step back over continuation bytes to the start of the cut sequence.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    return n;
}

}  // namespace zlk::ppd
