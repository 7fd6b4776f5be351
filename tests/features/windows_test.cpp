// The features panel's number windows as a person uses them: the setup
// button opens the window, the person types, steps, switches units and
// presses OK or Cancel; the ticket the panel writes is what was accepted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "shownpanel.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;
using Act = std::function<void(widgets::Window&)>;

// Presses OK, and Cancel when the window stays open.
void OkOrCancel(widgets::Window& window, int ok, int cancel)
{
    In<widgets::Button>(window, ok)->UserClick();
    if (window.IsOpen()) {
        In<widgets::Button>(window, cancel)->UserClick();
    }
}

// Opens the window behind the button, acts in it; the informative texts
// of the alerts it showed.
std::vector<std::string> InWindow(ShownPanel& shown, int button, Act act)
{
    const std::size_t before = shown.host.toolkit.Alerts().size();
    shown.host.toolkit.ScriptModal(std::move(act));
    auto* setup = shown.panel->panelView()->Find<widgets::Button>(button);
    EXPECT_NE(setup, nullptr);
    if (!setup) {
        return {};
    }
    shown.ShowPageOf(setup);
    EXPECT_TRUE(setup->UserClick()) << "button " << button;
    EXPECT_EQ(shown.host.toolkit.PendingModalScripts(), 0u) << "the window did not open";
    std::vector<std::string> alerts;
    for (std::size_t i = before; i < shown.host.toolkit.Alerts().size(); ++i) {
        alerts.push_back(shown.host.toolkit.Alerts()[i].alert.informative);
    }
    return alerts;
}

// One typed value in a two-unit window: the unit, the text, the message
// expected (empty: accepted) and, when accepted, the ticket afterwards.
struct UnitCase {
    bool inches;
    std::string typed;
    std::string messageKey;
    std::map<std::string, std::string> ticket;
};

struct UnitWindow {
    int button, mmField, inchField, mmRadio, inchRadio, ok, cancel;
};

void RunUnitCases(ShownPanel& shown, const UnitWindow& w, const std::vector<UnitCase>& cases)
{
    for (const UnitCase& c : cases) {
        const auto alerts = InWindow(shown, w.button, [&](widgets::Window& window) {
            In<widgets::RadioButton>(window, c.inches ? w.inchRadio : w.mmRadio)->UserClick();
            Type(window, c.inches ? w.inchField : w.mmField, c.typed);
            OkOrCancel(window, w.ok, w.cancel);
        });
        const std::string shownTyped = c.typed.size() > 20 ? c.typed.substr(0, 20) + "..." : c.typed;
        if (!c.messageKey.empty()) {
            EXPECT_EQ(alerts, std::vector<std::string>{shown.Text(c.messageKey.c_str())}) << shownTyped;
            continue;
        }
        EXPECT_TRUE(alerts.empty()) << shownTyped;
        EXPECT_TRUE(shown.panel->shouldPrint());
        for (const auto& [key, value] : c.ticket) {
            EXPECT_EQ(shown.Ticket(key), value) << shownTyped << ": " << key;
        }
    }
}

TEST(FeaturesWindows, TabMarginTextsAreCheckedAndBothUnitsKeptInStep)
{
    ShownPanel shown(Sample("c4500"));
    ASSERT_TRUE(shown.SwitchOf("ZLKTabMarginShiftEx")->UserClick());
    const UnitWindow w{101, 213, 211, 215, 216, 217, 218};
    const std::string mm = "Message22b", inch = "Message22b2";
    RunUnitCases(shown, w,
                 {
                     {false,
                      "12.7",
                      "",
                      {{"TabMarginMMShiftTicket", "127"},
                       {"TabMarginInchesShiftTicket", "50"},
                       {"TabMarginMMTextEditTicket", "12.7"},
                       {"TabMarginInchesTextEditTicket", "0.50"},
                       {"TabMarginMMRadioTicket", "1"},
                       {"TabMarginInchesRadioTicket", "0"}}},
                     {false, "12.75", mm, {}},
                     {false, "12.", mm, {}},
                     {false, ".5", mm, {}},
                     {false, "15.1", mm, {}},
                     {false, "", mm, {}},
                     {false, " 1", mm, {}},
                     {false, "-1", mm, {}},
                     {false, "+1", mm, {}},
                     {false, "1e1", mm, {}},
                     {false, "\xEF\xBC\x91\xEF\xBC\x92", mm, {}},  // full-width 12
                     {false, "1,5", mm, {}},
                     {false, "1..5", mm, {}},
                     {false, std::string(10000, '1'), mm, {}},
                     {false, "15", "", {{"TabMarginMMShiftTicket", "150"}, {"TabMarginInchesTextEditTicket", "0.59"}}},
                     {false, "0", "", {{"TabMarginMMShiftTicket", "0"}, {"TabMarginInchesShiftTicket", "0"}}},
                     {true,
                      "0.5",
                      "",
                      {{"TabMarginInchesShiftTicket", "50"},
                       {"TabMarginMMShiftTicket", "127"},
                       {"TabMarginMMTextEditTicket", "12.7"},
                       {"TabMarginInchesRadioTicket", "1"},
                       {"TabMarginMMRadioTicket", "0"}}},
                     {true, "0.60", inch, {}},
                     {true, "0.", inch, {}},
                     {true, ".05", inch, {}},
                     {true, "0.05", "", {{"TabMarginInchesShiftTicket", "5"}, {"TabMarginMMTextEditTicket", "1.3"}}},
                 });
    // The summary names the committed unit.
    EXPECT_EQ(shown.panel->summaryInfo().values[shown.Text("Tab Margin Text")],
              "0.05 " + shown.Text("Tab Margin Inch Side Static Text"));
}

TEST(FeaturesWindows, SteppersAndUnitButtonsRefuseWhatTheFieldRefuses)
{
    ShownPanel shown(Sample("c4500"));
    ASSERT_TRUE(shown.SwitchOf("ZLKTabMarginShiftEx")->UserClick());
    const int beepsBefore = shown.host.toolkit.BeepCount();
    std::string afterStep, atLimit, afterRefusedStep;
    bool mmStillShown = false;
    const auto alerts = InWindow(shown, 101, [&](widgets::Window& window) {
        // The default shows 12.7 mm; inches show 0.05 after stepping to 5.
        EXPECT_EQ(In<widgets::TextField>(window, 213)->Text(), "12.7");
        EXPECT_TRUE(In<widgets::TextField>(window, 211)->IsHidden());
        In<widgets::RadioButton>(window, 216)->UserClick();
        EXPECT_FALSE(In<widgets::TextField>(window, 211)->IsHidden());
        EXPECT_TRUE(In<widgets::TextField>(window, 213)->IsHidden());
        In<widgets::Stepper>(window, 212)->UserSetValue(5);
        afterStep = In<widgets::TextField>(window, 211)->Text();
        // Up to the limit and once more: the last press beeps.
        Type(window, 211, "0.59");
        In<widgets::Stepper>(window, 212)->UserIncrement();
        atLimit = In<widgets::TextField>(window, 211)->Text();
        // A refused text stops both the stepper and the unit switch.
        Type(window, 211, "0.7");
        In<widgets::Stepper>(window, 212)->UserDecrement();
        afterRefusedStep = In<widgets::TextField>(window, 211)->Text();
        In<widgets::RadioButton>(window, 215)->UserClick();
        mmStillShown =
            In<widgets::RadioButton>(window, 216)->IsOn() && !In<widgets::TextField>(window, 211)->IsHidden();
        In<widgets::Button>(window, 218)->UserClick();
    });
    EXPECT_EQ(afterStep, "0.05");
    EXPECT_EQ(atLimit, "0.59");
    EXPECT_EQ(shown.host.toolkit.BeepCount(), beepsBefore + 1);
    EXPECT_EQ(afterRefusedStep, "0.7");
    EXPECT_TRUE(mmStillShown) << "the inch unit stays while its text is refused";
    EXPECT_EQ(alerts, std::vector<std::string>(2, shown.Text("Message22b2")));
    // Cancel kept the default.
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Ticket("TabMarginMMShiftTicket"), "127");
    EXPECT_EQ(shown.Ticket("TabMarginMMRadioTicket"), "1");

    // Default brings 12.7 mm back after other values were committed.
    InWindow(shown, 101, [](widgets::Window& window) {
        Type(window, 213, "3.4");
        OkOrCancel(window, 217, 218);
    });
    std::string restored;
    InWindow(shown, 101, [&](widgets::Window& window) {
        EXPECT_EQ(In<widgets::TextField>(window, 213)->Text(), "3.4");
        In<widgets::Button>(window, 219)->UserClick();
        restored = In<widgets::TextField>(window, 213)->Text();
        OkOrCancel(window, 217, 218);
    });
    EXPECT_EQ(restored, "12.7");
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Ticket("TabMarginMMShiftTicket"), "127");
}

// Opens the booklet margin window's setup button: a booklet, the switch on.
void BookletMarginOn(ShownPanel& shown)
{
    ASSERT_TRUE(shown.Choose("ZLKSignature", "LeftSig"));
    auto* margin = shown.panel->panelView()->Find<widgets::CheckBox>(106);
    shown.ShowPageOf(margin);
    ASSERT_TRUE(margin->UserClick());
}

TEST(FeaturesWindows, BookletMarginIsDoubledInTheTicketAndReachesThePrinter)
{
    ShownPanel shown(Sample("c4500"));
    BookletMarginOn(shown);
    const UnitWindow w{107, 313, 311, 315, 316, 317, 318};
    const std::string mm = "Message22e", inch = "Message22e2";
    RunUnitCases(
        shown, w,
        {
            {false,
             "12",
             "",
             {{"BookletMarginMMShiftTicket", "24"},
              {"BookletMarginMMTextEditTicket", "12"},
              {"BookletMarginInchesTextEditTicket", "0.5"},
              {"AutoFitSwitchTicket", "1"}}},
            {true, "1.0", "", {{"BookletMarginMMShiftTicket", "50"}, {"BookletMarginMMTextEditTicket", "25"}}},
            {false, "13", "", {{"BookletMarginInchesTextEditTicket", "0.5"}, {"BookletMarginInchesShiftTicket", "5"}}},
            {false, "26", mm, {}},
            {false, "1.5", mm, {}},
            {false, "", mm, {}},
            {false, "-1", mm, {}},
            {true, "1.1", inch, {}},
            {true, "0.55", inch, {}},
            {true, ".5", inch, {}},
            {false, "12", "", {{"BookletMarginMMShiftTicket", "24"}}},
        });

    // The filter takes the margin from the panel's ticket.
    SpoolerRun spooler;
    spooler.document = spooler.Pdf(2);
    spooler.options = shown.JobOptions();
    spooler.env["PPD"] = Sample("c4500");
    const RunResult run = spooler.Run();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(SplitJobStream(run.out).ticket.find("1200"), std::string::npos);
}

TEST(FeaturesWindows, ValuesReadFromTheTicketAreBroughtIntoRange)
{
    struct Case {
        std::map<std::string, std::string> ticket;
        int button, field, cancel;
        std::string shown;  // the field when the window opens
        const char* key;
        std::string written;  // under key after printing
    };
    const char* booklet = "BookletMarginMMShiftTicket";
    const std::vector<Case> cases = {
        {{{booklet, "25"}}, 107, 313, 318, "12", booklet, "24"},
        {{{booklet, "999999999999"}}, 107, 313, 318, "25", booklet, "50"},
        {{{booklet, "-7"}}, 107, 313, 318, "0", booklet, "0"},
        {{{booklet, "abc"}}, 107, 313, 318, "0", booklet, "0"},
        {{{booklet, "10"}, {"BookletMarginMMTextEditTicket", "\xff\xfe"}},
         107,
         313,
         318,
         "5",
         "BookletMarginMMTextEditTicket",
         "5"},
        {{{"BookletMarginMMRadioTicket", "0"}, {"BookletMarginInchesRadioTicket", "0"}},
         107,
         313,
         318,
         "0",
         "BookletMarginMMRadioTicket",
         "1"},
        {{{"TabMarginMMShiftTicket", "151"}}, 101, 213, 218, "15.0", "TabMarginMMShiftTicket", "150"},
        {{{"TabMarginMMTextEditTicket", std::string(10000, '9')}},
         101,
         213,
         218,
         "12.7",
         "TabMarginMMTextEditTicket",
         "12.7"},
        {{{"NumInSequenceLArrowTicket", "255"}}, 111, 612, 616, "254", "NumInSequenceLArrowTicket", "254"},
        {{{"NumInSequenceLArrowTicket", " -3"}}, 111, 612, 616, "1", "NumInSequenceTextEditTicket", "1"},
    };
    for (const Case& c : cases) {
        ShownPanel shown(Sample("c4500"), c.ticket);
        BookletMarginOn(shown);
        shown.SwitchOf("ZLKTabMarginShiftEx")->UserClick();
        shown.SwitchOf("ZLKTabNumberInSequence")->UserClick();
        std::string seen;
        InWindow(shown, c.button, [&](widgets::Window& window) {
            seen = In<widgets::TextField>(window, c.field)->Text();
            In<widgets::Button>(window, c.cancel)->UserClick();
        });
        EXPECT_EQ(seen, c.shown) << c.ticket.begin()->first << "=" << c.ticket.begin()->second.substr(0, 20);
        EXPECT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Ticket(c.key), c.written) << c.ticket.begin()->second.substr(0, 20);
    }
}

TEST(FeaturesWindows, WholeNumbersInSequenceAndOffsetWindows)
{
    ShownPanel shown(Sample("c4500"));
    ASSERT_TRUE(shown.SwitchOf("ZLKTabNumberInSequence")->UserClick());
    struct Case {
        int button, field, ok, cancel;
        std::string typed;
        std::string messageKey;  // empty: accepted
        const char* key;  // the stepper's ticket key
        std::string written;
    };
    const std::string seq = "Message22k", pages = "Message22l", copies = "Message22m";
    const std::vector<Case> cases = {
        {111, 612, 617, 616, "", "", "NumInSequenceLArrowTicket", "3"},  // untouched: the default
        {111, 612, 617, 616, "254", "", "NumInSequenceLArrowTicket", "254"},
        {111, 612, 617, 616, "0", seq, "NumInSequenceLArrowTicket", "254"},
        {111, 612, 617, 616, "255", seq, "NumInSequenceLArrowTicket", "254"},
        {111, 612, 617, 616, "1 ", seq, "NumInSequenceLArrowTicket", "254"},
        {111, 612, 617, 616, "-1", seq, "NumInSequenceLArrowTicket", "254"},
        {111, 612, 617, 616, "01", "", "NumInSequenceLArrowTicket", "1"},
    };
    for (const Case& c : cases) {
        const auto alerts = InWindow(shown, c.button, [&](widgets::Window& window) {
            if (!c.typed.empty()) {
                Type(window, c.field, c.typed);
            }
            OkOrCancel(window, c.ok, c.cancel);
        });
        EXPECT_EQ(alerts, c.messageKey.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{shown.Text(c.messageKey.c_str())})
            << c.typed;
        EXPECT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Ticket(c.key), c.written) << c.typed;
    }
    EXPECT_EQ(shown.panel->summaryInfo().values[shown.Text("Number In Sequence Text")], "01");

    // The offset list opens its window as the choice is made; the setup
    // button opens it again.
    struct OffsetCase {
        const char* choice;
        int field, ok, cancel;
        std::string typed, messageKey;
        const char* key;
        std::string written;
    };
    const std::vector<OffsetCase> offsets = {
        {"PerCopies", 702, 704, 705, "9999", "", "OffsetStackingUnitsLArrowTicket", "9999"},
        {"PerCopies", 702, 704, 705, "10000", copies, "OffsetStackingUnitsLArrowTicket", "9999"},
        {"PerCopies", 702, 704, 705, "1", copies, "OffsetStackingUnitsLArrowTicket", "9999"},
        {"PerPages", 602, 604, 605, "65000", "", "OffsetStackingPagesLArrowTicket", "65000"},
        {"PerPages", 602, 604, 605, "65001", pages, "OffsetStackingPagesLArrowTicket", "65000"},
        {"PerPages", 602, 604, 605, "2", "", "OffsetStackingPagesLArrowTicket", "2"},
    };
    for (const OffsetCase& c : offsets) {
        const std::size_t alertsBefore = shown.host.toolkit.Alerts().size();
        auto act = [&](widgets::Window& window) {
            Type(window, c.field, c.typed);
            OkOrCancel(window, c.ok, c.cancel);
        };
        if (shown.ListOf("ZLKJog")->SelectedKey() != c.choice) {
            shown.host.toolkit.ScriptModal(act);
            ASSERT_TRUE(shown.Choose("ZLKJog", c.choice));
            EXPECT_EQ(shown.host.toolkit.PendingModalScripts(), 0u) << c.choice << " opens its window at once";
        } else {
            InWindow(shown, 108, act);
        }
        const auto& alerts = shown.host.toolkit.Alerts();
        EXPECT_EQ(alerts.size() > alertsBefore ? alerts.back().alert.informative : "",
                  c.messageKey.empty() ? "" : shown.Text(c.messageKey.c_str()))
            << c.typed;
        EXPECT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Ticket(c.key), c.written) << c.typed;
    }
    EXPECT_EQ(shown.Ticket("OffsetStackingListTicket"), "4");
    EXPECT_EQ(shown.panel->summaryInfo().values[shown.Text("Offset Stacking Pages Text")], "2");
    EXPECT_EQ(shown.panel->summaryInfo().values.count(shown.Text("Offset Stacking Copies Text")), 0u);
}

// A booklet trimmed on the c4500: the booklet and its sheet chosen, the
// page size marked as another panel of the dialog would.
struct Trimmed {
    Trimmed(const char* booklet, const char* sheet, const char* page, const char* trimming,
            std::map<std::string, std::string> ticket = {})
        : shown(Sample("c4500"), ticket)
    {
        EXPECT_EQ(ppdMarkOption(shown.host.callback->ppdFile(), "PageSize", page), 0);
        EXPECT_TRUE(shown.Choose("ZLKSignature", booklet)) << booklet;
        if (sheet) {
            EXPECT_TRUE(shown.Choose("ZLKSigSize", sheet)) << sheet;
        }
        EXPECT_TRUE(shown.Choose("ZLKTrimming", trimming)) << trimming;
    }
    // What the window showed when opened: its unit labels and fields.
    std::map<int, std::string> Opened(std::function<void(widgets::Window&)> act = {})
    {
        std::map<int, std::string> seen;
        alerts = InWindow(shown, 112, [&](widgets::Window& window) {
            window.Content().ForEachDescendant([&](widgets::Widget& widget) {
                if (auto* field = widget.As<widgets::TextField>()) {
                    seen[widget.Tag()] = field->Text();
                } else if (widget.As<widgets::Label>()) {
                    seen[widget.Tag()] = widget.Title();
                }
            });
            if (act) {
                act(window);
            } else {
                In<widgets::Button>(window, window.Content().FindWidget(8012) ? 8012 : 9029)->UserClick();
            }
        });
        return seen;
    }
    ShownPanel shown;
    std::vector<std::string> alerts;
};

TEST(FeaturesWindows, TrimmerRangesFollowTheSheetTheBookletIsMadeOf)
{
    struct Case {
        const char* what;
        const char* booklet;
        const char* sheet;
        const char* page;
        const char* trimming;
        int mmLabel, inchLabel, mmField;
        std::string mmRange, inchRange, shown;
    };
    const std::vector<Case> cases = {
        {"A3 sheet", "LeftSig", "A3", "A4", "ForeEdge", 8006, 8001, 8008, "190.0 - 208.0", "7.48 - 8.19", "202.0"},
        {"Tabloid sheet", "LeftSig", "DL", "Letter", "ForeEdge", 8006, 8001, 8008, "195.9 - 213.9", "7.71 - 8.42",
         "207.9"},
        {"sheet as page, A4", "LeftSig", "None", "A4", "ForeEdge", 8006, 8001, 8008, "190.0 - 208.0", "7.48 - 8.19",
         "202.0"},
        {"height, A3 sheet", "LeftSig", "A3", "A4", "ThreeEdge", 9005, 9001, 9007, "247.0 - 285.0", "9.72 - 11.22",
         "285.0"},
        {"height, Letter page", "LeftSig", "None", "Letter", "ThreeEdge", 9005, 9001, 9007, "229.4 - 267.4",
         "9.03 - 10.53", "267.4"},
        {"width, A3 sheet", "LeftSig", "A3", "A4", "ThreeEdge", 9015, 9011, 9017, "190.0 - 208.0", "7.48 - 8.19",
         "202.0"},
        {"adjustment", "LeftSig", "A3", "A4", "ThreeEdge", 9023, 9019, 9025, "-2.0 - 2.0", "-0.08 - 0.08", "0.0"},
    };
    for (const Case& c : cases) {
        Trimmed trimmed(c.booklet, c.sheet, c.page, c.trimming);
        const auto seen = trimmed.Opened();
        EXPECT_NE(seen.at(c.mmLabel).find(c.mmRange), std::string::npos) << c.what << ": " << seen.at(c.mmLabel);
        EXPECT_NE(seen.at(c.inchLabel).find(c.inchRange), std::string::npos) << c.what << ": " << seen.at(c.inchLabel);
        EXPECT_EQ(seen.at(c.mmField), c.shown) << c.what;
    }
}

TEST(FeaturesWindows, TrimmerStoresTheTrimAndWritesTheFinishedSize)
{
    Trimmed trimmed("LeftSig", "A3", "A4", "ForeEdge");
    ShownPanel& shown = trimmed.shown;
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Ticket("TrimmerSelectTicket"), "2");
    EXPECT_EQ(shown.Ticket("TrimmerMMShiftTicket"), "80");
    EXPECT_EQ(shown.Ticket("TrimmerMMCuttingSizeTicket"), "2020");
    const std::string outOfRange = "Enter a value from 190.0 to 208.0.";
    struct Case {
        std::string typed, alert, trim, cut;
    };
    const std::vector<Case> cases = {
        {"208.0", "", "20", "2080"},         {"208.1", outOfRange, "20", "2080"},   {"189.9", outOfRange, "20", "2080"},
        {"195.5", "", "145", "1955"},        {"195.55", outOfRange, "145", "1955"}, {"19 5", outOfRange, "145", "1955"},
        {"-195", outOfRange, "145", "1955"}, {"1.95e2", outOfRange, "145", "1955"}, {".5", outOfRange, "145", "1955"},
        {"190.", "", "200", "1900"},
    };
    for (const Case& c : cases) {
        trimmed.Opened([&](widgets::Window& window) {
            Type(window, 8008, c.typed);
            OkOrCancel(window, 8011, 8012);
        });
        EXPECT_EQ(trimmed.alerts, c.alert.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.alert})
            << c.typed;
        EXPECT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Ticket("TrimmerMMShiftTicket"), c.trim) << c.typed;
        EXPECT_EQ(shown.Ticket("TrimmerMMCuttingSizeTicket"), c.cut) << c.typed;
    }
    // Inches: the default finished size stands for the mm default both ways.
    std::string inches, mmAgain;
    trimmed.Opened([&](widgets::Window& window) {
        In<widgets::Button>(window, 8013)->UserClick();
        In<widgets::RadioButton>(window, 8005)->UserClick();
        inches = In<widgets::TextField>(window, 8003)->Text();
        In<widgets::RadioButton>(window, 8010)->UserClick();
        mmAgain = In<widgets::TextField>(window, 8008)->Text();
        In<widgets::RadioButton>(window, 8005)->UserClick();
        OkOrCancel(window, 8011, 8012);
    });
    EXPECT_EQ(trimmed.alerts, std::vector<std::string>{});
    EXPECT_EQ(inches, "7.96");
    EXPECT_EQ(mmAgain, "202.0");
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Ticket("TrimmerMMShiftTicket"), "80");
    EXPECT_EQ(shown.Ticket("TrimmerInchesShiftTicket"), "31");
    EXPECT_EQ(shown.Ticket("TrimmerInchesRadioTicket"), "1");
    EXPECT_EQ(shown.panel->summaryInfo().values[shown.Text("Trimmer Text")],
              "7.96 " + shown.Text("Trimmer Inches Side Static Text"));

    // A trim read back from the ticket, and one the sheet cannot take.
    for (const auto& [stored, seen] :
         std::map<std::string, std::string>{{"100", "200.0"}, {"99999", "190.0"}, {"x", "202.0"}}) {
        Trimmed again("LeftSig", "A3", "A4", "ForeEdge", {{"TrimmerMMShiftTicket", stored}});
        EXPECT_EQ(again.Opened().at(8008), seen) << stored;
    }
}

TEST(FeaturesWindows, TopLowerHeightLeavesTheTrimmerSomethingToCut)
{
    const std::string range = "Enter a finished height from 247.0 to 285.0.";
    struct Case {
        std::string adjust, height, alertStart;  // alertStart empty: accepted
        std::string heightSize;
    };
    const std::vector<Case> cases = {
        {"", "250.0", "", "2500"},
        {"2.0", "247.0", range, "2850"},  // 25.0 mm off each edge plus 2.0 is too much
        {"-2.0", "285.0", range, "2850"},  // 6.0 mm less 2.0 too little
        {"1.0", "280.0", "", "2800"},
        {"", "246.9", "Enter a value from 247.0 to 285.0.", "2850"},
        {"2.1", "260.0", "Enter a value from -2.0 to 2.0.", "2850"},
    };
    for (const Case& c : cases) {
        Trimmed trimmed("LeftSig", "A3", "A4", "ThreeEdge");
        trimmed.Opened([&](widgets::Window& window) {
            if (!c.adjust.empty()) {
                Type(window, 9025, c.adjust);
            }
            Type(window, 9007, c.height);
            OkOrCancel(window, 9028, 9029);
        });
        const std::string alert = trimmed.alerts.empty() ? "" : trimmed.alerts.front();
        EXPECT_EQ(alert.substr(0, c.alertStart.size()), c.alertStart) << c.adjust << " " << c.height;
        EXPECT_EQ(trimmed.alerts.empty(), c.alertStart.empty()) << c.adjust << " " << c.height;
        EXPECT_TRUE(trimmed.shown.panel->shouldPrint());
        EXPECT_EQ(trimmed.shown.Ticket("TrimmerSelectTicket"), "3");
        EXPECT_EQ(trimmed.shown.Ticket("TrimmerHeightMMSizeTicket"), c.heightSize) << c.adjust << " " << c.height;
        EXPECT_EQ(trimmed.shown.Ticket("TrimmerWidthMMSizeTicket"), "2020");
    }
    // A page too small to trim on three edges (marked past the PPD's own
    // rule that trimming needs a booklet).
    ShownPanel small(Sample("c4500"), {}, {{"PageSize", "A5"}, {"ZLKSignature", "None"}, {"ZLKTrimming", "ThreeEdge"}});
    const auto alerts = InWindow(small, 112, [&](widgets::Window& window) {
        Type(window, 9007, "182.0");
        OkOrCancel(window, 9028, 9029);
    });
    EXPECT_EQ(alerts, std::vector<std::string>{small.Text("Message66")});
}

TEST(FeaturesWindows, TrimmerSetupButtonOpensTheWindowOfTheListsChoice)
{
    Trimmed trimmed("LeftSig", "A3", "A4", "ForeEdge");
    auto* setup = trimmed.shown.panel->panelView()->Find<widgets::Button>(112);
    struct Case {
        const char* choice;
        int tagInWindow;  // 0: no window
    };
    for (const Case& c : std::vector<Case>{{"ForeEdge", 8008}, {"ThreeEdge", 9007}, {"None", 0}}) {
        ASSERT_TRUE(trimmed.shown.Choose("ZLKTrimming", c.choice));
        trimmed.shown.ShowPageOf(setup);
        const std::size_t runs = trimmed.shown.host.toolkit.ModalRuns().size();
        bool found = false;
        trimmed.shown.host.toolkit.ScriptModal([&](widgets::Window& window) {
            found = window.Content().FindWidget(c.tagInWindow) != nullptr;
            window.Content().ForEachDescendant([](widgets::Widget& widget) {
                if (widget.Title() == "Cancel" && widget.As<widgets::Button>()) {
                    widget.As<widgets::Button>()->UserClick();
                }
            });
        });
        setup->UserClick();
        EXPECT_EQ(trimmed.shown.host.toolkit.ModalRuns().size() - runs, c.tagInWindow ? 1u : 0u) << c.choice;
        EXPECT_EQ(found, c.tagInWindow != 0) << c.choice;
        if (!c.tagInWindow) {
            EXPECT_FALSE(setup->IsEnabled());
        }
    }
}

TEST(FeaturesWindows, JapanesePrinterOfTheSecondLayoutType)
{
    // Trimming is a switch on this printer; its texts are Japanese.
    ShownPanel shown(Sample("c3500j"), {},
                     {{"ZLKSignature", "LeftSig"}, {"ZLKSigSize", "A3"}, {"ZLKTrimming", "True"}});
    auto text = [&](const char* key) { return shown.plugin.bundle()->LocalizedString(key, "Localizable02"); };
    std::string label;
    const auto alerts = InWindow(shown, 112, [&](widgets::Window& window) {
        label = In<widgets::Label>(window, 8006)->Title();
        Type(window, 8008, "1");
        OkOrCancel(window, 8011, 8012);
    });
    EXPECT_EQ(label, "仕上がり幅 (190.0 - 208.0 mm):");
    EXPECT_EQ(alerts, std::vector<std::string>{"190.0～208.0 の範囲で入力してください。"});
    EXPECT_EQ(shown.host.toolkit.ModalRuns().back().title, text("Trimmer Window Title String"));

    // The auto fit switch is not offered for the second layout type.
    TempDir scratch;
    const fs::path ppd = EditedSample(scratch.path(), "c4500", "Default00-Type01", "Default00-Type02");
    ShownPanel type02(ppd);
    BookletMarginOn(type02);
    bool autoFitHidden = false;
    InWindow(type02, 107, [&](widgets::Window& window) {
        autoFitHidden = In<widgets::CheckBox>(window, 310)->IsHidden();
        OkOrCancel(window, 317, 318);
    });
    EXPECT_TRUE(autoFitHidden);
}

}  // namespace
}  // namespace zlk::test
