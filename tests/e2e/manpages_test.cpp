// Every example of the tools' manual pages, run as printed there against a
// private scheduler with a queue named office.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cupsd.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::test;

namespace {

namespace fs = std::filesystem;

// The command lines of the page's EXAMPLES section, as a reader types them.
std::vector<std::string> Examples(const std::string& page)
{
    std::vector<std::string> examples;
    bool inExamples = false, inBlock = false;
    for (const std::string& line : Lines(ReadFile(page))) {
        if (line.starts_with(".SH")) {
            inExamples = line == ".SH EXAMPLES";
        } else if (inExamples && (line == ".nf" || line == ".fi")) {
            inBlock = line == ".nf";
        } else if (inExamples && inBlock) {
            std::string command;
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-')
                    continue;
                command += line[i];
            }
            examples.push_back(command);
        }
    }
    return examples;
}

TEST(ManualPages, EveryExampleRuns)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok())
        GTEST_SKIP() << cupsd.error();
    ASSERT_EQ(cupsd.AddQueue("office", SamplePpd("zelko-mfp-c4500.ppd")), "");
    TempDir work;
    WriteTestPdf(work.file("report.pdf"), 1);
    const PrintedJob printed = cupsd.Print("office", work.file("report.pdf"), {});
    ASSERT_EQ(printed.state, "completed");
    WriteFile(work.file("job.prn"), printed.stream);
    fs::copy_file(FixturePath("keys/printer-dev-private.pem"), work.file("printer-private.pem"));

    std::string path;
    for (const char* program : {ZLK_INSPECT_BINARY, ZLK_STOREBLOB_BINARY, ZLK_QUEUEDEFAULTS_BINARY})
        path += fs::path(program).parent_path().string() + ":";
    path += "/usr/sbin:/usr/bin:/sbin:/bin";
    // zlk-queue-defaults last: its final example restarts the scheduler.
    const struct {
        const char* page;
        std::size_t count;
    } pages[] = {{ZLK_INSPECT_MANPAGE, 3}, {ZLK_STOREBLOB_MANPAGE, 2}, {ZLK_QUEUEDEFAULTS_MANPAGE, 7}};
    for (const auto& page : pages) {
        const std::vector<std::string> examples = Examples(page.page);
        EXPECT_EQ(examples.size(), page.count) << page.page;
        for (const std::string& example : examples) {
            RunOptions run;
            run.args = {"bash", "-c", "cd '" + work.path() + "' && " + example};
            run.env = {{"PATH", path}, {"CUPS_SERVER", cupsd.server()}, {"HOME", work.path()}};
            const RunResult result = RunProgram("/bin/bash", run);
            EXPECT_EQ(result.exitCode, 0) << example << "\n" << result.out << result.err;
            EXPECT_FALSE(result.out.empty() && example.find("--quiet") == std::string::npos &&
                         example.starts_with("zlk-inspect"))
                << example;
        }
    }
}

}  // namespace
