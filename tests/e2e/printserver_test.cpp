// An office print server: the driver's queues on one scheduler, desktops
// sending to it through a scheduler of their own, with the driver (its PPD
// on the desktop queue too) or without it (a raw queue, as phones and other
// systems send standard attributes).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cupsd.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::test;

namespace {

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class PrintServer : public testing::Test {
protected:
    void SetUp() override
    {
        if (!server.ok() || !desktop.ok())
            GTEST_SKIP() << "no CUPS scheduler could be started here: " << server.error() << desktop.error();
        WriteTestPdf(pdf, 2);
    }

    RunResult QueueDefaults(const std::vector<std::string>& args)
    {
        RunOptions run;
        run.args = {"zlk-queue-defaults"};
        run.args.insert(run.args.end(), args.begin(), args.end());
        run.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"CUPS_SERVER", server.server()}, {"HOME", dir.path()}};
        return RunProgram(ZLK_QUEUEDEFAULTS_BINARY, run);
    }

    Cupsd server{FilterProgram()};
    Cupsd desktop{FilterProgram()};
    TempDir dir;
    std::string pdf = dir.file("doc.pdf");
};

// The driver on the desktop and on the server: the server sends the
// desktop's job stream on as it is, so it prints once, held under the
// passcode, not as a page of its header's text.
TEST_F(PrintServer, DriverOnBothSidesPrintsTheDesktopsJobOnce)
{
    ASSERT_EQ(server.AddQueue("office", SamplePpd("zelko-mfp-c4500.ppd")), "");
    ASSERT_EQ(desktop.AddForwardingQueue("desk", SamplePpd("zelko-mfp-c4500.ppd"), server.QueueUri("office")), "");
    std::ofstream(dir.file("secure.zlk")) << "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\n"
                                             "type 1026 246810\nok\n";
    RunOptions options;
    options.args = {ZLK_PRINT_BINARY, "-d", "desk", "--script", dir.file("secure.zlk"), pdf};
    options.env = {{"CUPS_SERVER", desktop.server()},
                   {"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR},
                   {"XDG_CONFIG_HOME", dir.file("config")},
                   {"HOME", dir.path()},
                   {"PATH", "/usr/bin:/bin"}};
    const RunResult sent = RunProgram(ZLK_PRINT_BINARY, options);
    ASSERT_EQ(sent.exitCode, 0) << sent.err;

    const PrintedJob job = server.WaitForNewestJob("office");
    ASSERT_EQ(job.state, "completed") << server.JobLog(job.id);
    EXPECT_NE(server.JobLog(job.id).find("sent on unchanged"), std::string::npos) << server.JobLog(job.id);
    EXPECT_EQ(Count(job.stream, "@PJL JOB MODE=PRINTER"), 1u) << job.stream.substr(0, 600);
    const JobStreamParts parts = SplitJobStream(job.stream);
    ASSERT_TRUE(parts.ok) << job.stream.substr(0, 600);
    WriteFile(dir.file("printed.pdf"), parts.pdf);
    const std::vector<std::string> pages = PdfPageTexts(dir.file("printed.pdf"));
    EXPECT_EQ(pages.size(), 2u);
    for (const std::string& page : pages)
        EXPECT_EQ(page.find("@PJL"), std::string::npos) << page;
    const RunResult inspected = InspectStream(job.stream);
    ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
    EXPECT_NE(inspected.out.find("JobPassword = 246810\n"), std::string::npos) << inspected.out;
}

// A queue set up with the administrator's defaults, and a job from a
// desktop without the driver carrying the standard attributes: the job's
// own passcode and accounting win on every model.
TEST_F(PrintServer, StandardAttributesWinOverTheQueuesDefaults)
{
    for (const std::string model : {"c3500j", "c4500", "m2500", "q6000"}) {
        SCOPED_TRACE(model);
        const std::string queue = "srv-" + model;
        ASSERT_EQ(server.AddQueue(queue, SamplePpd("zelko-mfp-" + model + ".ppd")), "");
        const RunResult set = QueueDefaults({"--account", "QUEUEACC", queue});
        ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
        ASSERT_EQ(desktop.AddForwardingQueue("raw-" + model, "", server.QueueUri(queue)), "");
        int code = 0;
        const std::string out =
            desktop.Command({"lp", "-h", desktop.server(), "-d", "raw-" + model, "-o", "job-password=13572468", "-o",
                             "job-account-id=ACC9", "-o", "job-accounting-user-id=bob", pdf},
                            &code);
        ASSERT_EQ(code, 0) << out;

        const PrintedJob job = server.WaitForNewestJob(queue);
        ASSERT_EQ(job.state, "completed") << server.JobLog(job.id);
        const JobStreamParts parts = SplitJobStream(job.stream);
        ASSERT_TRUE(parts.ok) << job.stream.substr(0, 600);
        EXPECT_EQ(Attribute(parts.header, "DAID"), "ACC9");
        EXPECT_EQ(Attribute(parts.header, "JOAU"), "bob");
        const RunResult inspected = InspectStream(job.stream);
        ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
        EXPECT_NE(inspected.out.find("JobPassword = "), std::string::npos) << inspected.out;
        EXPECT_EQ(inspected.out.find("JobPassword = None"), std::string::npos) << inspected.out;
        if (model != "q6000") {  // the encrypting model carries a storage blob
            EXPECT_NE(inspected.out.find("JobPassword = 13572468\n"), std::string::npos) << inspected.out;
        }
    }
}

}  // namespace
