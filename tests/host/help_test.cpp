// The page a panel's "?" asks for is in the language of the panel's texts:
// the printer's string table decides, whatever the desktop speaks, and a
// page without a translation is shown in English.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hosted.h"
#include "spooler.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

// The help pages asked for while the script played, below Resources/Help.
std::vector<std::string> HelpAskedFor(const std::string& model, const std::string& script, const fs::path& plugins)
{
    HostedDialog hosted(SamplePPDPath(model), {}, script, plugins);
    EXPECT_EQ(hosted.error, "") << model;
    std::vector<std::string> pages;
    for (const auto& request : hosted.toolkit.HelpRequests()) {
        const std::size_t help = request.page.find("/Resources/Help/");
        pages.push_back(help == std::string::npos ? request.page : request.page.substr(help + 16));
    }
    return pages;
}

TEST(HelpPages, FollowTheLanguageOfThePanelTexts)
{
    TempDir scratch;
    const fs::path plugins = ZLK_PLUGIN_BUILD_DIR;
    // The build's bundles, one Japanese page missing.
    const fs::path untranslated = LinkedPlugins(scratch.path());
    fs::remove(untranslated / "ZLKAccountPDE.plugin" / "Resources" / "Help" / "ja" / "JBA_ColorMFPJ.htm");

    // The job accounting panel's "?", then the one of its user settings window.
    const std::string accounting = "press JobAccounting/1006\npress JobAccounting/1005\npress 3004\ncancel\n";
    const std::string tabMargin = "check ZLKTabMarginShiftEx\npress PrintFeatures/101\npress 220\ncancel\n";
    const std::string sequence = "check ZLKTabNumberInSequence\npress PrintFeatures/111\npress 614\ncancel\n";
    struct Case {
        std::string model, script;
        fs::path plugins;
        std::vector<std::string> pages;
    };
    const std::vector<Case> cases = {
        {"c3500j",
         accounting + tabMargin,
         plugins,
         {"ja/JBA_ColorMFPJ.htm", "ja/DetailedUS_ColorMFPJ.htm", "ja/TabMarginShift.htm"}},
        {"c4500",
         accounting + tabMargin,
         plugins,
         {"JBA_ColorMFP.htm", "DetailedUS_ColorMFP.htm", "TabMarginShift.htm"}},
        {"m2500", accounting, plugins, {"JBA_MonoMFP.htm", "DetailedUS_MonoMFP.htm"}},
        {"q6000",
         accounting + sequence,
         plugins,
         {"JBA_Quorvel.htm", "DetailedUS_Quorvel.htm", "NumberInSequence.htm"}},
        {"c3500j", accounting, untranslated, {"JBA_ColorMFPJ.htm", "ja/DetailedUS_ColorMFPJ.htm"}},
    };
    for (const char* desktop : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        setenv("LANGUAGE", desktop, 1);
        for (const Case& c : cases) {
            EXPECT_EQ(HelpAskedFor(c.model, c.script, c.plugins), c.pages)
                << c.model << " on a " << desktop << " desktop, plug-ins from " << c.plugins;
        }
    }
    unsetenv("LANGUAGE");
}

}  // namespace
}  // namespace zlk::test
