// Every panel page and every window of each sample printer, as the desktop
// shows them: written as PNG files for a reviewer, and checked for texts
// that do not fit, controls on top of each other and untranslated keys.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <map>
#include <set>

#include "guitest.h"
#include "testpdf.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

class Screens : public ::testing::TestWithParam<std::string> {};

TEST_P(Screens, EveryPageAndWindowFitsItsTexts)
{
    const std::string model = GetParam();
    SamplePrinters printers;
    const fs::path pdf = printers.Document(1);
    widgets::QtToolkit toolkit;
    toolkit.SetHelpOpener([](const std::string&) { return 0; });
    Hands hands(toolkit);
    std::vector<std::string> problems;
    std::set<std::string> windows;
    auto look = [&](QWidget& widget, const std::string& name) {
        Screenshot(widget, model + "-" + name);
        for (const std::string& problem : LayoutProblems(toolkit, widget)) {
            problems.push_back(name + ": " + problem);
        }
    };
    // Each window once for each set of controls it shows.
    std::set<std::string> seen;
    hands.Otherwise([&](QWidget& shown) {
        const std::string title = shown.windowTitle().toStdString();
        std::string shape = title;
        for (const QWidget* child : shown.findChildren<QWidget*>()) {
            if (child->isVisibleTo(&shown) && child->objectName().startsWith("tag")) {
                shape += " " + child->objectName().toStdString();
            }
        }
        windows.insert(title);
        if (seen.insert(shape).second) {
            look(shown, "window" + std::to_string(seen.size()) + "-" + title);
        }
        PressKey(&shown, Qt::Key_Escape);
    });
    auto pressButtons = [&](QWidget& page) {
        for (QPushButton* button : page.findChildren<QPushButton*>()) {
            if (button->isVisible() && button->isEnabled()) {
                Click(button);
            }
        }
    };
    host::gui::PrintWindow window(toolkit, printers.Setup(model, {pdf}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_FALSE(window.Queue().empty());
    look(window, "dialog");
    QTabWidget* pages = window.Pages();
    ASSERT_GE(pages->count(), 3) << "features, print type and summary at least";
    for (int i = 0; i < pages->count(); ++i) {
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(i).center());
        ASSERT_EQ(pages->currentIndex(), i);
        QWidget& page = *pages->currentWidget();
        const std::string pageName = "page" + std::to_string(i);
        look(page, pageName);
        if (i + 1 == pages->count()) {
            break;  // the summary
        }
        // Every group of a panel that has a group list: every choice of
        // every list with the buttons it enables, once leaving each list at
        // its last choice (some windows need a choice of another list) and
        // once putting it back (some need the others at their defaults);
        // then every control switched on and every button pressed.
        auto* groups = qobject_cast<QComboBox*>(Tagged(page, 2));
        const int groupCount = groups ? groups->count() : 1;
        if (groups) {
            EXPECT_EQ(groups->currentIndex(), 0) << "the first group shows from the start";
        }
        std::map<QComboBox*, int> initial;
        for (const int pass : {0, 1, 2}) {
            const bool switchOn = pass == 2;
            for (int g = 0; g < groupCount; ++g) {
                const std::string groupName = pageName + "-group" + std::to_string(g);
                if (groups) {
                    ASSERT_TRUE(ChooseIndex(groups, g));
                }
                if (!switchOn) {
                    if (pass == 0) {
                        look(page, groupName);
                    }
                    for (QComboBox* list : page.findChildren<QComboBox*>()) {
                        if (list != groups && list->isVisible()) {
                            initial.emplace(list, list->currentIndex());
                            if (pass == 1) {
                                ChooseIndex(list, initial[list]);
                            }
                        }
                    }
                    for (QComboBox* list : page.findChildren<QComboBox*>()) {
                        if (list == groups || !list->isVisible() || !list->isEnabled()) {
                            continue;
                        }
                        for (int item = 0; item < list->count(); ++item) {
                            ChooseIndex(list, item);
                            pressButtons(page);
                        }
                        if (pass == 1) {
                            ChooseIndex(list, initial[list]);
                        }
                    }
                    // Some switches can be used only while a list is away
                    // from its default (the booklet margin): they are
                    // switched on here too, with every list at its last choice.
                    if (pass == 1) {
                        continue;
                    }
                }
                for (QCheckBox* box : page.findChildren<QCheckBox*>()) {
                    if (box->isVisible() && box->isEnabled() && !box->isChecked()) {
                        Click(box);
                    }
                }
                pressButtons(page);
                if (switchOn) {
                    look(page, groupName + "-on");
                }
            }
        }
    }
    // The short-passcode notice comes at print time too: a secure print
    // whose passcode was shortened in its window without OK.
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(1).center());
    hands.InWindow([](QWidget& shown) {
        TypeInto(Tagged(shown, 1022), "bob");
        TypeInto(Tagged(shown, 1026), "12345678");
        PressKey(&shown, Qt::Key_Return);
    });
    ASSERT_TRUE(Choose(toolkit, Named(toolkit, *pages->currentWidget(), "PrintTypeTicketKey"), "Job Type Secure"));
    hands.InWindow([](QWidget& shown) {
        TypeInto(Tagged(shown, 1026), "1");
        Click(Tagged(shown, 1030));
    });
    Click(Tagged(*pages->currentWidget(), 103));
    Click(window.findChild<QPushButton*>("print"));
    // The accounting input window comes at print time, when asked for in
    // the detailed settings.
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(0).center());
    hands.InWindow([](QWidget& shown) {
        Click(Tagged(shown, 3017));
        PressKey(&shown, Qt::Key_Return);
    });
    Click(Tagged(*pages->currentWidget(), 1005));
    Click(window.findChild<QPushButton*>("print"));
    // Every window of the printer's panels was reached and looked at.
    const std::map<std::string, std::set<std::string>> expected = {
        {"c3500j",
         {"インデックス紙の余白シフト", "ページ数ごとのオフセット排紙", "ユーザー情報の入力", "ユーザー設定",
          "印刷タイプの設定", "部数ごとのオフセット排紙"}},
        {"c4500",
         {"Booklet Margin", "Enter User Details", "Offset Every Given Number of Copies",
          "Offset Every Given Number of Pages", "Print Type Settings", "Separator Sheets", "Tab Margin Shift",
          "Tab Numbers in Sequence", "Trimming", "User Settings"}},
        {"m2500", {"Enter User Details", "Print Type Settings", "User Settings"}},
        {"q6000",
         {"Enter User Details", "Print Type Settings", "Separator Sheets", "Tab Numbers in Sequence", "User Settings"}},
    };
    EXPECT_EQ(windows, expected.at(model));
    // Windows that share a title (the print types, the short-passcode
    // notice) differ in their controls.
    const std::map<std::string, std::size_t> shapes = {{"c3500j", 10}, {"c4500", 15}, {"m2500", 5}, {"q6000", 7}};
    EXPECT_EQ(seen.size(), shapes.at(model));
    for (const std::string& problem : problems) {
        ADD_FAILURE() << model << " " << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, Screens, ::testing::Values("c3500j", "c4500", "m2500", "q6000"));

}  // namespace
}  // namespace zlk::test::gui
