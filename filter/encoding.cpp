#include "filter/encoding.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/iconv.h"
#include "common/utf8.h"
#include "filter/output.h"

namespace zlk::filter {

const InputFilterData docuNameValidateDataScale = {
    2,
    {{0x20, 0x7E}, {0xA1, 0xDF}},
    4,
    {{0x8140, 0x9F7E}, {0x8180, 0x9FFC}, {0xE040, 0xFC7E}, {0xE080, 0xFCFC}},
};

const InputFilterData docuNameValidateDataScaleForProduct02 = {
    2,
    {{0x20, 0x7E}, {0xA1, 0xDF}},
    3,
    {{0x0020, 0x007E}, {0x8160, 0x8160}, {0xFF61, 0xFF9F}},
};

const InputFilterData docuNameValidateDataScaleForProduct03 = {
    2,
    {{0x20, 0x7E}, {0xA1, 0xDF}},
    4,
    {{0x8140, 0x9F7E}, {0x8180, 0x9FFC}, {0xE040, 0xFC7E}, {0xE080, 0xFCFC}},
};

const InputFilterData docuNameValidateDataScaleForProduct03UTF8 = {
    1,
    {{0x20, 0xFF}},
    1,
    {{0x0020, 0xFFFF}},
};

namespace {

// Fixed diagnostic line for a source that is not UTF-8 (see output.h).
constexpr const char* kInvalidSourceMessage = "CFStringCreateWithCString fail\n";
constexpr std::size_t kNameSize = 256;
// The printer-language name is converted into 255 bytes, so it holds at most 254.
constexpr std::size_t kConvertSize = 255;
constexpr std::size_t kMaxUTF8Name = kNameSize - 1;
constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

// One decoded character with where its bytes lie in the source.
struct CodePoint {
    char32_t value;
    std::size_t offset;
    std::size_t length;
    std::size_t units() const { return value > 0xFFFF ? 2 : 1; }
};

// Strict decoding: overlong forms, encoded surrogates, values past U+10FFFF
// and cut sequences are all refused.
std::optional<std::vector<CodePoint>> DecodeUTF8(const char* text)
{
    std::vector<CodePoint> out;
    if (!text)
        return out;
    const std::string_view view(text);
    for (std::size_t i = 0; i < view.size();) {
        char32_t cp = 0;
        std::size_t len = common::Utf8CharLength(view, i, &cp);
        if (len == 0)
            return std::nullopt;
        out.push_back({cp, i, len});
        i += len;
    }
    return out;
}

std::u16string ToUTF16(const std::vector<CodePoint>& cps)
{
    std::u16string units;
    units.reserve(cps.size());
    for (const auto& cp : cps) {
        if (cp.value > 0xFFFF) {
            char32_t v = cp.value - 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp.value));
        }
    }
    return units;
}

// The leading characters of text that make up at most maxUnits UTF-16 units
// and maxBytes bytes; a character that would cross either limit is left out
// whole, so a surrogate pair is never split.
std::string UTF8Prefix(const char* text, const std::vector<CodePoint>& cps, std::size_t maxUnits, std::size_t maxBytes)
{
    std::size_t units = 0;
    std::size_t bytes = 0;
    for (const auto& cp : cps) {
        if (units + cp.units() > maxUnits || bytes + cp.length > maxBytes)
            break;
        units += cp.units();
        bytes += cp.length;
    }
    return std::string(text ? text : "", bytes);
}

// One conversion between two encodings, restarted from the initial shift
// state for every piece.
class Iconv {
public:
    Iconv(const char* to, const char* from) : handle_(to, from) {}
    bool ok() const { return handle_.ok(); }

    // Converts in[0..inLen) into out; answers the bytes written, or -1 when
    // the input is refused. inLen is left at what was not consumed.
    long Convert(const char* in, std::size_t& inLen, char* out, std::size_t outSize)
    {
        iconv(handle_.get(), nullptr, nullptr, nullptr, nullptr);
        char* inp = const_cast<char*>(in);
        char* outp = out;
        std::size_t outLeft = outSize;
        std::size_t rc = iconv(handle_.get(), &inp, &inLen, &outp, &outLeft);
        long written = static_cast<long>(outSize - outLeft);
        if (rc == static_cast<std::size_t>(-1))
            return written > 0 && inLen > 0 ? written : -1;
        return written;
    }

private:
    common::IconvHandle handle_;
};

void ClearBuffer(char* buffer, std::size_t size)
{
    if (buffer && size > 0)
        std::memset(buffer, 0, size);
}

void CopyName(char (&dst)[kNameSize], const std::string& src)
{
    std::memset(dst, 0, kNameSize);
    std::memcpy(dst, src.data(), std::min(src.size(), kNameSize - 1));
}

// The byte limit of a name in the printer language, 0 when the product type is unknown.
std::size_t ByteLimitFor(std::optional<int> productType)
{
    if (!productType)
        return 0;
    if (*productType == 3)
        return 64;
    if (*productType == 2)
        return 12;
    return 32;
}

const InputFilterData& TableFor(std::optional<int> productType)
{
    if (productType && *productType == 3)
        return docuNameValidateDataScaleForProduct03;
    if (productType && *productType == 2)
        return docuNameValidateDataScaleForProduct02;
    return docuNameValidateDataScale;
}

bool HasLineBreak(const char* text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

// Reads CP932 bytes back as UTF-16 units; a cut last character is left out.
std::u16string CP932ToUTF16(const char* text)
{
    std::u16string units;
    Iconv cd("UTF-16LE", "CP932");
    std::size_t inLen = std::strlen(text);
    if (!cd.ok() || inLen == 0)
        return units;
    std::vector<char> out(inLen * 4 + 4);
    long written = cd.Convert(text, inLen, out.data(), out.size());
    for (long i = 0; i + 1 < written; i += 2) {
        auto lo = static_cast<unsigned char>(out[static_cast<std::size_t>(i)]);
        auto hi = static_cast<unsigned char>(out[static_cast<std::size_t>(i) + 1]);
        units.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return units;
}

// CP932 printers: the printer's count of a name gives two for a unit with
// bit 0x1000 or 0x0100 set. Cuts StdDocumentName at the limit and answers how
// many units it keeps, or nullopt when the whole name counts below limit - 1.
std::optional<std::size_t> CutByCP932Weight(char* name, std::size_t limit)
{
    std::u16string units = CP932ToUTF16(name);
    std::size_t count = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        count += (units[i] & 0x1000) || (units[i] & 0x0100) ? 2 : 1;
        if (count == limit) {
            name[limit] = '\0';
            return i + 1;
        }
        if (count == limit + 1) {
            name[limit - 1] = '\0';
            return i;
        }
    }
    if (count + 1 < limit)
        return std::nullopt;
    return units.size();
}

// Clears the destination and decodes the source; a source that is not
// UTF-8 is reported and gives nothing.
std::optional<std::vector<CodePoint>> StartConversion(const char* src, char* dst, std::size_t size)
{
    ClearBuffer(dst, size);
    auto cps = DecodeUTF8(src);
    if (!cps)
        Utlfputs(kInvalidSourceMessage, stderr);
    return cps;
}

}  // namespace

int ConvertUTF8ToEncoding(const char* src, char* dst, std::size_t size)
{
    auto cps = StartConversion(src, dst, size);
    if (!cps || !dst || size <= 1)
        return 0;
    Iconv cd("CP932", "UTF-16LE");
    if (!cd.ok())
        return 0;
    std::size_t len = 0;
    const std::size_t cap = size - 1;
    for (char16_t unit : ToUTF16(*cps)) {
        if (len >= cap)
            break;
        char piece[5];
        std::size_t pieceLen = 0;
        if (unit == u'\\' || unit == u'~') {
            piece[0] = static_cast<char>(unit);
            pieceLen = 1;
        } else {
            const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            std::size_t inLen = sizeof in;
            long written = cd.Convert(in, inLen, piece, sizeof piece);
            if (written <= 0 || inLen != 0)
                continue;  // CP932 has no such character, or a lone surrogate half
            pieceLen = static_cast<std::size_t>(written);
        }
        // Half of a two-byte character would print as garbage: stop before it.
        if (pieceLen > cap - len)
            break;
        std::memcpy(dst + len, piece, pieceLen);
        len += pieceLen;
    }
    return static_cast<int>(len);
}

int ConvertUTF8ToEncodingForUTF8(const char* src, char* dst, std::size_t size)
{
    auto cps = StartConversion(src, dst, size);
    if (!cps || !dst || size <= 1)
        return 0;
    // Whole characters only: half a character would reach the printer as garbage.
    std::string kept = UTF8Prefix(src, *cps, kNoLimit, size - 1);
    std::memcpy(dst, kept.data(), kept.size());
    return static_cast<int>(kept.size());
}

std::optional<std::string> FirstUTF16Units(const char* text, std::size_t maxUnits)
{
    auto cps = DecodeUTF8(text);
    if (!cps)
        return std::nullopt;
    return UTF8Prefix(text, *cps, maxUnits, kNoLimit);
}

std::string ValidUTF8Only(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = common::Utf8CharLength(text, i);
        // A zero byte is left out as well; the decoder would pass it as U+0000.
        if (n > 0 && text[i] != '\0')
            kept.append(text, i, n);
        i += n > 0 ? n : 1;
    }
    return kept;
}

std::string WithoutUnpairedLeadByte(std::string_view text)
{
    auto isLead = [](unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); };
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isLead(static_cast<unsigned char>(text[i])))
            ++i;
        else if (i + 1 < text.size())
            i += 2;
        else
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

bool ISWordValid(const unsigned char* word, const InputFilterData& table)
{
    const int32_t value = (word[0] << 8) | word[1];
    const int32_t count = std::clamp(table.wordRangeCount, 0, 10);
    for (int32_t i = 0; i < count; ++i) {
        if (value >= table.wordRanges[i][0] && value <= table.wordRanges[i][1])
            return true;
    }
    return false;
}

bool ValidateDada(const char* text, const InputFilterData& table)
{
    if (!text)
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const int32_t byteCount = std::clamp(table.byteRangeCount, 0, 10);
    while (*p) {
        if (ISWordValid(p, table)) {
            // A last byte taken as a word with the terminator ends the text.
            if (p[1] == 0)
                return true;
            p += 2;
            continue;
        }
        bool valid = false;
        for (int32_t i = 0; i < byteCount && !valid; ++i)
            valid = *p >= table.byteRanges[i][0] && *p <= table.byteRanges[i][1];
        if (!valid)
            return false;
        ++p;
    }
    return true;
}

void InvalidateStdDocumentNameForProductType(const char* title, bool utf8Printer, std::optional<int> productType,
                                             DocumentNames& names)
{
    const char* source = title ? title : "";
    auto titleCps = DecodeUTF8(source);
    if (!titleCps) {
        CopyName(names.PTStdDocumentName, "");
        CopyName(names.PTStdDocumentNameForUTF8, "");
        return;
    }
    const std::size_t limit = ByteLimitFor(productType);
    std::string forUTF8 = UTF8Prefix(source, *titleCps, kNoLimit, kMaxUTF8Name);

    if (productType && std::strlen(names.StdDocumentName) > limit) {
        if (utf8Printer) {
            // Bytes read back as CP932 mean nothing here; count characters instead.
            std::size_t titleUnits = 0;
            for (const auto& cp : *titleCps)
                titleUnits += cp.units();
            if (titleUnits > limit) {
                auto stdCps = DecodeUTF8(names.StdDocumentName);
                std::string cut = stdCps ? UTF8Prefix(names.StdDocumentName, *stdCps, limit, kMaxUTF8Name) : "";
                CopyName(names.StdDocumentName, cut);
                forUTF8 = UTF8Prefix(source, *titleCps, limit, kMaxUTF8Name);
            }
        } else if (auto kept = CutByCP932Weight(names.StdDocumentName, limit)) {
            forUTF8 = UTF8Prefix(source, *titleCps, *kept, kMaxUTF8Name);
        }
    }
    CopyName(names.PTStdDocumentNameForUTF8, forUTF8);

    if (productType && (*productType == 3 || *productType == 2))
        std::memset(names.PTStdDocumentName, 0, kNameSize);
    if (productType) {
        // UTF-8 names were cut by characters above; a byte cut could split one.
        std::size_t n = utf8Printer ? kNameSize - 1 : limit;
        const std::size_t len = strnlen(names.StdDocumentName, n);
        std::memcpy(names.PTStdDocumentName, names.StdDocumentName, len);
        std::memset(names.PTStdDocumentName + len, 0, n - len + 1);
    }

    if (!ValidateDada(names.PTStdDocumentName, TableFor(productType)))
        std::memset(names.PTStdDocumentName, 0, kNameSize);
    if (!ValidateDada(names.PTStdDocumentNameForUTF8, docuNameValidateDataScaleForProduct03UTF8))
        std::memset(names.PTStdDocumentNameForUTF8, 0, kNameSize);
}

void InvalidatePrintTypeDocumentNameForProductType(std::optional<int> productType, DocumentNames& names)
{
    if (productType) {
        const std::size_t limit = ByteLimitFor(productType);
        auto cps = DecodeUTF8(names.PTStdDocumentName);
        std::size_t units = 0;
        if (cps) {
            for (const auto& cp : *cps)
                units += cp.units();
        }
        if (!cps)
            CopyName(names.PTStdDocumentName, "");
        else if (units > limit)
            CopyName(names.PTStdDocumentName, UTF8Prefix(names.PTStdDocumentName, *cps, limit, kMaxUTF8Name));
    }
    const bool wide = productType && (*productType == 5 || *productType == 3);
    const InputFilterData& table = wide ? docuNameValidateDataScaleForProduct03UTF8 : docuNameValidateDataScale;
    if (!ValidateDada(names.PTStdDocumentName, table))
        std::memset(names.PTStdDocumentName, 0, kNameSize);
}

void PrepareDocumentName(const char* title, bool utf8Printer, std::optional<int> productType, DocumentNames& names)
{
    std::memset(&names, 0, sizeof names);
    const char* source = title ? title : "";
    if (HasLineBreak(source))
        return;
    if (!DecodeUTF8(source)) {
        Utlfputs(kInvalidSourceMessage, stderr);
        return;
    }
    if (utf8Printer) {
        ConvertUTF8ToEncodingForUTF8(source, names.StdDocumentName, kConvertSize);
        std::memcpy(names.PTStdDocumentName, names.StdDocumentName, kNameSize);
    } else {
        ConvertUTF8ToEncoding(source, names.StdDocumentName, kConvertSize);
    }
    InvalidateStdDocumentNameForProductType(source, utf8Printer, productType, names);
    if (utf8Printer)
        InvalidatePrintTypeDocumentNameForProductType(productType, names);
}

}  // namespace zlk::filter
