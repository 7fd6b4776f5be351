// The account plug-in as a print dialog uses it: the built module loaded
// with dlopen, its print type panel driven through the host protocol and
// the headless toolkit over the sample PPDs, as a person would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog/account/ptcontrols.h"
#include "dialog/framework/basecontrol.h"
#include "platform/printing/printsettings.h"
#include "platform/widgets/controls.h"
#include "plugin.h"
#include "spooler.h"
#include "storedtext.h"
#include "testpdf.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBundle = ZLK_ACCOUNT_BUNDLE;
const fs::path kModule = kBundle / "ZLKAccountPDE.so";
const fs::path kSamples = ZLK_SAMPLE_PPD_DIR;
constexpr char kPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";

fs::path Sample(const std::string& model) { return kSamples / ("zelko-mfp-" + model + ".ppd"); }

// A copy of a sample PPD with texts replaced.
fs::path Edited(const TempDir& dir, const std::string& model, const std::map<std::string, std::string>& edits)
{
    std::ifstream in(Sample(model), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& [from, to] : edits) {
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) {
            text.replace(at, from.size(), to);
        }
    }
    const fs::path path = fs::path(dir.path()) / ("zelko-mfp-" + model + ".ppd");
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The print type panel of a printer, restored from the stored input given
// (reference and ticket names without the prefix).
struct PrintTypePanel {
    explicit PrintTypePanel(const fs::path& ppd, const std::map<std::string, std::string>& stored = {},
                            const std::map<std::string, std::string>& marks = {})
        : host(ppd)
    {
        for (const auto& [name, value] : stored) {
            Set(name, value);
        }
        for (const auto& [option, choice] : marks) {
            ppdMarkOption(host.callback->ppdFile(), option.c_str(), choice.c_str());
        }
        auto panels = plugin.get()->PDEPanelsForType(platform::kPrintDialogPDEType, host.callback.get());
        // The accounting panel first, then the print type panel.
        EXPECT_FALSE(panels.empty()) << ppd;
        if (panels.empty()) {
            return;
        }
        panel = std::move(panels.back());
        EXPECT_NE(panel->panelView(), nullptr);
        platform::PDEError error;
        EXPECT_TRUE(panel->restoreValuesAndReturnError(&error)) << error.message;
        panel->willShow();
    }
    void Set(const std::string& name, const std::string& value)
    {
        platform::PMPrintSettingsSetValue(host.callback->printSettings(), (kPrefix + name).c_str(), value.c_str(),
                                          false);
    }
    std::string Get(const std::string& name) const
    {
        std::string value;
        platform::PMPrintSettingsGetValue(host.callback->printSettings(), (kPrefix + name).c_str(), &value);
        return value;
    }
    widgets::PopUp* List() const { return panel->panelView()->Find<widgets::PopUp>(101); }
    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        for (const auto& item : List()->Items()) {
            items.push_back(item.key + (item.enabled ? "" : " (off)"));
        }
        return items;
    }
    // Chooses the print type; act runs in the window it opens.
    bool Choose(int value, std::function<void(widgets::Window&)> act = {})
    {
        if (act) {
            host.toolkit.ScriptModal(std::move(act));
        }
        return List()->UserSelect(value - 1);
    }
    std::string Text(const char* key) const { return plugin.bundle()->LocalizedString(key, table); }
    std::vector<std::string> AlertsSince(std::size_t from) const
    {
        std::vector<std::string> texts;
        for (std::size_t i = from; i < host.toolkit.Alerts().size(); ++i) {
            texts.push_back(host.toolkit.Alerts()[i].alert.informative);
        }
        return texts;
    }
    std::string JobOptions() const
    {
        std::string options;
        for (const auto& [key, entry] : host.callback->printSettings()->entries()) {
            options += key + "='" + entry.value + "' ";
        }
        return options;
    }

    LoadedPlugin plugin{kModule, kBundle};
    Host host;
    std::unique_ptr<platform::PDEPanel> panel;
    std::string table = "Localizable01";
};

void Click(widgets::Window& window, int tag) { In<widgets::Button>(window, tag)->UserClick(); }

TEST(AccountPlugin, OffersThePrintTypePanelWhereThePrinterHasOne)
{
    TempDir scratch;
    struct Case {
        std::string what;
        fs::path ppd;
        std::size_t panels;
    };
    const std::vector<Case> cases = {
        {"c4500", Sample("c4500"), 2},
        {"c3500j", Sample("c3500j"), 2},
        {"m2500", Sample("m2500"), 2},
        {"q6000", Sample("q6000"), 2},
        {"Quorvel with print type off",
         Edited(scratch, "q6000", {{"ZLKXEnablePrintType: \"True\"", "ZLKXEnablePrintType: \"False\""}}), 0},
    };
    for (const Case& c : cases) {
        LoadedPlugin plugin(kModule, kBundle);
        Host host(c.ppd);
        EXPECT_EQ(plugin.get()->PDEPanelsForType(platform::kPrintDialogPDEType, host.callback.get()).size(), c.panels)
            << c.what;
        EXPECT_TRUE(plugin.get()->PDEPanelsForType("another type", host.callback.get()).empty());
    }
    PrintTypePanel japanese(Sample("c3500j"));
    EXPECT_EQ(japanese.panel->panelName(), "印刷タイプ");
    EXPECT_EQ(japanese.panel->panelKind(), "com.zelko.print.pde.PrintTypeKind");
    // The host's help button opens the printer's page; the panel's own is hidden.
    EXPECT_FALSE(japanese.panel->shouldShowHelp());
    ASSERT_FALSE(japanese.host.toolkit.HelpRequests().empty());
    EXPECT_EQ(fs::path(japanese.host.toolkit.HelpRequests().back().page).filename(), "SelectJobType_ColorMFPJ.htm");
    ASSERT_TRUE(japanese.panel->restoreValuesAndReturnError(nullptr));
    EXPECT_TRUE(japanese.panel->panelView()->FindWidget(109)->IsHidden());
    const widgets::Widget* version = japanese.panel->panelView()->FindWidget(110);
    EXPECT_EQ(version->Title(), "Ver.0.1.0.1");
    // The encrypting sample names a settings file: a "." tells when it cannot
    // be used. Both copies name their own, whatever this machine has installed.
    const std::string named = "/usr/share/zelko/cdf/zelko-mfp-q6000.cdf";
    for (const auto& [file, version] : std::vector<std::pair<std::string, std::string>>{
             {std::string(ZLK_SAMPLE_PPD_DIR) + "/zelko-mfp-q6000.cdf", "Ver.0.1.0.1"},
             {scratch.file("missing.cdf"), "Ver.0.1.0.1."}}) {
        PrintTypePanel quorvel(Edited(scratch, "q6000", {{named, file}}));
        EXPECT_EQ(quorvel.panel->panelView()->FindWidget(110)->Title(), version) << file;
    }
}

TEST(AccountPlugin, PrintTypeListFollowsMailboxStorageAndProduct)
{
    TempDir scratch;
    const std::vector<std::string> all = {"Job Type None", "Job Type Secure", "Job Type Sample", "Job Type Time",
                                          "Job Type MBN"};
    struct Case {
        std::string what;
        fs::path ppd;
        std::map<std::string, std::string> marks;
        std::vector<std::string> items;
        std::string stored;  // PrintTypeReference
        int shown;
    };
    const std::vector<Case> cases = {
        {"hard disk", Sample("c4500"), {}, all, "5", 5},
        {"no hard disk",
         Sample("c4500"),
         {{"ZLKHardDisk", "None"}},
         {"Job Type None", "Job Type Secure (off)", "Job Type Sample (off)", "Job Type Time (off)",
          "Job Type MBN (off)"},
         "3",
         1},
        {"no mailbox, RAM disk", Sample("m2500"), {}, {all.begin(), all.end() - 1}, "5", 1},
        {"no mailbox, no RAM disk",
         Sample("m2500"),
         {{"ZLKRAMDisk", "False"}},
         {"Job Type None", "Job Type Secure (off)", "Job Type Sample (off)", "Job Type Time (off)"},
         "2",
         1},
        {"Quorvel holds secure jobs by default", Sample("q6000"), {}, {all.begin(), all.begin() + 3}, "3", 3},
        {"login-name product",
         Edited(scratch, "c4500",
                {{"Default00-ColorMFP\"\n*ZLKXAccountingSettings", "Default04-ColorMFP\"\n*ZLKXAccountingSettings"}}),
         {},
         {all.begin(), all.begin() + 3},
         "4",
         1},
        {"damaged stored value", Sample("c4500"), {}, all, "x9", 1},
    };
    for (const Case& c : cases) {
        PrintTypePanel shown(c.ppd, {{"PrintTypeReference", c.stored}}, c.marks);
        ASSERT_TRUE(shown.panel) << c.what;
        EXPECT_EQ(shown.Items(), c.items) << c.what;
        EXPECT_EQ(shown.List()->SelectedIndex() + 1, c.shown) << c.what;
        EXPECT_EQ(shown.panel->panelView()->Find<widgets::Button>(103)->IsEnabled(), c.shown != 1) << c.what;
    }
}

TEST(AccountPlugin, SecurePrintReachesThePrinterAndNeverInPlainText)
{
    PrintTypePanel shown(Sample("c4500"));
    const std::size_t alerts = shown.host.toolkit.Alerts().size();
    ASSERT_TRUE(shown.Choose(2, [](widgets::Window& window) {
        Type(window, 1022, "alice");
        Type(window, 1026, "123");  // shorter than the printer's 4
        Click(window, 1029);
        Type(window, 1026, "1234");
        In<widgets::PopUp>(window, 1024)->UserSelect(1);
        Type(window, 1025, "Budget, 2027");
        Click(window, 1029);
    }));
    EXPECT_EQ(shown.AlertsSince(alerts), std::vector<std::string>{"Enter a passcode of 4 to 12 digits."});
    ASSERT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Get("PrintTypeTicketKey"), "2");
    EXPECT_EQ(shown.Get("PrintTypeUserNameTicketKey"), "alice");
    EXPECT_EQ(shown.Get("DocumentNameTypeTicketKey"), "2");
    EXPECT_EQ(shown.Get("DocumentNameTicketKey"), framework::ToSlashDecimal("Budget, 2027"));
    EXPECT_EQ(shown.Get("PrintTypeProductTypeTicketKey"), "0");
    EXPECT_EQ(Opened(shown.Get("PrintTypePasswordTicketKey")), "1234");
    EXPECT_EQ(Opened(shown.Get("PrintTypePasswordReference")), "1234");
    for (const auto& [key, entry] : shown.host.callback->printSettings()->entries()) {
        EXPECT_EQ(entry.value.find("1234"), std::string::npos) << key;
    }
    const auto summary = shown.panel->summaryInfo().values;
    EXPECT_EQ(summary.at("Passcode (4 to 12)"), "\uFF65\uFF65\uFF65\uFF65");
    EXPECT_EQ(summary.at("User Name"), "alice");
    EXPECT_EQ(summary.at("Print Type"), "Secure Print");

    // The filter prints it as a held job with the passcode.
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    spooler.options = shown.JobOptions();
    spooler.env["PPD"] = Sample("c4500");
    const RunResult run = spooler.Run();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(InspectStream(run.out).exitCode, 0);
    const std::string ticket = SplitJobStream(run.out).ticket;
    EXPECT_NE(ticket.find("JobPassword"), std::string::npos) << ticket;
    EXPECT_NE(ticket.find(">1234<"), std::string::npos) << ticket;

    // Saving stores the choice as the last input and writes the ticket too.
    shown.Set("PrintTypeTicketKey", "");
    platform::PDEError error;
    ASSERT_TRUE(shown.panel->saveValuesAndReturnError(&error)) << error.message;
    EXPECT_EQ(shown.Get("PrintTypeReference"), "2");
    EXPECT_EQ(shown.Get("PrintTypeTicketKey"), "2");
}

TEST(AccountPlugin, CancelWithNothingStoredReturnsToNormalPrint)
{
    struct Case {
        int type;
        std::function<void(widgets::Window&)> act;
        int after;
    };
    const std::vector<Case> cases = {
        {2, [](widgets::Window& w) { Click(w, 1030); }, 1},  // no passcode stored, minimum 4
        {4, [](widgets::Window& w) { Click(w, 1039); }, 1},  // a start time never confirmed
        {5, [](widgets::Window& w) { Click(w, 1049); }, 1},  // no mailbox number
        {3, [](widgets::Window& w) { Click(w, 1019); }, 3},  // sample print asks nothing stored
        {4, [](widgets::Window& w) { Click(w, 1038); }, 4},  // OK keeps it
    };
    for (const Case& c : cases) {
        PrintTypePanel shown(Sample("c4500"));
        ASSERT_TRUE(shown.Choose(c.type, c.act));
        EXPECT_EQ(shown.host.toolkit.PendingModalScripts(), 0u);
        EXPECT_EQ(shown.List()->SelectedIndex() + 1, c.after) << c.type;
        ASSERT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Get("PrintTypeTicketKey"), std::to_string(c.after));
    }
}

TEST(AccountPlugin, ShortPasscodeAtPrintTimePrintsNormallyOrStops)
{
    for (const bool printNormally : {true, false}) {
        // A passcode stored earlier, when the printer asked for fewer digits.
        PrintTypePanel shown(
            Sample("c4500"),
            {{"PrintTypeReference", "2"}, {"PrintTypeUserNameReference", "bob"}, {"PrintTypePasswordReference", ""}});
        ASSERT_TRUE(shown.Choose(1));
        ASSERT_TRUE(shown.Choose(2, [](widgets::Window& window) {
            Type(window, 1026, "1234");
            Type(window, 1022, "bob");
            Click(window, 1029);
        }));
        // Now the passcode field holds three digits without OK.
        shown.host.toolkit.ScriptModal([](widgets::Window& window) {
            Type(window, 1026, "123");
            Click(window, 1030);
        });
        shown.panel->panelView()->Find<widgets::Button>(103)->UserClick();
        shown.host.toolkit.ScriptModal([&](widgets::Window& window) { Click(window, printNormally ? 201 : 202); });
        EXPECT_EQ(shown.panel->shouldPrint(), printNormally);
        EXPECT_EQ(shown.host.toolkit.PendingModalScripts(), 0u) << "the notice was shown";
        if (printNormally) {
            EXPECT_EQ(shown.Get("PrintTypeTicketKey"), "1");
        }
    }
}

TEST(AccountPlugin, MailboxNumbersAndPasswords)
{
    const std::string refused = "Enter a mailbox number from 1 to 100 .";
    struct Case {
        std::string number, password, alert, written;
    };
    const std::vector<Case> cases = {
        {"1", "", "", "1"},       {"100", "42", "", "100"}, {"012", "", "", "12"},
        {"0", "", refused, ""},   {"0012", "", "", "1"},  // the fourth digit cannot be typed: 001
        {"101", "", refused, ""}, {"", "", refused, ""},    {"12", "1a", "", "12"},
    };
    for (const Case& c : cases) {
        PrintTypePanel shown(Sample("c4500"));
        const std::size_t alerts = shown.host.toolkit.Alerts().size();
        shown.Choose(5, [&](widgets::Window& window) {
            Type(window, 1041, c.number);
            Type(window, 1042, c.password);
            Click(window, 1048);
            if (window.IsOpen()) {
                Click(window, 1049);
            }
        });
        EXPECT_EQ(shown.AlertsSince(alerts),
                  c.alert.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.alert})
            << c.number;
        ASSERT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Get("PrintTypeMBNTicketKey"), c.written) << c.number;
        if (!c.written.empty()) {
            EXPECT_EQ(shown.Get("PrintTypeTicketKey"), "5");
            const std::string typed = c.password == "1a" ? "1" : c.password;  // typing refuses the letter
            EXPECT_EQ(Opened(shown.Get("PrintTypeMBNPasswordTicketKey")),
                      typed.empty() ? "(not a storage blob)" : typed);
        } else {
            EXPECT_EQ(shown.Get("PrintTypeTicketKey"), "1") << c.number;
        }
    }
}

TEST(AccountPlugin, StartTimeIsTodayOrTomorrow)
{
    setenv("TZ", "UTC", 1);
    tzset();
    // 5 March 2027, 10:00 UTC.
    const auto tenOClock = std::chrono::system_clock::from_time_t(1804240800);
    struct Case {
        int hour, minute;
        std::string written;
    };
    for (const Case& c : std::vector<Case>{
             {23, 59, "2027-03-05T23:59:00"}, {9, 0, "2027-03-06T09:00:00"}, {10, 0, "2027-03-05T10:00:00"}}) {
        PrintTypePanel shown(Sample("c4500"));
        shown.host.callback->SetCurrentTime(tenOClock);
        shown.Choose(4, [&](widgets::Window& window) {
            In<widgets::Stepper>(window, 1033)->UserSetValue(c.hour);
            In<widgets::Stepper>(window, 1032)->UserSetValue(c.minute);
            Click(window, 1038);
        });
        ASSERT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Get("DelayPrintTicketKey"), c.written);
        char hhmm[8];
        std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", c.hour, c.minute);
        EXPECT_EQ(shown.Get("DelayPrintReference"), hhmm);
        EXPECT_EQ(shown.panel->summaryInfo().values.at("Start Print Time"), std::string(hhmm) + ":00");
    }
}

TEST(AccountPlugin, SharedNamesAndTheirRulesPerProduct)
{
    struct Case {
        std::string what;
        std::string model;
        std::map<std::string, std::string> stored;
        std::string user, document;
        std::string alert;  // empty: accepted
        std::string docType, docName;  // written
        std::string writtenUser = "";  // when not what was typed
    };
    const std::vector<Case> cases = {
        {"comma", "c4500", {}, "alice", "a,b", "", "2", "/97/44/98"},
        {"slash", "c4500", {}, "alice", "/x", "", "2", "/47/120"},
        {"spaces are a name", "c4500", {}, "alice", "   ", "", "2", "   "},
        {"user of spaces", "c4500", {}, "  ", "x", "Message43", "", ""},
        {"type 2 limit: the ninth character cannot be typed", "m2500", {}, "abcdefghi", "x", "", "2", "x", "abcdefgh"},
        {"type 2 halfwidth kana count 1",
         "m2500",
         {},
         "\uFF71\uFF72\uFF73\uFF74\uFF75\uFF76\uFF77\uFF78",
         "x",
         "",
         "2",
         "x"},
        {"type 2 document limit", "m2500", {}, "bob", "abcdefghijklm", "", "2", "abcdefghijkl"},
        {"Latin 1 on a Japanese product: É cannot be typed", "c3500j", {}, "\u00C9mile", "x", "", "2", "x", "mile"},
        {"stored type 0 reads as automatic", "c4500", {{"DocumentNameTypeReference", "0"}}, "alice", "", "", "1", ""},
    };
    for (const Case& c : cases) {
        PrintTypePanel shown(Sample(c.model), c.stored);
        const std::size_t alerts = shown.host.toolkit.Alerts().size();
        shown.Choose(3, [&](widgets::Window& window) {
            Type(window, 1012, c.user);
            auto* type = In<widgets::PopUp>(window, 1014);
            if (!c.document.empty()) {
                type->UserSelect(1);
                Type(window, 1015, c.document);
            }
            Click(window, 1018);
            if (window.IsOpen()) {
                Click(window, 1019);
            }
        });
        const auto seen = shown.AlertsSince(alerts);
        if (!c.alert.empty()) {
            EXPECT_EQ(seen, std::vector<std::string>{shown.Text(c.alert.c_str())}) << c.what;
            continue;
        }
        EXPECT_TRUE(seen.empty()) << c.what << ": " << (seen.empty() ? "" : seen.front());
        ASSERT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Get("DocumentNameTypeTicketKey"), c.docType) << c.what;
        EXPECT_EQ(shown.Get("DocumentNameTicketKey"), c.docName) << c.what;
        EXPECT_EQ(shown.Get("PrintTypeUserNameTicketKey"), c.writtenUser.empty() ? c.user : c.writtenUser) << c.what;
    }
    // Product type 2 names documents by hand unless told otherwise.
    PrintTypePanel type2(Sample("m2500"));
    ASSERT_TRUE(type2.panel->shouldPrint());
    EXPECT_EQ(type2.Get("DocumentNameTypeTicketKey"), "2");
    EXPECT_EQ(type2.Get("PrintTypeProductTypeTicketKey"), "2");
    // A stored type the panel cannot read keeps an entered name entered.
    type2.Set("DocumentNameTypeReference", "0");
    ASSERT_TRUE(type2.panel->restoreValuesAndReturnError(nullptr));
    ASSERT_TRUE(type2.panel->shouldPrint());
    EXPECT_EQ(type2.Get("DocumentNameTypeTicketKey"), "2");
}

TEST(AccountPlugin, DamagedStoredInputReadsAsTheDefault)
{
    struct Case {
        std::map<std::string, std::string> stored;
        const char* key;  // written after printing
        std::string written;
    };
    const std::vector<Case> cases = {
        {{{"PrintTypePasswordReference", "1234"}}, "PrintTypePasswordTicketKey", ""},  // not a storage blob
        {{{"PrintTypeMBNPasswordReference", "%%%"}}, "PrintTypeMBNPasswordTicketKey", ""},
        {{{"DelayPrintReference", "25:61"}, {"PrintTypeReference", "4"}}, "DelayPrintReference", "00:00"},
        {{{"DocumentNameTypeReference", "7"}}, "DocumentNameTypeTicketKey", "1"},
        {{{"DocumentNameReference", "ok\xff"}}, "DocumentNameTicketKey", ""},
        {{{"PrintTypeUserNameReference", "\xc3"}}, "PrintTypeUserNameTicketKey", ""},
    };
    for (const Case& c : cases) {
        PrintTypePanel shown(Sample("c4500"), c.stored);
        ASSERT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Get(c.key), c.written) << c.stored.begin()->first;
    }
}

TEST(AccountPlugin, QuorvelPasscodeMinimumComesFromItsLimit)
{
    PrintTypePanel shown(Sample("q6000"));
    shown.table = "Localizable03";
    const std::size_t alerts = shown.host.toolkit.Alerts().size();
    std::string caption;
    shown.Choose(2, [&](widgets::Window& window) {
        caption = In<widgets::Label>(window, 2026)->Title();
        Type(window, 1022, "\u00C9mile");
        Type(window, 1026, "1234567");
        Click(window, 1029);
        Type(window, 1026, "12345678");
        Click(window, 1029);
    });
    EXPECT_EQ(caption, "Passcode (8 to 12 digits):");
    EXPECT_EQ(shown.AlertsSince(alerts), std::vector<std::string>{"Enter a passcode of 8 to 12 digits."});
    ASSERT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(Opened(shown.Get("PrintTypePasswordTicketKey")), "12345678");
    EXPECT_EQ(shown.Get("PrintTypeUserNameTicketKey"), "\u00C9mile");
}

TEST(AccountPlugin, LoginNameStandsForTheUser)
{
    struct Case {
        std::string login, user;
    };
    const std::string long40(40, 'u');
    for (const Case& c : std::vector<Case>{
             {"carol", "carol"}, {long40, long40.substr(0, 32)}, {"", "UnknownUser"}, {"bad\x01name", "UnknownUser"}}) {
        EXPECT_EQ(account::KPTWNDLOGINTECTRL::DefaultUserName(c.login), c.user) << c.login;
    }
}

TEST(AccountPlugin, BothPluginsLoadedTogetherKeepTheirOwnCode)
{
    const fs::path features = fs::path(ZLK_FEATURES_BUNDLE);
    LoadedPlugin one(features / "ZLKFeaturesPDE.so", features);
    PrintTypePanel shown(Sample("c4500"));
    Host host(Sample("c4500"));
    auto featurePanels = one.get()->PDEPanelsForType(platform::kPrintDialogPDEType, host.callback.get());
    ASSERT_EQ(featurePanels.size(), 1u);
    EXPECT_NE(featurePanels.front()->panelView(), nullptr);
    EXPECT_TRUE(featurePanels.front()->restoreValuesAndReturnError(nullptr));
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_TRUE(featurePanels.front()->shouldPrint());
    for (const fs::path& module : {kModule, features / "ZLKFeaturesPDE.so"}) {
        const std::string command = "nm -D --defined-only " + module.string() + " | awk '{print $3}'";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        std::string symbols;
        char line[512];
        while (fgets(line, sizeof line, pipe.get())) {
            symbols += line;
        }
        EXPECT_EQ(symbols, "ZLKCreatePDEPlugIn\n") << module;
    }
}

}  // namespace
}  // namespace zlk::test
