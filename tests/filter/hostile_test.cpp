// The filter program under input a hostile user, a damaged document or a
// broken installation gives it: every job either prints as a stream the
// inspector accepts or fails cleanly, in bounded time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::test;

namespace {

// The trailer line of a job-info key, or "" when missing.
std::string JobInfoLine(const std::string& stream, const std::string& key)
{
    for (const std::string& line : Lines(SplitJobStream(stream).trailer))
        if (line.find("PRINTJOBINFO " + key + "=") != std::string::npos)
            return line.substr(line.find('=') + 1);
    return "";
}

}  // namespace

TEST(HostileInput, LongUserNamesAndOddCopiesKeepTheStreamsGrammar)
{
    struct Case {
        std::string user;
        std::string copies;
        const char* printed;  // copies the trailer asks for
        bool warned;
    };
    const std::vector<Case> cases = {
        {std::string(1957, 'u'), "2", "2", false},
        {std::string(4000, 'u'), "1", "1", false},
        {"\xE3\x81\x82" + std::string(2500, 'u'), "007", "7", false},
        {"alice", "abc", "1", true},
        {"alice", "", "1", true},
        {"alice", "-0", "1", true},
        {"alice", "1e400", "1", true},
        {"alice", "0", "1", true},
        {"alice", "99999999999999999999", "1", true},
        {"alice", " 3", "1", true},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.user = c.user;
        spooler.copies = c.copies;
        RunResult result = spooler.Run();
        const std::string what = c.user.substr(0, 8) + "... copies '" + c.copies + "'";
        ASSERT_EQ(result.exitCode, 0) << what << ": " << result.err;
        RunResult inspected = InspectStream(result.out);
        EXPECT_EQ(inspected.exitCode, 0) << what << ": " << inspected.err;
        EXPECT_EQ(JobInfoLine(result.out, "PAGECOPIES"), c.printed) << what;
        EXPECT_EQ(result.err.find("WARNING:") != std::string::npos, c.warned) << what << ": " << result.err;
    }
}
