// The filter in a real CUPS queue: a private scheduler, jobs submitted with
// lp, the job stream captured by a file device and checked.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cupsd.h"
#include "opensslcli.h"
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
        if (scheduler_->ok() && scheduler_->AddQueue("zlk", FixturePath("ppd/cp932.ppd")).empty())
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

    PrintedJob Print(const std::string& file, const std::vector<std::string>& args)
    {
        PrintedJob job = cupsd->Print("zlk", file, args);
        EXPECT_EQ(job.state, "completed") << cupsd->JobLog(job.id);
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
};

std::string Stored(const std::string& password)
{
    using namespace zlk::secblob;
    std::vector<uint8_t> blob(password.size() + 32);
    size_t length = blob.size();
    Encode_Storage(reinterpret_cast<const uint8_t*>(password.data()), password.size(), blob.data(), &length);
    std::string text(2 * length + 8, '\0');
    text.resize(SecBlobEnc_Base64_Encode(blob.data(), length, text.data(), text.size()));
    return text;
}

std::string Attribute(const std::string& header, const std::string& code)
{
    const std::string head = "@PJL SET JOBATTR=\"@" + code + "=";
    for (const std::string& line : Lines(header))
        if (line.rfind(head, 0) == 0)
            return line.substr(head.size(), line.size() - head.size() - 1);
    return "<missing>";
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
    const std::string stored = Stored("Acc0unt!pw");
    PrintedJob job = Print(
        Sample(1),
        {"-t", "Accounting",
         "-o", kTicket + "JBAManageTypeListTicketKey=2",
         "-o", kTicket + "JBAUserIDListCtrlTicket=2",
         "-o", kTicket + "JBAUserIDTextEditTicket=/79/39/78/101/105/108",  // O'Neil, as the dialogs store it
         "-o", kTicket + "JBAAccountIDTextEditTicket=/49/44/50",            // 1,2
         "-o", kTicket + "JBAUserPasswordTextEditTicket=" + stored,
         "-o", kTicket + "JBAMacHostNameStringTicket=ws-042",
         "-o", "ZLKColorMode=Black"});
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
}

TEST_F(CupsQueue, QuotedSpacesQuotesAndLongValuesSurviveTheSpooler)
{
    const std::string longName(300, 'x');
    PrintedJob job = Print(Sample(1), {"-o", kTicket + "PrintTypeTicketKey=2",
                                       "-o", kTicket + "PrintTypeUserNameTicketKey='John \"JJ\" Smith'",
                                       "-o", kTicket + "DocumentNameTypeTicketKey=2",
                                       "-o", kTicket + "DocumentNameTicketKey=" + longName,
                                       "-o", kTicket + "JBAManageTypeListTicketKey=2",
                                       "-o", kTicket + "JBAUserIDListCtrlTicket=2",
                                       "-o", kTicket + "JBAUserIDTextEditTicket=a\\\\b",
                                       "-o", "Collate=True", "-n", "2"});
    JobStreamParts parts = Parts(job);
    EXPECT_NE(parts.ticket.find("<RequestingUserName>John &quot;JJ&quot; Smith</RequestingUserName>"),
              std::string::npos)
        << parts.ticket;
    // The document name field holds 192 bytes of the 300 sent.
    EXPECT_NE(parts.ticket.find("<JobName>" + std::string(192, 'x') + "</JobName>"), std::string::npos);
    EXPECT_EQ(Attribute(parts.header, "JOAU"), "a\\b");
    EXPECT_NE(parts.trailer.find("JOBCOPIES=2\n"), std::string::npos) << "PPD Collate=True reaches the filter";
}
