#include "benchpdf.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace zlk::bench {

void WriteOfficePdf(const std::string& path, int pageCount)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper doc(pdf);
    for (int i = 0; i < pageCount; ++i) {
        std::ostringstream content;
        content << "0.2 0.2 0.6 rg 72 720 468 30 re f\n0 0 0 RG 1 w\n";
        for (int line = 0; line < 40; ++line) {
            int y = 690 - line * 15;
            content << "BT /F1 10 Tf 72 " << y << " Td (Page " << (i + 1) << ", line " << (line + 1)
                    << ": the quick brown fox jumps over the lazy dog 0123456789) Tj ET\n";
            if (line % 5 == 4)
                content << "72 " << (y - 4) << " m 540 " << (y - 4) << " l S\n";
        }
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            &pdf, "<< /Type /Page /MediaBox [0 0 612 792] /Resources << /Font << /F1 " + font.unparse() + " >> >> >>"));
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content.str()));
        doc.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
}

}  // namespace zlk::bench
