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

#include "platform/widgets/controls.h"
#include "plugin.h"
#include "testpdf.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBundle = ZLK_FEATURES_BUNDLE;
const fs::path kModule = kBundle / "ZLKFeaturesPDE.so";
const fs::path kSamples = ZLK_SAMPLE_PPD_DIR;

fs::path Sample(const std::string& model) { return kSamples / ("zelko-mfp-" + model + ".ppd"); }

std::vector<std::unique_ptr<platform::PDEPanel>> PanelsFor(const LoadedPlugin& plugin, Host& host,
                                                           const std::string& type = platform::kPrintDialogPDEType)
{
    return plugin.get()->PDEPanelsForType(type, host.callback.get());
}

// The panel shown for a printer: offered, keys claimed, built.
struct ShownPanel {
    explicit ShownPanel(const fs::path& ppd) : host(ppd)
    {
        auto panels = PanelsFor(plugin, host);
        EXPECT_EQ(panels.size(), 1u) << ppd;
        if (panels.empty()) {
            return;
        }
        panel = std::move(panels.front());
        keys = panel->supportedPPDOptionKeys();
        EXPECT_NE(panel->panelView(), nullptr);
        platform::PDEError error;
        EXPECT_TRUE(panel->restoreValuesAndReturnError(&error)) << error.message;
    }
    widgets::PopUp* GroupList() const { return panel->panelView()->Find<widgets::PopUp>(2); }
    // The titles of the visible labels and check boxes of each page.
    std::map<std::string, std::vector<std::string>> Pages() const
    {
        std::map<std::string, std::vector<std::string>> pages;
        widgets::PopUp* groups = GroupList();
        auto* box = panel->panelView()->Find<widgets::GroupBox>(3);
        for (int i = 0; i < groups->ItemCount(); ++i) {
            EXPECT_TRUE(groups->UserSelect(i));
            std::vector<std::string>& titles = pages[groups->Item(i).title];
            for (std::size_t c = 0; c < box->ChildCount(); ++c) {
                const widgets::Widget& child = box->ChildAt(c);
                if (!child.IsHidden() && !child.As<widgets::PopUp>()) {
                    titles.push_back(child.Title());
                }
            }
        }
        groups->UserSelect(0);
        return pages;
    }
    std::string OptionTitle(const char* keyword) const
    {
        ppd_option_t* option = ppdFindOption(host.callback->ppdFile(), keyword);
        return option ? option->text : "";
    }
    std::vector<std::string> GroupTitles() const
    {
        std::vector<std::string> titles;
        for (const auto& item : GroupList()->Items()) {
            titles.push_back(item.title);
        }
        return titles;
    }

    LoadedPlugin plugin{kModule, kBundle};
    Host host;
    std::unique_ptr<platform::PDEPanel> panel;
    std::vector<std::string> keys;
};

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
    }
}

TEST(FeaturesPlugin, EachPageShowsItsOwnOptions)
{
    ShownPanel c4500(Sample("c4500"));
    const auto pages = c4500.Pages();
    EXPECT_EQ(pages.at("General 1"), (std::vector<std::string>{"Paper Type:", "Color Mode:", "Output Tray:"}));
    EXPECT_EQ(pages.at("Image Quality 1").size(), 6u);
    EXPECT_EQ(pages.at("Image Quality 2"), std::vector<std::string>{"Print as Image:"});
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
    EXPECT_EQ(general.back(), c3500j.OptionTitle("ZLKPDFRasterizedMode") + ":");
}

}  // namespace
}  // namespace zlk::test
