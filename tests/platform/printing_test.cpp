#include <cups/cups.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/printing/hostcallback.h"
#include "platform/printing/pageformat.h"
#include "platform/printing/printsettings.h"
#include "platform/printing/session.h"
#include "testpdf.h"

namespace zlk::platform {
namespace {

const std::string kFixtures = std::string(ZLK_TEST_FIXTURES) + "/platform";

// --- Print settings ---------------------------------------------------------

TEST(PrintSettings, StoresReplacesAndReportsValuesWithTheirLock)
{
    PMPrintSettings settings;
    std::string value = "untouched";
    bool locked = true;

    const char* key = "com.zelko.jt.printsettings.pdf.ww.PrintTypeTicketKey";
    EXPECT_EQ(PMPrintSettingsGetValue(&settings, key, &value), kPMKeyNotFound);
    EXPECT_EQ(value, "untouched");

    // A later write replaces value and lock alike.
    for (const auto& [written, lock] : {std::pair{"2", true}, {"", false}}) {
        SCOPED_TRACE(written);
        ASSERT_EQ(PMPrintSettingsSetValue(&settings, key, written, lock), noErr);
        EXPECT_EQ(PMPrintSettingsGetValue(&settings, key, &value), noErr);
        EXPECT_EQ(value, written);
        EXPECT_EQ(PMPrintSettingsGetLocked(&settings, key, &locked), noErr);
        EXPECT_EQ(locked, lock);
    }
    EXPECT_EQ(settings.size(), 1u);

    EXPECT_EQ(PMPrintSettingsRemoveValue(&settings, key), noErr);
    EXPECT_EQ(PMPrintSettingsRemoveValue(&settings, key), kPMKeyNotFound);
    EXPECT_TRUE(settings.empty());
}

TEST(PrintSettings, KeysAreCaseSensitiveAndIteratedInOrder)
{
    PMPrintSettings settings;
    ASSERT_EQ(PMPrintSettingsSetValue(&settings, "b", "2", false), noErr);
    ASSERT_EQ(PMPrintSettingsSetValue(&settings, "a", "1", true), noErr);
    ASSERT_EQ(PMPrintSettingsSetValue(&settings, "A", "3", false), noErr);

    std::vector<std::pair<std::string, PMPrintSettings::Entry>> seen(settings.entries().begin(),
                                                                     settings.entries().end());
    std::vector<std::pair<std::string, PMPrintSettings::Entry>> expected{
        {"A", {"3", false}}, {"a", {"1", true}}, {"b", {"2", false}}};
    EXPECT_EQ(seen, expected);
}

TEST(PrintSettings, NullArgumentsAreRefused)
{
    PMPrintSettings settings;
    std::string value;
    bool locked = false;
    EXPECT_EQ(PMPrintSettingsSetValue(nullptr, "k", "v", false), paramErr);
    EXPECT_EQ(PMPrintSettingsSetValue(&settings, nullptr, "v", false), paramErr);
    EXPECT_EQ(PMPrintSettingsSetValue(&settings, "k", nullptr, false), paramErr);
    EXPECT_EQ(PMPrintSettingsSetValue(&settings, "", "v", false), paramErr);
    EXPECT_TRUE(settings.empty());

    EXPECT_EQ(PMPrintSettingsGetValue(nullptr, "k", &value), paramErr);
    EXPECT_EQ(PMPrintSettingsGetValue(&settings, nullptr, &value), paramErr);
    EXPECT_EQ(PMPrintSettingsGetValue(&settings, "k", nullptr), paramErr);
    EXPECT_EQ(PMPrintSettingsGetLocked(&settings, "k", nullptr), paramErr);
    EXPECT_EQ(PMPrintSettingsGetLocked(nullptr, "k", &locked), paramErr);
    EXPECT_EQ(PMPrintSettingsRemoveValue(&settings, nullptr), paramErr);
    EXPECT_EQ(PMPrintSettingsToOptions(nullptr, &value), paramErr);
    EXPECT_EQ(PMPrintSettingsToOptions(&settings, nullptr), paramErr);
    EXPECT_EQ(PMPrintSettingsFromOptions(&settings, nullptr), paramErr);
    EXPECT_EQ(PMPrintSettingsFromOptions(nullptr, "a=b"), paramErr);
}

// --- Option strings ---------------------------------------------------------

// What the spooler's own parser makes of an option string.
std::vector<std::pair<std::string, std::string>> ParsedBySpooler(const std::string& options)
{
    cups_option_t* parsed = nullptr;
    int count = cupsParseOptions(options.c_str(), 0, &parsed);
    std::vector<std::pair<std::string, std::string>> result;
    for (int i = 0; i < count; ++i) {
        result.emplace_back(parsed[i].name, parsed[i].value);
    }
    cupsFreeOptions(count, parsed);
    return result;
}

TEST(OptionString, PlainValuesStayBareAndHostileOnesAreQuoted)
{
    PMPrintSettings settings;
    settings.Set("copies", "2", false);
    settings.Set("com.zelko.jt.printsettings.pdf.ww.DocumentNameTicketKey", "/97/44/98", false);
    settings.Set("title", "My Report", false);
    settings.Set("empty", "", false);
    std::string options;
    ASSERT_EQ(PMPrintSettingsToOptions(&settings, &options), noErr);
    EXPECT_EQ(options,
              "com.zelko.jt.printsettings.pdf.ww.DocumentNameTicketKey=/97/44/98 copies=2 empty=\"\" "
              "title=\"My Report\"");
}

TEST(OptionString, HostileValuesSurviveTheSpoolersParser)
{
    const std::vector<std::string> values{
        "two words",
        "  leading and trailing  ",
        "say \"hi\"",
        "it's",
        "'single' and \"double\"",
        "a,b,,c,",
        "back\\slash",
        "ends with backslash\\",
        "\\\\\\",
        "\\\"",
        "{braces} and }{",
        "key=value=more",
        "tab\tnew\nline\rcr\fff\vvt",
        "日本語の文書 Ünïcödé ’",
        "noduplex",
        std::string(100000, 'x') + " \"'\\, " + std::string(1000, 'y'),
    };
    PMPrintSettings settings;
    for (std::size_t i = 0; i < values.size(); ++i) {
        settings.Set("com.zelko.jt.printsettings.pdf.ww.Key" + std::to_string(i), values[i], i % 2 == 0);
    }
    std::string options;
    ASSERT_EQ(PMPrintSettingsToOptions(&settings, &options), noErr);

    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& [key, entry] : settings.entries()) {
        expected.emplace_back(key, entry.value);
    }
    EXPECT_EQ(ParsedBySpooler(options), expected);

    PMPrintSettings back;
    ASSERT_EQ(PMPrintSettingsFromOptions(&back, options.c_str()), noErr);
    ASSERT_EQ(back.size(), settings.size());
    for (const auto& [key, entry] : settings.entries()) {
        const PMPrintSettings::Entry* read = back.Find(key);
        ASSERT_NE(read, nullptr) << key;
        EXPECT_EQ(read->value, entry.value) << key;
        EXPECT_FALSE(read->locked) << "lock flags do not travel";
    }
}

TEST(OptionString, KeysThatCannotBeOptionNamesAreRefused)
{
    for (const char* key : {"two words", "a=b", "tab\there"}) {
        PMPrintSettings settings;
        settings.Set("fine", "1", false);
        settings.Set(key, "1", false);
        std::string options = "unchanged";
        EXPECT_EQ(PMPrintSettingsToOptions(&settings, &options), paramErr) << key;
        EXPECT_EQ(options, "unchanged");
    }
}

TEST(OptionString, ReadingAddsToExistingSettings)
{
    PMPrintSettings settings;
    settings.Set("kept", "old", true);
    settings.Set("replaced", "old", true);
    ASSERT_EQ(PMPrintSettingsFromOptions(&settings, "replaced=new added=\"a b\""), noErr);
    EXPECT_EQ(settings.Find("kept")->value, "old");
    EXPECT_TRUE(settings.Find("kept")->locked);
    EXPECT_EQ(settings.Find("replaced")->value, "new");
    EXPECT_FALSE(settings.Find("replaced")->locked);
    EXPECT_EQ(settings.Find("added")->value, "a b");
}

// --- Session ----------------------------------------------------------------

TEST(PrintSession, NamesTheCurrentQueueAndDestination)
{
    PMPrintSession session("Office_3F");
    const PMPrinter* printer = nullptr;
    std::string id;
    PMDestinationType destination{};

    ASSERT_EQ(PMSessionGetCurrentPrinter(&session, &printer), noErr);
    ASSERT_EQ(PMPrinterGetID(printer, &id), noErr);
    EXPECT_EQ(id, "Office_3F");
    ASSERT_EQ(PMSessionGetDestinationType(&session, &destination), noErr);
    EXPECT_EQ(destination, kPMDestinationPrinter);
    EXPECT_EQ(static_cast<int>(kPMDestinationPrinter), 1);

    session.SetDestinationType(kPMDestinationPreview);
    ASSERT_EQ(PMSessionGetDestinationType(&session, &destination), noErr);
    EXPECT_EQ(destination, kPMDestinationPreview);

    session.SetCurrentPrinter("Lobby");
    ASSERT_EQ(PMSessionGetCurrentPrinter(&session, &printer), noErr);
    ASSERT_EQ(PMPrinterGetID(printer, &id), noErr);
    EXPECT_EQ(id, "Lobby");
}

TEST(PrintSession, WithoutPrinterOrArgumentsReportsErrors)
{
    PMPrintSession session;
    const PMPrinter* printer = nullptr;
    std::string id;
    PMDestinationType destination{};
    EXPECT_EQ(PMSessionGetCurrentPrinter(&session, &printer), kPMInvalidPrinter);
    EXPECT_EQ(printer, nullptr);
    EXPECT_EQ(PMSessionGetCurrentPrinter(nullptr, &printer), paramErr);
    EXPECT_EQ(PMSessionGetCurrentPrinter(&session, nullptr), paramErr);
    EXPECT_EQ(PMPrinterGetID(nullptr, &id), paramErr);
    EXPECT_EQ(PMSessionGetDestinationType(nullptr, &destination), paramErr);
    EXPECT_EQ(PMSessionGetDestinationType(&session, nullptr), paramErr);
}

// --- Page format and host callback --------------------------------------------

std::unique_ptr<HostPDECallback> OpenHost(const std::string& ppd)
{
    OSStatus status = -1;
    auto host = HostPDECallback::Open(kFixtures + "/" + ppd, "TestQueue", &status);
    EXPECT_EQ(status, noErr);
    return host;
}

PMRect PaperRect(HostPDECallback& host)
{
    PMRect rect;
    EXPECT_EQ(PMGetUnadjustedPaperRect(host.pageFormat(), &rect), noErr);
    return rect;
}

std::string Marked(HostPDECallback& host, const char* option)
{
    ppd_choice_t* choice = ppdFindMarkedChoice(host.ppdFile(), option);
    return choice != nullptr ? choice->choice : "";
}

TEST(PageFormat, PaperOfTheMarkedPageSizeRelativeToTheImageableArea)
{
    auto host = OpenHost("custom.ppd");
    ASSERT_TRUE(host);
    // A4 595 x 842, imageable area 12 14 583 828.
    EXPECT_EQ(PaperRect(*host), (PMRect{828 - 842, -12, 828, 595 - 12}));
    EXPECT_EQ(host->pageFormat()->paperName(), "A4");
    PMRect page;
    ASSERT_EQ(PMGetUnadjustedPageRect(host->pageFormat(), &page), noErr);
    EXPECT_EQ(page, (PMRect{0, 0, 814, 571}));

    ASSERT_TRUE(host->willChangePPDOptionKeyValue("PageSize", "Letter"));
    EXPECT_EQ(PaperRect(*host), (PMRect{780 - 792, -12, 780, 600}));

    ASSERT_TRUE(host->willChangePPDOptionKeyValue("PageSize", "Custom.500x700"));
    PMRect custom = PaperRect(*host);
    EXPECT_DOUBLE_EQ(custom.width(), 500);
    EXPECT_DOUBLE_EQ(custom.height(), 700);

    ASSERT_TRUE(host->willChangePPDOptionKeyValue("PageSize", "Custom.210x297mm"));
    custom = PaperRect(*host);
    EXPECT_NEAR(custom.width(), 595.28, 0.01);
    EXPECT_NEAR(custom.height(), 841.89, 0.01);
}

TEST(PageFormat, FallsBackToTheDefaultChoiceThenToLetter)
{
    common::PPDHandle ppd(ppdOpenFile((kFixtures + "/plain.ppd").c_str()));
    ASSERT_TRUE(ppd);
    // Nothing marked yet: the PPD's default page size.
    PMPageFormat format = PMPageFormat::FromPPD(ppd.get());
    EXPECT_EQ(format.paperName(), "Letter");
    PMRect rect;
    ASSERT_EQ(PMGetUnadjustedPaperRect(&format, &rect), noErr);
    EXPECT_EQ(rect, (PMRect{756 - 792, -18, 756, 594}));

    ppdMarkOption(ppd.get(), "PageSize", "Legal");
    format = PMPageFormat::FromPPD(ppd.get());
    EXPECT_EQ(format.paperName(), "Legal");
    EXPECT_EQ(format.paperLength(), 1008);

    PMPageFormat none = PMPageFormat::FromPPD(nullptr);
    ASSERT_EQ(PMGetUnadjustedPaperRect(&none, &rect), noErr);
    EXPECT_EQ(rect, (PMRect{0, 0, 792, 612}));
    EXPECT_EQ(PMGetUnadjustedPaperRect(nullptr, &rect), paramErr);
    EXPECT_EQ(PMGetUnadjustedPaperRect(&none, nullptr), paramErr);
}

TEST(HostCallback, MarksExistingChoicesAndRefusesOthersWithoutMarking)
{
    auto host = OpenHost("plain.ppd");
    ASSERT_TRUE(host);
    EXPECT_EQ(Marked(*host, "Duplex"), "None");

    EXPECT_TRUE(host->willChangePPDOptionKeyValue("Duplex", "DuplexTumble"));
    EXPECT_EQ(Marked(*host, "Duplex"), "DuplexTumble");

    EXPECT_FALSE(host->willChangePPDOptionKeyValue("Duplex", "DuplexSideways"));
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("Duplex", ""));
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("Duplex", nullptr));
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("NoSuchOption", "None"));
    EXPECT_FALSE(host->willChangePPDOptionKeyValue(nullptr, "None"));
    EXPECT_EQ(Marked(*host, "Duplex"), "DuplexTumble");

    // This PPD takes no custom page sizes.
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("PageSize", "Custom.500x700"));
    EXPECT_EQ(Marked(*host, "PageSize"), "Letter");
    EXPECT_EQ(host->pageFormat()->paperName(), "Letter");
}

TEST(HostCallback, CustomValuesOnlyWhereThePPDAcceptsThem)
{
    auto host = OpenHost("custom.ppd");
    ASSERT_TRUE(host);

    // Custom page sizes within the PPD's limits (144..864 x 216..1296 pt).
    EXPECT_TRUE(host->willChangePPDOptionKeyValue("PageSize", "Custom.8.5x11in"));
    EXPECT_EQ(Marked(*host, "PageSize"), "Custom");
    ASSERT_TRUE(host->willChangePPDOptionKeyValue("PageSize", "A3"));
    for (const char* refused : {"Custom.100x700", "Custom.500x2000", "Custom.500", "Custom.500x700furlong",
                                "Custom.-500x700", "Custom.infxinf", "Custom.", "Custom.abcxdef"}) {
        EXPECT_FALSE(host->willChangePPDOptionKeyValue("PageSize", refused)) << refused;
        EXPECT_EQ(Marked(*host, "PageSize"), "A3") << refused;
    }
    // PageRegion has no custom entry of its own.
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("PageRegion", "Custom.500x700"));

    // A custom text option: its one parameter takes 0 to 32 characters.
    EXPECT_TRUE(host->willChangePPDOptionKeyValue("ZLKStampText", "Custom.Hello World"));
    EXPECT_EQ(Marked(*host, "ZLKStampText"), "Custom");
    ppd_cparam_t* text = ppdFirstCustomParam(ppdFindCustomOption(host->ppdFile(), "ZLKStampText"));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->current.custom_string, "Hello World");
    ASSERT_TRUE(host->willChangePPDOptionKeyValue("ZLKStampText", "Draft"));
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("ZLKStampText", ("Custom." + std::string(33, 'x')).c_str()));
    EXPECT_EQ(Marked(*host, "ZLKStampText"), "Draft");

    // An option without custom support.
    EXPECT_FALSE(host->willChangePPDOptionKeyValue("MediaType", "Custom.Cardboard"));
    EXPECT_EQ(Marked(*host, "MediaType"), "Plain");
}

TEST(HostCallback, OwnsTheSessionAndSettingsItLends)
{
    auto host = OpenHost("plain.ppd");
    ASSERT_TRUE(host);
    const PMPrinter* printer = nullptr;
    std::string id;
    ASSERT_EQ(PMSessionGetCurrentPrinter(host->printSession(), &printer), noErr);
    ASSERT_EQ(PMPrinterGetID(printer, &id), noErr);
    EXPECT_EQ(id, "TestQueue");
    ASSERT_EQ(PMPrintSettingsSetValue(host->printSettings(), "k", "v", false), noErr);
    EXPECT_EQ(host->printSettings()->Find("k")->value, "v");
}

TEST(HostCallback, OpeningReportsMissingAndUnreadablePPDs)
{
    OSStatus status = noErr;
    EXPECT_EQ(HostPDECallback::Open(kFixtures + "/no-such.ppd", "q", &status), nullptr);
    EXPECT_EQ(status, fnfErr);

    zlk::test::TempDir dir;
    zlk::test::WriteFile(dir.file("garbage.ppd"), "this is not a PPD\n");
    EXPECT_EQ(HostPDECallback::Open(dir.file("garbage.ppd"), "q", &status), nullptr);
    EXPECT_EQ(status, kDamagedDataErr);
}

// A minimal plug-in, driven the way the host drives one: the protocol is
// complete enough for a panel to reach the host's print objects.
class DuplexPanel : public PDEPanel {
public:
    explicit DuplexPanel(PDEPlugInCallback* host) : host_(host) {}
    widgets::View* panelView() override { return nullptr; }
    std::string panelName() override { return "Duplex"; }
    std::string panelKind() override { return "com.zelko.test.DuplexKind"; }
    std::vector<std::string> supportedPPDOptionKeys() override { return {"Duplex"}; }
    void willShow() override {}
    bool shouldHide() override { return true; }
    bool shouldPrint() override { return true; }
    bool restoreValuesAndReturnError(PDEError*) override { return true; }
    bool saveValuesAndReturnError(PDEError* error) override
    {
        if (!host_->willChangePPDOptionKeyValue("Duplex", "DuplexNoTumble")) {
            error->code = paramErr;
            return false;
        }
        return PMPrintSettingsSetValue(host_->printSettings(), "com.zelko.test.Saved", "1", false) == noErr;
    }
    PDESummary summaryInfo() override { return {{{"Two-Sided", "Long Edge"}}, {"Two-Sided"}}; }
    void PPDOptionKeyValueDidChange(const char*, const char*) override {}

private:
    PDEPlugInCallback* host_;
};

class DuplexPlugIn : public PDEPlugIn {
public:
    bool initWithBundle(std::shared_ptr<const Bundle>) override { return true; }
    std::vector<std::unique_ptr<PDEPanel>> PDEPanelsForType(const std::string& type,
                                                            PDEPlugInCallback* hostInfo) override
    {
        std::vector<std::unique_ptr<PDEPanel>> panels;
        if (type == kPrintDialogPDEType && hostInfo != nullptr && hostInfo->ppdFile() != nullptr) {
            panels.push_back(std::make_unique<DuplexPanel>(hostInfo));
        }
        return panels;
    }
};

TEST(HostProtocol, PanelsReachTheHostsPrintObjects)
{
    auto host = OpenHost("plain.ppd");
    ASSERT_TRUE(host);
    DuplexPlugIn plugIn;
    EXPECT_TRUE(plugIn.PDEPanelsForType("some other dialog", host.get()).empty());
    auto panels = plugIn.PDEPanelsForType(kPrintDialogPDEType, host.get());
    ASSERT_EQ(panels.size(), 1u);

    PDEError error;
    ASSERT_TRUE(panels[0]->saveValuesAndReturnError(&error));
    EXPECT_EQ(Marked(*host, "Duplex"), "DuplexNoTumble");
    EXPECT_EQ(host->printSettings()->Find("com.zelko.test.Saved")->value, "1");
    EXPECT_TRUE(panels[0]->shouldShowHelp()) << "by default the host shows its own help";
}

}  // namespace
}  // namespace zlk::platform
