// A person prints from the desktop dialog: documents chosen or dropped on
// it, and choices made in the panels and their windows with clicks and keys,
// reach the printer through the private scheduler and the filter.
#include <gtest/gtest.h>

#include <cups/cups.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cmath>
#include <fstream>

#include "cupsd.h"
#include "guitest.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

// Opens the dialog's document chooser with its button and picks the file
// there, or with no file cancels with Escape. False when no chooser opened.
bool ChooseInChooser(host::gui::PrintWindow& window, const fs::path& file)
{
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser) {
            return;
        }
        opened = true;
        if (file.empty()) {
            PressKey(chooser, Qt::Key_Escape);
            return;
        }
        // The person goes to the folder, types the name and presses Return.
        chooser->setDirectory(QString::fromStdString(file.parent_path().string()));
        auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
        TypeInto(name, QString::fromStdString(file.filename().string()));
        PressKey(name, Qt::Key_Return);
        if (chooser->isVisible()) {
            chooser->reject();  // the test fails rather than waits
        }
    });
    Click(window.findChild<QPushButton*>("chooseDocuments"));
    return opened;
}

// Drops the URLs at a point of the window as a file manager does, their
// text beside them; Qt hands the drop to the widget there, or on to the
// nearest one around it that takes it.
bool Drop(QWidget& window, const QList<QUrl>& urls, QPoint at = {})
{
    if (at.isNull()) {
        at = window.rect().center();
    }
    QWidget* target = window.childAt(at) ? window.childAt(at) : &window;
    QMimeData data;
    data.setUrls(urls);
    QStringList text;
    for (const QUrl& url : urls) {
        text << url.toString();
    }
    data.setText(text.join('\n'));
    const QPoint there = target->mapFrom(&window, at);
    QDragEnterEvent enter(there, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(there, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Waits for the next message box, answers it with Return; its text, empty
// when none came.
std::string AnswerMessage()
{
    std::string text;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            look.stop();
            text = box->text().toStdString();
            PressKey(box, Qt::Key_Return);
        }
    });
    look.start(1);
    return QTest::qWaitFor([&] { return !look.isActive(); }, 10000) ? text : std::string();
}

// The page count of each document the printer received, in order: each
// comes as a job stream of its own.
std::vector<int> PrintedDocuments(const std::string& stream)
{
    std::vector<int> pages;
    const std::string end = "@PJL EOJ\n";
    for (std::size_t from = 0, at = 0; (at = stream.find(end, from)) != std::string::npos; from = at + end.size()) {
        const JobStreamParts parts = SplitJobStream(stream.substr(from, at + end.size() - from));
        if (!parts.ok) {
            pages.push_back(-1);
            continue;
        }
        QPDF document;
        document.processMemoryFile("job", parts.pdf.data(), parts.pdf.size());
        pages.push_back(static_cast<int>(QPDFPageDocumentHelper(document).getAllPages().size()));
    }
    return pages;
}

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
    EXPECT_EQ(hands.AlertProblems(), std::vector<std::string>{});
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

    // Collating is offered with more than one copy; two uncollated copies.
    auto* collate = window.findChild<QCheckBox*>("collate");
    ASSERT_NE(collate, nullptr);
    EXPECT_FALSE(collate->isEnabled());
    TypeInto(window.findChild<QSpinBox*>("copies"), "2");
    ASSERT_TRUE(collate->isEnabled());
    EXPECT_TRUE(collate->isChecked()) << "the printer's default";
    Click(collate);
    EXPECT_FALSE(collate->isChecked());

    Click(window.findChild<QPushButton*>("print"));
    ASSERT_GT(window.JobId(), 0);
    const PrintedJob job = cupsd.WaitForJob(queue, window.JobId());
    ASSERT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    const JobStreamParts parts = SplitJobStream(job.stream);
    ASSERT_TRUE(parts.ok);
    EXPECT_EQ(Attribute(parts.header, "NLPP"), "N2");
    for (const char* text : {"DUPLEXTYPE=DUPLEX", "COLORMODE=GRAYSCALE", "PAGECOPIES=2", "JOBCOPIES=1"}) {
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

// Started from the desktop menu, the dialog has no document: one chosen in
// its chooser and one dropped on it are what the printer gets.
TEST(PrintDialogEndToEnd, ChosenAndDroppedDocumentsArePrinted)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    const std::string queue = "zgdocs";
    ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd("zelko-mfp-c4500.ppd")), "");
    cupsSetServer(cupsd.server().c_str());
    TempDir dir;
    const fs::path chosen = dir.file("chosen.pdf");
    WriteTestPdf(chosen.string(), 2);
    const fs::path dropped = dir.file("dropped report.pdf");
    WriteTestPdf(dropped.string(), 3);
    // Qt's own chooser, the same on every desktop.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);

    widgets::QtToolkit toolkit;
    Hands hands(toolkit);
    host::gui::PrintWindow window(toolkit, QueueSetup(queue, {}, dir.path()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* documents = window.findChild<QLabel*>("documents");
    auto* print = window.findChild<QPushButton*>("print");
    EXPECT_EQ(documents->text().toStdString(), "none");
    EXPECT_FALSE(print->isEnabled()) << "nothing to print yet";

    ASSERT_TRUE(ChooseInChooser(window, {}));
    EXPECT_EQ(documents->text().toStdString(), "none") << "a cancelled chooser adds nothing";
    ASSERT_TRUE(ChooseInChooser(window, chosen));
    EXPECT_EQ(documents->text().toStdString(), "chosen.pdf");
    EXPECT_TRUE(print->isEnabled());
    // The preview shows the document chosen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Preview()->Busy(); }, 10000));
    EXPECT_EQ(window.Preview()->Problem().toStdString(), "");
    EXPECT_FALSE(window.Preview()->Front().isNull());

    // Let go over the page range field, the file joins the job; the field
    // keeps the range typed.
    Click(window.findChild<QRadioButton*>("rangePages"));
    auto* range = window.findChild<QLineEdit*>("range");
    TypeInto(range, "1-3");
    ASSERT_TRUE(Drop(window, {QUrl::fromLocalFile(QString::fromStdString(dropped.string()))},
                     range->mapTo(&window, range->rect().center())));
    EXPECT_TRUE(QTest::qWaitFor([&] { return documents->text() == "chosen.pdf, dropped report.pdf"; }, 10000))
        << documents->text().toStdString();
    EXPECT_EQ(range->text().toStdString(), "1-3");
    QTest::qWait(20);  // the new line laid out
    Screenshot(window, "c4500-dialog-documents");

    Click(print);
    ASSERT_GT(window.JobId(), 0);
    const PrintedJob job = cupsd.WaitForJob(queue, window.JobId());
    ASSERT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    EXPECT_EQ(PrintedDocuments(job.stream), (std::vector<int>{2, 3}));
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
}

// What cannot be printed is refused when it is dropped, in the desktop's
// language, and nothing of that drop joins the job.
TEST(PrintDialogDocuments, DropsThatCannotBePrintedAreRefused)
{
    SamplePrinters printers;
    const fs::path pdf = printers.Document(2);
    const fs::path folder = printers.folder / "letters";
    fs::create_directories(folder);
    const fs::path text = printers.folder / "notes.txt";
    std::ofstream(text) << "not a PDF\n";
    const fs::path broken = printers.folder / "broken.pdf";
    std::ofstream(broken) << "%PDF-1.7\nthe rest is missing\n";
    auto file = [](const fs::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); };

    const struct {
        const char* what;
        const char* language;
        QList<QUrl> urls;
        std::string alert;
    } cases[] = {
        {"a web address",
         "en_GB.UTF-8",
         {QUrl("https://example.com/a.pdf")},
         "Only files on this computer can be printed: https://example.com/a.pdf"},
        {"a folder", "en_GB.UTF-8", {file(folder)}, "The document \u201cletters\u201d cannot be read."},
        {"a text file", "en_GB.UTF-8", {file(text)}, "The document \u201cnotes.txt\u201d is not a PDF."},
        {"a damaged PDF", "en_GB.UTF-8", {file(broken)}, "The document \u201cbroken.pdf\u201d is not a PDF."},
        {"a PDF with a text file",
         "en_GB.UTF-8",
         {file(pdf), file(text)},
         "The document \u201cnotes.txt\u201d is not a PDF."},
        {"a text file on a Japanese desktop", "ja_JP.UTF-8", {file(text)}, "書類「notes.txt」は PDF ではありません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("LANGUAGE", c.language, 1);
        widgets::QtToolkit toolkit;
        host::gui::PrintWindow window(toolkit, printers.Setup("c4500"));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(Drop(window, c.urls));
        EXPECT_EQ(AnswerMessage(), c.alert);
        EXPECT_TRUE(window.Documents().empty());
        EXPECT_FALSE(window.findChild<QPushButton*>("print")->isEnabled());
    }
    unsetenv("LANGUAGE");
}

}  // namespace
}  // namespace zlk::test::gui
