#include <gtest/gtest.h>

#include <array>
#include <string>

#include "fixtures.h"
#include "platform/printing/printsettings.h"
#include "platform/printing/session.h"
#include "ppd/ppdquery.h"
#include "ppd/ticket.h"

namespace zlk::ppd {
namespace {

using platform::PMPrintSettings;
using test::OpenPpdFixture;
using test::PpdFixturePath;

std::string Stored(const PMPrintSettings& settings, const char* key)
{
    const PMPrintSettings::Entry* entry = settings.Find(key);
    return entry ? entry->value : "<missing>";
}

TEST(ppd_services_Ticket, BrokenBarBecomesAsciiBarAndLockFlagPassesThrough)
{
    PMPrintSettings settings;
    EXPECT_EQ(SetValueToSettingsWithTicketKeyAndLock("a\xEF\xBF\xA4"
                                                     "b\xEF\xBF\xA4",
                                                     &settings, "k1", true),
              0);
    EXPECT_EQ(SetValueToSettingsWithTicketKeyAndLock("plain \xE6\x97\xA5", &settings, "k2", false), 0);
    EXPECT_EQ(Stored(settings, "k1"), "a|b|");
    EXPECT_TRUE(settings.Find("k1")->locked);
    EXPECT_EQ(Stored(settings, "k2"), "plain \xE6\x97\xA5");
    EXPECT_FALSE(settings.Find("k2")->locked);
}

TEST(ppd_services_Ticket, RefusesNullArgumentsAndMalformedText)
{
    PMPrintSettings settings;
    EXPECT_EQ(SetValueToSettingsWithTicketKeyAndLock(nullptr, &settings, "k", false), -50);
    EXPECT_EQ(SetValueToSettingsWithTicketKeyAndLock("v", nullptr, "k", false), -50);
    EXPECT_EQ(SetValueToSettingsWithTicketKeyAndLock("v", &settings, nullptr, false), -50);
    EXPECT_EQ(SetValueToSettingsWithTicketKeyAndLock("bad \xC3", &settings, "k", false), -108);
    EXPECT_TRUE(settings.empty());
}

TEST(ppd_services_Ticket, CStringGoesThroughA256ByteBuffer)
{
    PMPrintSettings settings;
    const std::string fits(255, 'x');
    const std::string tooLong(256, 'x');
    EXPECT_TRUE(SetCStringToTicket(&settings, fits.c_str(), "fits", false));
    EXPECT_TRUE(SetCStringToTicket(&settings, tooLong.c_str(), "long", false));
    EXPECT_TRUE(SetCStringToTicket(&settings, "bad \xFF", "bad", true));
    EXPECT_EQ(Stored(settings, "fits"), fits);
    EXPECT_EQ(Stored(settings, "long"), "");
    EXPECT_EQ(Stored(settings, "bad"), "");
    EXPECT_FALSE(SetCStringToTicket(nullptr, "v", "k", false));
}

TEST(ppd_services_Ticket, PrinterStringAndPerPrinterKeys)
{
    platform::PMPrintSession session("Zelko_C450");
    std::string printer = "queue:";
    EXPECT_EQ(SetPrinterString(&session, &printer), 0);
    EXPECT_EQ(printer, "queue:Zelko_C450");
    EXPECT_EQ(SetPrinterString(&session, nullptr), 1);

    platform::PMPrintSession noPrinter;
    std::string untouched = "x";
    EXPECT_EQ(SetPrinterString(&noPrinter, &untouched), 1);
    EXPECT_EQ(untouched, "x");

    std::string key;
    ASSERT_EQ(SetPrinterString(&session, &key), 0);
    std::string out;
    EXPECT_TRUE(CreateKeyWithCurrentPrinter("StapleKey", key.c_str(), &out));
    EXPECT_EQ(out, "Zelko_C450StapleKey");
    EXPECT_FALSE(CreateKeyWithCurrentPrinter(nullptr, "p", &out));
    EXPECT_FALSE(CreateKeyWithCurrentPrinter("k", "p", nullptr));
}

class ppd_services_Query : public ::testing::Test {
protected:
    common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath("services.ppd"));
};

TEST_F(ppd_services_Query, FindAttrTakesFirstPrefixMatchInSortedOrder)
{
    // The file lists ZLKSelectID, ZLKSelA, ZLKSel; sorted by name ZLKSel is first.
    const ppd_attr_t* attr = ppdFindAttr_ALT(ppd.get(), "ZLKSel", nullptr);
    ASSERT_NE(attr, nullptr);
    EXPECT_STREQ(attr->value, "exact");
    attr = ppdFindAttr_ALT(ppd.get(), "ZLKSele");
    ASSERT_NE(attr, nullptr);
    EXPECT_STREQ(attr->name, "ZLKSelectID");
    EXPECT_EQ(ppdFindAttr_ALT(ppd.get(), "ZLKSelX"), nullptr);
    EXPECT_EQ(ppdFindAttr_ALT(nullptr, "ZLKSel"), nullptr);
}

TEST_F(ppd_services_Query, AttributeAndOptionPresence)
{
    EXPECT_TRUE(CheckPPDKeyIsExist(ppd.get(), "ZLKIDMode"));
    EXPECT_FALSE(CheckPPDKeyIsExist(ppd.get(), "ZLKNoSuch"));
    // Only the first 19 bytes of the key count.
    EXPECT_TRUE(CDFKeyExist(ppd.get(), "ZLKLocalizableFileIXYZ"));
    EXPECT_FALSE(CDFKeyExist(ppd.get(), "ZLKLocalizableFileX"));
    EXPECT_TRUE(CheckIfPPDKeywordSupported(ppd.get(), "ZLKProductMode", "Features"));
    EXPECT_FALSE(CheckIfPPDKeywordSupported(ppd.get(), "ZLKProductMode", "Mode2"));
    EXPECT_FALSE(CheckIfPPDKeywordSupported(ppd.get(), "ZLKNoSuch", ""));
}

TEST(ppd_services_Encoding, TakenFromTheFilesOwnLanguageEncoding)
{
    const std::pair<const char*, TextEncoding> cases[] = {
        {"services.ppd", 0x0201},           {"encoding-windowsansi.ppd", 0x0500}, {"encoding-jis83-rksj.ppd", 1},
        {"encoding-utf-8.ppd", 0x08000100}, {"encoding-utf8.ppd", 0x08000100},    {"encoding-isolatin2.ppd", 0},
        {"encoding-none.ppd", 0},
    };
    for (const auto& [file, expected] : cases) {
        common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath(file));
        TextEncoding encoding = 0x1234;
        GetCFStringEncodingFromPPD(ppd.get(), &encoding);
        EXPECT_EQ(encoding, expected) << file;
    }
    TextEncoding encoding = 0x1234;
    GetCFStringEncodingFromPPD(nullptr, &encoding);
    EXPECT_EQ(encoding, 0u);
}

TEST_F(ppd_services_Query, DefaultsTitlesAndTableIndex)
{
    std::optional<std::string> text = "stale";
    EXPECT_EQ(GetUIDefaultFromPPD(ppd.get(), "ZLKIDMode", text), 0);
    EXPECT_EQ(text, "UserID");
    EXPECT_EQ(GetUIDefaultFromPPD(ppd.get(), "ZLKNoSuch", text), 0);
    EXPECT_EQ(text, std::nullopt);
    EXPECT_EQ(GetUITitleFromPPD(ppd.get(), "ZLKPassLen", text), 0);
    EXPECT_EQ(text, "Minimum Password Length");

    static constexpr std::string_view kModes[] = {"UserID_AccountID", "UserID", "AccountID", "None"};
    static constexpr std::string_view kLower[] = {"userid"};
    EXPECT_EQ(GetValueFromPPD(ppd.get(), "ZLKIDMode", kModes), 1);
    EXPECT_EQ(GetValueFromPPD(ppd.get(), "ZLKIDMode", kLower), -1);
    EXPECT_EQ(GetValueFromPPD(ppd.get(), "ZLKNoSuch", kModes), -1);
}

TEST(ppd_services_EncodingTexts, ShiftJisTitleArrivesAsUtf8)
{
    common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath("encoding-jis83-rksj.ppd"));
    std::optional<std::string> title;
    GetUITitleFromPPD(ppd.get(), "ZLKC", title);
    EXPECT_EQ(title, "\xE3\x82\xAB\xE3\x83\xA9\xE3\x83\xBC");  // カラー
    // Two bytes of the value are a full-width digit's halves, not digits.
    EXPECT_EQ(GetMBMaxNumberFromPPD(ppd.get(), "ZLKMailBoxMax"), 9);
}

TEST_F(ppd_services_Query, MarkedChoiceElseDefaultChoiceIndex)
{
    ppd_option_t* option = ppdFindOption(ppd.get(), "ZLKIDMode");
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(GetIndexOfMarkedOptionWithKey(option, ppd.get(), "ZLKIDMode"), 2);
    ppdMarkOption(ppd.get(), "ZLKIDMode", "AccountID");
    EXPECT_EQ(GetIndexOfMarkedOptionWithKey(option, ppd.get(), "ZLKIDMode"), 3);
    EXPECT_EQ(GetIndexOfMarkedOptionWithKey(nullptr, ppd.get(), "ZLKIDMode"), -1);

    common::PPDHandle unmarked(ppdOpenFile(PpdFixturePath("services.ppd").c_str()));
    ASSERT_NE(unmarked, nullptr);
    ASSERT_EQ(ppdFindMarkedChoice(unmarked.get(), "ZLKIDMode"), nullptr);
    EXPECT_EQ(GetIndexOfMarkedOptionWithKey(ppdFindOption(unmarked.get(), "ZLKIDMode"), unmarked.get(), "ZLKIDMode"),
              2);
}

TEST_F(ppd_services_Query, ChoiceWrappersShowOnlyAsciiTitles)
{
    std::optional<std::vector<PDEChoice>> choices = ArrayFromPPDOption(ppdFindOption(ppd.get(), "ZLKB"));
    ASSERT_TRUE(choices);
    ASSERT_EQ(choices->size(), 3u);
    EXPECT_EQ((*choices)[1].ppdTitle(), "Two");
    EXPECT_EQ((*choices)[1].userTitle(), "Two");
    EXPECT_EQ((*choices)[2].ppdTitle(), "Three");
    EXPECT_EQ((*choices)[2].userTitle(), std::nullopt);  // "Café Three"
    EXPECT_EQ((*choices)[0].choice(), &ppdFindOption(ppd.get(), "ZLKB")->choices[0]);
    EXPECT_FALSE(ArrayFromPPDOption(nullptr));
}

TEST_F(ppd_services_Query, NumbersFromDefaultChoiceDigits)
{
    EXPECT_EQ(GetPWMiniIntValueFromPPD(ppd.get(), "ZLKPWLen4"), 4);
    EXPECT_EQ(GetPWMiniIntValueFromPPD(ppd.get(), "ZLKPassLen"), 4);  // PW04
    EXPECT_EQ(GetPWMiniIntValueFromPPD(ppd.get(), "ZLKPWLenNone"), 0);
    EXPECT_EQ(GetPWMiniIntValueFromPPD(ppd.get(), "ZLKNoSuch"), -1);
}

TEST_F(ppd_services_Query, FirstNumberInAttributeValue)
{
    EXPECT_EQ(GetAttrPWMiniIntValueFromPPD(ppd.get(), "ZLKPWMiniA"), 8);
    EXPECT_EQ(GetAttrPWMiniIntValueFromPPD(ppd.get(), "ZLKPWMiniZero"), 0);
    EXPECT_EQ(GetAttrPWMiniIntValueFromPPD(ppd.get(), "ZLKPWMiniEmpty"), -1);
    EXPECT_EQ(GetAttrPWMiniIntValueFromPPD(ppd.get(), "ZLKPWMiniLetters"), -1);
    EXPECT_EQ(GetAttrPWMiniIntValueFromPPD(ppd.get(), "ZLKPWMiniSigned"), -5);
    EXPECT_EQ(GetAttrPWMiniIntValueFromPPD(ppd.get(), "ZLKNoSuch"), -1);
}

TEST_F(ppd_services_Query, MailboxCountFromFirstThreeCharacters)
{
    EXPECT_EQ(GetMBMaxNumberFromPPD(ppd.get(), "ZLKMailBoxMax"), 100);
    EXPECT_EQ(GetMBMaxNumberFromPPD(ppd.get(), "ZLKMailBoxSmall"), 12);
    EXPECT_EQ(GetMBMaxNumberFromPPD(ppd.get(), "ZLKMailBoxNone"), 0);
    EXPECT_EQ(GetMBMaxNumberFromPPD(ppd.get(), "ZLKNoSuch"), 0);
}

}  // namespace
}  // namespace zlk::ppd
