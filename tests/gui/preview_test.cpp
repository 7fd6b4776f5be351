// The print preview: which page lands where on which sheet side, and where
// the staples and punch holes show, checked by sampling the images.
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <sstream>

#include "host/gui/preview.h"
#include "testpdf.h"

namespace zlk::host::gui {
namespace {

namespace fs = std::filesystem;
using Options = std::vector<PreviewOption>;

constexpr double kMm = 72.0 / 25.4;
const QSizeF kA4{595.28, 841.89};

// Page n (from 1) is filled with kColours[n - 1] and carries its number.
const QColor kColours[] = {{242, 115, 115}, {115, 217, 115}, {115, 140, 242}, {242, 217, 89},
                           {217, 115, 230}, {102, 217, 217}, {242, 166, 77},  {166, 166, 166}};

void WriteColouredPdf(const std::string& path, int pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>"));
    QPDFPageDocumentHelper doc(pdf);
    for (int i = 0; i < pages; ++i) {
        const QColor c = kColours[i % 8];
        std::ostringstream content;
        content << c.redF() << " " << c.greenF() << " " << c.blueF() << " rg 0 0 595.28 841.89 re f "
                << "0 g BT /F1 200 Tf 60 560 Td (" << i + 1 << ") Tj ET\n";
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 595.28 841.89] /Resources << /Font << /F1 null >> >> >>"));
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content.str()));
        doc.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
}

// The page whose colour fills the image around (fx, fy) (fractions of the
// image); 0 for white paper, -1 for anything else.
int PageAt(const QImage& image, double fx, double fy)
{
    const QColor c = image.pixelColor(static_cast<int>(fx * image.width()), static_cast<int>(fy * image.height()));
    if (c.red() > 245 && c.green() > 245 && c.blue() > 245) {
        return 0;
    }
    for (int n = 1; n <= 8; ++n) {
        const QColor& k = kColours[n - 1];
        if (std::abs(c.red() - k.red()) + std::abs(c.green() - k.green()) + std::abs(c.blue() - k.blue()) < 30) {
            return n;
        }
    }
    return -1;
}

bool Dark(QRgb p) { return qGray(p) < 70; }

// Dark pixels within 2.5 mm of the point given in mm from the top left.
int DarkNear(const QImage& image, QSizeF sheetPoints, QPointF mm)
{
    const double pxPerMm = image.width() / (sheetPoints.width() / kMm);
    const QPoint c(static_cast<int>(mm.x() * pxPerMm), static_cast<int>(mm.y() * pxPerMm));
    const int r = static_cast<int>(2.5 * pxPerMm);
    int dark = 0;
    for (int y = std::max(0, c.y() - r); y <= std::min(image.height() - 1, c.y() + r); ++y) {
        for (int x = std::max(0, c.x() - r); x <= std::min(image.width() - 1, c.x() + r); ++x) {
            dark += Dark(image.pixel(x, y));
        }
    }
    return dark;
}

int DarkPixels(const QImage& image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            dark += Dark(image.pixel(x, y));
        }
    }
    return dark;
}

fs::path Screenshot(const QImage& image, const std::string& name)
{
    const fs::path folder = fs::path(ZLK_BUILD_DIR) / "screens";
    fs::create_directories(folder);
    std::string file = "preview-" + name;
    for (char& c : file) {
        c = std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    }
    const fs::path path = folder / (file + ".png");
    image.save(QString::fromStdString(path.string()), "PNG");
    return path;
}

// Collects what an engine delivers, by request.
class Delivered {
public:
    PreviewEngine::Done Sink()
    {
        return [this](std::uint64_t request, std::shared_ptr<const PreviewImages> images) {
            std::lock_guard lock(mutex_);
            results_[request] = std::move(images);
            arrived_.notify_all();
        };
    }
    std::shared_ptr<const PreviewImages> Wait(std::uint64_t request)
    {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(30), [&] { return results_.count(request) > 0; });
        return results_.count(request) ? results_[request] : nullptr;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::map<std::uint64_t, std::shared_ptr<const PreviewImages>> results_;
};

// "NAME=VALUE NAME=VALUE" as job options.
Options Parse(const std::string& text)
{
    Options options;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        options.emplace_back(word.substr(0, word.find('=')), word.substr(word.find('=') + 1));
    }
    return options;
}

struct PlacementCase {
    std::string options;
    int columns, rows;  // as the reader holds the sheet
    bool landscape;
    // Every side in delivery order (front, back of sheet 1, ...): the page
    // in each cell row by row from the top left, 0 for white paper.
    std::vector<std::string> sides;
};

TEST(PreviewTest, PlacesPagesOnSheetSides)
{
    test::TempDir dir;
    const std::string pdf = dir.file("four.pdf");
    WriteColouredPdf(pdf, 4);
    const std::vector<PlacementCase> cases = {
        {"ZLKSignature=LeftSig ZLKStaple=LeftDoublePort", 2, 1, true, {"41", "23"}},
        {"ZLKSignature=RightSigCenterStaple", 2, 1, true, {"14", "32"}},
        // Two and six up read across the sheet turned, as the converter lays them.
        {"number-up=2", 2, 1, true, {"12", "34"}},
        {"number-up=2 orientation-requested=4", 1, 2, false, {"12", "34"}},
        {"number-up=4", 2, 2, false, {"1234"}},
        {"number-up=4 orientation-requested=4", 2, 2, true, {"1234"}},
        {"number-up=6 Duplex=DuplexNoTumble", 3, 2, true, {"123400", "000000"}},
        {"Duplex=DuplexTumble", 1, 1, false, {"1", "2", "3", "4"}},
        {"page-ranges=3-4", 1, 1, false, {"3", "4"}},
    };
    Delivered delivered;
    PreviewEngine engine(delivered.Sink());
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.options);
        const auto images = delivered.Wait(engine.Request(pdf, PreviewSettingsFrom(Parse(c.options), kA4)));
        ASSERT_TRUE(images);
        ASSERT_EQ(images->problem, "");
        EXPECT_EQ(images->totalSheets, static_cast<int>(images->sheets.size()));
        std::vector<QImage> sides;
        for (const auto& sheet : images->sheets) {
            for (const QImage& side : {sheet.front, sheet.back}) {
                if (!side.isNull()) {
                    Screenshot(side, c.options + "-" + std::to_string(sides.size() + 1));
                    sides.push_back(side);
                }
            }
        }
        ASSERT_EQ(sides.size(), c.sides.size());
        for (std::size_t i = 0; i < sides.size(); ++i) {
            EXPECT_EQ(sides[i].width() > sides[i].height(), c.landscape);
            std::string seen;
            for (int k = 0; k < c.columns * c.rows; ++k) {
                const int page = PageAt(sides[i], (k % c.columns + .5) / c.columns, (k / c.columns + .5) / c.rows);
                seen += page < 0 ? '?' : static_cast<char>('0' + page);
            }
            EXPECT_EQ(seen, c.sides[i]) << "side " << i + 1;
        }
    }
    // Settings changes only laid the sheets out again.
    EXPECT_EQ(engine.PagesRendered(), 4);
}

struct MarksCase {
    std::string options;
    bool back;  // look at the back of the first sheet
    std::vector<QPointF> marks;  // mm from the top left of the side as shown
    std::vector<QPointF> clear;
};

TEST(PreviewTest, DrawsStaplesAndHolesWhereTheFinisherPutsThem)
{
    // A4 portrait, 210 x 297 mm; corner staples 10 mm in, others 7 mm, holes 11 mm in.
    const std::vector<MarksCase> cases = {
        {"ZLKStaple=None ZLKPunch=None", false, {}, {}},
        {"ZLKStaple=UpperLeftSinglePort", false, {{10, 10}}, {{200, 10}, {10, 287}}},
        {"ZLKStaple=UpperRightSinglePort", false, {{200, 10}}, {{10, 10}}},
        {"ZLKStaple=BottomLeftSinglePort", false, {{10, 287}}, {{10, 10}}},
        {"ZLKStaple=BottomRightSinglePort", false, {{200, 287}}, {{200, 10}}},
        {"ZLKStaple=LeftDoublePort", false, {{7, 74.25}, {7, 222.75}}, {{7, 148.5}, {203, 74.25}}},
        {"ZLKStaple=RightDoublePort", false, {{203, 74.25}, {203, 222.75}}, {{7, 74.25}}},
        {"ZLKStaple=TopDoublePort", false, {{52.5, 7}, {157.5, 7}}, {{105, 7}, {52.5, 290}}},
        {"ZLKStaple=BottomDoublePort", false, {{52.5, 290}, {157.5, 290}}, {{52.5, 7}}},
        {"ZLKPunch=Left ZLKNumPunchHoles=2Holes", false, {{11, 108.5}, {11, 188.5}}, {{11, 148.5}, {199, 108.5}}},
        {"ZLKPunch=Left ZLKNumPunchHoles=3Holes", false, {{11, 40.5}, {11, 148.5}, {11, 256.5}}, {{11, 108.5}}},
        {"ZLKPunch=Left ZLKNumPunchHoles=4Holes", false, {{11, 28.5}, {11, 108.5}, {11, 188.5}, {11, 268.5}}, {}},
        {"ZLKPunch=Top ZLKNumPunchHoles=2Holes", false, {{65, 11}, {145, 11}}, {{105, 11}, {11, 108.5}}},
        {"ZLKPunch=Right", false, {{199, 108.5}, {199, 188.5}}, {{11, 108.5}}},
        {"ZLKPunch=Bottom", false, {{65, 286}, {145, 286}}, {{65, 11}, {105, 286}}},
        {"ZLKPunch=Left ZLKNumPunchHoles=CoilPunch", false, {{6, 140}, {6, 148.5}, {6, 233.2}}, {{16, 148.5}}},
        // Through the paper: the back of a long-edge sheet mirrors left and
        // right, of a short-edge one top and bottom.
        {"ZLKStaple=UpperLeftSinglePort Duplex=DuplexNoTumble", true, {{200, 10}}, {{10, 10}}},
        {"ZLKStaple=UpperLeftSinglePort Duplex=DuplexTumble", true, {{10, 287}}, {{10, 10}}},
        {"ZLKPunch=Left Duplex=DuplexNoTumble", true, {{199, 108.5}, {199, 188.5}}, {{11, 108.5}}},
        // A booklet sheet is A4 turned, 297 x 210 mm: saddle stitches on the fold.
        {"ZLKSignature=LeftSigCenterStaple", true, {{148.5, 52.5}, {148.5, 157.5}}, {{148.5, 105}, {7, 52.5}}},
    };
    // Light pages: every dark pixel is a mark.
    QImage page(200, 283, QImage::Format_RGB32);
    page.fill(QColor(200, 215, 235));
    const std::map<int, QImage> pages = {{0, page}, {1, page}};
    for (const MarksCase& c : cases) {
        SCOPED_TRACE(c.options);
        const PreviewSettings settings = PreviewSettingsFrom(Parse(c.options), kA4);
        const std::vector<PreviewSheet> sheets = Impose(settings, 2);
        ASSERT_TRUE(!sheets.empty() && (sheets[0].back || !c.back));
        const QImage side = ComposeSide(settings, c.back ? *sheets[0].back : sheets[0].front, pages, 640);
        Screenshot(side, "marks-" + c.options + (c.back ? "-back" : ""));
        if (c.marks.empty()) {
            EXPECT_EQ(DarkPixels(side), 0);
        }
        for (QPointF at : c.marks) {
            EXPECT_GT(DarkNear(side, settings.sheet, at), 3) << "no mark at " << at.x() << "," << at.y() << " mm";
        }
        for (QPointF at : c.clear) {
            EXPECT_EQ(DarkNear(side, settings.sheet, at), 0) << "a mark at " << at.x() << "," << at.y() << " mm";
        }
    }
}

// Every finishing choice of the sample PPDs shows as marks or a booklet,
// and every "None" as nothing.
TEST(PreviewTest, MapsEveryFinishingChoiceOfTheSamplePPDs)
{
    int choices = 0;
    for (const auto& entry : fs::directory_iterator(ZLK_SAMPLE_PPD_DIR)) {
        if (entry.path().extension() != ".ppd") {
            continue;
        }
        std::unique_ptr<ppd_file_t, void (*)(ppd_file_t*)> ppd(ppdOpenFile(entry.path().c_str()), ppdClose);
        ASSERT_TRUE(ppd) << entry.path();
        for (const char* keyword : {"ZLKStaple", "ZLKPunch", "ZLKNumPunchHoles", "ZLKSignature"}) {
            ppd_option_t* option = ppdFindOption(ppd.get(), keyword);
            for (int i = 0; option && i < option->num_choices; ++i) {
                const std::string choice = option->choices[i].choice;
                SCOPED_TRACE(entry.path().filename().string() + " " + keyword + "=" + choice);
                ++choices;
                Options options = {{keyword, choice}};
                if (std::string(keyword) == "ZLKNumPunchHoles") {
                    options.emplace_back("ZLKPunch", "Left");
                }
                const PreviewSettings s = PreviewSettingsFrom(options, ppd.get());
                const bool none = choice == "None";
                const std::string k = keyword;
                if (k == "ZLKStaple") {
                    const std::size_t expected = none ? 0 : choice.find("Double") != std::string::npos ? 2 : 1;
                    EXPECT_EQ(s.staples.size(), expected);
                } else if (k == "ZLKPunch") {
                    EXPECT_EQ(s.holes.size(), none ? 0u : 2u);
                } else if (k == "ZLKNumPunchHoles") {
                    const std::map<std::string, std::size_t> counts = {{"2Holes", 2}, {"3Holes", 3}, {"4Holes", 4}};
                    if (counts.count(choice)) {
                        EXPECT_EQ(s.holes.size(), counts.at(choice));
                    } else {
                        EXPECT_EQ(choice, "CoilPunch");
                        EXPECT_GT(s.holes.size(), 20u);
                    }
                } else {
                    EXPECT_EQ(s.booklet == PreviewBooklet::None, none);
                    EXPECT_EQ(s.staples.size(), choice.find("CenterStaple") != std::string::npos ? 2u : 0u);
                }
                const QRectF sheet(QPointF(), s.sheet);
                for (const QLineF& staple : s.staples) {
                    EXPECT_TRUE(sheet.contains(staple.p1()) && sheet.contains(staple.p2()));
                }
                for (const QPointF& hole : s.holes) {
                    EXPECT_TRUE(sheet.contains(hole));
                }
            }
        }
    }
    EXPECT_GT(choices, 50);
}

TEST(PreviewTest, TakesPaperFromThePPD)
{
    const std::string ppdPath = std::string(ZLK_SAMPLE_PPD_DIR) + "/zelko-mfp-c4500.ppd";
    std::unique_ptr<ppd_file_t, void (*)(ppd_file_t*)> ppd(ppdOpenFile(ppdPath.c_str()), ppdClose);
    ASSERT_TRUE(ppd);
    ppdMarkDefaults(ppd.get());
    struct Case {
        Options options;
        QSizeF sheet;
        int columns, rows;
    } const cases[] = {
        {{}, {595.28, 841.89}, 1, 1},
        {{{"PageSize", "Letter"}, {"orientation-requested", "4"}}, {792, 612}, 1, 1},
        {{{"PageSize", "A3"}, {"number-up", "6"}}, {1190.55, 841.89}, 3, 2},
        {{{"PageSize", "A3"}, {"number-up", "6"}, {"orientation-requested", "5"}}, {841.89, 1190.55}, 2, 3},
        {{{"PageSize", "A3"}, {"number-up", "9"}, {"orientation-requested", "4"}}, {1190.55, 841.89}, 3, 3},
        {{{"PageSize", "A4"}, {"number-up", "16"}}, {595.28, 841.89}, 4, 4},
        {{{"PageSize", "A4"}, {"ZLKSignature", "LeftSig"}, {"ZLKSigSize", "DL"}}, {1224, 792}, 2, 1},
        {{{"PageSize", "A4"}, {"ZLKSignature", "RightSigFold"}, {"ZLKSigSize", "A3"}}, {1190.55, 841.89}, 2, 1},
        {{{"PageSize", "Custom.300x400"}}, {300, 400}, 1, 1},
    };
    for (const Case& c : cases) {
        const PreviewSettings s = PreviewSettingsFrom(c.options, ppd.get());
        EXPECT_NEAR(s.sheet.width(), c.sheet.width(), 0.01);
        EXPECT_NEAR(s.sheet.height(), c.sheet.height(), 0.01);
        EXPECT_EQ(s.columns, c.columns);
        EXPECT_EQ(s.rows, c.rows);
    }
}

TEST(PreviewTest, BookletsOfSomeSheetsEach)
{
    PreviewSettings s = PreviewSettingsFrom({{"ZLKSignature", "LeftSig"}}, kA4);
    auto order = [&](int pages) {
        std::vector<std::vector<int>> sides;
        for (const PreviewSheet& sheet : Impose(s, pages)) {
            sides.push_back(sheet.front.cells);
            sides.push_back(sheet.back->cells);
        }
        return sides;
    };
    using Sides = std::vector<std::vector<int>>;
    // 0-based pages; -1 a blank page.
    EXPECT_EQ(order(8), (Sides{{7, 0}, {1, 6}, {5, 2}, {3, 4}}));
    EXPECT_EQ(order(6), (Sides{{-1, 0}, {1, -1}, {5, 2}, {3, 4}}));
    s = PreviewSettingsFrom({{"ZLKSignature", "LeftSig"}, {"ZLKSigVol", "1Sheet"}}, kA4);
    EXPECT_EQ(order(8), (Sides{{3, 0}, {1, 2}, {7, 4}, {5, 6}}));
}

TEST(PreviewTest, WidgetShowsTheLatestSettings)
{
    test::TempDir dir;
    const std::string pdf = dir.file("four.pdf");
    WriteColouredPdf(pdf, 4);
    PreviewWidget widget;
    widget.resize(520, 360);
    widget.show();
    int updates = 0;
    widget.OnUpdated([&] { ++updates; });
    widget.SetDocument(pdf);
    widget.SetJobOptions({{"ZLKSignature", "LeftSig"}}, kA4);
    // Superseded at once: only the last settings are shown.
    widget.SetJobOptions({{"number-up", "2"}, {"Duplex", "DuplexNoTumble"}, {"ZLKStaple", "UpperLeftSinglePort"}}, kA4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.Busy(); }, 30000));
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(widget.SheetCount(), 1);
    EXPECT_EQ(PageAt(widget.Front(), .25, .5), 1);
    EXPECT_EQ(PageAt(widget.Back(), .75, .5), 4);
    QTest::qWait(50);
    Screenshot(widget.grab().toImage(), "widget-2up-two-sided");

    widget.SetJobOptions({{"ZLKPunch", "Left"}, {"ZLKNumPunchHoles", "4Holes"}}, kA4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.Busy(); }, 30000));
    ASSERT_EQ(widget.SheetCount(), 4);
    widget.ShowSheet(2);
    EXPECT_EQ(widget.CurrentSheet(), 2);
    EXPECT_EQ(PageAt(widget.Front(), .5, .5), 3);
    EXPECT_TRUE(widget.Back().isNull());
    QTest::qWait(50);
    Screenshot(widget.grab().toImage(), "widget-punch-sheet3");

    widget.SetDocument(std::string(ZLK_SAMPLE_PPD_DIR) + "/../samples/sample.pdf");
    widget.SetJobOptions(Parse("ZLKSignature=LeftSigCenterStaple ZLKPunch=Top"), kA4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.Busy(); }, 30000));
    EXPECT_GE(widget.SheetCount(), 1);
    QTest::qWait(50);
    Screenshot(widget.grab().toImage(), "widget-sample-booklet");

    widget.SetDocument(dir.file("missing.pdf"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.Busy(); }, 30000));
    EXPECT_EQ(widget.SheetCount(), 0);
    EXPECT_FALSE(widget.Problem().isEmpty());
}

}  // namespace
}  // namespace zlk::host::gui
