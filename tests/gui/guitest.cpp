#include "guitest.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>

using namespace zlk::host::gui;

#include "platform/widgets/controls.h"
#include "testpdf.h"

namespace zlk::test::gui {

namespace fs = std::filesystem;

namespace {

std::string S(const QString& text) { return text.toStdString(); }

std::string Describe(widgets::QtToolkit& toolkit, const QWidget& widget)
{
    const widgets::Widget* owner = toolkit.WidgetOf(&widget);
    std::string text = S(widget.objectName());
    if (owner && !owner->Name().empty()) {
        text += " (" + owner->Name() + ")";
    }
    return text + " \"" + (owner ? owner->Title() : "") + "\"";
}

// Texts that look like a localization key: several words, each capitalised
// or camel-cased, ending in a word such as Title, String, Text, Btn.
bool LooksLikeKey(const std::string& text)
{
    static const QRegularExpression key(
        R"(^(.*\b(Title|String|Text|Btn|Ttitle|Label|Msg|Message\d*)|no translation|.*[A-Za-z]+_[A-Za-z]+.*)$)");
    return key.match(QString::fromStdString(text)).hasMatch();
}

}  // namespace

Hands::Hands(widgets::QtToolkit& toolkit)
{
    toolkit.SetModalShownHook([this](QWidget& shown) {
        windowsShown_.push_back(S(shown.windowTitle()));
        if (windows_.empty()) {
            if (otherwise_) {
                otherwise_(shown);
            } else {
                PressKey(&shown, Qt::Key_Escape);
            }
            return;
        }
        Act act = std::move(windows_.front());
        windows_.pop_front();
        act(shown);
    });
    toolkit.SetAlertShownHook([this](QWidget& shown) {
        auto& box = static_cast<QMessageBox&>(shown);
        alertsShown_.push_back(S(box.text() + (box.informativeText().isEmpty() ? "" : " " + box.informativeText())));
        // The window manager puts the title beside three buttons and the
        // icon: a box narrower than that has its title cut.
        const int needed = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + 4 * 28;
        if (box.width() < needed) {
            alertProblems_.push_back("alert \"" + S(box.windowTitle()) + "\" is " + std::to_string(box.width()) +
                                     " px wide, its title needs " + std::to_string(needed));
        }
        if (alerts_.empty()) {
            PressKey(&shown, Qt::Key_Return);
            return;
        }
        Act act = std::move(alerts_.front());
        alerts_.pop_front();
        act(shown);
    });
}

QWidget* Tagged(const QWidget& root, int tag) { return root.findChild<QWidget*>(QStringLiteral("tag%1").arg(tag)); }

QWidget* Named(widgets::QtToolkit& toolkit, const QWidget& root, const std::string& name)
{
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        const widgets::Widget* owner = toolkit.WidgetOf(widget);
        if (owner && owner->Name() == name && toolkit.NativeWidget(*owner) == widget) {
            return widget;
        }
    }
    return nullptr;
}

QWidget* Reveal(widgets::QtToolkit& toolkit, host::gui::PrintWindow& window, const std::string& name)
{
    return Reveal(toolkit, window.Pages(), name);
}

QWidget* Reveal(widgets::QtToolkit& toolkit, QTabWidget* pages, const std::string& name)
{
    for (int i = 0; i < pages->count(); ++i) {
        QWidget* control = Named(toolkit, *pages->widget(i), name);
        if (!control) {
            continue;
        }
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(i).center());
        if (auto* groups = qobject_cast<QComboBox*>(Tagged(*pages->widget(i), 2))) {
            for (int g = 0; g < groups->count() && !control->isVisible(); ++g) {
                ChooseIndex(groups, g);
            }
        }
        return control->isVisible() ? control : nullptr;
    }
    return nullptr;
}

void Click(QWidget* widget)
{
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
        // On the box itself: the rest of a wide frame is not the button.
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    } else if (widget) {
        QTest::mouseClick(widget, Qt::LeftButton);
    }
}

void TypeInto(QWidget* field, const QString& text)
{
    if (!field) {
        return;
    }
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

bool Choose(widgets::QtToolkit& toolkit, QWidget* list, const std::string& titleOrKey)
{
    auto* combo = qobject_cast<QComboBox*>(list);
    const auto* popUp = combo ? toolkit.WidgetOf(combo)->As<widgets::PopUp>() : nullptr;
    if (!popUp) {
        return false;
    }
    int index = popUp->IndexOfTitle(titleOrKey);
    if (index < 0) {
        index = popUp->IndexOfKey(titleOrKey);
    }
    if (index < 0 || !popUp->IsItemEnabled(index)) {
        return false;
    }
    return ChooseIndex(combo, index);
}

bool ChooseIndex(QWidget* list, int index)
{
    auto* combo = qobject_cast<QComboBox*>(list);
    if (!combo || index < 0 || index >= combo->count()) {
        return false;
    }
    // Opens the list and clicks the item, as a person does.
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QModelIndex item = view->model()->index(index, combo->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (view->isVisible()) {
        combo->hidePopup();  // a disabled item: the click did nothing
    }
    return combo->currentIndex() == index;
}

void PressKey(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }

fs::path Screenshot(QWidget& widget, const std::string& name)
{
    // Kept apart by platform: a run on X must not overwrite the offscreen one.
    const bool onX = QGuiApplication::platformName() == "xcb";
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
    const fs::path folder = fs::path(ZLK_BUILD_DIR) / ((onX ? "screens-x11" : "screens") +
                                                       (scale.isEmpty() || scale == "1" ? "" : "-scale" + S(scale)));
    fs::create_directories(folder);
    std::string file = name;
    for (char& c : file) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') {
            c = '_';
        }
    }
    const fs::path path = folder / (file + ".png");
    widget.grab().save(QString::fromStdString(path.string()), "PNG");
    return path;
}

namespace {

// A group box should read as a form: rows from its top with no gap of more
// than two rows, labels before controls in one column, the controls after
// them in the next, nothing touching the box's edge.
std::vector<std::string> FormProblems(widgets::QtToolkit& toolkit, const QGroupBox& box,
                                      const std::vector<const QWidget*>& shown)
{
    std::vector<const QWidget*> children;
    for (const QWidget* widget : shown) {
        if (widget->parentWidget() == &box) {
            children.push_back(widget);
        }
    }
    if (children.empty()) {
        return {};
    }
    std::sort(children.begin(), children.end(),
              [](const QWidget* a, const QWidget* b) { return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x(); });
    std::vector<std::vector<const QWidget*>> rows;
    for (const QWidget* child : children) {
        if (!rows.empty()) {
            const QRect last = rows.back().front()->geometry();
            const int shared = std::min(last.bottom(), child->geometry().bottom()) - child->y();
            if (shared * 2 >= std::min(last.height(), child->height())) {
                rows.back().push_back(child);
                continue;
            }
        }
        rows.push_back({child});
    }
    std::vector<std::string> problems;
    const QRect inside = box.contentsRect();
    int row = INT_MAX;
    for (const auto& cells : rows) {
        for (const QWidget* cell : cells) {
            row = std::min(row, cell->height());
        }
    }
    int above = inside.top();
    std::optional<int> labelLeft, fieldLeft;
    for (auto cells : rows) {
        std::sort(cells.begin(), cells.end(), [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
        int top = INT_MAX, bottom = 0;
        for (const QWidget* cell : cells) {
            top = std::min(top, cell->y());
            bottom = std::max(bottom, cell->geometry().bottom());
            if (cell->x() - inside.left() < 4) {
                problems.push_back(Describe(toolkit, *cell) + " touches the box's edge");
            }
        }
        if (top - above > 2 * row) {
            problems.push_back("a gap of " + std::to_string(top - above) + " px above " + Describe(toolkit, *cells[0]));
        }
        above = bottom;
        if (cells.size() > 1 && qobject_cast<const QLabel*>(cells[0]) && cells[0]->geometry().right() < cells[1]->x()) {
            if (labelLeft.value_or(cells[0]->x()) != cells[0]->x() ||
                fieldLeft.value_or(cells[1]->x()) != cells[1]->x()) {
                problems.push_back(Describe(toolkit, *cells[0]) + " is not in the column of the labels above");
            }
            labelLeft = cells[0]->x();
            fieldLeft = cells[1]->x();
        }
    }
    return problems;
}

}  // namespace

std::vector<std::string> LayoutProblems(widgets::QtToolkit& toolkit, const QWidget& root)
{
    std::vector<std::string> problems;
    // A window reaches past the screen's free area: its buttons may be out
    // of reach.
    if (root.isWindow() && root.isVisible() && root.screen()) {
        const QRect free = root.screen()->availableGeometry();
        if (!free.contains(root.frameGeometry())) {
            const QRect at = root.frameGeometry();
            problems.push_back("the window (" + std::to_string(at.width()) + "x" + std::to_string(at.height()) +
                               " at " + std::to_string(at.x()) + "," + std::to_string(at.y()) +
                               ") is not inside the screen's free area (" + std::to_string(free.width()) + "x" +
                               std::to_string(free.height()) + ")");
        }
    }
    std::vector<const QWidget*> shown;
    for (const QWidget* widget : root.findChildren<QWidget*>()) {
        const widgets::Widget* owner = toolkit.WidgetOf(widget);
        if (owner && toolkit.NativeWidget(*owner) == widget && widget->isVisibleTo(&root)) {
            shown.push_back(widget);
        }
    }
    for (const QWidget* widget : shown) {
        // Qt clips what lies outside the parent.
        if (widget->parentWidget() && !widget->parentWidget()->rect().contains(widget->geometry())) {
            problems.push_back(Describe(toolkit, *widget) + ": outside its parent, cut off");
        }
        const QFontMetrics metrics(widget->font());
        QString text;
        int room = widget->width();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            text = label->text();
            if (label->wordWrap()) {
                if (label->heightForWidth(widget->width()) > widget->height()) {
                    problems.push_back(Describe(toolkit, *widget) + ": wrapped text taller than the label");
                }
                room = -1;
            }
        } else if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
            text = box->title();
            room -= 16;
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            text = button->text();
            room -= 2 * widget->style()->pixelMetric(QStyle::PM_ButtonMargin);
        } else if (const auto* check = qobject_cast<const QAbstractButton*>(widget)) {
            text = check->text();
            const bool radio = qobject_cast<const QRadioButton*>(widget) != nullptr;
            room -=
                widget->style()->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth) +
                widget->style()->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                                   : QStyle::PM_CheckBoxLabelSpacing);
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            text = combo->currentText();
            room -= 28;
        }
        if (text.isEmpty()) {
            continue;
        }
        if (LooksLikeKey(S(text))) {
            problems.push_back(Describe(toolkit, *widget) + ": untranslated text");
        }
        if (room >= 0 && metrics.horizontalAdvance(text) > room) {
            problems.push_back(Describe(toolkit, *widget) + ": text " +
                               std::to_string(metrics.horizontalAdvance(text)) + " px wide in " + std::to_string(room) +
                               " px");
        }
        if (metrics.height() > widget->height()) {
            problems.push_back(Describe(toolkit, *widget) + ": text taller than the control");
        }
    }
    for (const QWidget* widget : shown) {
        if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
            for (std::string& problem : FormProblems(toolkit, *box, shown)) {
                problems.push_back(Describe(toolkit, *box) + ": " + problem);
            }
        }
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->parentWidget() == shown[j]->parentWidget() &&
                shown[i]->geometry().intersects(shown[j]->geometry())) {
                problems.push_back(Describe(toolkit, *shown[i]) + " overlaps " + Describe(toolkit, *shown[j]));
            }
        }
    }
    return problems;
}

SamplePrinters::SamplePrinters()
{
    char pattern[] = "/tmp/zlk-gui-XXXXXX";
    folder = mkdtemp(pattern);
}

PrintWindowSetup SamplePrinters::Setup(const std::string& model, std::vector<fs::path> files)
{
    PrintWindowSetup setup;
    setup.files = std::move(files);
    setup.queue = "zelko-mfp-" + model;
    setup.pluginFolders = {ZLK_PLUGIN_BUILD_DIR};
    setup.settingsFolder = folder / "settings";
    setup.queues = [] {
        std::vector<std::string> names;
        for (const char* model : {"c3500j", "c4500", "m2500", "q6000"}) {
            names.push_back(std::string("zelko-mfp-") + model);
        }
        return names;
    };
    setup.defaultQueue = [] { return std::string(); };
    setup.describeQueue = [](const std::string&) { return host::QueueDescription{}; };
    setup.lastPrinterFile = folder / "last-printer";
    const fs::path copies = folder;
    setup.queuePPD = [copies](const std::string& queue, std::string* error) -> fs::path {
        const fs::path from = fs::path(ZLK_SAMPLE_PPD_DIR) / (queue + ".ppd");
        const fs::path to = copies / (queue + ".ppd");
        std::error_code failed;
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, failed);
        if (failed) {
            *error = failed.message();
            return {};
        }
        return to;
    };
    setup.submit = [this](const std::string&, const std::string&, const std::vector<fs::path>&,
                          const std::vector<host::JobOption>& options) {
        jobs.push_back(options);
        return host::SubmitResult{static_cast<int>(jobs.size()), {}};
    };
    return setup;
}

fs::path SamplePrinters::Document(int pages)
{
    const fs::path pdf = folder / ("doc" + std::to_string(pages) + ".pdf");
    WriteTestPdf(pdf.string(), pages);
    return pdf;
}

PrintWindowSetup QueueSetup(const std::string& queue, std::vector<fs::path> files, const fs::path& folder)
{
    PrintWindowSetup setup;
    setup.queue = queue;
    setup.files = std::move(files);
    setup.pluginFolders = {ZLK_PLUGIN_BUILD_DIR};
    setup.settingsFolder = folder / "settings";
    setup.lastPrinterFile = folder / "last-printer";
    return setup;
}

}  // namespace zlk::test::gui
