// Text conversions into the printer language, byte-range validation and the
// document name that the job stream carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zlk::filter {

// Which bytes and two-byte words a printer-language text may hold. Words are
// two consecutive bytes read big-endian (first byte high). Bounds inclusive.
struct InputFilterData {
    int32_t byteRangeCount;
    int32_t byteRanges[10][2];
    int32_t wordRangeCount;
    int32_t wordRanges[10][2];
};

extern const InputFilterData docuNameValidateDataScale;
extern const InputFilterData docuNameValidateDataScaleForProduct02;
extern const InputFilterData docuNameValidateDataScaleForProduct03;
extern const InputFilterData docuNameValidateDataScaleForProduct03UTF8;

// UTF-8 to CP932, one UTF-16 unit at a time; units CP932 lacks are dropped,
// backslash and tilde stay single bytes. Writes at most size - 1 bytes plus
// a terminating zero and answers the length written. A source that is not
// UTF-8 gives "" and 0 and a message on standard error.
int ConvertUTF8ToEncoding(const char* src, char* dst, std::size_t size);

// The same walk for UTF-8 printers: the valid source cut to size - 1 bytes,
// never inside a character.
int ConvertUTF8ToEncodingForUTF8(const char* src, char* dst, std::size_t size);

// The first maxUnits UTF-16 units of a UTF-8 text, in UTF-8; a character
// that would be split (a surrogate pair) is left out. None when the text is
// not UTF-8.
std::optional<std::string> FirstUTF16Units(const char* text, std::size_t maxUnits);

// The text with every byte that is not part of a well-formed UTF-8
// character (common::Utf8CharLength decides), and every zero byte, left out.
std::string ValidUTF8Only(std::string_view text);

// The CP932 text without a lead byte that ends it unpaired: a printer
// reading Shift-JIS pairs would take it and the byte after the value (a
// closing quote) as one character.
std::string WithoutUnpairedLeadByte(std::string_view text);

// Whether the big-endian word at word[0..1] lies in a word range of table.
bool ISWordValid(const unsigned char* word, const InputFilterData& table);

// Whether text is made only of valid words and bytes of table.
bool ValidateDada(const char* text, const InputFilterData& table);

// The document-name texts of one job, each zero-terminated in 256 bytes.
struct DocumentNames {
    char StdDocumentName[256];
    char PTStdDocumentName[256];
    char PTStdDocumentNameForUTF8[256];
};

// Prepares all three names from the job title. productType is the integer
// option PrintTypeProductTypeTicketKey, std::nullopt when the option is missing.
void PrepareDocumentName(const char* title, bool utf8Printer, std::optional<int> productType, DocumentNames& names);

// The length limit of the product type (64 bytes for type 3, 12 for type 2,
// 32 otherwise, none when the type is missing): cuts StdDocumentName, fills
// PTStdDocumentName and PTStdDocumentNameForUTF8 and clears either when its
// table refuses it. Expects StdDocumentName (and, on UTF-8 printers,
// PTStdDocumentName) already converted from title.
void InvalidateStdDocumentNameForProductType(const char* title, bool utf8Printer, std::optional<int> productType,
                                             DocumentNames& names);

// UTF-8 printers: cuts PTStdDocumentName to the product type's character
// limit and clears it when its table refuses it.
void InvalidatePrintTypeDocumentNameForProductType(std::optional<int> productType, DocumentNames& names);

}  // namespace zlk::filter
