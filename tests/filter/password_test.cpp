// Stored job accounting passwords leave the filter only re-encrypted for
// the printer.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "filter/options.h"
#include "opensslcli.h"
#include "process.h"
#include "records.h"
#include "secblob/secblob.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::filter;
using namespace zlk::secblob;
using namespace zlk::test;
using zlk::filter::test::TicketKey;

namespace {

const std::string kFixtures = ZLK_TEST_FIXTURES;
const std::string kDevKey = kFixtures + "/keys/printer-dev-private.pem";
const std::string kKey = TicketKey("JBAUserPasswordTextEditTicket");

struct Reading {
    std::string field;
    bool result = false;
    std::string log;
};

Reading Read(const std::string& value)
{
    JobOptions options((kKey + "='" + value + "'").c_str());
    char field[2048];
    std::memset(field, 'x', sizeof field);
    testing::internal::CaptureStderr();
    Reading reading;
    reading.result = GetTicketPasswordStringConvertedToEncryption(kKey.c_str(), options.count(), options.options(),
                                                                  field, sizeof field);
    reading.log = testing::internal::GetCapturedStderr();
    reading.field = std::string(field, strnlen(field, sizeof field));
    EXPECT_LT(reading.field.size(), sizeof field);
    return reading;
}

std::string OpenForPrinter(const std::string& field)
{
    auto blob = SecBlobEnc_Base64_Decode_Data(field.c_str());
    if (!blob)
        return "<not Base64>";
    return OpenSslOpenKeyTransportBlob(*blob, kDevKey);
}

}  // namespace

TEST(PasswordTransfer, StoredPasswordBecomesAFreshPrinterBlobEachTime)
{
    const std::string stored = StoredPassword("pa55:word");
    Reading first = Read(stored), second = Read(stored);
    ASSERT_TRUE(first.result) << first.log;
    ASSERT_TRUE(second.result);
    EXPECT_NE(first.field, second.field);
    EXPECT_EQ(first.field.find(stored), std::string::npos);
    EXPECT_EQ(OpenForPrinter(first.field), "pa55:word");
    EXPECT_EQ(OpenForPrinter(second.field), "pa55:word");
    EXPECT_EQ(first.log, "");
}

TEST(PasswordTransfer, LongestPasswordFitsItsField)
{
    const std::string password(255, 'p');
    Reading reading = Read(StoredPassword(password));
    ASSERT_TRUE(reading.result) << reading.log;
    EXPECT_EQ(OpenForPrinter(reading.field), password);
    // 256 bytes of password are more than the printer takes.
    EXPECT_EQ(Read(StoredPassword(std::string(256, 'p'))).field, "");
}

TEST(PasswordTransfer, AnythingButAStoredPasswordGivesAnEmptyFieldAndALogLine)
{
    const std::string stored = StoredPassword("hunter22");
    std::vector<uint8_t> other(32);
    size_t otherLength = other.size();
    const uint8_t otherKey[32] = {1}, otherIv[16] = {2};
    ASSERT_EQ(SecBlobEnc_DataStorage_Encrypt(reinterpret_cast<const uint8_t*>("hunter22"), 8, otherKey, 32, otherKey,
                                             32, otherIv, 16, other.data(), &otherLength),
              kSecBlobSuccess);
    std::string otherText(64, '\0');
    otherText.resize(SecBlobEnc_Base64_Encode(other.data(), otherLength, otherText.data(), otherText.size()));

    const std::vector<std::pair<const char*, std::string>> cases = {
        {"plain password", "hunter22"},
        {"not Base64", "%%%%not*base64%%%%"},
        {"truncated", stored.substr(0, stored.size() - 4)},
        {"wrong padding", stored.substr(0, stored.size() - 1)},
        {"other key material", otherText},
        {"4 MB of text", std::string(4 << 20, 'A')},
        {"one blank", " "},
    };
    for (const auto& [what, value] : cases) {
        Reading reading = Read(value);
        EXPECT_FALSE(reading.result) << what;
        EXPECT_EQ(reading.field, "") << what;
        EXPECT_NE(reading.log.find("could not be opened"), std::string::npos) << what;
        EXPECT_EQ(reading.log.find("hunter22"), std::string::npos) << what;
    }

    JobOptions none("");
    char field[2048] = "left over";
    EXPECT_FALSE(
        GetTicketPasswordStringConvertedToEncryption(kKey.c_str(), none.count(), none.options(), field, sizeof field));
    EXPECT_STREQ(field, "");
}

TEST(PasswordTransfer, PasswordKeysLeftEmptyAreNoPasswordToWarnAbout)
{
    // The dialogs write the password keys of windows nobody typed in, empty.
    const Reading empty = Read("");
    EXPECT_FALSE(empty.result);
    EXPECT_EQ(empty.field, "");
    EXPECT_EQ(empty.log, "");
}

TEST(PasswordTransfer, EveryAccountingPasswordIsReEncryptedAndThePrintTypePasscodeIsNot)
{
    const std::string stored = StoredPassword("s3cret");
    std::string options;
    for (const char* name : {"JBAUserPasswordTextEditTicket", "JBAStoragePasswordTextEditTicket",
                             "JBAAdminUserPasswordTextEditTicket", "JBAAdminStoragePasswordTextEditTicket",
                             "JBAInputStoragePasswordTextEditTicket", "JBAInputUserPasswordTextEditTicket"})
        options += TicketKey(name) + "=" + stored + " ";
    options += TicketKey("PrintTypePasswordTicketKey") + "=4321";
    const char* argv[] = {"ZLKPrintFilter", "1", "alice", "title", "1", options.c_str(), nullptr};
    printoptions record{};
    DocumentNames names{};
    GetPrintOptions(argv, (kFixtures + "/ppd/cp932.ppd").c_str(), record, names);
    for (const char* field :
         {record.jba.password, record.jba.storagePassword, record.jba.adminPassword, record.jba.adminStoragePassword,
          record.jba.inputStoragePassword, record.jba.inputPassword}) {
        ASSERT_STRNE(field, "");
        EXPECT_EQ(OpenForPrinter(field), "s3cret");
    }
    EXPECT_STREQ(record.printType.password, "4321");
}

TEST(PasswordTransfer, TheFilterNeverWritesTheStoredFormOrThePassword)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("mime"));
    std::filesystem::create_directories(dir.file("filter"));
    WriteFile(dir.file("mime/cupsfilters.convs"), "application/pdf application/vnd.cups-pdf 1 copy\n");
    WriteFile(dir.file("filter/copy"), "#!/bin/sh\nexec cat \"$6\"\n");
    chmod(dir.file("filter/copy").c_str(), 0755);
    std::filesystem::create_directories(dir.file("tmp"));
    WriteTestPdf(dir.file("doc.pdf"), 1);

    const std::string stored = StoredPassword("TopSecret!");
    RunOptions run;
    run.args = {"ZLKPrintFilter",
                "7",
                "alice",
                "doc",
                "1",
                TicketKey("JBAUserPasswordTextEditTicket") + "=" + stored + " " +
                    TicketKey("JBAStoragePasswordTextEditTicket") + "=TopSecret!",
                dir.file("doc.pdf")};
    run.env = {{"PATH", "/usr/bin:/bin"},      {"PPD", kFixtures + "/ppd/cp932.ppd"},
               {"TMPDIR", dir.file("tmp")},    {"CONTENT_TYPE", "application/pdf"},
               {"CUPS_DATADIR", dir.path()},   {"CUPS_SERVERBIN", dir.path()},
               {"CUPS_SERVERROOT", dir.path()}};
    RunResult result = RunProgram(ZLK_FILTER_JOBCOPY_BINARY, run);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    std::string everything = result.out + result.err;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("tmp")))
        everything += ReadFile(entry.path().string());
    EXPECT_EQ(everything.find(stored), std::string::npos);
    EXPECT_EQ(everything.find("TopSecret!"), std::string::npos);
    // The plain value is refused, and said so in the log.
    EXPECT_NE(result.err.find("JBAStoragePasswordTextEditTicket could not be opened"), std::string::npos);
}

// OpenSSL is loaded with the sealer module, only by jobs that carry a
// password: the others must not pay for it. The dynamic loader names every
// library it loads when asked to.
TEST(PasswordTransfer, OnlyJobsWithAPasswordLoadOpenSSL)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("mime"));
    std::filesystem::create_directories(dir.file("filter"));
    std::filesystem::create_directories(dir.file("tmp"));
    WriteFile(dir.file("mime/cupsfilters.convs"), "application/pdf application/vnd.cups-pdf 1 copy\n");
    WriteFile(dir.file("filter/copy"), "#!/bin/sh\nexec cat \"$6\"\n");
    chmod(dir.file("filter/copy").c_str(), 0755);
    WriteTestPdf(dir.file("doc.pdf"), 1);

    const struct {
        const char* what;
        std::string options;
        bool loadsOpenSSL;
    } cases[] = {
        {"no password", "job-account-id=ACC9", false},
        {"a passcode in clear for a model that reads it", "job-password=4321", false},
        {"a stored accounting password",
         kKey + "=" + StoredPassword("TopSecret!") + " " + TicketKey("JBAManageTypeListTicketKey") + "=2", true},
    };
    for (const auto& c : cases) {
        RunOptions run;
        run.args = {"ZLKPrintFilter", "7", "alice", "doc", "1", c.options, dir.file("doc.pdf")};
        run.env = {{"PATH", "/usr/bin:/bin"},       {"PPD", kFixtures + "/ppd/cp932.ppd"},
                   {"TMPDIR", dir.file("tmp")},     {"CONTENT_TYPE", "application/pdf"},
                   {"CUPS_DATADIR", dir.path()},    {"CUPS_SERVERBIN", dir.path()},
                   {"CUPS_SERVERROOT", dir.path()}, {"LD_DEBUG", "files"}};
        RunResult result = RunProgram(ZLK_FILTER_BINARY, run);
        ASSERT_EQ(result.exitCode, 0) << c.what << ": " << result.err;
        EXPECT_EQ(result.err.find("file=libcrypto") != std::string::npos, c.loadsOpenSSL) << c.what;
        EXPECT_EQ(InspectStream(result.out).exitCode, 0) << c.what;
    }
}
