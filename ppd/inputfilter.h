// Character-range tables that decide which characters a text field may
// hold, and the checks the text fields run on every edit.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zlk::ppd {

struct InputFilterRange {
    std::int32_t low;
    std::int32_t high;  // inclusive
};

// The first count ranges are in use (1..20).
struct InputFilterData {
    std::int32_t count;
    std::array<InputFilterRange, 20> ranges;
};
static_assert(sizeof(InputFilterData) == 164, "panels declare these tables as fixed records");

// The byte filter, the UTF-16 filter, and the localization key of the
// message shown when a value is refused.
struct TextEditFilterData {
    InputFilterData byteFilter;
    InputFilterData wordFilter;
    const char* messageKey;
};

// The byte lies in one of the ranges (compared with the bounds' low bytes).
// False for a count below 1.
bool ISByteValid(unsigned char byte, const InputFilterData& filter);

// The UTF-16 unit lies in one of the ranges. False for a count below 1.
bool ISWordValid(char16_t unit, const InputFilterData& filter);

// Judged per composed character sequence: a single unit must pass the word
// filter; a longer sequence passes only when it ends with a halfwidth voiced
// or semi-voiced sound mark (U+FF9E, U+FF9F) and its other units pass.
// Combining accents and surrogate pairs refuse the text. Empty → true.
bool validateInput(std::u16string_view text, const TextEditFilterData& filter);

// Every UTF-16 unit passes the word filter. Empty → true.
bool validateInputForUTF8(std::u16string_view text, const TextEditFilterData& filter);

}  // namespace zlk::ppd
