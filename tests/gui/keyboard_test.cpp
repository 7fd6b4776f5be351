// The dialog without a mouse: Tab reaches every control a person can use,
// Return presses the default button, Escape cancels a window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <set>

#include "guitest.h"
#include "testpdf.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

// The panel controls under root that take the focus from the keyboard.
std::set<const QWidget*> TabStops(widgets::QtToolkit& toolkit, const QWidget& root)
{
    std::set<const QWidget*> stops;
    for (const QWidget* widget : root.findChildren<QWidget*>()) {
        const widgets::Widget* owner = toolkit.WidgetOf(widget);
        if (owner && toolkit.NativeWidget(*owner) == widget && owner->AcceptsFocus() && widget->isVisible() &&
            widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)) {
            stops.insert(widget);
        }
    }
    return stops;
}

// Presses Tab until the focus comes round again; the panel controls it met.
std::set<const QWidget*> Tabbed(widgets::QtToolkit& toolkit, QWidget& window)
{
    std::set<const QWidget*> reached;
    for (int presses = 0; presses < 200; ++presses) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : &window, Qt::Key_Tab);
        if (const widgets::Widget* owner = toolkit.WidgetOf(QApplication::focusWidget())) {
            reached.insert(toolkit.NativeWidget(*owner));
        }
    }
    return reached;
}

std::string Names(widgets::QtToolkit& toolkit, const std::set<const QWidget*>& widgets)
{
    std::string names;
    for (const QWidget* widget : widgets) {
        names += widget->objectName().toStdString() + "(" + toolkit.WidgetOf(widget)->Name() + ") ";
    }
    return names;
}

TEST(PrintDialogKeyboard, TabReachesEveryControlReturnPrintsEscapeCancels)
{
    SamplePrinters printers;
    const fs::path pdf = printers.Document(1);
    widgets::QtToolkit toolkit;
    Hands hands(toolkit);
    host::gui::PrintWindow window(toolkit, printers.Setup("c4500", {pdf}));
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTabWidget* pages = window.Pages();
    for (int i = 0; i + 1 < pages->count(); ++i) {
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(i).center());
        const std::set<const QWidget*> stops = TabStops(toolkit, *pages->currentWidget());
        ASSERT_FALSE(stops.empty());
        std::set<const QWidget*> missed;
        const std::set<const QWidget*> reached = Tabbed(toolkit, window);
        for (const QWidget* stop : stops) {
            if (!reached.count(stop)) {
                missed.insert(stop);
            }
        }
        EXPECT_TRUE(missed.empty()) << pages->tabText(i).toStdString() << ": " << Names(toolkit, missed);
    }

    // In a window: Tab goes round its controls; Escape cancels what was
    // typed, Return keeps it.
    QWidget* signature = Reveal(toolkit, window, "ZLKSignature");
    ASSERT_TRUE(signature && Choose(toolkit, signature, "LeftSig"));
    QWidget& features = *pages->currentWidget();
    Click(Tagged(features, 106));
    std::string typedThenCancelled;
    hands.InWindow([&](QWidget& shown) {
        shown.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&shown));
        const std::set<const QWidget*> stops = TabStops(toolkit, shown);
        const std::set<const QWidget*> reached = Tabbed(toolkit, shown);
        for (const QWidget* stop : stops) {
            EXPECT_TRUE(reached.count(stop)) << Names(toolkit, {stop});
        }
        auto* margin = static_cast<QLineEdit*>(Tagged(shown, 313));
        typedThenCancelled = margin->text().toStdString();
        TypeInto(margin, "7");
        PressKey(margin, Qt::Key_Escape);
        EXPECT_FALSE(shown.isVisible());
    });
    Click(Tagged(features, 107));
    hands.InWindow([&](QWidget& shown) {
        auto* margin = static_cast<QLineEdit*>(Tagged(shown, 313));
        EXPECT_EQ(margin->text().toStdString(), typedThenCancelled) << "Escape kept nothing";
        TypeInto(margin, "9");
        PressKey(margin, Qt::Key_Return);
        EXPECT_FALSE(shown.isVisible());
    });
    Click(Tagged(features, 107));
    hands.InWindow([&](QWidget& shown) {
        EXPECT_EQ(static_cast<QLineEdit*>(Tagged(shown, 313))->text(), "9") << "Return kept it";
        PressKey(&shown, Qt::Key_Escape);
    });
    Click(Tagged(features, 107));
    EXPECT_EQ(hands.Pending(), 0u);

    // Return in the dialog prints.
    QTest::keyClick(&window, Qt::Key_Return);
    ASSERT_EQ(printers.jobs.size(), 1u);
    const auto& job = printers.jobs.front();
    EXPECT_NE(std::find(job.begin(), job.end(), host::JobOption("ZLKSignature", "LeftSig")), job.end());
}

}  // namespace
}  // namespace zlk::test::gui
