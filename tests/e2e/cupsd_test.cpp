// The filter in a real CUPS queue: a private scheduler, jobs submitted with
// lp, the job stream captured by a file device and checked.
#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/iconv.h"
#include "cupsd.h"
#include "opensslcli.h"
#include "process.h"
#include "secblob/secblob.h"
#include "spooler.h"

using namespace zlk::test;

namespace {

const std::string kTicket = "com.zelko.jt.printsettings.pdf.ww.";

// One scheduler for the whole run, stopped at the end whatever happened.
class SchedulerEnvironment : public testing::Environment {
public:
    static Cupsd* cupsd;
    void SetUp() override
    {
        if (!std::filesystem::exists("/usr/sbin/cupsd"))
            return;
        scheduler_ = std::make_unique<Cupsd>(FilterProgram());
        // A CP932 printer, and a UTF-8 one.
        if (scheduler_->ok() && scheduler_->AddQueue("zlk", SamplePpd("zelko-mfp-c3500j.ppd")).empty() &&
            scheduler_->AddQueue("zlkutf8", SamplePpd("zelko-mfp-q6000.ppd")).empty())
            cupsd = scheduler_.get();
    }
    void TearDown() override
    {
        cupsd = nullptr;
        scheduler_.reset();
    }

private:
    std::unique_ptr<Cupsd> scheduler_;
};
Cupsd* SchedulerEnvironment::cupsd = nullptr;
testing::Environment* const kScheduler = testing::AddGlobalTestEnvironment(new SchedulerEnvironment);

class CupsQueue : public testing::Test {
protected:
    void SetUp() override
    {
        cupsd = SchedulerEnvironment::cupsd;
        if (!cupsd)
            GTEST_SKIP() << "no CUPS scheduler could be started here";
    }

    // Prints and checks the captured stream with the inspector; its report
    // is kept in report.
    PrintedJob Print(const std::string& file, const std::vector<std::string>& args, const std::string& queue = "zlk")
    {
        PrintedJob job = cupsd->Print(queue, file, args);
        EXPECT_EQ(job.state, "completed") << cupsd->JobLog(job.id);
        RunResult inspected = InspectStream(job.stream);
        EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
        report = inspected.out;
        return job;
    }

    // Pages of the stream's PDF, and the stream's parts.
    JobStreamParts Parts(const PrintedJob& job)
    {
        JobStreamParts parts = SplitJobStream(job.stream);
        EXPECT_TRUE(parts.ok) << "not a whole job stream:\n" << job.stream.substr(0, 400);
        return parts;
    }

    int Pages(const JobStreamParts& parts)
    {
        WriteFile(dir.file("job.pdf"), parts.pdf);
        return static_cast<int>(PdfPageTexts(dir.file("job.pdf")).size());
    }

    std::string Sample(int pages)
    {
        std::string path = dir.file("doc" + std::to_string(pages) + ".pdf");
        WriteTestPdf(path, pages);
        return path;
    }

    Cupsd* cupsd = nullptr;
    TempDir dir;
    std::string report;
};

// The administrator's command against this scheduler.
RunResult QueueDefaults(const Cupsd& cupsd, std::vector<std::string> args)
{
    RunOptions run;
    args.insert(args.begin(), "zlk-queue-defaults");
    run.args = args;
    run.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"CUPS_SERVER", cupsd.server()}, {"HOME", cupsd.root()}};
    return RunProgram(ZLK_QUEUEDEFAULTS_BINARY, run);
}

// UTF-8 text in CP932, by the system's converter.
std::string Cp932(std::string text)
{
    zlk::common::IconvHandle cd("CP932", "UTF-8");
    std::string out(text.size() * 2, '\0');
    char* in = text.data();
    char* to = out.data();
    std::size_t inLeft = text.size(), outLeft = out.size();
    EXPECT_TRUE(cd.ok() && iconv(cd.get(), &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1));
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

TEST_F(CupsQueue, CollatedCopiesAreMadeOnceByThePrinter)
{
    PrintedJob job = Print(Sample(3), {"-n", "2", "-o", "collate=true", "-t", "Copies test"});
    JobStreamParts parts = Parts(job);
    EXPECT_EQ(Pages(parts), 3) << "pdftopdf must not lay out the copies";
    EXPECT_NE(parts.trailer.find("PAGECOPIES=1\n"), std::string::npos) << parts.trailer;
    EXPECT_NE(parts.trailer.find("JOBCOPIES=2\n"), std::string::npos) << parts.trailer;
    EXPECT_NE(parts.ticket.find("<SheetCollate>Collated</SheetCollate>"), std::string::npos);
    EXPECT_NE(parts.ticket.find("<Copies>2</Copies>"), std::string::npos);
}

TEST_F(CupsQueue, UncollatedCopiesAndPageRanges)
{
    PrintedJob job = Print(Sample(5), {"-n", "3", "-o", "page-ranges=2-3"});
    JobStreamParts parts = Parts(job);
    EXPECT_EQ(Pages(parts), 2);
    EXPECT_NE(parts.trailer.find("PAGECOPIES=3\n"), std::string::npos) << parts.trailer;
    EXPECT_NE(parts.trailer.find("JOBCOPIES=1\n"), std::string::npos);
}

// The scheduler sends number-up=1 with every job; a one-up job still says 1.
TEST_F(CupsQueue, PlainJobIsOneUpAndNUpJobsSayN)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "1"},
        {{"-o", "number-up=1"}, "1"},
        {{"-o", "number-up=2"}, "N2"},
        {{"-o", "number-up=4"}, "N4"},
    };
    for (const auto& [args, numberUp] : cases) {
        PrintedJob job = Print(Sample(4), args);
        JobStreamParts parts = Parts(job);
        EXPECT_EQ(Attribute(parts.header, "NLPP"), numberUp) << job.id;
        EXPECT_NE(parts.trailer.find("PRINTJOBINFO NUP=" + numberUp + "\n"), std::string::npos) << numberUp << "\n"
                                                                                                << parts.trailer;
        EXPECT_NE(cupsd->JobLog(job.id).find("number-up="), std::string::npos) << "the scheduler sends number-up";
    }
}

TEST_F(CupsQueue, PlainTextIsConvertedBeforeTheFilter)
{
    WriteFile(dir.file("note.txt"), "Hello from a plain text job.\nSecond line.\n");
    PrintedJob job = Print(dir.file("note.txt"), {"-t", "note"});
    JobStreamParts parts = Parts(job);
    // texttopdf's embedded font has no text mapping, so only the page is checked.
    EXPECT_EQ(Pages(parts), 1);
    EXPECT_NE(cupsd->JobLog(job.id).find("texttopdf"), std::string::npos);
}

TEST_F(CupsQueue, DialogOptionsReachTheFilterWhole)
{
    const std::string stored = StoredPassword("Acc0unt!pw");
    PrintedJob job =
        Print(Sample(1), {"-t", "Accounting", "-o", kTicket + "JBAManageTypeListTicketKey=2", "-o",
                          kTicket + "JBAUserIDListCtrlTicket=2", "-o",
                          kTicket + "JBAUserIDTextEditTicket=/79/39/78/101/105/108",  // O'Neil, as the dialogs store it
                          "-o", kTicket + "JBAAccountIDTextEditTicket=/49/44/50",  // 1,2
                          "-o", kTicket + "JBAUserPasswordTextEditTicket=" + stored, "-o",
                          kTicket + "JBAMacHostNameStringTicket=ws-042", "-o", "ZLKColorMode=Black"});
    JobStreamParts parts = Parts(job);
    EXPECT_EQ(Attribute(parts.header, "JOAU"), "O'Neil");
    EXPECT_EQ(Attribute(parts.header, "DAID"), "1,2");
    EXPECT_EQ(Attribute(parts.header, "CNAM"), "ws-042");
    EXPECT_NE(parts.header.find("RENDERMODE=GRAYSCALE"), std::string::npos);
    const std::string joep = Attribute(parts.header, "JOEP");
    auto blob = zlk::secblob::SecBlobEnc_Base64_Decode_Data(joep.c_str());
    ASSERT_TRUE(blob.has_value()) << joep;
    EXPECT_EQ(OpenSslOpenKeyTransportBlob(*blob, FixturePath("keys/printer-dev-private.pem")), "Acc0unt!pw");
    EXPECT_EQ(job.stream.find(stored), std::string::npos);
    EXPECT_EQ(job.stream.find("Acc0unt!pw"), std::string::npos);
    // The inspector, given the printer's key, opens it too.
    EXPECT_NE(report.find("JOEP: Acc0unt!pw"), std::string::npos) << report;
}

TEST_F(CupsQueue, QuotedSpacesQuotesAndLongValuesSurviveTheSpooler)
{
    const std::string longName(300, 'x');
    PrintedJob job =
        Print(Sample(1),
              {"-o", kTicket + "PrintTypeTicketKey=2", "-o", kTicket + "PrintTypeUserNameTicketKey='John \"JJ\" Smith'",
               "-o", kTicket + "DocumentNameTypeTicketKey=2", "-o", kTicket + "DocumentNameTicketKey=" + longName, "-o",
               kTicket + "JBAManageTypeListTicketKey=2", "-o", kTicket + "JBAUserIDListCtrlTicket=2", "-o",
               kTicket + "JBAUserIDTextEditTicket=a\\\\b", "-o", "Collate=True", "-n", "2"});
    JobStreamParts parts = Parts(job);
    EXPECT_NE(parts.ticket.find("<RequestingUserName>John &quot;JJ&quot; Smith</RequestingUserName>"),
              std::string::npos)
        << parts.ticket;
    // The document name field holds 192 bytes of the 300 sent.
    EXPECT_NE(parts.ticket.find("<JobName>" + std::string(192, 'x') + "</JobName>"), std::string::npos);
    EXPECT_EQ(Attribute(parts.header, "JOAU"), "a\\b");
    EXPECT_NE(parts.trailer.find("JOBCOPIES=2\n"), std::string::npos) << "PPD Collate=True reaches the filter";
}

TEST_F(CupsQueue, Utf8PrinterCarriesTheTitleInUtf8)
{
    const std::string title = "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8";  // an invoice, in Japanese
    PrintedJob job = Print(Sample(1), {"-t", title, "-o", kTicket + "PrintTypeProductTypeTicketKey=3"}, "zlkutf8");
    JobStreamParts parts = Parts(job);
    EXPECT_EQ(Attribute(parts.header, "ACNA"), title);
    EXPECT_EQ(Attribute(parts.header, "UACN").substr(0, title.size()), title);
}

// A job's log without the scheduler's own lines that quote the filter's
// arguments or name process ids.
std::string FilterLines(const std::string& log)
{
    std::string kept;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.find("argv[") == std::string::npos && line.find("PID ") == std::string::npos)
            kept += line + "\n";
    return kept;
}

// Any IPP client's standard attributes, sent with plain lp: a held job
// under the passcode asked for, accounted to the account and user named.
TEST_F(CupsQueue, StandardJobAttributesHoldAndAccountTheJob)
{
    struct Case {
        const char* queue;
        const char* passcode;  // at least the queue's minimum: 6 digits, 8 on the UTF-8 printer
        bool storedEncrypted;  // that printer's dialog keeps the passcode as a storage blob
    };
    for (const Case& c : {Case{"zlk", "246810", false}, Case{"zlkutf8", "24681357", true}}) {
        PrintedJob job = Print(Sample(1),
                               {"-t", "Payroll", "-o", std::string("job-password=") + c.passcode, "-o",
                                "job-account-id=ACC9", "-o", "job-accounting-user-id=bob"},
                               c.queue);
        JobStreamParts parts = Parts(job);
        EXPECT_EQ(FilterLines(cupsd->JobLog(job.id)).find(c.passcode), std::string::npos) << cupsd->JobLog(job.id);
        EXPECT_EQ(Attribute(parts.header, "JOAU"), "bob") << c.queue;
        EXPECT_EQ(Attribute(parts.header, "DAID"), "ACC9") << c.queue;
        EXPECT_NE(report.find("JOAU: bob\n"), std::string::npos) << report;
        EXPECT_NE(report.find("DAID: ACC9\n"), std::string::npos) << report;
        EXPECT_NE(report.find("JobName = Payroll\n"), std::string::npos) << report;
        EXPECT_NE(report.find("SheetCollate = Collated\n"), std::string::npos) << report;
        const std::string open = "<JobPassword>";
        const std::size_t at = parts.ticket.find(open);
        ASSERT_NE(at, std::string::npos) << parts.ticket;
        const std::string sent =
            parts.ticket.substr(at + open.size(), parts.ticket.find("</JobPassword>", at) - at - open.size());
        if (c.storedEncrypted) {
            EXPECT_EQ(job.stream.find(c.passcode), std::string::npos) << c.queue;
            auto blob = zlk::secblob::SecBlobEnc_Base64_Decode_Data(sent.c_str());
            ASSERT_TRUE(blob.has_value()) << sent;
            using namespace zlk::secblob;
            EXPECT_EQ(OpenSslOpenStorageBlob(*blob, {seed1, seed1 + 32}, {seed2, seed2 + 32}, {seed3, seed3 + 16}),
                      c.passcode);
        } else {
            EXPECT_EQ(sent, c.passcode);
            EXPECT_NE(report.find(std::string("JobPassword = ") + c.passcode + "\n"), std::string::npos) << report;
        }
    }
}

TEST_F(CupsQueue, APasscodeThePrinterCannotTakeStopsTheJobUnprinted)
{
    for (const char* passcode : {"12ab", "1234"}) {  // not digits; fewer than the queue's six
        PrintedJob job = cupsd->Print("zlk", Sample(1), {"-o", std::string("job-password=") + passcode});
        EXPECT_TRUE(job.state == "aborted" || job.state == "stopped") << job.state << "\n" << cupsd->JobLog(job.id);
        EXPECT_EQ(job.stream, "") << passcode;
        const std::string log = cupsd->JobLog(job.id);
        EXPECT_NE(log.find("The job is not printed: job-password"), std::string::npos) << log;
        EXPECT_EQ(FilterLines(log).find(passcode), std::string::npos) << log;
    }
}

// A plain lp job names no print type product: on a CP932 printer the
// document name is empty until the administrator sets the queue's driver
// defaults, and empty again once they are removed.
TEST_F(CupsQueue, QueueDefaultsGivePlainJobsTheirDocumentName)
{
    ASSERT_EQ(cupsd->AddQueue("zlkdefaults", SamplePpd("zelko-mfp-c3500j.ppd")), "");
    const std::string title =
        "\xE4\xBC\x9A\xE8\xAD\xB0\xE8\xB3\x87\xE6\x96\x99 \xE7\xAC\xAC"
        "3\xE7\x89\x88";  // 会議資料 第3版
    const std::string inCp932 = Cp932(title);
    ASSERT_EQ(inCp932.size(), 14u);

    JobStreamParts before = Parts(Print(Sample(1), {"-t", title}, "zlkdefaults"));
    EXPECT_EQ(Attribute(before.header, "ACNA"), "");

    RunResult set = QueueDefaults(*cupsd, {"zlkdefaults"});
    ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
    EXPECT_NE(set.out.find(kTicket + "PrintTypeProductTypeTicketKey-default=1\n"), std::string::npos) << set.out;

    // Print() has the inspector check the stream, digests included.
    JobStreamParts parts = Parts(Print(Sample(1), {"-t", title}, "zlkdefaults"));
    EXPECT_EQ(Attribute(parts.header, "ACNA"), inCp932);
    EXPECT_EQ(Attribute(parts.header, "UACN").substr(0, title.size() + 1), title + "\t");
    EXPECT_NE(report.find("ACNA"), std::string::npos) << report;

    RunResult removed = QueueDefaults(*cupsd, {"--remove", "zlkdefaults"});
    ASSERT_EQ(removed.exitCode, 0) << removed.out << removed.err;
    JobStreamParts after = Parts(Print(Sample(1), {"-t", title}, "zlkdefaults"));
    EXPECT_EQ(Attribute(after.header, "ACNA"), "");
}

// Secure printing and accounting for every job of a queue: the job is held
// under its title and charged to the user who printed it, with the site's
// account id and domain exactly as the administrator typed them, whatever
// lpadmin and the scheduler would make of them given plainly (a leading
// brace is a collection they drop, "true" and "false" a boolean, blanks at
// either end do not survive printers.conf when the scheduler starts again).
TEST_F(CupsQueue, QueueDefaultsMakeEveryJobSecureAndAccounted)
{
    ASSERT_EQ(cupsd->AddQueue("zlksecure", SamplePpd("zelko-mfp-c3500j.ppd")), "");
    struct Case {
        std::string account;
        std::string domain;
    };
    const Case cases[] = {
        {"1,2 'x'", "corp west"}, {"{ab}", "{x=y z=w}"}, {"{a}{b}", "{"},   {"a{b c}", "x}"},
        {"TRUE", "false"},        {" a ", "   "},        {"a\\b", "/corp"},
    };
    const char* user = getenv("USER");
    for (const Case& c : cases) {
        RunResult set = QueueDefaults(
            *cupsd, {"--print-type", "secure", "--account", c.account, "--domain", c.domain, "zlksecure"});
        ASSERT_EQ(set.exitCode, 0) << c.account << "\n" << set.out << set.err;
        // As the scheduler reads printers.conf when it starts again.
        ASSERT_EQ(cupsd->Reload(), "");
        JobStreamParts parts = Parts(Print(Sample(1), {"-t", "Budget"}, "zlksecure"));
        EXPECT_EQ(Attribute(parts.header, "DAID"), c.account) << c.account;
        EXPECT_EQ(Attribute(parts.header, "JOAD"), c.domain) << c.domain;
        EXPECT_NE(report.find("DAID: " + c.account + "\n"), std::string::npos) << report;
    }

    JobStreamParts parts = Parts(Print(Sample(1), {"-t", "Budget"}, "zlksecure"));
    EXPECT_EQ(Attribute(parts.header, "ACNA"), "Budget");
    EXPECT_EQ(Attribute(parts.header, "JOEP"), "");
    if (user) {
        EXPECT_EQ(Attribute(parts.header, "JOAU"), user);
    }
    EXPECT_NE(parts.ticket.find("<JobName>Budget</JobName>"), std::string::npos) << parts.ticket;
    // A job's own option wins over the queue's default: a normal job names nothing.
    parts = Parts(Print(Sample(1), {"-t", "Budget", "-o", kTicket + "PrintTypeTicketKey=1"}, "zlksecure"));
    EXPECT_EQ(parts.ticket.find("<JobName>"), std::string::npos) << parts.ticket;
    // The passcode is each user's own, given per job.
    parts = Parts(Print(Sample(1), {"-t", "Budget", "-o", kTicket + "PrintTypePasswordTicketKey=4711"}, "zlksecure"));
    EXPECT_NE(parts.ticket.find("<JobPassword>4711</JobPassword>"), std::string::npos) << parts.ticket;
}

namespace {

// The Debian package dpkg-buildpackage made (scripts/package, which
// scripts/test runs once and names in ZLK_PACKAGE_DEB), unpacked once.
struct UnpackedPackage {
    TempDir dir;
    std::string deb;
    std::string error;  // why there is none
    std::string root() const { return dir.file("root"); }
};

const char* PackageDeb()
{
    const char* deb = getenv("ZLK_PACKAGE_DEB");
    return deb && *deb ? deb : nullptr;
}

const UnpackedPackage& Unpacked()
{
    static const std::unique_ptr<UnpackedPackage> package = [] {
        auto made = std::make_unique<UnpackedPackage>();
        made->deb = PackageDeb();
        RunOptions run;
        run.env = {{"PATH", "/usr/bin:/bin"}};
        run.args = {"dpkg-deb", "-x", made->deb, made->root()};
        if (RunProgram("/usr/bin/dpkg-deb", run).exitCode != 0)
            made->error = "dpkg-deb -x failed";
        // The scheduler runs as lp: the unpacked tree must be readable.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(made->dir.path()))
            if (entry.is_directory())
                chmod(entry.path().c_str(), 0755);
        chmod(made->dir.path().c_str(), 0755);
        return made;
    }();
    return *package;
}

// Why the package tests cannot run here, or empty.
std::string PackageMissing()
{
    if (!std::filesystem::exists("/usr/sbin/cupsd") || !std::filesystem::exists("/usr/bin/dpkg-deb"))
        return "cupsd or dpkg-deb missing";
    if (!PackageDeb())
        return "no package: ZLK_PACKAGE_DEB names the .deb scripts/package makes";
    return "";
}

}  // namespace

// The Debian package as an administrator installs it: its printer
// descriptions are listed by the scheduler and a queue is made from one
// with lpadmin -m, printing through the packaged filter.
TEST(Package, InstallsADriverTheSchedulerListsAndPrintsWith)
{
    if (std::string missing = PackageMissing(); !missing.empty())
        GTEST_SKIP() << missing;
    const UnpackedPackage& package = Unpacked();
    ASSERT_EQ(package.error, "");
    TempDir dir;
    RunOptions run;
    run.env = {{"PATH", "/usr/bin:/bin"}};
    run.args = {"dpkg-deb", "-f", package.deb, "Depends"};
    std::string depends = RunProgram("/usr/bin/dpkg-deb", run).out;
    EXPECT_NE(depends.find("cups-filters"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libqt6widgets6"), std::string::npos) << "the desktop dialog's: " << depends;
    EXPECT_NE(depends.find("libpoppler-cpp"), std::string::npos) << "raster mode's renderer's: " << depends;
    const std::string filter = package.root() + "/usr/lib/cups/filter/ZLKPrintFilter";
    ASSERT_TRUE(std::filesystem::exists(filter));
    EXPECT_EQ(std::filesystem::status(filter).permissions() & std::filesystem::perms::others_exec,
              std::filesystem::perms::others_exec);
    const std::string ppdDir = package.root() + "/usr/share/ppd";
    ASSERT_TRUE(std::filesystem::exists(ppdDir + "/zelko/zelko-mfp-c4500.ppd"));
    // The plug-ins' bundles and the definition file a sample names.
    for (const char* shipped :
         {"usr/lib/zelko/plugins/ZLKFeaturesPDE.plugin/ZLKFeaturesPDE.so",
          "usr/lib/zelko/plugins/ZLKFeaturesPDE.plugin/Info.json",
          "usr/lib/zelko/plugins/ZLKFeaturesPDE.plugin/Resources/Localizable02.json",
          "usr/lib/zelko/plugins/ZLKFeaturesPDE.plugin/Resources/Help/SpecifyPosition.htm",
          "usr/lib/zelko/plugins/ZLKFeaturesPDE.plugin/Resources/Help/ja/SpecifyPosition.htm",
          "usr/lib/zelko/plugins/ZLKFeaturesPDE.plugin/Resources/Layouts/ZLKPrintFeature.json",
          "usr/lib/zelko/plugins/ZLKAccountPDE.plugin/ZLKAccountPDE.so",
          "usr/lib/zelko/plugins/ZLKAccountPDE.plugin/Resources/Localizable02.json",
          "usr/lib/zelko/plugins/ZLKAccountPDE.plugin/Resources/Help/SelectJobType_ColorMFP.htm",
          "usr/lib/zelko/plugins/ZLKAccountPDE.plugin/Resources/Help/ja/SelectJobType_ColorMFPJ.htm",
          "usr/lib/zelko/plugins/ZLKAccountPDE.plugin/Resources/Layouts/ZLKPrintType_Default00.json",
          "usr/share/zelko/cdf/zelko-mfp-q6000.cdf",
          "usr/sbin/zlk-queue-defaults",
          "usr/bin/zlk-print",
          "usr/share/man/man1/zlk-print.1.gz",
          "usr/bin/zlk-print-dialog",
          "usr/share/man/man1/zlk-print-dialog.1.gz",
          "usr/share/applications/zlk-print-dialog.desktop",
          "usr/bin/zlk-printer-app",
          "usr/share/man/man1/zlk-printer-app.1.gz",
          "lib/systemd/system/zlk-printer-app.service",
          "usr/share/zelko/printerapp/testpage.pdf"})
        EXPECT_TRUE(std::filesystem::exists(package.root() + "/" + shipped)) << shipped;
    chmod(dir.path().c_str(), 0755);

    Cupsd cupsd(filter, ppdDir);
    ASSERT_TRUE(cupsd.ok()) << cupsd.error();
    std::string models = cupsd.Command({"lpinfo", "-h", cupsd.server(), "-m"});
    std::string name;
    for (const std::string& line : Lines(models))
        if (line.find("zelko-mfp-c4500.ppd") != std::string::npos)
            name = line.substr(0, line.find(' '));
    ASSERT_FALSE(name.empty()) << models;
    ASSERT_EQ(cupsd.AddQueue("office", name, /*model=*/true), "");
    WriteTestPdf(dir.file("doc.pdf"), 2);
    PrintedJob job = cupsd.Print("office", dir.file("doc.pdf"), {"-n", "2", "-o", "collate=true"});
    EXPECT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    JobStreamParts parts = SplitJobStream(job.stream);
    EXPECT_TRUE(parts.ok);
    EXPECT_NE(parts.trailer.find("JOBCOPIES=2\n"), std::string::npos);
}

// As on Debian: the system's scheduler finds the package's printer
// descriptions in /usr/share/ppd and names them lsb/usr/<folder>/<file>;
// the README's queue commands, with those names, make queues that print.
TEST(Package, ReadmeQueueCommandsWorkWithTheSystemsDriverNames)
{
    if (std::string missing = PackageMissing(); !missing.empty())
        GTEST_SKIP() << missing;
    const UnpackedPackage& package = Unpacked();
    ASSERT_EQ(package.error, "");
    Cupsd cupsd(package.root() + "/usr/lib/cups/filter/ZLKPrintFilter", "", package.root() + "/usr/share/ppd");
    if (cupsd.noNamespace())
        GTEST_SKIP() << cupsd.error();
    ASSERT_TRUE(cupsd.ok()) << cupsd.error();

    const std::string readme = ReadFile(ZLK_README);
    const std::string models = cupsd.Command({"lpinfo", "-h", cupsd.server(), "-m"});
    for (const char* model : {"zelko-mfp-c3500j", "zelko-mfp-c4500", "zelko-mfp-m2500", "zelko-mfp-q6000"}) {
        const std::string name = "lsb/usr/zelko/" + std::string(model) + ".ppd";
        EXPECT_NE(("\n" + models).find("\n" + name + " "), std::string::npos) << name << " not in\n" << models;
    }
    EXPECT_NE(readme.find("-m lsb/usr/zelko/<model>.ppd"), std::string::npos);
    EXPECT_NE(readme.find("-P /usr/share/ppd/zelko/<model>.ppd"), std::string::npos);
    EXPECT_NE(readme.find("lpinfo -m | grep -i zelko"), std::string::npos);

    // The name a scheduler gives files in its own model folder is unknown
    // here, as the administrator found; lpadmin warns about drivers either way.
    int code = 0;
    std::string refused = cupsd.Command({"lpadmin", "-h", cupsd.server(), "-p", "old", "-E", "-v", "file:///dev/null",
                                         "-m", "zelko/zelko-mfp-c4500.ppd"},
                                        &code);
    EXPECT_NE(code, 0) << refused;
    EXPECT_NE(refused.find("cups-driverd failed to get PPD file"), std::string::npos) << refused;
    EXPECT_NE(refused.find("Printer drivers are deprecated"), std::string::npos) << refused;

    TempDir dir;
    WriteTestPdf(dir.file("doc.pdf"), 2);
    // lpadmin -m with the listed name, and lpadmin -P with the installed file.
    const std::pair<std::string, bool> queues[] = {
        {"lsb/usr/zelko/zelko-mfp-c4500.ppd", true},
        {package.root() + "/usr/share/ppd/zelko/zelko-mfp-c4500.ppd", false},
    };
    int number = 0;
    for (const auto& [ppd, model] : queues) {
        const std::string queue = "office" + std::to_string(++number);
        ASSERT_EQ(cupsd.AddQueue(queue, ppd, model), "") << ppd;
        PrintedJob job = cupsd.Print(queue, dir.file("doc.pdf"), {});
        EXPECT_EQ(job.state, "completed") << ppd << "\n" << cupsd.JobLog(job.id);
        RunResult inspected = InspectStream(job.stream);
        EXPECT_EQ(inspected.exitCode, 0) << ppd << ": " << inspected.err;
        EXPECT_NE(inspected.out.find("N-up: 1\n"), std::string::npos) << inspected.out;
    }
}
