// The PJL header and trailer around the ticket and the PDF.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "filter/hostid.h"
#include "filter/jobstream.h"
#include "records.h"
#include "spooler.h"

using namespace zlk::filter;
using namespace zlk::test;
using zlk::filter::test::NoOptions;
using zlk::filter::test::Set;

namespace {

std::string Header(const printoptions& record, const char* user, const char* title, const DocumentNames& names,
                   const char* host = "ws-01")
{
    const char* argv[] = {"f", "1", user, title, "1", "", nullptr};
    return CaptureStdout([&] { OutputXPJLCommand(argv, record, names, host); });
}

std::string Trailer(const printoptions& record, const char* copies)
{
    const char* argv[] = {"f", "1", "alice", "t", copies, "", nullptr};
    return CaptureStdout([&] { OutputXPJLTrailer(argv, record); });
}

}  // namespace

TEST(Digest, IsUpperCaseSha256OfTheBytes)
{
    EXPECT_EQ(Sha256Hex("abc"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(Sha256Hex(""), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    // Bytes a shell's printf would have rewritten are digested as they are.
    EXPECT_EQ(Sha256Hex("100%s\\n'"), Sha256Hex(std::string("100%s\\n'")));
    EXPECT_NE(Sha256Hex("100%s\\n'"), Sha256Hex("100"));
    char buffer[80] = "x\t";
    sha256("abc", buffer);
    EXPECT_STREQ(buffer, "x\tBA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    // Every tail length around the one- and two-block padding, and a long
    // text, agree with OpenSSL's digest.
    std::string bytes;
    for (std::size_t length : {1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 100000}) {
        bytes.resize(length);
        for (std::size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<char>((i * 131 + length) & 0xff);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        ASSERT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr), 1);
        std::string hex;
        for (unsigned int i = 0; i < size; ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", digest[i]);
            hex += pair;
        }
        EXPECT_EQ(Sha256Hex(bytes), hex) << length << " bytes";
    }
    char text[] = "abz-AZ09\xE3\x81\x82";
    uppercharacter(text);
    EXPECT_STREQ(text, "ABZ-AZ09\xE3\x81\x82");
}

TEST(HostName, CutTo32UnitsOnUtf8PrintersOnly)
{
    const std::string forty(40, 'h');
    char buffer[kHostNameSize];
    CutHostName(forty.c_str(), /*utf8Printer=*/true, buffer);
    EXPECT_EQ(std::string(buffer), forty.substr(0, 32));
    CutHostName(forty.c_str(), /*utf8Printer=*/false, buffer);
    EXPECT_EQ(std::string(buffer), forty);
    const std::string long_(300, 'h');
    CutHostName(long_.c_str(), false, buffer);
    EXPECT_EQ(std::strlen(buffer), 96u);
    getHostName(buffer, false);
    EXPECT_GT(std::strlen(buffer), 0u);
}

TEST(JobOwner, FollowsManageTypeAndInputChoices)
{
    printoptions r = NoOptions();
    Set(r.jba.userId, "uid");
    Set(r.jba.loginName, "login");
    Set(r.jba.password, "P");
    Set(r.jba.accountId, "acc");
    Set(r.jba.domainName, "dom");
    Set(r.jba.storageId, "box");
    Set(r.jba.storagePassword, "SP");
    Set(r.jba.adminPassword, "AP");
    Set(r.jba.adminAccountId, "aacc");
    Set(r.jba.adminDomainName, "adom");
    Set(r.jba.adminStorageId, "abox");
    Set(r.jba.adminStoragePassword, "ASP");
    Set(r.jba.inputUserId, "iuid");
    Set(r.jba.inputPassword, "IP");
    Set(r.jba.inputAccountId, "iacc");
    Set(r.jba.inputDomainName, "idom");
    Set(r.jba.inputStorageId, "ibox");
    Set(r.jba.inputStoragePassword, "ISP");

    // The ticket's numbers as they arrive, names or not: manage type, user
    // input, input storage, user ID source; then user|password|account|
    // domain|storage id|storage password.
    struct Case {
        int32_t manage, input, storage, source;
        const char* owner;
    };
    auto owner = [&](const Case& c) {
        r.jba.manageType = ManageType{c.manage};
        r.jba.userInput = RadioButton{c.input};
        r.jba.inputStorage = RadioButton{c.storage};
        r.jba.userIdSource = UserIdSource{c.source};
        JobOwnerInfo o = GetJobOwnerInfo(r);
        return o.user + "|" + o.password + "|" + o.accountId + "|" + o.domain + "|" + o.storageId + "|" +
               o.storagePassword;
    };
    const Case cases[] = {
        {1, 1, 1, 2, "UnknownUser||||ibox|ISP"},
        {2, 1, 1, 2, "UnknownUser||||ibox|ISP"},
        {2, 1, -1, 2, "UnknownUser||||ibox|ISP"},  // a missing storage radio is not "off"
        {2, 1, 0, 2, "iuid|IP|iacc|idom||"},
        {2, 0, 0, 2, "uid|P|acc|dom|box|SP"},
        {2, 0, 0, 1, "login|P|acc|dom|box|SP"},
        {1, 0, 0, 1, "login|AP|aacc|adom|abox|ASP"},
        {1, 0, 0, 0, "||aacc|adom|abox|ASP"},  // no source user: no admin password
        {0, 1, 1, 2, "|||||"},
        {-1, 0, 0, 2, "|||||"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(owner(c), c.owner) << c.manage << c.input << c.storage << c.source;

    // Passwords only go with an id.
    r.jba.inputUserId[0] = '\0';
    r.jba.inputStorageId[0] = '\0';
    r.jba.storageId[0] = '\0';
    const Case withoutIds[] = {
        {2, 1, 0, 2, "||iacc|idom||"},
        {2, 1, 1, 2, "UnknownUser|||||"},
        {2, 0, 0, 2, "uid|P|acc|dom||"},
    };
    for (const Case& c : withoutIds)
        EXPECT_EQ(owner(c), c.owner) << c.manage << c.input << c.storage << c.source;
}

TEST(Header, JobWithoutAccountingOptions)
{
    printoptions record = NoOptions();
    DocumentNames names{};
    std::strcpy(names.PTStdDocumentName, "Report");
    std::strcpy(names.PTStdDocumentNameForUTF8, "Report");
    const std::string expected = std::string("\x1b%-12345X") +
                                 "@PJL SET STRINGCODESET=CP932\n"
                                 "@PJL JOB MODE=PRINTER\n"
                                 "@PJL COMMENT begin\n"
                                 "@PJL COMMENT Version:4.00\n"
                                 "@PJL SET JOBATTR=\"@CNAM=ws-01\"\n"
                                 "@PJL SET JOBATTR=\"@UCNA=ws-01\t" +
                                 Sha256Hex("ws-01") +
                                 "\"\n"
                                 "@PJL SET JOBATTR=\"@JOAU=alice\"\n"
                                 "@PJL SET JOBATTR=\"@UJAU=alice\t" +
                                 Sha256Hex("alice") +
                                 "\"\n"
                                 "@PJL SET JOBATTR=\"@ACNA=Report\"\n"
                                 "@PJL SET JOBATTR=\"@UACN=Report\t" +
                                 Sha256Hex("Report") +
                                 "\"\n"
                                 "@PJL SET JOBATTR=\"@JOEP=\"\n"
                                 "@PJL SET JOBATTR=\"@DAID=\"\n"
                                 "@PJL SET JOBATTR=\"@NLPP=1\"\n"
                                 "@PJL SET RENDERMODE=COLOR\n"
                                 "@PJL ENTER LANGUAGE=PDF\n";
    EXPECT_EQ(Header(record, "alice", "Report", names), expected);

    // No title: no document name lines at all.
    std::string untitled = Header(record, "alice", "", names);
    EXPECT_EQ(untitled.find("@ACNA"), std::string::npos);
    EXPECT_EQ(untitled.find("@UACN"), std::string::npos);
}

TEST(Header, ConvertsToCp932AndDigestsTheConvertedBytes)
{
    printoptions record = NoOptions();
    Set(record.jba.hostName, "\xE3\x81\x82");  // hiragana a
    Set(record.features.colorMode, "Black");
    std::string header = Header(record, "\xE3\x81\x84", "", DocumentNames{});
    EXPECT_NE(header.find("@CNAM=\x82\xA0\"\n"), std::string::npos);
    EXPECT_NE(header.find("@UCNA=\xE3\x81\x82\t" + Sha256Hex("\x82\xA0") + "\"\n"), std::string::npos);
    EXPECT_NE(header.find("@JOAU=\x82\xA2\"\n"), std::string::npos);
    EXPECT_NE(header.find("@PJL SET RENDERMODE=GRAYSCALE\n"), std::string::npos);
}

TEST(Header, ValuesCannotBreakOutOfTheirAttribute)
{
    printoptions record = NoOptions();
    Set(record.jba.hostName, "ws\"\n@PJL EOJ");
    std::string header = Header(record, "bob\r\n@PJL SET X=1", "", DocumentNames{});
    for (const std::string& line : Lines(header))
        EXPECT_TRUE(line.rfind("@PJL ", 0) == 0 || line.rfind("\x1b%-12345X@PJL ", 0) == 0) << line;
    EXPECT_NE(header.find("@CNAM=ws@PJL EOJ\""), std::string::npos);
    EXPECT_EQ(header.find("@PJL EOJ\n"), std::string::npos);
    const std::string longUser(5000, 'u');
    for (const std::string& line : Lines(Header(record, longUser.c_str(), "", DocumentNames{})))
        EXPECT_LE(line.size() + 1, 2047u);
}

// A value the header cannot carry whole goes without the quotes and control
// characters it cannot carry, never silently: the spooler's log names the
// setting and what it lost, and never the value.
TEST(Header, AValueThatLosesCharactersIsReportedBySetting)
{
    struct Case {
        std::string account;
        std::string daid;  // the account id the printer gets
        std::string warning;  // on standard error; empty: none at all
    };
    const std::string why = ": the printer's job header cannot carry double quotes or control characters.\n";
    const Case cases[] = {
        {"Acct\"7", "Acct7", "WARNING: The account ID (DAID) reaches the printer without a double quote" + why},
        {"Acct\n7\r", "Acct7",
         "WARNING: The account ID (DAID) reaches the printer without 2 control characters (0x0A, 0x0D)" + why},
        {"\"Acct\"7\x7F\x1B\x7F", "Acct7",
         "WARNING: The account ID (DAID) reaches the printer without 2 double quotes and 3 control characters (0x7F, "
         "0x1B)" +
             why},
        {"Acct\t7", "Acct\t7", ""},  // the TAB stays
        {"Acct7", "Acct7", ""},
    };
    for (const Case& c : cases) {
        printoptions record = NoOptions();
        record.jba.manageType = ManageType{2};
        record.jba.userInput = RadioButton{0};
        record.jba.userIdSource = UserIdSource{2};
        Set(record.jba.userId, "bob");
        Set(record.jba.accountId, c.account);
        testing::internal::CaptureStderr();
        const std::string header = Header(record, "alice", "", DocumentNames{});
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(header.find("@PJL SET JOBATTR=\"@DAID=" + c.daid + "\"\n"), std::string::npos) << c.account;
        EXPECT_EQ(err, c.warning) << c.account;
        EXPECT_EQ(err.find("Acct"), std::string::npos) << "the value is not logged: " << err;
    }

    // Every setting the header carries as text is named when it loses something.
    printoptions record = NoOptions();
    record.jba.manageType = ManageType{2};
    record.jba.userInput = RadioButton{0};
    record.jba.userIdSource = UserIdSource{2};
    Set(record.jba.hostName, "ws\"1");
    Set(record.jba.userId, "bob\"");
    Set(record.jba.domainName, "corp\"");
    Set(record.jba.storageId, "box\"");
    Set(record.features.numberUp, "2\"");
    DocumentNames names{};
    std::strcpy(names.PTStdDocumentName, "say \"hi\"");
    std::strcpy(names.PTStdDocumentNameForUTF8, "say \"hi\"");
    testing::internal::CaptureStderr();
    const std::string header = Header(record, "alice", "say \"hi\"", names);
    const std::string err = testing::internal::GetCapturedStderr();
    for (const char* line :
         {"@CNAM=ws1\"", "@JOAU=bob\"", "@ACNA=say hi\"", "@JOAD=corp\"", "@ACID=box\"", "@NLPP=2\""})
        EXPECT_NE(header.find(line), std::string::npos) << line << "\n" << header;
    auto warning = [&](const std::string& setting, const std::string& removed) {
        return "WARNING: " + setting + " reaches the printer without " + removed + why.substr(0, why.size() - 1);
    };
    EXPECT_EQ(Lines(err), (std::vector<std::string>{
                              warning("The computer name (CNAM)", "a double quote"),
                              warning("The user ID (JOAU)", "a double quote"),
                              warning("The document name (ACNA)", "2 double quotes"),
                              warning("The domain name (JOAD)", "a double quote"),
                              warning("The storage ID (ACID)", "a double quote"),
                              warning("The number of pages per sheet (NLPP)", "a double quote"),
                          }))
        << err;
}

TEST(Trailer, CopiesDuplexColourAndNup)
{
    printoptions record = NoOptions();
    const std::string plain = std::string("\x1b%-12345X") +
                              "@PJL COMMENT PRINTJOBINFO VERSION=1.3.0\n"
                              "@PJL COMMENT PRINTJOBINFO BEGIN\n"
                              "@PJL COMMENT PRINTJOBINFO PDLTYPE=PDL[PDF]:VERSION[0]\n"
                              "@PJL COMMENT PRINTJOBINFO PAGECOPIES=3\n"
                              "@PJL COMMENT PRINTJOBINFO JOBCOPIES=1\n"
                              "@PJL COMMENT PRINTJOBINFO DUPLEXTYPE=SIMPLEX\n"
                              "@PJL COMMENT PRINTJOBINFO COLORMODE=COLOR\n"
                              "@PJL COMMENT PRINTJOBINFO NUP=1\n"
                              "@PJL COMMENT PRINTJOBINFO PASSTHROUGH=OFF\n"
                              "@PJL COMMENT PRINTJOBINFO END\n"
                              "@PJL EOJ\n";
    EXPECT_EQ(Trailer(record, "3"), plain);

    // The PPD's own choice keyword reads the same as the dialogs' value.
    Set(record.features.collate, "True");
    EXPECT_NE(Trailer(record, "3").find("PAGECOPIES=1\n"), std::string::npos);
    Set(record.features.collate, "true");
    Set(record.features.colorMode, "Black");
    Set(record.features.numberUp, "N4");
    record.features.duplexing = kTwoSidedShortEdge;
    std::string t = Trailer(record, "3");
    EXPECT_NE(t.find("PAGECOPIES=1\n@PJL COMMENT PRINTJOBINFO JOBCOPIES=3\n"), std::string::npos);
    EXPECT_NE(t.find("DUPLEXTYPE=TUMBLE\n"), std::string::npos);
    EXPECT_NE(t.find("COLORMODE=GRAYSCALE\n"), std::string::npos);
    EXPECT_NE(t.find("NUP=N4\n"), std::string::npos);
    record.features.duplexing = kTwoSidedLongEdge;
    EXPECT_NE(Trailer(record, "3").find("DUPLEXTYPE=DUPLEX\n"), std::string::npos);
    Set(record.features.colorMode, "Color");
    EXPECT_NE(Trailer(record, "3").find("COLORMODE=COLOR\n"), std::string::npos);
}

TEST(Header, TwinsCarryOnlyWellFormedUtf8)
{
    EXPECT_EQ(ValidUTF8Only("\xFF\xFE"
                            "bob\xC3"
                            "\xE3\x81\x82"
                            "\xE3\x81"
                            "!"),
              "bob\xE3\x81\x82!");
    EXPECT_EQ(ValidUTF8Only("\xC0\xAF"
                            "a"
                            "\xED\xA0\x80"
                            "\xF0\x9F\x98\x80"),
              "a\xF0\x9F\x98\x80");
    std::string header = Header(NoOptions(),
                                "\xFF\xFE"
                                "bob\xC3",
                                "", DocumentNames{});
    // The printer-language form of a text that is not UTF-8 is empty.
    EXPECT_NE(header.find("@UJAU=bob\t" + Sha256Hex("") + "\"\n"), std::string::npos) << header;
}
