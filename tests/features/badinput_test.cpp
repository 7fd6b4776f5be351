// The features plug-in given what a broken installation or a damaged
// printer description gives it: it offers no panel or builds what it can,
// and never crashes or writes a damaged ticket value.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "platform/printing/printsettings.h"
#include "platform/widgets/controls.h"
#include "plugin.h"
#include "testpdf.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBundle = ZLK_FEATURES_BUNDLE;
const fs::path kModule = kBundle / "ZLKFeaturesPDE.so";

// A small printer description of mode Default02 with the given groups.
std::string Ppd(const std::string& groups, const std::string& extra = "")
{
    return "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
           "*LanguageEncoding: ISOLatin1\n*PCFileName: \"ZLKTEST.PPD\"\n*Manufacturer: \"Zelko\"\n"
           "*Product: \"(Zelko Test)\"\n*ModelName: \"Zelko Test\"\n*ShortNickName: \"Zelko Test\"\n"
           "*NickName: \"Zelko Test\"\n*PSVersion: \"(3010.000) 0\"\n*ZLKXFeaturesSettings: \"Default02\"\n" +
           extra + groups;
}

std::string PickOne(const std::string& keyword, const std::string& text, const std::vector<std::string>& choices)
{
    std::string ui = "*OpenUI *" + keyword + "/" + text + ": PickOne\n*Default" + keyword + ": " + choices[0] + "\n";
    for (const std::string& choice : choices) {
        ui += "*" + keyword + " " + choice + "/" + choice + ": \"\"\n";
    }
    return ui + "*CloseUI: *" + keyword + "\n";
}

std::string Group(const std::string& name, const std::string& options)
{
    return "*OpenGroup: " + name + "\n" + options + "*CloseGroup: " + name + "\n";
}

struct Outcome {
    std::size_t panels = 0;
    std::vector<std::string> groupTitles;
};

// Offers, builds, shows, summarises, prints and saves the panel; every
// ticket value it leaves must be well-formed UTF-8 of at most 255 bytes.
Outcome Drive(const fs::path& bundle, const fs::path& ppd, const std::map<std::string, std::string>& ticket = {})
{
    Outcome outcome;
    LoadedPlugin plugin(kModule, bundle);
    Host host(ppd);
    if (!plugin.get() || !host.callback) {
        return outcome;
    }
    for (const auto& [key, value] : ticket) {
        platform::PMPrintSettingsSetValue(host.callback->printSettings(), key.c_str(), value.c_str(), false);
    }
    auto panels = plugin.get()->PDEPanelsForType(platform::kPrintDialogPDEType, host.callback.get());
    outcome.panels = panels.size();
    for (auto& panel : panels) {
        panel->supportedPPDOptionKeys();
        widgets::View* view = panel->panelView();
        panel->restoreValuesAndReturnError(nullptr);
        panel->willShow();
        panel->summaryInfo();
        EXPECT_TRUE(panel->shouldPrint());
        panel->saveValuesAndReturnError(nullptr);
        if (auto* groups = view ? view->Find<widgets::PopUp>(2) : nullptr) {
            for (const auto& item : groups->Items()) {
                EXPECT_TRUE(common::IsValidUtf8(item.title)) << item.title;
                outcome.groupTitles.push_back(item.title);
            }
        }
    }
    for (const auto& [key, entry] : host.callback->printSettings()->entries()) {
        if (ticket.count(key) == 0) {
            EXPECT_TRUE(common::IsValidUtf8(entry.value)) << key;
            EXPECT_LE(entry.value.size(), 255u) << key;
        }
    }
    return outcome;
}

class FeaturesBadInput : public ::testing::Test {
protected:
    fs::path Write(const std::string& name, const std::string& text)
    {
        const fs::path path = fs::path(scratch.path()) / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // A copy of the bundle, changed by edit.
    fs::path BundleCopy(const std::string& name, const std::function<void(const fs::path&)>& edit)
    {
        const fs::path copy = fs::path(scratch.path()) / name;
        fs::copy(kBundle, copy, fs::copy_options::recursive);
        edit(copy);
        return copy;
    }
    TempDir scratch;
};

TEST_F(FeaturesBadInput, DamagedPrinterDescriptions)
{
    const std::string staple = PickOne("ZLKStaple", "Staple", {"None", "UpperLeftSinglePort"});
    struct Case {
        const char* what;
        std::string ppd;
        std::size_t panels;
        std::vector<std::string> titles;
    };
    const std::vector<Case> cases = {
        {"no groups at all", Ppd(""), 1, {}},
        {"only options the panel does not claim",
         Ppd(Group("General", PickOne("ZLKUnknown", "Unknown", {"A", "B"}))),
         1,
         {}},
        {"a group text that is not Latin-1 text", Ppd(Group("Fin/Fin\x01\xff", staple)), 1, {"Fin\x01\xc3\xbf"}},
        {"an option text that is not valid",
         Ppd(Group("Finishing", PickOne("ZLKStaple", "St\xff\xfe", {"None"}))),
         1,
         {"Finishing"}},
        {"a definition file that does not exist",
         Ppd(Group("Finishing", staple), "*ZLKXCDFSetting: \"/nonexistent/zelko.cdf\"\n"),
         1,
         {"Finishing"}},
        {"a damaged definition file",
         Ppd(Group("Finishing", staple), "*ZLKXCDFSetting: \"" + scratch.file("damaged.cdf") + "\"\n"),
         1,
         {"Finishing"}},
    };
    Write("damaged.cdf", "PrintFeaturePDETiger\nZLKStaple:None@99@99@99@@@garbage@\n\xff\xfe\n");
    for (const Case& c : cases) {
        const Outcome outcome = Drive(kBundle, Write("case.ppd", c.ppd));
        EXPECT_EQ(outcome.panels, c.panels) << c.what;
        EXPECT_EQ(outcome.groupTitles, c.titles) << c.what;
    }
}

TEST_F(FeaturesBadInput, FiveHundredOptionsInOneGroupMakeEightyFourPages)
{
    std::string options;
    std::vector<std::string> keywords;
    for (int i = 1; i <= 500; ++i) {
        keywords.push_back("ZLKMany" + std::to_string(i));
        options += PickOne(keywords.back(), "Option " + std::to_string(i), {"Off", "On"});
    }
    const fs::path bundle = BundleCopy("bundle-many", [&](const fs::path& copy) {
        nlohmann::json info;
        std::ifstream(copy / "Info.json") >> info;
        for (const std::string& keyword : keywords) {
            info["PMPPDKeysSupported"].push_back(keyword);
        }
        std::ofstream(copy / "Info.json") << info.dump();
    });
    const Outcome outcome = Drive(bundle, Write("many.ppd", Ppd(Group("Many", options))));
    ASSERT_EQ(outcome.groupTitles.size(), 84u);
    EXPECT_EQ(outcome.groupTitles.front(), "Many 1");
    EXPECT_EQ(outcome.groupTitles.back(), "Many 84");
}

TEST_F(FeaturesBadInput, DamagedBundlesAndTicketValues)
{
    const fs::path sample = fs::path(ZLK_SAMPLE_PPD_DIR) / "zelko-mfp-c4500.ppd";
    const fs::path damagedInfo = BundleCopy(
        "bundle-damaged", [](const fs::path& copy) { std::ofstream(copy / "Info.json") << "{\"Default00\": ["; });
    const fs::path noTable = BundleCopy(
        "bundle-no-table", [](const fs::path& copy) { fs::remove(copy / "Resources" / "Localizable01.json"); });
    const fs::path noMode = BundleCopy("bundle-no-mode", [](const fs::path& copy) {
        nlohmann::json info;
        std::ifstream(copy / "Info.json") >> info;
        info.erase("Default00");
        std::ofstream(copy / "Info.json") << info.dump();
    });
    EXPECT_EQ(Drive(damagedInfo, sample).panels, 0u) << "no bundle, no panel";
    const Outcome untranslated = Drive(noTable, sample);
    EXPECT_EQ(untranslated.panels, 1u);
    EXPECT_EQ(untranslated.groupTitles.front(), "no translation 1");
    const Outcome noModeEntry = Drive(noMode, sample);
    EXPECT_EQ(noModeEntry.panels, 1u);
    EXPECT_TRUE(noModeEntry.groupTitles.empty()) << "an unknown mode builds no PPD controls";

    const std::string prefix = "com.zelko.jt.printsettings.pdf.ww.";
    for (const char* value : {"", "abc", "-5", "99999999999999999999", "5\xff", "\xff\xfe"}) {
        const Outcome outcome = Drive(kBundle, sample,
                                      {{prefix + "PrintTypeTicketKey", value},
                                       {prefix + "SpecialPageRecordCountTicket", value},
                                       {prefix + "WMARKNameTicket", value},
                                       {prefix + "pageSizeArrayTicket", value},
                                       {prefix + "whetherInterposerTicket", value}});
        EXPECT_EQ(outcome.panels, 1u) << value;
    }
}

}  // namespace
}  // namespace zlk::test
