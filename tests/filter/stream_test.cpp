// Whole job streams from the filter program, compared with reviewed golden
// copies. Printer blobs are opened with the openssl tool and shown by what
// they hold; the local host, which differs per machine, is shown as a
// placeholder. Set ZLK_UPDATE_GOLDEN=1 to rewrite the golden copies.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "filter/hostid.h"
#include "opensslcli.h"
#include "process.h"
#include "secblob/secblob.h"
#include "spooler.h"

using namespace zlk::test;
using zlk::filter::Sha256Hex;

namespace {

const std::string kTicket = "com.zelko.jt.printsettings.pdf.ww.";

std::string LocalHost()
{
    char name[zlk::filter::kHostNameSize];
    zlk::filter::getHostName(name, false);
    return name;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// sha256sum of the bytes, upper case.
std::string Sha256Sum(const std::string& bytes)
{
    TempDir dir;
    WriteFile(dir.file("bytes"), bytes);
    RunOptions run;
    run.args = {"sha256sum", dir.file("bytes")};
    run.env = {{"PATH", "/usr/bin:/bin"}};
    std::string out = RunProgram("/usr/bin/sha256sum", run).out.substr(0, 64);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool WellFormed(const std::string& xml)
{
    TempDir dir;
    WriteFile(dir.file("ticket.xml"), xml);
    RunOptions run;
    run.args = {"xmllint", "--noout", dir.file("ticket.xml")};
    run.env = {{"PATH", "/usr/bin:/bin"}};
    return RunProgram("/usr/bin/xmllint", run).exitCode == 0;
}

struct Job {
    std::string name;
    std::string options;
    std::string title = "Quarterly report";
    std::string user = "alice";
    std::string copies = "1";
    std::string ppd = "ppd/cp932.ppd";
};

// Checks what every stream must satisfy and answers its readable form.
std::string Readable(const Job& job, const RunResult& result, const std::string& document)
{
    JobStreamParts parts = SplitJobStream(result.out);
    EXPECT_TRUE(parts.ok) << job.name;
    EXPECT_EQ(parts.pdf, document) << job.name << ": the PDF must be carried unchanged";
    EXPECT_TRUE(WellFormed(parts.ticket)) << job.name << "\n" << parts.ticket;

    std::string text =
        parts.header + parts.ticket + "<<PDF " + std::to_string(parts.pdf.size()) + " bytes>>" + parts.trailer;
    // Every twin attribute carries the digest of its printer-language
    // attribute's bytes, as sha256sum computes it.
    std::map<std::string, std::string> values;
    const std::string prefix = "@PJL SET JOBATTR=\"@";
    for (const std::string& line : Lines(parts.header)) {
        if (line.rfind(prefix, 0) == 0 && line.size() >= prefix.size() + 6 && line.back() == '"')
            values[line.substr(prefix.size(), 4)] = line.substr(prefix.size() + 5, line.size() - prefix.size() - 6);
    }
    for (auto [code, twin] : {std::pair{"CNAM", "UCNA"}, {"JOAU", "UJAU"}, {"ACNA", "UACN"}, {"ACID", "UACI"}}) {
        if (!values.count(twin))
            continue;
        const std::string& value = values[twin];
        EXPECT_EQ(value.substr(value.find('\t') + 1), Sha256Sum(values[code])) << job.name << " " << twin;
    }
    // Printer blobs must open with the printer's key; shown by content.
    for (const char* code : {"JOEP", "ACEP"}) {
        if (!values.count(code) || values[code].empty())
            continue;
        auto blob = zlk::secblob::SecBlobEnc_Base64_Decode_Data(values[code].c_str());
        EXPECT_TRUE(blob.has_value()) << job.name;
        if (!blob)
            continue;
        std::string plain = OpenSslOpenKeyTransportBlob(*blob, FixturePath("keys/printer-dev-private.pem"));
        text = ReplaceAll(text, "@" + std::string(code) + "=" + values[code] + "\"",
                          "@" + std::string(code) + "={printer blob of: " + plain + "}\"");
    }
    const std::string host = LocalHost();
    text = ReplaceAll(text, "@CNAM=" + host + "\"", "@CNAM={local host}\"");
    text = ReplaceAll(text, "@UCNA=" + host + "\t" + Sha256Hex(host), "@UCNA={local host}\t{its digest}");
    return ReplaceAll(text, "\x1b", "<ESC>");
}

void PrintTo(const Job& job, std::ostream* os) { *os << job.name; }

class GoldenStream : public testing::TestWithParam<Job> {};

}  // namespace

TEST_P(GoldenStream, MatchesTheReviewedStream)
{
    const Job& job = GetParam();
    SpoolerRun spooler;
    RunResult result = spooler.RunJob(job);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const std::string readable = Readable(job, result, ReadFile(spooler.document));
    const std::string golden = FixturePath("streams/" + job.name + ".txt");
    if (std::getenv("ZLK_UPDATE_GOLDEN")) {
        WriteFile(golden, readable);
        GTEST_SKIP() << "golden copy rewritten: review it";
    }
    EXPECT_EQ(readable, ReadFile(golden));
    RunResult inspected = InspectStream(result.out);
    EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
    // Neither the passwords nor their stored blobs reach the printer.
    for (const char* plain : {"user-pw", "box-pw", "in-box-pw"})
        EXPECT_EQ(result.out.find(plain), std::string::npos) << job.name;
    for (const std::string& option : Lines(ReplaceAll(job.options, " ", "\n"))) {
        std::string value = option.substr(option.find('=') + 1);
        if (option.find("Password") != std::string::npos && value.size() > 8) {
            EXPECT_EQ(result.out.find(value), std::string::npos) << job.name << ": " << option;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, GoldenStream,
    testing::Values(
        Job{"no-accounting", ""},
        Job{"normal-no-features", kTicket + "PrintTypeTicketKey=1 " + kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"black-collate-3-copies", "ZLKColorMode=Black Collate=true", "Quarterly report", "alice", "3"},
        Job{"empty-title", kTicket + "JBAMacHostNameStringTicket=ws-042", ""},
        Job{"secure-print", kTicket + "PrintTypeTicketKey=2 " + kTicket + "PrintTypeUserNameTicketKey=a<b " + kTicket +
                                "PrintTypePasswordTicketKey=1234 " + kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"delayed-print", kTicket + "PrintTypeTicketKey=4 " + kTicket + "DelayPrintTicketKey=22:30: Jog=EndOfSet " +
                                 kTicket + "DocumentNameTypeTicketKey=1 " + kTicket +
                                 "PrintTypeProductTypeTicketKey=1 " + kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"accounting-user", kTicket + "JBAManageTypeListTicketKey=2 " + kTicket + "JBAUserIDListCtrlTicket=2 " +
                                   kTicket + "JBAUserIDTextEditTicket=u0815 " + kTicket +
                                   "JBAUserPasswordTextEditTicket=" + StoredPassword("user-pw") + " " + kTicket +
                                   "JBAAccountIDTextEditTicket=4711 " + kTicket + "JBADomainNameTextEditTicket=corp " +
                                   kTicket + "JBAStorageIDTextEditTicket=box3 " + kTicket +
                                   "JBAStoragePasswordTextEditTicket=" + StoredPassword("box-pw") + " " + kTicket +
                                   "JBAMacHostNameStringTicket=ws-042"},
        Job{"accounting-input-storage",
            kTicket + "JBAManageTypeListTicketKey=2 " + kTicket + "JBAUserInputRadioBtnTicket=1 " + kTicket +
                "JBAInputStrgRadioBtnTicketKey=1 " + kTicket + "JBAInputStorageIDTextEditTicket=box7 " + kTicket +
                "JBAInputStoragePasswordTextEditTicket=" + StoredPassword("in-box-pw") + " " + kTicket +
                "JBAUserIDTextEditTicket=ignored " + kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"booklet-center-staple", "ZLKSignature=LeftSigCenterStaple ZLKSigVol=5Sheets " + kTicket +
                                         "BookletMarginSwitchTicket=1 " + kTicket + "BookletMarginMMShiftTicket=5 " +
                                         kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"punch-without-hole-count",
            "ZLKStaple=None ZLKPunch=Left " + kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"custom-media-duplex", "media=Custom.612x792 sides=two-sided-long-edge number-up=4 " + kTicket +
                                       "JBAMacHostNameStringTicket=ws-042"},
        Job{"covers-and-bypass",
            "ZLKIntCoverSheet=MSI ZLKIntBackCoverSheet=2ndTray InputSlot=BypassTray "
            "MediaType=ThickPaper ZLKOutputMode=HighQuality " +
                kTicket + "JBAMacHostNameStringTicket=ws-042"},
        Job{"utf8-printer",
            kTicket + "PrintTypeProductTypeTicketKey=5 " + kTicket + "JBAMacHostNameStringTicket=ws-042 " + kTicket +
                "JBAManageTypeListTicketKey=2 " + kTicket + "JBAUserIDListCtrlTicket=2 " + kTicket +
                "JBAUserIDTextEditTicket=\xE5\xB1\xB1\xE7\x94\xB0",
            "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8 2024", "alice", "1", "ppd/utf8.ppd"}),
    [](const testing::TestParamInfo<Job>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(JobStream, SamePasswordTravelsAsAFreshPrinterBlobEveryJob)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    const std::string stored = StoredPassword("same-pw");
    spooler.options = kTicket + "JBAManageTypeListTicketKey=2 " + kTicket + "JBAUserIDListCtrlTicket=2 " + kTicket +
                      "JBAUserIDTextEditTicket=u1 " + kTicket + "JBAUserPasswordTextEditTicket=" + stored;
    std::vector<std::string> joep;
    for (int run = 0; run < 2; ++run) {
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out.find(stored), std::string::npos);
        for (const std::string& line : Lines(result.out))
            if (line.rfind("@PJL SET JOBATTR=\"@JOEP=", 0) == 0)
                joep.push_back(line.substr(24, line.size() - 25));
    }
    ASSERT_EQ(joep.size(), 2u);
    EXPECT_NE(joep[0], joep[1]);
    for (const std::string& text : joep) {
        auto blob = zlk::secblob::SecBlobEnc_Base64_Decode_Data(text.c_str());
        ASSERT_TRUE(blob.has_value()) << text;
        EXPECT_EQ(OpenSslOpenKeyTransportBlob(*blob, FixturePath("keys/printer-dev-private.pem")), "same-pw");
    }
}

TEST(JobStream, StartsWithUelAndStringCodeSetAndEndsWithEoj)
{
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    RunResult result = spooler.Run();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, 10), std::string("\x1b\x25\x2d\x31\x32\x33\x34\x35\x58@"));
    EXPECT_EQ(result.out.rfind("\x1b%-12345X@PJL SET STRINGCODESET=CP932\n", 0), 0u);
    EXPECT_EQ(result.out.substr(result.out.size() - 9), "@PJL EOJ\n");
    JobStreamParts parts = SplitJobStream(result.out);
    ASSERT_TRUE(parts.ok);
    EXPECT_EQ((parts.header + parts.ticket + parts.trailer).find('\r'), std::string::npos) << "LF only";
}

TEST(JobStream, HostileNamesKeepTheTicketWellFormedAndThePjlIntact)
{
    for (const std::string& hostile : {std::string("<a href=\"x\">&amp;'</a>"), std::string("\xFF\xFE<bad>\xC3"),
                                       std::string("1</JobPassword><Copies>99"), std::string(400, '&')}) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.user = hostile;
        spooler.title = hostile;
        // The dialogs store such texts in slash-decimal form.
        std::string encoded;
        for (unsigned char c : hostile)
            encoded += "/" + std::to_string(c);
        spooler.options = kTicket + "PrintTypeTicketKey=2 " + kTicket + "PrintTypeUserNameTicketKey=" + encoded + " " +
                          kTicket + "PrintTypePasswordTicketKey=" + encoded + " " + kTicket +
                          "DocumentNameTypeTicketKey=2 " + kTicket + "DocumentNameTicketKey=" + encoded;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << result.err;
        JobStreamParts parts = SplitJobStream(result.out);
        ASSERT_TRUE(parts.ok);
        EXPECT_TRUE(WellFormed(parts.ticket)) << parts.ticket;
        EXPECT_EQ(parts.ticket.find("<Copies>99"), std::string::npos);
        RunResult inspected = InspectStream(result.out);
        EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
        for (const std::string& line : Lines(parts.header))
            EXPECT_NE(line.find("@PJL "), std::string::npos) << line;
    }
}

// The header's pages-per-sheet attribute and the trailer's N-up line say
// "1" for a one-up job however it arrives, and "N<count>" otherwise.
TEST(JobStream, NumberUpInHeaderAndTrailer)
{
    const std::string rows = "com.apple.print.PrintSettings.PMLayoutRows..n.=";
    const std::string columns = " com.apple.print.PrintSettings.PMLayoutColumns..n.=";
    const std::pair<std::string, std::string> cases[] = {
        {"", "1"},
        {"number-up=1", "1"},
        {"Collate=true number-up=1 job-uuid=urn:uuid:0", "1"},  // as the scheduler passes a plain job
        {"number-up=2", "N2"},
        {"number-up=4", "N4"},
        {"number-up=16", "N16"},
        {rows + "2" + columns + "2", "N4"},
        {"number-up=1 " + rows + "2" + columns + "3", "N6"},
        {rows + "1" + columns + "1", "1"},
    };
    for (const auto& [options, numberUp] : cases) {
        SpoolerRun spooler;
        spooler.document = spooler.Pdf(1);
        spooler.options = options;
        RunResult result = spooler.Run();
        ASSERT_EQ(result.exitCode, 0) << options << ": " << result.err;
        JobStreamParts parts = SplitJobStream(result.out);
        ASSERT_TRUE(parts.ok) << options;
        EXPECT_NE(parts.header.find("@PJL SET JOBATTR=\"@NLPP=" + numberUp + "\"\n"), std::string::npos)
            << options << "\n"
            << parts.header;
        EXPECT_NE(parts.trailer.find("PRINTJOBINFO NUP=" + numberUp + "\n"), std::string::npos) << options << "\n"
                                                                                                << parts.trailer;
        RunResult inspected = InspectStream(result.out);
        EXPECT_EQ(inspected.exitCode, 0) << options << ": " << inspected.err;
    }
}
