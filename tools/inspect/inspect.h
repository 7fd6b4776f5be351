// Job stream inspector: reads a whole printer job stream as the filter
// writes it, checks its grammar, digests, key-transport blobs and the
// facts that header, ticket and trailer repeat, and describes it.
//
// Support staff run it on kept job copies; tests run it on the filter's
// output. Nothing here throws or trusts the input: every read is bounds
// checked, so any byte sequence gives either a report or one violation.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct evp_pkey_st;

namespace zlk::inspect {

// The printer's RSA private key, which opens the passwords a stream carries.
class PrinterKey {
public:
    // Reads a PEM private key; none (with the reason in error) when the
    // file is unreadable, encrypted or not an RSA key.
    static std::optional<PrinterKey> Load(const std::string& path, std::string& error);
    evp_pkey_st* get() const { return key_.get(); }

private:
    std::shared_ptr<evp_pkey_st> key_;
};

struct JobAttribute {
    std::string code;  // CNAM, UCNA, ...
    std::string value;  // the bytes between "=" and the closing quote
    std::size_t line = 0;  // line number in the stream, from 1
    std::string text;  // readable form: CP932 converted to UTF-8, a twin's text before its TAB
    bool digestChecked = false;  // a twin whose digest matched its printer-language attribute
    std::size_t blobSize = 0;  // JOEP/ACEP: bytes of the decoded key-transport blob
    std::optional<std::string> secret;  // JOEP/ACEP opened with the printer key
};

struct TicketElement {
    std::string path;  // element names from the root, joined by "/"
    int depth = 0;  // 0 for the root
    bool leaf = true;  // has no child elements
    std::string value;  // a leaf's text with references replaced
    std::size_t offset = 0;  // byte offset of its start tag in the stream
};

struct PdfPage {
    double width = 0;  // media box, points
    double height = 0;
    int rotate = 0;  // the page's /Rotate, normalised to 0..359
};

struct Inspection {
    bool valid = false;
    std::string violation;  // the first violation: what, and where

    std::size_t size = 0;
    std::vector<JobAttribute> attributes;
    std::string renderMode;
    std::vector<TicketElement> ticket;
    std::size_t pdfOffset = 0;
    std::size_t pdfSize = 0;
    std::string pdfVersion;
    std::size_t pdfWarnings = 0;  // problems qpdf read past
    std::vector<PdfPage> pages;
    std::string pageCopies, jobCopies, duplex, colorMode, numberUp;

    const JobAttribute* Attribute(std::string_view code) const;
};

// Checks the stream in order and stops at the first violation. With a key,
// the printer blobs must open with it.
Inspection Inspect(std::string_view stream, const PrinterKey* key = nullptr);

// Readable description of a valid stream.
std::string Report(const Inspection& inspection, const std::string& name);

// The command line: zlk-inspect [--key private.pem] [--quiet] stream-file|-
// Answers the exit status: 0 valid, 1 invalid stream, 2 usage or read error.
int RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace zlk::inspect
