// The desktop print dialog: the documents (chosen or dropped on it), a
// printer chooser over the CUPS queues, copies and pages, the chosen
// printer's plug-in panels as pages, a summary, and Print / Cancel. The panels are the plug-ins' own, shown through the Qt
// toolkit; the job goes out through the host library as zlk-print sends it.
#pragma once

#include <QDialog>
#include <QList>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/gui/preview.h"
#include "host/jobsubmit.h"
#include "host/printdialog.h"
#include "platform/widgets/qt/qttoolkit.h"

class QCheckBox;
class QComboBox;
class QScrollArea;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

namespace zlk::host::gui {

// $XDG_CONFIG_HOME/zelko/last-printer (~/.config when unset).
std::filesystem::path DefaultLastPrinterFile();
// The queue kept in the file; empty when none.
std::string ReadLastPrinter(const std::filesystem::path& file);
void WriteLastPrinter(const std::filesystem::path& file, const std::string& queue);

struct PrintWindowSetup {
    std::vector<std::filesystem::path> files;
    std::string queue;  // chosen first; empty: the default queue
    std::vector<std::filesystem::path> pluginFolders;
    std::filesystem::path settingsFolder;
    // Where printers come from; the defaults ask CUPS.
    std::function<std::vector<std::string>()> queues = Queues;
    std::function<std::string()> defaultQueue = DefaultQueue;
    // The queue's PPD in a temporary file the window removes.
    std::function<std::filesystem::path(const std::string& queue, std::string* error)> queuePPD = QueuePPD;
    std::function<SubmitResult(const std::string& queue, const std::string& title,
                               const std::vector<std::filesystem::path>& files, const std::vector<JobOption>& options)>
        submit = SubmitJob;
    std::function<QueueDescription(const std::string& queue)> describeQueue = DescribeQueue;
    // Where the printer last printed to is kept for the next dialog; empty
    // keeps nothing.
    std::filesystem::path lastPrinterFile = DefaultLastPrinterFile();
};

class PrintWindow final : public QDialog {
public:
    PrintWindow(widgets::QtToolkit& toolkit, PrintWindowSetup setup);
    ~PrintWindow() override;

    // The printer now shown; empty when none could be.
    const std::string& Queue() const { return queue_; }
    // The panels' dialog of the printer shown; null when none.
    PrintDialog* Dialog() const { return dialog_.get(); }
    PreviewWidget* Preview() const { return preview_; }
    // One page a panel, then the summary.
    QTabWidget* Pages() const { return pages_; }
    // The documents the job prints, in order.
    const std::vector<std::filesystem::path>& Documents() const { return setup_.files; }
    // The job the last Print sent; 0 when none went out.
    int JobId() const { return jobId_; }
    // The options the last Print sent.
    const std::vector<JobOption>& SentOptions() const { return sent_; }
    // Fills the summary page from the panels.
    void RefreshSummary();

    // Runs when a person presses Print: ends the typing, lets every panel
    // check and write its settings (their windows may open), sends the job.
    void PrintJob();
    void SaveDefaults();

protected:
    void showEvent(QShowEvent* event) override;
    // PDF files dropped from a file manager join the job.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ChooseDocuments();
    // Adds the documents at these addresses to the job: all of them, or,
    // with an alert saying why, none.
    void AddDocuments(const QList<QUrl>& urls);
    void ShowDocuments();
    void ShowPrinter(const std::string& queue);
    // Sizes the window to its content within the screen's free area (the
    // settings scroll when they do not fit), centred on the screen when it
    // first shows and on its own centre when a printer's panels make it grow.
    void FitToScreen();
    // The main page's paper size, two-sided and colour follow the marks of
    // the PPD, which the features panel shares: one source of truth.
    void ShowStandardOptions();
    void ChooseStandardOption(QComboBox* list, const char* option);
    void ChooseCollate(bool on);
    void ShowQueueState(const std::string& queue);
    // The preview follows every setting that changes the sheets.
    void UpdatePreview();
    void ClearPanels();
    void PageChanged(int index);
    // The job's options from the panels, the copies and the pages; false
    // when a panel stopped or the pages are not valid.
    bool CollectOptions(std::vector<JobOption>& options);
    void Complain(const QString& message);

    widgets::QtToolkit& toolkit_;
    PrintWindowSetup setup_;
    std::string queue_;
    std::unique_ptr<PrintDialog> dialog_;
    std::vector<JobOption> sent_;
    int jobId_ = 0;
    int shownPage_ = -1;

    QScrollArea* body_ = nullptr;
    bool placed_ = false;
    QFormLayout* form_ = nullptr;
    QComboBox* printers_ = nullptr;
    QLabel* printerState_ = nullptr;
    QLabel* documents_ = nullptr;
    QComboBox* paper_ = nullptr;
    QComboBox* twoSided_ = nullptr;
    QComboBox* numberUp_ = nullptr;
    QComboBox* color_ = nullptr;
    PreviewWidget* preview_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QCheckBox* collate_ = nullptr;
    QRadioButton* allPages_ = nullptr;
    QRadioButton* rangePages_ = nullptr;
    QLineEdit* range_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QTreeWidget* summary_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* saveDefaults_ = nullptr;
};

// Whether text is a page range CUPS takes: pages and from-to ranges,
// comma-separated, counting from 1, each range not running backwards.
bool IsValidPageRange(const std::string& text);

// A page showing the panel's view at its layout size, scrolled when the
// space is smaller; null when the panel has no view. The caller owns it,
// and must delete it before the panel goes.
QWidget* PanelPage(widgets::QtToolkit& toolkit, platform::PDEPanel& panel);

}  // namespace zlk::host::gui
