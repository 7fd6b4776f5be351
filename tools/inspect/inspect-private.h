// What the parts of the inspector share: the stream's fixed texts and
// limits, text helpers for messages, and the readers of the ticket, the
// printer blobs and the PDF that the stream checker calls in turn. Not
// installed; only the inspector's own files include it.
//
// The inspector is an independent check of what the filter writes, so none
// of this calls the filter's writers or secblob's encryption: it reads the
// stream on its own, borrowing only secblob's Base64 decoder and the key
// identifiers this build knows.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/inspect/inspect.h"

namespace zlk::inspect::internal {

inline constexpr std::string_view kUEL = "\x1b%-12345X";
inline constexpr std::string_view kAttrPrefix = "@PJL SET JOBATTR=\"@";
inline constexpr std::string_view kJobInfoPrefix = "@PJL COMMENT PRINTJOBINFO ";
inline constexpr std::string_view kTicketEnd = "</PwgPrintJobTicket>\n";
inline constexpr std::string_view kTicketRoot = "PwgPrintJobTicket";
inline constexpr std::string_view kPdfMagic = "%PDF-";

// Line limits, the LF included, as the filter keeps them.
inline constexpr std::size_t kHeaderLineMax = 2047;
inline constexpr std::size_t kCommentLineMax = 254;
inline constexpr std::size_t kTicketLineMax = 254;

// ---- Text helpers

bool StartsWith(std::string_view text, std::string_view prefix);
bool IsDigits(std::string_view text);
// Two upper-case hex digits.
std::string HexByte(unsigned char byte);
// Text safe for a terminal: control characters, DEL, C1 controls and bytes
// that are not UTF-8 are shown escaped.
std::string Printable(std::string_view text);
// A short, printable quotation of found text for a message.
std::string Quote(std::string_view text);
// Upper-case hex of the SHA-256 of bytes; empty if OpenSSL fails.
std::string Sha256Hex(std::string_view bytes);
// CP932 bytes as UTF-8, or none when they are not CP932.
std::optional<std::string> Cp932ToUtf8(std::string_view bytes);

// A violation found by a reader: what, and the byte offset where.
struct Problem {
    std::string what;
    std::size_t at = 0;
};

// ---- Job ticket

// Checks that data[begin, end) is the well-formed XML a ticket writer
// produces and appends its elements in document order. Answers the first
// problem, or nothing.
std::optional<Problem> ReadTicketXml(std::string_view data, std::size_t begin, std::size_t end,
                                     std::vector<TicketElement>& elements);

// ---- Key-transport blobs

// Where the parts of a blob lie, once its lengths are checked.
struct BlobLayout {
    std::size_t wrappedLength = 0;  // the RSA output length of its key type
    std::size_t cipherOffset = 0;
    std::size_t cipherLength = 0;
};

// Checks the header and lengths; answers the reason it is not a blob the
// filter writes, or nothing.
std::optional<std::string> CheckBlobLayout(const std::vector<std::uint8_t>& blob, BlobLayout& layout);

// Unwraps the content key with the printer's private key and decrypts the
// data. Answers the data, or none with the reason in error.
std::optional<std::string> OpenBlob(const std::vector<std::uint8_t>& blob, const BlobLayout& layout, EVP_PKEY* key,
                                    std::string& error);

// ---- PDF

// Opens the PDF and fills the PDF facts of result (version, pages, the
// damage qpdf read past). Answers why it does not open, has no pages or has
// a page without a media box; an empty string when it is fine.
std::string ReadPdf(std::string_view bytes, Inspection& result);

}  // namespace zlk::inspect::internal
