// What any IPP client learns of a queue made from each sample, and a queue
// that asks at print time: jobs from programs with their own print dialog
// wait, held, for the Zelko print agent; jobs from our own hosts print.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cupsd.h"
#include "filter/standardattrs.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::test;

namespace {

namespace fs = std::filesystem;

// The values ipptool shows ("name (type) = value") for the queue and, given
// a job, for that job.
std::map<std::string, std::string> Attributes(const Cupsd& cupsd, const std::string& queue, int job = 0)
{
    std::vector<std::string> args = {"ipptool", "-t"};
    if (job != 0) {
        args.insert(args.end(), {"-d", "job=" + std::to_string(job)});
    }
    args.insert(args.end(), {cupsd.QueueUri(queue), ZLK_QUEUE_ATTRIBUTES_TEST});
    int code = 0;
    const std::string out = cupsd.Command(args, &code);
    EXPECT_EQ(code, 0) << out;
    std::map<std::string, std::string> values;
    for (const std::string& line : Lines(out)) {
        const std::size_t start = line.find_first_not_of(' ');
        const std::size_t type = line.find(" (");
        const std::size_t equals = line.find(") = ");
        if (start != std::string::npos && type != std::string::npos && equals != std::string::npos && type < equals) {
            values[line.substr(start, type - start)] = line.substr(equals + 4);
        }
    }
    return values;
}

std::string Unavailable(const Cupsd& cupsd)
{
    if (!cupsd.ok()) {
        return cupsd.error();
    }
    if (!fs::exists("/usr/bin/ipptool")) {
        return "ipptool is not installed (cups-ipp-utils)";
    }
    return "";
}

RunResult QueueDefaults(const Cupsd& cupsd, const std::vector<std::string>& args)
{
    RunOptions run;
    run.args = {"zlk-queue-defaults"};
    run.args.insert(run.args.end(), args.begin(), args.end());
    run.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"CUPS_SERVER", cupsd.server()}, {"HOME", cupsd.root()}};
    return RunProgram(ZLK_QUEUEDEFAULTS_BINARY, run);
}

}  // namespace

// Every sample can hold a job under a passcode and account it, so every
// client is told so, with the longest passcode the print type panel takes;
// the scheduler still prints at once a job that asks for neither.
TEST(SampleQueues, TellEveryClientOfThePasscodeAndAccounting)
{
    Cupsd cupsd(FilterProgram());
    if (const std::string why = Unavailable(cupsd); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    WriteTestPdf(dir.file("doc.pdf"), 1);
    const std::string longest = std::to_string(zlk::filter::kPasscodeMaxDigits);
    const struct {
        const char* model;
        std::string passcodeDigits;
        const char* accountId;
        const char* accountingUserId;
    } cases[] = {
        {"c3500j", longest, "true", "true"},
        {"c4500", longest, "true", "true"},
        {"m2500", longest, "true", "true"},  // holds jobs on its RAM disk
        {"q6000", longest, "true", "true"},
    };
    for (const auto& c : cases) {
        const std::string queue = std::string("adv") + c.model;
        ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd(std::string("zelko-mfp-") + c.model + ".ppd")), "") << c.model;
        std::map<std::string, std::string> seen = Attributes(cupsd, queue);
        EXPECT_EQ(seen["job-password-supported"], c.passcodeDigits) << c.model;
        EXPECT_EQ(seen["job-password-encryption-supported"], "none") << c.model;
        EXPECT_EQ(seen["job-account-id-supported"], c.accountId) << c.model;
        EXPECT_EQ(seen["job-accounting-user-id-supported"], c.accountingUserId) << c.model;
        EXPECT_EQ(seen["job-hold-until-default"], "no-hold") << c.model;
        const PrintedJob job = cupsd.Print(queue, dir.file("doc.pdf"), {});
        EXPECT_EQ(job.state, "completed") << c.model << "\n" << cupsd.JobLog(job.id);
    }
}

// A queue that asks at print time holds what other programs send until its
// owner lets it go, unless the job says itself when to print; zlk-print's
// jobs print at once.
TEST(AskAtPrintTime, HoldsJobsFromOtherProgramsUntilReleased)
{
    Cupsd cupsd(FilterProgram());
    if (const std::string why = Unavailable(cupsd); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    const std::string pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf, 1);
    ASSERT_EQ(cupsd.AddQueue("ask", SamplePpd("zelko-mfp-c4500.ppd")), "");
    // A queue of another driver is not ours to hold.
    ASSERT_EQ(cupsd.AddQueue("other", FixturePath("ppd/nofilter.ppd")), "");
    const RunResult refused = QueueDefaults(cupsd, {"--ask-at-print-time", "other"});
    EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
    EXPECT_NE(refused.err.find("not a Zelko queue"), std::string::npos) << refused.err;
    EXPECT_EQ(Attributes(cupsd, "other")["job-hold-until-default"], "no-hold");

    const RunResult set = QueueDefaults(cupsd, {"--ask-at-print-time", "ask"});
    ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
    // As the scheduler reads printers.conf when it starts again.
    ASSERT_EQ(cupsd.Reload(), "");
    EXPECT_EQ(Attributes(cupsd, "ask")["job-hold-until-default"], "indefinite");

    struct Case {
        const char* what;
        bool zlkPrint;  // else lp
        std::vector<std::string> args;
        const char* holdUntil;  // "" when it prints at once
    };
    const Case cases[] = {
        {"zlk-print", true, {}, ""},
        {"zlk-print asking for a hold", true, {"-o", "job-hold-until=indefinite"}, "indefinite"},
        {"plain lp", false, {}, "indefinite"},
        {"lp -H immediate", false, {"-H", "immediate"}, ""},
        {"lp -H hold", false, {"-H", "hold"}, "indefinite"},
    };
    int number = 0;
    for (const Case& c : cases) {
        int id = 0;
        std::string sent;
        if (c.zlkPrint) {
            RunOptions run;
            run.args = {ZLK_PRINT_BINARY, "-d", "ask"};
            run.args.insert(run.args.end(), c.args.begin(), c.args.end());
            run.args.push_back(pdf);
            run.env = {{"PATH", "/usr/bin:/bin"},
                       {"CUPS_SERVER", cupsd.server()},
                       {"HOME", cupsd.root()},
                       {"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR},
                       {"XDG_CONFIG_HOME", dir.file("config" + std::to_string(++number))}};
            const RunResult result = RunProgram(ZLK_PRINT_BINARY, run);
            sent = result.out + result.err;
            if (result.exitCode == 0 && result.out.starts_with("ask-")) {
                id = std::stoi(result.out.substr(4));
            }
        } else {
            std::vector<std::string> args = {"lp", "-h", cupsd.server(), "-d", "ask"};
            args.insert(args.end(), c.args.begin(), c.args.end());
            args.push_back(pdf);
            sent = cupsd.Command(args);
            if (const std::size_t at = sent.find("request id is ask-"); at != std::string::npos) {
                id = std::stoi(sent.substr(at + 18));
            }
        }
        ASSERT_NE(id, 0) << c.what << ": " << sent;
        if (*c.holdUntil) {
            std::map<std::string, std::string> job = Attributes(cupsd, "ask", id);
            EXPECT_EQ(job["job-state"], "pending-held") << c.what;
            EXPECT_EQ(job["job-hold-until"], c.holdUntil) << c.what;
            // Its owner lets it go.
            int code = 0;
            const std::string released =
                cupsd.Command({"lp", "-h", cupsd.server(), "-i", std::to_string(id), "-H", "resume"}, &code);
            EXPECT_EQ(code, 0) << released;
        }
        const PrintedJob job = cupsd.WaitForJob("ask", id);
        EXPECT_EQ(job.state, "completed") << c.what << "\n" << cupsd.JobLog(id);
    }

    const RunResult unset = QueueDefaults(cupsd, {"--no-ask-at-print-time", "ask"});
    ASSERT_EQ(unset.exitCode, 0) << unset.out << unset.err;
    EXPECT_EQ(Attributes(cupsd, "ask")["job-hold-until-default"], "no-hold");
    const PrintedJob job = cupsd.Print("ask", pdf, {});
    EXPECT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
}
