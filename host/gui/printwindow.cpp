#include "host/gui/printwindow.h"

#include "host/documents.h"

#include <unistd.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cctype>

#include "host/gui/texts.h"
#include "platform/widgets/controls.h"

namespace zlk::host::gui {

namespace {

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Copies beyond this are a typing slip, not a job.
constexpr int kMaxCopies = 999;

}  // namespace

bool IsValidPageRange(const std::string& text) { return ParsePageRanges(text).has_value(); }

QWidget* PanelPage(widgets::QtToolkit& toolkit, platform::PDEPanel& panel)
{
    widgets::View* view = panel.panelView();
    QWidget* native = view ? toolkit.NativeWidget(*view) : nullptr;
    if (!native) {
        return nullptr;
    }
    auto* page = new QScrollArea();
    page->setFrameShape(QFrame::NoFrame);
    auto* holder = new QWidget();
    holder->setFixedSize(toolkit.ToPixels(view->Frame().width), toolkit.ToPixels(view->Frame().height));
    native->setParent(holder);
    native->setGeometry(0, 0, holder->width(), holder->height());
    native->show();
    page->setWidget(holder);
    page->setMinimumSize(holder->width() + 4, holder->height() + 4);
    return page;
}

PrintWindow::PrintWindow(widgets::QtToolkit& toolkit, PrintWindowSetup setup)
    : toolkit_(toolkit),
      setup_(std::move(setup))
{
    setWindowTitle(Text("Print"));
    auto* layout = new QVBoxLayout(this);

    auto* form = new QFormLayout();
    printers_ = new QComboBox(this);
    printers_->setObjectName("printer");
    form->addRow(Text("Printer:"), printers_);

    QStringList names;
    for (const auto& file : setup_.files) {
        names << Q(file.filename().string());
    }
    auto* documents = new QLabel(names.isEmpty() ? Text("none") : names.join(", "), this);
    documents->setObjectName("documents");
    form->addRow(Text("Documents:"), documents);

    copies_ = new QSpinBox(this);
    copies_->setObjectName("copies");
    copies_->setRange(1, kMaxCopies);
    form->addRow(Text("Copies:"), copies_);

    auto* pagesRow = new QHBoxLayout();
    allPages_ = new QRadioButton(Text("All"), this);
    allPages_->setObjectName("allPages");
    allPages_->setChecked(true);
    rangePages_ = new QRadioButton(Text("Range:"), this);
    rangePages_->setObjectName("rangePages");
    range_ = new QLineEdit(this);
    range_->setObjectName("range");
    range_->setPlaceholderText("1-3,5");
    range_->setEnabled(false);
    auto* pageChoice = new QButtonGroup(this);
    pageChoice->addButton(allPages_);
    pageChoice->addButton(rangePages_);
    connect(rangePages_, &QRadioButton::toggled, range_, &QLineEdit::setEnabled);
    // Typing a range means printing it.
    connect(range_, &QLineEdit::textEdited, this, [this] { rangePages_->setChecked(true); });
    pagesRow->addWidget(allPages_);
    pagesRow->addWidget(rangePages_);
    pagesRow->addWidget(range_, 1);
    form->addRow(Text("Pages:"), pagesRow);
    layout->addLayout(form);

    pages_ = new QTabWidget(this);
    pages_->setObjectName("pages");
    summary_ = new QTreeWidget(this);
    summary_->setObjectName("summary");
    summary_->setHeaderLabels({Text("Setting"), Text("Value")});
    summary_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) { PageChanged(index); });
    layout->addWidget(pages_, 1);

    notice_ = new QLabel(this);
    notice_->setObjectName("notice");
    notice_->setWordWrap(true);
    notice_->hide();
    layout->addWidget(notice_);

    auto* buttons = new QDialogButtonBox(this);
    saveDefaults_ = buttons->addButton(Text("Set as Defaults for This Printer"), QDialogButtonBox::ResetRole);
    saveDefaults_->setObjectName("saveDefaults");
    auto* cancel = buttons->addButton(Text("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("cancel");
    print_ = buttons->addButton(Text("Print"), QDialogButtonBox::AcceptRole);
    print_->setObjectName("print");
    print_->setDefault(true);
    for (QPushButton* button : {saveDefaults_, cancel}) {
        button->setAutoDefault(false);
    }
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(print_, &QPushButton::clicked, this, [this] { PrintJob(); });
    connect(saveDefaults_, &QPushButton::clicked, this, [this] { SaveDefaults(); });
    layout->addWidget(buttons);

    std::vector<std::string> queues = setup_.queues();
    std::string first = setup_.queue.empty() ? setup_.defaultQueue() : setup_.queue;
    if (!first.empty() && std::find(queues.begin(), queues.end(), first) == queues.end()) {
        queues.insert(queues.begin(), first);
    }
    {
        const QSignalBlocker blocker(printers_);
        for (const std::string& queue : queues) {
            printers_->addItem(Q(queue));
        }
    }
    connect(printers_, &QComboBox::currentIndexChanged, this,
            [this](int index) { ShowPrinter(index >= 0 ? printers_->itemText(index).toStdString() : ""); });
    if (queues.empty()) {
        ShowPrinter("");
    } else {
        const int index = first.empty() ? 0 : printers_->findText(Q(first));
        const QSignalBlocker blocker(printers_);
        printers_->setCurrentIndex(std::max(index, 0));
        ShowPrinter(printers_->currentText().toStdString());
    }
}

PrintWindow::~PrintWindow() { ClearPanels(); }

void PrintWindow::ClearPanels()
{
    shownPage_ = -1;
    // The panels go first: their Qt widgets leave the pages with them.
    std::vector<QWidget*> old;
    {
        const QSignalBlocker blocker(pages_);
        for (int i = 0; i < pages_->count(); ++i) {
            old.push_back(pages_->widget(i));
        }
        pages_->clear();
    }
    dialog_.reset();
    for (QWidget* page : old) {
        if (page != summary_) {
            delete page;
        }
    }
}

void PrintWindow::ShowPrinter(const std::string& queue)
{
    ClearPanels();
    queue_.clear();
    QStringList notices;
    if (queue.empty()) {
        notices << Text("No printer is set up.");
    } else {
        std::string problem;
        const std::filesystem::path ppd = setup_.queuePPD(queue, &problem);
        if (!ppd.empty()) {
            PrintDialog::Setup setup;
            setup.queue = queue;
            setup.ppd = ppd;
            setup.settingsFolder = setup_.settingsFolder;
            setup.pluginFolders = setup_.pluginFolders;
            setup.toolkit = &toolkit_;
            dialog_ = PrintDialog::Open(setup, &problem);
            unlink(ppd.c_str());
        }
        if (!dialog_) {
            notices << Text("The printer %1 cannot be used: %2").arg(Q(queue), Q(problem));
        } else {
            queue_ = queue;
            dialog_->Restore();
            const QSignalBlocker blocker(pages_);
            for (const auto& panel : dialog_->Panels()) {
                if (QWidget* page = PanelPage(toolkit_, *panel)) {
                    pages_->addTab(page, Q(panel->panelName()));
                }
            }
            if (dialog_->Panels().empty()) {
                notices << (dialog_->DamagedPlugIns() > 0 ? Text("The Zelko panels could not be loaded.")
                                                          : Text("No Zelko panel serves this printer."));
            }
            for (const std::string& notice : dialog_->Notices()) {
                notices << Q(notice);
            }
        }
    }
    {
        const QSignalBlocker blocker(pages_);
        pages_->addTab(summary_, Text("Summary"));
        pages_->setCurrentIndex(0);
    }
    shownPage_ = 0;
    notice_->setText(notices.join("\n"));
    notice_->setVisible(!notices.isEmpty());
    print_->setEnabled(!queue_.empty());
    saveDefaults_->setEnabled(!queue_.empty());
}

void PrintWindow::PageChanged(int index)
{
    const int panels = dialog_ ? static_cast<int>(dialog_->Panels().size()) : 0;
    // A panel whose value is not acceptable yet keeps the dialog on it.
    if (shownPage_ >= 0 && shownPage_ < panels && shownPage_ != index) {
        // A panel that is left keeps what was chosen on it, as the protocol
        // has it: that is what the summary and the other panels then see.
        platform::PDEPanel& left = *dialog_->Panels()[static_cast<std::size_t>(shownPage_)];
        platform::PDEError error;
        if (!left.shouldHide() || !left.saveValuesAndReturnError(&error)) {
            const QSignalBlocker blocker(pages_);
            pages_->setCurrentIndex(shownPage_);
            if (!error.message.empty()) {
                Complain(Q(error.message));
            }
            return;
        }
    }
    shownPage_ = index;
    if (index >= 0 && index < panels) {
        dialog_->Panels()[static_cast<std::size_t>(index)]->willShow();
    } else if (pages_->widget(index) == summary_) {
        RefreshSummary();
    }
}

void PrintWindow::RefreshSummary()
{
    summary_->clear();
    if (!dialog_) {
        return;
    }
    for (const auto& panel : dialog_->Panels()) {
        const platform::PDESummary summary = panel->summaryInfo();
        auto* top = new QTreeWidgetItem(summary_, {Q(panel->panelName())});
        for (const std::string& title : summary.displayOrder) {
            const auto value = summary.values.find(title);
            new QTreeWidgetItem(top, {Q(title), value == summary.values.end() ? QString() : Q(value->second)});
        }
    }
    summary_->expandAll();
}

void PrintWindow::Complain(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, Text("Print"), message, QMessageBox::Ok, this);
    box.setObjectName("complaint");
    box.exec();
}

bool PrintWindow::CollectOptions(std::vector<JobOption>& options)
{
    if (!dialog_) {
        return false;
    }
    // Typing in a field ends when the person presses Print, as when the
    // focus leaves it.
    toolkit_.SetFocus(nullptr);
    const std::string range = range_->text().trimmed().toStdString();
    if (rangePages_->isChecked() && !IsValidPageRange(range)) {
        Complain(Text("The page range \"%1\" is not valid. Give pages and ranges such as 1-3,5.").arg(Q(range)));
        range_->setFocus();
        return false;
    }
    if (const std::string why = CheckDocuments(setup_.files, rangePages_->isChecked() ? range : ""); !why.empty()) {
        Complain(Text("The job cannot be printed: %1").arg(Q(why)));
        range_->setFocus();
        return false;
    }
    if (!dialog_->Print()) {
        return false;
    }
    if (const platform::StoreResult stored = dialog_->StoreSettings(); !stored.ok()) {
        notice_->setText(Q(stored.message));
        notice_->show();
    }
    options = dialog_->JobOptions();
    options.emplace_back("copies", std::to_string(copies_->value()));
    if (rangePages_->isChecked()) {
        options.emplace_back("page-ranges", range);
    }
    return true;
}

void PrintWindow::PrintJob()
{
    if (setup_.files.empty()) {
        Complain(Text("Choose a document to print."));
        return;
    }
    std::vector<JobOption> options;
    if (!CollectOptions(options)) {
        return;
    }
    const SubmitResult submitted =
        setup_.submit(queue_, setup_.files.front().filename().string(), setup_.files, options);
    if (submitted.jobId == 0) {
        Complain(Text("The job was not printed: %1").arg(Q(submitted.message)));
        return;
    }
    sent_ = std::move(options);
    jobId_ = submitted.jobId;
    accept();
}

void PrintWindow::SaveDefaults()
{
    if (!dialog_) {
        return;
    }
    // Typing in a field ends when the person presses the button.
    toolkit_.SetFocus(nullptr);
    const std::optional<std::vector<JobOption>> defaults = DefaultOptions(*dialog_);
    if (!defaults) {
        const std::vector<std::string>& notices = dialog_->Notices();
        Complain(Text("The defaults were not saved: %1").arg(Q(notices.empty() ? "" : notices.back())));
        return;
    }
    std::string problem;
    if (!SaveDefaultOptions(queue_, *defaults, &problem)) {
        Complain(Text("The defaults were not saved: %1").arg(Q(problem)));
        return;
    }
    QMessageBox box(QMessageBox::Information, Text("Print"),
                    Text("The settings are now the defaults for %1.").arg(Q(queue_)), QMessageBox::Ok, this);
    box.setObjectName("saved");
    box.exec();
}

}  // namespace zlk::host::gui
