#include "filter/pdfdoc.h"

#include "filter/output.h"
#include "filter/signals.h"
#include "process.h"
#include "testpdf.h"

#include <gtest/gtest.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace zlk::filter;
using namespace zlk::test;

namespace {

constexpr const char* kCopies = "com.apple.print.PrintSettings.PMCopies..n.=";
constexpr const char* kTotal = " com.apple.print.PrintSettings.PMTotalSidesImaged..n.=";

// Renders at 36 dpi: half a pixel per point.
poppler::image Render(const std::string& path, int index)
{
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    std::unique_ptr<poppler::page> page(doc->create_page(index));
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_rgb24);
    return renderer.render_page(page.get(), 36, 36);
}

// Is the rendered page dark at (x, y) points from its lower left corner?
bool DarkAt(const poppler::image& image, double x, double y)
{
    int px = static_cast<int>(x / 2), py = image.height() - 1 - static_cast<int>(y / 2);
    auto* pixel = reinterpret_cast<const unsigned char*>(image.const_data()) + py * image.bytes_per_row() + px * 3;
    return pixel[0] < 128 && pixel[1] < 128 && pixel[2] < 128;
}

// Bounds of all dark pixels: left, top, right, bottom.
std::array<int, 4> DarkBounds(const poppler::image& image)
{
    std::array<int, 4> b{image.width(), image.height(), -1, -1};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            auto* p = reinterpret_cast<const unsigned char*>(image.const_data()) + y * image.bytes_per_row() + x * 3;
            if (p[0] < 128 && p[1] < 128 && p[2] < 128)
                b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
        }
    return b;
}

// Rewrites every page: content and media box moved by (dx, dy), optional crop box.
void ReshapePages(const std::string& path, double dx, double dy, const std::string& cropBox = "")
{
    QPDF pdf;
    pdf.processFile(path.c_str());
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        QPDFObjectHandle::Rectangle r = page.getKey("/MediaBox").getArrayAsRectangle();
        page.replaceKey("/MediaBox", QPDFObjectHandle::newArray(
                                         QPDFObjectHandle::Rectangle(r.llx + dx, r.lly + dy, r.urx + dx, r.ury + dy)));
        if (!cropBox.empty())
            page.replaceKey("/CropBox", QPDFObjectHandle::parse(cropBox));
        QPDFPageObjectHelper helper(page);
        helper.addPageContents(
            QPDFObjectHandle::newStream(&pdf, "q 1 0 0 1 " + std::to_string(dx) + " " + std::to_string(dy) + " cm\n"),
            true);
        helper.addPageContents(QPDFObjectHandle::newStream(&pdf, "\nQ\n"), false);
    }
    std::string temp = path + ".new";
    QPDFWriter(pdf, temp.c_str()).write();
    std::filesystem::rename(temp, path);
}

class PdfDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TMPDIR", spool.path().c_str(), 1);
        CancelJob = 0;
    }
    void TearDown() override
    {
        unsetenv("TMPDIR");
        CancelJob = 0;
    }

    std::string Input(const std::vector<PageSpec>& pages)
    {
        std::string path = inputs.file("in" + std::to_string(++inputCount) + ".pdf");
        WriteTestPdf(path, pages);
        return path;
    }
    std::string Input(int pageCount) { return Input(std::vector<PageSpec>(static_cast<size_t>(pageCount))); }

    // Opens path, decides with the options and re-renders; the path of a
    // copy of the new file, which itself has no name.
    std::string Rerender(const std::string& path, const std::string& options)
    {
        pdfDocInfo_init(path.c_str(), info);
        EXPECT_EQ(CheckIfNeedEdit(options.c_str(), "application/pdf", info), 1);
        zlk::common::UnnamedTempFile out;
        EXPECT_TRUE(PreProcess(info, out));
        // Made in the spooler's folder, and unlinked there at once.
        EXPECT_EQ(SpoolFiles(), 0u);
        char target[1024] = {};
        EXPECT_GT(readlink(out.path().c_str(), target, sizeof target - 1), 0) << out.path();
        const std::string made = target;
        EXPECT_EQ(made.rfind(spool.path() + "/", 0), 0u) << made;
        EXPECT_NE(made.find(" (deleted)"), std::string::npos) << made;
        const std::string copy = inputs.file("out" + std::to_string(++inputCount) + ".pdf");
        WriteFile(copy, ReadFile(out.path()));
        return copy;
    }

    size_t SpoolFiles() const
    {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(spool.path()), std::filesystem::directory_iterator()));
    }

    TempDir inputs, spool;
    int inputCount = 0;
    PDFDocInfo info;
};

TEST_F(PdfDocTest, InitOpensAndCountsOrReportsFailure)
{
    std::string good = Input(6);
    testing::internal::CaptureStderr();
    pdfDocInfo_init(good.c_str(), info);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(info.document);
    EXPECT_EQ(info.path, good);
    EXPECT_STREQ(info.keywordPrefix, "ZLK");
    EXPECT_EQ(info.pageCount, 6);
    EXPECT_EQ(info.lastPage, 6);
    EXPECT_EQ(info.pageStep, 1);
    EXPECT_EQ(info.rotation, 0);
    EXPECT_EQ(info.rasterMode, 0);

    std::string text = inputs.file("notpdf.pdf");
    WriteFile(text, "just some text\n");
    std::string truncated = inputs.file("truncated.pdf");
    std::string bytes = ReadFile(good);
    WriteFile(truncated, bytes.substr(0, bytes.size() / 3));
    std::string noPageTree = inputs.file("nopages.pdf");
    WriteFile(noPageTree,
              "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 7 >>\nendobj\n"
              "trailer\n<< /Root 1 0 R >>\n%%EOF\n");
    for (const std::string& bad : {text, truncated, noPageTree, inputs.file("missing.pdf")}) {
        info.rotation = 180;
        testing::internal::CaptureStderr();
        pdfDocInfo_init(bad.c_str(), info);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "CGPDFDocumentCreateWithURL error\n") << bad;
        EXPECT_FALSE(info.document) << bad;
        EXPECT_EQ(info.pageCount, 0) << bad;
        EXPECT_EQ(info.lastPage, 0) << bad;
        EXPECT_EQ(info.rotation, 0) << bad;
        EXPECT_EQ(info.path, bad);
    }
}

TEST_F(PdfDocTest, DecisionsFromOptions)
{
    struct Case {
        std::string options;
        const char* contentType;
        int answer, lastPage, pageStep, rotation, rasterMode;
    };
    const std::string three = std::string(kCopies) + "3" + kTotal + "6";
    const Case cases[] = {
        {three + " Collate=false", "application/pdf", 1, 6, 3, 0, 0},
        {three + " Collate=true", "application/pdf", 1, 2, 1, 0, 0},
        {three, "application/pdf", 1, 6, 1, 0, 0},
        {std::string(kTotal) + "6", "application/pdf", 0, 6, 1, 0, 0},
        {std::string(kCopies) + "1" + kTotal + "6", "application/pdf", 0, 6, 1, 0, 0},
        {std::string(kCopies) + "2" + kTotal + "7 page-set=odd", "application/pdf", 1, 4, 1, 0, 0},
        {std::string(kCopies) + "2" + kTotal + "7 page-set=even", "application/pdf", 1, 3, 1, 0, 0},
        // Enough sides for every page: no thinning, but the page-set cut stays.
        {std::string(kCopies) + "2" + kTotal + "14 page-set=odd", "application/pdf", 0, 7, 1, 0, 0},
        {std::string(kCopies) + "3 page-set=even", "application/postscript", 0, 9, 1, 0, 0},
        {std::string(kCopies) + "3 page-set=even", "application/pdf", 0, 6, 1, 0, 0},
        {std::string(kCopies) + "3 page-set=even", nullptr, 0, 6, 1, 0, 0},
        {"ZLKInputSlot=BypassTray ZLKMSILeadingEdge=LongEdgeR", "application/pdf", 1, 6, 1, 180, 0},
        {"ZLKInputSlot=BypassTray ZLKMSILeadingEdge=ShortEdgeR", "application/pdf", 1, 6, 1, 180, 0},
        {"ZLKInputSlot=BypassTray ZLKMSILeadingEdge=ShortEdge", "application/pdf", 0, 6, 1, 0, 0},
        {"ZLKInputSlot=Tray1 ZLKMSILeadingEdge=ShortEdgeR", "application/pdf", 0, 6, 1, 0, 0},
        {"ZLKTurnPage=true", "application/pdf", 1, 6, 1, 180, 0},
        {"ZLKTurnPage=false", "application/pdf", 0, 6, 1, 0, 0},
        {"ZLKInputSlot=BypassTray ZLKMSILeadingEdge=ShortEdgeR ZLKTurnPage=true", "application/pdf", 1, 6, 1, 360, 0},
        {"ZLKPDFRasterizedMode=true", "application/pdf", 1, 6, 1, 0, 1},
        {"InputSlot=BypassTray MSILeadingEdge=ShortEdgeR TurnPage=true PDFRasterizedMode=true", "application/pdf", 0, 6,
         1, 0, 0},
        {three + " Collate=false ZLKTurnPage=true ZLKPDFRasterizedMode=true", "application/pdf", 1, 6, 3, 180, 1},
        {"", "application/pdf", 0, 6, 1, 0, 0},
    };
    std::string path = Input(6);
    for (const Case& c : cases) {
        pdfDocInfo_init(path.c_str(), info);
        EXPECT_EQ(CheckIfNeedEdit(c.options.c_str(), c.contentType, info), c.answer) << c.options;
        EXPECT_EQ(info.lastPage, c.lastPage) << c.options;
        EXPECT_EQ(info.pageStep, c.pageStep) << c.options;
        EXPECT_EQ(info.rotation, c.rotation) << c.options;
        EXPECT_EQ(info.rasterMode, c.rasterMode) << c.options;
    }
}

TEST_F(PdfDocTest, ThinnedCopiesKeepTheChosenPages)
{
    std::string path = Input(6);
    std::string three = std::string(kCopies) + "3" + kTotal + "6";
    EXPECT_EQ(PdfPageTexts(Rerender(path, three + " Collate=false")), (std::vector<std::string>{"Page 1", "Page 4"}));
    EXPECT_EQ(PdfPageTexts(Rerender(path, three + " Collate=true")), (std::vector<std::string>{"Page 1", "Page 2"}));
    EXPECT_EQ(PdfPageTexts(Rerender(path, three)).size(), 6u);
}

TEST_F(PdfDocTest, HalfTurnMovesContentAboutThePageCentre)
{
    PDFDocInfo turned;
    turned.rotation = 180;
    EXPECT_EQ(setContextCTM(turned, {0, 0, 612, 792}), (PageMatrix{-1, 0, 0, -1, 612, 792}));
    EXPECT_EQ(setContextCTM(turned, {100, 200, 300.5, 400}), (PageMatrix{-1, 0, 0, -1, 500.5, 800}));
    turned.rotation = 540;
    EXPECT_EQ(setContextCTM(turned, {0, 0, 10, 10}), (PageMatrix{-1, 0, 0, -1, 10, 10}));
    turned.rotation = 360;
    EXPECT_EQ(setContextCTM(turned, {100, 200, 10, 10}), PageMatrix{});

    std::string path = Input(3);
    std::string out = Rerender(path, "ZLKTurnPage=true");
    EXPECT_EQ(PdfPageTexts(out), (std::vector<std::string>{"Page 1", "Page 2", "Page 3"}));
    for (int i = 0; i < 3; ++i) {
        poppler::image image = Render(out, i);
        EXPECT_TRUE(DarkAt(image, 612 - 46, 792 - 46)) << i;
        EXPECT_FALSE(DarkAt(image, 46, 46)) << i;
    }

    // Two turns cancel, but the document is still made anew.
    out = Rerender(path, "ZLKInputSlot=BypassTray ZLKMSILeadingEdge=ShortEdgeR ZLKTurnPage=true");
    EXPECT_NE(out, path);
    EXPECT_EQ(PdfPageTexts(out).size(), 3u);
    EXPECT_TRUE(DarkAt(Render(out, 0), 46, 46));
}

TEST_F(PdfDocTest, TurnedPageWithOffsetBoxesStaysVisible)
{
    std::string shifted = Input(1);
    ReshapePages(shifted, 100, 200);
    std::string out = Rerender(shifted, "ZLKTurnPage=true");
    poppler::image image = Render(out, 0);
    EXPECT_TRUE(DarkAt(image, 612 - 46, 792 - 46));
    EXPECT_FALSE(DarkAt(image, 46, 46));

    // A crop box showing the lower left quarter shows the same corner turned.
    std::string cropped = Input(1);
    ReshapePages(cropped, 0, 0, "[0 0 306 396]");
    image = Render(Rerender(cropped, "ZLKTurnPage=true"), 0);
    ASSERT_EQ(image.width(), 153);
    EXPECT_TRUE(DarkAt(image, 306 - 46, 396 - 46));
}

TEST_F(PdfDocTest, RasterModeMakesImagePages)
{
    std::string path = Input(2);
    long rendered = RasterPagesRendered();
    std::string out = Rerender(path, "ZLKPDFRasterizedMode=true");
    EXPECT_EQ(RasterPagesRendered() - rendered, 2);
    EXPECT_EQ(PdfPageTexts(out), (std::vector<std::string>{"", ""}));
    QPDF pdf;
    pdf.processFile(out.c_str());
    ASSERT_EQ(pdf.getAllPages().size(), 2u);
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        // Text and a black square: a palette image, its strips the page's rows.
        long long rows = 0;
        for (auto& [name, image] : page.getKey("/Resources").getKey("/XObject").getDictAsMap()) {
            EXPECT_EQ(image.getDict().getKey("/Width").getIntValue(), 2550) << name;
            rows += image.getDict().getKey("/Height").getIntValue();
            EXPECT_EQ(image.getDict().getKey("/ColorSpace").getArrayItem(0).getName(), "/Indexed") << name;
            EXPECT_EQ(image.getDict().getKey("/Filter").getName(), "/FlateDecode") << name;
        }
        EXPECT_EQ(rows, 3300);
    }
    EXPECT_TRUE(DarkAt(Render(out, 1), 46, 46));
    EXPECT_FALSE(DarkAt(Render(out, 1), 300, 400));
}

TEST_F(PdfDocTest, RasterModeTurnsAndKeepsPageGeometry)
{
    std::string out = Rerender(Input(3), "ZLKPDFRasterizedMode=true ZLKTurnPage=true");
    for (int i = 0; i < 3; ++i) {
        poppler::image image = Render(out, i);
        EXPECT_TRUE(DarkAt(image, 612 - 46, 792 - 46)) << i;
        EXPECT_FALSE(DarkAt(image, 46, 46)) << i;
    }

    // Pages shown rotated or cropped look the same as images.
    std::string source = Input({{612, 792, 90}, {612, 792, 270}});
    ReshapePages(source, 0, 0, "[0 0 306 500]");
    out = Rerender(source, "ZLKPDFRasterizedMode=true");
    for (int i = 0; i < 2; ++i) {
        poppler::image before = Render(source, i), after = Render(out, i);
        ASSERT_EQ(after.width(), before.width());
        ASSERT_EQ(after.height(), before.height());
        std::array<int, 4> a = DarkBounds(before), b = DarkBounds(after);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(b[k], a[k], 1) << i << " " << k;
    }
}

TEST_F(PdfDocTest, FailedRerenderingLeavesNoFile)
{
    std::string path = Input(6);
    zlk::common::UnnamedTempFile out;
    for (int raster : {0, 1}) {
        pdfDocInfo_init(path.c_str(), info);
        info.rasterMode = raster;
        info.lastPage = 7;
        EXPECT_FALSE(PreProcess(info, out));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(SpoolFiles(), 0u);

        pdfDocInfo_init(path.c_str(), info);
        info.rasterMode = raster;
        CancelJob = 1;
        EXPECT_FALSE(PreProcess(info, out));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(SpoolFiles(), 0u);
        CancelJob = 0;
    }

    // Thinning that would keep no page must not print an empty document:
    // the caller then prints the conversion output instead.
    pdfDocInfo_init(path.c_str(), info);
    info.lastPage = 0;
    EXPECT_FALSE(PreProcess(info, out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(SpoolFiles(), 0u);
}

TEST_F(PdfDocTest, WritePDFDataCopiesWholeFileAndDeletesIt)
{
    const char head[] = "%PDF-1.4\n\0binary\xff\n%%EOF";
    std::string data(head, sizeof head - 1);
    data += std::string(100000, 'x');  // more than one block, no final line end
    std::string path = inputs.file("print.pdf"), copyPath = inputs.file("copy.job"), stdoutPath = inputs.file("stdout");
    WriteFile(path, data);

    std::FILE* jobCopy = std::fopen(copyPath.c_str(), "wb");
    gJobFilefp = jobCopy;
    std::fflush(stdout);
    int saved = dup(1);
    int target = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(target, 1);
    close(target);
    bool written = WritePDFData(path.c_str());
    bool missing = WritePDFData(path.c_str());
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    gJobFilefp = nullptr;
    std::fclose(jobCopy);

    EXPECT_TRUE(written);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ReadFile(stdoutPath), data);
    EXPECT_EQ(ReadFile(copyPath), data);
}

// The filter's own files have no name: the copy reads an unnamed file from
// its first byte, wherever its descriptor stands.
TEST_F(PdfDocTest, WritePDFDataCopiesAnUnnamedFileWhole)
{
    std::string data = "%PDF-1.4\n" + std::string(200000, 'y') + "\n%%EOF";
    zlk::common::UnnamedTempFile file = zlk::common::NewUnnamedTempFile();
    ASSERT_TRUE(file);
    EXPECT_EQ(SpoolFiles(), 0u);
    ASSERT_TRUE(zlk::common::WriteAll(file.fd(), data));
    const std::string stdoutPath = inputs.file("stdout");
    std::fflush(stdout);
    int saved = dup(1);
    int target = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(target, 1);
    close(target);
    const bool written = WritePDFData(file);
    const bool none = WritePDFData(zlk::common::UnnamedTempFile());
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    EXPECT_TRUE(written);
    EXPECT_FALSE(none);
    EXPECT_EQ(ReadFile(stdoutPath), data);
}

}  // namespace

namespace {

struct Rgb {
    int width = 0, height = 0;
    std::string pixels;  // rows of RGB bytes, top first
};

// The first page of path as poppler's own command-line renderer draws it at 300 dpi.
Rgb PopplerAt300Dpi(const std::string& path, const TempDir& dir)
{
    RunOptions options;
    options.args = {"pdftoppm", "-r", "300", "-f", "1", "-l", "1", "-singlefile", path, dir.file("reference")};
    options.env = {{"PATH", "/usr/bin:/bin"}};
    RunResult run = RunProgram("/usr/bin/pdftoppm", options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string ppm = ReadFile(dir.file("reference.ppm"));
    Rgb image;
    int offset = 0;
    EXPECT_EQ(std::sscanf(ppm.c_str(), "P6 %d %d 255%n", &image.width, &image.height, &offset), 2);
    image.pixels = ppm.substr(static_cast<size_t>(offset) + 1);
    return image;
}

// A page with the test page's text and square and, across the middle, a
// band of more colours than a palette holds, placed on whole pixels at
// 300 dpi.
std::string PageWithColourBand(const std::string& path)
{
    WriteTestPdf(path, {PageSpec{144, 408}});
    QPDF pdf;
    pdf.processFile(path.c_str());
    std::string pixels;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 600; ++x)
            pixels += {static_cast<char>(x * 7 + y), static_cast<char>(y * 13), static_cast<char>(x + y * 3)};
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf, pixels);
    image.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    image.getDict().replaceKey("/Width", QPDFObjectHandle::newInteger(600));
    image.getDict().replaceKey("/Height", QPDFObjectHandle::newInteger(200));
    image.getDict().replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
    image.getDict().replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    QPDFPageObjectHelper page(pdf.getAllPages().at(0));
    page.getObjectHandle().getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::parse("<< >>"));
    page.getObjectHandle().getKey("/Resources").getKey("/XObject").replaceKey("/Band", image);
    page.addPageContents(QPDFObjectHandle::newStream(&pdf, "q 144 0 0 48 0 180 cm /Band Do Q\n"), false);
    const std::string written = path + ".new";
    QPDFWriter(pdf, written.c_str()).write();
    std::filesystem::rename(written, path);
    return path;
}

// The raw (compressed) image data of every page, as the renderers made it.
std::vector<std::string> RawPageImages(const std::string& path)
{
    QPDF pdf;
    pdf.processFile(path.c_str());
    std::vector<std::string> images;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        for (auto& [name, image] : page.getKey("/Resources").getKey("/XObject").getDictAsMap()) {
            std::shared_ptr<Buffer> data = image.getRawStreamData();
            images.emplace_back(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        }
    }
    return images;
}

}  // namespace

// Each image page shows what poppler draws for the source page (for a
// turned job: the source page shown turned), pixel for pixel: the page,
// rendered at 300 dpi from the printer's PDF, is the bitmap poppler drew,
// across the strips of palette and RGB rows it is cut into. The page is
// taller than one rendering band, so band seams show too.
TEST_F(PdfDocTest, RasterPagesShowWhatPopplerDrawsForTheSourcePage)
{
    struct Case {
        const char* options;
        bool turned;
        bool colourBand;
        size_t strips;
    };
    const std::vector<Case> cases = {
        {"ZLKPDFRasterizedMode=true", false, false, 1},
        {"ZLKPDFRasterizedMode=true ZLKTurnPage=true", true, false, 1},
        {"ZLKPDFRasterizedMode=true", false, true, 3},
        {"ZLKPDFRasterizedMode=true ZLKTurnPage=true", true, true, 3},
    };
    for (const Case& c : cases) {
        const std::string source =
            c.colourBand ? PageWithColourBand(inputs.file("band.pdf")) : Input({PageSpec{144, 408}});
        const std::string turnedSource = inputs.file("turned.pdf");
        {
            QPDF pdf;
            pdf.processFile(source.c_str());
            QPDFPageObjectHelper(pdf.getAllPages().at(0)).rotatePage(180, true);
            QPDFWriter(pdf, turnedSource.c_str()).write();
        }
        const Rgb reference = PopplerAt300Dpi(c.turned ? turnedSource : source, inputs);
        ASSERT_EQ(reference.width, 600);
        ASSERT_EQ(reference.height, 1700);
        ASSERT_EQ(reference.pixels.size(), 600u * 1700 * 3);
        const std::string out = Rerender(source, c.options);
        EXPECT_EQ(RawPageImages(out).size(), c.strips) << c.options;
        const Rgb ours = PopplerAt300Dpi(out, inputs);
        ASSERT_EQ(ours.width, reference.width) << c.options;
        ASSERT_EQ(ours.height, reference.height) << c.options;
        ASSERT_EQ(ours.pixels.size(), reference.pixels.size()) << c.options;
        size_t differ = 0, dark = 0;
        for (size_t at = 0; at < ours.pixels.size(); ++at) {
            differ += ours.pixels[at] != reference.pixels[at];
            dark += static_cast<unsigned char>(reference.pixels[at]) < 128;
        }
        EXPECT_EQ(differ, 0u) << c.options << (c.colourBand ? " with the colour band" : "");
        // The page is not blank: the comparison saw the square and the text.
        EXPECT_GT(dark, 3u * 100 * 100) << c.options;
    }
}

// Renderers run side by side; each page's bytes must not depend on how many.
TEST_F(PdfDocTest, RasterOutputIsTheSameWhateverTheNumberOfRenderers)
{
    const std::string source =
        Input({PageSpec{144, 200}, PageSpec{200, 144, 90}, PageSpec{100, 100}, PageSpec{144, 144}});
    std::vector<std::vector<std::string>> outputs;
    for (const char* renderers : {"1", "2", "3"}) {
        setenv("ZLK_RASTER_RENDERERS", renderers, 1);
        long rendered = RasterPagesRendered();
        outputs.push_back(RawPageImages(Rerender(source, "ZLKPDFRasterizedMode=true ZLKTurnPage=true")));
        EXPECT_EQ(RasterPagesRendered() - rendered, 4) << renderers;
    }
    unsetenv("ZLK_RASTER_RENDERERS");
    ASSERT_EQ(outputs[0].size(), 4u);
    EXPECT_TRUE(outputs[1] == outputs[0]);
    EXPECT_TRUE(outputs[2] == outputs[0]);
}
