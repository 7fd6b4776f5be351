// zlk-print from the panels to a real queue: a script drives the plug-ins'
// panels, the job goes through the private scheduler and the filter, and
// the printer's stream carries exactly what was typed.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <sys/stat.h>

#include <filesystem>
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

namespace fs = std::filesystem;

TEST(ZlkPrintEndToEnd, EachSamplePrintsWhatItsPanelsWereGiven)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    TempDir dir;
    const std::string pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf, 2);
    struct Case {
        std::string model, script;
        std::vector<std::string> inStream;  // the inspector's report, passwords opened
        std::vector<std::string> neverInStream;
    };
    const std::vector<Case> cases = {
        {"c4500",
         "choose ZLKSignature LeftSig\ncheck 106\npress 107\ntype 313 12\nok\n"
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype 1026 4321\nok\n"
         "press 1005\npress 3017\nok\nprint\ntype 4015 kim\ntype 4008 pw4455\ntype 4018 ACC-3\nok\n",
         {"JobPassword = 4321", "ImpositionGutterCreepX = 1200", "kim", "pw4455", "ACC-3"},
         {"pw4455"}},
        {"m2500",
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 erin\ntype 1026 2580\nok\n"
         "press 1005\npress 3017\nok\nprint\ntype 4015 erin\ntype 4008 pw1234\ntype 4018 {ACC-9}\nok\n",
         {"JobPassword = 2580", "erin", "pw1234", "{ACC-9}"},
         {"pw1234"}},
        {"c3500j",
         "choose ZLKSignature LeftSig\nchoose ZLKSigSize A3\ncheck ZLKTrimming\npress 112\ntype 8008 200.0\nok\n"
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 yamada\ntype 1026 123456\nok\n"
         "press 1005\npress 3017\nok\nprint\ntype 4015 sato\ntype 4008 pw5678\nok\n",
         {"JobPassword = 123456", "sato", "pw5678"},
         {"pw5678"}},
        {"q6000",
         "check ZLKTabNumberInSequence\npress 111\ntype 612 5\nok\n"
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 Emile\ntype 1026 12345678\nok\n"
         "press 1005\npress 3017\nok\nprint\ntype 4006 zoe\ntype 4008 pw9876\nok\n",
         {"JobPassword = ", "RequestingUserName = Emile", "zoe", "pw9876"},  // the passcode as a storage blob
         {"12345678", "pw9876"}},
    };
    for (const Case& c : cases) {
        const std::string queue = "zp" + c.model;
        ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd("zelko-mfp-" + c.model + ".ppd")), "") << c.model;
        const std::string script = dir.file(c.model + ".zlk");
        std::ofstream(script) << c.script;
        RunResult run;
        const PrintedJob job = cupsd.PrintWith(
            queue, ZLK_PRINT_BINARY, {"-d", queue, "--script", script, pdf},
            {{"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR}, {"XDG_CONFIG_HOME", dir.file("config-" + c.model)}}, &run);
        ASSERT_EQ(job.state, "completed") << c.model << ": " << run.err << cupsd.JobLog(job.id);
        const RunResult inspected = InspectStream(job.stream);
        ASSERT_EQ(inspected.exitCode, 0) << c.model << ": " << inspected.err;
        for (const std::string& text : c.inStream) {
            EXPECT_NE(inspected.out.find(text), std::string::npos) << c.model << ": " << text << "\n" << inspected.out;
        }
        // Encrypted for the printer: never in the stream itself.
        for (const std::string& text : c.neverInStream) {
            EXPECT_EQ(job.stream.find(text), std::string::npos) << c.model << ": " << text;
        }
    }
}

// The two switches of the image quality group, ticked in the panel, reach
// the printer: pages turned by 180 degrees, or pages made of one image.
TEST(ZlkPrintEndToEnd, RotateAndPrintAsImageSwitchesReachThePages)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    TempDir dir;
    const std::string pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf, 2);
    for (const char* model : {"c4500", "c3500j", "m2500", "q6000"}) {
        const std::string queue = std::string("zs") + model;
        const std::string ppd = SamplePpd(std::string("zelko-mfp-") + model + ".ppd");
        ASSERT_EQ(cupsd.AddQueue(queue, ppd), "") << model;
        for (const std::string option : {"ZLKTurnPage", "ZLKPDFRasterizedMode"}) {
            // The M2500 cannot turn pages.
            if (ReadFile(ppd).find("*OpenUI *" + option) == std::string::npos) {
                continue;
            }
            const std::string what = std::string(model) + " " + option;
            const std::string script = dir.file(queue + option + ".zlk");
            std::ofstream(script) << "check " << option << "\n";
            RunResult run;
            const PrintedJob job =
                cupsd.PrintWith(queue, ZLK_PRINT_BINARY, {"-d", queue, "--script", script, pdf},
                                {{"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR}, {"XDG_CONFIG_HOME", dir.file(what)}}, &run);
            ASSERT_EQ(job.state, "completed") << what << ": " << run.err << cupsd.JobLog(job.id);
            const RunResult inspected = InspectStream(job.stream);
            ASSERT_EQ(inspected.exitCode, 0) << what << ": " << inspected.err;
            const std::string printed = dir.file(queue + option + ".pdf");
            WriteFile(printed, SplitJobStream(job.stream).pdf);
            RunOptions check;
            check.args = {"qpdf", "--check", printed};
            EXPECT_EQ(RunProgram("/usr/bin/qpdf", check).exitCode, 0) << what;
            const std::vector<PageLook> pages = LookAtPages(printed);
            ASSERT_EQ(pages.size(), 2u) << what;
            for (const PageLook& page : pages) {
                if (option == "ZLKTurnPage") {
                    EXPECT_TRUE(page.markedTurned) << what;
                    EXPECT_TRUE(page.text && !page.image) << what << ": still vector pages";
                } else {
                    EXPECT_TRUE(page.markedAsWritten) << what;
                    EXPECT_TRUE(page.image && !page.text) << what << ": an image page";
                }
            }
        }
    }
}

// The scripts of the manual page's examples print as written, and again:
// what the first run kept for the next dialog does not stop the second.
TEST(ZlkPrintEndToEnd, ManualPageExamplesPrintAndPrintAgain)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    std::vector<std::string> examples;
    bool inExamples = false;
    std::string example;
    for (const std::string& line : Lines(ReadFile(ZLK_PRINT_MANPAGE))) {
        if (line.rfind(".SH", 0) == 0) {
            inExamples = line == ".SH EXAMPLES";
        } else if (inExamples && line == ".nf") {
            example.clear();
        } else if (inExamples && line == ".fi") {
            examples.push_back(example);
        } else if (inExamples) {
            example += line + "\n";
        }
    }
    ASSERT_EQ(examples.size(), 3u);
    TempDir dir;
    const std::string pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf, 1);
    ASSERT_EQ(cupsd.AddQueue("zpexamples", SamplePpd("zelko-mfp-c4500.ppd")), "");
    for (std::size_t i = 0; i < examples.size(); ++i) {
        const std::string script = dir.file("example" + std::to_string(i) + ".zlk");
        std::ofstream(script) << examples[i];
        for (int run = 1; run <= 2; ++run) {
            RunResult printed;
            const PrintedJob job =
                cupsd.PrintWith("zpexamples", ZLK_PRINT_BINARY, {"-d", "zpexamples", "--script", script, pdf},
                                {{"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR},
                                 {"XDG_CONFIG_HOME", dir.file("config" + std::to_string(i))}},
                                &printed);
            EXPECT_EQ(job.state, "completed") << examples[i] << "run " << run << ": " << printed.err;
            EXPECT_EQ(printed.err, "") << examples[i] << "run " << run;
        }
    }
}

TEST(ZlkPrintEndToEnd, SavedDefaultsReachJobsFromOtherPrograms)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    TempDir dir;
    // The clients' lpoptions live here, not in the system's folder.
    fs::create_directories(dir.file("etc"));
    cupsd.SetClientEnv({{"CUPS_SERVERROOT", dir.file("etc")}});
    ASSERT_EQ(cupsd.AddQueue("zpdefaults", SamplePpd("zelko-mfp-c4500.ppd")), "");
    const std::string script = dir.file("defaults.zlk");
    std::ofstream(script) << "press 1005\nchoose 3006 #2\ntype 3007 carol\ntype 3009 s3cret\nok\n"
                             "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype 1026 4321\nok\n";
    auto zlkPrint = [&](std::vector<std::string> args, const std::string& config) {
        RunOptions options;
        options.args = {ZLK_PRINT_BINARY, "-d", "zpdefaults", "--script", script};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.env = {{"PATH", "/usr/bin:/bin"},
                       {"CUPS_SERVER", cupsd.server()},
                       {"CUPS_SERVERROOT", dir.file("etc")},
                       {"HOME", cupsd.root()},  // the home of the scheduler's lp
                       {"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR},
                       {"XDG_CONFIG_HOME", dir.file(config)}};
        return RunProgram(ZLK_PRINT_BINARY, options);
    };
    const RunResult saved = zlkPrint({"--save-defaults"}, "config");
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    // libcups keeps a user's defaults in the home folder.
    const std::string lpoptions = cupsd.root() + "/.cups/lpoptions";
    struct stat info {};
    ASSERT_EQ(stat(lpoptions.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Read back as every CUPS program reads it, each setting is what the
    // dialog came to; one left empty is not there (a bare name reads "true").
    const RunResult shown = zlkPrint({"--options"}, "config-shown");
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    std::map<std::string, std::string> dialog;
    for (const std::string& line : Lines(shown.out)) {
        dialog[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    std::string dest;
    for (const std::string& line : Lines(ReadFile(lpoptions))) {
        if (line.rfind("Dest zpdefaults ", 0) == 0) {
            dest = line.substr(16);
        }
    }
    cups_option_t* read = nullptr;
    const int count = cupsParseOptions(dest.c_str(), 0, &read);
    for (int i = 0; i < count; ++i) {
        const std::string name = read[i].name;
        if (name.rfind("com.zelko.", 0) == 0 && name.find("Delay") == std::string::npos) {
            EXPECT_EQ(read[i].value, dialog[name]) << name;
        }
    }
    cupsFreeOptions(count, read);
    int empty = 0;
    for (const auto& [name, value] : dialog) {
        if (value.empty()) {
            ++empty;
            EXPECT_EQ(dest.find(" " + name), std::string::npos) << name;
        }
    }
    EXPECT_GT(empty, 0) << "some settings are empty";
    // A file where the folder should be is told as such; a link planted at
    // the file keeps its target's mode.
    const std::string realFolder = cupsd.root() + "/.cups";
    std::filesystem::rename(realFolder, realFolder + ".kept");
    WriteFile(realFolder, "not a folder");
    const RunResult blocked = zlkPrint({"--save-defaults"}, "config-blocked");
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_NE(blocked.err.find("lpoptions: Not a directory"), std::string::npos) << blocked.err;
    std::filesystem::remove(realFolder);
    std::filesystem::rename(realFolder + ".kept", realFolder);
    const std::string target = dir.file("someone-elses-file");
    WriteFile(target, ReadFile(lpoptions));
    chmod(target.c_str(), 0644);
    std::filesystem::remove(lpoptions);
    std::filesystem::create_symlink(target, lpoptions);
    ASSERT_EQ(zlkPrint({"--save-defaults"}, "config-linked").exitCode, 0);
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    std::filesystem::remove(lpoptions);
    std::filesystem::copy_file(target, lpoptions);
    chmod(lpoptions.c_str(), 0600);

    // Saving asks for nothing that belongs to one job.
    std::ofstream(script) << "press 1005\npress 3017\nok\n";
    const RunResult perJob = zlkPrint({"--save-defaults"}, "config-per-job");
    EXPECT_EQ(perJob.exitCode, 0) << perJob.err;
    EXPECT_EQ(perJob.err, "");
    std::ofstream(script) << "press 1005\nchoose 3006 #2\ntype 3007 carol\ntype 3009 s3cret\nok\n"
                             "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype 1026 4321\nok\n";
    ASSERT_EQ(zlkPrint({"--save-defaults"}, "config-again").exitCode, 0);

    const std::string pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf, 1);
    const PrintedJob job = cupsd.Print("zpdefaults", pdf, {});
    ASSERT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    const RunResult inspected = InspectStream(job.stream);
    ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
    EXPECT_NE(inspected.out.find("JobPassword = 4321"), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("carol"), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("s3cret"), std::string::npos) << "opened with the development key";
    EXPECT_EQ(job.stream.find("s3cret"), std::string::npos);
    // Settings nobody gave are not sent as "true".
    for (const char* code : {"JOAD", "DAID", "ACID", "UACI"}) {
        EXPECT_EQ(job.stream.find(std::string("@") + code + "=true"), std::string::npos) << code;
    }
}

}  // namespace
