#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>
#include <exception>

#include "tools/inspect/inspect-private.h"

namespace zlk::inspect::internal {

std::string ReadPdf(std::string_view bytes, Inspection& result)
{
    std::string problem;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("job stream PDF", bytes.data(), bytes.size());
        result.pdfVersion = pdf.getPDFVersion();
        QPDFPageDocumentHelper document(pdf);
        for (QPDFPageObjectHelper& page : document.getAllPages()) {
            QPDFObjectHandle box = page.getMediaBox();
            if (!box.isRectangle()) {
                problem = "page " + std::to_string(result.pages.size() + 1) + " of the PDF has no media box";
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
            result.pages.push_back(shown);
        }
        result.pdfWarnings = pdf.numWarnings();
    } catch (const std::exception& e) {
        problem = std::string("the PDF does not open: ") + e.what();
    } catch (...) {
        problem = "the PDF does not open";
    }
    if (problem.empty() && result.pages.empty())
        problem = "the PDF has no pages";
    return problem;
}

}  // namespace zlk::inspect::internal
