// zlk-printer-app as IPP clients meet it: a server on a private loopback port
// with its own state folder, printers added and jobs sent with ipptool, the
// job stream read back from the printer's file device.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "printerapp.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"

namespace fs = std::filesystem;

namespace zlk::test {
namespace {

class PrinterAppTest : public ::testing::Test {
protected:
    TempDir dir;
    PrinterApp app{dir.path()};

    void SetUp() override
    {
        if (std::string(ZLK_IPPTOOL).empty() || !fs::exists(ZLK_IPPTOOL))
            GTEST_SKIP() << "ipptool (cups-ipp-utils) is not installed";
        const std::string error = app.Start();
        ASSERT_EQ(error, "");
    }
};

struct ModelCase {
    const char* driver;
    const char* makeAndModel;
    const char* mediaDefault;
    const char* colorModes;  // print-color-mode-supported as ipptool shows it
    const char* outputBins;
    const char* renderMode;  // RENDERMODE of the job stream, the model's default colour mode
};

// Every sample model: the driver is made from its PPD, and a two-sided job
// with an account comes out as the filter's job stream.
TEST_F(PrinterAppTest, EachSampleModelPrintsTheFiltersJobStream)
{
    const ModelCase cases[] = {
        {"zelko_mfp_c4500", "Zelko MFP C4500", "iso_a4_210x297mm", "auto,color,monochrome",
         "auto,main-tray,finisher-tray,booklet-tray", "COLOR"},
        {"zelko_mfp_c3500j", "Zelko MFP C3500J", "iso_a4_210x297mm", "auto,color,monochrome", "", "COLOR"},
        {"zelko_mfp_m2500", "Zelko MFP M2500", "na_letter_8.5x11in", "auto,monochrome", "main-tray,finisher-tray",
         "GRAYSCALE"},
        {"zelko_mfp_q6000", "Zelko MFP Q6000", "iso_a4_210x297mm", "auto,color,monochrome", "", "COLOR"},
    };
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.driver);
        const std::string printer = std::string("p_") + c.driver;
        const RunResult added = app.AddPrinter(printer, c.driver);
        ASSERT_EQ(added.exitCode, 0) << added.out << added.err << app.Log();

        const RunResult attrs = app.Ipp("/ipp/print/" + printer, "printer-attributes.test", {});
        ASSERT_EQ(attrs.exitCode, 0) << attrs.out << attrs.err;
        EXPECT_NE(attrs.out.find(std::string("printer-make-and-model (textWithoutLanguage) = ") + c.makeAndModel),
                  std::string::npos)
            << attrs.out;
        EXPECT_NE(attrs.out.find(std::string("media-default (keyword) = ") + c.mediaDefault), std::string::npos)
            << attrs.out;
        EXPECT_NE(attrs.out.find(std::string("print-color-mode-supported (1setOf keyword) = ") + c.colorModes),
                  std::string::npos)
            << attrs.out;
        EXPECT_NE(
            attrs.out.find("sides-supported (1setOf keyword) = one-sided,two-sided-long-edge,two-sided-short-edge"),
            std::string::npos)
            << attrs.out;
        if (*c.outputBins) {
            EXPECT_NE(attrs.out.find(std::string("output-bin-supported (1setOf keyword) = ") + c.outputBins),
                      std::string::npos)
                << attrs.out;
        }
    }

    // Printing on one printer per model in turn; each job's stream is read
    // before the next so the device folder holds one file.
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.driver);
        const RunResult printed = app.Print(std::string("p_") + c.driver, ZLK_SAMPLE_PDF);
        ASSERT_EQ(printed.exitCode, 0) << printed.out << printed.err;
        EXPECT_NE(printed.out.find("job-state (enum) = completed"), std::string::npos) << printed.out << app.Log();

        const std::string stream = app.Output();
        const RunResult inspected = InspectStream(stream);
        EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
        EXPECT_NE(inspected.out.find("4 pages"), std::string::npos) << inspected.out;
        // Secure print: the digits, or on models that keep them encrypted their blob.
        EXPECT_NE(inspected.out.find("JobPassword = "), std::string::npos) << inspected.out;
        EXPECT_EQ(inspected.out.find("JobPassword = (empty)"), std::string::npos) << inspected.out;
        const JobStreamParts parts = SplitJobStream(stream);
        ASSERT_TRUE(parts.ok);
        EXPECT_EQ(Attribute(parts.header, "DAID"), "ACC9");
        EXPECT_EQ(Attribute(parts.header, "JOAU"), "alice");
        EXPECT_NE(parts.header.find(std::string("@PJL SET RENDERMODE=") + c.renderMode), std::string::npos)
            << parts.header;
        EXPECT_NE(parts.trailer.find("DUPLEXTYPE=DUPLEX\n"), std::string::npos) << parts.trailer;
        for (const auto& entry : fs::directory_iterator(dir.file("out")))
            fs::remove(entry.path());
    }
}

// Printers live in the state folder: a server started again on it has them.
TEST_F(PrinterAppTest, RestartKeepsPrinters)
{
    ASSERT_EQ(app.AddPrinter("office", "zelko_mfp_c4500").exitCode, 0) << app.Log();
    app.Stop();
    ASSERT_EQ(app.Start(), "");

    const RunResult attrs = app.Ipp("/ipp/print/office", "printer-attributes.test", {});
    ASSERT_EQ(attrs.exitCode, 0) << attrs.out << attrs.err << app.Log();
    EXPECT_NE(attrs.out.find("printer-make-and-model (textWithoutLanguage) = Zelko MFP C4500"), std::string::npos)
        << attrs.out;
    const RunResult printed = app.Print("office", ZLK_SAMPLE_PDF);
    EXPECT_NE(printed.out.find("job-state (enum) = completed"), std::string::npos) << printed.out << app.Log();
    EXPECT_EQ(InspectStream(app.Output()).exitCode, 0);
}

struct JobAttributeCase {
    const char* name;
    const char* operationAttrs;  // ipptool ATTR lines
    const char* jobAttrs;
    const char* printerDefault;  // a Set-Printer-Attributes ATTR line first, or ""
    std::vector<const char*> shows;  // in zlk-inspect's report or the PJL around the PDF
};

// A Print-Job with the given attributes, then a wait for its end that shows
// what any client can read of the job.
std::string JobTest(const JobAttributeCase& c)
{
    std::string test;
    if (*c.printerDefault)
        test +=
            "{\n OPERATION Set-Printer-Attributes\n GROUP operation-attributes-tag\n"
            " ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n"
            " ATTR uri printer-uri $uri\n GROUP printer-attributes-tag\n " +
            std::string(c.printerDefault) + "\n STATUS successful-ok\n}\n";
    test +=
        "{\n OPERATION Print-Job\n GROUP operation-attributes-tag\n ATTR charset attributes-charset utf-8\n"
        " ATTR naturalLanguage attributes-natural-language en\n ATTR uri printer-uri $uri\n"
        " ATTR name requesting-user-name alice\n ATTR mimeMediaType document-format application/pdf\n" +
        std::string(c.operationAttrs) + "\n GROUP job-attributes-tag\n ATTR name job-account-id ACC9\n" + c.jobAttrs +
        "\n FILE $filename\n STATUS successful-ok\n}\n";
    test +=
        "{\n OPERATION Get-Job-Attributes\n GROUP operation-attributes-tag\n ATTR charset attributes-charset utf-8\n"
        " ATTR naturalLanguage attributes-natural-language en\n ATTR uri printer-uri $uri\n"
        " ATTR integer job-id $job-id\n ATTR name requesting-user-name alice\n"
        " ATTR keyword requested-attributes all\n DELAY \"0,0.2\"\n STATUS successful-ok\n"
        " EXPECT job-state OF-TYPE enum WITH-VALUE >6 REPEAT-NO-MATCH\n REPEAT-LIMIT 600\n"
        " DISPLAY job-state\n DISPLAY job-state-message\n DISPLAY job-password\n}\n";
    return test;
}

// Standard IPP attributes and the model's vendor attributes become the
// printer's settings in the job stream; a passcode sent as IPP clients send
// it reaches the printer and no client can read it back.
TEST_F(PrinterAppTest, JobAttributesBecomeThePrintersSettings)
{
    ASSERT_EQ(app.AddPrinter("office", "zelko_mfp_c4500").exitCode, 0) << app.Log();
    const JobAttributeCase cases[] = {
        {"staple", "", "ATTR enum finishings 4", "", {"Finishing = StapleTopLeft"}},
        {"two staples on top, then punched",
         "",
         "ATTR enum finishings 29,5",
         "",
         {"Finishing = StapleDualTop", "Finishing = Punch2HoleLeft"}},
        {"booklet", "", "ATTR enum finishings 13", "", {"Finishing = BookletMaker"}},
        {"vendor staple",
         "",
         "ATTR keyword zlk-staple bottom-right-single-port",
         "",
         {"Finishing = StapleBottomRight"}},
        {"paper type and two up",
         "",
         "ATTR collection media-col { MEMBER keyword media-type cardstock }\n"
         "ATTR integer number-up 2",
         "",
         {"MediaKey = Thick1", "@NLPP=N2"}},
        {"uncollated copies",
         "",
         "ATTR integer copies 2\nATTR keyword multiple-document-handling "
         "separate-documents-uncollated-copies",
         "",
         {"PAGECOPIES=2", "JOBCOPIES=1"}},
        {"passcode as an operation attribute",
         "ATTR octetString job-password \"4321\"",
         "",
         "",
         {"JobPassword = 4321"}},
        {"a printer default the job keeps",
         "",
         "",
         "ATTR keyword zlk-staple-default upper-right-single-port",
         {"Finishing = StapleTopRight"}},
    };
    for (const JobAttributeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string testFile = dir.file("job.test");
        WriteFile(testFile, JobTest(c));
        const RunResult printed = app.IppFile("/ipp/print/office", testFile, {"-t", "-f", ZLK_SAMPLE_PDF});
        ASSERT_EQ(printed.exitCode, 0) << printed.out << printed.err << app.Log();
        EXPECT_NE(printed.out.find("job-state (enum) = completed"), std::string::npos) << printed.out << app.Log();
        // Neither what Get-Job-Attributes shows of the job nor the log holds the digits.
        EXPECT_EQ(printed.out.find("4321"), std::string::npos) << printed.out;
        EXPECT_EQ(app.Log().find("4321"), std::string::npos);

        const std::string stream = app.Output();
        const RunResult inspected = InspectStream(stream);
        EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
        const JobStreamParts parts = SplitJobStream(stream);
        const std::string seen = inspected.out + parts.header + parts.trailer;
        for (const char* shown : c.shows)
            EXPECT_NE(seen.find(shown), std::string::npos) << shown << "\n" << seen;
        for (const auto& entry : fs::directory_iterator(dir.file("out")))
            fs::remove(entry.path());
    }
}

// Clients sending at once: PAPPL 1.3 would start some jobs twice or two at
// a time on one device, and crash. Every job is printed once, whole.
TEST_F(PrinterAppTest, JobsFromManyClientsAtOnceArePrintedOnceEach)
{
    ASSERT_EQ(app.AddPrinter("office", "zelko_mfp_c4500").exitCode, 0) << app.Log();
    const std::string testFile = dir.file("job.test");
    WriteFile(testFile, JobTest({"named", "ATTR name job-name $job", "", "", {}}));
    constexpr int kClients = 8;
    constexpr int kJobsEach = 6;
    std::vector<std::string> failures(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            for (int j = 0; j < kJobsEach; ++j) {
                const std::string name = "c" + std::to_string(c) + "j" + std::to_string(j);
                const RunResult printed =
                    app.IppFile("/ipp/print/office", testFile, {"-t", "-d", "job=" + name, "-f", ZLK_SAMPLE_PDF});
                if (printed.out.find("job-state (enum) = completed") == std::string::npos)
                    failures[static_cast<std::size_t>(c)] += name + ":\n" + printed.out + printed.err;
            }
        });
    for (std::thread& client : clients)
        client.join();
    for (const std::string& failure : failures)
        EXPECT_EQ(failure, "") << app.Log();

    int streams = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("out"))) {
        ++streams;
        const RunResult inspected = InspectStream(ReadFile(entry.path().string()));
        EXPECT_EQ(inspected.exitCode, 0) << entry.path() << inspected.err;
        EXPECT_NE(inspected.out.find("4 pages"), std::string::npos) << entry.path() << inspected.out;
    }
    EXPECT_EQ(streams, kClients * kJobsEach);
}

struct RefusalCase {
    const char* name;
    const char* content;  // nullptr: the sample PDF
    const char* format;
    const char* password;
    const char* says;  // in ipptool's report
};

// Jobs the printer cannot take never reach the device, and where the driver
// knows why, the job says so.
TEST_F(PrinterAppTest, RefusedJobsSayWhy)
{
    ASSERT_EQ(app.AddPrinter("office", "zelko_mfp_c4500").exitCode, 0) << app.Log();
    const RefusalCase cases[] = {
        {"plain text", "Hello\n", "text/plain", "", "job-state (enum) = aborted"},
        {"text sent as PDF", "Hello, this is no PDF\n", "application/pdf", "",
         "job-state-message (textWithoutLanguage) = The document is not a PDF file"},
        {"raster", "RaS2 not really raster\n", "image/pwg-raster", "", "job-state (enum) = aborted"},
        {"passcode with letters", nullptr, "application/pdf", "12ab",
         "job-state-message (textWithoutLanguage) = The job is not printed: job-password is not all digits"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = ZLK_SAMPLE_PDF;
        if (c.content) {
            file = dir.file("document");
            WriteFile(file, c.content);
        }
        const RunResult printed = app.Print("office", file, c.format, c.password);
        EXPECT_NE(printed.out.find(c.says), std::string::npos) << printed.out << printed.err;
        EXPECT_EQ(printed.out.find("job-state (enum) = completed"), std::string::npos) << printed.out;
        EXPECT_EQ(app.Output(), "");
    }
}

}  // namespace
}  // namespace zlk::test
