// The job accounting panel of the account plug-in, loaded with dlopen and
// driven through the host protocol and the headless toolkit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

// The c4500 with the prompt option's default as given; without a prompt
// option, the m2500, which has none.
fs::path WithSelectID(const TempDir& dir, const std::string& defaultChoice)
{
    if (defaultChoice.empty()) {
        return kSamples / "zelko-mfp-m2500.ppd";
    }
    std::ifstream in(kSamples / "zelko-mfp-c4500.ppd", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string line = "*DefaultZLKSelectID: UserID_AccountID";
    text.replace(text.find(line), line.size(), "*DefaultZLKSelectID: " + defaultChoice);
    const fs::path path = fs::path(dir.path()) / ("prompt-" + defaultChoice + ".ppd");
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The accounting panel of a printer, restored from stored input.
struct AccountingPanel {
    explicit AccountingPanel(const fs::path& ppd, const std::map<std::string, std::string>& stored = {}) : host(ppd)
    {
        for (const auto& [name, value] : stored) {
            Set(name, value);
        }
        auto panels = plugin.get()->PDEPanelsForType(platform::kPrintDialogPDEType, host.callback.get());
        EXPECT_EQ(panels.size(), 2u) << ppd;
        if (panels.empty()) {
            return;
        }
        panel = std::move(panels.front());
        EXPECT_EQ(panel->panelKind(), "com.zelko.print.pde.JobAccountingKind");
        EXPECT_NE(panel->panelView(), nullptr);
        EXPECT_TRUE(panel->restoreValuesAndReturnError(nullptr));
    }
    void Set(const std::string& name, const std::string& value)
    {
        platform::PMPrintSettingsSetValue(host.callback->printSettings(), (kPrefix + name).c_str(), value.c_str(),
                                          false);
    }
    std::string Get(const std::string& name) const
    {
        std::string value;
        if (platform::PMPrintSettingsGetValue(host.callback->printSettings(), (kPrefix + name).c_str(), &value) !=
            platform::noErr) {
            return "(none)";
        }
        return value;
    }
    widgets::Widget* Panel(int tag) const { return panel->panelView()->FindWidget(tag); }
    // Opens the settings window with the details button and acts in it.
    void Settings(std::function<void(widgets::Window&)> act)
    {
        host.toolkit.ScriptModal(std::move(act));
        Panel(1005)->As<widgets::Button>()->UserClick();
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
};

// The user window (3001..3024) is the one the default management type uses.
constexpr int kUserID = 3007, kLogin = 3008, kPassword = 3009, kStorageID = 3013, kStoragePassword = 3014,
              kEnterDetails = 3017, kAccountID = 3018, kAccountCaption = 3019, kShowPrevious = 3020, kMaskUserID = 3021,
              kDomain = 3024, kUserIDList = 3006, kOK = 3001;

TEST(AccountingPanel, CaseFollowsThePromptOptionAndTheIdentification)
{
    TempDir scratch;
    struct Case {
        std::string prompt;  // empty: no prompt option
        int identification;  // 1..3, typed into the stored input
        std::string infoWritten, caseWritten;
        bool accountEnabled, storageEnabled, userEnabled, detailsEnabled;
    };
    const std::vector<Case> cases = {
        {"UserID", 3, "3", "2", false, true, true, true},
        {"None", 1, "1", "8", false, false, false, false},
        {"UserID_AccountID", 2, "2", "9", false, true, false, true},
        {"AccountID", 1, "1", "7", true, false, false, true},
        {"", 2, "0", "0", true, true, true, true},
    };
    for (const Case& c : cases) {
        AccountingPanel shown(WithSelectID(scratch, c.prompt),
                              {{"JBAInfoListReference", std::to_string(c.identification)}});
        EXPECT_EQ(shown.Panel(1004)->IsHidden(), c.prompt.empty()) << c.prompt;
        EXPECT_EQ(shown.Panel(1005)->IsEnabled(), c.detailsEnabled) << c.prompt;
        EXPECT_FALSE(shown.Panel(1001)->IsEnabled()) << "the management type is the administrator's";
        if (c.detailsEnabled) {
            bool account = false, storage = false, user = false;
            shown.Settings([&](widgets::Window& window) {
                account = In<widgets::TextField>(window, kAccountID)->IsEnabled() &&
                          In<widgets::Label>(window, kAccountCaption)->IsEnabled();
                storage = In<widgets::TextField>(window, kStorageID)->IsEnabled();
                user = In<widgets::PopUp>(window, kUserIDList)->IsEnabled();
                In<widgets::Button>(window, 3002)->UserClick();
            });
            EXPECT_EQ(account, c.accountEnabled) << c.prompt;
            EXPECT_EQ(storage, c.storageEnabled) << c.prompt;
            EXPECT_EQ(user, c.userEnabled) << c.prompt;
        }
        ASSERT_TRUE(shown.panel->shouldPrint()) << c.prompt;
        EXPECT_EQ(shown.host.toolkit.PendingModalScripts(), 0u);
        EXPECT_EQ(shown.Get("JBAInfoListTicketKey"), c.infoWritten) << c.prompt;
        EXPECT_EQ(shown.Get("JBAInfoSetListTicketKey"), c.caseWritten) << c.prompt;
    }
}

TEST(AccountingPanel, UserDetailsReachThePrinterAndPasswordsStayClosed)
{
    // A printer without the prompt option: every field counts. A storage
    // password stored with a letter (no one can type one) is refused.
    std::string storedWithLetter;
    int status = 0;
    ASSERT_TRUE(framework::EncryptToStorageText("12a", storedWithLetter, status));
    AccountingPanel shown(kSamples / "zelko-mfp-m2500.ppd",
                          {{"JBAStoragePasswordTextEditReference", storedWithLetter}});
    std::vector<std::string> alerts;
    shown.Settings([&](widgets::Window& window) {
        In<widgets::PopUp>(window, kUserIDList)->UserSelect(1);
        Type(window, kUserID, "carol");
        Type(window, kPassword, "s3cret");
        Type(window, kDomain, "OFFICE");
        Type(window, kAccountID, "ACCT-7");
        Type(window, kStorageID, "box9");
        In<widgets::Button>(window, kOK)->UserClick();
        for (const auto& shownAlert : shown.host.toolkit.Alerts()) {
            alerts.push_back(shownAlert.alert.informative);
        }
        EXPECT_TRUE(window.IsOpen());
        Type(window, kStoragePassword, "864209");
        In<widgets::Button>(window, kOK)->UserClick();
    });
    EXPECT_EQ(alerts, std::vector<std::string>{"Enter a passcode of 0 to 12 digits."});
    ASSERT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Get("JBAManageTypeListTicketKey"), "2");
    EXPECT_EQ(shown.Get("JBAUserIDListCtrlTicket"), "2");
    EXPECT_EQ(shown.Get("JBAUserIDTextEditTicket"), "carol");
    EXPECT_EQ(shown.Get("JBAAccountIDTextEditTicket"), "ACCT-7");
    EXPECT_EQ(Opened(shown.Get("JBAUserPasswordTextEditTicket")), "s3cret");
    EXPECT_EQ(Opened(shown.Get("JBAStoragePasswordTextEditTicket")), "864209");
    EXPECT_NE(shown.Get("JBAHostNameStringTicket"), "(none)");
    for (const auto& [key, entry] : shown.host.callback->printSettings()->entries()) {
        EXPECT_EQ(entry.value.find("s3cret"), std::string::npos) << key;
        EXPECT_EQ(entry.value.find("864209"), std::string::npos) << key;
    }

    SpoolerRun spooler;
    spooler.document = spooler.Pdf(1);
    spooler.options = shown.JobOptions();
    spooler.env["PPD"] = kSamples / "zelko-mfp-m2500.ppd";
    const RunResult run = spooler.Run();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("s3cret"), std::string::npos);
    EXPECT_EQ(run.out.find("864209"), std::string::npos);
    const RunResult inspected = InspectStream(run.out);
    ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
    EXPECT_NE(inspected.out.find("ACCT-7"), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("s3cret"), std::string::npos) << "the development key opens it";
}

TEST(AccountingPanel, LoginNameAndFixedValues)
{
    TempDir scratch;
    // The login name: the user ID field is hidden, the login key carries it.
    AccountingPanel login(kSamples / "zelko-mfp-c4500.ppd");
    bool userIDHidden = false;
    login.Settings([&](widgets::Window& window) {
        userIDHidden =
            In<widgets::TextField>(window, kUserID)->IsHidden() && !In<widgets::TextField>(window, kLogin)->IsHidden();
        In<widgets::Button>(window, kOK)->UserClick();
    });
    EXPECT_TRUE(userIDHidden);
    ASSERT_TRUE(login.panel->shouldPrint());
    EXPECT_EQ(login.Get("JBAUserIDListCtrlTicket"), "1");
    EXPECT_FALSE(login.Get("JBALoginTextEditTicket").empty());

    // Billing ID fixed: the account ID and user are not sent whatever was typed.
    AccountingPanel billing(WithSelectID(scratch, "UserID_AccountID"), {{"JBAInfoListReference", "2"},
                                                                        {"JBAAccountIDTextEditReference", "A1"},
                                                                        {"JBAUserIDTextEditReference", "dave"}});
    ASSERT_TRUE(billing.panel->shouldPrint());
    EXPECT_EQ(billing.Get("JBAAccountIDTextEditTicket"), "");
    EXPECT_EQ(billing.Get("JBAUserIDTextEditTicket"), "UnknownUser");
    EXPECT_EQ(billing.Get("JBALoginTextEditTicket"), "UnknownUser");

    // A preview is charged to nobody: no host keys.
    AccountingPanel preview(kSamples / "zelko-mfp-c4500.ppd");
    preview.host.callback->printSession()->SetDestinationType(platform::kPMDestinationPreview);
    ASSERT_TRUE(preview.panel->shouldPrint());
    EXPECT_EQ(preview.Get("JBAHostNameStringTicket"), "(none)");
    EXPECT_EQ(preview.Get("JBAIPAddressStringTicket"), "(none)");

    // Quorvel: no identification lists.
    AccountingPanel quorvel(kSamples / "zelko-mfp-q6000.ppd", {{"JBAInputStoragePasswordTextEditReference", ""}});
    EXPECT_TRUE(quorvel.Panel(1004)->IsHidden());
    ASSERT_TRUE(quorvel.panel->shouldPrint());
    EXPECT_EQ(quorvel.Get("JBAInfoListTicketKey"), "(none)");
}

TEST(AccountingPanel, ProductsAndTheAdministratorsSettings)
{
    TempDir scratch;
    // The administrator's stored management type chooses the administrator window.
    AccountingPanel admin(kSamples / "zelko-mfp-m2500.ppd", {{"JBAManageTypeListReference", "1"}});
    bool adminWindow = false;
    admin.Settings([&](widgets::Window& window) {
        adminWindow = window.Content().FindWidget(2007) != nullptr;
        In<widgets::Button>(window, 2002)->UserClick();
    });
    EXPECT_TRUE(adminWindow);
    EXPECT_FALSE(admin.Panel(1001)->IsEnabled());
    ASSERT_TRUE(admin.panel->shouldPrint());
    EXPECT_EQ(admin.Get("JBAManageTypeListTicketKey"), "1");

    // A "Default05" product shows no identification caption.
    const fs::path default05 = fs::path(scratch.path()) / "default05.ppd";
    {
        std::ifstream in(kSamples / "zelko-mfp-c4500.ppd", std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string from = "*ZLKXAccountingSettings: \"Default00-ColorMFP\"";
        text.replace(text.find(from), from.size(), "*ZLKXAccountingSettings: \"Default05-ColorMFP\"");
        std::ofstream(default05, std::ios::binary) << text;
    }
    AccountingPanel product5(default05);
    EXPECT_TRUE(product5.Panel(1003)->IsHidden());
    EXPECT_FALSE(product5.Panel(1004)->IsHidden());

    // The encrypting model sends the billing ID password as a storage blob too.
    AccountingPanel quorvel(kSamples / "zelko-mfp-q6000.ppd",
                            {{"JBAUserInputRadioBtnReference", "1"}, {"JBAUserSettingRadioBtnReference", "0"}});
    quorvel.host.toolkit.ScriptModal([](widgets::Window& window) {
        Type(window, 4006, "gina");  // no masking on this model; the user side must do before switching
        In<widgets::RadioButton>(window, 4009)->UserClick();
        Type(window, 4011, "box");
        Type(window, 4013, "5555");
        In<widgets::Button>(window, 4001)->UserClick();
    });
    ASSERT_TRUE(quorvel.panel->shouldPrint());
    EXPECT_TRUE(quorvel.host.toolkit.Alerts().empty());
    EXPECT_EQ(Opened(quorvel.Get("JBAInputStoragePasswordTextEditTicket")), "5555");
    EXPECT_EQ(Opened(quorvel.Get("JBAInputUserPasswordTextEditTicket")), "(not a storage blob)");
}

TEST(AccountingPanel, InputWindowAtPrintTime)
{
    TempDir scratch;
    struct Case {
        std::string prompt;
        bool okPressed;
        bool shown;  // the input window
        bool prints;
    };
    const std::vector<Case> cases = {
        {"UserID_AccountID", false, true, false},  // case 1, Cancel stops
        {"UserID_AccountID", true, true, true},
        {"None", true, false, true},  // case 8: filled silently
    };
    for (const Case& c : cases) {
        AccountingPanel shown(WithSelectID(scratch, c.prompt),
                              {{"JBAInfoListReference", c.prompt == "None" ? "1" : "3"},
                               {"JBAUserInputRadioBtnReference", "1"},
                               {"JBAUserSettingRadioBtnReference", "0"},
                               {"JBAInputAccountIDTextEditReference", "PREV"}});
        bool maskedUserShown = false;
        shown.host.toolkit.ScriptModal([&](widgets::Window& window) {
            maskedUserShown = !In<widgets::TextField>(window, 4015)->IsHidden();
            Type(window, 4015, "erin");
            Type(window, 4008, "pw1234");
            Type(window, 4018, "ACC-9");
            In<widgets::Button>(window, c.okPressed ? 4001 : 4002)->UserClick();
        });
        EXPECT_EQ(shown.panel->shouldPrint(), c.prints) << c.prompt;
        EXPECT_EQ(shown.host.toolkit.PendingModalScripts() == 0, c.shown) << c.prompt;
        if (c.shown && c.prints) {
            EXPECT_TRUE(maskedUserShown);
            // The masked fields write under the plain keys.
            EXPECT_EQ(shown.Get("JBAInputUserIDTextEditTicket"), "erin");
            EXPECT_EQ(shown.Get("JBAInputAccountIDTextEditTicket"), "ACC-9");
            EXPECT_EQ(Opened(shown.Get("JBAInputUserPasswordTextEditTicket")), "pw1234");
        }
        if (!c.shown) {
            EXPECT_EQ(shown.Get("JBAInputAccountIDTextEditTicket"), "");  // case 8 sends no account
        }
    }
}

TEST(AccountingPanel, ShowPreviousInputOffEmptiesTheInputWindow)
{
    TempDir scratch;
    AccountingPanel shown(WithSelectID(scratch, "UserID_AccountID"), {{"JBAInfoListReference", "3"},
                                                                      {"JBAInputUserIDTextEditReference", "frank"},
                                                                      {"JBAUserInputRadioBtnReference", "1"},
                                                                      {"JBAUserSettingRadioBtnReference", "0"}});
    shown.Settings([](widgets::Window& window) {
        In<widgets::CheckBox>(window, kShowPrevious)->UserClick();
        In<widgets::Button>(window, kOK)->UserClick();
    });
    EXPECT_EQ(shown.Get("JBAInputUserIDTextEditReference"), "");
    std::string seen = "(not shown)";
    shown.host.toolkit.ScriptModal([&](widgets::Window& window) {
        seen = In<widgets::TextField>(window, 4015)->Text();
        In<widgets::Button>(window, 4002)->UserClick();
    });
    EXPECT_FALSE(shown.panel->shouldPrint());
    EXPECT_EQ(seen, "");
}

}  // namespace
}  // namespace zlk::test
