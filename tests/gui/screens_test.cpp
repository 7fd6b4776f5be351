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
    const fs::path pdf = printers.folder / "doc.pdf";
    WriteTestPdf(pdf.string(), 1);
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
        // Every group of a panel that has a group list, every control switched on, every button pressed.
        auto* groups = qobject_cast<QComboBox*>(Tagged(page, 2));
        const int groupCount = groups ? groups->count() : 1;
        for (int g = 0; g < groupCount; ++g) {
            if (groups) {
                groups->setFocus();
                QTest::keyClick(groups, Qt::Key_Home);
                for (int k = 0; k < g; ++k) {
                    QTest::keyClick(groups, Qt::Key_Down);
                }
                look(page, pageName + "-group" + std::to_string(g));
            }
            // Every choice of every list, with the buttons it enables.
            for (QComboBox* list : page.findChildren<QComboBox*>()) {
                if (list == groups || !list->isVisible() || !list->isEnabled()) {
                    continue;
                }
                for (int item = 0; item < list->count(); ++item) {
                    list->setFocus();
                    QTest::keyClick(list, Qt::Key_Home);
                    for (int k = 0; k < item; ++k) {
                        QTest::keyClick(list, Qt::Key_Down);
                    }
                    pressButtons(page);
                }
            }
            for (QCheckBox* box : page.findChildren<QCheckBox*>()) {
                if (box->isVisible() && box->isEnabled() && !box->isChecked()) {
                    Click(box);
                }
            }
            pressButtons(page);
            look(page, pageName + "-group" + std::to_string(g) + "-on");
        }
    }
    // The accounting input window comes at print time.
    Click(window.findChild<QPushButton*>("print"));
    for (const std::string& title : windows) {
        std::cout << model << " window: " << title << "\n";
    }
    for (const std::string& problem : problems) {
        ADD_FAILURE() << model << " " << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, Screens, ::testing::Values("c3500j", "c4500", "m2500", "q6000"));

}  // namespace
}  // namespace zlk::test::gui
