#include "testpdf.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page-renderer.h>
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

namespace {

// Dark pixels in the lower left and the upper right quarter of a page.
std::pair<int, int> DarkQuarters(const poppler::image& image)
{
    std::pair<int, int> dark{0, 0};
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto* p =
                reinterpret_cast<const unsigned char*>(image.const_data()) + y * image.bytes_per_row() + x * 3;
            if (p[0] < 128 && p[1] < 128 && p[2] < 128) {
                // Image rows run top down.
                dark.first += x < w / 2 && y >= h / 2;
                dark.second += x >= w / 2 && y < h / 2;
            }
        }
    }
    return dark;
}

}  // namespace

std::vector<PageLook> LookAtPages(const std::string& path)
{
    const std::vector<std::string> texts = PdfPageTexts(path);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    QPDF pdf;
    pdf.processFile(path.c_str());
    const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    std::vector<PageLook> looks;
    for (int i = 0; i < doc->pages(); ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        poppler::page_renderer renderer;
        renderer.set_image_format(poppler::image::format_rgb24);
        const auto [lowerLeft, upperRight] = DarkQuarters(renderer.render_page(page.get(), 36, 36));
        PageLook look;
        look.markedAsWritten = lowerLeft > 0 && upperRight == 0;
        look.markedTurned = upperRight > 0 && lowerLeft == 0;
        look.text = !texts[static_cast<std::size_t>(i)].empty();
        QPDFPageObjectHelper(pages.at(static_cast<std::size_t>(i)))
            .forEachImage(true, [&](QPDFObjectHandle&, QPDFObjectHandle&, std::string const&) { look.image = true; });
        looks.push_back(look);
    }
    return looks;
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
