// The features panel as a host shows it: what a person sees and what the
// job carries after they tick, choose and type, on the samples and on
// edited copies of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "hosted.h"
#include "process.h"

namespace zlk::test {
namespace {

// Whichever way a PPD spells and orders a switch's two choices, ticking the
// box writes the "on" choice, unticking the "off" one, and a marked "on"
// choice shows the box ticked.
TEST(FeaturesPanelInAHost, CheckBoxesFollowTheirPPDChoices)
{
    TempDir dir;
    struct Case {
        std::string ppd, option, on, off;
    };
    std::vector<Case> cases;
    for (const char* model : {"c4500", "c3500j", "m2500", "q6000"}) {
        for (const char* option : {"ZLKTurnPage", "ZLKPDFRasterizedMode"}) {
            // The M2500 cannot turn pages.
            if (ReadFile(SamplePPDPath(model)).find(std::string("*OpenUI *") + option) != std::string::npos) {
                cases.push_back({SamplePPDPath(model), option, "true", "false"});
            }
        }
    }
    // The same switch with other spellings, either choice first.
    for (const auto& [first, second, on, off] :
         std::vector<std::array<std::string, 4>>{{"On", "Off", "On", "Off"},
                                                 {"Off", "On", "On", "Off"},
                                                 {"False", "True", "True", "False"},
                                                 {"yes", "no", "yes", "no"},
                                                 {"None", "Rotate", "Rotate", "None"},
                                                 {"Rotate", "Keep", "Rotate", "Keep"}}) {
        const std::string ppd = EditedPPD(dir, SamplePPDPath("c4500"),
                                          {{"*DefaultZLKTurnPage", "*DefaultZLKTurnPage: " + off},
                                           {"*ZLKTurnPage true", "*ZLKTurnPage " + first + "/" + first + ": \"\""},
                                           {"*ZLKTurnPage false", "*ZLKTurnPage " + second + "/" + second + ": \"\""}});
        cases.push_back({ppd, "ZLKTurnPage", on, off});
    }
    for (const Case& c : cases) {
        const std::string what = c.ppd + " " + c.option + " " + c.on;
        HostedDialog ticked(c.ppd, {}, "check " + c.option);
        EXPECT_EQ(ticked.error, "") << what;
        EXPECT_EQ(ticked.JobOptions()[c.option], c.on) << what;

        HostedDialog shown(c.ppd, {{c.option, c.on}});
        EXPECT_EQ(shown.Control(c.option).value("state", -1), 1) << what;
        EXPECT_EQ(shown.JobOptions()[c.option], c.on) << what;

        HostedDialog unticked(c.ppd, {{c.option, c.on}}, "uncheck " + c.option);
        EXPECT_EQ(unticked.Control(c.option).value("state", -1), 0) << what;
        EXPECT_EQ(unticked.JobOptions()[c.option], c.off) << what;
    }
}

// The Q6000's constraints come from its definition file, which the panel
// reads when the host asks it for its keys.
TEST(FeaturesPanelInAHost, ConstraintDefinitionFileDisablesChoices)
{
    TempDir dir;
    const std::string definitions = std::string(ZLK_SAMPLE_PPD_DIR) + "/zelko-mfp-q6000.cdf";
    const std::string ppd =
        EditedPPD(dir, SamplePPDPath("q6000"), {{"*ZLKXCDFSetting", "*ZLKXCDFSetting: \"" + definitions + "\""}});
    struct Case {
        std::string list, item;
        bool enabled;
    };
    const std::vector<Case> cases = {
        {"ZLKIntCoverSheet", "4thTray", false},  // one optional tray installed
        {"ZLKIntCoverSheet", "3rdTray", true},
        {"ZLKStaple", "UpperLeftSinglePort", false},  // the file's own rule for thick paper
        {"ZLKStaple", "UpperRightSinglePort", true},
    };
    HostedDialog hosted(ppd, {{"MediaType", "ThickPaper"}});
    for (const Case& c : cases) {
        EXPECT_EQ(hosted.ItemEnabled(c.list, c.item), c.enabled) << c.list << " " << c.item;
    }
    // Shown again, the panel reads the file again into the same table.
    hosted.dialog->Restore();
    for (const Case& c : cases) {
        EXPECT_EQ(hosted.ItemEnabled(c.list, c.item), c.enabled) << "again: " << c.list << " " << c.item;
    }

    // The same from outside, as an administrator checks a printer.
    RunOptions options;
    options.env = {
        {"ZLK_PLUGIN_PATH", ZLK_PLUGIN_BUILD_DIR}, {"XDG_CONFIG_HOME", dir.path()}, {"PATH", "/usr/bin:/bin"}};
    options.args = {ZLK_PRINT_BINARY, "--ppd", ppd, "-o", "MediaType=ThickPaper", "--describe"};
    const RunResult run = RunProgram(ZLK_PRINT_BINARY, options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json description = nlohmann::json::parse(run.out);
    std::map<std::string, bool> disabled;
    for (const auto& panel : description["panels"]) {
        for (const auto& control : panel["controls"]) {
            for (const auto& item : control.value("items", nlohmann::json::array())) {
                if (!item["enabled"].get<bool>()) {
                    disabled[control["name"].get<std::string>() + " " + item["key"].get<std::string>()] = true;
                }
            }
        }
    }
    EXPECT_TRUE(disabled.count("ZLKIntCoverSheet 4thTray")) << run.out;
    EXPECT_TRUE(disabled.count("ZLKStaple UpperLeftSinglePort")) << run.out;
}

// The booklet margin "Settings..." button (107) follows its switch (106)
// once a booklet is chosen, however the booklet list got there.
TEST(FeaturesPanelInAHost, BookletMarginButtonFollowsItsSwitch)
{
    struct Case {
        std::string script;
        bool switchEnabled, buttonEnabled;
    };
    const std::vector<Case> cases = {
        {"", false, false},
        {"choose ZLKSignature LeftSig", true, false},
        {"choose ZLKSignature LeftSig\nchoose ZLKSignature None\nchoose ZLKSignature LeftSig", true, false},
        {"choose ZLKSignature LeftSig\ncheck 106", true, true},
        {"choose ZLKSignature LeftSig\ncheck 106\nchoose ZLKSignature None\nchoose ZLKSignature LeftSig", true, true},
        {"choose ZLKSignature LeftSig\ncheck 106\nchoose ZLKSignature None", false, false},
        {"choose ZLKSignature LeftSig\ncheck 106\nuncheck 106", true, false},
    };
    for (const Case& c : cases) {
        HostedDialog hosted(SamplePPDPath("c4500"), {}, c.script);
        EXPECT_EQ(hosted.error, "") << c.script;
        EXPECT_EQ(hosted.Control("106")["enabled"], c.switchEnabled) << c.script;
        EXPECT_EQ(hosted.Control("107")["enabled"], c.buttonEnabled) << c.script;
    }
}

// A stored separator page list is shown in the order it was stored.
TEST(FeaturesPanelInAHost, SeparatorPagesShowInStoredOrder)
{
    const std::string key = "com.zelko.jt.printsettings.pdf.ww.SeparatorPageTicket";
    for (const auto& [stored, shown] :
         std::vector<std::pair<std::string, std::string>>{{"12 4", "12,4"}, {"3 9 12", "3,9,12"}, {"007 20", "7,20"}}) {
        HostedDialog hosted(SamplePPDPath("c4500"), {{"ZLKIntSheet", "1stTray"}, {key, stored}});
        EXPECT_EQ(hosted.Control("SeparatorPageTicket")["text"], shown) << stored;
    }
}

// The trimmer on a sheet whose page size the PPD lacks: the sheet's own
// size where its name says it, and no window and no size at all where the
// sheet is not known; never a negative size.
TEST(FeaturesPanelInAHost, TrimmerNeverOffersANegativeSize)
{
    TempDir dir;
    const std::string ppd =
        EditedPPD(dir, SamplePPDPath("c4500"),
                  {{"*PageSize Tabloid", ""},
                   {"*PageRegion Tabloid", ""},
                   {"*ImageableArea Tabloid", ""},
                   {"*PaperDimension Tabloid", ""},
                   {"*ZLKSigSize DL", "*ZLKSigSize DL/Tabloid: \"\"\n*ZLKSigSize SigTray3/Tray 3: \"\""}});
    const std::string key = "com.zelko.jt.printsettings.pdf.ww.";

    // Tabloid, 1224 points long: 195.9 to 213.9 mm finished.
    HostedDialog tabloid(ppd, {},
                         "choose ZLKSignature LeftSig\nchoose ZLKSigSize DL\nchoose ZLKTrimming ForeEdge\n"
                         "press 112\ntype 8008 202.0\nok\n");
    EXPECT_EQ(tabloid.error, "");
    EXPECT_EQ(tabloid.Control("8009")["min"], 1959);
    EXPECT_EQ(tabloid.Control("8009")["max"], 2139);
    std::map<std::string, std::string> options = tabloid.JobOptions();
    EXPECT_EQ(options[key + "TrimmerMMCuttingSizeTicket"], "2020");
    EXPECT_EQ(options[key + "TrimmerMMShiftTicket"], "139");

    // A sheet from a tray on a custom page of no known size.
    HostedDialog unknown(ppd, {{"PageSize", "Custom"}},
                         "choose ZLKSignature LeftSig\nchoose ZLKSigSize SigTray3\nchoose ZLKTrimming ForeEdge\n"
                         "press 112\n");
    EXPECT_EQ(unknown.error, "");
    EXPECT_TRUE(unknown.runner->Cancelled().empty()) << "the trimmer window opened";
    ASSERT_EQ(unknown.toolkit.Alerts().size(), 1u);
    EXPECT_NE(unknown.toolkit.Alerts()[0].alert.informative.find("not known"), std::string::npos);
    options = unknown.JobOptions();
    EXPECT_EQ(options[key + "TrimmerMMCuttingSizeTicket"], "");
    EXPECT_EQ(options[key + "TrimmerMMShiftTicket"], "");
}

// Settings given for the job (lp -o) are where the panels start, and a
// custom page size keeps its size.
TEST(HostOptions, SettingsGivenForTheJobStartThePanels)
{
    const std::string key = "com.zelko.jt.printsettings.pdf.ww.";
    HostedDialog hosted(
        SamplePPDPath("c4500"),
        {{key + "PrintTypeTicketKey", "5"}, {key + "PrintTypeMBNTicketKey", "7"}, {"PageSize", "Custom.612x792"}});
    // The print type panel shows the mailbox and the features panel follows it.
    EXPECT_EQ(hosted.Control("PrintTypeTicketKey")["selected"], 4);
    EXPECT_EQ(hosted.Control("MediaType")["enabled"], false);
    std::map<std::string, std::string> options = hosted.JobOptions();
    EXPECT_EQ(options[key + "PrintTypeTicketKey"], "5");
    EXPECT_EQ(options[key + "PrintTypeMBNTicketKey"], "7");
    EXPECT_EQ(options["PageSize"], "Custom.612x792");
}

// A PPD that lists an option in two groups (any print server may serve
// one) gives the job each option once, in bounded time.
TEST(HostOptions, AnOptionInTwoGroupsIsSentOnce)
{
    TempDir dir;
    const std::string ppd =
        EditedPPD(dir, SamplePPDPath("c4500"),
                  {{"*OpenGroup: Advanced/Advanced Features",
                    "*OpenGroup: Advanced/Advanced Features\n*OpenUI *Collate/Collate: Boolean\n"
                    "*DefaultCollate: False\n*Collate True/On: \"\"\n*Collate False/Off: \"\"\n*CloseUI: *Collate"}});
    HostedDialog hosted(ppd, {{"Collate", "True"}});
    const std::vector<host::JobOption> options = hosted.dialog->JobOptions();
    EXPECT_EQ(std::count_if(options.begin(), options.end(), [](const auto& o) { return o.first == "Collate"; }), 1);
    EXPECT_TRUE(std::find(options.begin(), options.end(), host::JobOption("Collate", "True")) != options.end());
}

// A panel shown again applies what the other panels were given since: the
// features panel's mailbox rules follow a print type chosen in the script.
TEST(HostOptions, AScriptShowsAPanelAgain)
{
    const std::string mailbox = "choose PrintTypeTicketKey Job Type MBN\ntype 1041 7\nok\n";
    for (const auto& [script, mediaTypeEnabled] :
         std::vector<std::pair<std::string, bool>>{{mailbox, true}, {mailbox + "show PrintFeatures\n", false}}) {
        HostedDialog hosted(SamplePPDPath("c4500"), {}, script);
        EXPECT_EQ(hosted.error, "") << script;
        EXPECT_EQ(hosted.Control("MediaType")["enabled"], mediaTypeEnabled) << script;
    }
}

}  // namespace
}  // namespace zlk::test
