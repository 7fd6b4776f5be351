#include <algorithm>
#include <exception>

#include "common/utf8.h"
#include "secblob/secblob.h"
#include "tools/inspect/inspect-private.h"

namespace zlk::inspect {

namespace {

using namespace internal;

// Walks the stream in its order (PJL header, ticket, PDF, trailer), filling
// the inspection as it goes; stops at the first violation and keeps it,
// with where it was found, in violation.
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
        if (!common::IsValidUtf8(twin.text))
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
        std::optional<Problem> xml = ReadTicketXml(s_, start, end, result_.ticket);
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
        const std::string problem = ReadPdf(s_.substr(start, trailer - start), result_);
        if (!problem.empty())
            return FailAtByte(problem + "; the PDF begins", start);
        pos_ = trailer + kUEL.size();
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

}  // namespace

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

}  // namespace zlk::inspect
