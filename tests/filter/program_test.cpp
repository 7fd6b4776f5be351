// The filter program run as the spooler runs it: arguments, environment,
// conversion tables and a conversion program of the test's own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::test;
namespace fs = std::filesystem;

namespace {

const std::string kFixtures = ZLK_TEST_FIXTURES;
const std::string kFilter = FilterProgram();
const std::string kFilterWithJobCopy = FilterProgramWithCopy();

// The document part of a job stream.
std::string PdfOf(const RunResult& result)
{
    JobStreamParts parts = SplitJobStream(result.out);
    EXPECT_TRUE(parts.ok) << "not a whole job stream";
    return parts.pdf;
}

// Pages of a PDF held in memory, by their text.
std::vector<std::string> PagesOf(const std::string& pdfBytes, const TempDir& dir)
{
    std::string path = dir.file("result.pdf");
    WriteFile(path, pdfBytes);
    return PdfPageTexts(path);
}

}  // namespace

TEST(FilterProgram, ConvertsADocumentFromStandardInputOrFromItsPath)
{
    SpoolerRun spooler;
    std::string pdf = spooler.Pdf(2);
    spooler.options = "media=A4 Collate=true";

    spooler.stdinPath = pdf;
    RunResult fromStdin = spooler.Run();
    EXPECT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
    EXPECT_EQ(PdfOf(fromStdin), ReadFile(pdf));
    EXPECT_EQ(Lines(ReadFile(spooler.argsFile)),
              (std::vector<std::string>{"42", "alice", "Quarterly report", "1", "media=A4 Collate=true"}));

    spooler.stdinPath = "/dev/null";
    spooler.document = pdf;
    RunResult fromFile = spooler.Run();
    EXPECT_EQ(fromFile.exitCode, 0) << fromFile.err;
    EXPECT_EQ(PdfOf(fromFile), ReadFile(pdf));
    EXPECT_EQ(Lines(ReadFile(spooler.argsFile)).back(), pdf);
    EXPECT_TRUE(spooler.TmpFiles().empty());
}

TEST(FilterProgram, OrientationPairNeverReachesTheConverter)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    spooler.options = "Collate=true orientation-requested=3 number-up=2";
    ASSERT_EQ(spooler.Run().exitCode, 0);
    EXPECT_EQ(Lines(ReadFile(spooler.argsFile))[4], "Collate=true number-up=2");

    spooler.options = "Collate=true number-up=2";
    ASSERT_EQ(spooler.Run().exitCode, 0);
    EXPECT_EQ(Lines(ReadFile(spooler.argsFile))[4], "Collate=true number-up=2");
}

TEST(FilterProgram, ThinsCopiesTheConverterAlreadyLaidOut)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(6);
    const std::string copies =
        "com.apple.print.PrintSettings.PMCopies..n.=3 com.apple.print.PrintSettings.PMTotalSidesImaged..n.=6";
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {" Collate=false", {"Page 1", "Page 4"}},
        {" Collate=true", {"Page 1", "Page 2"}},
        {" Collate=True", {"Page 1", "Page 2"}},
        {"", {"Page 1", "Page 2", "Page 3", "Page 4", "Page 5", "Page 6"}},
    };
    for (const auto& [collate, pages] : cases) {
        spooler.options = copies + collate;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(PagesOf(PdfOf(result), spooler.root), pages) << collate;
        EXPECT_TRUE(spooler.TmpFiles().empty());
    }
}

TEST(FilterProgram, TurnedOrRasterisedDocumentsAreRewritten)
{
    struct Case {
        const char* options;
        int pages;
        std::vector<std::string> texts;  // of the printed pages
        const char* absent;  // what no printed page may carry, or nullptr
    };
    const Case cases[] = {
        // Two half turns cancel, but the document is still rewritten.
        {"ZLKInputSlot=BypassTray ZLKMSILeadingEdge=ShortEdgeR ZLKTurnPage=true",
         3,
         {"Page 1", "Page 2", "Page 3"},
         " cm"},
        // Raster mode turns every page into an image: no text is left.
        {"ZLKPDFRasterizedMode=true ZLKTurnPage=true", 2, {"", ""}, nullptr},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(c.pages);
        spooler.options = c.options;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << c.options << ": " << result.err;
        const std::string printed = PdfOf(result);
        EXPECT_NE(printed, ReadFile(spooler.document)) << c.options;
        EXPECT_EQ(PagesOf(printed, spooler.root), c.texts) << c.options;
        if (c.absent) {
            EXPECT_EQ(printed.find(c.absent), std::string::npos) << c.options;
        }
        EXPECT_TRUE(spooler.TmpFiles().empty()) << c.options;
    }
}

TEST(FilterProgram, PdfWithoutFinalLineEndIsPrintedWhole)
{
    SpoolerRun spooler;
    std::string pdf = ReadFile(spooler.Pdf(1));
    while (!pdf.empty() && (pdf.back() == '\n' || pdf.back() == '\r'))
        pdf.pop_back();
    spooler.document = spooler.root.file("noeol.pdf");
    WriteFile(spooler.document, pdf);
    RunResult result = spooler.Run();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(PdfOf(result), pdf);
}

TEST(FilterProgram, JobCopyHoldsTheStreamAndMessagesWithMode0676)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    spooler.title = "bad \xFF title";  // makes the filter write a message through its writers
    RunResult result = spooler.Run(kFilterWithJobCopy);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> files = spooler.TmpFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string& name = files[0];
    EXPECT_EQ(name.size(), std::string("ff20240131235959.job").size());
    EXPECT_EQ(name.rfind("ff", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 4), ".job");
    struct stat info {};
    ASSERT_EQ(stat((spooler.tmpdir + "/" + name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0676u);
    const std::string message = "CFStringCreateWithCString fail\n";
    EXPECT_NE(result.err.find(message), std::string::npos);
    EXPECT_EQ(ReadFile(spooler.tmpdir + "/" + name), message + result.out);

    RunResult withoutMarker = spooler.Run(kFilter);
    EXPECT_EQ(spooler.TmpFiles().size(), 1u) << "no marker, no copy";
}

TEST(FilterProgram, HostileTitlesAndOptionsPrintWithoutHarm)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    // The kernel caps one argument at 128 KiB; these stay below it.
    for (std::string title :
         {std::string("line\r\nbreak"), std::string("\xC3\x28\xA0\xA1"), std::string(100000, 'T')}) {
        spooler.title = title;
        spooler.options = "com.zelko.jt.printsettings.pdf.ww.PrintTypeUserNameTicketKey=" + std::string(60000, 'u') +
                          " ZLKStaple=" + std::string(60000, 's') + " Collate=/300/1/";
        RunResult result = spooler.Run();
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(PdfOf(result), ReadFile(spooler.document));
    }
}

TEST(FilterProgram, BadInputFailsWithAMessageAndWritesNothing)
{
    struct Case {
        const char* what;
        std::string converter;  // script for the conversion program, empty: none installed
        std::string ppd;
        std::string document;  // contents of the document
        const char* message;
    };
    const std::string pdf = [] {
        TempDir dir;
        WriteTestPdf(dir.file("p.pdf"), 2);
        return ReadFile(dir.file("p.pdf"));
    }();
    const std::vector<Case> cases = {
        {"missing PPD", kRecordingConverter, "/nonexistent.ppd", pdf, "ppdOpenFile return NULL"},
        {"PPD without cupsFilter", kRecordingConverter, kFixtures + "/ppd/nofilter.ppd", pdf, "get srcFormat error"},
        {"no conversion program", "", kFixtures + "/ppd/cp932.ppd", pdf, "access bestFilterPath error"},
        {"converter fails", "#!/bin/sh\ncat >/dev/null; echo partial; exit 3\n", kFixtures + "/ppd/cp932.ppd", pdf,
         "failed with status 3"},
        {"converter writes nothing", "#!/bin/sh\ncat >/dev/null\n", kFixtures + "/ppd/cp932.ppd", pdf, "empty"},
        {"converter cannot start", "#!/nonexistent/interpreter\n", kFixtures + "/ppd/cp932.ppd", pdf,
         "could not be started"},
        {"not a PDF", kRecordingConverter, kFixtures + "/ppd/cp932.ppd", "Hello, plain text\n", "not a readable PDF"},
        {"damaged PDF", kRecordingConverter, kFixtures + "/ppd/cp932.ppd", "%PDF-1.4\n1 0 obj\n<< /Type /Catalog",
         "not a readable PDF"},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        fs::remove(spooler.root.file("bin/filter/recordconv"));
        if (!c.converter.empty())
            spooler.Converter("recordconv", c.converter);
        spooler.env["PPD"] = c.ppd;
        spooler.document = spooler.root.file("doc");
        WriteFile(spooler.document, c.document);
        RunResult result = spooler.Run();
        EXPECT_EQ(result.exitCode, 1) << c.what;
        EXPECT_EQ(result.out, "") << c.what;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << ": " << result.err;
        EXPECT_NE(result.err.find("Process Data fail\n"), std::string::npos) << c.what;
        EXPECT_TRUE(spooler.TmpFiles().empty()) << c.what;
    }
}

TEST(FilterProgram, TooFewArgumentsIsAUsageError)
{
    RunOptions run;
    run.args = {"ZLKPrintFilter", "1", "alice", "title", "1"};
    RunResult result = RunProgram(kFilter, run);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Usage:"), std::string::npos);
}

TEST(FilterProgram, ClosedOutputEndsWithStatus1)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(20);
    RunResult result = spooler.Run(kFilter, /*closeStdout=*/true);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, 1);
}

TEST(FilterProgram, CancelledJobStopsTheConverterAndWritesNothing)
{
    SpoolerRun spooler;
    spooler.Converter("recordconv", "#!/bin/sh\nexec sleep 30\n");
    spooler.document = spooler.Pdf(1);
    RunResult result = spooler.Run(kFilter, false, /*terminateAfterMs=*/700);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("cancelled"), std::string::npos) << result.err;
    EXPECT_TRUE(spooler.TmpFiles().empty());
}

// An account ID the job header cannot carry whole reaches the printer
// without the quote or control character, and never silently: the
// spooler's log names the setting, whichever way the ID was given.
TEST(FilterProgram, AnAccountIdThatLosesCharactersIsReported)
{
    const std::string key = "com.zelko.jt.printsettings.pdf.ww.";
    const std::string accounted = key + "JBAManageTypeListTicketKey=2 " + key + "JBAUserIDListCtrlTicket=2 " + key +
                                  "JBAUserIDTextEditTicket=bob ";
    const std::string quote = "WARNING: The account ID (DAID) reaches the printer without a double quote: ";
    struct Case {
        const char* what;
        std::string options;
        const char* warning;  // nullptr: no warning at all
    };
    const Case cases[] = {
        {"standard attribute", "job-account-id=A\\\"B", quote.c_str()},
        {"standard attribute, quoted", "job-account-id='A\"B'", quote.c_str()},
        {"the dialog's key", accounted + key + "JBAAccountIDTextEditTicket=A\\\"B", quote.c_str()},
        {"the dialog's key, slash-decimal", accounted + key + "JBAAccountIDTextEditTicket=/65/34/66", quote.c_str()},
        {"a line break, slash-decimal", accounted + key + "JBAAccountIDTextEditTicket=/65/10/66",
         "WARNING: The account ID (DAID) reaches the printer without a control character (0x0A): "},
        {"clean, standard attribute", "job-account-id=AB", nullptr},
        {"clean, the dialog's key", accounted + key + "JBAAccountIDTextEditTicket=AB", nullptr},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.options = c.options;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << c.what << ": " << result.err;
        JobStreamParts parts = SplitJobStream(result.out);
        ASSERT_TRUE(parts.ok) << c.what;
        EXPECT_EQ(Attribute(parts.header, "DAID"), "AB") << c.what;
        if (c.warning) {
            EXPECT_NE(result.err.find(c.warning), std::string::npos) << c.what << ": " << result.err;
        } else {
            EXPECT_EQ(result.err.find("WARNING:"), std::string::npos) << c.what << ": " << result.err;
        }
        RunResult inspected = InspectStream(result.out);
        EXPECT_EQ(inspected.exitCode, 0) << c.what << ": " << inspected.err;
    }
}

namespace {

// How many of the process's descriptors stand for files in dir, named there
// or unlinked from it ("dir/name (deleted)").
int FilesHeldIn(pid_t pid, const std::string& dir)
{
    int held = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        char target[4096] = {};
        if (readlink(entry.path().c_str(), target, sizeof target - 1) > 0 &&
            std::string(target).rfind(dir + "/", 0) == 0)
            ++held;
    }
    return held;
}

// Whether any process still holds a file in dir open.
bool AnyProcessHoldsFilesIn(const std::string& dir)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos && FilesHeldIn(std::stoi(name), dir) > 0)
            return true;
    }
    return false;
}

// Whether the process has a child running its own program: a page renderer
// (the converter runs a program of its own). True where the kernel does not
// list children, so that the files alone decide there.
bool HasRenderer(pid_t pid)
{
    const std::string task = "/proc/" + std::to_string(pid);
    std::ifstream children(task + "/task/" + std::to_string(pid) + "/children");
    if (!children)
        return true;
    const fs::path self = fs::read_symlink(task + "/exe");
    std::error_code error;
    for (pid_t child; children >> child;)
        if (fs::read_symlink("/proc/" + std::to_string(child) + "/exe", error) == self)
            return true;
    return false;
}

}  // namespace

// A filter killed outright runs no destructor: its temporary files (the
// converted document and the re-rendered one) must have no name from the
// moment they are made, or they stay in the spooler's folder for ever.
// On a print server the computer is the desktop the job came from, as the
// scheduler names it; the server's own name only for jobs made on it. The
// dialog's host name still comes first.
TEST(FilterProgram, TheComputerNameIsTheJobsOrigin)
{
    char local[256] = {};
    ASSERT_EQ(gethostname(local, sizeof local - 1), 0);
    const std::string dialogHost = "com.zelko.jt.printsettings.pdf.ww.JBAMacHostNameStringTicket=ws-042";
    const struct {
        std::string options;
        std::string cnam;
    } cases[] = {
        {"job-originating-host-name=desk42.example.com", "desk42.example.com"},
        {"job-originating-host-name=192.0.2.7", "192.0.2.7"},
        {"job-originating-host-name=localhost", local},
        {"job-originating-host-name=127.0.0.1", local},
        {"job-originating-host-name=::1", local},
        {"", local},
        {"job-originating-host-name=desk42.example.com " + dialogHost, "ws-042"},
    };
    for (const auto& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.options = c.options;
        const RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << c.options << ": " << result.err;
        EXPECT_EQ(Attribute(SplitJobStream(result.out).header, "CNAM"), c.cnam) << c.options;
    }
}

TEST(FilterProgram, AKilledRasterJobLeavesNoFileBehind)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(6);
    spooler.options = "ZLKPDFRasterizedMode=true";
    RunResult whole = spooler.Run();
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(PagesOf(PdfOf(whole), spooler.root).size(), 6u);
    EXPECT_EQ(spooler.TmpFiles(), std::vector<std::string>{}) << "a whole job leaves nothing";

    // Killed while rendering: it holds both files and a renderer runs.
    bool rendering = false;
    std::vector<std::string> named;  // what the folder held at that moment
    spooler.killWhen = [&](pid_t pid) {
        rendering = FilesHeldIn(pid, spooler.tmpdir) >= 2 && HasRenderer(pid);
        if (rendering)
            named = spooler.TmpFiles();
        return rendering;
    };
    RunResult killed = spooler.Run();
    ASSERT_TRUE(rendering) << "the filter ended before it was caught rendering: " << killed.err;
    EXPECT_EQ(killed.signal, SIGKILL);
    EXPECT_EQ(killed.out, "");
    EXPECT_EQ(named, std::vector<std::string>{}) << "files named while the job ran";
    EXPECT_EQ(spooler.TmpFiles(), std::vector<std::string>{}) << "files left by the killed filter";
    // Its renderers go with it, and with them the last hold on the files.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (AnyProcessHoldsFilesIn(spooler.tmpdir) && std::chrono::steady_clock::now() < deadline)
        usleep(10000);
    EXPECT_FALSE(AnyProcessHoldsFilesIn(spooler.tmpdir)) << "a renderer outlived the killed filter";
}

// The conversion through cups-filters' own pdftopdf, as a real queue runs it.
TEST(FilterProgram, ConvertsThroughTheRealPdftopdf)
{
    if (!fs::exists("/usr/lib/cups/filter/pdftopdf"))
        GTEST_SKIP() << "cups-filters is not installed";
    SpoolerRun spooler;
    spooler.env["CUPS_DATADIR"] = "/usr/share/cups";
    spooler.env["CUPS_SERVERBIN"] = "/usr/lib/cups";
    spooler.env["CUPS_SERVERROOT"] = "/etc/cups";
    spooler.document = spooler.Pdf(4);
    spooler.options = "PageSize=Letter orientation-requested=3";
    RunResult result = spooler.Run();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(PdfOf(result).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(PagesOf(PdfOf(result), spooler.root), (std::vector<std::string>{"Page 1", "Page 2", "Page 3", "Page 4"}));
    EXPECT_TRUE(spooler.TmpFiles().empty());
}
