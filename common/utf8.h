// The one UTF-8 decoder of each deliverable. Everything that needs to know
// where a character ends, or whether a text is well-formed, asks here, so
// that a filter, a dialog and a tool never disagree about the same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlk::common {

// Length in bytes of the well-formed UTF-8 character at text[at], storing its
// code point in *codePoint when given. 0 for a stray or cut sequence, an
// overlong form, a surrogate, a value above U+10FFFF, or at >= text.size().
std::size_t Utf8CharLength(std::string_view text, std::size_t at, char32_t* codePoint = nullptr);

// Whether every byte of text belongs to a well-formed character.
bool IsValidUtf8(std::string_view text);

// The longest prefix of text of at most maxBytes bytes that does not end
// inside a character (only the cut point is looked at, not the text before).
std::size_t Utf8SafeLength(std::string_view text, std::size_t maxBytes);

// Appends the UTF-8 form of a code point (the caller passes a valid one).
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace zlk::common
