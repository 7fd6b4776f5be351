// Texts joined at compile time: a fixed prefix and a name become one
// zero-terminated text of static storage, so that static tables can hold
// plain pointers to whole keys while each prefix is written in one place.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

namespace zlk::common {

// A text as a template argument.
template <std::size_t N>
struct FixedText {
    constexpr FixedText(const char (&from)[N]) { std::copy_n(from, N, text); }
    char text[N];
};

// Prefix followed by Name, zero-terminated.
template <FixedText Prefix, FixedText Name>
inline constexpr auto kJoinedText = [] {
    constexpr std::size_t prefixLength = sizeof Prefix.text - 1;
    std::array<char, prefixLength + sizeof Name.text> joined{};
    std::copy_n(Prefix.text, prefixLength, joined.begin());
    std::copy_n(Name.text, sizeof Name.text, joined.begin() + prefixLength);
    return joined;
}();

}  // namespace zlk::common
