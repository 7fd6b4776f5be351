// The features plug-in as a print dialog uses it: the built module loaded
// with dlopen, its panel driven through the host protocol and the headless
// toolkit over the sample PPDs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "shownpanel.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

TEST(FeaturesPlugin, ExportsOnlyItsEntry)
{
    ASSERT_TRUE(fs::exists(kModule));
    const std::string command = "nm -D --defined-only " + kModule.string();
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::vector<std::string> symbols;
    char line[512];
    while (fgets(line, sizeof line, pipe.get())) {
        std::istringstream fields(line);
        std::string address, kind, name;
        fields >> address >> kind >> name;
        symbols.push_back(name);
    }
    EXPECT_EQ(symbols, std::vector<std::string>{platform::kPDEPlugInEntryName});
}

TEST(FeaturesPlugin, ClaimsTheKeywordsOfEachSampleMode)
{
    const std::map<std::string, std::size_t> claimed = {{"c4500", 85}, {"c3500j", 90}, {"m2500", 79}, {"q6000", 85}};
    for (const auto& [model, count] : claimed) {
        ShownPanel shown(Sample(model));
        EXPECT_EQ(shown.keys.size(), count) << model;
    }
}

TEST(FeaturesPlugin, GroupsPagesAndTheirTitles)
{
    // General (and Extra) always numbered; a PPD group numbered only past
    // six real options; fixed groups where the PPD has their keywords.
    const std::map<std::string, std::vector<std::string>> titles = {
        {"c4500",
         {"General 1", "Covers and Separators", "Layout", "Paper Feed", "Finishing", "Image Quality 1",
          "Image Quality 2", "Advanced Features"}},
        {"c3500j", {"一般 1", "仕上げ", "製本", "表紙", "色調整", "拡張機能"}},
        {"m2500", {"General 1", "Finishing", "Image Quality"}},
        {"q6000",
         {"General 1", "Covers and Separators", "Finishing", "Color Adjustment", "Image Quality", "Advanced Features"}},
    };
    for (const auto& [model, expected] : titles) {
        ShownPanel shown(Sample(model));
        EXPECT_EQ(shown.GroupTitles(), expected) << model;
        // Every text the panel shows has a translation in the printer's table.
        EXPECT_NE(shown.panel->panelName(), platform::kNoTranslation) << model;
        shown.panel->panelView()->ForEachDescendant([&](widgets::Widget& widget) {
            EXPECT_EQ(widget.Title().find(platform::kNoTranslation), std::string::npos) << model << " " << widget.Tag();
        });
        for (const auto& [title, value] : shown.panel->summaryInfo().values) {
            EXPECT_EQ(title.find(platform::kNoTranslation), std::string::npos) << model;
            EXPECT_EQ(value.find(platform::kNoTranslation), std::string::npos) << model << " " << title;
        }
    }
}

TEST(FeaturesPlugin, EachPageShowsItsOwnOptions)
{
    ShownPanel c4500(Sample("c4500"));
    const auto pages = c4500.Pages();
    EXPECT_EQ(pages.at("General 1"), (std::vector<std::string>{"Paper Type:", "Color Mode:", "Output Tray:"}));
    EXPECT_EQ(pages.at("Image Quality 1").size(), 6u);
    EXPECT_EQ(pages.at("Image Quality 2"), std::vector<std::string>{"Print as Image"});
    // With separators, the covers stand only in their own group.
    EXPECT_EQ(pages.at("Covers and Separators"),
              (std::vector<std::string>{"Front Cover:", "Back Cover:", "Separator Sheets:", "Settings...",
                                        "Bypass Tray Paper Type:"}));
    for (const auto& [title, labels] : pages) {
        if (title != "Covers and Separators") {
            EXPECT_EQ(std::count(labels.begin(), labels.end(), "Front Cover:"), 0) << title;
        }
    }

    // The Extra group of the Japanese printer joins its general group.
    ShownPanel c3500j(Sample("c3500j"));
    const auto general = c3500j.Pages().at("一般 1");
    EXPECT_EQ(general.back(), c3500j.OptionTitle("ZLKPDFRasterizedMode"));
}

// A host whose printer has no PPD.
class NoPPDHost : public platform::PDEPlugInCallback {
public:
    ppd_file_t* ppdFile() override { return nullptr; }
    platform::PMPrintSession* printSession() override { return &session; }
    platform::PMPrintSettings* printSettings() override { return &settings; }
    platform::PMPageFormat* pageFormat() override { return &format; }
    bool willChangePPDOptionKeyValue(const char*, const char*) override { return false; }
    platform::PMPrintSession session{"no-ppd"};
    platform::PMPrintSettings settings;
    platform::PMPageFormat format;
};

TEST(FeaturesPlugin, OffersNoPanelItCannotServe)
{
    TempDir scratch;
    // A bundle without one of the help pages the panel links to.
    const auto bundleWithout = [&](const std::string& page) {
        const fs::path copy = fs::path(scratch.path()) / ("bundle-without-" + page);
        fs::copy(kBundle, copy, fs::copy_options::recursive);
        fs::remove(copy / "Resources" / "Help" / page);
        return copy;
    };
    // A sample whose features mode reads "Disabled".
    const fs::path disabled = fs::path(scratch.path()) / "disabled.ppd";
    {
        std::ifstream in(Sample("c4500"));
        std::stringstream text;
        text << in.rdbuf();
        std::string ppd = text.str();
        ppd.replace(ppd.find("*ZLKXFeaturesSettings: \"Default00\""), 34, "*ZLKXFeaturesSettings: \"Disabled\"");
        std::ofstream(disabled) << ppd;
    }
    struct Case {
        const char* what;
        fs::path bundle;
        fs::path ppd;  // empty: a host without a PPD
        std::string type;
        std::size_t panels;
    };
    const std::vector<Case> cases = {
        {"the printer's own panel", kBundle, Sample("c4500"), platform::kPrintDialogPDEType, 1},
        {"another panel type", kBundle, Sample("c4500"), "com.example.page-setup", 0},
        {"no PPD", kBundle, {}, platform::kPrintDialogPDEType, 0},
        {"mode Disabled", kBundle, disabled, platform::kPrintDialogPDEType, 0},
        {"no position help", bundleWithout("SpecifyPosition.htm"), Sample("c4500"), platform::kPrintDialogPDEType, 0},
        {"no tab margin help", bundleWithout("TabMarginShift.htm"), Sample("c4500"), platform::kPrintDialogPDEType, 0},
        {"no margins help of the layout", bundleWithout("Margins_Type01.htm"), Sample("c4500"),
         platform::kPrintDialogPDEType, 0},
        {"margins help of another layout", bundleWithout("Margins_Type02.htm"), Sample("c4500"),
         platform::kPrintDialogPDEType, 1},
    };
    for (const Case& c : cases) {
        LoadedPlugin plugin(kModule, c.bundle);
        NoPPDHost noPPD;
        std::unique_ptr<Host> host;
        platform::PDEPlugInCallback* callback = &noPPD;
        if (!c.ppd.empty()) {
            host = std::make_unique<Host>(c.ppd);
            callback = host->callback.get();
        }
        EXPECT_EQ(plugin.get()->PDEPanelsForType(c.type, callback).size(), c.panels) << c.what;
    }
}

TEST(FeaturesPlugin, PrintingWritesCoilPunchFaceAndTabMediaKeys)
{
    struct Case {
        const char* model;
        const char* option;  // marked before printing; null: the defaults
        const char* choice;
        const char* coilPunchFace;
        const char* tabMedia;
    };
    const std::vector<Case> cases = {
        {"c4500", nullptr, nullptr, "true", "false"},
        {"c4500", "MediaType", "TabbedPaper", "true", "true"},
        {"c4500", "ZLKIntSheetMediaType", "TabbedPaper", "true", "true"},
        {"c3500j", "MediaType", "CoatingPaper", "false", "true"},
        {"m2500", nullptr, nullptr, "false", "false"},
    };
    for (const Case& c : cases) {
        ShownPanel shown(Sample(c.model));
        if (c.option) {
            ASSERT_TRUE(shown.host.callback->willChangePPDOptionKeyValue(c.option, c.choice)) << c.choice;
        }
        EXPECT_TRUE(shown.panel->shouldPrint());
        EXPECT_EQ(shown.Ticket("CoilPunchFaceTicket"), c.coilPunchFace) << c.model;
        EXPECT_EQ(shown.Ticket("featuresMediaTypeTabTicket"), c.tabMedia)
            << c.model << " " << (c.choice ? c.choice : "");
    }
}

TEST(FeaturesPlugin, SavingToAMailboxDisablesItsOptionsAndShowsDefaults)
{
    // The print type panel's value: its leading number decides.
    const std::vector<std::pair<std::string, bool>> printTypes = {{"5", true}, {"05", true}, {"5a", true},
                                                                  {"", false}, {"4", false}, {"mailbox", false}};
    for (const auto& [printType, mailbox] : printTypes) {
        ShownPanel shown(Sample("c4500"), {{"PrintTypeTicketKey", printType}});
        EXPECT_EQ(shown.ListOf("Jog")->IsEnabled(), !mailbox) << "'" << printType << "'";
        EXPECT_EQ(shown.ListOf("MediaType")->IsEnabled(), !mailbox) << "'" << printType << "'";
        EXPECT_TRUE(shown.ListOf("ZLKColorMode")->IsEnabled()) << "not a mailbox option";
    }

    // The summary shows the default while the job keeps the user's choice.
    ShownPanel shown(Sample("c4500"));
    ASSERT_TRUE(shown.Choose("MediaType", "ThickPaper"));
    // The host saves the panel's values when the user leaves it.
    EXPECT_TRUE(shown.panel->saveValuesAndReturnError(nullptr));
    EXPECT_EQ(shown.panel->summaryInfo().values.at("Paper Type"), "Thick");
    shown.SetTicket("PrintTypeTicketKey", "5");
    EXPECT_TRUE(shown.panel->restoreValuesAndReturnError(nullptr));
    EXPECT_FALSE(shown.ListOf("MediaType")->IsEnabled());
    EXPECT_EQ(shown.panel->summaryInfo().values.at("Paper Type"), "Printer Default");
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Marked("MediaType"), "ThickPaper");
}

TEST(FeaturesPlugin, ListsFollowTheInterposerAndTheBypassTrayCovers)
{
    for (const auto& [interposer, coilPunch] :
         std::vector<std::pair<std::string, bool>>{{"1", false}, {"0", true}, {"", true}}) {
        ShownPanel shown(Sample("c4500"), {{"whetherInterposerTicket", interposer}});
        // The PPD allows coil punching only with punching on.
        ASSERT_TRUE(shown.Choose("ZLKPunch", "Left"));
        EXPECT_EQ(shown.ItemEnabled("ZLKNumPunchHoles", "CoilPunch"), coilPunch) << "'" << interposer << "'";
        EXPECT_TRUE(shown.ItemEnabled("ZLKNumPunchHoles", "2Holes"));
    }

    // The bypass tray paper type is for covers and separators fed from it.
    ShownPanel shown(Sample("c4500"));
    widgets::PopUp* coverType = shown.ListOf("ZLKIntSheetMediaType");
    EXPECT_FALSE(coverType->IsEnabled());
    for (const char* list : {"ZLKIntCoverSheet", "ZLKIntBackCoverSheet", "ZLKIntSheet"}) {
        ASSERT_TRUE(shown.Choose(list, "MSI")) << list;
        EXPECT_TRUE(coverType->IsEnabled()) << list;
        ASSERT_TRUE(shown.Choose(list, "None")) << list;
        EXPECT_FALSE(coverType->IsEnabled()) << list;
    }
}

TEST(FeaturesPlugin, SetupButtonsOpenTheirWindowsOnlyWhileTheirSwitchIsOn)
{
    ShownPanel shown(Sample("c4500"));
    auto button = [&](int tag) { return shown.panel->panelView()->Find<widgets::Button>(tag); };
    struct Case {
        const char* what;
        int button;
        std::function<bool()> switchOn;
        const char* window;
    };
    const std::vector<Case> cases = {
        {"tab margin", 101, [&] { return shown.SwitchOf("ZLKTabMarginShiftEx")->UserClick(); },
         "Tab Margin Window Title String"},
        {"number in sequence", 111, [&] { return shown.SwitchOf("ZLKTabNumberInSequence")->UserClick(); },
         "Number In Sequence Window Title String"},
        {"separator", 102, [&] { return shown.Choose("ZLKIntSheet", "1stTray"); }, "Separator Window Title String"},
        {"offset per copy", 108, [&] { return shown.Choose("ZLKJog", "PerCopies"); },
         "Offset Per Copy Window Title String"},
        {"booklet margin", 107,
         [&] {
             return shown.Choose("ZLKSignature", "LeftSig") &&
                    shown.panel->panelView()->Find<widgets::CheckBox>(106)->UserClick();
         },
         "Booklet Margin Window Title String"},
        // The PPD trims booklets only.
        {"trimmer", 112, [&] { return shown.Choose("ZLKTrimming", "ForeEdge"); }, "Trimmer Window Title String"},
    };
    for (const Case& c : cases) {
        ASSERT_NE(button(c.button), nullptr) << c.what;
        shown.ShowPageOf(button(c.button));
        EXPECT_FALSE(button(c.button)->IsEnabled()) << c.what << ": off at first";
        const std::size_t before = shown.WindowsOpened().size();
        ASSERT_TRUE(c.switchOn()) << c.what;
        shown.ShowPageOf(button(c.button));
        EXPECT_TRUE(button(c.button)->IsEnabled()) << c.what;
        EXPECT_TRUE(button(c.button)->UserClick()) << c.what;
        const std::vector<std::string> opened = shown.WindowsOpened();
        ASSERT_GT(opened.size(), before) << c.what;
        EXPECT_EQ(opened.back(), shown.Text(c.window)) << c.what;
    }
    // The lists open their windows themselves: the separator on a tray, the
    // offset stacking on its last two choices.
    const std::vector<std::string> opened = shown.WindowsOpened();
    EXPECT_EQ(std::count(opened.begin(), opened.end(), shown.Text("Separator Window Title String")), 2);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), shown.Text("Offset Per Copy Window Title String")), 2);

    // What the switches and lists leave in the ticket for the printer.
    EXPECT_TRUE(shown.panel->shouldPrint());
    const std::map<std::string, std::string> written = {
        {"TabMarginSwitchTicket", "1"},   {"NumInSequenceSwitchTicket", "1"}, {"TrimmerSelectTicket", "2"},
        {"SeparatorPageListTicket", "2"}, {"OffsetStackingListTicket", "5"},  {"BookletMarginSwitchTicket", "1"},
    };
    for (const auto& [key, value] : written) {
        EXPECT_EQ(shown.Ticket(key), value) << key;
    }
    EXPECT_EQ(shown.Marked("ZLKTabMarginShiftEx"), "True");
    EXPECT_EQ(shown.Marked("ZLKJog"), "PerCopies");
}

TEST(FeaturesPlugin, SwitchesFollowTheirChoiceOrderAndChoicesTheDefinitionFile)
{
    // m2500 lists Smoothing's True before False: on is the first choice.
    ShownPanel m2500(Sample("m2500"));
    widgets::CheckBox* smoothing = m2500.SwitchOf("Smoothing");
    ASSERT_NE(smoothing, nullptr);
    EXPECT_EQ(smoothing->State(), 1) << "the default, True";
    for (const char* expected : {"False", "True"}) {
        ASSERT_TRUE(smoothing->UserClick());
        EXPECT_TRUE(m2500.panel->shouldPrint());
        EXPECT_EQ(m2500.Marked("Smoothing"), expected);
    }

    // q6000 names a definition file whose one rule of its own (not among
    // the PPD's constraints) refuses top-left stapling on thick paper.
    TempDir scratch;
    const fs::path ppd = EditedSample(scratch.path(), "q6000", "/usr/share/zelko/cdf/zelko-mfp-q6000.cdf",
                                      (kSamples / "zelko-mfp-q6000.cdf").string());
    ShownPanel q6000(ppd);
    EXPECT_TRUE(q6000.ItemEnabled("ZLKStaple", "UpperLeftSinglePort"));
    ASSERT_TRUE(q6000.Choose("MediaType", "ThickPaper"));
    EXPECT_FALSE(q6000.ItemEnabled("ZLKStaple", "UpperLeftSinglePort"));
    EXPECT_TRUE(q6000.ItemEnabled("ZLKStaple", "UpperRightSinglePort"));
    EXPECT_FALSE(q6000.Choose("ZLKStaple", "UpperLeftSinglePort")) << "a person cannot choose it";
    ASSERT_TRUE(q6000.Choose("MediaType", "Default"));
    EXPECT_TRUE(q6000.ItemEnabled("ZLKStaple", "UpperLeftSinglePort"));
}

TEST(FeaturesPlugin, SeparatorPagesAreTypedCheckedStoredAndShown)
{
    ShownPanel shown(Sample("c4500"));
    // Types the text into the separator window, presses OK and, when the
    // window stays open, Cancel; answers the alert shown, if any.
    auto enter = [&](const std::string& typed) {
        const std::size_t alertsBefore = shown.host.toolkit.Alerts().size();
        std::string shownText;
        shown.host.toolkit.ScriptModal([&](widgets::Window& window) {
            auto* field = window.Content().Find<widgets::TextField>(503);
            ASSERT_NE(field, nullptr);
            shownText = field->Text();
            field->UserClear();
            field->UserType(typed);
            window.Content().Find<widgets::Button>(504)->UserClick();
            if (window.IsOpen()) {
                window.Content().Find<widgets::Button>(505)->UserClick();
            }
        });
        auto* button = shown.panel->panelView()->Find<widgets::Button>(102);
        shown.ShowPageOf(button);
        EXPECT_TRUE(button->UserClick());
        const auto& alerts = shown.host.toolkit.Alerts();
        return std::pair{shownText, alerts.size() > alertsBefore ? alerts.back().alert.informative : ""};
    };
    ASSERT_TRUE(shown.Choose("ZLKIntSheet", "1stTray"));  // opens the window once, unscripted
    const std::string badInput = shown.Text("Message22c");
    const std::string tooMany = shown.Text("Message22d");
    std::string twenty, twentyOne;
    for (int page = 2; page <= 21; ++page) {
        twenty += (page > 2 ? "," : "") + std::to_string(page);
    }
    twentyOne = twenty + ",22";
    struct Case {
        std::string typed;
        std::string alert;  // empty: accepted
        std::string stored;  // the ticket after printing, when accepted
    };
    const std::vector<Case> cases = {
        {"3,5,7", "", "3 5 7"}, {"12, 4", "", "4 12"}, {"1,5", badInput, ""},    {"3,,5", badInput, ""},
        {",3", badInput, ""},   {"3,", badInput, ""},  {"10000", badInput, ""},  {"   ", badInput, ""},
        {"3;5", "", "35"},      {twenty, "", ""},      {twentyOne, tooMany, ""}, {"9, 3,12", "", "3 9 12"},
    };
    std::string lastStored;
    for (const Case& c : cases) {
        const auto [before, alert] = enter(c.typed);
        EXPECT_EQ(alert, c.alert) << c.typed;
        if (c.alert.empty()) {
            lastStored = c.stored.empty() ? lastStored : c.stored;
            EXPECT_TRUE(shown.panel->shouldPrint());
            if (!c.stored.empty()) {
                EXPECT_EQ(shown.Ticket("SeparatorPageTicket"), c.stored) << c.typed;
            }
        }
    }
    // The stored list comes back with commas, and shows in the summary.
    EXPECT_EQ(shown.panel->summaryInfo().values[shown.Text("Separator Location Title")], "3 9 12");
    EXPECT_EQ(enter("4").first, "3,9,12");
    // Help opens the page on positions; Cancel keeps what was stored.
    shown.host.toolkit.ScriptModal([](widgets::Window& window) {
        window.Content().Find<widgets::Button>(507)->UserClick();
        window.Content().Find<widgets::Button>(505)->UserClick();
    });
    auto* setup = shown.panel->panelView()->Find<widgets::Button>(102);
    shown.ShowPageOf(setup);
    EXPECT_TRUE(setup->UserClick());
    ASSERT_FALSE(shown.host.toolkit.HelpRequests().empty());
    EXPECT_EQ(fs::path(shown.host.toolkit.HelpRequests().back().page).filename(), "SpecifyPosition.htm");
    EXPECT_EQ(shown.host.toolkit.HelpRequests().back().book, shown.Text("Help Viewer Title for Features"));
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Ticket("SeparatorPageTicket"), "4");

    // Cancel with no pages stored switches the separator off again.
    ShownPanel fresh(Sample("c4500"));
    fresh.host.toolkit.ScriptModal(
        [](widgets::Window& window) { window.Content().Find<widgets::Button>(505)->UserClick(); });
    ASSERT_TRUE(fresh.Choose("ZLKIntSheet", "1stTray"));
    ASSERT_FALSE(fresh.host.toolkit.Alerts().empty());
    EXPECT_EQ(fresh.host.toolkit.Alerts().back().alert.informative, badInput);
    EXPECT_EQ(fresh.ListOf("ZLKIntSheet")->SelectedKey(), "None");
    EXPECT_EQ(fresh.Marked("ZLKIntSheet"), "None");
}

TEST(FeaturesPlugin, ThePanelsTicketPrintsAsAValidJobStream)
{
    ShownPanel shown(Sample("c4500"));
    ASSERT_TRUE(shown.Choose("ZLKStaple", "LeftDoublePort"));
    ASSERT_TRUE(shown.Choose("ZLKJog", shown.ListOf("ZLKJog")->Item(2).key.c_str()));
    EXPECT_TRUE(shown.panel->shouldPrint());
    EXPECT_EQ(shown.Marked("ZLKStaple"), "LeftDoublePort");
    EXPECT_EQ(shown.Ticket("OffsetStackingListTicket"), "3");

    SpoolerRun spooler;
    spooler.document = spooler.Pdf(2);
    spooler.options = shown.JobOptions();
    spooler.env["PPD"] = Sample("c4500");
    const RunResult run = spooler.Run();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const RunResult inspected = InspectStream(run.out);
    EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
    EXPECT_NE(SplitJobStream(run.out).ticket.find("StapleDualLeft"), std::string::npos);
}

}  // namespace
}  // namespace zlk::test
