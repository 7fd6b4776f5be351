// The window that asks about one held job: what the job is, the account
// plug-in's print type and accounting panels for its queue, and Print,
// Cancel Job or Later. The panels run as in the print dialog (restored,
// shown, asked whether to print, their own windows opening); Print gives
// the job what they wrote and releases it.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/agent/heldjobs.h"
#include "host/printdialog.h"
#include "platform/widgets/qt/qttoolkit.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace zlk::host::agent {

// The panel kinds of the account plug-in this window shows.
inline constexpr char kPrintTypePanelKind[] = "com.zelko.print.pde.PrintTypeKind";
inline constexpr char kAccountingPanelKind[] = "com.zelko.print.pde.JobAccountingKind";

enum class Answer {
    None,  // still open
    Printed,  // the job has its settings and is released
    Cancelled,  // the job is cancelled
    Later,  // closed: the job stays held
};

struct AskActions {
    // Each answers empty or why the scheduler refused.
    std::function<std::string(int job, const std::vector<JobOption>& options)> releaseWith;
    std::function<std::string(int job)> cancel;
};

class AskWindow final : public QDialog {
public:
    // dialog holds the restored panels of the job's queue.
    AskWindow(widgets::QtToolkit& toolkit, HeldJob job, std::unique_ptr<PrintDialog> dialog, AskActions actions);
    ~AskWindow() override;

    const HeldJob& Job() const { return job_; }
    Answer Given() const { return answer_; }
    QTabWidget* Pages() const { return pages_; }
    // The options the last Print gave the job.
    const std::vector<JobOption>& SentOptions() const { return sent_; }

    void PrintJob();
    void CancelJob();

private:
    void Complain(const QString& message);
    void done(int result) override;

    widgets::QtToolkit& toolkit_;
    HeldJob job_;
    std::unique_ptr<PrintDialog> dialog_;
    AskActions actions_;
    // The PPD choices as restored: only those the panels change go to the
    // job, which carries its program's own.
    std::vector<JobOption> restored_;
    std::vector<JobOption> sent_;
    Answer answer_ = Answer::None;
    QTabWidget* pages_ = nullptr;
    QLabel* notice_ = nullptr;
};

}  // namespace zlk::host::agent
