// zlk-printer-app as driverless clients meet it: the IPP Everywhere suite
// that Debian ships with ipptool, run on a printer of each model, and a CUPS
// "everywhere" queue on one of them, whose job stream must be the classic
// queue's.

#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cupsd.h"
#include "printerapp.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"

namespace fs = std::filesystem;

namespace zlk::test {
namespace {

constexpr char kSuiteDir[] = "/usr/share/cups/ipptool";
constexpr char kSuite[] = "ipp-everywhere.test";

// ---------------------------------------------------------------------------
// The suite's documents.

struct RasterCloser {
    void operator()(cups_raster_t* raster) const { cupsRasterClose(raster); }
};

// One blank page of the size, resolution and colour space the suite's file
// name gives, as a PWG raster file.
bool WriteBlankPwgRaster(const std::string& path, const char* media, const std::string& type, int dpi)
{
    pwg_media_t* size = pwgMediaForPWG(media);
    cups_page_header2_t header;
    if (!size || !cupsRasterInitPWGHeader(&header, size, type.c_str(), dpi, dpi, "one-sided", nullptr))
        return false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = false;
    {
        std::unique_ptr<cups_raster_t, RasterCloser> raster(cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG));
        // White is all zeros in black and CMYK, all ones in grey and RGB.
        const bool additive = header.cupsColorSpace == CUPS_CSPACE_SW || header.cupsColorSpace == CUPS_CSPACE_SRGB;
        std::vector<unsigned char> line(header.cupsBytesPerLine, additive ? 0xff : 0x00);
        ok = raster && cupsRasterWriteHeader2(raster.get(), &header);
        for (unsigned y = 0; ok && y < header.cupsHeight; ++y)
            ok = cupsRasterWritePixels(raster.get(), line.data(), header.cupsBytesPerLine) == header.cupsBytesPerLine;
    }
    close(fd);
    return ok;
}

// A page of a PDF as a JPEG image, in colour or grey.
bool WriteJpeg(const std::string& pdf, const std::string& path, bool gray)
{
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(pdf));
    if (!document || document->pages() < 1)
        return false;
    std::unique_ptr<poppler::page> page(document->create_page(0));
    poppler::page_renderer renderer;
    if (gray)
        renderer.set_image_format(poppler::image::format_gray8);
    const poppler::image image = renderer.render_page(page.get(), 50, 50);
    return image.is_valid() && image.save(path, "jpeg");
}

std::string PostScript(int width, int height)
{
    return "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n/Helvetica findfont 24 scalefont setfont\n"
           "72 72 moveto (Page 1) show\nshowpage\n%%EOF\n";
}

// Debian ships the suite without the documents it prints, and ipptool stops
// a file at any FILE it cannot read, even in a test it skips. This folder
// holds the suite's files (links to Debian's, so that the suite finds its
// documents next to itself) and documents of our own under the names it
// uses: PDFs, PostScript and JPEGs of the sizes named, and for every PWG
// raster file a blank page as the name describes it.
class SuiteFolder {
public:
    SuiteFolder()
    {
        for (const auto& entry : fs::directory_iterator(kSuiteDir))
            if (entry.path().extension() == ".test")
                fs::create_symlink(entry.path(), dir_.file(entry.path().filename().string()));
        WriteTestPdf(dir_.file("document-a4.pdf"), {{595, 842, 0}, {595, 842, 0}});
        WriteTestPdf(dir_.file("document-letter.pdf"), {{612, 792, 0}, {612, 792, 0}});
        WriteFile(dir_.file("document-a4.ps"), PostScript(595, 842));
        WriteFile(dir_.file("document-letter.ps"), PostScript(612, 792));
        if (!WriteJpeg(dir_.file("document-letter.pdf"), dir_.file("color.jpg"), false) ||
            !WriteJpeg(dir_.file("document-letter.pdf"), dir_.file("gray.jpg"), true))
            problems_ += "cannot write the JPEG documents\n";

        // FILE pwg-raster-samples-600dpi/srgb-8/document-a4-srgb-8-600dpi.pwg
        std::set<std::string> written;
        const std::string suite = ReadFile(std::string(kSuiteDir) + "/" + kSuite);
        constexpr std::string_view kPrefix = "pwg-raster-samples-";
        for (std::size_t at = suite.find(kPrefix); at != std::string::npos; at = suite.find(kPrefix, at + 1)) {
            const std::string name = suite.substr(at, suite.find_first_of(" \t\r\n\"", at) - at);
            // "600dpi", the colour type's folder, the file.
            const std::size_t dpiEnd = name.find("dpi/");
            const std::size_t typeEnd = dpiEnd == std::string::npos ? std::string::npos : name.find('/', dpiEnd + 4);
            if (typeEnd == std::string::npos || !name.ends_with(".pwg") || !written.insert(name).second)
                continue;
            const std::string base = name.substr(typeEnd + 1);
            const char* media = base.find("4x6") != std::string::npos    ? "na_index-4x6_4x6in"
                                : base.find("-a4-") != std::string::npos ? "iso_a4_210x297mm"
                                                                         : "na_letter_8.5x11in";
            std::string type = name.substr(dpiEnd + 4, typeEnd - dpiEnd - 4);
            std::replace(type.begin(), type.end(), '-', '_');
            const int dpi = std::atoi(name.substr(kPrefix.size(), dpiEnd - kPrefix.size()).c_str());
            fs::create_directories(fs::path(dir_.file(name)).parent_path());
            if (dpi <= 0 || !WriteBlankPwgRaster(dir_.file(name), media, type, dpi))
                problems_ += "cannot write " + name + "\n";
        }
        if (written.empty())
            problems_ += "the suite names no PWG raster files\n";
    }

    std::string suite() const { return dir_.file(kSuite); }
    std::string document() const { return dir_.file("document-letter.pdf"); }
    const std::string& problems() const { return problems_; }

private:
    TempDir dir_;
    std::string problems_;
};

// ---------------------------------------------------------------------------
// The suite's report.

// One unmet expectation of a failed test: "EXPECTED: job-id ..." gives
// "job-id", a wrong status gives "STATUS"; ipptool's own errors (a file it
// cannot read, a lost connection) are failures too.
struct SuiteFailure {
    std::string test;  // as the report prints it: at most 68 characters
    std::string expectation;
    std::string detail;  // the report's lines about it
};

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Reads ipptool's -t report: "    <name> [FAIL]" lines, each followed by
// more indented lines, the unmet expectations among them.
std::vector<SuiteFailure> ReportFailures(const std::string& report)
{
    // "job-state (enum) = completed": an attribute the test displays.
    auto shownAttribute = [](const std::string& text) {
        const std::size_t open = text.find(" (");
        if (open == 0 || open == std::string::npos)
            return false;
        for (std::size_t i = 0; i < open; ++i)
            if (!std::islower(static_cast<unsigned char>(text[i])) &&
                !std::isdigit(static_cast<unsigned char>(text[i])) && text[i] != '-')
                return false;
        const std::size_t close = text.find(')', open);
        return close != std::string::npos && text.compare(close, 4, ") = ") == 0;
    };
    std::vector<SuiteFailure> failures;
    std::string test;
    bool failed = false;
    for (const std::string& line : Lines(report)) {
        if (line.starts_with("ipptool:")) {
            failures.push_back({"(ipptool)", line, line});
            continue;
        }
        if (line.starts_with("    ") && !line.starts_with("        ") && line.ends_with("]")) {
            const std::size_t bracket = line.rfind('[');
            test = Trim(line.substr(4, bracket - 4));
            failed = line.compare(bracket, std::string::npos, "[FAIL]") == 0;
            if (failed)
                failures.push_back({test, "", ""});
            continue;
        }
        if (!failed || !line.starts_with("        "))
            continue;
        // The first fault names the failed test's entry, the others add one.
        auto fault = [&](const std::string& key, const std::string& text) {
            if (!failures.back().expectation.empty())
                failures.push_back({test, "", ""});
            failures.back().expectation = key;
            failures.back().detail = text;
        };
        const std::string text = Trim(line);
        if (text.starts_with("EXPECTED: ")) {
            const std::string what = text.substr(10);
            fault(what.substr(0, what.find(' ')), text);
        } else if (text.starts_with("GOT: ")) {
            failures.back().detail += " / " + text;
        } else if (!text.starts_with("RECEIVED: ") && !text.starts_with("status-code = ") &&
                   !text.starts_with("status-message=") && !shownAttribute(text)) {
            // Any other line is a fault ipptool found in the response itself.
            fault(text, text);
        }
    }
    return failures;
}

// ---------------------------------------------------------------------------
// Failures we know of, each with why it is not the driver's to fix.

struct KnownFailure {
    const char* test;  // the test's name as the report prints it
    const char* expectation;  // the unmet expectation's attribute, or "STATUS"
    const char* models;  // the drivers it is seen with, blank separated; nullptr: all
    const char* why;
};

constexpr char kAttributes11[] = "RFC 8011 section 4.2.5: Get-Printer-Attributes Operation (default)";
constexpr char kAttributes20[] = "PWG 5100.12 section 6.2 - Required Printer Description Attributes";
constexpr char kAttributesEverywhere[] = "PWG 5100.14 section 5.1/5.2 - Required Operations and Attributes";

const KnownFailure kKnownFailures[] = {
    // The suite's IPP/1.1 and 2.0 files allow portrait to reverse-portrait
    // only; "none" (7, print as the document is laid out) is PAPPL's own
    // default and the right one for PDF documents.
    {kAttributes11, "orientation-requested-default", nullptr, "the suite does not know orientation 'none'"},
    {kAttributes20, "orientation-requested-default", nullptr, "the suite does not know orientation 'none'"},
    // PAPPL leaves the ipps: address out of printer-uri-supported for a
    // client on loopback but still lists "none,tls" in uri-security-supported
    // (printer-ipp.c, printer.c).
    {kAttributes11, "printer-uri-supported", nullptr, "PAPPL: no ipps: address for loopback clients"},
    {kAttributes11, "uri-security-supported", nullptr, "PAPPL: no ipps: address for loopback clients"},
    // PAPPL adds printer-strings-languages-supported to the printer's own
    // attributes on every request instead of to the response
    // (printer-ipp.c), so the second request sees it twice.
    {kAttributes20, "Duplicate \"printer-strings-languages-supported\" attribute in printer-attributes-tag group",
     nullptr, "PAPPL: the attribute piles up in the printer's attributes"},
    // PAPPL's job-state-reasons loop ends at warnings-detected and never
    // reaches job-hold-until-specified (job-ipp.c), so a held job's only
    // reason is left out and the attribute with it.
    {"Print-Job with job-hold-until", "job-state-reasons", nullptr, "PAPPL: job-hold-until-specified is never listed"},
    // The printers only take a job stream: nothing can make them flash,
    // sound or show a message on request.
    {kAttributesEverywhere, "identify-actions-default", nullptr, "the printers cannot identify themselves"},
    {kAttributesEverywhere, "identify-actions-supported", nullptr, "the printers cannot identify themselves"},
    // PAPPL has no page overrides.
    {kAttributesEverywhere, "overrides-supported", nullptr, "PAPPL: no overrides"},
};

bool AppliesTo(const KnownFailure& known, const std::string& driver)
{
    if (!known.models)
        return true;
    std::istringstream models(known.models);
    for (std::string model; models >> model;)
        if (model == driver)
            return true;
    return false;
}

// ---------------------------------------------------------------------------

class EverywhereSuite : public ::testing::TestWithParam<const char*> {
protected:
    TempDir dir;
    PrinterApp app{dir.path()};

    void SetUp() override
    {
        if (std::string(ZLK_IPPTOOL).empty() || !fs::exists(ZLK_IPPTOOL) ||
            !fs::exists(std::string(kSuiteDir) + "/" + kSuite))
            GTEST_SKIP() << "ipptool and its IPP Everywhere suite (cups-ipp-utils) are not installed";
        ASSERT_EQ(app.Start(), "");
    }
};

// Every failure of the suite is one of the known ones, and each known one
// still happens: a list that outlives its reasons hides new failures.
TEST_P(EverywhereSuite, FailsOnlyAsKnown)
{
    const std::string driver = GetParam();
    const std::string printer = "p_" + driver;
    const RunResult added = app.AddPrinter(printer, driver);
    ASSERT_EQ(added.exitCode, 0) << added.out << added.err << app.Log();

    // A printer's printer-up-time counts whole seconds from its creation,
    // and the suite wants it above zero.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const SuiteFolder folder;
    ASSERT_EQ(folder.problems(), "");
    // -I: on past a failed test, to see them all; -T: a slow job is no hang.
    const RunResult run = app.IppFile("/ipp/print/" + printer, folder.suite(),
                                      {"-V", "2.0", "-I", "-t", "-T", "30", "-f", folder.document()}, 240000);
    ASSERT_NE(run.out.find("Summary: "), std::string::npos) << "the suite did not run to its end:\n"
                                                            << run.out << run.err;
    const std::vector<SuiteFailure> failures = ReportFailures(run.out + run.err);

    std::set<const KnownFailure*> seen;
    for (const SuiteFailure& failure : failures) {
        const auto known = std::ranges::find_if(kKnownFailures, [&](const KnownFailure& k) {
            return failure.test == k.test && failure.expectation == k.expectation && AppliesTo(k, driver);
        });
        if (known == std::end(kKnownFailures))
            ADD_FAILURE() << "new failure of " << failure.test << ": " << failure.detail;
        else
            seen.insert(&*known);
    }
    for (const KnownFailure& known : kKnownFailures)
        if (AppliesTo(known, driver) && !seen.contains(&known))
            ADD_FAILURE() << "no longer fails, drop it from the known failures: " << known.test << ": "
                          << known.expectation << " (" << known.why << ")";
    // What reached the printer is job streams (PDF jobs) or nothing
    // (raster and JPEG jobs, which the driver refuses), once the jobs the
    // suite left queued have ended: a job under way may have just emptied
    // its file.
    const RunResult idle = app.Ipp("/ipp/print/" + printer, "printer-idle.test", {});
    EXPECT_EQ(idle.exitCode, 0) << "jobs still queued:\n" << idle.out << idle.err;
    int streams = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("out"))) {
        const std::string stream = ReadFile(entry.path().string());
        if (stream.empty())
            continue;
        ++streams;
        const RunResult inspected = InspectStream(stream);
        EXPECT_EQ(inspected.exitCode, 0) << entry.path() << ": " << inspected.err;
    }
    EXPECT_GT(streams, 0) << "no job of the suite was printed";
    if (HasFailure()) {
        const std::vector<std::string> log = Lines(app.Log());
        std::cerr << run.out << run.err << "\nThe end of the server's log:\n";
        for (std::size_t i = log.size() > 60 ? log.size() - 60 : 0; i < log.size(); ++i)
            std::cerr << log[i] << "\n";
    }
}

INSTANTIATE_TEST_SUITE_P(SampleModels, EverywhereSuite,
                         ::testing::Values("zelko_mfp_c4500", "zelko_mfp_c3500j", "zelko_mfp_m2500",
                                           "zelko_mfp_q6000"));

// ---------------------------------------------------------------------------
// A driverless CUPS queue on a printer of zlk-printer-app.

// Waits for a job of the private scheduler to end: its state as the log says.
std::string WaitForCupsJob(const Cupsd& cupsd, int id)
{
    for (int i = 0; i < 600; ++i) {
        const std::string log = cupsd.JobLog(id);
        if (log.find("Job completed.") != std::string::npos)
            return "completed";
        if (log.find("aborted") != std::string::npos || log.find("stopped due to filter errors") != std::string::npos ||
            log.find("canceled") != std::string::npos || log.find("Printer stopped") != std::string::npos)
            return "ended: " + log;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "timeout: " + cupsd.JobLog(id);
}

int JobIdOf(const std::string& lpOutput, const std::string& queue)
{
    const std::string tag = "request id is " + queue + "-";
    const std::size_t at = lpOutput.find(tag);
    return at == std::string::npos ? 0 : std::atoi(lpOutput.c_str() + at + tag.size());
}

struct PdfPage {
    double width = 0, height = 0;  // points
    std::string text;
};

// A PDF as its reader sees it: each page's size and text.
std::vector<PdfPage> ReadPages(const std::string& pdf)
{
    std::vector<char> data(pdf.begin(), pdf.end());
    std::unique_ptr<poppler::document> document(poppler::document::load_from_data(&data));
    std::vector<PdfPage> pages;
    for (int i = 0; document && i < document->pages(); ++i) {
        std::unique_ptr<poppler::page> page(document->create_page(i));
        const poppler::rectf box = page->page_rect(poppler::media_box);
        const poppler::byte_array text = page->text().to_utf8();
        pages.push_back({box.width(), box.height(), std::string(text.begin(), text.end())});
    }
    return pages;
}

// lp on a driverless queue ("lpadmin -m everywhere") pointed at the
// Printer Application, and on a classic queue of the same model's PPD:
// the options reach the printer's job stream, and both streams are one.
TEST(DriverlessQueue, PrintsTheClassicQueuesJobStream)
{
    if (std::string(ZLK_IPPTOOL).empty() || !fs::exists(ZLK_IPPTOOL) || !fs::exists("/usr/sbin/cupsd"))
        GTEST_SKIP() << "needs ipptool and cupsd";
    TempDir dir;
    PrinterApp app(dir.path());
    ASSERT_EQ(app.Start(), "");
    const RunResult added = app.AddPrinter("c4500", "zelko_mfp_c4500");
    ASSERT_EQ(added.exitCode, 0) << added.out << added.err << app.Log();

    Cupsd cupsd(FilterProgram());
    ASSERT_TRUE(cupsd.ok()) << cupsd.error();
    int code = 0;
    const std::string made = cupsd.Command(
        {"lpadmin", "-h", cupsd.server(), "-p", "Q", "-E", "-v", app.Uri("/ipp/print/c4500"), "-m", "everywhere"},
        &code);
    ASSERT_EQ(code, 0) << made;
    ASSERT_EQ(cupsd.AddQueue("classic", SamplePpd("zelko-mfp-c4500.ppd")), "");

    // CUPS 2.4 maps finishings=4 to nothing on a driverless queue: the PPD it
    // makes from the printer's attributes has IPP finishings lines for
    // stapling positions only. Staple is offered there as a finishing
    // template, so both are given; the classic queue takes the first.
    const std::vector<std::string> options = {"-o", "sides=two-sided-long-edge", "-o", "finishings=4",
                                              "-o", "finishing-template=staple", "-o", "job-password=4321",
                                              "-o", "job-account-id=ACC9"};
    std::vector<std::string> lp = {"lp", "-h", cupsd.server(), "-d", "Q"};
    lp.insert(lp.end(), options.begin(), options.end());
    lp.push_back(ZLK_SAMPLE_PDF);
    const std::string submitted = cupsd.Command(lp, &code);
    const int id = JobIdOf(submitted, "Q");
    ASSERT_GT(id, 0) << submitted;
    ASSERT_EQ(WaitForCupsJob(cupsd, id), "completed") << app.Log();
    const std::string driverless = app.Output();

    const RunResult inspected = InspectStream(driverless);
    EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
    const JobStreamParts parts = SplitJobStream(driverless);
    ASSERT_TRUE(parts.ok) << driverless.substr(0, 400) << "\n" << cupsd.JobLog(id) << app.Log();
    EXPECT_NE(parts.trailer.find("DUPLEXTYPE=DUPLEX\n"), std::string::npos) << parts.trailer;
    EXPECT_NE(parts.ticket.find("<Sides>TwoSidedLongEdge</Sides>"), std::string::npos) << parts.ticket;
    EXPECT_EQ(Attribute(parts.header, "DAID"), "ACC9") << parts.header;
    EXPECT_NE(parts.ticket.find("<Finishing>StapleTopLeft</Finishing>"), std::string::npos) << "finishings=4 staples:\n"
                                                                                            << parts.ticket;
    // The passcode as digits, or sealed (the inspector opens it with the
    // printer's key) on models that keep it encrypted.
    EXPECT_TRUE(inspected.out.find("JobPassword = 4321\n") != std::string::npos ||
                inspected.out.find("JOEP: 4321\n") != std::string::npos)
        << inspected.out;

    const PrintedJob classic = cupsd.Print("classic", ZLK_SAMPLE_PDF, options);
    ASSERT_EQ(classic.state, "completed") << cupsd.JobLog(classic.id);
    EXPECT_EQ(InspectStream(classic.stream).exitCode, 0);
    const JobStreamParts other = SplitJobStream(classic.stream);
    ASSERT_TRUE(other.ok);

    // Byte for byte but for the PDF. The stream carries no time, date or
    // job number, and the user and host are the same on both roads (the
    // scheduler sends the job on under its owner's name, and the filter
    // names this machine either way), so nothing else is left out.
    EXPECT_EQ(parts.header, other.header);
    EXPECT_EQ(parts.ticket, other.ticket);
    EXPECT_EQ(parts.trailer, other.trailer);
    // The PDF's bytes differ: on the driverless road the scheduler lays the
    // pages out with the PPD it makes from the printer's IPP attributes,
    // where A4 is 210 x 297 mm exactly (595.276 pt, the model's PPD says
    // 595.28) and margins are whole hundredths of a millimetre (4.23 mm,
    // 11.99 pt, for the PPD's 12 pt), and the filter fits that page once
    // more. The pages must still be the same pages.
    const std::vector<PdfPage> got = ReadPages(parts.pdf), want = ReadPages(other.pdf);
    ASSERT_EQ(got.size(), want.size());
    ASSERT_FALSE(got.empty());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        EXPECT_NEAR(got[i].width, want[i].width, 0.01);
        EXPECT_NEAR(got[i].height, want[i].height, 0.01);
        EXPECT_EQ(got[i].text, want[i].text);
        EXPECT_NE(got[i].text.find("Page " + std::to_string(i + 1) + " of"), std::string::npos) << got[i].text;
    }
}

}  // namespace
}  // namespace zlk::test
