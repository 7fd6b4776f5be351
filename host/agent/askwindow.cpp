#include "host/agent/askwindow.h"

#include <cups/ppd.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/dialogjob.h"
#include "host/gui/printwindow.h"
#include "host/gui/texts.h"

namespace zlk::host::agent {

namespace {

using gui::Text;

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

AskWindow::AskWindow(widgets::QtToolkit& toolkit, HeldJob job, std::unique_ptr<PrintDialog> dialog, AskActions actions)
    : toolkit_(toolkit),
      job_(std::move(job)),
      dialog_(std::move(dialog)),
      actions_(std::move(actions))
{
    setObjectName("askWindow");
    setWindowTitle(Text("Print Settings for a Held Job"));
    auto* layout = new QVBoxLayout(this);
    auto* what = new QLabel(
        Text("The job \u201c%1\u201d for %2 waits for your print settings.").arg(Q(job_.title), Q(job_.queue)), this);
    what->setObjectName("job");
    what->setWordWrap(true);
    what->setTextFormat(Qt::PlainText);
    layout->addWidget(what);
    QStringList details;
    if (!job_.host.empty()) {
        details << Text("From %1").arg(Q(job_.host));
    }
    if (job_.pages > 0) {
        details << Text("%1 pages").arg(job_.pages);
    }
    if (job_.kilobytes > 0) {
        details << Text("%1 KB").arg(job_.kilobytes);
    }
    if (!details.isEmpty()) {
        auto* more = new QLabel(details.join(" \u00b7 "), this);
        more->setObjectName("details");
        more->setTextFormat(Qt::PlainText);
        layout->addWidget(more);
    }

    pages_ = new QTabWidget(this);
    pages_->setObjectName("pages");
    for (const auto& panel : dialog_->Panels()) {
        if (QWidget* page = gui::PanelPage(toolkit_, *panel)) {
            pages_->addTab(page, Q(panel->panelName()));
        }
    }
    layout->addWidget(pages_, 1);
    restored_ = dialog_->JobOptions();

    notice_ = new QLabel(this);
    notice_->setObjectName("notice");
    notice_->setWordWrap(true);
    QStringList notices;
    for (const std::string& notice : dialog_->Notices()) {
        notices << Q(notice);
    }
    notice_->setText(notices.join("\n"));
    notice_->setVisible(!notices.isEmpty());
    layout->addWidget(notice_);

    auto* buttons = new QDialogButtonBox(this);
    auto* later = buttons->addButton(Text("Later"), QDialogButtonBox::RejectRole);
    later->setObjectName("later");
    auto* cancel = buttons->addButton(Text("Cancel Job"), QDialogButtonBox::DestructiveRole);
    cancel->setObjectName("cancelJob");
    auto* print = buttons->addButton(Text("Print"), QDialogButtonBox::AcceptRole);
    print->setObjectName("print");
    print->setDefault(true);
    for (QPushButton* button : {later, cancel}) {
        button->setAutoDefault(false);
    }
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancel, &QPushButton::clicked, this, [this] { CancelJob(); });
    connect(print, &QPushButton::clicked, this, [this] { PrintJob(); });
    layout->addWidget(buttons);
}

AskWindow::~AskWindow()
{
    // The pages hold the panels' Qt widgets: they go before the panels.
    while (pages_->count() > 0) {
        QWidget* page = pages_->widget(0);
        pages_->removeTab(0);
        delete page;
    }
    dialog_.reset();
}

void AskWindow::Complain(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box.setObjectName("complaint");
    box.exec();
}

void AskWindow::PrintJob()
{
    // Typing in a field ends when the person presses Print.
    toolkit_.SetFocus(nullptr);
    if (!dialog_->Print()) {
        return;
    }
    std::vector<JobOption> options;
    ppd_file_t* ppd = dialog_->Host().ppdFile();
    for (JobOption& option : dialog_->JobOptions()) {
        const bool printerOption = ppdFindOption(ppd, option.first.c_str()) != nullptr;
        if (!printerOption || std::find(restored_.begin(), restored_.end(), option) == restored_.end()) {
            options.push_back(std::move(option));
        }
    }
    // Choices made in our panels: the filter lets no default override them.
    options.emplace_back(common::kDialogJobOption, common::kDialogJobValue);
    if (const std::string why = actions_.releaseWith(job_.id, options); !why.empty()) {
        Complain(Text("The job could not be released: %1").arg(Q(why)));
        return;
    }
    sent_ = std::move(options);
    answer_ = Answer::Printed;
    accept();
}

void AskWindow::CancelJob()
{
    if (const std::string why = actions_.cancel(job_.id); !why.empty()) {
        Complain(Text("The job could not be cancelled: %1").arg(Q(why)));
        return;
    }
    answer_ = Answer::Cancelled;
    reject();
}

void AskWindow::done(int result)
{
    if (answer_ == Answer::None) {
        answer_ = Answer::Later;
    }
    QDialog::done(result);
}

}  // namespace zlk::host::agent
