// Counting, splitting and converting the short texts and numbers that the
// dialog controls hold. Widths are display widths: a character that is
// narrow on the printer's panel counts 1, any other 2.
#pragma once

#include <string>
#include <string_view>

namespace zlk::ppd {

// The decimal digits of a positive value as they would sit right-aligned in
// a buffer of size bytes (the last byte is the terminator), so at most
// size - 1 of the lowest digits. Zero and negative values give "".
std::string itoa(int value, std::size_t size);

// Decodes the slash-decimal ticket form in place: "/49/44/50" becomes "1,2".
// Each number is the value of one byte; 256 or more gives a zero byte,
// which ends the text. Text not beginning with "/" is left alone.
// The print filter has its own copy on purpose: the deliverables share no
// code but the encryption library.
void numstrtochar(std::string& text);

// Width: 1 per UTF-16 unit below U+0080, else 2.
int GetStringLength(std::u16string_view text);

// Width of a UTF-8 text: 1 per UTF-16 unit below U+0100, else 2. 0 for a
// null, empty or malformed text. For ASCII this is the byte count, which is
// why the framework uses it as the length of a value it encrypts.
int GetUTF8StringLength(const char* utf8);

// Copies text without its U+0020 spaces into out; the number copied.
int RemoveAllSpaces(std::u16string_view text, std::u16string& out);

// Every character is U+0020 or U+3000; true for the empty text.
bool IsAllSpace(std::u16string_view text);

// The number of "."; the 1-based position of the first "." (length + 1
// when there is none).
int GetStringPointCount(std::u16string_view text);
int GetStringPointIndex(std::u16string_view text);

// The number of characters of value printed with %d, sign included.
int GetIntegerLength(int value);

// Tenths as a decimal with one fractional digit (5 → "0.5", 123 → "12.3"),
// cut to fit a buffer of size bytes with its terminator.
std::string ConvertIntToFloatStr(int tenths, std::size_t size);

// Sort comparator by integer value: -1, 0 or 1. Strings are read as the C
// library reads a leading integer.
int numCompare(long long a, long long b);
int numCompare(std::string_view a, std::string_view b);

// A copy cut to 255 bytes without splitting a character.
std::string NSStringCreateWithCFString(std::string_view text);

// Part 0 (before the first "-") or part 1 (after it) of a vendor attribute
// value such as Default00-Type02, at most 254 bytes. Without "-" the whole
// value is part 0 and part 1 is empty. Other parts and a null value give "".
std::string GetAppResourceName(const char* value, int part);

// mode 0: prefix0 + name, mode 1: prefix1 + name, otherwise name.
std::string GetAppFullResourceName(std::string_view name, int mode, std::string_view prefix0, std::string_view prefix1);

}  // namespace zlk::ppd
