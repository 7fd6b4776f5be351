// Reading job options and PPD facts into the option record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/ppdfile.h"
#include "filter/options.h"
#include "records.h"

using namespace zlk::filter;
using zlk::filter::test::TicketKey;

namespace {

const std::string kFixtures = ZLK_TEST_FIXTURES;
const std::string kCp932Ppd = kFixtures + "/ppd/cp932.ppd";
const std::string kUtf8Ppd = kFixtures + "/ppd/utf8.ppd";

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
    const std::pair<const char*, const char*> cases[] = {
        {"/65/66/67", "ABC"},
        {"O'Neil", "O'Neil"},
        {"/79/39/78", "O'N"},
        {"/130/160", "\x82\xA0"},
        {"/65/256/66", "A"},  // a number of 256 or more is a zero byte and ends the text
        {"/65//66", "A"},  // an empty part ends the text too
        {"/65/", "A"},
        {"/", ""},
        {"", ""},
    };
    for (const auto& [text, decoded] : cases)
        EXPECT_EQ(Decoded(text), decoded) << text;
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
    EXPECT_EQ(job.record.printType.printType, PrintType{-1});
    EXPECT_EQ(job.record.printType.documentNameType, DocumentNameType{-1});
    EXPECT_EQ(job.record.jba.manageType, ManageType{-1});
    EXPECT_EQ(job.record.jba.userIdSource, UserIdSource{-1});
    EXPECT_EQ(job.record.jba.userInput, RadioButton{-1});
    EXPECT_EQ(job.record.jba.inputStorage, RadioButton{-1});
    EXPECT_EQ(job.record.features.duplexing, -1);
    EXPECT_STREQ(job.record.printType.userName, "");
    EXPECT_STREQ(job.record.jba.userId, "");
    EXPECT_STREQ(job.record.features.collate, "");
    EXPECT_STREQ(job.record.features.numberUp, "1");
}

TEST(GetPrintOptions, NumberUpFromOptionOrLayout)
{
    const std::string rows = "com.apple.print.PrintSettings.PMLayoutRows..n.=";
    const std::string columns = " com.apple.print.PrintSettings.PMLayoutColumns..n.=";
    const std::pair<std::string, const char*> cases[] = {
        {"", "1"},
        {"number-up=1", "1"},  // the scheduler sends it with every job
        {"number-up=01", "1"},
        {"number-up=2", "N2"},
        {"number-up=4", "N4"},
        {"number-up=16", "N16"},
        {"number-up=10", "N10"},
        {"number-up=1x", "N1x"},  // not a number: kept as it came
        {rows + "2" + columns + "3", "N6"},
        {rows + "1" + columns + "1", "1"},
        {rows + "2", "N2"},  // one layout key alone: the other counts as 1
        {rows + "4" + columns + "4", "N16"},
        {"number-up=2 " + rows + "4" + columns + "4", "N2"},  // number-up wins over the layout keys
        {"number-up=1 " + rows + "2" + columns + "2", "N4"},  // the scheduler's 1 does not hide the layout
        {"number-up=1 " + rows + "1" + columns + "1", "1"},
    };
    for (const auto& [options, numberUp] : cases)
        EXPECT_STREQ(Job(options).record.features.numberUp, numberUp) << options;
}

TEST(GetPrintOptions, ReadsEveryGroupFromTicketKeys)
{
    std::string options =
        TicketKey("PrintTypeTicketKey") + "=2 " + TicketKey("PrintTypeUserNameTicketKey") + "=bob " +
        TicketKey("DelayPrintTicketKey") + "=2024-03-05T09:07:00 " + TicketKey("JBAManageTypeListTicketKey") + "=2 " +
        TicketKey("JBAUserIDTextEditTicket") + "=u01 " + TicketKey("JBAAccountIDTextEditTicket") + "=acct " +
        TicketKey("JBAAdminStorageIDTextEditTicket") + "=box9 " + TicketKey("JBALoginTextEditTicket") + "=login " +
        TicketKey("BookletMarginSwitchTicket") + "=1 " +
        "Collate=true ZLKStaple=LeftSigCenterStaple InputSlot=BypassTray "
        "com.apple.print.PrintSettings.PMDuplexing..n.=3";
    Job job(options);
    EXPECT_EQ(job.record.printType.printType, PrintType::Secure);
    EXPECT_STREQ(job.record.printType.userName, "bob");
    EXPECT_STREQ(job.record.printType.delayPrintTime, "2024-03-05T09:07:00");
    EXPECT_EQ(job.record.jba.manageType, ManageType::UserSettings);
    EXPECT_STREQ(job.record.jba.userId, "u01");
    EXPECT_STREQ(job.record.jba.accountId, "acct");
    EXPECT_STREQ(job.record.jba.adminStorageId, "box9");
    EXPECT_STREQ(job.record.jba.loginName, "login");
    EXPECT_STREQ(job.record.features.bookletMarginSwitch, "1");
    EXPECT_STREQ(job.record.features.collate, "true");
    EXPECT_STREQ(job.record.features.staple, "LeftSigCenterStaple");
    EXPECT_STREQ(job.record.features.inputSlot, "BypassTray");
    EXPECT_EQ(job.record.features.duplexing, kTwoSidedShortEdge);
}

TEST(GetPrintOptions, DuplexingFallsBackToStandardOptions)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"sides=one-sided", kOneSided},
        {"sides=two-sided-long-edge", kTwoSidedLongEdge},
        {"sides=two-sided-short-edge", kTwoSidedShortEdge},
        {"Duplex=DuplexTumble", kTwoSidedShortEdge},
        // A "sides" value it does not know leaves the word to "Duplex".
        {"sides=other Duplex=None", kOneSided},
        {"sides=other", -1},
        // The platform key, when present, wins.
        {"com.apple.print.PrintSettings.PMDuplexing..n.=1 sides=two-sided-short-edge", kOneSided},
    };
    for (const auto& [options, duplexing] : cases)
        EXPECT_EQ(Job(options).record.features.duplexing, duplexing) << options;
}

TEST(GetPrintOptions, SlashDecimalValuesAreDecodedAsBytes)
{
    Job job(TicketKey("PrintTypeUserNameTicketKey") + "=/130/160 " + TicketKey("JBAAccountIDTextEditTicket") +
            "=/79/39/78/101/105/108");
    EXPECT_STREQ(job.record.printType.userName, "\x82\xA0");
    EXPECT_STREQ(job.record.jba.accountId, "O'Neil");
}

TEST(GetPrintOptions, LongValuesAreCutToTheirField)
{
    std::string longName(5000, 'x');
    Job job(TicketKey("PrintTypeUserNameTicketKey") + "=" + longName + " " + TicketKey("DocumentNameTicketKey") + "=" +
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
    Job job(TicketKey("PrintTypeUserNameTicketKey") + "=" + kana);
    EXPECT_EQ(std::string(job.record.printType.userName), kana.substr(0, 72));

    std::string shifted = "a" + kana;  // the cut at 72 bytes would split a character
    Job job2(TicketKey("PrintTypeUserNameTicketKey") + "=" + shifted);
    EXPECT_EQ(std::string(job2.record.printType.userName), shifted.substr(0, 70));
}

TEST(GetPrintOptions, Utf8PrinterConvertsMarkedFieldsOnly)
{
    std::string kanji = "\xE5\xB1\xB1\xE7\x94\xB0";  // two characters
    std::string options = TicketKey("JBAUserIDTextEditTicket") + "=" + kanji + " " +
                          TicketKey("JBAAccountIDTextEditTicket") + "=/130/160";
    Job utf8(options, kUtf8Ppd);
    EXPECT_STREQ(utf8.record.ppd.printerLanguageEncoding, "UTF-8");
    EXPECT_EQ(std::string(utf8.record.jba.userId), kanji);
    EXPECT_STREQ(utf8.record.jba.accountId, "\x82\xA0");  // plain reader: bytes as stored

    Job cp932(options);
    EXPECT_EQ(std::string(cp932.record.jba.userId), kanji);  // bytes as stored
}

TEST(GetPrintOptions, Utf8ReaderDropsValuesThatAreNotUtf8)
{
    Job utf8(TicketKey("JBAUserIDTextEditTicket") + "=/255/254", kUtf8Ppd);
    EXPECT_STREQ(utf8.record.jba.userId, "");
}

TEST(GetPrintOptions, PasswordFieldsNeverCarryTheStoredValue)
{
    Job job(TicketKey("JBAUserPasswordTextEditTicket") + "=c2VjcmV0 " + TicketKey("JBAStoragePasswordTextEditTicket") +
            "=secret " + TicketKey("JBAAdminUserPasswordTextEditTicket") + "=secret " +
            TicketKey("JBAInputUserPasswordTextEditTicket") + "=secret");
    EXPECT_STREQ(job.record.jba.password, "");
    EXPECT_STREQ(job.record.jba.storagePassword, "");
    EXPECT_STREQ(job.record.jba.adminPassword, "");
    EXPECT_STREQ(job.record.jba.inputPassword, "");
}

TEST(GetPrintOptions, PrintTypePasscodeIsReadAsStored)
{
    Job job(TicketKey("PrintTypePasswordTicketKey") + "=1234");
    EXPECT_STREQ(job.record.printType.password, "1234");
}

TEST(GetPrintOptions, PreparesTheDocumentNameWithTheProductType)
{
    std::string title(40, 'T');
    Job job(TicketKey("PrintTypeProductTypeTicketKey") + "=1", kCp932Ppd, title.c_str());
    EXPECT_EQ(std::string(job.names.PTStdDocumentName), title.substr(0, 32));
    EXPECT_EQ(std::string(job.names.PTStdDocumentNameForUTF8), title.substr(0, 32));

    Job noType("", kCp932Ppd, title.c_str());
    EXPECT_STREQ(noType.names.PTStdDocumentName, "");
    EXPECT_EQ(std::string(noType.names.PTStdDocumentNameForUTF8), title);
}
