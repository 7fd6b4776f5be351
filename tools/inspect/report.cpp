#include <cstdio>
#include <sstream>

#include "tools/inspect/inspect-private.h"

namespace zlk::inspect {

using internal::Printable;

namespace {

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

}  // namespace

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

}  // namespace zlk::inspect
