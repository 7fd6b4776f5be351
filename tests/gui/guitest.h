// The desktop print dialog as a person uses it: the real Qt widgets on
// Qt's offscreen platform, driven with QTest clicks and key presses.
#pragma once

#include <QTabWidget>
#include <QTest>
#include <QWidget>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host/gui/printwindow.h"
#include "platform/widgets/qt/qttoolkit.h"

namespace zlk::test::gui {

// What to do in the next modal window or alert, in order of opening.
class Hands {
public:
    using Act = std::function<void(QWidget& shown)>;
    explicit Hands(widgets::QtToolkit& toolkit);
    void InWindow(Act act) { windows_.push_back(std::move(act)); }
    void InAlert(Act act) { alerts_.push_back(std::move(act)); }
    // For windows with nothing queued; the default cancels them with Escape.
    void Otherwise(Act act) { otherwise_ = std::move(act); }
    // Titles of the windows and texts of the alerts shown, in order.
    const std::vector<std::string>& WindowsShown() const { return windowsShown_; }
    const std::vector<std::string>& AlertsShown() const { return alertsShown_; }
    // Alerts too narrow for their titles, one line each.
    const std::vector<std::string>& AlertProblems() const { return alertProblems_; }
    // Windows that opened with nothing queued for them are cancelled with
    // Escape; alerts are answered with Return.
    std::size_t Pending() const { return windows_.size() + alerts_.size(); }

private:
    std::deque<Act> windows_;
    std::deque<Act> alerts_;
    Act otherwise_;
    std::vector<std::string> windowsShown_;
    std::vector<std::string> alertsShown_;
    std::vector<std::string> alertProblems_;
};

// The Qt widget of the widget carrying tag, under root.
QWidget* Tagged(const QWidget& root, int tag);
// The Qt widget of the widget named name (a PPD keyword or ticket key).
QWidget* Named(widgets::QtToolkit& toolkit, const QWidget& root, const std::string& name);

// Shows the page of the dialog that holds the named control, and the
// features group that holds it; the control, or null when none shows.
QWidget* Reveal(widgets::QtToolkit& toolkit, host::gui::PrintWindow& window, const std::string& name);
QWidget* Reveal(widgets::QtToolkit& toolkit, QTabWidget* pages, const std::string& name);

// A person's actions on Qt widgets.
void Click(QWidget* widget);
// Selects all, then types the text key by key.
void TypeInto(QWidget* field, const QString& text);
// Picks the item of a pop-up list with this title (or key); false when no
// enabled item has it.
bool Choose(widgets::QtToolkit& toolkit, QWidget* list, const std::string& titleOrKey);
// Opens the list and clicks its item at index; false when it did not become the choice.
bool ChooseIndex(QWidget* list, int index);
void PressKey(QWidget* widget, Qt::Key key);

// Writes the widget as a PNG under the build's screens folder.
std::filesystem::path Screenshot(QWidget& widget, const std::string& name);

// What a reviewer would see as wrong: a shown control's text wider or
// taller than the control, shown siblings overlapping, a text that is a
// localization key left untranslated, a group box that does not read as a
// form (a gap of more than two rows, labels out of their column, a control
// touching the box's edge). One line each.
std::vector<std::string> LayoutProblems(widgets::QtToolkit& toolkit, const QWidget& root);

// The print window's setup over the sample PPDs of data/ppd, without a
// scheduler; jobs are kept instead of sent.
struct SamplePrinters {
    SamplePrinters();
    host::gui::PrintWindowSetup Setup(const std::string& model, std::vector<std::filesystem::path> files = {});
    // A PDF of that many pages in the folder.
    std::filesystem::path Document(int pages);
    std::filesystem::path folder;
    std::vector<std::vector<host::JobOption>> jobs;
};

// The print window's setup for a queue of the scheduler libcups talks to,
// with the plug-ins of the build and settings kept in folder.
host::gui::PrintWindowSetup QueueSetup(const std::string& queue, std::vector<std::filesystem::path> files,
                                       const std::filesystem::path& folder);

}  // namespace zlk::test::gui
