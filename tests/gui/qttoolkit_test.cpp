// The Qt toolkit mirrors each widget's state in its Qt widget, and what a
// person does to the Qt widget reaches the widget as a person's action.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <algorithm>

#include "guitest.h"
#include "platform/widgets/controls.h"

namespace zlk::test::gui {
namespace {

using namespace zlk::widgets;

TEST(QtToolkit, QtWidgetsFollowTheWidgetsAndReportWhatAPersonDoes)
{
    QtToolkit toolkit;
    auto view = toolkit.CreateView(0, {0, 0, 200, 100});
    QWidget* root = toolkit.NativeWidget(*view);
    root->resize(toolkit.ToPixels(200), toolkit.ToPixels(100));
    root->show();

    // Bottom-up frames come out top-down.
    Button& button = view->Add(toolkit.CreateButton(5, "Go", {10, 10, 80, 20}));
    auto* push = qobject_cast<QPushButton*>(toolkit.NativeWidget(button));
    ASSERT_NE(push, nullptr);
    EXPECT_EQ(push->parentWidget(), root);
    EXPECT_EQ(push->geometry(),
              QRect(toolkit.ToPixels(10), toolkit.ToPixels(70), toolkit.ToPixels(80), toolkit.ToPixels(20)));
    EXPECT_EQ(push->text(), "Go");
    EXPECT_EQ(push->objectName(), "tag5");
    int clicks = 0;
    button.SetAction([&](Widget&) { ++clicks; });
    Click(push);
    EXPECT_EQ(clicks, 1);
    button.SetEnabled(false);
    EXPECT_FALSE(push->isEnabled());
    button.SetHidden(true);
    EXPECT_FALSE(push->isVisible());

    // Lists: per-item enabled flags; a person's choice reaches the widget.
    PopUp& list = view->Add(toolkit.CreatePopUp(6, {10, 40, 120, 24}));
    list.AddItem("One", "1");
    list.AddItem("Two", "2", false);
    list.AddItem("Three", "3");
    auto* combo = qobject_cast<QComboBox*>(toolkit.NativeWidget(list));
    ASSERT_EQ(combo->count(), 3);
    const auto* model = static_cast<QStandardItemModel*>(combo->model());
    EXPECT_FALSE(model->item(1)->isEnabled());
    EXPECT_TRUE(model->item(2)->isEnabled());
    EXPECT_FALSE(ChooseIndex(combo, 1)) << "a disabled item cannot be chosen";
    EXPECT_TRUE(ChooseIndex(combo, 2));
    EXPECT_EQ(list.SelectedKey(), "3");
    list.Select(0);
    EXPECT_EQ(combo->currentIndex(), 0);

    // Check boxes, mixed state included.
    CheckBox& box = view->Add(toolkit.CreateCheckBox(7, "Box", {10, 70, 100, 20}));
    auto* check = qobject_cast<QCheckBox*>(toolkit.NativeWidget(box));
    box.SetAllowsMixed(true);
    box.SetState(kStateMixed);
    EXPECT_EQ(check->checkState(), Qt::PartiallyChecked);
    Click(check);
    EXPECT_TRUE(box.IsOn());
    EXPECT_EQ(check->checkState(), Qt::Checked);

    // Text fields: masked entry, typing through the widget.
    TextField& field = view->Add(toolkit.CreateTextField(8, {100, 70, 90, 24}));
    auto* edit = qobject_cast<QLineEdit*>(toolkit.NativeWidget(field));
    field.SetSecure(true);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    TypeInto(edit, "abc");
    EXPECT_EQ(field.Text(), "abc");
    field.SetText("xyz");
    EXPECT_EQ(edit->text(), "xyz");

    // A wide stepper shows its number; its range and value follow.
    Stepper& stepper = view->Add(toolkit.CreateStepper(9, {140, 40, 50, 24}, 0, 23, 1));
    auto* spin = qobject_cast<QSpinBox*>(toolkit.NativeWidget(stepper));
    ASSERT_NE(spin, nullptr);
    stepper.SetValue(30);
    EXPECT_EQ(spin->value(), 23);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(stepper.Value(), 22);

    // A child given away leaves the Qt parent too.
    std::unique_ptr<Widget> removed = view->Remove(box);
    EXPECT_EQ(check->parentWidget(), nullptr);
    EXPECT_FALSE(check->isVisible());
    removed.reset();
    EXPECT_EQ(toolkit.WidgetOf(check), nullptr);
}

// A plug-in's alert says its text in a box titled as the window it speaks
// for, wide enough for that title beside the window manager's buttons, and
// wide enough that Japanese is not broken every few characters.
TEST(QtToolkit, AlertsAreTitledAsTheirWindowAndWideEnoughToRead)
{
    QtToolkit toolkit;
    QDialog window;
    window.setWindowTitle("Print Dialog for the Second Floor Copier");
    window.show();
    const struct {
        const char* what;
        std::string informative;
    } cases[] = {
        {"a short message", "Enter a number."},
        {"Japanese",
         "\xe3\x83\x91\xe3\x82\xb9\xe3\x82\xb3\xe3\x83\xbc\xe3\x83\x89\xe3\x81\xaf 4 \xe3\x80\x9c 12 "
         "\xe6\xa1\x81\xe3\x81\xae\xe6\x95\xb0\xe5\xad\x97\xe3\x81\xa7\xe5\x85\xa5\xe5\x8a\x9b\xe3\x81\x97\xe3\x81\xa6"
         "\xe3\x81\x8f\xe3\x81\xa0\xe3\x81\x95\xe3\x81\x84\xe3\x80\x82"},
    };
    for (const auto& c : cases) {
        QString title;
        int width = 0, needed = 0;
        bool readable = false;
        toolkit.SetAlertShownHook([&](QWidget& shown) {
            auto& box = static_cast<QMessageBox&>(shown);
            title = box.windowTitle();
            width = box.width();
            needed = QFontMetrics(box.font()).horizontalAdvance(title) + 4 * 28;
            for (const QLabel* label : box.findChildren<QLabel*>()) {
                if (label->text() == QString::fromStdString(c.informative)) {
                    // As wide as the text, or at least a reading width.
                    const QFontMetrics text(label->font());
                    readable =
                        label->width() >= std::min(text.horizontalAdvance(label->text()), 40 * text.averageCharWidth());
                }
            }
            PressKey(&shown, Qt::Key_Return);
        });
        QApplication::setActiveWindow(&window);
        Alert alert;
        alert.informative = c.informative;
        toolkit.RunAlert(alert);
        EXPECT_EQ(title, window.windowTitle()) << c.what;
        EXPECT_GE(width, needed) << c.what;
        EXPECT_TRUE(readable) << c.what;
    }
}

}  // namespace
}  // namespace zlk::test::gui
