// The print dialog's own controls: printers, copies, pages, defaults,
// help and the desktop's language.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <fstream>

#include "cupsd.h"
#include "guitest.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test::gui {
namespace {

namespace fs = std::filesystem;

bool Has(const std::vector<host::JobOption>& options, const std::string& name, const std::string& value)
{
    return std::find(options.begin(), options.end(), host::JobOption(name, value)) != options.end();
}

std::vector<std::string> TabTitles(QTabWidget* pages)
{
    std::vector<std::string> titles;
    for (int i = 0; i < pages->count(); ++i) {
        titles.push_back(pages->tabText(i).toStdString());
    }
    return titles;
}

// Answers the next message box the dialog shows with Return; its text.
std::shared_ptr<std::string> AnswerNextMessage()
{
    auto text = std::make_shared<std::string>();
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text().toStdString();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    return text;
}

TEST(PrintDialogPages, RangesAreCheckedAsCupsTakesThem)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {{"1", true},      {"1-3,5", true}, {" 2 - 4 , 7 ", true}, {"5-5", true},
                 {"3-1", false},   {"0", false},    {"", false},           {"1,", false},
                 {",1", false},    {"1-", false},   {"a", false},          {"1;2", false},
                 {"1-2-3", false}, {"-3", false},   {"1234567890", false}, {"999999999", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(host::gui::IsValidPageRange(c.text), c.valid) << "\"" << c.text << "\"";
    }
}

TEST(PrintDialog, PrinterChoiceRebuildsThePanelsAndThePrintCarriesCopiesAndPages)
{
    SamplePrinters printers;
    const fs::path pdf = printers.Document(3);
    widgets::QtToolkit toolkit;
    Hands hands(toolkit);
    host::gui::PrintWindow window(toolkit, printers.Setup("c4500", {pdf}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const std::vector<std::string> c4500 = TabTitles(window.Pages());
    EXPECT_EQ(c4500, (std::vector<std::string>{"Job Accounting", "Print Type", "Zelko Features", "Summary"}));

    // Another printer and back: each shows its own panels, and nothing of
    // the one before is left behind. The window stays where it is, inside
    // the screen, whatever the panels' sizes.
    auto* chooser = window.findChild<QComboBox*>("printer");
    // On X the manager frames the window a moment after it shows.
    if (QGuiApplication::platformName() == "xcb") {
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }, 5000));
    }
    const QPoint centre = window.frameGeometry().center();
    for (const std::string queue : {"zelko-mfp-m2500", "zelko-mfp-q6000", "zelko-mfp-c4500"}) {
        ASSERT_TRUE(ChooseIndex(chooser, chooser->findData(QString::fromStdString(queue))));
        EXPECT_EQ(window.Queue(), queue);
        // One that fills the screen may move to use all of it.
        const QRect free = window.screen()->availableGeometry();
        if (window.frameGeometry().width() < free.width() && window.frameGeometry().height() < free.height()) {
            EXPECT_LE((window.frameGeometry().center() - centre).manhattanLength(), 2) << queue;
        }
        EXPECT_TRUE(free.contains(window.frameGeometry())) << queue;
        ASSERT_NE(window.Dialog(), nullptr);
        EXPECT_EQ(window.Pages()->count(), static_cast<int>(window.Dialog()->Panels().size()) + 1);
    }
    EXPECT_EQ(TabTitles(window.Pages()), c4500);

    // A page range the scheduler would refuse keeps the dialog open.
    TypeInto(window.findChild<QSpinBox*>("copies"), "3");
    Click(window.findChild<QRadioButton*>("rangePages"));
    TypeInto(window.findChild<QLineEdit*>("range"), "3-1");
    auto complaint = AnswerNextMessage();
    Click(window.findChild<QPushButton*>("print"));
    EXPECT_NE(complaint->find("3-1"), std::string::npos) << *complaint;
    EXPECT_TRUE(printers.jobs.empty());
    EXPECT_TRUE(window.isVisible());

    // So does one beyond the document, before any window of the panels.
    TypeInto(window.findChild<QLineEdit*>("range"), "7-9");
    complaint = AnswerNextMessage();
    Click(window.findChild<QPushButton*>("print"));
    EXPECT_NE(complaint->find("selects no page"), std::string::npos) << *complaint;
    EXPECT_TRUE(printers.jobs.empty());

    TypeInto(window.findChild<QLineEdit*>("range"), "1-2");
    Click(window.findChild<QPushButton*>("print"));
    ASSERT_EQ(printers.jobs.size(), 1u);
    EXPECT_TRUE(Has(printers.jobs[0], "copies", "3"));
    EXPECT_TRUE(Has(printers.jobs[0], "page-ranges", "1-2"));
    EXPECT_FALSE(window.isVisible());
}

// The summary tells what the panels were last given, not what they showed
// when the dialog opened.
TEST(PrintDialog, SummaryTellsWhatWasChosen)
{
    SamplePrinters printers;
    widgets::QtToolkit toolkit;
    Hands hands(toolkit);
    host::gui::PrintWindow window(toolkit, printers.Setup("c4500"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto summary = [&] {
        QTabBar* tabs = window.Pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tabs->count() - 1).center());
        std::vector<std::string> values;
        for (QTreeWidgetItem* item :
             window.findChild<QTreeWidget*>("summary")->findItems("*", Qt::MatchWildcard | Qt::MatchRecursive, 1)) {
            values.push_back(item->text(1).toStdString());
        }
        return values;
    };
    auto shows = [](const std::vector<std::string>& values, const std::string& text) {
        return std::find(values.begin(), values.end(), text) != values.end();
    };
    const std::vector<std::string> before = summary();
    EXPECT_TRUE(shows(before, "Normal Print"));
    EXPECT_TRUE(shows(before, "Color"));

    // Each print type, given in its window.
    struct PrintType {
        std::string item, shown;
        std::vector<std::pair<int, std::string>> typed;
    };
    std::vector<std::string> after;
    for (const PrintType& type :
         std::vector<PrintType>{{"Job Type Secure", "Secure Print", {{1022, "alice"}, {1026, "4321"}}},
                                {"Job Type Sample", "Sample Print", {{1012, "bob"}}},
                                {"Job Type Time", "Delayed Print", {}},
                                {"Job Type MBN", "Save to Mailbox", {{1041, "7"}}},
                                {"Job Type Secure", "Secure Print", {{1022, "alice"}, {1026, "4321"}}}}) {
        hands.InWindow([&type](QWidget& shown) {
            for (const auto& [tag, text] : type.typed) {
                TypeInto(Tagged(shown, tag), QString::fromStdString(text));
            }
            PressKey(&shown, Qt::Key_Return);
        });
        ASSERT_TRUE(Choose(toolkit, Reveal(toolkit, window, "PrintTypeTicketKey"), type.item));
        after = summary();
        EXPECT_TRUE(shows(after, type.shown)) << type.item;
        EXPECT_FALSE(shows(after, "Normal Print")) << type.item;
    }
    ASSERT_TRUE(Choose(toolkit, Reveal(toolkit, window, "ZLKColorMode"), "Black"));
    after = summary();
    EXPECT_TRUE(shows(after, "Black and White"));
    EXPECT_TRUE(shows(after, "Secure Print"));
}

TEST(PrintDialog, HelpOpensThePageInTheDesktopViewer)
{
    SamplePrinters printers;
    widgets::QtToolkit toolkit;
    std::vector<std::string> opened;
    toolkit.SetHelpOpener([&](const std::string& url) {
        opened.push_back(url);
        return 0;
    });
    host::gui::PrintWindow window(toolkit, printers.Setup("c4500"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i + 1 < window.Pages()->count(); ++i) {
        QTest::mouseClick(window.Pages()->tabBar(), Qt::LeftButton, {}, window.Pages()->tabBar()->tabRect(i).center());
        for (QPushButton* button : window.Pages()->currentWidget()->findChildren<QPushButton*>()) {
            if (button->text() == "?" && button->isVisible()) {
                Click(button);
            }
        }
    }
    ASSERT_FALSE(opened.empty());
    for (const std::string& url : opened) {
        EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
        EXPECT_TRUE(fs::exists(QUrl(QString::fromStdString(url)).toLocalFile().toStdString())) << url;
    }
}

// A damaged plug-in bundle is named in the dialog with what is wrong with
// it; with every bundle damaged the dialog says so, not that none serves.
TEST(PrintDialog, DamagedBundlesAreNamedWithWhatIsWrong)
{
    SamplePrinters printers;
    const fs::path plugins = LinkedPlugins(printers.folder.string());
    const fs::path layout = plugins / "ZLKFeaturesPDE.plugin" / "Resources" / "Layouts" / "ZLKPrintFeature.json";
    fs::remove(layout);
    std::ofstream(layout) << std::string(100000, '[') << std::string(100000, ']');
    fs::remove(plugins / "ZLKAccountPDE.plugin" / "ZLKAccountPDE.so");

    widgets::QtToolkit toolkit;
    host::gui::PrintWindowSetup setup = printers.Setup("c4500");
    setup.pluginFolders = {plugins};
    host::gui::PrintWindow window(toolkit, setup);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* notice = window.findChild<QLabel*>("notice");
    ASSERT_NE(notice, nullptr);
    const std::string text = notice->text().toStdString();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_NE(text.find("ZLKAccountPDE.plugin is damaged: it has no module ZLKAccountPDE.so"), std::string::npos)
        << text;
    EXPECT_NE(text.find("ZLKFeaturesPDE.plugin has a damaged layout ZLKPrintFeature"), std::string::npos) << text;
    Screenshot(window, "dialog-damaged-bundles");

    fs::remove(plugins / "ZLKFeaturesPDE.plugin" / "ZLKFeaturesPDE.so");
    host::gui::PrintWindow none(toolkit, setup);
    none.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&none));
    const std::string all = none.findChild<QLabel*>("notice")->text().toStdString();
    EXPECT_NE(all.find("The Zelko panels could not be loaded."), std::string::npos) << all;
    EXPECT_EQ(all.find("No Zelko panel serves"), std::string::npos) << all;
}

// A printer that will not print now says so before the person prints.
TEST(PrintDialog, WarnsOfAPausedOrRefusingPrinter)
{
    const struct {
        bool stopped, accepting;
        const char* shown;
    } cases[] = {{false, true, ""},
                 {true, true, "This printer is paused: jobs wait until it is resumed. Out of paper"},
                 {false, false, "This printer does not accept jobs now. Out of paper"}};
    for (const auto& [stopped, accepting, shown] : cases) {
        SamplePrinters printers;
        host::gui::PrintWindowSetup setup = printers.Setup("c4500");
        setup.describeQueue = [&](const std::string&) {
            host::QueueDescription description;
            description.known = true;
            description.stopped = stopped;
            description.accepting = accepting;
            description.message = "Out of paper";
            return description;
        };
        widgets::QtToolkit toolkit;
        host::gui::PrintWindow window(toolkit, setup);
        const QLabel* state = window.findChild<QLabel*>("printerState");
        EXPECT_EQ(state->text().toStdString(), shown);
    }
}

TEST(PrintDialog, FollowsAJapaneseDesktop)
{
    setenv("LANGUAGE", "ja_JP.UTF-8", 1);
    SamplePrinters printers;
    widgets::QtToolkit toolkit;
    host::gui::PrintWindow window(toolkit, printers.Setup("c3500j"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.findChild<QPushButton*>("print")->text().toStdString(), "プリント");
    EXPECT_EQ(window.findChild<QPushButton*>("cancel")->text().toStdString(), "キャンセル");
    EXPECT_EQ(window.Pages()->tabText(window.Pages()->count() - 1).toStdString(), "概要");
    // The printer's Japanese table titles the radio buttons of its windows too.
    Hands hands(toolkit);
    std::string choice;
    hands.InWindow([&](QWidget& shown) {
        choice = static_cast<QRadioButton*>(Tagged(shown, 3017))->text().toStdString();
        PressKey(&shown, Qt::Key_Escape);
    });
    Click(Tagged(*window.Pages()->widget(0), 1005));
    EXPECT_EQ(choice, "印刷時に入力する");
    Screenshot(window, "c3500j-dialog-ja");
    EXPECT_EQ(LayoutProblems(toolkit, window), std::vector<std::string>{});
    unsetenv("LANGUAGE");
}

TEST(PrintDialogDefaults, SetAsDefaultsKeepsTheChoicesForEveryProgram)
{
    Cupsd cupsd(FilterProgram());
    if (!cupsd.ok()) {
        GTEST_SKIP() << cupsd.error();
    }
    const std::string queue = "zgdefaults";
    ASSERT_EQ(cupsd.AddQueue(queue, SamplePpd("zelko-mfp-c4500.ppd")), "");
    cupsSetServer(cupsd.server().c_str());
    TempDir dir;
    widgets::QtToolkit toolkit;
    Hands hands(toolkit);
    host::gui::PrintWindow window(toolkit, QueueSetup(queue, {}, dir.path()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    hands.InWindow([](QWidget& shown) {
        TypeInto(Tagged(shown, 1022), "alice");
        TypeInto(Tagged(shown, 1026), "4321");
        PressKey(&shown, Qt::Key_Return);
    });
    QTest::mouseClick(window.Pages()->tabBar(), Qt::LeftButton, {}, window.Pages()->tabBar()->tabRect(1).center());
    ASSERT_TRUE(
        Choose(toolkit, Named(toolkit, *window.Pages()->currentWidget(), "PrintTypeTicketKey"), "Job Type Secure"));
    TypeInto(window.findChild<QSpinBox*>("copies"), "4");
    // Accounting details typed for each job, at print time.
    hands.InWindow([](QWidget& shown) {
        Click(Tagged(shown, 3017));
        PressKey(&shown, Qt::Key_Return);
    });
    QTest::mouseClick(window.Pages()->tabBar(), Qt::LeftButton, {}, window.Pages()->tabBar()->tabRect(0).center());
    Click(Tagged(*window.Pages()->currentWidget(), 1005));
    const std::size_t windowsBefore = hands.WindowsShown().size();
    auto saved = AnswerNextMessage();
    Click(window.findChild<QPushButton*>("saveDefaults"));
    EXPECT_NE(saved->find(queue), std::string::npos) << *saved;
    EXPECT_TRUE(window.isVisible()) << "saving is not printing";
    EXPECT_EQ(hands.WindowsShown().size(), windowsBefore) << "saving asks for nothing that belongs to one job";

    const fs::path lpoptions = fs::path(std::getenv("HOME")) / ".cups" / "lpoptions";
    struct stat info {};
    ASSERT_EQ(stat(lpoptions.c_str(), &info), 0) << lpoptions;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "it may hold an encrypted passcode";
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    ASSERT_NE(dest, nullptr);
    const char* jobType =
        cupsGetOption("com.zelko.jt.printsettings.pdf.ww.PrintTypeTicketKey", dest->num_options, dest->options);
    EXPECT_NE(jobType, nullptr);
    // Settings nobody gave are not kept: CUPS would read them as "true".
    for (const char* key : {"DocumentNameTicketKey", "JBAAccountIDTextEditTicket", "PrintTypeMBNTicketKey"}) {
        EXPECT_EQ(cupsGetOption((std::string("com.zelko.jt.printsettings.pdf.ww.") + key).c_str(), dest->num_options,
                                dest->options),
                  nullptr)
            << key;
    }
    cupsFreeDests(1, dest);
    std::ifstream in(lpoptions);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("copies"), std::string::npos) << "copies belong to one job: " << text;
    EXPECT_EQ(text.find("4321"), std::string::npos) << "the passcode is kept encrypted: " << text;

    // A job from another program carries the defaults, and nothing nobody gave.
    cupsd.SetClientEnv({{"HOME", std::getenv("HOME")}});
    const std::string pdf = dir.file("doc.pdf");
    WriteTestPdf(pdf, 1);
    const PrintedJob job = cupsd.Print(queue, pdf, {});
    ASSERT_EQ(job.state, "completed") << cupsd.JobLog(job.id);
    const RunResult inspected = InspectStream(job.stream);
    EXPECT_NE(inspected.out.find("JobPassword = 4321"), std::string::npos) << inspected.out;
    for (const char* code : {"JOAD", "DAID", "ACID", "UACI"}) {
        EXPECT_EQ(job.stream.find(std::string("@") + code + "=true"), std::string::npos) << code;
    }
}

}  // namespace
}  // namespace zlk::test::gui
