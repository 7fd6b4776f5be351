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

#include "process.h"
#include "spooler.h"
#include "testpdf.h"

namespace fs = std::filesystem;

namespace zlk::test {
namespace {

// One zlk-printer-app server; its state folder outlives it so that another
// can start from it.
class PrinterApp {
public:
    explicit PrinterApp(const std::string& root) : root_(root)
    {
        fs::create_directories(root_ + "/tmp");
        fs::create_directories(root_ + "/out");
    }
    ~PrinterApp() { Stop(); }
    PrinterApp(const PrinterApp&) = delete;
    PrinterApp& operator=(const PrinterApp&) = delete;

    // "" once the server takes connections, else why not.
    std::string Start()
    {
        port_ = FreePort();
        std::vector<std::string> args = {"zlk-printer-app",
                                         "server",
                                         "-o",
                                         "server-port=" + std::to_string(port_),
                                         "-o",
                                         "listen-hostname=localhost",
                                         "-o",
                                         "log-level=info",
                                         "-o",
                                         "state-directory=" + root_ + "/state"};
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + root_, "TMPDIR=" + root_ + "/tmp",
                                        "ZLK_PRINTER_APP_PPD_DIR=" ZLK_SAMPLE_PPD_DIR,
                                        "ZLK_PRINTER_APP_FILTER=" + FilterProgram()};
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, ZLK_PRINTER_APP_BINARY, nullptr, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = 0;
            return "cannot start zlk-printer-app";
        }
        for (int i = 0; i < 300; ++i) {
            if (Accepts(port_))
                return "";
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return "zlk-printer-app ended at start:\n" + Log();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "zlk-printer-app does not listen on its port:\n" + Log();
    }

    // Ends the server as the system's service manager would (it saves its
    // state on the way out).
    void Stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
    }

    std::string Uri(const std::string& path) const { return "ipp://localhost:" + std::to_string(port_) + path; }

    // Runs one of our ipptool files; vars become -d name=value.
    RunResult Ipp(const std::string& path, const std::string& testFile, const std::map<std::string, std::string>& vars,
                  const std::string& file = "") const
    {
        RunOptions run;
        run.args = {"ipptool", "-t"};
        for (const auto& [name, value] : vars) {
            run.args.push_back("-d");
            run.args.push_back(name + "=" + value);
        }
        if (!file.empty()) {
            run.args.push_back("-f");
            run.args.push_back(file);
        }
        run.args.push_back(Uri(path));
        run.args.push_back(std::string(ZLK_IPP_TESTS) + "/" + testFile);
        run.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", root_}, {"TMPDIR", root_ + "/tmp"}};
        return RunProgram(ZLK_IPPTOOL, run);
    }

    RunResult AddPrinter(const std::string& name, const std::string& driver) const
    {
        return Ipp("/ipp/system", "add-printer.test",
                   {{"name", name}, {"driver", driver}, {"device", "file://" + root_ + "/out"}});
    }

    RunResult Print(const std::string& printer, const std::string& file, const std::string& format = "application/pdf",
                    const std::string& password = "43219876") const
    {
        return Ipp("/ipp/print/" + printer, "print-job.test",
                   {{"format", format}, {"sides", "two-sided-long-edge"}, {"account", "ACC9"}, {"password", password}},
                   file);
    }

    // What reached the file device (one job's worth: tests print once).
    std::string Output() const
    {
        for (const auto& entry : fs::directory_iterator(root_ + "/out"))
            return ReadFile(entry.path().string());
        return "";
    }

    std::string Log() const
    {
        std::error_code error;
        const std::string log = root_ + "/state/zlk-printer-app.log";
        return fs::exists(log, error) ? ReadFile(log) : "(no log)";
    }

private:
    std::string root_;
    int port_ = 0;
    pid_t pid_ = 0;
};

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
