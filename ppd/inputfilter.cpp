#include "ppd/inputfilter.h"

#include <algorithm>

namespace zlk::ppd {

namespace {

int UsedRanges(const InputFilterData& filter)
{
    return std::min<std::int32_t>(filter.count, static_cast<std::int32_t>(filter.ranges.size()));
}

// Marks that compose with the unit before them into one user character.
// Without a Unicode library: the combining mark blocks, the kana voicing
// marks and their halfwidth forms.
bool IsComposingMark(char16_t unit)
{
    return (unit >= 0x0300 && unit <= 0x036F) || (unit >= 0x1AB0 && unit <= 0x1AFF) ||
           (unit >= 0x1DC0 && unit <= 0x1DFF) || (unit >= 0x20D0 && unit <= 0x20FF) ||
           (unit >= 0xFE20 && unit <= 0xFE2F) || unit == 0x3099 || unit == 0x309A || unit == 0xFF9E || unit == 0xFF9F;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Length of the sequence starting at text[at].
std::size_t SequenceLength(std::u16string_view text, std::size_t at)
{
    std::size_t end = at + 1;
    if (IsHighSurrogate(text[at]) && end < text.size() && IsLowSurrogate(text[end])) {
        ++end;
    }
    while (end < text.size() && IsComposingMark(text[end])) {
        ++end;
    }
    return end - at;
}

}  // namespace

bool ISByteValid(unsigned char byte, const InputFilterData& filter)
{
    const int used = UsedRanges(filter);
    for (int i = 0; i < used; ++i) {
        const auto low = static_cast<unsigned char>(filter.ranges[i].low & 0xFF);
        const auto high = static_cast<unsigned char>(filter.ranges[i].high & 0xFF);
        if (low <= byte && byte <= high) {
            return true;
        }
    }
    return false;
}

bool ISWordValid(char16_t unit, const InputFilterData& filter)
{
    const int used = UsedRanges(filter);
    for (int i = 0; i < used; ++i) {
        if (filter.ranges[i].low <= unit && unit <= filter.ranges[i].high) {
            return true;
        }
    }
    return false;
}

bool validateInput(std::u16string_view text, const TextEditFilterData& filter)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        const std::u16string_view sequence = text.substr(at, length);
        if (length == 1) {
            if (!ISWordValid(sequence[0], filter.wordFilter)) {
                return false;
            }
        } else {
            if (sequence.back() != 0xFF9E && sequence.back() != 0xFF9F) {
                return false;
            }
            for (std::size_t i = 0; i + 1 < length; ++i) {
                if (!ISWordValid(sequence[i], filter.wordFilter)) {
                    return false;
                }
            }
        }
        at += length;
    }
    return true;
}

bool validateInputForUTF8(std::u16string_view text, const TextEditFilterData& filter)
{
    return std::all_of(text.begin(), text.end(), [&](char16_t unit) { return ISWordValid(unit, filter.wordFilter); });
}

}  // namespace zlk::ppd
