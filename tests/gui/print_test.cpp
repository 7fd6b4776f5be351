// A person prints from the desktop dialog: choices made in the panels and
// their windows with clicks and keys reach the printer through the private
// scheduler and the filter.
#include <gtest/gtest.h>

#include <cups/cups.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cmath>

#include "cupsd.h"
#include "guitest.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

TEST(PrintDialogEndToEnd, ClicksAndKeysReachThePrinter)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    const std::string queue = "zgc4500";
    ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd("zelko-mfp-c4500.ppd")), "");
    cupsSetServer(cupsd.server().c_str());
    TempDir dir;
    const fs::path pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf.string(), 2);

    widgets::QtToolkit toolkit;
    Hands hands(toolkit);
    host::gui::PrintWindow window(toolkit, QueueSetup(queue, {pdf}, dir.path()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.Queue(), queue);
    TypeInto(window.findChild<QSpinBox*>("copies"), "2");

    // A booklet, its margin set in its window.
    QWidget* signature = Reveal(toolkit, window, "ZLKSignature");
    ASSERT_NE(signature, nullptr);
    ASSERT_TRUE(Choose(toolkit, signature, "LeftSig"));
    QWidget& features = *window.Pages()->currentWidget();
    auto* marginSwitch = qobject_cast<QCheckBox*>(Tagged(features, 106));
    ASSERT_NE(marginSwitch, nullptr);
    Click(marginSwitch);
    EXPECT_TRUE(marginSwitch->isChecked());
    hands.InWindow([](QWidget& shown) {
        TypeInto(Tagged(shown, 313), "12");
        PressKey(&shown, Qt::Key_Return);
    });
    Click(Tagged(features, 107));

    // Secure print: a passcode with a letter is refused with an alert and
    // the window stays open until the digits are right.
    bool openAfterAlert = false;
    hands.InWindow([&](QWidget& shown) {
        TypeInto(Tagged(shown, 1022), "alice");
        hands.InAlert([&](QWidget& alert) {
            QTest::qWait(1);
            openAfterAlert = shown.isVisible();
            const QList<QAbstractButton*> buttons = static_cast<QMessageBox&>(alert).buttons();
            EXPECT_EQ(buttons.size(), 1);
            EXPECT_EQ(buttons.value(0)->text(), "OK") << "the bundle's \"Alert OK Btn\"";
            PressKey(&alert, Qt::Key_Return);
        });
        auto* passcode = static_cast<QLineEdit*>(Tagged(shown, 1026));
        // The field takes 12 characters: the 13th is refused with a beep.
        const int beeps = toolkit.BeepCount();
        TypeInto(passcode, "1234567890123");
        EXPECT_EQ(passcode->text(), "123456789012");
        EXPECT_EQ(toolkit.BeepCount(), beeps + 1);
        TypeInto(passcode, "43a1");
        PressKey(&shown, Qt::Key_Return);
        EXPECT_TRUE(shown.isVisible());
        TypeInto(passcode, "4321");
        EXPECT_EQ(passcode->echoMode(), QLineEdit::Password);
        PressKey(&shown, Qt::Key_Return);
    });
    QWidget* jobType = Reveal(toolkit, window, "PrintTypeTicketKey");
    ASSERT_NE(jobType, nullptr);
    ASSERT_TRUE(Choose(toolkit, jobType, "Job Type Secure"));
    EXPECT_EQ(hands.AlertsShown().size(), 1u);
    EXPECT_TRUE(openAfterAlert);

    // Accounting asks at print time.
    QTabWidget* pages = window.Pages();
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(0).center());
    hands.InWindow([](QWidget& shown) {
        Click(Tagged(shown, 3017));
        PressKey(&shown, Qt::Key_Return);
    });
    Click(Tagged(*pages->currentWidget(), 1005));
    hands.InWindow([](QWidget& shown) {
        TypeInto(Tagged(shown, 4015), "kim");
        TypeInto(Tagged(shown, 4008), "pw4455");
        TypeInto(Tagged(shown, 4018), "ACC-3");
        PressKey(&shown, Qt::Key_Return);
    });
    Click(window.findChild<QPushButton*>("print"));
    EXPECT_EQ(hands.Pending(), 0u) << "every window expected opened";
    std::string shown;
    for (const std::string& title : hands.WindowsShown()) {
        shown += "[" + title + "] ";
    }
    for (const std::string& text : hands.AlertsShown()) {
        shown += "(" + text + ") ";
    }
    SCOPED_TRACE("windows and alerts: " + shown);
    ASSERT_GT(window.JobId(), 0);
    EXPECT_FALSE(window.isVisible());

    const PrintedJob job = cupsd.WaitForJob(queue, window.JobId());
    ASSERT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    const RunResult inspected = InspectStream(job.stream);
    ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
    for (const char* text :
         {"JobPassword = 4321", "ImpositionGutterCreepX = 1200", "kim", "pw4455", "ACC-3", "job copies: 2"}) {
        EXPECT_NE(inspected.out.find(text), std::string::npos) << text << "\n" << inspected.out;
    }
    EXPECT_EQ(job.stream.find("pw4455"), std::string::npos) << "a password in clear";
}

// The main page's paper, two-sided, pages per sheet and colour reach the
// printer; colour is the features panel's too, and each
// follows the other.
TEST(PrintDialogEndToEnd, MainPageChoicesReachThePrinter)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    const std::string queue = "zgmain";
    ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd("zelko-mfp-c4500.ppd")), "");
    ASSERT_EQ(cupsd.Command({"lpadmin", "-p", queue, "-D", "Second floor copier", "-L", "Room 2.14"}), "");
    cupsSetServer(cupsd.server().c_str());
    TempDir dir;
    const fs::path pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf.string(), 4);

    widgets::QtToolkit toolkit;
    host::gui::PrintWindowSetup setup = QueueSetup(queue, {pdf}, dir.path());
    setup.queue.clear();  // the last printer used is chosen
    host::gui::WriteLastPrinter(setup.lastPrinterFile, queue);
    host::gui::PrintWindow window(toolkit, setup);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.Queue(), queue);
    auto* printer = window.findChild<QComboBox*>("printer");
    EXPECT_EQ(printer->currentText(), "Second floor copier (zgmain)");
    EXPECT_NE(window.findChild<QLabel*>("printerState")->text().indexOf("Room 2.14"), -1);

    const struct {
        const char* list;
        const char* title;
    } choices[] = {
        {"paperSize", "A3"}, {"twoSided", "Long-Edge Binding"}, {"numberUp", "2"}, {"color", "Black and White"}};
    for (const auto& [name, title] : choices) {
        auto* list = window.findChild<QComboBox*>(name);
        ASSERT_NE(list, nullptr) << name;
        const int index = list->findText(title, Qt::MatchContains);
        ASSERT_GE(index, 0) << name << " has no " << title;
        ASSERT_TRUE(ChooseIndex(list, index)) << name;
    }
    // The preview follows: four pages, two a side, on both sides of one sheet.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Preview()->Busy(); }, 10000));
    EXPECT_EQ(window.Preview()->TotalSheets(), 1);
    EXPECT_FALSE(window.Preview()->Back().isNull());
    QTest::qWait(20);  // the counter's new text laid out
    Screenshot(window, "c4500-dialog-preview");

    // The features panel shows the colour chosen on the main page.
    QWidget* panelColor = Reveal(toolkit, window, "ZLKColorMode");
    ASSERT_NE(panelColor, nullptr);
    EXPECT_EQ(static_cast<QComboBox*>(panelColor)->currentText(), "Black and White");
    ASSERT_TRUE(Choose(toolkit, panelColor, "Color"));
    EXPECT_EQ(window.findChild<QComboBox*>("color")->currentText(), "Color") << "the main page follows the panel";
    ASSERT_TRUE(ChooseIndex(window.findChild<QComboBox*>("color"), 1));

    Click(window.findChild<QPushButton*>("print"));
    ASSERT_GT(window.JobId(), 0);
    const PrintedJob job = cupsd.WaitForJob(queue, window.JobId());
    ASSERT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    const JobStreamParts parts = SplitJobStream(job.stream);
    ASSERT_TRUE(parts.ok);
    EXPECT_EQ(Attribute(parts.header, "NLPP"), "N2");
    for (const char* text : {"DUPLEXTYPE=DUPLEX", "COLORMODE=GRAYSCALE"}) {
        EXPECT_NE(job.stream.find(text), std::string::npos) << text;
    }
    // The sheets are A3, two pages on each.
    QPDF document;
    document.processMemoryFile("job", parts.pdf.data(), parts.pdf.size());
    const std::vector<QPDFPageObjectHelper> sheets = QPDFPageDocumentHelper(document).getAllPages();
    EXPECT_EQ(sheets.size(), 2u);
    for (QPDFPageObjectHelper sheet : sheets) {
        const QPDFObjectHandle::Rectangle box = sheet.getMediaBox().getArrayAsRectangle();
        const long width = std::lround(box.urx - box.llx);
        const long height = std::lround(box.ury - box.lly);
        EXPECT_EQ(std::pair(std::min(width, height), std::max(width, height)), std::pair(842L, 1191L));
    }
    EXPECT_EQ(host::gui::ReadLastPrinter(setup.lastPrinterFile), queue);
}

}  // namespace
}  // namespace zlk::test::gui
