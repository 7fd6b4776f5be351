// Choosing the conversion filter, rewriting the options for it, and keeping
// its output.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "filter/options.h"
#include "filter/pipeline.h"
#include "filter/signals.h"
#include "testpdf.h"

using namespace zlk::filter;
using zlk::common::UnnamedTempFile;
using zlk::test::ReadFile;
using zlk::test::TempDir;
using zlk::test::WriteFile;

namespace {

const std::string kFixtures = ZLK_TEST_FIXTURES;

// A spooler tree with the four conversion tables and a filter directory.
struct FakeCups {
    TempDir dir;
    FilterEnvironment env;

    FakeCups()
    {
        std::filesystem::create_directories(dir.file("data/mime"));
        std::filesystem::create_directories(dir.file("root"));
        std::filesystem::create_directories(dir.file("bin/filter"));
        env.dataDir = dir.file("data");
        env.serverRoot = dir.file("root");
        env.serverBin = dir.file("bin");
        env.tmpdir = dir.path();
        env.ppdPath = kFixtures + "/ppd/cp932.ppd";
    }
    void Table(const std::string& relative, const std::string& text) { WriteFile(dir.file(relative), text); }
    void Program(const std::string& name)
    {
        WriteFile(dir.file("bin/filter/" + name), "#!/bin/sh\ncat\n");
        chmod(dir.file("bin/filter/" + name).c_str(), 0755);
    }
};

}  // namespace

TEST(BestFilter, FirstQualifyingLineWinsAndCostMustBeBelow1000)
{
    TempDir dir;
    WriteFile(dir.file("t.convs"),
              "# application/pdf application/vnd.cups-pdf 1 commented\n"
              "application/pdf application/vnd.cups-postscript 10 wrongdest\n"
              "text/plain application/vnd.cups-pdf 10 wrongsource\n"
              "application/pdf\tapplication/vnd.cups-pdf\t1000\ttooexpensive\n"
              "application/pdf application/vnd.cups-pdf 66 firstgood\n"
              "application/pdf application/vnd.cups-pdf 5 cheaperlater\n");
    EXPECT_EQ(BestFilter(dir.file("t.convs"), "application/pdf", kDestinationType), "firstgood");
    EXPECT_EQ(BestFilter(dir.file("t.convs"), "image/png", kDestinationType), "");
    EXPECT_EQ(BestFilter(dir.file("missing.convs"), "application/pdf", kDestinationType), "");
}

// A type name holds letters, digits and ! # $ & . + - ^ _ * only (the
// pattern's "+-^" once made a range that let in , / : ; < = > ? @ [ \ ]).
TEST(BestFilter, TypesAreMadeOfMimeNameCharactersOnly)
{
    struct Case {
        const char* sourceType;
        bool matches;
    };
    const Case cases[] = {
        {"application/pdf", true},
        {"application/vnd.cups-pdf", true},
        {"image/x-bitmap", true},
        {"application/vnd.a+b^c_d!e#f$g&h*", true},
        {"text/x-Mixed.Case9", true},
        {"application/x:y", false},
        {"application/foo/bar", false},
        {"image/x,y", false},
        {"text/x;charset=utf-8", false},
        {"text/x<y>", false},
        {"text/x?y@z", false},
        {"text/x[y]", false},
        {"text/x\\y", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.file("t.convs"), std::string(c.sourceType) + " application/vnd.cups-pdf 10 conv\n");
        EXPECT_EQ(BestFilter(dir.file("t.convs"), c.sourceType, kDestinationType), c.matches ? "conv" : "")
            << c.sourceType;
    }
    // The destination type is read with the same pattern.
    TempDir dir;
    WriteFile(dir.file("t.convs"), "application/pdf application/vnd.cups-pdf:x 10 conv\n");
    EXPECT_EQ(BestFilter(dir.file("t.convs"), "application/pdf", "application/vnd.cups-pdf:x"), "");
}

TEST(ChooseFilter, SearchesTablesInOrderAndStopsAtTheFirstThatYields)
{
    FakeCups cups;
    cups.Table("data/mime/cupsfilters.convs", "text/plain application/vnd.cups-pdf 1000 nope\n");
    cups.Table("data/mime/mime.convs", "text/plain application/vnd.cups-pdf 50 second\n");
    cups.Table("root/local.convs", "text/plain application/vnd.cups-pdf 1 third\n");
    EXPECT_EQ(ChooseFilter("text/plain", cups.env), cups.env.serverBin + "/filter/second");
    EXPECT_EQ(ChooseFilter("image/gif", cups.env), "");
    // The destination type itself needs no conversion.
    EXPECT_EQ(ChooseFilter(kDestinationType, cups.env), "");
}

TEST(ChooseFilter, EmptySourceTypeIsReported)
{
    FakeCups cups;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChooseFilter("", cups.env), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "get srcFormat error\n");
}

TEST(RewriteOrientation, RemovesTheLastPairAndOneSeparator)
{
    struct Case {
        const char* options;
        int answer;
        const char* rewritten;
    };
    const Case cases[] = {
        {"media=A4 orientation-requested=3 Collate=true", 1, "media=A4 Collate=true"},
        {"orientation-requested=4 a=1 orientation-requested=5 b=2", 1, "orientation-requested=4 a=1 b=2"},
        {"media=A4 orientation-requested=6", 1, "media=A4 "},  // at the very end there is no separator to drop
        {"media=A4 Collate=true", 0, ""},
        {"orientation-requested=x", 0, ""},
    };
    for (const Case& c : cases) {
        std::string out = "stale";
        EXPECT_EQ(RewriteOrientation(c.options, out), c.answer) << c.options;
        EXPECT_EQ(out, c.rewritten) << c.options;
    }
}

TEST(PrepFormat, ChoosesTheFilterForThePpdsSourceType)
{
    FakeCups cups;
    cups.Table("data/mime/cupsfilters.convs", "application/pdf application/vnd.cups-pdf 66 pdfconv\n");
    cups.Program("pdfconv");
    PreparedFormat format = PrepFormat("Collate=true orientation-requested=4 number-up=2", cups.env);
    EXPECT_EQ(format.status, 1);
    EXPECT_EQ(format.sourceType, "application/pdf");
    EXPECT_EQ(format.filterPath, cups.env.serverBin + "/filter/pdfconv");
    EXPECT_EQ(format.options, "Collate=true number-up=2");
    EXPECT_EQ(PrepFormat("Collate=true", cups.env).status, 0);
}

TEST(PrepFormat, FailsWithAMessageWhenAnythingIsMissing)
{
    FakeCups cups;
    cups.Table("data/mime/cupsfilters.convs", "application/pdf application/vnd.cups-pdf 66 pdfconv\n");
    const std::pair<std::string, const char*> cases[] = {
        {cups.env.ppdPath, "access bestFilterPath error\n"},  // program not installed
        {kFixtures + "/ppd/nofilter.ppd", "get srcFormat error\n"},
        {cups.dir.file("missing.ppd"), "ppdOpenFile return NULL\n"},
    };
    for (const auto& [ppd, message] : cases) {
        cups.env.ppdPath = ppd;
        testing::internal::CaptureStderr();
        EXPECT_EQ(PrepFormat("", cups.env).status, -1) << ppd;
        EXPECT_NE(testing::internal::GetCapturedStderr().find(message), std::string::npos) << ppd;
    }
}

// Points TMPDIR at a folder for one test and restores it after.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& path)
    {
        if (const char* old = getenv("TMPDIR"))
            old_ = old;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~ScopedTmpdir()
    {
        if (old_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", old_.c_str(), 1);
    }

private:
    std::string old_;
};

TEST(SaveToTempFile, KeepsEveryByteInAFileWithoutAName)
{
    TempDir dir, spool;
    ScopedTmpdir scoped(spool.path());
    std::string data(100000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    WriteFile(dir.file("in"), data);
    FILE* in = fopen(dir.file("in").c_str(), "rb");
    ASSERT_NE(in, nullptr);
    {
        UnnamedTempFile out;
        ASSERT_TRUE(SaveToTempFile(fileno(in), out));
        // Made in the spooler's folder and unlinked there at once.
        char target[1024] = {};
        ASSERT_GT(readlink(out.path().c_str(), target, sizeof target - 1), 0) << out.path();
        EXPECT_EQ(std::string(target).rfind(spool.path() + "/", 0), 0u) << target;
        EXPECT_TRUE(std::filesystem::is_empty(spool.path()));
        EXPECT_EQ(ReadFile(out.path()), data);
    }
    fclose(in);
    EXPECT_TRUE(std::filesystem::is_empty(spool.path()));
}

TEST(SaveToTempFile, NothingToReadIsAFailureAndLeavesNoFile)
{
    TempDir dir;
    ScopedTmpdir scoped(dir.path());
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[1]);
    UnnamedTempFile out;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveToTempFile(fds[0], out));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ERROR:"), std::string::npos);
    close(fds[0]);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The options as the converter's own parser reads them.
std::map<std::string, std::string> ParsedOptions(const std::string& text)
{
    JobOptions options(text.c_str());
    std::map<std::string, std::string> parsed;
    for (int i = 0; i < options.count(); ++i)
        parsed[options.options()[i].name] = options.options()[i].value;
    return parsed;
}

TEST(RewriteOrientation, TheConverterReadsEveryOtherOptionUnchanged)
{
    struct Case {
        std::string options;
        int answer;
    };
    const Case cases[] = {
        // Text that only looks like the option, inside other values.
        {"note=orientation-requested=3\\ page-ranges=2", 0},
        {"job-name=orientation-requested=12345 media=A4", 0},
        {"title=\"a orientation-requested=4 b\" media=A4", 0},
        {"x-orientation-requested=4 media=A4", 0},
        // The option itself among quoted, braced and escaped values.
        {"job-name=orientation-requested=12345 orientation-requested=4 media=A4", 1},
        {"a=\"x y\" orientation-requested=3 b={c {d} e} c='q\\' r'", 1},
        {"a=x\\ y\torientation-requested=5\t\tnote=orientation-requested=3", 1},
        {"  orientation-requested=6 ", 1},
        {"sw noflag orientation-requested=3 o=,\"p q\",r", 1},
        {"{a=1 orientation-requested=3 b=2}", 1},
    };
    for (const Case& c : cases) {
        std::string out;
        ASSERT_EQ(RewriteOrientation(c.options.c_str(), out), c.answer) << c.options;
        if (c.answer == 0)
            continue;
        std::map<std::string, std::string> expected = ParsedOptions(c.options);
        expected.erase("orientation-requested");
        EXPECT_EQ(ParsedOptions(out), expected) << c.options << " -> " << out;
    }
}

TEST(RewriteOrientation, LongOptionsAndTableLinesTakeLinearTime)
{
    // Quadratic scans took over a minute on such texts.
    const std::string longValue(130000, 'o');
    const std::string options = "note=" + longValue + " orientation-requested=3 media=A4";
    TempDir dir;
    WriteFile(dir.file("t.convs"), std::string(200000, 'a') + " " + std::string(100000, '1') +
                                       "\napplication/pdf application/vnd.cups-pdf 66 conv\n");
    const auto start = std::chrono::steady_clock::now();
    std::string out;
    EXPECT_EQ(RewriteOrientation(options.c_str(), out), 1);
    EXPECT_EQ(out, "note=" + longValue + " media=A4");
    EXPECT_EQ(BestFilter(dir.file("t.convs"), "application/pdf", kDestinationType), "conv");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(BestFilter, ReadsTheWordsOfALineAsThePatternDid)
{
    struct Case {
        const char* line;
        const char* program;  // found for application/pdf, or ""
    };
    const Case cases[] = {
        {"application/pdf application/vnd.cups-pdf 66 conv", "conv"},
        {"  application/pdf\r\tapplication/vnd.cups-pdf\f66 conv extra words", "conv"},
        {"junk words application/pdf application/vnd.cups-pdf 66 conv", "conv"},
        {"xapplication/pdf application/vnd.cups-pdf 66 conv", ""},
        {"Xapplication/pdf application/vnd.cups-pdf 66 conv", "conv"},  // the tail of a word
        {"application/pdf application/vnd.cups-pdf 66", ""},
        {"application/pdf application/vnd.cups-pdf 6x6 conv", ""},
        {"application/pdf application/vnd.cups-pdf 99999999999999999999999 conv", ""},
        {"application/pdf application/vnd.cups-pdf 0999 conv", "conv"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.file("t.convs"), std::string(c.line) + "\n");
        EXPECT_EQ(BestFilter(dir.file("t.convs"), "application/pdf", kDestinationType), c.program) << c.line;
    }
}
