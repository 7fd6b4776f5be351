// Text fields typed into as a person would: the key-by-key filter, the width
// limit, validation on OK with its alert, custom PPD choices and the ticket.
#include <gtest/gtest.h>

#include "dialog/framework/controls.h"
#include "dialog/framework/printpanel.h"
#include "dialog/framework/textedit.h"
#include "helpers.h"
#include "platform/system/bundle.h"

namespace zlk::framework::test {
namespace {

using widgets::HeadlessToolkit;

constexpr char kTicket[] = "com.zelko.jt.printsettings.pdf.ww.SeparatorPageTicket";
const AccessInfo kAccess{kDataTypeText, kDataTypeText, kTicket, nullptr};
const ppd::TextEditFilterData kSeparatorFilter{
    {3, {{{0x20, 0x20}, {0x2C, 0x2C}, {0x30, 0x39}}}},
    {3, {{{0x20, 0x20}, {0x2C, 0x2C}, {0x30, 0x39}}}},
    "Message22c",
};
// Digits, a point, and anything beyond ASCII.
const ppd::TextEditFilterData kMarginFilter{
    {2, {{{0x2E, 0x2E}, {0x30, 0x39}}}},
    {3, {{{0x2E, 0x2E}, {0x30, 0x39}, {0x3000, 0xFFEF}}}},
    "Message22c",
};

TextIniData Ini(int minWidth, int maxWidth, const char* initial = "", const char* def = "")
{
    TextIniData ini;
    std::strncpy(ini.initialText, initial, sizeof ini.initialText - 1);
    std::strncpy(ini.defaultText, def, sizeof ini.defaultText - 1);
    ini.minWidth = minWidth;
    ini.maxWidth = maxWidth;
    return ini;
}

class framework_TextEdit : public ::testing::Test {
protected:
    framework_TextEdit() : host("controls.ppd"), panel(&host)
    {
        platform::OSStatus status = 0;
        bundle = platform::Bundle::Open(DialogFixture("bundle"), &status);
        EXPECT_TRUE(bundle) << status;
        auto owned = std::make_unique<PopupWinInPanel>(toolkit.CreateWindow("", {0, 0, 300, 200}), "Margin Title");
        window = owned.get();
        panel.CreatePanel(view.get());
        panel.RunTimeAddNewWindow(std::move(owned));
        panel.SetCurrentPrintSettings(&settings, host.ppdFile(), &host, host.printSession());
    }

    template <class Control, class... Args>
    Control& Add(Args&&... args)
    {
        auto control = std::make_unique<Control>(std::forward<Args>(args)...);
        Control& raw = *control;
        window->RunTimeAddNewControl(std::move(control));
        return raw;
    }
    widgets::TextField& NewField(int tag)
    {
        return window->GetWindow()->Content().Add(toolkit.CreateTextField(tag, {}));
    }
    void AddButtons()
    {
        auto& content = window->GetWindow()->Content();
        Add<WindowOKButton>(&content.Add(toolkit.CreateButton(1, "OK", {})), "OK", window);
        Add<WindowCancelButton>(&content.Add(toolkit.CreateButton(2, "Cancel", {})), "Cancel", window);
        Add<WindowDefaultButton>(&content.Add(toolkit.CreateButton(3, "Default", {})), "Default", window);
    }
    void Start() { panel.InitializeUserPane(bundle.get(), host.ppdFile()); }
    // A window field with the separator filter and the window's three
    // buttons, everything initialised.
    std::pair<widgets::TextField&, TextEditCtrl&> StartSeparatorField(int tag, const TextIniData& ini)
    {
        auto& field = NewField(tag);
        auto& control = Add<TextEditCtrl>(&field, &ini, nullptr, &kAccess, kPreferencesCurrentUser, &kSeparatorFilter);
        AddButtons();
        Start();
        return {field, control};
    }

    HeadlessToolkit toolkit;
    RefusingHost host;
    std::unique_ptr<widgets::View> view = toolkit.CreateView();
    platform::PMPrintSettings settings;
    std::shared_ptr<const platform::Bundle> bundle;
    TestPanel panel;
    PopupWinInPanel* window = nullptr;
};

// Typing into a field, keystroke run by keystroke run: whether the field
// takes each run, and what it shows at the end. Every refusal beeps once.
struct TypingCase {
    const char* name;
    const ppd::TextEditFilterData* filter;
    int maxWidth;
    std::vector<std::pair<std::string, bool>> typedAndTaken;
    std::string shown;
};

TEST_F(framework_TextEdit, FieldsTakeOnlyFilteredTextWithinTheirWidth)
{
    const std::vector<TypingCase> cases = {
        {"separator: digits, commas and spaces only",
         &kSeparatorFilter,
         99,
         {{"1, 3", true}, {"a", false}, {",12", true}},
         "1, 3,12"},
        {"margin: width 4 takes 12.7 and no fifth character",
         &kMarginFilter,
         4,
         {{"12.7", true}, {"5", false}},
         "12.7"},
        {"margin: two full-width digits already have width 4",
         &kMarginFilter,
         4,
         {{"\xEF\xBC\x91\xEF\xBC\x92", true}, {"1", false}},
         "\xEF\xBC\x91\xEF\xBC\x92"},
    };
    std::vector<TextIniData> inis;
    std::vector<widgets::TextField*> fields;
    inis.reserve(cases.size());
    for (const TypingCase& c : cases) {
        inis.push_back(Ini(1, c.maxWidth));
        fields.push_back(&NewField(10 + static_cast<int>(fields.size())));
        Add<TextEditCtrl>(fields.back(), &inis.back(), nullptr, &kAccess, kPreferencesCurrentUser, c.filter);
    }
    Start();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        widgets::TextField& field = *fields[i];
        for (const auto& [typed, taken] : cases[i].typedAndTaken) {
            const int beeps = toolkit.BeepCount();
            EXPECT_EQ(field.UserType(typed), taken) << typed;
            EXPECT_EQ(toolkit.BeepCount(), beeps + (taken ? 0 : 1));
            if (!taken) {
                EXPECT_EQ(field.LastRefusal(), "String too long.");
            }
        }
        EXPECT_EQ(field.Text(), cases[i].shown);
    }
}

TEST_F(framework_TextEdit, OKShowsTheFieldsMessageAndKeepsTheWindowOpen)
{
    auto [field, control] = StartSeparatorField(12, Ini(3, 99, "", "1"));
    EXPECT_EQ(window->GetWindow()->Title(), "Margin (Model 2)") << "the PPD names the string table";
    control.SetControlValueToDefault();

    toolkit.ScriptModal([&](widgets::Window& w) {
        EXPECT_EQ(field.Text(), "1");
        field.UserType("2");  // "12": narrower than the minimum of 3
        w.Find<widgets::Button>(1)->UserClick();
        EXPECT_TRUE(w.IsOpen());
        field.UserType(",4");
        w.Find<widgets::Button>(1)->UserClick();
    });
    window->ActivateWindow();
    ASSERT_EQ(toolkit.Alerts().size(), 1u);
    const auto& alert = toolkit.Alerts()[0].alert;
    EXPECT_EQ(alert.informative, "Page numbers, please.");
    EXPECT_EQ(alert.buttons, std::vector<std::string>{"Close"}) << "the Alert OK Btn key";
    EXPECT_EQ(alert.message, "");
    EXPECT_EQ(alert.style, widgets::AlertStyle::Informational);
    EXPECT_TRUE(toolkit.ModalRuns().back().stopped);
    EXPECT_EQ(control.CommittedText(), "12,4");

    EXPECT_TRUE(control.SetValueToTicket(&settings, false));
    EXPECT_EQ(settings.Find(kTicket)->value, "/49/50/44/52") << "the comma needs the slash-decimal form";
}

TEST_F(framework_TextEdit, EmptyPlainFieldPassesButEmptyPPDFieldDoesNot)
{
    const TextIniData ini = Ini(1, 32);
    auto& plainField = NewField(13);
    auto& ppdField = NewField(14);
    auto& plain = Add<TextEditCtrl>(&plainField, &ini, nullptr, &kAccess, kPreferencesCurrentUser, nullptr);
    auto& custom =
        Add<KPPDTEXTEDITCTRL>(&ppdField, "ZLKStampText", &ini, nullptr, nullptr, kPreferencesCurrentUser, nullptr);
    AddButtons();
    Start();
    window->SycValueFromUI();
    EXPECT_TRUE(plain.InvalidateData());
    EXPECT_FALSE(custom.InvalidateData());
    EXPECT_TRUE(toolkit.Alerts().empty()) << "the PPD field shows no alert";

    // Hidden or disabled, it is not checked; nor while a release has left
    // its count below zero.
    custom.Disable();
    EXPECT_TRUE(custom.InvalidateData());
    custom.Enable();
    custom.Enable();
    EXPECT_EQ(custom.ConstrainCount(), -1);
    EXPECT_TRUE(custom.InvalidateData());
    custom.ResetStatus();

    toolkit.ScriptModal([&](widgets::Window& w) {
        w.Find<widgets::Button>(1)->UserClick();  // refused: the PPD field is empty
        w.Find<widgets::Button>(2)->UserClick();
    });
    window->ActivateWindow();
    EXPECT_TRUE(toolkit.ModalRuns().back().stopped);
    EXPECT_EQ(host.Marked("ZLKStampText"), "None") << "Cancel marks nothing";
}

TEST_F(framework_TextEdit, PPDFieldSendsCustomChoiceAndReadsSlashDecimalTickets)
{
    static const AccessInfo kStampAccess{kDataTypeText, kDataTypeText, "com.zelko.jt.printsettings.pdf.ww.StampTicket",
                                         nullptr};
    const TextIniData ini = Ini(1, 32);
    auto& field = NewField(15);
    auto& custom =
        Add<KPPDTEXTEDITCTRL>(&field, "ZLKStampText", &ini, nullptr, &kStampAccess, kPreferencesCurrentUser, nullptr);
    AddButtons();
    Start();
    EXPECT_STREQ(static_cast<const char*>(custom.GetDefaultDataBlk()), "None") << "the PPD default";

    toolkit.ScriptModal([&](widgets::Window& w) {
        field.UserType("A4X");
        w.Find<widgets::Button>(1)->UserClick();
    });
    window->ActivateWindow();
    EXPECT_EQ(host.asked.back(), "ZLKStampText=Custom.A4X");
    EXPECT_EQ(custom.CommittedText(), "A4X");

    settings.Set("com.zelko.jt.printsettings.pdf.ww.StampTicket", "/49/44/50", false);
    EXPECT_TRUE(custom.GetValueToPreset());
    EXPECT_EQ(field.Text(), "1,2");
    EXPECT_EQ(custom.CommittedText(), "1,2");

    // Hidden, its preference is not stored.
    static const AccessInfo kPref{kDataTypeText, 0, nullptr, "com.zelko.jt.printsettings.pdf.ww.StampReference"};
    auto& other =
        Add<KPPDTEXTEDITCTRL>(&NewField(16), "ZLKStampText", &ini, nullptr, &kPref, kPreferencesCurrentUser, nullptr);
    other.InitializeCtrl(bundle.get(), host.ppdFile());
    other.Hide();
    EXPECT_TRUE(other.SetValueToPreferenceWithPrinterSettings());
    EXPECT_EQ(settings.Find("com.zelko.jt.printsettings.pdf.ww.StampReference"), nullptr);
}

TEST_F(framework_TextEdit, RestoreDefaultShowsDefaultsAndLeavesTheWindowOpen)
{
    auto [field, control] = StartSeparatorField(17, Ini(1, 10, "", "5"));
    toolkit.ScriptModal([&](widgets::Window& w) {
        field.UserType("77");
        w.Find<widgets::Button>(3)->UserClick();
        EXPECT_EQ(field.Text(), "5");
        EXPECT_TRUE(w.IsOpen());
        w.Find<widgets::Button>(2)->UserClick();
    });
    window->ActivateWindow();
    EXPECT_EQ(control.CommittedText(), "") << "Cancel commits nothing";

    control.CorrectCtrlUI();
    EXPECT_EQ(field.Text(), "");
    EXPECT_EQ(control.GetDataBlkSize(), 0u);
}

TEST_F(framework_TextEdit, RunTimeLaidOutPPDFieldShowsThePPDDefault)
{
    const TextIniData ini = Ini(1, 32);
    auto& box = window->GetWindow()->Content().Add(toolkit.CreateGroupBox(800, "Stamp", {0, 0, 300, 200}));
    auto& label = box.Add(toolkit.CreateLabel(801, "", {}));
    auto& ext =
        Add<KPPDTEXTEDITCONTROLEXT>(box, "ZLKStampText", &ini, nullptr, nullptr, kPreferencesCurrentUser,
                                    &kSeparatorFilter, 250, 100, &label, 1, 0, PPDCtrlPositionData{5, 10, 5, 2}, 802);
    Start();
    auto* field = box.Find<widgets::TextField>(802);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->Frame(), (widgets::Rect{105, 40, 150, 25}));
    EXPECT_EQ(ext.GetControlPosition(), field->Frame());
    EXPECT_EQ(field->Text(), "None");
    EXPECT_EQ(label.Title(), "Stamp Text:");
    EXPECT_FALSE(field->UserType("x")) << "the formatter is installed";
    ext.SetControlValueToDefault();
    EXPECT_EQ(ext.CommittedText(), "None");
}

}  // namespace
}  // namespace zlk::framework::test
