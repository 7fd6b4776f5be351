// An office print server: the driver's queues on one scheduler, desktops
// sending to it through a scheduler of their own, with the driver (its PPD
// on the desktop queue too) or without it (a raw queue, as phones and other
// systems send standard attributes).
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
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
        // The server's scheduler names a client on loopback "localhost":
        // the job was made on this computer, whose name it then carries.
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        EXPECT_EQ(Attribute(parts.header, "CNAM"), host);
        const RunResult inspected = InspectStream(job.stream);
        ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
        EXPECT_NE(inspected.out.find("JobPassword = "), std::string::npos) << inspected.out;
        EXPECT_EQ(inspected.out.find("JobPassword = None"), std::string::npos) << inspected.out;
        if (model != "q6000") {  // the encrypting model carries a storage blob
            EXPECT_NE(inspected.out.find("JobPassword = 13572468\n"), std::string::npos) << inspected.out;
        }
    }
}

// The job's attributes as user sees them (Get-Job-Attributes, all): name
// and value of each.
std::map<std::string, std::string> JobAttributesSeenBy(const Cupsd& server, const std::string& queue, int id,
                                                       const std::string& user)
{
    std::map<std::string, std::string> seen;
    const std::string host = server.server();
    const int port = std::stoi(host.substr(host.rfind(':') + 1));
    std::unique_ptr<http_t, void (*)(http_t*)> http(
        httpConnect2("127.0.0.1", port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr), httpClose);
    if (!http)
        return seen;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = server.QueueUri(queue);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    std::unique_ptr<ipp_t, void (*)(ipp_t*)> response(cupsDoRequest(http.get(), request, "/"), ippDelete);
    for (ipp_attribute_t* attr = response ? ippFirstAttribute(response.get()) : nullptr; attr;
         attr = ippNextAttribute(response.get())) {
        if (ippGetName(attr) && ippGetGroupTag(attr) == IPP_TAG_JOB) {
            char value[4096];
            ippAttributeString(attr, value, sizeof value);
            seen[ippGetName(attr)] = value;
        }
    }
    return seen;
}

// The passcode goes as job-password, which the scheduler shows nobody; the
// accounting password, a ticket key, only once the administrator has had
// the scheduler hide the driver's passwords: then only its owner sees it.
TEST_F(PrintServer, AnotherUserReadsNoSecretFromTheJob)
{
    ASSERT_EQ(server.AddQueue("office", SamplePpd("zelko-mfp-c4500.ppd")), "");
    std::ofstream(dir.file("secret.zlk"))
        << "choose PrintTypeTicketKey Job Type None\nchoose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype "
           "1026 246810\nok\n"
           "press 1005\npress 3017\nok\nprint\ntype 4015 kim\ntype 4008 pw4455\ntype 4018 ACC-3\nok\n";
    const std::map<std::string, std::string> env = {{"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR},
                                                    {"XDG_CONFIG_HOME", dir.file("config")}};
    const std::string owner = getpwuid(getuid())->pw_name;
    const std::string accountingPassword = "com.zelko.jt.printsettings.pdf.ww.JBAInputUserPasswordTextEditTicket";
    auto print = [&] {
        RunResult run;
        const PrintedJob job = server.PrintWith("office", ZLK_PRINT_BINARY,
                                                {"-d", "office", "--script", dir.file("secret.zlk"), pdf}, env, &run);
        EXPECT_EQ(job.state, "completed") << run.err << server.JobLog(job.id);
        const RunResult inspected = InspectStream(job.stream);
        EXPECT_NE(inspected.out.find("JobPassword = 246810\n"), std::string::npos) << inspected.out;
        return job.id;
    };
    auto secrets = [](const std::map<std::string, std::string>& seen) {
        std::vector<std::string> names;
        for (const auto& [name, value] : seen) {
            if ((name.find("assword") != std::string::npos && !value.empty()) ||
                value.find("246810") != std::string::npos)
                names.push_back(name);
        }
        return names;
    };

    const int before = print();
    EXPECT_EQ(secrets(JobAttributesSeenBy(server, "office", before, "mallory")),
              std::vector<std::string>{accountingPassword});

    const RunResult hidden = QueueDefaults({"--hide-passwords"});
    ASSERT_EQ(hidden.exitCode, 0) << hidden.out << hidden.err;
    std::string state;
    for (int i = 0; i < 100 && state.find("scheduler is running") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        state = server.Command({"lpstat", "-h", server.server(), "-r"});
    }
    ASSERT_NE(state.find("scheduler is running"), std::string::npos) << state;
    const int after = print();
    EXPECT_EQ(secrets(JobAttributesSeenBy(server, "office", after, "mallory")), std::vector<std::string>{});
    EXPECT_EQ(secrets(JobAttributesSeenBy(server, "office", after, owner)),
              std::vector<std::string>{accountingPassword});
    // Asked again, the command finds nothing to add.
    const RunResult again = QueueDefaults({"--hide-passwords"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("already keeps"), std::string::npos) << again.out;
}

}  // namespace
