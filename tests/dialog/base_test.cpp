// Controls and panels at their interfaces: counted constraints, ticket and
// preference storage, control lookup, and set-up windows driven modally.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog/framework/printpanel.h"
#include "filter/options.h"
#include "helpers.h"
#include "secblob/secblob.h"

namespace zlk::framework::test {
namespace {

using platform::PMPrintSettings;
using widgets::HeadlessToolkit;

constexpr char kKey[] = "com.zelko.jt.printsettings.pdf.ww.TestTicket";
constexpr char kPrefKey[] = "com.zelko.jt.printsettings.pdf.ww.TestReference";
constexpr char kPasswordTicket[] = "com.zelko.jt.printsettings.pdf.ww.JBAUserPasswordTextEditTicket";
constexpr char kPasswordPref[] = "com.zelko.jt.printsettings.pdf.ww.JBAUserPasswordTextEditReference";
const AccessInfo kAccess{kDataTypeText, kDataTypeText, kKey, kPrefKey};
const AccessInfo kPasswordAccess{kDataTypeText, kDataTypeText, kPasswordTicket, kPasswordPref};

std::string Ticket(const PMPrintSettings& settings, const char* key)
{
    const auto* entry = settings.Find(key);
    return entry ? entry->value : std::string("<absent>");
}

class framework_Base : public ::testing::Test {
protected:
    framework_Base() : view(toolkit.CreateView()) { panel.CreatePanel(view.get()); }

    // A text field in the panel view with its control added and initialised.
    TextValueControl& AddText(int tag, const AccessInfo* access = &kAccess, const ConstraintInfo* constraint = nullptr,
                              const char* user = kPreferencesCurrentUser)
    {
        auto& field = view->Add(toolkit.CreateTextField(tag, {}));
        auto control = std::make_unique<TextValueControl>(&field, access, constraint, user);
        auto* raw = control.get();
        panel.RunTimeAddNewControl(std::move(control));
        raw->InitializeCtrl(nullptr, nullptr);
        return *raw;
    }

    HeadlessToolkit toolkit;
    std::unique_ptr<widgets::View> view;
    PMPrintSettings settings;
    TestPanel panel;
};

TEST_F(framework_Base, ATargetStaysDisabledWhileAnyConstraintHoldsIt)
{
    static const ControlID kTarget = 30;
    static const ControlID* const kList[] = {&kTarget, nullptr};
    static const IdentifierList kLists[] = {kList};
    static const ConstraintInfo kConstraint{kLists, {}, {}};
    auto& target = AddText(kTarget);
    panel.RunTimeAddNewControl(
        std::make_unique<SwitchControl>(&view->Add(toolkit.CreateCheckBox(10, "a", {})), &kConstraint));
    panel.RunTimeAddNewControl(
        std::make_unique<SwitchControl>(&view->Add(toolkit.CreateCheckBox(11, "b", {})), &kConstraint));
    auto* first = panel.GetPanelControl(10);
    auto* second = panel.GetPanelControl(11);

    first->DisableControlConstrains();
    second->DisableControlConstrains();
    EXPECT_EQ(target.ConstrainCount(), 2);
    first->EnableControlConstrains();
    EXPECT_FALSE(target.GetControlPtr()->IsEnabled()) << "one constraint still holds it";
    second->EnableControlConstrains();
    EXPECT_TRUE(target.GetControlPtr()->IsEnabled());
    EXPECT_EQ(target.ConstrainCount(), 0);

    // Releasing in the other order, and hiding, count the same way.
    second->HideControlConstrains(kList);
    first->HideControlConstrains(kList);
    second->ShowControlConstrains(kList);
    EXPECT_TRUE(target.GetControlPtr()->IsHidden());
    first->ShowControlConstrains(kList);
    EXPECT_FALSE(target.GetControlPtr()->IsHidden());
}

TEST_F(framework_Base, EnableBelowZeroLeavesTheNextDisableWithoutEffect)
{
    auto& control = AddText(40);
    control.Enable();
    EXPECT_EQ(control.ConstrainCount(), -1);
    EXPECT_TRUE(control.GetControlPtr()->IsEnabled());
    control.Disable();
    EXPECT_EQ(control.ConstrainCount(), 0);
    EXPECT_TRUE(control.GetControlPtr()->IsEnabled());
    control.Disable();
    EXPECT_FALSE(control.GetControlPtr()->IsEnabled());

    control.Hide();
    control.ResetStatus();
    EXPECT_EQ(control.ConstrainCount(), 0);
    EXPECT_EQ(control.HideCount(), 0);
    EXPECT_TRUE(control.GetControlPtr()->IsEnabled());
    EXPECT_FALSE(control.GetControlPtr()->IsHidden());
}

TEST_F(framework_Base, TicketTextsWithSpecialCharactersTravelInSlashDecimalForm)
{
    auto& control = AddText(1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"O'Neil", "/79/39/78/101/105/108"},
        {"/x", "/47/120"},
        {"abc", "abc"},
        {"a,b", "/97/44/98"},
        {"c:\\", "/99/58/92"},
        {"", ""},
    };
    for (const auto& [typed, written] : cases) {
        control.Commit(typed);
        EXPECT_TRUE(control.SetValueToTicket(&settings, true));
        EXPECT_EQ(Ticket(settings, kKey), written) << typed;
    }
    EXPECT_TRUE(settings.Find(kKey)->locked) << "the caller's lock flag is passed on";

    control.outputNull = true;
    control.Commit("O'Neil");
    EXPECT_TRUE(control.SetValueToTicket(&settings, false));
    EXPECT_EQ(Ticket(settings, kKey), "");
    control.Commit("secret");
    EXPECT_TRUE(control.SetValueToTicketWithEnc(&settings, false));
    EXPECT_EQ(Ticket(settings, kKey), "");
}

TEST_F(framework_Base, ControlsWithoutTicketKeyWriteNothing)
{
    static const AccessInfo kPrefOnly{0, 0, nullptr, kPrefKey};
    auto& control = AddText(2, &kPrefOnly);
    control.Commit("x");
    EXPECT_FALSE(control.SetValueToTicket(&settings, false));
    EXPECT_FALSE(control.SetValueToTicketWithEnc(&settings, false));
    EXPECT_TRUE(settings.empty());
}

TEST_F(framework_Base, EncryptedTicketValueOpensInTheFilter)
{
    auto& password = AddText(50, &kPasswordAccess);
    auto& plain = AddText(51);
    password.Commit("pass'word");
    plain.Commit("pass'word");
    const std::vector<widgets::Widget*> encrypt = {password.GetControlPtr()};
    EXPECT_EQ(panel.SetValueToTicket(&settings, false, &encrypt), 0);

    EXPECT_EQ(Ticket(settings, kKey), ToSlashDecimal("pass'word")) << "not listed: written plain";
    const std::string stored = Ticket(settings, kPasswordTicket);
    ASSERT_FALSE(stored.empty());
    auto blob = secblob::SecBlobEnc_Base64_Decode_Data(stored.c_str());
    ASSERT_TRUE(blob);
    std::vector<std::uint8_t> plainBytes(blob->size());
    std::size_t plainLength = plainBytes.size();
    ASSERT_EQ(secblob::Decode_Storage(blob->data(), blob->size(), plainBytes.data(), &plainLength), 0);
    EXPECT_EQ(std::string(plainBytes.begin(), plainBytes.begin() + static_cast<long>(plainLength)), "pass'word");

    // The filter's reader turns the storage blob into the printer's blob.
    cups_option_t* options = nullptr;
    int count = cupsAddOption(kPasswordTicket, stored.c_str(), 0, &options);
    char field[1024] = {};
    EXPECT_EQ(
        filter::GetTicketPasswordStringConvertedToEncryption(kPasswordTicket, count, options, field, sizeof field), 1);
    EXPECT_GT(std::strlen(field), 0u);
    cupsFreeOptions(count, options);

    // Every byte is encrypted, whatever the characters.
    const std::string accented = "p\xC3\xA4ss-\xE3\x81\x82";
    password.Commit(accented);
    EXPECT_TRUE(password.SetValueToTicket(&settings, false, encrypt));
    std::string opened;
    int status = 0;
    ASSERT_TRUE(DecryptFromStorageText(Ticket(settings, kPasswordTicket), opened, status)) << status;
    EXPECT_EQ(opened, accented);

    // An empty password is written empty, not encrypted.
    password.Commit("");
    EXPECT_TRUE(password.SetValueToTicket(&settings, false, encrypt));
    EXPECT_EQ(Ticket(settings, kPasswordTicket), "");
}

TEST_F(framework_Base, PreferencesLiveInThePrintSettingsUnderTheirKey)
{
    panel.SetCurrentPMPrintSettings(&settings);
    auto& control = AddText(60);
    control.Commit("before");
    EXPECT_FALSE(control.GetValueFromPreferenceWithPrinterSettings()) << "never stored";
    EXPECT_EQ(control.CommittedText(), "before");
    EXPECT_EQ(panel.GetValueFromPreferenceWithPrinterSettings(), 0);
    EXPECT_EQ(control.CommittedText(), "dflt") << "the panel applies the default";

    control.Commit("kept, value");
    EXPECT_EQ(panel.SetValueToPreferenceWithPrinterSettings(), 0);
    EXPECT_EQ(Ticket(settings, kPrefKey), "kept, value");
    EXPECT_FALSE(settings.Find(kPrefKey)->locked);
    control.Commit("other");
    EXPECT_TRUE(control.GetValueFromPreferenceWithPrinterSettings());
    EXPECT_EQ(control.CommittedText(), "kept, value");

    // The per-printer domain is inactive on current systems.
    EXPECT_TRUE(control.SetValueToPreference());
    EXPECT_FALSE(control.GetValueFromPreference());
}

TEST_F(framework_Base, PasswordPreferencesAreStoredEncrypted)
{
    panel.SetCurrentPMPrintSettings(&settings);
    auto& control = AddText(61, &kPasswordAccess);
    control.Commit("1234");
    EXPECT_TRUE(control.SetValueToPreferenceWithPrinterSettings());
    const std::string stored = Ticket(settings, kPasswordPref);
    EXPECT_NE(stored, "1234");
    std::string opened;
    int status = 0;
    ASSERT_TRUE(DecryptFromStorageText(stored, opened, status));
    EXPECT_EQ(opened, "1234");
    control.Commit("");
    EXPECT_TRUE(control.GetValueFromPreferenceWithPrinterSettings());
    EXPECT_EQ(control.CommittedText(), "1234");

    settings.Set(kPasswordPref, "not a blob!", false);
    EXPECT_FALSE(control.GetValueFromPreferenceWithPrinterSettings());
    settings.Set(kPasswordPref, "", false);
    EXPECT_FALSE(control.GetValueFromPreferenceWithPrinterSettings());
}

TEST(framework_PasswordKeys, OnlyThePasswordReferencesUnderTheTicketPrefixAreEncrypted)
{
    const std::vector<std::pair<const char*, bool>> keys = {
        {"com.zelko.jt.printsettings.pdf.ww.PrintTypePasswordReference", true},
        {"com.zelko.jt.printsettings.pdf.ww.JBAInputStoragePasswordTextEditReference", true},
        {"com.zelko.jt.printsettings.pdf.ww.JBAUserPasswordTextEditTicket", false},
        {"com.zelko.jt.printsettings.pdf.ww.", false},
        {"PrintTypePasswordReference", false},
        {"com.zelko.jt.printsettings.pdf.ww.PrintTypePasswordReferenceX", false},
        {"com.zelko.jt.printsettings.pdf.wwPrintTypePasswordReference", false},
        {nullptr, false},
    };
    for (const auto& [key, encrypted] : keys) {
        EXPECT_EQ(IsPasswordPreferenceKey(key), encrypted) << (key ? key : "(null)");
    }
}

TEST_F(framework_Base, AnyUserPreferencesNeedAnAdministrator)
{
    panel.SetCurrentPMPrintSettings(&settings);
    auto& anyUser = AddText(62, &kAccess, nullptr, kPreferencesAnyUser);
    anyUser.Commit("shared");
    panel.admin = false;
    EXPECT_TRUE(anyUser.SetValueToPreferenceWithPrinterSettings()) << "reported as success";
    EXPECT_EQ(settings.Find(kPrefKey), nullptr) << "but nothing stored";
    panel.admin = true;
    EXPECT_TRUE(anyUser.SetValueToPreferenceWithPrinterSettings());
    EXPECT_EQ(Ticket(settings, kPrefKey), "shared");

    // Without settings the write succeeds and the read fails.
    panel.SetCurrentPMPrintSettings(nullptr);
    EXPECT_TRUE(anyUser.SetValueToPreferenceWithPrinterSettings());
    EXPECT_FALSE(anyUser.GetValueFromPreferenceWithPrinterSettings());
}

TEST_F(framework_Base, ControlsWithoutWidgetAreNotAdded)
{
    AddText(1);
    EXPECT_EQ(panel.RunTimeAddNewControl(std::make_unique<TextValueControl>(nullptr, &kAccess)), 1u);
    EXPECT_EQ(panel.ControlCount(), 1u);
    EXPECT_EQ(panel.getCtrlGroupArrayRef().size(), 1u);
}

TEST_F(framework_Base, PresetTakesTheTicketOrTheDefault)
{
    panel.SetCurrentPMPrintSettings(&settings);
    auto& present = AddText(1);
    static const AccessInfo kOther{0, 0, "com.zelko.jt.printsettings.pdf.ww.Absent", nullptr};
    auto& absent = AddText(2, &kOther);
    settings.Set(kKey, "from ticket", false);
    absent.Commit("stale");
    EXPECT_TRUE(panel.GetValueFromPreset());
    EXPECT_EQ(present.CommittedText(), "from ticket");
    EXPECT_EQ(absent.CommittedText(), "dflt");
}

// A window that logs the whole-panel operations reaching it and gives the
// answer the test sets.
class ScriptedWindow : public PopupWinInPanel {
public:
    ScriptedWindow(HeadlessToolkit& toolkit, std::vector<std::string>& log, std::string name)
        : PopupWinInPanel(toolkit.CreateWindow("", {0, 0, 100, 100}), "Title"),
          log_(log),
          name_(std::move(name))
    {}
    int Open() override { return Answer("Open"); }
    int SetValueToPreferenceWithPrinterSettings() override { return Answer("Store"); }
    bool GetValueFromPreset() override { return Answer("Preset") == 0; }
    bool SetCurrentPrinterString(platform::PMPrintSession*) override { return Answer("Printer") == 0; }

    int answer = 0;

private:
    int Answer(const char* operation)
    {
        log_.push_back(name_ + "." + operation);
        return answer;
    }
    std::vector<std::string>& log_;
    std::string name_;
};

TEST_F(framework_Base, WindowsAreVisitedInOrderUntilOneReportsFailure)
{
    panel.SetCurrentPMPrintSettings(&settings);
    std::vector<std::string> log;
    auto first = std::make_unique<ScriptedWindow>(toolkit, log, "first");
    auto second = std::make_unique<ScriptedWindow>(toolkit, log, "second");
    ScriptedWindow& failing = *first;
    panel.RunTimeAddNewWindow(std::move(first));
    panel.RunTimeAddNewWindow(std::move(second));
    EXPECT_EQ(panel.WindowCount(), 2u);
    platform::PMPrintSession session("queue-1");

    struct Operation {
        const char* name;
        std::function<int()> run;  // the panel's result, bools as 1 and 0
    };
    const std::vector<Operation> operations = {
        {"Open", [&] { return panel.Open(); }},
        {"Store", [&] { return panel.SetValueToPreferenceWithPrinterSettings(); }},
        {"Preset", [&] { return panel.GetValueFromPreset() ? 1 : 0; }},
        {"Printer", [&] { return panel.SetCurrentPrinterString(&session) ? 1 : 0; }},
    };
    // name, panel result while every window succeeds, and once the first fails.
    const std::map<std::string, std::pair<int, int>> results = {
        {"Open", {0, 0}}, {"Store", {0, 7}}, {"Preset", {1, 1}}, {"Printer", {1, 0}}};
    for (const Operation& operation : operations) {
        const std::string name = operation.name;
        failing.answer = 0;
        log.clear();
        EXPECT_EQ(operation.run(), results.at(name).first) << name;
        EXPECT_EQ(log, (std::vector<std::string>{"first." + name, "second." + name}));
        failing.answer = 7;
        log.clear();
        EXPECT_EQ(operation.run(), results.at(name).second) << name;
        EXPECT_EQ(log, std::vector<std::string>{"first." + name}) << "the walk stops after the failing window";
    }
}

TEST_F(framework_Base, WithoutWindowsTheLastControlsStoreDecides)
{
    panel.SetCurrentPMPrintSettings(&settings);
    // A control never initialised has no value block: its store fails.
    auto& unready = view->Add(toolkit.CreateTextField(71, {}));
    panel.RunTimeAddNewControl(std::make_unique<TextValueControl>(&unready, &kAccess));
    AddText(72).Commit("stored");
    EXPECT_EQ(panel.SetValueToPreferenceWithPrinterSettings(), 0) << "the last control stored";
    auto& last = view->Add(toolkit.CreateTextField(73, {}));
    panel.RunTimeAddNewControl(std::make_unique<TextValueControl>(&last, &kAccess));
    EXPECT_EQ(panel.SetValueToPreferenceWithPrinterSettings(), 1) << "the last control failed";
    EXPECT_EQ(Ticket(settings, kPrefKey), "stored") << "every control was asked";
}

class framework_Window : public framework_Base {
protected:
    framework_Window()
    {
        auto owned = std::make_unique<PopupWinInPanel>(toolkit.CreateWindow("", {0, 0, 300, 200}), "Margin Title");
        window = owned.get();
        panel.RunTimeAddNewWindow(std::move(owned));
        auto& content = window->GetWindow()->Content();
        for (int tag : {101, 102}) {
            auto& field = content.Add(toolkit.CreateTextField(tag, {}));
            auto control = std::make_unique<TextValueControl>(&field, &kAccess);
            fields.push_back(control.get());
            window->RunTimeAddNewControl(std::move(control));
        }
        auto& ok = content.Add(toolkit.CreateButton(1, "OK", {}));
        ok.SetAction([this](widgets::Widget&) { okResult = window->OKWindow(); });
        auto& cancel = content.Add(toolkit.CreateButton(2, "Cancel", {}));
        cancel.SetAction([this](widgets::Widget&) { window->CancelWindow(nullptr); });
        panel.InitializeUserPane(nullptr, nullptr);
        fields[0]->Commit("one");
        fields[1]->Commit("two");
    }

    widgets::TextField& Field(widgets::Window& w, int tag) { return *w.Find<widgets::TextField>(tag); }

    PopupWinInPanel* window = nullptr;
    std::vector<TextValueControl*> fields;
    bool okResult = false;
};

TEST_F(framework_Window, LookupReachesControlsOfChildWindowsLast)
{
    auto& own = AddText(101);  // the same identifier in the panel itself wins
    EXPECT_EQ(panel.GetPanelControl(101), &own);
    EXPECT_EQ(panel.GetPanelControl(102), fields[1]);
    EXPECT_EQ(panel.GetPanelControl(999), nullptr);
    EXPECT_EQ(window->GetParentWnd(), &panel);
}

TEST_F(framework_Window, OKCommitsTypedValues)
{
    toolkit.ScriptModal([this](widgets::Window& w) {
        EXPECT_EQ(Field(w, 101).Text(), "one") << "the window shows the committed values";
        Field(w, 101).UserClear();
        Field(w, 101).UserType("uno");
        w.Find<widgets::Button>(1)->UserClick();
    });
    window->ActivateWindow();
    EXPECT_TRUE(okResult);
    EXPECT_TRUE(toolkit.ModalRuns().back().stopped);
    EXPECT_FALSE(window->GetWindow()->IsOpen());
    EXPECT_TRUE(window->IsActived());
    EXPECT_EQ(fields[0]->CommittedText(), "uno");
    EXPECT_EQ(fields[1]->CommittedText(), "two");
}

TEST_F(framework_Window, OKRefusedByOneControlKeepsTheWindowOpenAndCancelKeepsValues)
{
    fields[1]->acceptValue = false;
    toolkit.ScriptModal([this](widgets::Window& w) {
        Field(w, 101).UserClear();
        Field(w, 101).UserType("changed");
        w.Find<widgets::Button>(1)->UserClick();
        EXPECT_FALSE(okResult);
        EXPECT_TRUE(w.IsOpen()) << "refused: still open";
        w.Find<widgets::Button>(2)->UserClick();
    });
    window->ActivateWindow();
    EXPECT_TRUE(toolkit.ModalRuns().back().stopped) << "Cancel ended the run";
    EXPECT_EQ(fields[0]->CommittedText(), "one");
    EXPECT_EQ(fields[1]->CommittedText(), "two");
}

TEST_F(framework_Window, WholePanelOperationsReachWindowControls)
{
    panel.SetCurrentPMPrintSettings(&settings);
    window->SetCurrentPMPrintSettings(&settings);
    EXPECT_EQ(panel.SetValueToTicket(&settings, false), 0);
    EXPECT_EQ(Ticket(settings, kKey), "two") << "both window fields share the key; the last wins";

    platform::PMPrintSession session("queue-1");
    EXPECT_TRUE(panel.SetCurrentPrintSettings(&settings, nullptr, nullptr, &session));
    EXPECT_EQ(window->GetCurrentPrinterString(), "queue-1");
    EXPECT_EQ(window->GetCurrentPMPrintSettings(), &settings);
    platform::PMPrintSession none;
    EXPECT_FALSE(panel.SetCurrentPrintSettings(&settings, nullptr, nullptr, &none));
}

}  // namespace
}  // namespace zlk::framework::test
