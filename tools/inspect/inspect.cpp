#include "tools/inspect/inspect.h"

#include <iconv.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <iterator>
#include <sstream>

#include "secblob/secblob.h"

namespace zlk::inspect {

namespace {

constexpr std::string_view kUEL = "\x1b%-12345X";
constexpr std::string_view kAttrPrefix = "@PJL SET JOBATTR=\"@";
constexpr std::string_view kJobInfoPrefix = "@PJL COMMENT PRINTJOBINFO ";
constexpr std::string_view kTicketEnd = "</PwgPrintJobTicket>\n";
constexpr std::string_view kTicketRoot = "PwgPrintJobTicket";
constexpr std::string_view kPdfMagic = "%PDF-";

// Line limits, the LF included, as the filter keeps them.
constexpr std::size_t kHeaderLineMax = 2047;
constexpr std::size_t kCommentLineMax = 254;
constexpr std::size_t kTicketLineMax = 254;
// Tickets nest a few levels; the bound keeps element paths of hostile
// input from growing with the square of its length.
constexpr std::size_t kTicketMaxDepth = 32;

constexpr std::size_t kBlobHeader = 80;
constexpr std::size_t kSecretLength = 32;
constexpr std::size_t kIvLength = 16;
constexpr std::size_t kAesBlock = 16;

// ---- Owners of OpenSSL and iconv handles --------------------------------

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct PKeyCtxFree {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
struct IconvClose {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, PKeyCtxFree>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;
using Iconv = std::unique_ptr<void, IconvClose>;

// Key material is wiped however the function that holds it returns.
template <std::size_t N>
struct Secret {
    unsigned char bytes[N] = {};
    ~Secret() { OPENSSL_cleanse(bytes, N); }
};

// ---- Text helpers --------------------------------------------------------

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Length of the well-formed UTF-8 character at text[at] and its code point;
// 0 for a stray, overlong, surrogate, out-of-range or cut sequence.
std::size_t Utf8Char(std::string_view text, std::size_t at, char32_t& cp)
{
    if (at >= text.size())
        return 0;
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t n;
    char32_t least;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        n = 2, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < n)
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto byte = static_cast<unsigned char>(text[at + k]);
        if ((byte & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool ValidUtf8(std::string_view text)
{
    char32_t cp = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = Utf8Char(text, at, cp);
        if (n == 0)
            return false;
        at += n;
    }
    return true;
}

std::string HexByte(unsigned char byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 15]};
}

// Text safe for a terminal: control characters, DEL, C1 controls and bytes
// that are not UTF-8 are shown escaped.
std::string Printable(std::string_view text)
{
    std::string shown;
    char32_t cp = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = Utf8Char(text, at, cp);
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

// A short quotation of found text for a message.
std::string Quote(std::string_view text)
{
    constexpr std::size_t kMax = 60;
    std::string shown = Printable(text.substr(0, kMax));
    return "\"" + shown + (text.size() > kMax ? "...\"" : "\"");
}

bool IsDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
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

// CP932 bytes as UTF-8, or none when they are not CP932.
std::optional<std::string> Cp932ToUtf8(std::string_view bytes)
{
    iconv_t raw = iconv_open("UTF-8", "CP932");
    if (raw == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    Iconv cd(raw);
    std::string in(bytes);
    std::string out(4 * in.size() + 4, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

uint32_t LittleEndian32(const std::vector<uint8_t>& bytes, std::size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// ---- Key-transport blobs -------------------------------------------------

// The layout of a blob whose lengths were checked.
struct BlobLayout {
    std::size_t wrappedLength = 0;  // the RSA output length of its key type
    std::size_t cipherOffset = 0;
    std::size_t cipherLength = 0;
};

// Checks the header and lengths; answers the reason it is not a blob the
// filter writes, or nothing.
std::optional<std::string> CheckBlobLayout(const std::vector<uint8_t>& blob, BlobLayout& layout)
{
    if (blob.size() < kBlobHeader)
        return "blob of " + std::to_string(blob.size()) + " bytes is shorter than its 80-byte header";
    if (blob[0] != 0x08 || blob[1] != 0x01)
        return std::string("blob does not start with the format marker 264");
    const uint32_t cipherLength = LittleEndian32(blob, 2);
    const uint32_t total = LittleEndian32(blob, 6);
    if (total != blob.size())
        return "blob says it is " + std::to_string(total) + " bytes long but holds " + std::to_string(blob.size());
    const int mode = blob[10];
    const int keyType = blob[11];
    if (mode != secblob::kAesModeCbc)
        return "blob uses AES mode " + std::to_string(mode) + "; printer blobs use mode 1 (CBC)";
    if (keyType != secblob::kKeyType2048 && keyType != secblob::kKeyType3072)
        return "blob has unknown key type " + std::to_string(keyType);
    if (blob[12] || blob[13] || blob[14] || blob[15])
        return std::string("blob bytes 12 to 15 are not zero");
    const uint8_t* keyId =
        keyType == secblob::kKeyType2048 ? secblob::pubkey2048_OFFICIAL_SHA256 : secblob::pubkey3072_OFFICIAL_SHA256;
    if (!std::equal(keyId, keyId + 32, blob.begin() + 16))
        return std::string("blob names a printer key this build does not know");
    layout.wrappedLength = keyType == secblob::kKeyType2048 ? 256 : 384;
    layout.cipherOffset = kBlobHeader + layout.wrappedLength + kIvLength;
    layout.cipherLength = cipherLength;
    if (static_cast<uint64_t>(layout.cipherOffset) + cipherLength != total)
        return "blob lengths do not add up: 80 + " + std::to_string(layout.wrappedLength) + " + 16 + " +
               std::to_string(cipherLength) + " is not " + std::to_string(total);
    if (cipherLength == 0 || cipherLength % kAesBlock != 0)
        return "blob ciphertext of " + std::to_string(cipherLength) + " bytes is not a whole number of AES blocks";
    return std::nullopt;
}

// Unwraps the content key with the printer's private key and decrypts the
// data. Answers the data, or the reason in error.
std::optional<std::string> OpenBlob(const std::vector<uint8_t>& blob, const BlobLayout& layout, EVP_PKEY* key,
                                    std::string& error)
{
    const int keySize = EVP_PKEY_get_size(key);
    if (keySize <= 0 || static_cast<std::size_t>(keySize) != layout.wrappedLength) {
        error = "the blob is for a " + std::to_string(layout.wrappedLength * 8) + "-bit key, the given key has " +
                std::to_string(EVP_PKEY_get_bits(key)) + " bits";
        return std::nullopt;
    }
    const uint8_t* salt = blob.data() + 48;
    const uint8_t* wrapped = blob.data() + kBlobHeader;
    const uint8_t* iv = wrapped + layout.wrappedLength;

    std::vector<unsigned char> unwrapped(layout.wrappedLength);
    std::size_t unwrappedLength = unwrapped.size();
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    const bool unwrappedOk =
        ctx && EVP_PKEY_decrypt_init(ctx.get()) == 1 &&
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) == 1 &&
        EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) == 1 &&
        EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) == 1 &&
        EVP_PKEY_decrypt(ctx.get(), unwrapped.data(), &unwrappedLength, wrapped, layout.wrappedLength) == 1;
    Secret<kSecretLength> secret;
    if (unwrappedOk && unwrappedLength == kSecretLength)
        std::memcpy(secret.bytes, unwrapped.data(), kSecretLength);
    OPENSSL_cleanse(unwrapped.data(), unwrapped.size());
    if (!unwrappedOk || unwrappedLength != kSecretLength) {
        ERR_clear_error();
        error = unwrappedOk ? "the unwrapped secret is not 32 bytes" : "RSA-OAEP unwrapping failed";
        return std::nullopt;
    }

    Secret<32> contentKey;
    std::size_t contentKeyLength = 0;
    if (!EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA256", nullptr, secret.bytes, kSecretLength, salt, 32, contentKey.bytes,
                   sizeof contentKey.bytes, &contentKeyLength) ||
        contentKeyLength != 32) {
        ERR_clear_error();
        error = "HMAC-SHA256 failed";
        return std::nullopt;
    }

    std::string plain(layout.cipherLength + kAesBlock, '\0');
    int written = 0, finalWritten = 0;
    CipherCtx cipher(EVP_CIPHER_CTX_new());
    const bool decrypted =
        cipher && EVP_DecryptInit_ex(cipher.get(), EVP_aes_256_cbc(), nullptr, contentKey.bytes, iv) == 1 &&
        EVP_DecryptUpdate(cipher.get(), reinterpret_cast<unsigned char*>(plain.data()), &written,
                          blob.data() + layout.cipherOffset, static_cast<int>(layout.cipherLength)) == 1 &&
        EVP_DecryptFinal_ex(cipher.get(), reinterpret_cast<unsigned char*>(plain.data()) + written, &finalWritten) == 1;
    if (!decrypted) {
        ERR_clear_error();
        OPENSSL_cleanse(plain.data(), plain.size());
        error = "AES-256-CBC decryption failed its padding check";
        return std::nullopt;
    }
    plain.resize(static_cast<std::size_t>(written + finalWritten));
    return plain;
}

// ---- Ticket XML ----------------------------------------------------------

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool IsXmlChar(char32_t cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct Problem {
    std::string what;
    std::size_t at = 0;
};

// Well-formedness of the XML the ticket writer produces: a declaration,
// then one element tree of start and end tags without attributes, text in
// UTF-8 with the predefined entities and character references, comments.
// DOCTYPE, CDATA and processing instructions have no place in a ticket.
class XmlChecker {
public:
    XmlChecker(std::string_view data, std::size_t begin, std::size_t end, std::vector<TicketElement>& elements)
        : data_(data),
          pos_(begin),
          end_(end),
          elements_(elements)
    {}

    std::optional<Problem> Check()
    {
        if (!Declaration() || !Misc())
            return problem_;
        if (AtEnd())
            return Fail("the job ticket has no root element", pos_);
        if (Peek() != '<')
            return Fail("text before the ticket's root element", pos_);
        if (!Content() || !Misc())
            return problem_;
        if (!AtEnd())
            return Fail("content after the ticket's root element", pos_);
        return std::nullopt;
    }

private:
    struct Open {
        std::string name;
        std::size_t at;
        std::size_t element;  // index into elements_
        std::string text;
        bool hasChildren = false;
    };

    bool AtEnd() const { return pos_ >= end_; }
    char Peek() const { return data_[pos_]; }
    bool Next(std::string_view text) const { return StartsWith(data_.substr(pos_, end_ - pos_), text); }

    std::optional<Problem> Fail(std::string what, std::size_t at)
    {
        if (!problem_)
            problem_ = Problem{std::move(what), at};
        return problem_;
    }
    bool Failed(std::string what, std::size_t at)
    {
        Fail(std::move(what), at);
        return false;
    }
    // The ticket stops before it is complete.
    bool Unfinished(const std::string& expected)
    {
        if (!stack_.empty())
            return Failed("the ticket ends with <" + stack_.back().name + "> (from byte " +
                              std::to_string(stack_.back().at) + ") still open, expecting " + expected,
                          end_);
        return Failed("the ticket ends before " + expected, end_);
    }

    void SkipSpace()
    {
        while (!AtEnd() && IsXmlSpace(Peek()))
            ++pos_;
    }

    bool Name(std::string& name)
    {
        const std::size_t start = pos_;
        if (AtEnd() || !IsNameStart(static_cast<unsigned char>(Peek())))
            return false;
        while (!AtEnd() && IsNameChar(static_cast<unsigned char>(Peek())))
            ++pos_;
        name.assign(data_.substr(start, pos_ - start));
        return ValidUtf8(name);
    }

    bool Declaration()
    {
        if (!Next("<?xml"))
            return Failed("the job ticket does not start with an XML declaration", pos_);
        if (pos_ + 5 >= end_)
            return Unfinished("the XML declaration");
        if (!IsXmlSpace(data_[pos_ + 5]))
            return Failed("the job ticket does not start with an XML declaration", pos_);
        const std::size_t start = pos_;
        pos_ += 5;
        bool first = true;
        for (;;) {
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the XML declaration");
            if (Next("?>")) {
                pos_ += 2;
                if (first)
                    return Failed("the XML declaration has no version", start);
                return true;
            }
            const std::size_t at = pos_;
            std::string name, value;
            if (Peek() == '?' && pos_ + 1 == end_)
                return Unfinished("the end of the XML declaration");
            if (!Name(name))
                return Failed("unexpected character in the XML declaration", at);
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the XML declaration");
            if (Peek() != '=')
                return Failed("XML declaration item " + name + " has no value", at);
            ++pos_;
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the XML declaration");
            if (Peek() != '"' && Peek() != '\'')
                return Failed("XML declaration item " + name + " is not quoted", at);
            const char quote = Peek();
            const std::size_t close = data_.substr(0, end_).find(quote, pos_ + 1);
            if (close == std::string_view::npos)
                return Unfinished("the end of the XML declaration");
            value.assign(data_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            if (first && name != "version")
                return Failed("the XML declaration does not begin with its version", at);
            if (name == "version") {
                if (!first || value.size() < 3 || value.substr(0, 2) != "1." || !IsDigits(value.substr(2)))
                    return Failed("XML version " + Quote(value) + " is not 1.x", at);
            } else if (name == "encoding") {
                std::string upper = value;
                for (char& c : upper)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (upper != "UTF-8")
                    return Failed("the ticket's encoding is " + Quote(value) + ", not UTF-8", at);
            } else if (name != "standalone" || (value != "yes" && value != "no")) {
                return Failed("unexpected XML declaration item " + name, at);
            }
            first = false;
        }
    }

    bool Comment()
    {
        const std::size_t close = data_.substr(0, end_).find("--", pos_ + 4);
        if (close == std::string_view::npos)
            return Unfinished("the end of a comment");
        if (close + 2 >= end_ || data_[close + 2] != '>')
            return Failed("\"--\" inside a comment", close);
        if (auto bad = CheckText(pos_ + 4, close))
            return Failed(bad->what, bad->at);
        pos_ = close + 3;
        return true;
    }

    // Markup that is allowed outside and inside the root: space and comments.
    bool Misc()
    {
        for (;;) {
            SkipSpace();
            if (AtEnd() || !Next("<!--"))
                return true;
            if (!Comment())
                return false;
        }
    }

    // Characters in [from, to): UTF-8, no C0 control other than TAB, LF
    // (and CR, which the line check reports), nothing XML excludes.
    std::optional<Problem> CheckText(std::size_t from, std::size_t to) const
    {
        char32_t cp = 0;
        for (std::size_t at = from; at < to;) {
            const std::size_t n = Utf8Char(data_.substr(0, to), at, cp);
            if (n == 0)
                return Problem{
                    "byte 0x" + HexByte(static_cast<unsigned char>(data_[at])) + " in the ticket is not UTF-8", at};
            if (!IsXmlChar(cp))
                return Problem{cp < 0x20
                                   ? "control character 0x" + HexByte(static_cast<unsigned char>(cp)) + " in the ticket"
                                   : "character U+" + HexByte(static_cast<unsigned char>(cp >> 8)) +
                                         HexByte(static_cast<unsigned char>(cp)) + " is not allowed in XML",
                               at};
            at += n;
        }
        return std::nullopt;
    }

    bool Reference(std::string& text)
    {
        const std::size_t start = pos_;
        const std::size_t semicolon = data_.substr(0, end_).find(';', pos_);
        // References are short; a far semicolon means none ends this one.
        if (semicolon == std::string_view::npos || semicolon - pos_ > 12) {
            if (semicolon == std::string_view::npos && end_ - pos_ <= 12)
                return Unfinished("the end of a reference");
            return Failed("\"&\" that starts no reference " + Quote(data_.substr(pos_, 12)), start);
        }
        const std::string_view body = data_.substr(pos_ + 1, semicolon - pos_ - 1);
        if (!body.empty() && body[0] == '#') {
            const bool hex = body.size() > 1 && body[1] == 'x';
            const std::string_view digits = body.substr(hex ? 2 : 1);
            char32_t cp = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                int value = -1;
                if (c >= '0' && c <= '9')
                    value = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    value = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    value = c - 'A' + 10;
                if (value < 0 || cp > 0x10FFFF) {
                    ok = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(value);
            }
            if (!ok || !IsXmlChar(cp))
                return Failed("bad character reference " + Quote(data_.substr(pos_, semicolon + 1 - pos_)), start);
            AppendUtf8(text, cp);
        } else {
            static constexpr std::pair<std::string_view, char> kEntities[] = {
                {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
            const auto* entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                              [&](const auto& e) { return e.first == body; });
            if (entity == std::end(kEntities))
                return Failed("unknown entity " + Quote(data_.substr(pos_, semicolon + 1 - pos_)), start);
            text += entity->second;
        }
        pos_ = semicolon + 1;
        return true;
    }

    bool StartTag()
    {
        const std::size_t start = pos_;
        ++pos_;
        std::string name;
        if (!Name(name))
            return AtEnd() ? Unfinished("an element name") : Failed("\"<\" that starts no element name", start);
        for (;;) {
            const std::size_t before = pos_;
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the tag <" + name + ">");
            if (Peek() == '>' || Next("/>")) {
                if (stack_.size() >= kTicketMaxDepth)
                    return Failed("elements nested deeper than " + std::to_string(kTicketMaxDepth) + " levels", start);
                const bool empty = Peek() == '/';
                pos_ += empty ? 2 : 1;
                std::string path = stack_.empty() ? name : elements_[stack_.back().element].path + "/" + name;
                if (!stack_.empty()) {
                    stack_.back().hasChildren = true;
                    elements_[stack_.back().element].leaf = false;
                }
                elements_.push_back(TicketElement{std::move(path), static_cast<int>(stack_.size()), true, {}, start});
                if (!empty)
                    stack_.push_back(Open{name, start, elements_.size() - 1, {}, false});
                return true;
            }
            if (IsNameStart(static_cast<unsigned char>(Peek())) && before != pos_)
                return Failed("element <" + name + "> has an attribute; ticket elements carry none", pos_);
            return Failed("unexpected " + Quote(data_.substr(pos_, 1)) + " in the tag <" + name + ">", pos_);
        }
    }

    bool EndTag()
    {
        const std::size_t start = pos_;
        pos_ += 2;
        std::string name;
        if (!Name(name))
            return AtEnd() ? Unfinished("an element name") : Failed("\"</\" that starts no element name", start);
        SkipSpace();
        if (AtEnd())
            return Unfinished("the end of the tag </" + name + ">");
        if (Peek() != '>')
            return Failed("unexpected " + Quote(data_.substr(pos_, 1)) + " in the end tag </" + name + ">", pos_);
        ++pos_;
        if (stack_.empty())
            return Failed("end tag </" + name + "> without a start tag", start);
        Open& open = stack_.back();
        if (open.name != name)
            return Failed("end tag </" + name + "> does not match the open <" + open.name + "> (from byte " +
                              std::to_string(open.at) + ")",
                          start);
        // Blank lines between a start and end tag are layout, not a value.
        const bool layout =
            open.text.find('\n') != std::string::npos && std::all_of(open.text.begin(), open.text.end(), IsXmlSpace);
        if (!open.hasChildren && !layout)
            elements_[open.element].value = std::move(open.text);
        stack_.pop_back();
        return true;
    }

    // The root element and everything in it.
    bool Content()
    {
        if (!StartTag())
            return false;
        while (!stack_.empty()) {
            if (AtEnd())
                return Unfinished("</" + stack_.back().name + ">");
            const char c = Peek();
            if (c == '<') {
                bool ok;
                if (Next("</"))
                    ok = EndTag();
                else if (Next("<!--"))
                    ok = Comment();
                else if (Next("<![CDATA["))
                    ok = Failed("CDATA section in the ticket; values are written as text", pos_);
                else if (Next("<!") || Next("<?"))
                    ok = Failed("declaration or processing instruction inside the ticket", pos_);
                else
                    ok = StartTag();
                if (!ok)
                    return false;
            } else if (c == '&') {
                if (!Reference(stack_.back().text))
                    return false;
            } else {
                const std::size_t stop = std::min(data_.substr(0, end_).find_first_of("<&", pos_), end_);
                const std::string_view run = data_.substr(pos_, stop - pos_);
                if (auto bad = CheckText(pos_, stop))
                    return Failed(bad->what, bad->at);
                const std::size_t cdataEnd = run.find("]]>");
                if (cdataEnd != std::string_view::npos)
                    return Failed("\"]]>\" in ticket text", pos_ + cdataEnd);
                stack_.back().text.append(run);
                pos_ = stop;
            }
        }
        return true;
    }

    std::string_view data_;
    std::size_t pos_;
    std::size_t end_;
    std::vector<TicketElement>& elements_;
    std::vector<Open> stack_;
    std::optional<Problem> problem_;
};

// ---- The stream ----------------------------------------------------------

class StreamChecker {
public:
    StreamChecker(std::string_view data, const PrinterKey* key, Inspection& result)
        : s_(data),
          key_(key),
          result_(result)
    {}

    bool Run() { return Header() && Ticket() && Pdf() && Trailer(); }

    std::string violation;

private:
    // "line N (byte B)" for an offset; the line counts LFs before it.
    std::string Where(std::size_t at) const
    {
        return "at line " + std::to_string(LineOf(at)) + " (byte " + std::to_string(std::min(at, s_.size())) + ")";
    }

    std::size_t LineOf(std::size_t at) const
    {
        at = std::min(at, s_.size());
        return static_cast<std::size_t>(std::count(s_.begin(), s_.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
    }

    bool Fail(const std::string& what, std::size_t at)
    {
        violation = what + " " + Where(at);
        return false;
    }
    bool FailAtByte(const std::string& what, std::size_t at)
    {
        violation = what + " at byte " + std::to_string(at);
        return false;
    }

    // The next LF-terminated line of a part of the stream.
    bool NextLine(const char* part, const std::string& expected, std::size_t limit, std::string_view& line,
                  std::size_t& start)
    {
        start = pos_;
        if (pos_ >= s_.size())
            return Fail(std::string("stream ends early in the ") + part + ": expected " + expected, pos_);
        const std::size_t lf = s_.find('\n', pos_);
        const std::size_t end = lf == std::string_view::npos ? s_.size() : lf;
        const std::size_t cr = s_.substr(pos_, end - pos_).find('\r');
        if (cr != std::string_view::npos)
            return Fail(std::string("carriage return (CR) in the ") + part + "; lines end with LF only", pos_ + cr);
        if (lf == std::string_view::npos)
            return Fail(std::string("stream ends early in the ") + part + " inside the line " + Quote(s_.substr(pos_)),
                        pos_);
        if (lf + 1 - pos_ > limit)
            return Fail(std::string("line of ") + std::to_string(lf + 1 - pos_) + " bytes in the " + part +
                            "; at most " + std::to_string(limit) + " are allowed",
                        pos_);
        line = s_.substr(pos_, lf - pos_);
        pos_ = lf + 1;
        return true;
    }

    bool ExpectLine(const char* part, std::size_t limit, std::string_view expected)
    {
        std::string_view line;
        std::size_t start;
        if (!NextLine(part, Quote(expected), limit, line, start))
            return false;
        if (line != expected)
            return Fail("expected " + Quote(expected) + ", found " + Quote(line), start);
        return true;
    }

    // ---- Header

    bool Header()
    {
        if (s_.empty()) {
            violation = "the stream is empty";
            return false;
        }
        if (!StartsWith(s_, kUEL)) {
            if (s_.size() < kUEL.size() && StartsWith(kUEL, s_))
                return FailAtByte("stream ends early inside the UEL", s_.size());
            return FailAtByte("no UEL (ESC %-12345X)", 0);
        }
        pos_ = kUEL.size();
        constexpr const char* kPart = "PJL header";
        if (!ExpectLine(kPart, kHeaderLineMax, "@PJL SET STRINGCODESET=CP932") ||
            !ExpectLine(kPart, kHeaderLineMax, "@PJL JOB MODE=PRINTER") ||
            !ExpectLine(kPart, kCommentLineMax, "@PJL COMMENT begin") ||
            !ExpectLine(kPart, kCommentLineMax, "@PJL COMMENT Version:4.00"))
            return false;
        if (!JobAttributes())
            return false;

        std::string_view line;
        std::size_t start;
        if (!NextLine(kPart, "\"@PJL SET RENDERMODE=...\"", kHeaderLineMax, line, start))
            return false;
        if (line == "@PJL SET RENDERMODE=COLOR" || line == "@PJL SET RENDERMODE=GRAYSCALE") {
            result_.renderMode = line.substr(line.find('=') + 1);
        } else {
            return Fail("expected \"@PJL SET RENDERMODE=COLOR|GRAYSCALE\", found " + Quote(line), start);
        }
        return ExpectLine(kPart, kHeaderLineMax, "@PJL ENTER LANGUAGE=PDF");
    }

    // Answers 1 when the next line is the attribute code, 0 when it is not
    // and the attribute is optional, -1 after a violation.
    int TakeAttribute(std::string_view code, bool required)
    {
        const std::size_t save = pos_;
        std::string_view line;
        std::size_t start;
        if (!NextLine("PJL header", "job attribute " + std::string(code), kHeaderLineMax, line, start))
            return -1;
        std::string_view found;
        if (StartsWith(line, kAttrPrefix)) {
            const std::string_view rest = line.substr(kAttrPrefix.size());
            if (rest.size() < 6 || rest[4] != '=' || rest.back() != '"' ||
                !std::all_of(rest.begin(), rest.begin() + 4, [](char c) { return c >= 'A' && c <= 'Z'; })) {
                Fail("malformed job attribute line " + Quote(line) + " (expected @CODE=value in double quotes)", start);
                return -1;
            }
            found = rest.substr(0, 4);
            if (found == code) {
                const std::string_view value = rest.substr(5, rest.size() - 6);
                for (std::size_t i = 0; i < value.size(); ++i) {
                    const auto byte = static_cast<unsigned char>(value[i]);
                    if (value[i] == '"' || (byte < 0x20 && byte != '\t') || byte == 0x7F) {
                        Fail(std::string(code) + " value holds the byte 0x" + HexByte(byte) +
                                 ", which attribute values never carry",
                             start + kAttrPrefix.size() + 5 + i);
                        return -1;
                    }
                }
                JobAttribute attribute;
                attribute.code = code;
                attribute.value = value;
                attribute.text = value;
                attribute.line = LineOf(start);
                result_.attributes.push_back(std::move(attribute));
                attributeAt_.push_back(start);
                return 1;
            }
        }
        if (!required) {
            pos_ = save;
            return 0;
        }
        Fail("expected job attribute " + std::string(code) + ", found " +
                 (found.empty() ? Quote(line) : "job attribute " + std::string(found)),
             start);
        return -1;
    }

    bool Take(std::string_view code) { return TakeAttribute(code, true) == 1; }

    // A twin carries the UTF-8 text, a TAB and the digest of the bytes of
    // its printer-language attribute.
    bool CheckTwin(std::string_view sourceCode)
    {
        const std::size_t at = attributeAt_.back();
        JobAttribute& twin = result_.attributes.back();
        const JobAttribute* found = result_.Attribute(sourceCode);
        if (!found)
            return Fail(twin.code + " without " + std::string(sourceCode), at);
        const JobAttribute& source = *found;
        const std::size_t tab = twin.value.rfind('\t');
        const std::string_view digest =
            tab == std::string::npos ? std::string_view() : std::string_view(twin.value).substr(tab + 1);
        auto upperHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
        if (digest.size() != 64 || !std::all_of(digest.begin(), digest.end(), upperHex))
            return Fail(twin.code + " must be its text, a TAB and 64 upper-case hex digits", at);
        twin.text = twin.value.substr(0, tab);
        if (!ValidUtf8(twin.text))
            return Fail(twin.code + " text is not valid UTF-8", at);
        if (digest != Sha256Hex(source.value))
            return Fail(twin.code + " digest does not match the SHA-256 of the " + source.code + " bytes", at);
        twin.digestChecked = true;
        return true;
    }

    // JOEP and ACEP: empty, or the Base64 text of a key-transport blob.
    bool CheckBlob()
    {
        const std::size_t at = attributeAt_.back();
        JobAttribute& attribute = result_.attributes.back();
        if (attribute.value.empty())
            return true;
        const auto blob = secblob::SecBlobEnc_Base64_Decode_Data(attribute.value.c_str());
        if (!blob)
            return Fail(attribute.code + " is not Base64 text", at);
        BlobLayout layout;
        if (auto bad = CheckBlobLayout(*blob, layout))
            return Fail(attribute.code + " " + *bad, at);
        attribute.blobSize = blob->size();
        if (key_ && key_->get()) {
            std::string reason;
            attribute.secret = OpenBlob(*blob, layout, key_->get(), reason);
            if (!attribute.secret)
                return Fail(attribute.code + " does not open with the given key (" + reason + ")", at);
        }
        return true;
    }

    bool JobAttributes()
    {
        if (!Take("CNAM") || !Take("UCNA") || !CheckTwin("CNAM") || !Take("JOAU") || !Take("UJAU") ||
            !CheckTwin("JOAU"))
            return false;
        int present = TakeAttribute("ACNA", false);
        if (present < 0 || (present == 1 && (!Take("UACN") || !CheckTwin("ACNA"))))
            return false;
        if (TakeAttribute("JOAD", false) < 0)
            return false;
        if (!Take("JOEP") || !CheckBlob() || !Take("DAID"))
            return false;
        present = TakeAttribute("ACID", false);
        if (present < 0 || (present == 1 && (!Take("UACI") || !CheckTwin("ACID") || !Take("ACEP") || !CheckBlob())))
            return false;
        if (!Take("NLPP"))
            return false;
        ReadablePrinterLanguage();
        return true;
    }

    // Printer-language values shown in UTF-8. ACNA is in the printer's own
    // encoding: UTF-8 printers get the same bytes as the twin's text.
    void ReadablePrinterLanguage()
    {
        const JobAttribute* uacn = result_.Attribute("UACN");
        for (JobAttribute& a : result_.attributes) {
            if (a.code != "CNAM" && a.code != "JOAU" && a.code != "ACNA" && a.code != "ACID")
                continue;
            if (a.code == "ACNA" && uacn && uacn->text == a.value)
                continue;
            if (auto utf8 = Cp932ToUtf8(a.value))
                a.text = *utf8;
            else
                a.text = "(not CP932: " + Printable(a.value) + ")";
        }
    }

    // ---- Ticket

    bool Ticket()
    {
        const std::size_t start = pos_;
        if (start >= s_.size())
            return Fail("stream ends early: expected the job ticket", start);
        const std::string_view declaration = "<?xml";
        if (!StartsWith(s_.substr(start), declaration)) {
            if (s_.size() - start < declaration.size() && StartsWith(declaration, s_.substr(start)))
                return Fail("stream ends early at the start of the job ticket", start);
            return Fail("expected the job ticket (\"<?xml\") after ENTER LANGUAGE, found " +
                            Quote(s_.substr(start, 20)),
                        start);
        }
        // The ticket ends with its root's end tag; when that is missing it
        // is judged up to the PDF, or the end of the data.
        std::size_t end = s_.find(kTicketEnd, start);
        if (end != std::string_view::npos)
            end += kTicketEnd.size();
        else
            end = std::min(s_.find(kPdfMagic, start), s_.size());
        const bool cut = end == s_.size() && !EndsWithTicketEnd(end);

        std::optional<Problem> problem = TicketLines(start, end);
        std::optional<Problem> xml = XmlChecker(s_, start, end, result_.ticket).Check();
        if (xml && (!problem || xml->at < problem->at))
            problem = std::move(xml);
        if (problem) {
            // A cut can also leave half a character or reference behind.
            if (cut && problem->at + 4 >= s_.size())
                return Fail("stream ends early in the job ticket: " + problem->what, problem->at);
            return Fail("job ticket is not well-formed: " + problem->what, problem->at);
        }
        if (result_.ticket.empty() || result_.ticket.front().path != kTicketRoot)
            return Fail("the ticket's root element is not <PwgPrintJobTicket>", start);
        if (!EndsWithTicketEnd(end)) {
            if (cut)
                return Fail("stream ends early in the job ticket: expected LF after its root element", end);
            return Fail("the job ticket does not end with \"</PwgPrintJobTicket>\" and LF", end);
        }
        pos_ = end;
        return TicketColour();
    }

    bool EndsWithTicketEnd(std::size_t end) const
    {
        return end >= kTicketEnd.size() && s_.substr(end - kTicketEnd.size(), kTicketEnd.size()) == kTicketEnd;
    }

    // Ticket lines: LF only, and short enough for the printer's reader.
    std::optional<Problem> TicketLines(std::size_t from, std::size_t to) const
    {
        for (std::size_t at = from; at < to;) {
            const std::size_t lf = std::min(s_.find('\n', at), to);
            const std::size_t cr = s_.substr(at, lf - at).find('\r');
            if (cr != std::string_view::npos)
                return Problem{"carriage return (CR) in the job ticket; lines end with LF only", at + cr};
            if (lf < to && lf + 1 - at > kTicketLineMax)
                return Problem{"line of " + std::to_string(lf + 1 - at) + " bytes; at most " +
                                   std::to_string(kTicketLineMax) + " are allowed",
                               at};
            at = lf + 1;
        }
        return std::nullopt;
    }

    const TicketElement* TicketValue(std::string_view path) const
    {
        for (const TicketElement& element : result_.ticket)
            if (element.path == path && element.leaf)
                return &element;
        return nullptr;
    }

    // The ticket's colour effect says what the header's render mode says.
    bool TicketColour()
    {
        const TicketElement* colour = TicketValue("PwgPrintJobTicket/DocumentProcessing/ColorEffectsType");
        if (!colour)
            return true;
        const bool grey = colour->value == "MonochromeGrayscale";
        if (grey != (result_.renderMode == "GRAYSCALE"))
            return Fail("ticket ColorEffectsType " + Quote(colour->value) +
                            " disagrees with the header's RENDERMODE=" + result_.renderMode,
                        colour->offset);
        return true;
    }

    // ---- PDF

    bool Pdf()
    {
        const std::size_t start = pos_;
        const std::string_view rest = s_.substr(start);
        if (!StartsWith(rest, kPdfMagic)) {
            if (rest.size() < kPdfMagic.size() && StartsWith(kPdfMagic, rest))
                return FailAtByte("stream ends early: expected the PDF (\"%PDF-\") after the job ticket", s_.size());
            return FailAtByte(
                "expected the PDF (\"%PDF-\") right after the job ticket, found " + Quote(rest.substr(0, 20)), start);
        }
        // The trailer's UEL is the last one: nothing after it holds another.
        const std::size_t trailer = s_.rfind(kUEL);
        if (trailer == std::string_view::npos || trailer < start + kPdfMagic.size())
            return FailAtByte("stream ends early in the PDF: no trailer UEL follows the PDF that begins", start);
        result_.pdfOffset = start;
        result_.pdfSize = trailer - start;
        if (!OpenPdf(s_.substr(start, trailer - start), start))
            return false;
        pos_ = trailer + kUEL.size();
        return true;
    }

    bool OpenPdf(std::string_view bytes, std::size_t at)
    {
        std::string problem;
        try {
            QPDF pdf;
            pdf.setSuppressWarnings(true);
            pdf.processMemoryFile("job stream PDF", bytes.data(), bytes.size());
            result_.pdfVersion = pdf.getPDFVersion();
            QPDFPageDocumentHelper document(pdf);
            for (QPDFPageObjectHelper& page : document.getAllPages()) {
                QPDFObjectHandle box = page.getMediaBox();
                if (!box.isRectangle()) {
                    problem = "page " + std::to_string(result_.pages.size() + 1) + " of the PDF has no media box";
                    break;
                }
                const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
                PdfPage shown;
                shown.width = std::fabs(r.urx - r.llx);
                shown.height = std::fabs(r.ury - r.lly);
                QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
                if (rotate.isInteger()) {
                    const long long degrees = rotate.getIntValue() % 360;
                    shown.rotate = static_cast<int>(degrees < 0 ? degrees + 360 : degrees);
                }
                result_.pages.push_back(shown);
            }
            result_.pdfWarnings = pdf.numWarnings();
        } catch (const std::exception& e) {
            problem = std::string("the PDF does not open: ") + e.what();
        } catch (...) {
            problem = "the PDF does not open";
        }
        if (problem.empty() && result_.pages.empty())
            problem = "the PDF has no pages";
        if (!problem.empty())
            return FailAtByte(problem + "; the PDF begins", at);
        return true;
    }

    // ---- Trailer

    // A job-info comment "@PJL COMMENT PRINTJOBINFO KEY=value".
    bool JobInfo(std::string_view key, std::string& value, std::size_t& start)
    {
        std::string_view line;
        const std::string head = std::string(kJobInfoPrefix) + std::string(key) + "=";
        if (!NextLine("trailer", Quote(head + "..."), kCommentLineMax, line, start))
            return false;
        if (!StartsWith(line, head))
            return Fail("expected \"" + head + "...\", found " + Quote(line), start);
        value = line.substr(head.size());
        return true;
    }

    bool Trailer()
    {
        constexpr const char* kPart = "trailer";
        const std::string info(kJobInfoPrefix);
        if (!ExpectLine(kPart, kCommentLineMax, info + "VERSION=1.3.0") ||
            !ExpectLine(kPart, kCommentLineMax, info + "BEGIN") ||
            !ExpectLine(kPart, kCommentLineMax, info + "PDLTYPE=PDL[PDF]:VERSION[0]"))
            return false;

        std::size_t at = 0;
        if (!JobInfo("PAGECOPIES", result_.pageCopies, at))
            return false;
        if (!IsDigits(result_.pageCopies))
            return Fail("PAGECOPIES " + Quote(result_.pageCopies) + " is not a number", at);
        if (!JobInfo("JOBCOPIES", result_.jobCopies, at))
            return false;
        if (!IsDigits(result_.jobCopies))
            return Fail("JOBCOPIES " + Quote(result_.jobCopies) + " is not a number", at);
        if (result_.pageCopies != "1" && result_.jobCopies != "1")
            return Fail("PAGECOPIES and JOBCOPIES are both above 1; one of them is always 1", at);
        const std::string& copies = result_.pageCopies != "1" ? result_.pageCopies : result_.jobCopies;
        if (const TicketElement* ticketCopies = TicketValue("PwgPrintJobTicket/DocumentProcessing/Copies");
            ticketCopies && ticketCopies->value != copies)
            return Fail("the trailer's " + copies + " copies disagree with the ticket's Copies " +
                            Quote(ticketCopies->value),
                        at);

        if (!JobInfo("DUPLEXTYPE", result_.duplex, at))
            return false;
        if (result_.duplex != "SIMPLEX" && result_.duplex != "DUPLEX" && result_.duplex != "TUMBLE")
            return Fail("DUPLEXTYPE " + Quote(result_.duplex) + " is not SIMPLEX, DUPLEX or TUMBLE", at);
        if (!JobInfo("COLORMODE", result_.colorMode, at))
            return false;
        if (result_.colorMode != "COLOR" && result_.colorMode != "GRAYSCALE")
            return Fail("COLORMODE " + Quote(result_.colorMode) + " is not COLOR or GRAYSCALE", at);
        if (result_.colorMode != result_.renderMode)
            return Fail("trailer COLORMODE=" + result_.colorMode +
                            " disagrees with the header's RENDERMODE=" + result_.renderMode,
                        at);
        if (!JobInfo("NUP", result_.numberUp, at))
            return false;
        const JobAttribute* nlpp = result_.Attribute("NLPP");
        if (nlpp && nlpp->value != result_.numberUp)
            return Fail("trailer NUP=" + Printable(result_.numberUp) +
                            " disagrees with the header's NLPP=" + Printable(nlpp->value),
                        at);

        if (!ExpectLine(kPart, kCommentLineMax, info + "PASSTHROUGH=OFF") ||
            !ExpectLine(kPart, kCommentLineMax, info + "END") || !ExpectLine(kPart, kCommentLineMax, "@PJL EOJ"))
            return false;
        if (pos_ != s_.size())
            return Fail(std::to_string(s_.size() - pos_) + " bytes follow \"@PJL EOJ\"; the stream ends there", pos_);
        return true;
    }

    std::string_view s_;
    const PrinterKey* key_;
    Inspection& result_;
    std::size_t pos_ = 0;
    std::vector<std::size_t> attributeAt_;  // where each attribute's line starts
};

// Encrypted keys are refused rather than prompting on the terminal.
int NoPassword(char*, int, int, void*) { return 0; }

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Number(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string shown = text;
    if (shown.find('.') != std::string::npos) {
        while (shown.back() == '0')
            shown.pop_back();
        if (shown.back() == '.')
            shown.pop_back();
    }
    return shown;
}

std::string Usage()
{
    return "usage: zlk-inspect [--key private.pem] [--quiet] stream-file|-\n"
           "Checks a printer job stream and describes it; --key opens its passwords.\n";
}

}  // namespace

std::optional<PrinterKey> PrinterKey::Load(const std::string& path, std::string& error)
{
    Bio bio(BIO_new_file(path.c_str(), "r"));
    if (!bio) {
        ERR_clear_error();
        error = std::string("cannot read: ") + std::strerror(errno ? errno : ENOENT);
        return std::nullopt;
    }
    EVP_PKEY* raw = PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassword, nullptr);
    ERR_clear_error();
    if (!raw) {
        error = "not an unencrypted PEM private key";
        return std::nullopt;
    }
    PrinterKey key;
    key.key_ = std::shared_ptr<evp_pkey_st>(raw, EVP_PKEY_free);
    if (!EVP_PKEY_is_a(raw, "RSA")) {
        error = "not an RSA private key";
        return std::nullopt;
    }
    return key;
}

const JobAttribute* Inspection::Attribute(std::string_view code) const
{
    for (const JobAttribute& attribute : attributes)
        if (attribute.code == code)
            return &attribute;
    return nullptr;
}

Inspection Inspect(std::string_view stream, const PrinterKey* key)
{
    Inspection result;
    result.size = stream.size();
    try {
        StreamChecker checker(stream, key, result);
        result.valid = checker.Run();
        result.violation = checker.violation;
    } catch (const std::exception& e) {
        result.valid = false;
        result.violation = std::string("inspection failed: ") + e.what();
    }
    return result;
}

std::string Report(const Inspection& inspection, const std::string& name)
{
    std::ostringstream out;
    out << "Job stream " << Printable(name) << ": " << inspection.size << " bytes, "
        << (inspection.valid ? "valid" : "INVALID: " + inspection.violation) << "\n";

    out << "\nJob attributes\n";
    for (const JobAttribute& a : inspection.attributes) {
        out << "  " << a.code << ": ";
        if (a.secret)
            out << Printable(*a.secret);
        else if (a.blobSize)
            out << "printer blob (" << a.blobSize << " bytes)";
        else if (a.text.empty())
            out << "(empty)";
        else
            out << Printable(a.text);
        if (a.digestChecked)
            out << "  (digest ok)";
        out << "\n";
    }
    out << "  RENDERMODE: " << inspection.renderMode << "\n";

    out << "\nJob ticket\n";
    for (const TicketElement& element : inspection.ticket) {
        out << std::string(2 * static_cast<std::size_t>(element.depth) + 2, ' ');
        out << element.path.substr(element.path.rfind('/') + 1);
        if (element.leaf)
            out << " = " << (element.value.empty() ? "(empty)" : Printable(element.value));
        out << "\n";
    }

    out << "\nPDF\n";
    out << "  " << inspection.pdfSize << " bytes from byte " << inspection.pdfOffset << ", version "
        << Printable(inspection.pdfVersion) << ", " << inspection.pages.size()
        << (inspection.pages.size() == 1 ? " page" : " pages");
    if (inspection.pdfWarnings)
        out << " (qpdf read past " << inspection.pdfWarnings << " damaged structures)";
    out << "\n";
    for (std::size_t i = 0; i < inspection.pages.size(); ++i) {
        const PdfPage& page = inspection.pages[i];
        out << "  page " << i + 1 << ": " << Number(page.width, 2) << " x " << Number(page.height, 2) << " pt ("
            << Number(page.width / 72 * 25.4, 1) << " x " << Number(page.height / 72 * 25.4, 1) << " mm)";
        if (page.rotate)
            out << ", rotated " << page.rotate;
        out << "\n";
    }

    out << "\nTrailer\n";
    out << "  page copies: " << Printable(inspection.pageCopies) << "\n";
    out << "  job copies: " << Printable(inspection.jobCopies) << "\n";
    out << "  duplex: " << inspection.duplex << "\n";
    out << "  colour: " << inspection.colorMode << "\n";
    out << "  N-up: " << Printable(inspection.numberUp) << "\n";
    return out.str();
}

namespace {

int Command(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> keyPath, file;
    bool quiet = false, optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsDone && arg == "--") {
            optionsDone = true;
        } else if (!optionsDone && (arg == "--help" || arg == "-h")) {
            out << Usage();
            return 0;
        } else if (!optionsDone && arg == "--quiet") {
            quiet = true;
        } else if (!optionsDone && arg == "--key") {
            if (i + 1 >= args.size()) {
                err << "zlk-inspect: --key needs a file\n" << Usage();
                return 2;
            }
            keyPath = args[++i];
        } else if (!optionsDone && arg.rfind("--key=", 0) == 0) {
            keyPath = arg.substr(6);
        } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
            err << "zlk-inspect: unknown option " << arg << "\n" << Usage();
            return 2;
        } else if (file) {
            err << "zlk-inspect: one stream at a time\n" << Usage();
            return 2;
        } else {
            file = arg;
        }
    }
    if (!file) {
        err << Usage();
        return 2;
    }

    std::optional<PrinterKey> key;
    if (keyPath) {
        std::string error;
        key = PrinterKey::Load(*keyPath, error);
        if (!key) {
            err << "zlk-inspect: " << *keyPath << ": " << error << "\n";
            return 2;
        }
    }

    std::string data;
    const std::string name = *file == "-" ? "standard input" : *file;
    if (*file == "-") {
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            data.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (in.bad()) {
            err << "zlk-inspect: " << name << ": cannot read\n";
            return 2;
        }
    } else {
        std::unique_ptr<std::FILE, FileClose> f(std::fopen(file->c_str(), "rb"));
        if (!f) {
            err << "zlk-inspect: " << name << ": cannot read: " << std::strerror(errno) << "\n";
            return 2;
        }
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
            data.append(buffer, n);
        if (std::ferror(f.get())) {
            err << "zlk-inspect: " << name << ": cannot read: " << std::strerror(errno) << "\n";
            return 2;
        }
    }

    const Inspection inspection = Inspect(data, key ? &*key : nullptr);
    if (!inspection.valid) {
        err << "zlk-inspect: " << name << ": invalid job stream: " << inspection.violation << "\n";
        return 1;
    }
    if (!quiet)
        out << Report(inspection, name);
    return 0;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    try {
        return Command(args, in, out, err);
    } catch (const std::exception& e) {
        err << "zlk-inspect: " << e.what() << "\n";
        return 2;
    }
}

}  // namespace zlk::inspect
