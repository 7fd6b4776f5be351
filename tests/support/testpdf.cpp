#include "testpdf.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace zlk::test {

void WriteTestPdf(const std::string& path, const std::vector<PageSpec>& pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper doc(pdf);
    for (size_t i = 0; i < pages.size(); ++i) {
        const PageSpec& spec = pages[i];
        std::ostringstream content;
        content << "BT /F1 24 Tf 72 100 Td (Page " << (i + 1) << ") Tj ET\n"
                << "0 0 0 rg 36 36 20 20 re f\n";
        QPDFObjectHandle page = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + std::to_string(spec.width) + " " +
                                    std::to_string(spec.height) + "] /Resources << /Font << >> >> >>"));
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content.str()));
        if (spec.rotate)
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
        doc.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.setStaticID(true);
    writer.write();
}

void WriteTestPdf(const std::string& path, int pageCount)
{
    WriteTestPdf(path, std::vector<PageSpec>(static_cast<size_t>(pageCount)));
}

std::vector<std::string> PdfPageTexts(const std::string& path)
{
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc)
        throw std::runtime_error("not a PDF: " + path);
    std::vector<std::string> texts;
    for (int i = 0; i < doc->pages(); ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        poppler::byte_array bytes = page->text().to_utf8();
        std::string text(bytes.begin(), bytes.end());
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\f'))
            text.pop_back();
        texts.push_back(text);
    }
    return texts;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zlktest.XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace zlk::test
