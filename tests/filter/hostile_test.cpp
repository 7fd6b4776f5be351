// The filter program under input a hostile user, a damaged document or a
// broken installation gives it: every job either prints as a stream the
// inspector accepts or fails cleanly, in bounded time.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "process.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::test;

namespace {

// The trailer line of a job-info key, or "" when missing.
std::string JobInfoLine(const std::string& stream, const std::string& key)
{
    for (const std::string& line : Lines(SplitJobStream(stream).trailer))
        if (line.find("PRINTJOBINFO " + key + "=") != std::string::npos)
            return line.substr(line.find('=') + 1);
    return "";
}

}  // namespace

TEST(HostileInput, OnlyTheOrientationOptionIsTakenFromTheConvertersOptions)
{
    struct Case {
        std::string options;
        std::string converter;  // what the converter is given
    };
    const std::string longValue(130000, 'o');
    const std::vector<Case> cases = {
        {"note=orientation-requested=3\\ page-ranges=2", "note=orientation-requested=3\\ page-ranges=2"},
        {"job-name=orientation-requested=12345 media=A4", "job-name=orientation-requested=12345 media=A4"},
        {"job-name='a b' orientation-requested=4 media=A4", "job-name='a b' media=A4"},
        // A quadratic scan took 79 s on this one.
        {"note=" + longValue + " orientation-requested=3 media=A4", "note=" + longValue + " media=A4"},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.options = c.options;
        const auto start = std::chrono::steady_clock::now();
        RunResult result = spooler.Run();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.options.substr(0, 40);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(Lines(ReadFile(spooler.argsFile))[4], c.converter) << c.options.substr(0, 40);
    }
}

TEST(HostileInput, LongUserNamesAndOddCopiesKeepTheStreamsGrammar)
{
    struct Case {
        std::string user;
        std::string copies;
        const char* printed;  // copies the trailer asks for
        bool warned;
    };
    const std::vector<Case> cases = {
        {std::string(1957, 'u'), "2", "2", false},
        {std::string(4000, 'u'), "1", "1", false},
        {"\xE3\x81\x82" + std::string(2500, 'u'), "007", "7", false},
        {"alice", "abc", "1", true},
        {"alice", "", "1", true},
        {"alice", "-0", "1", true},
        {"alice", "1e400", "1", true},
        {"alice", "0", "1", true},
        {"alice", "99999999999999999999", "1", true},
        {"alice", " 3", "1", true},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.user = c.user;
        spooler.copies = c.copies;
        RunResult result = spooler.Run();
        const std::string what = c.user.substr(0, 8) + "... copies '" + c.copies + "'";
        ASSERT_EQ(result.exitCode, 0) << what << ": " << result.err;
        RunResult inspected = InspectStream(result.out);
        EXPECT_EQ(inspected.exitCode, 0) << what << ": " << inspected.err;
        EXPECT_EQ(JobInfoLine(result.out, "PAGECOPIES"), c.printed) << what;
        EXPECT_EQ(result.err.find("WARNING:") != std::string::npos, c.warned) << what << ": " << result.err;
    }
}

namespace {

// A document whose pages each show an image declaring width × height
// pixels of which the file holds almost none.
std::string HugeImagePdf(const TempDir& dir, int width, int height, int pages = 1)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf, std::string(64, '\x80'));
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
    page.replaceKey("/Resources", QPDFObjectHandle::parse("<< /XObject << >> >>"));
    page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "q 612 0 0 792 0 0 cm /Im0 Do Q\n"));
    for (int i = 0; i < pages; ++i)
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page.shallowCopy())), false);
    const std::string path = dir.file("huge-image.pdf");
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
    return path;
}

// Largest resident set of any finished child of this test, in bytes.
long PeakChildMemory()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss * 1024L;
}

}  // namespace

TEST(HostileInput, HugePagesAreRasterisedWithinAMemoryBudget)
{
    SpoolerRun spooler;
    spooler.document = spooler.root.file("huge.pdf");
    WriteTestPdf(spooler.document, {PageSpec{5000, 5000}, PageSpec{10, 3000000}});
    spooler.options = "ZLKPDFRasterizedMode=true";
    const auto start = std::chrono::steady_clock::now();
    RunResult result = spooler.Run();
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // At 300 dpi these pages took 23 s and 3 GB.
    EXPECT_LT(took, std::chrono::seconds(15));
    EXPECT_LT(PeakChildMemory(), 1L << 30);
    EXPECT_NE(result.err.find("INFO: Page 1 is too large"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("INFO: Page 2 is too large"), std::string::npos) << result.err;
    EXPECT_EQ(InspectStream(result.out).exitCode, 0);
    EXPECT_TRUE(spooler.TmpFiles().empty());
}

TEST(HostileInput, ACancelStopsASlowPageWithinSeconds)
{
    SpoolerRun spooler;
    spooler.document = HugeImagePdf(spooler.root, 100000, 100000);
    spooler.options = "ZLKPDFRasterizedMode=true";
    const auto start = std::chrono::steady_clock::now();
    RunResult result = spooler.Run(FilterProgram(), false, /*terminateAfterMs=*/1000);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    // The page alone takes close to a minute to render.
    EXPECT_LT(took, std::chrono::seconds(4));
    EXPECT_TRUE(spooler.TmpFiles().empty());
}

namespace {

// Processes, zombies aside, whose command line names path: the filter and
// the renderers it forked carry the document's path in their arguments.
int ProcessesNaming(const std::string& path)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file(entry.path() / "cmdline");
        std::string cmdline((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::ifstream statFile(entry.path() / "stat");
        std::string stat;
        std::getline(statFile, stat);
        const std::size_t close = stat.rfind(')');
        const bool zombie = close != std::string::npos && stat.compare(close, 4, ") Z ") == 0;
        if (!zombie && cmdline.find(path) != std::string::npos)
            ++count;
    }
    return count;
}

}  // namespace

// With renderers running side by side, a cancel stops every one of them.
TEST(HostileInput, ACancelStopsEveryRendererOfAJob)
{
    SpoolerRun spooler;
    spooler.document = HugeImagePdf(spooler.root, 100000, 100000, 3);
    spooler.options = "ZLKPDFRasterizedMode=true";
    spooler.env["ZLK_RASTER_RENDERERS"] = "3";
    RunResult result = spooler.Run(FilterProgram(), false, /*terminateAfterMs=*/1000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ProcessesNaming(spooler.document), 0);
    EXPECT_TRUE(spooler.TmpFiles().empty());
}

// Numbers past what an integer holds: the sanitizer build stops at any
// overflow, so these also show that none happens.
TEST(HostileInput, ExtremeNumbersAreReadWithoutOverflow)
{
    const std::string rows = "com.apple.print.PrintSettings.PMLayoutRows..n.=";
    const std::string columns = " com.apple.print.PrintSettings.PMLayoutColumns..n.=";
    struct Case {
        std::string options;
        std::vector<PageSpec> pages;
        const char* nup;
    };
    const std::vector<Case> cases = {
        {rows + "9223372036854775807" + columns + "2", {PageSpec{}}, "1"},
        {rows + "3037000500" + columns + "3037000500", {PageSpec{}}, "1"},
        {rows + "99999999999999999999999" + columns + "-1", {PageSpec{}}, "1"},
        {rows + "100000" + columns + "100000", {PageSpec{}}, "1"},
        {rows + "4" + columns + "4", {PageSpec{}}, "N16"},
        {"ZLKPDFRasterizedMode=true", {PageSpec{1e10, 1e10}}, "1"},
        {"ZLKPDFRasterizedMode=true ZLKTurnPage=true", {PageSpec{1e10, 20}, PageSpec{20, 1e15}}, "1"},
        {"ZLKPDFRasterizedMode=true", {PageSpec{1e300, 1e300}}, "1"},
        {"ZLKPDFRasterizedMode=true", {PageSpec{1.7e308, 10}}, "1"},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.root.file("doc.pdf");
        WriteTestPdf(spooler.document, c.pages);
        spooler.options = c.options;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << c.options << ": " << result.err;
        EXPECT_EQ(JobInfoLine(result.out, "NUP"), c.nup) << c.options;
        EXPECT_EQ(InspectStream(result.out).exitCode, 0) << c.options;
    }
}

namespace {

// Whether a process is gone: no such process, or one that has ended and
// waits only to be reaped.
bool ProcessGoneNow(const std::string& pid)
{
    std::ifstream file("/proc/" + pid + "/stat");
    std::string stat;
    std::getline(file, stat);
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || stat.compare(close, 4, ") Z ") == 0;
}

// A killed process may take a moment to be taken off the run queue on a
// loaded machine; one the filter left running lives on (its sleep is 20 s).
bool ProcessGone(const std::string& pid)
{
    for (int i = 0; i < 100; ++i) {
        if (ProcessGoneNow(pid)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

TEST(HostileInput, ACancelStopsAStubbornConverterAndItsChildren)
{
    SpoolerRun spooler;
    // Ignores SIGTERM, as does the child it starts (an ignored signal stays
    // ignored across exec).
    spooler.Converter("recordconv",
                      "#!/bin/sh\ntrap '' TERM\nsleep 20 &\necho $! > \"$FAKE_ARGS\"\necho $$ >> \"$FAKE_ARGS\"\n"
                      "sleep 20\n");
    spooler.document = spooler.Pdf(1);
    const auto start = std::chrono::steady_clock::now();
    RunResult result = spooler.Run(FilterProgram(), false, /*terminateAfterMs=*/700);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    const std::vector<std::string> pids = Lines(ReadFile(spooler.argsFile));
    ASSERT_EQ(pids.size(), 2u);
    for (const std::string& pid : pids)
        EXPECT_TRUE(ProcessGone(pid)) << pid;
    EXPECT_TRUE(spooler.TmpFiles().empty());
}

TEST(HostileInput, JobCopyNeverFollowsAPlantedLink)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    const std::string target = spooler.root.file("victim");
    WriteFile(target, "keep me\n");
    chmod(target.c_str(), 0600);
    // Links under every name the copy could take in the next seconds.
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t <= now + 5; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char name[64];
        std::strftime(name, sizeof name, "ff%Y%m%d%H%M%S.job", &local);
        ASSERT_EQ(symlink(target.c_str(), (spooler.tmpdir + "/" + name).c_str()), 0);
    }
    RunResult result = spooler.Run(FilterProgramWithCopy());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadFile(target), "keep me\n");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    std::vector<std::string> copies;
    for (const std::string& name : spooler.TmpFiles()) {
        struct stat entry {};
        ASSERT_EQ(lstat((spooler.tmpdir + "/" + name).c_str(), &entry), 0);
        if (S_ISREG(entry.st_mode)) {
            EXPECT_EQ(entry.st_mode & 07777, 0676u) << name;
            copies.push_back(name);
        }
    }
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFile(spooler.tmpdir + "/" + copies[0]), result.out);
}

TEST(HostileInput, Cp932ValuesNeverEndInHalfACharacter)
{
    const std::string key = "com.zelko.jt.printsettings.pdf.ww.";
    struct Case {
        const char* value;  // slash-decimal, as the dialogs write it
        std::string printed;
        const char* ppd;
    };
    const Case cases[] = {
        {"/65/66/129", "AB", "ppd/cp932.ppd"},
        {"/65/130/160", "A\x82\xA0", "ppd/cp932.ppd"},
        {"/65/130/160/224", "A\x82\xA0", "ppd/cp932.ppd"},
        {"/129/129/129", "\x81\x81", "ppd/cp932.ppd"},
        {"/65/66/129/34", "AB", "ppd/cp932.ppd"},  // the quote goes, then the lead byte
        {"/65/177/252", "A\xB1", "ppd/cp932.ppd"},
        {"/227/129/130", "\xE3\x81\x82", "ppd/utf8.ppd"},  // UTF-8 printers read no pairs
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.env["PPD"] = FixturePath(c.ppd);
        spooler.options = key + "JBAManageTypeListTicketKey=2 " + key + "JBAUserIDListCtrlTicket=2 " + key +
                          "JBAUserIDTextEditTicket=u1 " + key + "JBAAccountIDTextEditTicket=" + c.value + " " + key +
                          "JBADomainNameTextEditTicket=" + c.value;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << c.value << ": " << result.err;
        const std::string header = SplitJobStream(result.out).header;
        for (const char* code : {"DAID", "JOAD"})
            EXPECT_NE(header.find(std::string("@PJL SET JOBATTR=\"@") + code + "=" + c.printed + "\"\n"),
                      std::string::npos)
                << code << " " << c.value;
        EXPECT_EQ(InspectStream(result.out).exitCode, 0) << c.value;
    }
}

namespace {

// A two-page test document changed by edit through qpdf, as bytes.
std::string EditedPdf(const TempDir& dir, const std::function<void(QPDF&)>& edit)
{
    const std::string source = dir.file("source.pdf"), edited = dir.file("edited.pdf");
    WriteTestPdf(source, 2);
    QPDF pdf;
    pdf.processFile(source.c_str());
    edit(pdf);
    QPDFWriter writer(pdf, edited.c_str());
    writer.write();
    return ReadFile(edited);
}

}  // namespace

TEST(HostileInput, DamagedPdfsAreRepairedOrRefusedNeverSentAsTheyAre)
{
    TempDir dir;
    const std::string pdf = EditedPdf(dir, [](QPDF&) {});
    auto pagesRoot = [](QPDF& q) { return q.getRoot().getKey("/Pages"); };
    struct Case {
        const char* what;
        std::string document;
        bool prints;  // false: either outcome, as long as it is a clean one
    };
    const std::vector<Case> cases = {
        {"junk before the header", "junk\r\n\x01\x02" + pdf, true},
        {"header damaged past %P", "%P@F" + pdf.substr(4), true},
        {"pages without a media box",
         EditedPdf(dir,
                   [](QPDF& q) {
                       for (QPDFObjectHandle page : q.getAllPages())
                           page.removeKey("/MediaBox");
                   }),
         true},
        {"a null page",
         EditedPdf(dir,
                   [&](QPDF& q) {
                       pagesRoot(q).getKey("/Kids").appendItem(QPDFObjectHandle::newNull());
                       pagesRoot(q).replaceKey("/Count", QPDFObjectHandle::newInteger(3));
                   }),
         false},
        {"a looping page tree",
         EditedPdf(dir,
                   [&](QPDF& q) {
                       pagesRoot(q).getKey("/Kids").appendItem(pagesRoot(q));
                       pagesRoot(q).replaceKey("/Count", QPDFObjectHandle::newInteger(3));
                   }),
         false},
        {"a cut file", pdf.substr(0, pdf.size() * 2 / 3), false},
        {"no cross-reference table, a trailer without /Size",
         "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
         "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >> endobj\n"
         "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >> endobj\n"
         "4 0 obj << /Type /Page /Parent 2 0 R >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n",
         true},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.root.file("damaged.pdf");
        WriteFile(spooler.document, c.document);
        RunResult result = spooler.Run();
        if (c.prints) {
            EXPECT_EQ(result.exitCode, 0) << c.what << ": " << result.err;
        }
        if (result.exitCode == 0) {
            RunResult inspected = InspectStream(result.out);
            EXPECT_EQ(inspected.exitCode, 0) << c.what << ": " << inspected.err;
            WriteFile(spooler.root.file("printed.pdf"), SplitJobStream(result.out).pdf);
            EXPECT_EQ(PdfPageTexts(spooler.root.file("printed.pdf")).size(), 2u) << c.what;
        } else {
            EXPECT_EQ(result.exitCode, 1) << c.what;
            EXPECT_EQ(result.out, "") << c.what;
            EXPECT_NE(result.err.find("ERROR: "), std::string::npos) << c.what;
        }
        EXPECT_TRUE(spooler.TmpFiles().empty()) << c.what;
    }
}
