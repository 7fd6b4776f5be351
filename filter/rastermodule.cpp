#include "filter/rastermodule.h"

#include "filter/rasterstrips.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// A band of the page's bitmap is about this many bytes.
constexpr std::size_t kBandBytes = 2u << 20;

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RenderInto(poppler::document& document, const ZLKRasterPage& what, int fd)
{
    std::unique_ptr<poppler::page> page(document.create_page(what.index));
    if (!page || what.width <= 0 || what.height <= 0)
        return false;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_rgb24);
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    const std::size_t rowBytes = static_cast<std::size_t>(what.width) * 3;
    zlk::filter::StripEncoder encoder(
        what.width, what.height, what.splitRows != 0,
        [fd](const unsigned char* data, std::size_t size) { return WriteAll(fd, data, size); });
    const int bandRows = static_cast<int>(std::clamp<std::size_t>(kBandBytes / rowBytes, 1, what.height));
    const auto rotation = static_cast<poppler::rotation_enum>(((what.quarterTurns % 4) + 4) % 4);
    for (int top = 0; top < what.height; top += bandRows) {
        const int rows = std::min(bandRows, what.height - top);
        poppler::image band = renderer.render_page(page.get(), what.dpi, what.dpi, 0, top, what.width, rows, rotation);
        if (!band.is_valid() || band.format() != poppler::image::format_rgb24 || band.width() != what.width ||
            band.height() != rows || band.bytes_per_row() < static_cast<int>(rowBytes))
            return false;
        const auto* data = reinterpret_cast<const unsigned char*>(band.const_data());
        for (int row = 0; row < rows; ++row)
            if (!encoder.AddRow(data + static_cast<std::size_t>(row) * band.bytes_per_row()))
                return false;
    }
    return encoder.Finish();
}

// Draws a letter in a font no document carries on a page of eight points:
// poppler then reads the system's font configuration (a dozen files) here,
// once, rather than in every renderer forked from this process. The job's
// own pages are never drawn here: one of them may take minutes.
void ReadFontConfiguration()
{
    const std::string content = "BT /F 8 Tf 0 1 Td (x) Tj ET";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 8 8] /Resources << /Font << /F 4 0 R >> >> /Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::string xref = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
        xref += entry;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t start = pdf.size();
    pdf += xref + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(start) + "\n%%EOF\n";
    std::vector<char> bytes(pdf.begin(), pdf.end());
    std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(bytes.data(), bytes.size()));
    std::unique_ptr<poppler::page> page(document ? document->create_page(0) : nullptr);
    if (page)
        poppler::page_renderer().render_page(page.get(), 72, 72);
}

void* OpenDocument(const char* path)
{
    try {
        ReadFontConfiguration();
        std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path ? path : ""));
        return document && !document->is_locked() ? document.release() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

void CloseDocument(void* document)
{
    std::unique_ptr<poppler::document> owned(static_cast<poppler::document*>(document));
}

int RenderPage(void* document, const ZLKRasterPage* page, int fd)
{
    try {
        return document && page && RenderInto(*static_cast<poppler::document*>(document), *page, fd) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const ZLKRasterRendererTable* ZLKRasterRenderer()
{
    static const ZLKRasterRendererTable table = {OpenDocument, CloseDocument, RenderPage};
    return &table;
}
