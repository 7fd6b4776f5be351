// The print-time agent as a person meets it: a program's job (plain lp)
// held by a queue that asks at print time, the agent's window with the
// account plug-in's panels driven with clicks and keys, and the job
// released with those settings through the private scheduler.
#include <gtest/gtest.h>

#include <cups/cups.h>

#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <regex>

#include "cupsd.h"
#include "guitest.h"
#include "host/agent/agent.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

class PrintAgent : public testing::Test {
protected:
    void SetUp() override
    {
        if (!cupsd.ok()) {
            GTEST_SKIP() << cupsd.error();
        }
        cupsSetServer(cupsd.server().c_str());
        WriteTestPdf(pdf.string(), 2);
    }
    void TearDown() override { cupsSetUser(nullptr); }

    // A queue of the sample model set to ask at print time.
    void AddAskingQueue(const std::string& queue, const std::string& model)
    {
        ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd("zelko-mfp-" + model + ".ppd")), "");
        int code = 0;
        const std::string out =
            cupsd.Command({"lpadmin", "-p", queue, "-o", "job-hold-until-default=indefinite"}, &code);
        ASSERT_EQ(code, 0) << out;
    }

    // Sends the document with lp and these arguments; the job's id.
    int Send(const std::string& queue, std::vector<std::string> more = {})
    {
        std::vector<std::string> args = {"lp", "-d", queue, "-t", "report.pdf"};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(pdf.string());
        const std::string out = cupsd.Command(args);
        std::smatch id;
        EXPECT_TRUE(std::regex_search(out, id, std::regex("-([0-9]+) "))) << out;
        return id.empty() ? 0 : std::stoi(id[1]);
    }

    static bool Held(int job)
    {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ACTIVE);
        bool held = false;
        for (int i = 0; i < count; ++i) {
            held = held || (jobs[i].id == job && jobs[i].state == IPP_JSTATE_HELD);
        }
        cupsFreeJobs(count, jobs);
        return held;
    }

    // Every attribute the scheduler keeps of the job, as "name=value" lines.
    static std::string JobAttributes(int job)
    {
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
        ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
        std::string lines;
        for (ipp_attribute_t* attr = ippFirstAttribute(response); attr; attr = ippNextAttribute(response)) {
            char value[2048];
            ippAttributeString(attr, value, sizeof value);
            lines += std::string(ippGetName(attr) ? ippGetName(attr) : "") + "=" + value + "\n";
        }
        ippDelete(response);
        return lines;
    }

    std::unique_ptr<host::agent::Agent> StartAgent()
    {
        std::string why;
        auto scheduler = host::agent::Scheduler::Connect(&why);
        EXPECT_NE(scheduler, nullptr) << why;
        host::agent::AgentSetup setup;
        setup.pluginFolders = {ZLK_PLUGIN_BUILD_DIR};
        setup.queuePPD = host::QueuePPD;
        setup.log = [this](const std::string& line) { log += line + "\n"; };
        auto agent = std::make_unique<host::agent::Agent>(toolkit, std::move(scheduler), setup);
        agent->OnShown([this](host::agent::AskWindow& window) { shown.push_back(window.Job().id); });
        agent->Start();
        return agent;
    }

    host::agent::AskWindow* WaitForWindow(host::agent::Agent& agent, int job)
    {
        [[maybe_unused]] const bool appeared =
            QTest::qWaitFor([&] { return agent.Shown() && agent.Shown()->Job().id == job; }, 10000);
        host::agent::AskWindow* window = agent.Shown();
        return window && window->Job().id == job && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }

    Cupsd cupsd{FilterProgram()};
    TempDir dir;
    fs::path pdf = dir.file("report.pdf");
    widgets::QtToolkit toolkit;
    Hands hands{toolkit};
    std::vector<int> shown;
    std::string log;
};

TEST_F(PrintAgent, AsksForSecurePrintAndAccountingThenReleasesOrCancels)
{
    const std::string queue = "zga4500";
    AddAskingQueue(queue, "c4500");
    const int others = Send(queue, {"-U", "mallory"});
    const int first = Send(queue);
    // Two jobs wait at once: one window at a time, in the order they came.
    const int second = Send(queue);
    ASSERT_TRUE(Held(first)) << cupsd.JobLog(first);
    std::unique_ptr<host::agent::Agent> agent = StartAgent();
    host::agent::AskWindow* window = WaitForWindow(*agent, first);
    ASSERT_NE(window, nullptr) << log;
    Screenshot(*window, "agent-c4500");

    // Secure print with a passcode, in the print type panel's window.
    hands.InWindow([](QWidget& passcodeWindow) {
        TypeInto(Tagged(passcodeWindow, 1022), "kim");
        TypeInto(Tagged(passcodeWindow, 1026), "4321");
        PressKey(&passcodeWindow, Qt::Key_Return);
    });
    QWidget* jobType = Reveal(toolkit, window->Pages(), "PrintTypeTicketKey");
    ASSERT_NE(jobType, nullptr);
    ASSERT_TRUE(Choose(toolkit, jobType, "Job Type Secure"));
    // Accounting typed in the input window when Print is pressed.
    QTabWidget* pages = window->Pages();
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(0).center());
    hands.InWindow([](QWidget& settings) {
        Click(Tagged(settings, 3017));
        PressKey(&settings, Qt::Key_Return);
    });
    Click(Tagged(*pages->currentWidget(), 1005));
    hands.InWindow([](QWidget& input) {
        TypeInto(Tagged(input, 4015), "kim");
        TypeInto(Tagged(input, 4008), "pw4455");
        TypeInto(Tagged(input, 4018), "ACC-3");
        PressKey(&input, Qt::Key_Return);
    });
    Click(window->findChild<QPushButton*>("print"));
    EXPECT_EQ(hands.Pending(), 0u) << "every window expected opened";
    for (const std::string& alert : hands.AlertsShown()) {
        ADD_FAILURE() << "alert: " << alert;
    }

    const PrintedJob printed = cupsd.WaitForJob(queue, first);
    ASSERT_EQ(printed.state, "completed") << cupsd.JobLog(first) << log;
    const RunResult inspected = InspectStream(printed.stream);
    ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
    for (const char* text : {"JobPassword = 4321", "JOAU", "DAID", "kim", "ACC-3"}) {
        EXPECT_NE(inspected.out.find(text), std::string::npos) << text << "\n" << inspected.out;
    }

    // The job keeps the passcode and the password only sealed.
    const std::string attributes = JobAttributes(first);
    EXPECT_NE(attributes.find("PrintTypePasswordTicketKey="), std::string::npos) << attributes;
    EXPECT_EQ(attributes.find("PrintTypePasswordTicketKey=4321"), std::string::npos) << attributes;
    EXPECT_EQ(attributes.find("pw4455"), std::string::npos) << attributes;

    // The next job is asked about in a window of its own; Cancel Job
    // cancels it before anything reaches the printer.
    window = WaitForWindow(*agent, second);
    ASSERT_NE(window, nullptr) << log;
    Click(window->findChild<QPushButton*>("cancelJob"));
    const PrintedJob cancelled = cupsd.WaitForJob(queue, second);
    EXPECT_EQ(cancelled.state, "canceled") << cupsd.JobLog(second);
    EXPECT_EQ(cancelled.stream, printed.stream) << "nothing more reached the printer";

    // Another user's job was never shown nor touched.
    EXPECT_EQ(shown, (std::vector<int>{first, second}));
    EXPECT_TRUE(Held(others));
    // No passcode or password in clear in the scheduler's log or the agent's.
    const std::string schedulerLog = ReadFile(cupsd.root() + "/log/error_log");
    for (const char* secret : {"4321", "pw4455"}) {
        EXPECT_EQ(schedulerLog.find(secret), std::string::npos) << secret;
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }
}

TEST_F(PrintAgent, ReleasesJobsThatCarryTheirSettingsAndFollowsJobsGoneElsewhere)
{
    const std::string queue = "zgaq6000";
    AddAskingQueue(queue, "q6000");
    ASSERT_EQ(cupsd.AddQueue("plain", SamplePpd("zelko-mfp-c4500.ppd")), "");
    // Held by its sender on a queue that does not ask: left alone.
    const int heldBySender = Send("plain", {"-H", "indefinite"});
    const int withAccount = Send(queue, {"-o", "job-account-id=ACC9", "-o", "job-accounting-user-id=bob"});
    const int plainJob = Send(queue);
    std::unique_ptr<host::agent::Agent> agent = StartAgent();
    const PrintedJob released = cupsd.WaitForJob(queue, withAccount);
    EXPECT_EQ(released.state, "completed") << log;
    EXPECT_NE(InspectStream(released.stream).out.find("ACC9"), std::string::npos);

    host::agent::AskWindow* window = WaitForWindow(*agent, plainJob);
    ASSERT_NE(window, nullptr) << log;
    // Released from the command line meanwhile: the window goes.
    cupsd.Command({"lp", "-i", std::to_string(plainJob), "-H", "resume"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return agent->Shown() == nullptr; }, 10000)) << log;
    EXPECT_EQ(cupsd.WaitForJob(queue, plainJob).state, "completed");
    EXPECT_EQ(shown, std::vector<int>{plainJob});
    EXPECT_TRUE(Held(heldBySender));
}

TEST_F(PrintAgent, SpeaksJapaneseOnAJapaneseDesktop)
{
    struct JapaneseDesktop {
        JapaneseDesktop() { setenv("LANGUAGE", "ja_JP.UTF-8", 1); }
        ~JapaneseDesktop() { unsetenv("LANGUAGE"); }
    } japanese;
    const std::string queue = "zga3500j";
    AddAskingQueue(queue, "c3500j");
    const int job = Send(queue);
    std::unique_ptr<host::agent::Agent> agent = StartAgent();
    host::agent::AskWindow* window = WaitForWindow(*agent, job);
    ASSERT_NE(window, nullptr) << log;
    EXPECT_EQ(window->findChild<QPushButton*>("cancelJob")->text(), QString::fromUtf8("ジョブをキャンセル"));
    EXPECT_EQ(LayoutProblems(toolkit, *window), std::vector<std::string>{});
    Screenshot(*window, "agent-c3500j-ja");
    // Later leaves the job held.
    Click(window->findChild<QPushButton*>("later"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return agent->Shown() == nullptr; }, 5000));
    EXPECT_TRUE(Held(job));
}

TEST_F(PrintAgent, TheSchedulerLetsNoOtherUserAnswerAJob)
{
    // The stock policy for job operations: the owner and administrators only.
    const std::string conf = cupsd.root() + "/etc/cupsd.conf";
    std::string text = ReadFile(conf);
    const std::string owners =
        "  <Limit Send-Document Hold-Job Release-Job Restart-Job Set-Job-Attributes Cancel-Job CUPS-Move-Job>\n"
        "    Require user @OWNER @SYSTEM\n    Order deny,allow\n  </Limit>\n";
    text.insert(text.find("  <Limit All>"), owners);
    WriteFile(conf, text);
    ASSERT_EQ(cupsd.Reload(), "");
    const std::string queue = "zgapolicy";
    AddAskingQueue(queue, "c4500");
    const int job = Send(queue, {"-U", "mallory"});
    ASSERT_TRUE(Held(job));

    for (const char* user : {"eve", "mallory"}) {
        cupsSetUser(user);
        std::string why;
        auto scheduler = host::agent::Scheduler::Connect(&why);
        ASSERT_NE(scheduler, nullptr) << why;
        EXPECT_EQ(scheduler->HeldJobs().size(), user == std::string("eve") ? 0u : 1u) << user;
        const std::string refused = scheduler->ReleaseWith(job, {{"job-account-id", "EVE"}});
        if (user == std::string("eve")) {
            EXPECT_NE(refused, "");
            EXPECT_NE(scheduler->Cancel(job), "");
            EXPECT_TRUE(Held(job));
        } else {
            EXPECT_EQ(refused, "");
            EXPECT_EQ(cupsd.WaitForJob(queue, job).state, "completed");
        }
    }
}

TEST(HeldJobs, OnlyTheUsersJobsHeldForTheQueuesQuestionAreAskedAbout)
{
    using host::agent::HeldJobKind;
    const std::map<std::string, std::string> held = {
        {"job-originating-user-name", "kim"}, {"job-state", "pending-held"}, {"job-hold-until", "indefinite"}};
    const std::string ticket = "com.zelko.jt.printsettings.pdf.ww.";
    const struct {
        std::map<std::string, std::string> more;
        HeldJobKind kind;
    } cases[] = {
        {{}, HeldJobKind::Ask},
        {{{"job-originating-user-name", "mallory"}}, HeldJobKind::NotOurs},
        {{{"job-state", "pending"}}, HeldJobKind::NotOurs},
        {{{"job-hold-until", "weekend"}}, HeldJobKind::NotOurs},
        // Sent from our dialogs, held because the sender asked.
        {{{ticket + "PrintDialogJobTicketKey", "true"}, {ticket + "PrintTypeTicketKey", "2"}}, HeldJobKind::NotOurs},
        {{{ticket + "PrintTypeTicketKey", "2"}}, HeldJobKind::Release},
        {{{ticket + "JBAUserIDTextEditTicket", "kim"}}, HeldJobKind::Release},
        {{{"job-account-id", "ACC9"}}, HeldJobKind::Release},
        {{{"job-password", "1234"}}, HeldJobKind::Release},
        {{{ticket + "DocumentNameTicketKey", "x"}}, HeldJobKind::Ask},
    };
    for (const auto& [more, kind] : cases) {
        std::map<std::string, std::string> attributes = more;
        attributes.insert(held.begin(), held.end());
        EXPECT_EQ(host::agent::ClassifyJob(attributes, "kim"), kind) << testing::PrintToString(more);
    }
}

}  // namespace
}  // namespace zlk::test::gui
