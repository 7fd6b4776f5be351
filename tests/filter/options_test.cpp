// Reading job options and PPD facts into the option record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/ppdfile.h"
#include "filter/options.h"

using namespace zlk::filter;

namespace {

const std::string kFixtures = ZLK_TEST_FIXTURES;
const std::string kCp932Ppd = kFixtures + "/ppd/cp932.ppd";
const std::string kUtf8Ppd = kFixtures + "/ppd/utf8.ppd";

std::string Ticket(const std::string& name) { return std::string(kTicketKeyPrefix) + name; }

struct Job {
    printoptions record{};
    DocumentNames names{};
    std::string options;

    explicit Job(std::string opts, const std::string& ppd = kCp932Ppd, const char* title = "Report")
        : options(std::move(opts))
    {
        const char* argv[] = {"ZLKPrintFilter", "1", "alice", title, "1", options.c_str(), nullptr};
        EXPECT_EQ(GetPrintOptions(argv, ppd.c_str(), record, names), 1);
    }
};

std::string Decoded(const char* text)
{
    char buffer[64] = {};
    std::strncpy(buffer, text, sizeof buffer - 1);
    numstrtochar(buffer, sizeof buffer);
    return buffer;
}

}  // namespace

TEST(NumStrToChar, DecodesByteListsAndLeavesOtherTextAlone)
{
    EXPECT_EQ(Decoded("/65/66/67"), "ABC");
    EXPECT_EQ(Decoded("O'Neil"), "O'Neil");
    EXPECT_EQ(Decoded("/79/39/78"), "O'N");
    EXPECT_EQ(Decoded("/130/160"), "\x82\xA0");
    // A number of 256 or more is a zero byte and ends the text.
    EXPECT_EQ(Decoded("/65/256/66"), "A");
    // An empty part ends the text too.
    EXPECT_EQ(Decoded("/65//66"), "A");
    EXPECT_EQ(Decoded("/65/"), "A");
    EXPECT_EQ(Decoded("/"), "");
    EXPECT_EQ(Decoded(""), "");
}

TEST(NumStrToChar, NeverWritesPastItsBuffer)
{
    char buffer[4] = {'/', '6', '5', '/'};  // no terminator inside the stated size
    char guard = 'G';
    numstrtochar(buffer, 3);
    EXPECT_EQ(buffer[0], 'A');
    EXPECT_EQ(buffer[1], '\0');
    EXPECT_EQ(guard, 'G');
}

TEST(PpdFindAttrAlt, ReturnsFirstAttributeInFileOrderByPrefix)
{
    zlk::common::PPDHandle ppd = zlk::common::OpenPPD(kCp932Ppd.c_str());
    ASSERT_TRUE(ppd);
    ppd_attr_t* attr = ppdFindAttr_ALT(ppd.get(), "ZLKPrinterLanguage", "ignored");
    ASSERT_NE(attr, nullptr);
    EXPECT_STREQ(attr->name, "ZLKPrinterLanguageEncoding");
    EXPECT_STREQ(attr->value, "CP932");
    ppd_attr_t* filter = ppdFindAttr_ALT(ppd.get(), "cupsFilter", nullptr);
    ASSERT_NE(filter, nullptr);
    EXPECT_STREQ(filter->value, "application/pdf 0 ZLKPrintFilter");
    EXPECT_EQ(ppdFindAttr_ALT(ppd.get(), "NoSuchAttribute", nullptr), nullptr);
    EXPECT_EQ(ppdFindAttr_ALT(nullptr, "cupsFilter", nullptr), nullptr);
}

TEST(PpdGroup, ReadsEncodingAndEmitPageSizeDefault)
{
    stPPDOption group{};
    GetPPDOptions(kCp932Ppd.c_str(), group);
    EXPECT_STREQ(group.printerLanguageEncoding, "CP932");
    EXPECT_STREQ(group.emitPageSizeCommandDefault, "True");

    GetPPDOptions(kUtf8Ppd.c_str(), group);
    EXPECT_STREQ(group.printerLanguageEncoding, "UTF-8");
    EXPECT_STREQ(group.emitPageSizeCommandDefault, "");

    GetPPDOptions("/nonexistent/printer.ppd", group);
    EXPECT_STREQ(group.printerLanguageEncoding, "");
    GetPPDOptions(nullptr, group);
    EXPECT_STREQ(group.printerLanguageEncoding, "");
}

TEST(GetPrintOptions, NoOptionsGiveReaderDefaults)
{
    Job job("");
    EXPECT_EQ(job.record.printType.printType, -1);
    EXPECT_EQ(job.record.printType.documentNameType, -1);
    EXPECT_EQ(job.record.jba.manageType, -1);
    EXPECT_EQ(job.record.jba.userIdSource, -1);
    EXPECT_EQ(job.record.jba.userInput, -1);
    EXPECT_EQ(job.record.jba.inputStorage, -1);
    EXPECT_EQ(job.record.features.duplexing, -1);
    EXPECT_STREQ(job.record.printType.userName, "");
    EXPECT_STREQ(job.record.jba.userId, "");
    EXPECT_STREQ(job.record.features.collate, "");
    EXPECT_STREQ(job.record.features.numberUp, "1");
}

TEST(GetPrintOptions, NumberUpFromOptionOrLayout)
{
    EXPECT_STREQ(Job("number-up=4").record.features.numberUp, "N4");
    EXPECT_STREQ(Job("com.apple.print.PrintSettings.PMLayoutRows..n.=2 "
                     "com.apple.print.PrintSettings.PMLayoutColumns..n.=3")
                     .record.features.numberUp,
                 "N6");
    EXPECT_STREQ(Job("com.apple.print.PrintSettings.PMLayoutRows..n.=1 "
                     "com.apple.print.PrintSettings.PMLayoutColumns..n.=1")
                     .record.features.numberUp,
                 "1");
    // One layout key alone: the other counts as 1.
    EXPECT_STREQ(Job("com.apple.print.PrintSettings.PMLayoutRows..n.=2").record.features.numberUp, "N2");
    // number-up wins over the layout keys.
    EXPECT_STREQ(Job("number-up=2 com.apple.print.PrintSettings.PMLayoutRows..n.=4 "
                     "com.apple.print.PrintSettings.PMLayoutColumns..n.=4")
                     .record.features.numberUp,
                 "N2");
}

TEST(GetPrintOptions, ReadsEveryGroupFromTicketKeys)
{
    std::string options = Ticket("PrintTypeTicketKey") + "=2 " + Ticket("PrintTypeUserNameTicketKey") + "=bob " +
                          Ticket("DelayPrintTicketKey") + "=2024-03-05T09:07:00 " +
                          Ticket("JBAManageTypeListTicketKey") + "=2 " + Ticket("JBAUserIDTextEditTicket") + "=u01 " +
                          Ticket("JBAAccountIDTextEditTicket") + "=acct " + Ticket("JBAAdminStorageIDTextEditTicket") +
                          "=box9 " + Ticket("JBALoginTextEditTicket") + "=login " +
                          Ticket("BookletMarginSwitchTicket") + "=1 " +
                          "Collate=true ZLKStaple=LeftSigCenterStaple InputSlot=BypassTray "
                          "com.apple.print.PrintSettings.PMDuplexing..n.=3";
    Job job(options);
    EXPECT_EQ(job.record.printType.printType, 2);
    EXPECT_STREQ(job.record.printType.userName, "bob");
    EXPECT_STREQ(job.record.printType.delayPrintTime, "2024-03-05T09:07:00");
    EXPECT_EQ(job.record.jba.manageType, 2);
    EXPECT_STREQ(job.record.jba.userId, "u01");
    EXPECT_STREQ(job.record.jba.accountId, "acct");
    EXPECT_STREQ(job.record.jba.adminStorageId, "box9");
    EXPECT_STREQ(job.record.jba.loginName, "login");
    EXPECT_STREQ(job.record.features.bookletMarginSwitch, "1");
    EXPECT_STREQ(job.record.features.collate, "true");
    EXPECT_STREQ(job.record.features.staple, "LeftSigCenterStaple");
    EXPECT_STREQ(job.record.features.inputSlot, "BypassTray");
    EXPECT_EQ(job.record.features.duplexing, 3);
}

TEST(GetPrintOptions, DuplexingFallsBackToStandardOptions)
{
    EXPECT_EQ(Job("sides=one-sided").record.features.duplexing, 1);
    EXPECT_EQ(Job("sides=two-sided-long-edge").record.features.duplexing, 2);
    EXPECT_EQ(Job("Duplex=DuplexTumble").record.features.duplexing, 3);
    EXPECT_EQ(
        Job("com.apple.print.PrintSettings.PMDuplexing..n.=1 sides=two-sided-short-edge").record.features.duplexing, 1);
}

TEST(GetPrintOptions, SlashDecimalValuesAreDecodedAsBytes)
{
    Job job(Ticket("PrintTypeUserNameTicketKey") + "=/130/160 " + Ticket("JBAAccountIDTextEditTicket") +
            "=/79/39/78/101/105/108");
    EXPECT_STREQ(job.record.printType.userName, "\x82\xA0");
    EXPECT_STREQ(job.record.jba.accountId, "O'Neil");
}

TEST(GetPrintOptions, LongValuesAreCutToTheirField)
{
    std::string longName(5000, 'x');
    Job job(Ticket("PrintTypeUserNameTicketKey") + "=" + longName + " " + Ticket("DocumentNameTicketKey") + "=" +
            longName + " ZLKStaple=" + longName);
    EXPECT_EQ(std::strlen(job.record.printType.userName), 72u);
    EXPECT_EQ(std::strlen(job.record.printType.documentName), 192u);
    EXPECT_EQ(std::strlen(job.record.features.staple), 63u);
}

TEST(GetPrintOptions, CutsNeverSplitAUtf8Character)
{
    // 24 three-byte characters: 72 bytes fit the 73-byte field exactly,
    // 25 do not and the cut falls back to a whole character.
    std::string kana;
    for (int i = 0; i < 25; ++i)
        kana += "\xE3\x81\x82";
    Job job(Ticket("PrintTypeUserNameTicketKey") + "=" + kana);
    EXPECT_EQ(std::string(job.record.printType.userName), kana.substr(0, 72));

    std::string shifted = "a" + kana;  // the cut at 72 bytes would split a character
    Job job2(Ticket("PrintTypeUserNameTicketKey") + "=" + shifted);
    EXPECT_EQ(std::string(job2.record.printType.userName), shifted.substr(0, 70));
}

TEST(GetPrintOptions, Utf8PrinterConvertsMarkedFieldsOnly)
{
    std::string kanji = "\xE5\xB1\xB1\xE7\x94\xB0";  // two characters
    std::string options =
        Ticket("JBAUserIDTextEditTicket") + "=" + kanji + " " + Ticket("JBAAccountIDTextEditTicket") + "=/130/160";
    Job utf8(options, kUtf8Ppd);
    EXPECT_STREQ(utf8.record.ppd.printerLanguageEncoding, "UTF-8");
    EXPECT_EQ(std::string(utf8.record.jba.userId), kanji);
    EXPECT_STREQ(utf8.record.jba.accountId, "\x82\xA0");  // plain reader: bytes as stored

    Job cp932(options);
    EXPECT_EQ(std::string(cp932.record.jba.userId), kanji);  // bytes as stored
}

TEST(GetPrintOptions, Utf8ReaderDropsValuesThatAreNotUtf8)
{
    Job utf8(Ticket("JBAUserIDTextEditTicket") + "=/255/254", kUtf8Ppd);
    EXPECT_STREQ(utf8.record.jba.userId, "");
}

TEST(GetPrintOptions, PasswordFieldsNeverCarryTheStoredValue)
{
    Job job(Ticket("JBAUserPasswordTextEditTicket") + "=c2VjcmV0 " + Ticket("JBAStoragePasswordTextEditTicket") +
            "=secret " + Ticket("JBAAdminUserPasswordTextEditTicket") + "=secret " +
            Ticket("JBAInputUserPasswordTextEditTicket") + "=secret");
    EXPECT_STREQ(job.record.jba.password, "");
    EXPECT_STREQ(job.record.jba.storagePassword, "");
    EXPECT_STREQ(job.record.jba.adminPassword, "");
    EXPECT_STREQ(job.record.jba.inputPassword, "");
}

TEST(GetPrintOptions, PrintTypePasscodeIsReadAsStored)
{
    Job job(Ticket("PrintTypePasswordTicketKey") + "=1234");
    EXPECT_STREQ(job.record.printType.password, "1234");
}

TEST(GetPrintOptions, PreparesTheDocumentNameWithTheProductType)
{
    std::string title(40, 'T');
    Job job(Ticket("PrintTypeProductTypeTicketKey") + "=1", kCp932Ppd, title.c_str());
    EXPECT_EQ(std::string(job.names.PTStdDocumentName), title.substr(0, 32));
    EXPECT_EQ(std::string(job.names.PTStdDocumentNameForUTF8), title.substr(0, 32));

    Job noType("", kCp932Ppd, title.c_str());
    EXPECT_STREQ(noType.names.PTStdDocumentName, "");
    EXPECT_EQ(std::string(noType.names.PTStdDocumentNameForUTF8), title);
}
