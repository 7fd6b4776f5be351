// The widget layer driven as a person would: by tag, through modal scripts,
// clicks and keystrokes.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/widgets/widgets.h"

namespace zlk::widgets {
namespace {

std::size_t CodePoints(const std::string& text)
{
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

// Refuses texts longer than a maximum, as a length-limited field does.
class MaxLengthFormatter : public EditFormatter {
public:
    MaxLengthFormatter(std::size_t max, std::vector<std::string>* proposals = nullptr)
        : max_(max),
          proposals_(proposals)
    {}

    bool IsPartialStringValid(const std::string& proposed, std::string& error) override
    {
        if (proposals_ != nullptr) {
            proposals_->push_back(proposed);
        }
        if (CodePoints(proposed) > max_) {
            error = "String too long.";
            return false;
        }
        return true;
    }

private:
    std::size_t max_;
    std::vector<std::string>* proposals_;
};

// A finishing window: name field (at most 4 characters), staple check box,
// tray list whose second item is disabled, OK, Cancel, and a details button
// for a nested window.
class DialogTest : public ::testing::Test {
protected:
    enum { kOk = 1, kCancel = 2, kDetails = 4, kName = 12, kStaple = 20, kTray = 30 };

    struct Committed {
        std::string name;
        int staple = -7;
        std::string tray;
    };

    void SetUp() override
    {
        window = tk.CreateWindow("Finishing", {0, 0, 400, 300});
        View& content = window->Content();
        auto& name = content.Add(tk.CreateTextField(kName, {20, 240, 200, 22}));
        name.SetFormatter(std::make_unique<MaxLengthFormatter>(4));
        content.Add(tk.CreateCheckBox(kStaple, "Staple", {20, 200, 200, 18}));
        auto& tray = content.Add(tk.CreatePopUp(kTray, {20, 160, 200, 25}));
        tray.AddItem("Auto", "Auto");
        tray.AddItem("Tray 1", "Tray1", false);
        tray.AddItem("Tray 2", "Tray2");
        content.Add(tk.CreateButton(kOk, "OK", {300, 20, 80, 30})).SetAction([this](Widget&) {
            if (requireName && window->Find<TextField>(kName)->Text().empty()) {
                const int answer = tk.RunAlert({"", "Enter a name.", {"OK", "Print anyway"}, AlertStyle::Warning});
                if (answer != 1) {
                    return;
                }
            }
            committed = {window->Find<TextField>(kName)->Text(), window->Find<CheckBox>(kStaple)->State(),
                         window->Find<PopUp>(kTray)->SelectedKey()};
            tk.StopModal(kOk);
        });
        content.Add(tk.CreateButton(kCancel, "Cancel", {200, 20, 80, 30})).SetAction([this](Widget&) {
            tk.StopModal(kCancel);
        });
        window->SetDefaultButton(kOk);
        window->SetCancelButton(kCancel);
    }

    HeadlessToolkit tk;  // first: it outlives every widget
    std::unique_ptr<Window> window;
    Committed committed;
    bool requireName = false;
};

TEST_F(DialogTest, OkCommitsWhatThePersonEntered)
{
    tk.ScriptModal([](Window& w) {
        auto* name = w.Find<TextField>(kName);
        EXPECT_FALSE(name->UserType("12345"));
        EXPECT_EQ(name->Text(), "1234");
        EXPECT_EQ(name->LastRefusal(), "String too long.");
        EXPECT_TRUE(w.Find<CheckBox>(kStaple)->UserClick());
        EXPECT_FALSE(w.Find<PopUp>(kTray)->UserSelect(1));
        EXPECT_EQ(w.Find<PopUp>(kTray)->SelectedIndex(), 0);
        EXPECT_TRUE(w.Find<PopUp>(kTray)->UserSelect(std::string("Tray 2")));
        EXPECT_TRUE(w.Find<Button>(kOk)->UserClick());
    });

    EXPECT_EQ(tk.RunModal(*window), kOk);
    EXPECT_EQ(tk.BeepCount(), 1);
    EXPECT_EQ(committed.name, "1234");
    EXPECT_EQ(committed.staple, kStateOn);
    EXPECT_EQ(committed.tray, "Tray2");
    ASSERT_EQ(tk.ModalRuns().size(), 1u);
    EXPECT_EQ(tk.ModalRuns()[0].title, "Finishing");
    EXPECT_TRUE(tk.ModalRuns()[0].scripted);
    EXPECT_TRUE(tk.ModalRuns()[0].stopped);
    EXPECT_EQ(tk.PendingModalScripts(), 0u);
    EXPECT_EQ(tk.ModalDepth(), 0);
}

TEST_F(DialogTest, CancelCommitsNothing)
{
    tk.ScriptModal([](Window& w) {
        w.Find<TextField>(kName)->UserType("ab");
        w.Find<CheckBox>(kStaple)->UserClick();
        w.Find<Button>(kCancel)->UserClick();
    });
    EXPECT_EQ(tk.RunModal(*window), kCancel);
    EXPECT_EQ(committed.staple, -7);
    EXPECT_TRUE(tk.ModalRuns()[0].stopped);
}

TEST_F(DialogTest, ReturnAndEscapePressTheWindowsButtons)
{
    tk.ScriptModal([](Window& w) {
        w.Find<TextField>(kName)->UserType("ab");
        EXPECT_TRUE(w.UserPressReturn());
    });
    tk.ScriptModal([](Window& w) { EXPECT_TRUE(w.UserPressEscape()); });
    EXPECT_EQ(tk.RunModal(*window), kOk);
    EXPECT_EQ(committed.name, "ab");
    EXPECT_EQ(tk.RunModal(*window), kCancel);
}

TEST_F(DialogTest, RunsThatEndWithoutStopAreRecordedAsLeftOpen)
{
    tk.ScriptModal([](Window& w) { w.Find<CheckBox>(kStaple)->UserClick(); });
    EXPECT_EQ(tk.RunModal(*window), kModalResponseAbort);
    EXPECT_TRUE(window->IsOpen());
    // No script left: the run returns at once.
    EXPECT_EQ(tk.RunModal(*window), kModalResponseAbort);

    ASSERT_EQ(tk.ModalRuns().size(), 2u);
    EXPECT_TRUE(tk.ModalRuns()[0].scripted);
    EXPECT_FALSE(tk.ModalRuns()[0].stopped);
    EXPECT_FALSE(tk.ModalRuns()[1].scripted);
    EXPECT_FALSE(tk.ModalRuns()[1].stopped);
    EXPECT_FALSE(tk.StopModal()) << "no run left to stop";
}

TEST_F(DialogTest, AlertInsideTheModalRunTakesTheScriptedAnswer)
{
    requireName = true;
    tk.ScriptAlert(0);  // "OK": back to the window
    tk.ScriptAlert(1);  // "Print anyway"
    tk.ScriptModal([](Window& w) {
        w.Find<Button>(kOk)->UserClick();
        w.Find<Button>(kOk)->UserClick();
    });

    EXPECT_EQ(tk.RunModal(*window), kOk);
    ASSERT_EQ(tk.Alerts().size(), 2u);
    const auto& first = tk.Alerts()[0];
    EXPECT_EQ(first.alert.informative, "Enter a name.");
    EXPECT_EQ(first.alert.buttons, (std::vector<std::string>{"OK", "Print anyway"}));
    EXPECT_EQ(first.answer, 0);
    EXPECT_TRUE(first.scripted);
    EXPECT_EQ(first.modalDepth, 1);
    EXPECT_EQ(tk.Alerts()[1].answer, 1);
    EXPECT_EQ(committed.name, "");

    // Without an answer, or with one the alert lacks, the first button.
    tk.ScriptAlert(5);
    EXPECT_EQ(tk.RunAlert({"m", "i", {"A", "B"}}), 0);
    EXPECT_EQ(tk.RunAlert({"m", "i", {}}), 0);
    EXPECT_FALSE(tk.Alerts().back().scripted);
    EXPECT_EQ(tk.Alerts().back().modalDepth, 0);
}

TEST_F(DialogTest, NestedWindowStopsOnlyTheInnermostRun)
{
    auto details = tk.CreateWindow("Details", {0, 0, 200, 100});
    details->Content().Add(tk.CreateButton(kOk, "OK", {10, 10, 60, 25})).SetAction([this](Widget&) {
        tk.StopModal(7);
    });
    int innerResult = 0;
    window->Content().Add(tk.CreateButton(kDetails, "Details", {20, 20, 80, 30})).SetAction([&](Widget&) {
        innerResult = tk.RunModal(*details);
    });

    tk.ScriptModal([&](Window& w) {
        w.Find<Button>(kDetails)->UserClick();
        EXPECT_EQ(innerResult, 7);
        EXPECT_EQ(tk.ModalDepth(), 1);
        w.Find<Button>(kOk)->UserClick();
    });
    tk.ScriptModal([&](Window& w) {
        EXPECT_EQ(&w, details.get());
        EXPECT_EQ(tk.ModalDepth(), 2);
        w.Find<Button>(kOk)->UserClick();
    });

    EXPECT_EQ(tk.RunModal(*window), kOk);
    ASSERT_EQ(tk.ModalRuns().size(), 2u);
    EXPECT_EQ(tk.ModalRuns()[0].title, "Finishing");
    EXPECT_EQ(tk.ModalRuns()[0].depth, 1);
    EXPECT_EQ(tk.ModalRuns()[0].code, kOk);
    EXPECT_EQ(tk.ModalRuns()[1].title, "Details");
    EXPECT_EQ(tk.ModalRuns()[1].depth, 2);
    EXPECT_EQ(tk.ModalRuns()[1].code, 7);
}

class WidgetTest : public ::testing::Test {
protected:
    // Counts action calls per tag.
    Widget::Action Count()
    {
        return [this](Widget& w) { ++fired[w.Tag()]; };
    }

    HeadlessToolkit tk;
    std::unique_ptr<View> root = tk.CreateView();
    std::map<int, int> fired;
};

TEST_F(WidgetTest, RadioCellsAreExclusive)
{
    auto& group = root->Add(tk.CreateRadioGroup(40, {}));
    std::vector<int> order;
    group.SetAction([&](Widget& w) { order.push_back(w.Tag()); });
    for (int tag : {41, 42, 43}) {
        group.AddCell(tag, "cell " + std::to_string(tag), {}).SetAction([&](Widget& w) { order.push_back(w.Tag()); });
    }
    group.Cell(2).SetEnabled(false);

    EXPECT_TRUE(group.UserSelect(1));
    EXPECT_EQ(group.SelectedIndex(), 1);
    EXPECT_EQ(order, (std::vector<int>{42, 40})) << "the cell's action, then the group's";
    EXPECT_TRUE(root->Find<RadioButton>(41)->UserClick());
    EXPECT_EQ(group.SelectedCell()->Tag(), 41);
    EXPECT_FALSE(group.Cell(1).IsOn());

    EXPECT_FALSE(group.UserSelect(2)) << "disabled cell";
    EXPECT_FALSE(group.UserSelect(std::string("cell 43")));
    EXPECT_EQ(group.SelectedIndex(), 0);

    order.clear();
    group.Cell(1).SetState(kStateOn);
    EXPECT_EQ(group.SelectedIndex(), 1);
    EXPECT_FALSE(group.Cell(0).IsOn());
    group.Select(-1);
    EXPECT_EQ(group.SelectedIndex(), -1);
    EXPECT_FALSE(group.Select(3));
    EXPECT_TRUE(order.empty()) << "code never fires actions";
    EXPECT_EQ(group.IndexOfTag(43), 2);
}

TEST_F(WidgetTest, StepperClampsEveryValue)
{
    auto& stepper = root->Add(tk.CreateStepper(50, {}, 0, 10, 3));
    stepper.SetAction(Count());
    stepper.SetValue(99);
    EXPECT_EQ(stepper.Value(), 10);
    stepper.SetValue(-5);
    EXPECT_EQ(stepper.Value(), 0);

    for (int expected : {3, 6, 9, 10, 10}) {
        EXPECT_TRUE(stepper.UserIncrement());
        EXPECT_EQ(stepper.Value(), expected);
    }
    EXPECT_EQ(fired[50], 5) << "a press at the limit still fires";
    EXPECT_TRUE(stepper.UserDecrement());
    EXPECT_EQ(stepper.Value(), 7);
    EXPECT_TRUE(stepper.UserSetValue(-20));
    EXPECT_EQ(stepper.Value(), 0);

    stepper.SetRange(2147483640, 2147483647);
    EXPECT_EQ(stepper.Value(), 2147483640);
    stepper.SetValue(2147483647);
    stepper.UserIncrement();
    EXPECT_EQ(stepper.Value(), 2147483647) << "no overflow at the top of int";
    stepper.SetRange(5, 2);
    EXPECT_EQ(stepper.Min(), 5);
    EXPECT_EQ(stepper.Max(), 5);
    EXPECT_EQ(stepper.Value(), 5);
    stepper.SetIncrement(0);
    EXPECT_EQ(stepper.Increment(), 1);
}

TEST_F(WidgetTest, DisabledOrHiddenWidgetsIgnoreThePerson)
{
    auto& button = root->Add(tk.CreateButton(1, "b", {}));
    auto& box = root->Add(tk.CreateCheckBox(2, "c", {}));
    auto& group = root->Add(tk.CreateGroupBox(3, "g", {}));
    auto& popup = group.Add(tk.CreatePopUp(4, {}));
    popup.AddItem("a");
    popup.AddItem("b");
    auto& inner = root->Add(tk.CreateView(5));
    auto& field = inner.Add(tk.CreateTextField(6, {}));
    auto& tabs = root->Add(tk.CreateTabView(7, {}));
    tabs.AddPage("one");
    auto& stepper = tabs.AddPage("two").Add(tk.CreateStepper(8, {}));
    auto& radios = root->Add(tk.CreateRadioGroup(9, {}));
    radios.AddCell(10, "r", {});
    for (Widget* w : std::vector<Widget*>{&button, &box, &popup, &field, &stepper, &radios.Cell(0)}) {
        w->SetAction(Count());
    }

    button.SetEnabled(false);
    box.SetHidden(true);
    group.SetEnabled(false);
    inner.SetHidden(true);
    radios.SetEnabled(false);
    // The stepper sits on the page that is not selected.
    EXPECT_FALSE(button.UserClick());
    EXPECT_FALSE(box.UserClick());
    EXPECT_FALSE(popup.UserSelect(1));
    EXPECT_FALSE(field.UserType("x"));
    EXPECT_FALSE(field.UserFocus());
    EXPECT_FALSE(stepper.UserIncrement());
    EXPECT_FALSE(radios.UserSelect(0));
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(box.State(), kStateOff);
    EXPECT_EQ(popup.SelectedIndex(), 0);
    EXPECT_EQ(field.Text(), "");
    EXPECT_EQ(stepper.Value(), 0);
    EXPECT_FALSE(radios.Cell(0).IsOn());
    EXPECT_EQ(tk.BeepCount(), 0);

    button.SetEnabled(true);
    box.SetHidden(false);
    group.SetEnabled(true);
    inner.SetHidden(false);
    radios.SetEnabled(true);
    EXPECT_TRUE(tabs.UserSelectTab(std::string("two")));
    EXPECT_TRUE(button.UserClick());
    EXPECT_TRUE(box.UserClick());
    EXPECT_TRUE(popup.UserSelect(1));
    EXPECT_TRUE(field.UserType("x"));
    EXPECT_TRUE(stepper.UserIncrement());
    EXPECT_TRUE(radios.UserSelect(0));
    EXPECT_EQ(fired, (std::map<int, int>{{1, 1}, {2, 1}, {4, 1}, {8, 1}, {10, 1}}))
        << "the field acts when its editing ends";
}

TEST_F(WidgetTest, CodeSettersNeverFireActions)
{
    auto& box = root->Add(tk.CreateCheckBox(1, "c", {}));
    auto& popup = root->Add(tk.CreatePopUp(2, {}));
    auto& stepper = root->Add(tk.CreateStepper(3, {}));
    auto& field = root->Add(tk.CreateTextField(4, {}));
    auto& tabs = root->Add(tk.CreateTabView(5, {}));
    auto& radio = root->Add(tk.CreateRadioButton(6, "r", {}));
    for (Widget* w : std::vector<Widget*>{&box, &popup, &stepper, &field, &tabs, &radio}) {
        w->SetAction(Count());
    }
    int changes = 0;
    field.SetTextChangeHandler([&](TextField&) { ++changes; });
    field.SetFormatter(std::make_unique<MaxLengthFormatter>(2));

    box.SetAllowsMixed(true);
    box.SetState(kStateMixed);
    EXPECT_EQ(box.State(), kStateMixed);
    box.SetState(5);
    EXPECT_EQ(box.State(), kStateOn);
    popup.AddItem("a");
    popup.AddItem("b");
    popup.Select(1);
    stepper.SetValue(4);
    field.SetText("longer than two");
    tabs.AddPage("p1");
    tabs.AddPage("p2");
    tabs.Select(1);
    radio.SetState(kStateOn);

    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(field.Text(), "longer than two") << "code bypasses the formatter";

    // A person's click out of the mixed state turns the box on.
    box.SetState(kStateMixed);
    box.UserClick();
    EXPECT_EQ(box.State(), kStateOn);
    box.SetAllowsMixed(false);
    box.SetState(kStateMixed);
    EXPECT_EQ(box.State(), kStateOn);
}

TEST_F(WidgetTest, FindsByTagThroughNestedViewsAndTabPages)
{
    auto& group = root->Add(tk.CreateGroupBox(10, "Group", {}));
    auto& nested = group.Add(tk.CreateView(11));
    auto& field = nested.Add(tk.CreateTextField(77, {}));
    auto& tabs = root->Add(tk.CreateTabView(20, {0, 0, 300, 200}));
    tabs.AddPage("Finishing", 21);
    TabPage& layout = tabs.AddPage("Layout", 22);
    auto& box = layout.Add(tk.CreateCheckBox(88, "Booklet", {}));
    auto& label = root->Add(tk.CreateLabel(88, "same tag, other kind", {}));

    EXPECT_EQ(root->Find<TextField>(77), &field);
    EXPECT_EQ(root->Find<CheckBox>(88), &box);
    EXPECT_EQ(root->Find<Label>(88), &label) << "the first of the wanted kind";
    EXPECT_EQ(root->FindWidget(88), &box) << "depth first, in order";
    EXPECT_EQ(root->Find<Button>(77), nullptr);
    EXPECT_EQ(root->FindWidget(999), nullptr);
    EXPECT_EQ(root->Find<TabPage>(22), &layout);
    EXPECT_EQ(layout.Frame(), (Rect{0, 0, 300, 200}));
    EXPECT_EQ(tabs.SelectedPage(), &tabs.Page(0));
    EXPECT_FALSE(box.IsShown()) << "its page is not selected";

    std::unique_ptr<Widget> removed = group.Remove(nested);
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->Parent(), nullptr);
    EXPECT_EQ(root->FindWidget(77), nullptr);
    EXPECT_EQ(group.Remove(box), nullptr) << "not a direct child";
}

TEST_F(WidgetTest, PopUpItemsKeepKeysAndSelection)
{
    auto& popup = root->Add(tk.CreatePopUp(1, {}));
    popup.SetAction(Count());
    EXPECT_EQ(popup.SelectedIndex(), -1);
    EXPECT_EQ(popup.SelectedKey(), "");
    popup.AddItem("Off", "False");
    EXPECT_EQ(popup.SelectedIndex(), 0) << "the first item added is selected";
    popup.AddItem("Left", "Left");
    popup.AddItem("Right", "Right");
    popup.Select(1);
    popup.InsertItem(0, "Center", "Center");
    EXPECT_EQ(popup.SelectedKey(), "Left");
    EXPECT_EQ(popup.SelectedIndex(), 2);
    EXPECT_EQ(popup.IndexOfKey("Right"), 3);
    EXPECT_EQ(popup.IndexOfTitle("Off"), 1);
    popup.RemoveItem(0);
    EXPECT_EQ(popup.SelectedKey(), "Left");
    popup.RemoveItem(1);
    EXPECT_EQ(popup.SelectedIndex(), 0) << "removing the selection selects the first item";
    EXPECT_FALSE(popup.Select(2));
    EXPECT_FALSE(popup.InsertItem(5, "x"));
    EXPECT_FALSE(popup.SetItemEnabled(9, false));
    EXPECT_FALSE(popup.IsItemEnabled(-1));
    EXPECT_TRUE(popup.SetItemKey(1, "RightEdge"));
    EXPECT_EQ(popup.Item(1).key, "RightEdge");

    popup.SetItemEnabled(1, false);
    EXPECT_FALSE(popup.UserSelect(std::string("Right")));
    EXPECT_FALSE(popup.UserSelect(std::string("missing")));
    popup.SetItemEnabled(1, true);
    EXPECT_TRUE(popup.UserSelect(std::string("Right")));
    EXPECT_TRUE(popup.UserSelect(1)) << "choosing the chosen item again still acts";
    EXPECT_EQ(fired[1], 2);
    popup.RemoveAllItems();
    EXPECT_EQ(popup.SelectedIndex(), -1);
}

TEST_F(WidgetTest, TypingProposesTheWholeTextKeystrokeByKeystroke)
{
    auto& field = root->Add(tk.CreateTextField(1, {}));
    std::vector<std::string> proposals;
    field.SetFormatter(std::make_unique<MaxLengthFormatter>(3, &proposals));
    field.SetText("x");
    int changes = 0;
    field.SetTextChangeHandler([&](TextField&) { ++changes; });
    field.SetAction(Count());

    EXPECT_TRUE(field.UserType("日a"));
    EXPECT_EQ(proposals, (std::vector<std::string>{"x日", "x日a"}));
    EXPECT_FALSE(field.UserType("bc"));
    EXPECT_EQ(field.Text(), "x日a");
    EXPECT_EQ(tk.BeepCount(), 2);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(field.HasFocus()) << "typing clicks into the field first";

    proposals.clear();
    EXPECT_TRUE(field.UserDeleteBackward(2));
    EXPECT_EQ(proposals, (std::vector<std::string>{"x日", "x"}));
    EXPECT_TRUE(field.UserClear());
    EXPECT_EQ(field.Text(), "");
    EXPECT_EQ(fired[1], 0) << "still editing";
    EXPECT_TRUE(field.UserPressReturn());
    EXPECT_EQ(fired[1], 1);

    field.SetEditable(false);
    EXPECT_FALSE(field.UserType("a"));
    EXPECT_EQ(tk.BeepCount(), 3) << "typing into a read-only field beeps";
}

TEST_F(WidgetTest, FocusFollowsTheKeyOrderAndSkipsWhatAPersonCannotReach)
{
    auto window = tk.CreateWindow("w", {0, 0, 300, 200});
    View& content = window->Content();
    auto& a = content.Add(tk.CreateTextField(1, {}));
    auto& b = content.Add(tk.CreateTextField(2, {}));
    content.Add(tk.CreateLabel(3, "label", {}));
    auto& c = content.Add(tk.CreateTextField(4, {}));
    auto& d = content.Add(tk.CreateButton(5, "d", {}));
    std::vector<std::string> events;
    for (Widget* w : std::vector<Widget*>{&a, &b, &c}) {
        w->SetFocusHandler(
            [&](Widget& f, bool gained) { events.push_back((gained ? "+" : "-") + std::to_string(f.Tag())); });
    }
    b.SetHidden(true);
    d.SetEnabled(false);

    EXPECT_EQ(window->UserTab(), &a);
    EXPECT_EQ(window->UserTab(), &c);
    EXPECT_EQ(window->UserTab(), &a) << "wraps, skipping the hidden field and the disabled button";
    EXPECT_EQ(window->UserTab(true), &c);
    EXPECT_EQ(events, (std::vector<std::string>{"+1", "-1", "+4", "-4", "+1", "-1", "+4"}));

    window->SetKeyOrder({4, 2, 1});
    b.SetHidden(false);
    EXPECT_EQ(window->UserTab(), &b);
    EXPECT_FALSE(tk.SetFocus(content.FindWidget(3))) << "labels take no focus";
    EXPECT_EQ(tk.FocusedWidget(), &b);

    b.SetHidden(true);
    EXPECT_EQ(tk.FocusedWidget(), nullptr) << "hiding the focused field drops the focus";
    EXPECT_TRUE(a.MakeFirstResponder());
    a.UserType("typed");
    events.clear();
    int ended = 0;
    a.SetAction([&](Widget&) { ++ended; });
    EXPECT_TRUE(c.UserFocus());
    EXPECT_EQ(ended, 1) << "leaving an edited field ends its editing";
    EXPECT_EQ(events, (std::vector<std::string>{"-1", "+4"}));

    window->Close();
    EXPECT_EQ(tk.FocusedWidget(), nullptr);
    c.MakeFirstResponder();
    content.RemoveAll();
    EXPECT_EQ(tk.FocusedWidget(), nullptr) << "no focus on a destroyed widget";
}

// What a native toolkit mirrors: every visible change, from code or person.
TEST_F(WidgetTest, PeerHearsEveryVisibleChange)
{
    struct Recorder : Peer {
        explicit Recorder(std::vector<Aspect>& seen) : seen_(seen) {}
        void Sync(Widget&, Aspect what) override { seen_.push_back(what); }
        std::vector<Aspect>& seen_;
    };
    std::vector<Aspect> seen;
    auto& popup = root->Add(tk.CreatePopUp(1, {}));
    popup.AttachPeer(std::make_unique<Recorder>(seen));
    popup.AddItem("a");
    popup.AddItem("b");
    popup.UserSelect(1);
    popup.SetEnabled(false);
    popup.SetEnabled(false);
    popup.SetFrame({1, 2, 3, 4});
    EXPECT_EQ(seen,
              (std::vector<Aspect>{Aspect::Items, Aspect::Items, Aspect::Selection, Aspect::Enabled, Aspect::Frame}));
}

TEST_F(WidgetTest, HelpRequestsBeepsAndTextWidthsAreRecorded)
{
    EXPECT_EQ(tk.OpenHelp("Features Help", "TabMarginShift.htm", "top"), 0);
    ASSERT_EQ(tk.HelpRequests().size(), 1u);
    EXPECT_EQ(tk.HelpRequests()[0].book, "Features Help");
    EXPECT_EQ(tk.HelpRequests()[0].page, "TabMarginShift.htm");
    EXPECT_EQ(tk.HelpRequests()[0].anchor, "top");
    tk.Beep();
    EXPECT_EQ(tk.BeepCount(), 1);
    EXPECT_EQ(tk.TextWidth("ab"), 14);
    EXPECT_EQ(tk.TextWidth("a日"), 21);
}

class LayoutTest : public ::testing::Test {
protected:
    HeadlessToolkit tk;
    std::unique_ptr<View> root = tk.CreateView();
    Localizer localize = [](const std::string& key) { return "<" + key + ">"; };
};

TEST_F(LayoutTest, BuildsEveryKindWithLocalizedTitles)
{
    const char* json = R"([
      {"kind": "label", "tag": 0, "title": "Tray Title", "frame": [10, 300, 80, 17], "_note": "comments allowed"},
      {"kind": "popup", "tag": 30, "frame": [100, 300, 150, 25], "selected": 2,
       "items": ["Auto Key", {"title": "Tray1 Key", "key": "Tray1", "enabled": false}, {"title": "Tray2 Key", "key": "Tray2"}]},
      {"kind": "groupbox", "tag": 10, "title": "Finishing", "frame": [0, 0, 400, 280], "children": [
        {"kind": "checkbox", "tag": 20, "title": "Staple", "frame": [10, 10, 100, 18], "state": 1},
        {"kind": "textfield", "tag": 12, "frame": [10, 40, 100, 22], "text": "12.7", "secure": true},
        {"kind": "stepper", "tag": 13, "frame": [112, 40, 15, 22], "min": 0, "max": 150, "value": 127},
        {"kind": "radiogroup", "tag": 40, "frame": [10, 70, 200, 40], "selected": 1, "cells": [
          {"tag": 41, "title": "MM", "frame": [0, 20, 100, 18]},
          {"tag": 42, "title": "Inches", "frame": [0, 0, 100, 18], "enabled": false}]},
        {"kind": "tabview", "tag": 50, "frame": [10, 120, 380, 150], "selected": 1, "pages": [
          {"tag": 51, "title": "Page 1", "children": [{"kind": "button", "tag": 60, "title": "Setup", "frame": [5, 5, 80, 25]}]},
          {"tag": 52, "title": "Page 2", "children": [{"kind": "radio", "tag": 61, "frame": [5, 5, 80, 18], "hidden": true}]}]}
      ]}
    ])";
    const LayoutStatus status = LoadLayout(*root, json, localize);
    ASSERT_TRUE(status) << status.error;

    EXPECT_EQ(root->ChildCount(), 3u);
    EXPECT_EQ(root->ChildAt(0).Title(), "<Tray Title>");
    auto* popup = root->Find<PopUp>(30);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->ItemCount(), 3);
    EXPECT_EQ(popup->Item(0).title, "<Auto Key>");
    EXPECT_EQ(popup->Item(1).key, "Tray1");
    EXPECT_FALSE(popup->IsItemEnabled(1));
    EXPECT_EQ(popup->SelectedKey(), "Tray2");
    EXPECT_EQ(root->Find<GroupBox>(10)->Title(), "<Finishing>");
    EXPECT_EQ(root->Find<CheckBox>(20)->State(), kStateOn);
    EXPECT_EQ(root->Find<CheckBox>(20)->Frame(), (Rect{10, 10, 100, 18}));
    EXPECT_EQ(root->Find<TextField>(12)->Text(), "12.7");
    EXPECT_TRUE(root->Find<TextField>(12)->IsSecure());
    EXPECT_EQ(root->Find<Stepper>(13)->Max(), 150);
    EXPECT_EQ(root->Find<Stepper>(13)->Value(), 127);
    auto* radios = root->Find<RadioGroup>(40);
    EXPECT_EQ(radios->SelectedCell()->Tag(), 42);
    EXPECT_FALSE(radios->Cell(1).IsEnabled());
    auto* tabs = root->Find<TabView>(50);
    EXPECT_EQ(tabs->SelectedIndex(), 1);
    EXPECT_EQ(tabs->Page(0).Title(), "<Page 1>");
    EXPECT_EQ(root->Find<Button>(60)->Parent(), &tabs->Page(0));
    EXPECT_TRUE(root->Find<RadioButton>(61)->IsHidden());
}

TEST_F(LayoutTest, BadLayoutsAreRefusedAndBuildNothing)
{
    root->Add(tk.CreateButton(99, "existing", {}));
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"([{"kind": "slider", "tag": 1, "frame": [0, 0, 1, 1]}])", "widgets[0]: unknown kind \"slider\""},
        {R"([{"kind": "button", "frame": [0, 0, 1, 1]}])", "widgets[0] (button): missing \"tag\""},
        {R"([{"kind": "button", "tag": 1, "frame": [0, 0, 1]}])", "\"frame\" must be"},
        {R"([{"kind": "button", "tag": 1, "frame": [0, 0, -5, 1]}])", "\"frame\" must be"},
        {R"([{"kind": "button", "tag": 1, "frame": [0, "0", 5, 1]}])", "\"frame\" must be"},
        {R"([{"kind": "button", "tag": 1}])", "missing \"frame\""},
        {R"([{"kind": "button", "tag": 1.5, "frame": [0, 0, 1, 1]}])", "\"tag\" must be a 32-bit integer"},
        {R"([{"kind": "button", "tag": 4294967296, "frame": [0, 0, 1, 1]}])", "\"tag\" must be a 32-bit integer"},
        {R"([{"kind": "button", "tag": 1, "frame": [0, 0, 1, 1], "titel": "x"}])", "unknown member \"titel\""},
        {R"([{"kind": "view", "tag": 1, "frame": [0, 0, 1, 1], "children": [
              {"kind": "label", "tag": 2, "frame": [0, 0, 1, 1]}, {"kind": "label", "tag": 2, "frame": [0, 0, 1, 1]}]}])",
         "widgets[0].children[1] (label): tag 2 is used twice"},
        {R"([{"kind": "label", "tag": 99, "frame": [0, 0, 1, 1]}])", "tag 99 is used twice"},
        {R"([{"kind": "popup", "tag": 1, "frame": [0, 0, 1, 1], "items": ["a"], "selected": 1}])", "\"selected\""},
        {R"([{"kind": "stepper", "tag": 1, "frame": [0, 0, 1, 1], "min": 5, "max": 2}])", "\"min\" is above \"max\""},
        {R"([{"kind": "radiogroup", "tag": 1, "frame": [0, 0, 1, 1], "cells": []}])", "\"cells\""},
        {R"([{"kind": "checkbox", "tag": 1, "frame": [0, 0, 1, 1], "state": -1}])", "\"state\""},
        {R"({"widgets": 3})", "must be an array"},
        {R"([{"kind": "button", "tag": 1, "frame": [0, 0, 1, 1]},)", "not valid JSON"},
    };
    for (const auto& c : cases) {
        const LayoutStatus status = LoadLayout(*root, c.json, localize);
        EXPECT_FALSE(status) << c.json;
        EXPECT_NE(status.error.find(c.error), std::string::npos) << status.error;
        EXPECT_EQ(root->ChildCount(), 1u) << c.json;
    }
    const LayoutStatus missing = LoadLayoutFile(*root, "/nonexistent/layout.json", localize);
    EXPECT_NE(missing.error.find("cannot read"), std::string::npos);
}

TEST_F(LayoutTest, WindowLayoutSetsTitleButtonsAndKeyOrder)
{
    auto window = tk.CreateWindow("", {});
    const char* json = R"({
      "title": "Tab Margin Window Title String", "frame": [0, 0, 320, 200],
      "defaultButton": 1, "cancelButton": 2, "keyOrder": [12, 11],
      "widgets": [
        {"kind": "button", "tag": 1, "title": "OK", "frame": [230, 10, 80, 30]},
        {"kind": "button", "tag": 2, "title": "Cancel", "frame": [140, 10, 80, 30]},
        {"kind": "textfield", "tag": 11, "frame": [10, 100, 60, 22]},
        {"kind": "textfield", "tag": 12, "frame": [10, 140, 60, 22]}]})";
    const LayoutStatus status = LoadWindowLayout(*window, json, localize);
    ASSERT_TRUE(status) << status.error;
    EXPECT_EQ(window->Title(), "<Tab Margin Window Title String>");
    EXPECT_EQ(window->Content().Frame(), (Rect{0, 0, 320, 200}));
    window->Find<Button>(1)->SetAction([&](Widget&) { tk.StopModal(1); });

    tk.ScriptModal([](Window& w) {
        EXPECT_EQ(w.UserTab()->Tag(), 12);
        EXPECT_EQ(w.UserTab()->Tag(), 11);
        w.UserPressReturn();
    });
    EXPECT_EQ(tk.RunModal(*window), 1);

    auto other = tk.CreateWindow("", {});
    EXPECT_NE(
        LoadWindowLayout(*other, R"({"defaultButton": 5, "widgets": []})", localize).error.find("names no button"),
        std::string::npos);
    EXPECT_NE(LoadWindowLayout(*other, R"({"keyOrder": [5]})", localize).error.find("tag 5"), std::string::npos);
    EXPECT_FALSE(LoadWindowLayout(*other, R"([])", localize));
}

}  // namespace
}  // namespace zlk::widgets
