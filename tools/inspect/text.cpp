#include <algorithm>

#include "common/iconv.h"
#include "common/utf8.h"
#include "tools/inspect/inspect-private.h"

namespace zlk::inspect::internal {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool IsDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string HexByte(unsigned char byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 15]};
}

std::string Printable(std::string_view text)
{
    std::string shown;
    char32_t cp = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = common::Utf8CharLength(text, at, &cp);
        if (n == 0 || cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
            const auto byte = static_cast<unsigned char>(text[at]);
            shown += byte == '\t' ? std::string("\\t") : "\\x" + HexByte(byte);
            ++at;
            continue;
        }
        shown.append(text.substr(at, n));
        at += n;
    }
    return shown;
}

std::string Quote(std::string_view text)
{
    constexpr std::size_t kMax = 60;
    std::string shown = Printable(text.substr(0, kMax));
    return "\"" + shown + (text.size() > kMax ? "...\"" : "\"");
}

std::string Sha256Hex(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1 || length != 32)
        return {};
    std::string hex;
    for (unsigned int i = 0; i < length; ++i)
        hex += HexByte(digest[i]);
    return hex;
}

std::optional<std::string> Cp932ToUtf8(std::string_view bytes)
{
    common::IconvHandle cd("UTF-8", "CP932");
    if (!cd.ok())
        return std::nullopt;
    std::string in(bytes);
    std::string out(4 * in.size() + 4, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace zlk::inspect::internal
