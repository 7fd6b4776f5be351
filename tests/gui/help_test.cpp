// "?" in the desktop dialog where no viewer can open the page: an xdg-open
// that fails (no browser) or none at all brings an alert naming the page,
// in the desktop's language, while the dialog goes on; one that opens the
// page brings none.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTabWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "guitest.h"
#include "host/gui/helpopener.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

TEST(HelpOnTheDesktop, SaysWhenNoViewerCouldOpenThePage)
{
    struct Case {
        std::string what;
        std::string xdgOpen;  // its shell script; empty: none on PATH
        const char* desktop;
        std::string alert;  // empty: none
        bool slow = false;  // still running when the click has returned
    };
    const std::vector<Case> cases = {
        {"xdg-open without a browser", "/bin/sleep 1; exit 3", "en_US.UTF-8",
         "No help viewer could open the help page ", true},
        {"no xdg-open", "", "en_US.UTF-8", "No help viewer could open the help page "},
        {"a Japanese desktop", "exit 4", "ja_JP.UTF-8", "ヘルプページ "},
        {"a viewer opens the page", "echo \"$1\" > \"$0.url\"", "en_US.UTF-8", ""},
    };
    const std::string path = std::getenv("PATH");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SamplePrinters printers;
        const fs::path bin = printers.folder / "bin";
        fs::create_directories(bin);
        if (!c.xdgOpen.empty()) {
            std::ofstream(bin / "xdg-open") << "#!/bin/sh\n" << c.xdgOpen << "\n";
            chmod((bin / "xdg-open").c_str(), 0755);
        }
        setenv("LANGUAGE", c.desktop, 1);
        widgets::QtToolkit toolkit;
        host::gui::HelpOpener help(toolkit);
        help.Install();
        Hands hands(toolkit);
        host::gui::PrintWindow window(toolkit, printers.Setup("c4500"));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The job accounting panel's "?", with only the xdg-open of the case on PATH.
        setenv("PATH", bin.c_str(), 1);
        Click(Tagged(*window.Pages()->widget(0), 1006));
        setenv("PATH", path.c_str(), 1);
        if (c.slow) {
            EXPECT_EQ(help.Pending(), 1) << "the dialog does not wait for the viewer";
            EXPECT_TRUE(hands.AlertsShown().empty());
        }
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return help.Pending() == 0 && (c.alert.empty() || !hands.AlertsShown().empty()); }, 5000));
        QTest::qWait(50);
        if (c.alert.empty()) {
            EXPECT_EQ(hands.AlertsShown(), std::vector<std::string>{});
            std::ifstream url(bin / "xdg-open.url");
            std::stringstream text;
            text << url.rdbuf();
            EXPECT_EQ(text.str().rfind("file:///", 0), 0u) << text.str();
            EXPECT_NE(text.str().find("/Resources/Help/JBA_ColorMFP.htm"), std::string::npos) << text.str();
        } else {
            ASSERT_EQ(hands.AlertsShown().size(), 1u);
            const std::string& alert = hands.AlertsShown()[0];
            EXPECT_EQ(alert.rfind(c.alert, 0), 0u) << alert;
            EXPECT_NE(
                alert.find(std::string(ZLK_PLUGIN_BUILD_DIR) + "/ZLKAccountPDE.plugin/Resources/Help/JBA_ColorMFP.htm"),
                std::string::npos)
                << alert;
            EXPECT_NE(alert.find("xdg-utils"), std::string::npos) << alert;
        }
        EXPECT_TRUE(window.isVisible());
    }
    unsetenv("LANGUAGE");
}

}  // namespace
}  // namespace zlk::test::gui
