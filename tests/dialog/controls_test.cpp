// The choice and number kinds driven through the headless widgets: lists and
// their constraint transitions, PPD marking through the host, check boxes,
// radio groups, steppers and the installable-option control.
#include <gtest/gtest.h>

#include "dialog/framework/controls.h"
#include "dialog/framework/printpanel.h"
#include "helpers.h"

namespace zlk::framework::test {
namespace {

using platform::PMPrintSettings;
using widgets::HeadlessToolkit;

constexpr char kTicket[] = "com.zelko.jt.printsettings.pdf.ww.TestNumberTicket";
const AccessInfo kAccess{0, 0, kTicket, nullptr};

class framework_Controls : public ::testing::Test {
protected:
    framework_Controls() : host("controls.ppd"), view(toolkit.CreateView()), panel(&host)
    {
        panel.CreatePanel(view.get());
        panel.SetCurrentPrintSettings(&settings, host.ppdFile(), &host, host.printSession());
    }

    template <class Control, class... Args>
    Control& Add(Args&&... args)
    {
        auto control = std::make_unique<Control>(std::forward<Args>(args)...);
        Control& raw = *control;
        panel.RunTimeAddNewControl(std::move(control));
        return raw;
    }
    // A plain widget-backed control for targets of constraint lists.
    BaseControl& Target(int tag)
    {
        auto& field = view->Add(toolkit.CreateTextField(tag, {}));
        return Add<TextValueControl>(&field, nullptr);
    }
    void Start() { panel.InitializeUserPane(nullptr, host.ppdFile()); }

    HeadlessToolkit toolkit;
    RefusingHost host;
    std::unique_ptr<widgets::View> view;
    PMPrintSettings settings;
    TestPanel panel;
};

const ControlID kA = 201, kB = 202, kBoth = 203;
const ControlID* const kList1[] = {&kA, &kBoth, nullptr};
const ControlID* const kList2[] = {&kB, &kBoth, nullptr};
const IdentifierList kListDisables[] = {nullptr, kList1, kList2};
const ConstraintInfo kListConstraint{kListDisables, {}, {}};
const char* const kItems[] = {"Off", "Low", "Middle", "High", nullptr};
const PopupIniData kListIni{0, 1, -1, 0, kItems};

TEST_F(framework_Controls, ListConstraintsFollowTheChoiceFromNoneAndBetweenItems)
{
    auto& list = view->Add(toolkit.CreatePopUp(100, {}));
    auto& control = Add<PopupControl>(&list, &kListIni, &kListConstraint, &kAccess, kPreferencesCurrentUser);
    auto& a = Target(kA);
    auto& b = Target(kB);
    auto& both = Target(kBoth);
    Start();
    EXPECT_EQ(list.ItemCount(), 4);
    EXPECT_EQ(list.Item(2).title, "Middle") << "untranslated keys show themselves";
    panel.SetUIDataToIniData();
    EXPECT_EQ(control.UIInt(), -1);

    ASSERT_TRUE(list.UserSelect(1));  // item 2: applies list [1], releases nothing
    EXPECT_FALSE(a.GetControlPtr()->IsEnabled());
    EXPECT_FALSE(both.GetControlPtr()->IsEnabled());
    EXPECT_TRUE(b.GetControlPtr()->IsEnabled());
    EXPECT_EQ(a.ConstrainCount(), 1);
    EXPECT_EQ(control.UIInt(), 2);

    ASSERT_TRUE(list.UserSelect(2));  // item 3: releases list [1], applies list [2]
    EXPECT_TRUE(a.GetControlPtr()->IsEnabled());
    EXPECT_FALSE(b.GetControlPtr()->IsEnabled());
    EXPECT_FALSE(both.GetControlPtr()->IsEnabled()) << "named in both lists";
    EXPECT_EQ(both.ConstrainCount(), 1);

    ASSERT_TRUE(list.UserSelect(0));
    EXPECT_TRUE(both.GetControlPtr()->IsEnabled());
    EXPECT_EQ(b.ConstrainCount(), 0);

    panel.SetValueFromUIToControl();
    EXPECT_EQ(control.CommittedInt(), 1);
    ASSERT_TRUE(list.UserSelect(3));
    panel.SetValueFromUIToControl();
    EXPECT_TRUE(control.SetValueToTicket(&settings, false));
    EXPECT_EQ(settings.Find(kTicket)->value, "4");

    // Back from the ticket: the committed value and the widget.
    settings.Set(kTicket, "2", false);
    EXPECT_TRUE(control.GetValueToPreset());
    control.SetControlValueToUI();
    EXPECT_EQ(list.SelectedIndex(), 1);
}

TEST_F(framework_Controls, PPDListMarksThroughTheHostAndShowsTheOldChoiceWhenRefused)
{
    auto& title = view->Add(toolkit.CreateLabel(301, "", {}));
    auto& list = view->Add(toolkit.CreatePopUp(300, {}));
    auto& control = Add<PPDPopupControl>(&list, "ZLKStaple", &kListIni, nullptr, nullptr, kPreferencesCurrentUser, 301);
    Start();
    ASSERT_EQ(list.ItemCount(), 4);
    EXPECT_EQ(list.Item(1).title, "Top Left");
    EXPECT_EQ(list.Item(1).key, "Left");
    EXPECT_EQ(title.Title(), "Staple:");
    EXPECT_EQ(*static_cast<const std::int32_t*>(control.GetDefaultDataBlk()), 2) << "PPD default Left";

    control.Open();
    EXPECT_EQ(list.SelectedIndex(), 1) << "the marked choice is shown";
    ASSERT_TRUE(list.UserSelect(2));
    EXPECT_EQ(host.Marked("ZLKStaple"), "Right");
    EXPECT_TRUE(control.ValueDidChange());

    host.refused.insert("ZLKStaple=Dual");
    ASSERT_TRUE(list.UserSelect(3));
    EXPECT_EQ(host.asked.back(), "ZLKStaple=Dual");
    EXPECT_EQ(list.SelectedIndex(), 2) << "back to the old choice";
    EXPECT_EQ(host.Marked("ZLKStaple"), "Right");

    // The mark, not the ticket, carries the value.
    EXPECT_TRUE(control.GetValueToPreset());
    EXPECT_EQ(control.CommittedInt(), 3);
    EXPECT_TRUE(control.SetValueToTicket(&settings, false));
    EXPECT_TRUE(settings.empty());
    SummaryDictionary summary;
    OrderArray order;
    control.GetSummaryText(summary, order);
    EXPECT_EQ(summary["Staple"], "Top Right");
    control.Disable();
    summary.clear();
    control.GetSummaryText(summary, order);
    EXPECT_TRUE(summary.empty()) << "no summary while disabled";
}

TEST_F(framework_Controls, ChoiceConflictQueryMatchesTheReferencedChoiceExactly)
{
    // controls.ppd: group 1 (General) holds PageSize, ZLKStaple (None, Left,
    // Right, Dual), ...; references past the PPD are skipped.
    ppd::XConstraintTable table = ppd::MakeXConstraintTable();
    table.emplace("ZLKBooklet:True", ppd::x_constraints{9, 0, 0});
    table.emplace("ZLKBooklet:True", ppd::x_constraints{1, 1, 9});
    table.emplace("ZLKBooklet:True", ppd::x_constraints{1, 1, 2});
    struct Query {
        const ppd::XConstraintTable* table;
        const char* key;
        const char* option;
        const char* choice;
        bool conflicted;
    };
    const std::vector<Query> queries = {
        {&table, "ZLKBooklet:True", "ZLKStaple", "Right", true},
        {&table, "ZLKBooklet:True", "ZLKStaple", "Left", false},
        {&table, "ZLKBooklet:True", "zlkstaple", "Right", false},
        {&table, "ZLKBooklet:False", "ZLKStaple", "Right", false},
        {&table, "ZLKBooklet:True", nullptr, "Right", false},
        {nullptr, "ZLKBooklet:True", "ZLKStaple", "Right", false},
    };
    for (const Query& q : queries) {
        EXPECT_EQ(PPDPopupControl::isChoiceConflicted(q.table, q.key, q.option, q.choice, host.ppdFile()), q.conflicted)
            << q.key << " " << (q.option ? q.option : "(null)") << " " << q.choice;
    }
    EXPECT_FALSE(PPDPopupControl::isChoiceConflicted(&table, "ZLKBooklet:True", "ZLKStaple", "Right", nullptr));
}

TEST_F(framework_Controls, PPDCheckBoxMapsTickedToTrueWhateverTheOrder)
{
    auto& box = view->Add(toolkit.CreateCheckBox(400, "", {}));
    auto& control = Add<PPDCheckBox>(&box, "ZLKBooklet", nullptr, nullptr, nullptr, kPreferencesCurrentUser);
    Start();
    EXPECT_EQ(box.Title(), "Booklet");
    EXPECT_EQ(*static_cast<const std::int32_t*>(control.GetDefaultDataBlk()), 0);
    control.Open();
    EXPECT_FALSE(box.IsOn());

    ASSERT_TRUE(box.UserClick());
    EXPECT_EQ(host.Marked("ZLKBooklet"), "True");
    ASSERT_TRUE(box.UserClick());
    EXPECT_EQ(host.Marked("ZLKBooklet"), "False");

    host.refused.insert("ZLKBooklet=True");
    ASSERT_TRUE(box.UserClick());
    EXPECT_FALSE(box.IsOn()) << "refused: unticked again";
    EXPECT_EQ(host.Marked("ZLKBooklet"), "False");
}

TEST_F(framework_Controls, CheckBoxAppliesAndReleasesItsStateLists)
{
    static const ControlID* const kOn[] = {&kA, nullptr};
    static const ControlID* const kOff[] = {&kB, nullptr};
    static const IdentifierList kHides[] = {kOff, kOn};
    static const ConstraintInfo kConstraint{{}, kHides, {}};
    static const CheckBoxIniData kIni{0, 1, -1, 0, "Check Title", nullptr};
    auto& box = view->Add(toolkit.CreateCheckBox(410, "", {}));
    auto& control = Add<CheckBox>(&box, &kIni, &kConstraint, &kAccess, kPreferencesCurrentUser);
    auto& a = Target(kA);
    auto& b = Target(kB);
    Start();
    panel.SetUIDataToIniData();
    panel.SetCurrentValueToUI();  // committed 0: hides the "off" list
    EXPECT_TRUE(b.GetControlPtr()->IsHidden());
    EXPECT_FALSE(a.GetControlPtr()->IsHidden());

    ASSERT_TRUE(box.UserClick());
    EXPECT_TRUE(a.GetControlPtr()->IsHidden());
    EXPECT_FALSE(b.GetControlPtr()->IsHidden());
    EXPECT_EQ(control.UIInt(), 1);

    // Restoring the default (1) shows it only while the box is enabled.
    control.Disable();
    box.SetState(0);
    control.SetDefaultValueToUI();
    EXPECT_FALSE(box.IsOn());
    control.Enable();
    control.SetDefaultValueToUI();
    EXPECT_TRUE(box.IsOn());
}

TEST_F(framework_Controls, RadioButtonsStayExclusiveThroughTheirUpdateLists)
{
    static const ControlID kFirst = 501, kSecond = 502, kFirstOnly = 510, kSecondOnly = 511;
    static const ControlID* const kUpdateSecond[] = {&kSecond, nullptr};
    static const ControlID* const kUpdateFirst[] = {&kFirst, nullptr};
    static const ControlID* const kDisFirstOff[] = {&kFirstOnly, nullptr};
    static const ControlID* const kDisSecondOff[] = {&kSecondOnly, nullptr};
    static const IdentifierList kFirstUpdates[] = {nullptr, kUpdateSecond};
    static const IdentifierList kSecondUpdates[] = {nullptr, kUpdateFirst};
    static const IdentifierList kFirstDisables[] = {kDisFirstOff, nullptr};
    static const IdentifierList kSecondDisables[] = {kDisSecondOff, nullptr};
    static const ConstraintInfo kFirstInfo{kFirstDisables, {}, kFirstUpdates};
    static const ConstraintInfo kSecondInfo{kSecondDisables, {}, kSecondUpdates};
    static const RadioButtonIniData kOnIni{0, 1, -1, 0, "Millimetres", "Unit"};
    static const RadioButtonIniData kOffIni{0, 0, -1, 0, "Inches", "Unit"};

    auto& w1 = view->Add(toolkit.CreateRadioButton(kFirst, "", {}));
    auto& w2 = view->Add(toolkit.CreateRadioButton(kSecond, "", {}));
    auto& first = Add<RadioButton>(&w1, &kOnIni, &kFirstInfo, &kAccess, kPreferencesCurrentUser);
    auto& second = Add<RadioButton>(&w2, &kOffIni, &kSecondInfo, nullptr, kPreferencesCurrentUser);
    auto& firstOnly = Target(kFirstOnly);
    auto& secondOnly = Target(kSecondOnly);
    auto group = RadioGroup::Create();
    group->RunTimeAddNewControl(&first);
    group->RunTimeAddNewControl(&second);
    Start();
    panel.GetValueFromPreset();  // no ticket: defaults, first on
    panel.SetUIDataToIniData();
    panel.SetCurrentValueToUI();
    EXPECT_TRUE(w1.IsOn());
    EXPECT_FALSE(w2.IsOn());
    EXPECT_EQ(group->GetcurRadio(), 0);
    EXPECT_TRUE(firstOnly.GetControlPtr()->IsEnabled());
    EXPECT_FALSE(secondOnly.GetControlPtr()->IsEnabled()) << "the second is off";

    ASSERT_TRUE(w2.UserClick());
    EXPECT_EQ(group->GetcurRadio(), 1);
    EXPECT_FALSE(w1.IsOn()) << "switched off through the update list";
    EXPECT_FALSE(firstOnly.GetControlPtr()->IsEnabled()) << "the first button's constraints re-applied";
    EXPECT_TRUE(secondOnly.GetControlPtr()->IsEnabled());
    EXPECT_EQ(first.UIInt(), 0);
    EXPECT_EQ(second.UIInt(), 1);

    ASSERT_TRUE(w1.UserClick());
    EXPECT_FALSE(w2.IsOn());
    EXPECT_TRUE(firstOnly.GetControlPtr()->IsEnabled());
    EXPECT_FALSE(secondOnly.GetControlPtr()->IsEnabled());
    EXPECT_EQ(first.GetAnotherRadioCtrlFromGroup(), &second);
}

TEST_F(framework_Controls, StepperWritesOnlyValuesWithinItsRange)
{
    static const StepperIniData kIni{0, 127, 0, 0, 150, 1};
    auto& stepper = view->Add(toolkit.CreateStepper(600, {}));
    auto& control = Add<LittleArray>(&stepper, &kIni, nullptr, &kAccess, kPreferencesCurrentUser, "Tab Margin");
    Start();
    EXPECT_EQ(stepper.Max(), 150);
    ASSERT_TRUE(stepper.UserSetValue(149));
    ASSERT_TRUE(stepper.UserIncrement());
    panel.SetValueFromUIToControl();
    EXPECT_TRUE(control.SetValueToTicket(&settings, false));
    EXPECT_EQ(settings.Find(kTicket)->value, "150");

    const std::int32_t above = 151;
    control.setExternalValueToData(&above, sizeof above, kValueTypeInteger);
    EXPECT_FALSE(control.SetValueToTicket(&settings, false));
    EXPECT_EQ(settings.Find(kTicket)->value, "150") << "nothing written";

    SummaryDictionary summary;
    OrderArray order;
    control.setExternalValueToData(&kIni.defaultValue, 4, kValueTypeInteger);
    control.GetSummaryText(summary, order);
    EXPECT_EQ(summary["Tab Margin"], "12.7");
}

TEST_F(framework_Controls, InstallableOptionDisablesByTheMarkedChoicesPrefix)
{
    static const ControlID* const kNeedsFinisher[] = {&kA, nullptr};
    static const InstallableConstraintPair kPairs[] = {{"None", kNeedsFinisher}, {nullptr, nullptr}};
    static const InstallableConstraintPair kFSPairs[] = {{"FS", kNeedsFinisher}, {nullptr, nullptr}};
    auto& a = Target(kA);
    panel.RunTimeAddNewInstallableControl(std::make_unique<InstallableControl>("ZLKFinisher", kPairs));
    Start();
    EXPECT_TRUE(a.GetControlPtr()->IsEnabled()) << "FS02 installed";

    InstallableControl fs("ZLKFinisher", kFSPairs);
    fs.SetParenetPanel(&panel);
    EXPECT_EQ(fs.ConstrainPanelControlFromPPD(host.ppdFile()), 1000);
    EXPECT_FALSE(a.GetControlPtr()->IsEnabled());
    panel.ResetControlStatus();
    EXPECT_TRUE(a.GetControlPtr()->IsEnabled());
    ASSERT_TRUE(host.willChangePPDOptionKeyValue("ZLKFinisher", "None"));
    panel.ResetControlStatus();
    EXPECT_FALSE(a.GetControlPtr()->IsEnabled());
}

TEST_F(framework_Controls, RunTimeLaidOutControlsTakeTheirFramesAndPPDTitles)
{
    auto& box = view->Add(toolkit.CreateGroupBox(700, "General", {0, 0, 400, 300}));
    auto& label = box.Add(toolkit.CreateLabel(701, "", {}));
    const PPDCtrlPositionData position{10.0, 20.5, 4.0, 5};
    auto& list = Add<PPDPopupControlExt>(box, 702, "ZLKStaple", nullptr, nullptr, nullptr, kPreferencesCurrentUser, 300,
                                         120, &label, 2, 0, position);
    auto& check = Add<PPDCheckBoxExt>(box, 703, "ZLKBooklet", nullptr, nullptr, nullptr, kPreferencesCurrentUser, 300,
                                      120, 3, 0, position);
    Start();
    EXPECT_EQ(list.GetControlPtr()->Frame(), (widgets::Rect{130, 107, 180, 25})) << "20.5 + 29 * 3, truncated";
    EXPECT_EQ(check.GetControlPtr()->Frame().y, 78);
    EXPECT_EQ(label.Title(), "Staple:");
    EXPECT_EQ(check.GetControlPtr()->Title(), "Booklet") << "a check box takes no colon";

    list.Disable();
    list.Hide();
    list.ResetStatus();
    EXPECT_TRUE(list.GetControlPtr()->IsEnabled());
    EXPECT_TRUE(list.GetControlPtr()->IsHidden()) << "reset does not unhide";
    list.SetControlValueToDefault();
    EXPECT_EQ(list.CommittedInt(), 2);
}

}  // namespace
}  // namespace zlk::framework::test
