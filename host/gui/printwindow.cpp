#include "host/gui/printwindow.h"

#include "host/documents.h"

#include <cups/ppd.h>
#include <unistd.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cctype>
#include <cstring>
#include <fstream>

#include "host/gui/texts.h"
#include "platform/system/storedsettings.h"
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
    auto* outer = new QVBoxLayout(this);
    // The settings on the left, the preview of what they give on the right,
    // in an area that scrolls when the screen is too small for them; the
    // buttons stay in view below it.
    auto* body = new QWidget();
    auto* columns = new QHBoxLayout(body);
    columns->setContentsMargins(0, 0, 0, 0);
    body_ = new QScrollArea(this);
    body_->setObjectName("body");
    body_->setFrameShape(QFrame::NoFrame);
    body_->setWidgetResizable(true);
    body_->setWidget(body);
    outer->addWidget(body_, 1);
    auto* layout = new QVBoxLayout();
    columns->addLayout(layout, 3);
    preview_ = new PreviewWidget(this);
    preview_->setObjectName("preview");
    columns->addWidget(preview_, 2);

    auto* form = new QFormLayout();
    form_ = form;
    printers_ = new QComboBox(this);
    printers_->setObjectName("printer");
    form->addRow(Text("Printer:"), printers_);
    printerState_ = new QLabel(this);
    printerState_->setObjectName("printerState");
    printerState_->setWordWrap(true);
    printerState_->setTextFormat(Qt::PlainText);
    form->addRow(QString(), printerState_);

    auto* documentsRow = new QHBoxLayout();
    documents_ = new QLabel(this);
    documents_->setObjectName("documents");
    documents_->setWordWrap(true);
    documents_->setTextFormat(Qt::PlainText);
    auto* choose = new QPushButton(Text("Choose\u2026"), this);
    choose->setObjectName("chooseDocuments");
    choose->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, [this] { ChooseDocuments(); });
    documentsRow->addWidget(documents_, 1);
    documentsRow->addWidget(choose);
    form->addRow(Text("Documents:"), documentsRow);
    setAcceptDrops(true);

    auto* copiesRow = new QHBoxLayout();
    copies_ = new QSpinBox(this);
    copies_->setObjectName("copies");
    copies_->setRange(1, kMaxCopies);
    // Collating is the PPD's Collate option, shared with the panels.
    collate_ = new QCheckBox(Text("Collate"), this);
    collate_->setObjectName("collate");
    connect(collate_, &QCheckBox::clicked, this, [this](bool on) { ChooseCollate(on); });
    connect(copies_, &QSpinBox::valueChanged, this, [this] { ShowStandardOptions(); });
    copiesRow->addWidget(copies_, 1);
    copiesRow->addWidget(collate_);
    form->addRow(Text("Copies:"), copiesRow);

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
    connect(range_, &QLineEdit::textEdited, this, [this] {
        rangePages_->setChecked(true);
        UpdatePreview();
    });
    connect(allPages_, &QRadioButton::toggled, this, [this] { UpdatePreview(); });
    pagesRow->addWidget(allPages_);
    pagesRow->addWidget(rangePages_);
    pagesRow->addWidget(range_, 1);
    form->addRow(Text("Pages:"), pagesRow);

    auto addList = [&](QComboBox*& list, const char* name, const QString& label) {
        list = new QComboBox(this);
        list->setObjectName(name);
        form->addRow(label, list);
    };
    addList(paper_, "paperSize", Text("Paper size:"));
    addList(twoSided_, "twoSided", Text("Two-sided:"));
    addList(numberUp_, "numberUp", Text("Pages per sheet:"));
    for (const int up : {1, 2, 4, 6, 9, 16}) {
        numberUp_->addItem(QString::number(up), QString::number(up));
    }
    connect(numberUp_, &QComboBox::activated, this, [this] { UpdatePreview(); });
    addList(color_, "color", Text("Color:"));
    for (auto [list, option] : {std::pair{paper_, "PageSize"}, {twoSided_, "Duplex"}, {color_, "ZLKColorMode"}}) {
        connect(list, &QComboBox::activated, this,
                [this, list = list, option = option] { ChooseStandardOption(list, option); });
    }
    // A panel that changes one of these shows on the main page at once.
    toolkit_.SetUserActedHook([this] { ShowStandardOptions(); });
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
    outer->addWidget(notice_);

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
    outer->addWidget(buttons);

    std::vector<std::string> queues = setup_.queues();
    // The queue asked for, else the one this user printed to last, else the
    // default one.
    std::string first = setup_.queue;
    if (first.empty()) {
        const std::string last = ReadLastPrinter(setup_.lastPrinterFile);
        first = std::find(queues.begin(), queues.end(), last) != queues.end() ? last : setup_.defaultQueue();
    }
    if (!first.empty() && std::find(queues.begin(), queues.end(), first) == queues.end()) {
        queues.insert(queues.begin(), first);
    }
    {
        const QSignalBlocker blocker(printers_);
        for (const std::string& queue : queues) {
            // Named as the administrator described it, the queue beside.
            const QueueDescription description = setup_.describeQueue(queue);
            const QString shown = description.info.empty() || description.info == queue
                                      ? Q(queue)
                                      : Text("%1 (%2)").arg(Q(description.info), Q(queue));
            printers_->addItem(shown, Q(queue));
        }
    }
    connect(printers_, &QComboBox::currentIndexChanged, this,
            [this](int index) { ShowPrinter(index >= 0 ? printers_->itemData(index).toString().toStdString() : ""); });
    if (queues.empty()) {
        ShowPrinter("");
    } else {
        const int index = first.empty() ? 0 : printers_->findData(Q(first));
        const QSignalBlocker blocker(printers_);
        printers_->setCurrentIndex(std::max(index, 0));
        ShowPrinter(printers_->currentData().toString().toStdString());
    }
}

PrintWindow::~PrintWindow()
{
    toolkit_.SetUserActedHook(nullptr);
    ClearPanels();
}

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
    ShowStandardOptions();
    ShowQueueState(queue);
    notice_->setText(notices.join("\n"));
    notice_->setVisible(!notices.isEmpty());
    saveDefaults_->setEnabled(!queue_.empty());
    // A file let go over a text field is meant for the job, not typed into
    // the field; the window takes it instead.
    for (QLineEdit* field : findChildren<QLineEdit*>()) {
        field->setAcceptDrops(false);
    }
    ShowDocuments();
    if (isVisible()) {
        FitToScreen();
    }
}

void PrintWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FitToScreen();
}

void PrintWindow::FitToScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen || !body_->widget()) {
        return;
    }
    // The window manager's frame around the window: known once shown,
    // a title bar's worth before.
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty()) {
        frame = QSize(8, 32);
    }
    const QRect free = screen->availableGeometry();
    const QSize room = free.size() - frame;
    // All of the settings and the buttons below them, scroll bars included
    // for the side that has to scroll.
    const QSize content = body_->widget()->sizeHint();
    const int chromeHeight = sizeHint().height() - body_->sizeHint().height();
    const QMargins margins = layout()->contentsMargins();
    QSize wanted(std::max(sizeHint().width(), content.width() + margins.left() + margins.right()),
                 content.height() + chromeHeight);
    if (wanted.height() > room.height()) {
        wanted.rwidth() += body_->verticalScrollBar()->sizeHint().width();
    }
    if (wanted.width() > room.width()) {
        wanted.rheight() += body_->horizontalScrollBar()->sizeHint().height();
    }
    const QSize size = (placed_ ? wanted.expandedTo(this->size()) : wanted).boundedTo(room);
    if (placed_ && size == this->size()) {
        return;
    }
    // Centred on the screen the first time, then on where it already is,
    // kept inside the free area.
    const QPoint centre = placed_ ? geometry().center() : free.center();
    QRect placed(QPoint(0, 0), size + frame);
    placed.moveCenter(centre);
    placed.moveLeft(std::clamp(placed.left(), free.left(), std::max(free.left(), free.right() + 1 - placed.width())));
    placed.moveTop(std::clamp(placed.top(), free.top(), std::max(free.top(), free.bottom() + 1 - placed.height())));
    resize(size);
    move(placed.topLeft());
    placed_ = true;
}

void PrintWindow::ShowDocuments()
{
    QStringList names;
    for (const auto& file : setup_.files) {
        names << Q(file.filename().string());
    }
    documents_->setText(names.isEmpty() ? Text("none") : names.join(", "));
    if (!setup_.files.empty()) {
        preview_->SetDocument(setup_.files.front());
    }
    print_->setEnabled(!queue_.empty() && !setup_.files.empty());
}

void PrintWindow::ChooseDocuments()
{
    QFileDialog chooser(this, Text("Choose Documents to Print"));
    chooser.setObjectName("documentChooser");
    chooser.setFileMode(QFileDialog::ExistingFiles);
    chooser.setNameFilters({Text("PDF documents (*.pdf *.PDF)"), Text("All files (*)")});
    if (!setup_.files.empty()) {
        chooser.setDirectory(Q(setup_.files.back().parent_path().string()));
    }
    if (chooser.exec() == QDialog::Accepted) {
        AddDocuments(chooser.selectedUrls());
    }
}

void PrintWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void PrintWindow::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls()) {
        return;
    }
    event->acceptProposedAction();
    // Told after the drop is over: the file manager waits for the drop to
    // end, not for the person to read an alert.
    QTimer::singleShot(0, this, [this, urls = event->mimeData()->urls()] { AddDocuments(urls); });
}

void PrintWindow::AddDocuments(const QList<QUrl>& urls)
{
    std::vector<std::filesystem::path> added;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            Complain(Text("Only files on this computer can be printed: %1").arg(url.toDisplayString()));
            return;
        }
        const std::filesystem::path file = QFile::encodeName(url.toLocalFile()).toStdString();
        const QString name = Q(file.filename().string());
        if (!CheckDocuments({file}, "").empty()) {
            Complain(Text("The document \u201c%1\u201d cannot be read.").arg(name));
            return;
        }
        // The preview and the page ranges need the pages of a PDF.
        if (!PDFPageCount(file)) {
            Complain(Text("The document \u201c%1\u201d is not a PDF.").arg(name));
            return;
        }
        // The same file twice is a slip of the hand, not two copies.
        if (std::find(setup_.files.begin(), setup_.files.end(), file) == setup_.files.end() &&
            std::find(added.begin(), added.end(), file) == added.end()) {
            added.push_back(file);
        }
    }
    setup_.files.insert(setup_.files.end(), added.begin(), added.end());
    ShowDocuments();
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
    if (numberUp_->currentData().toString() != "1") {
        options.emplace_back("number-up", numberUp_->currentData().toString().toStdString());
    }
    if (rangePages_->isChecked()) {
        options.emplace_back("page-ranges", range);
    }
    return true;
}

void PrintWindow::PrintJob()
{
    // Print is disabled then; a caller of its own is told why all the same.
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
    WriteLastPrinter(setup_.lastPrinterFile, queue_);
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

void PrintWindow::ShowStandardOptions()
{
    ppd_file_t* ppd = dialog_ ? dialog_->Host().ppdFile() : nullptr;
    for (auto [list, name] : {std::pair{paper_, "PageSize"}, {twoSided_, "Duplex"}, {color_, "ZLKColorMode"}}) {
        const ppd_option_t* option = ppd ? ppdFindOption(ppd, name) : nullptr;
        form_->setRowVisible(list, option != nullptr);
        const QSignalBlocker blocker(list);
        list->clear();
        if (!option) {
            continue;
        }
        for (int i = 0; i < option->num_choices; ++i) {
            list->addItem(Q(option->choices[i].text), Q(option->choices[i].choice));
        }
        // A custom size is shown as what it is, not as a listed one.
        const std::string custom = dialog_->Host().CustomValue(name);
        const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, name);
        if (!custom.empty()) {
            list->addItem(Q(custom), Q(custom));
            list->setCurrentIndex(list->count() - 1);
        } else if (marked) {
            list->setCurrentIndex(std::max(0, list->findData(Q(marked->choice))));
        }
    }
    // Collating means something only with more than one copy.
    const ppd_choice_t* collate = ppd ? ppdFindMarkedChoice(ppd, "Collate") : nullptr;
    collate_->setVisible(ppd && ppdFindOption(ppd, "Collate"));
    collate_->setChecked(collate && std::strcmp(collate->choice, "True") == 0);
    collate_->setEnabled(copies_->value() > 1);
    UpdatePreview();
}

void PrintWindow::ChooseCollate(bool on)
{
    if (!dialog_) {
        return;
    }
    if (!dialog_->Host().willChangePPDOptionKeyValue("Collate", on ? "True" : "False")) {
        Complain(Text("The printer cannot take \"%1\" now.").arg(collate_->text()));
    }
    ShowStandardOptions();
    const int panels = static_cast<int>(dialog_->Panels().size());
    if (shownPage_ >= 0 && shownPage_ < panels) {
        dialog_->Panels()[static_cast<std::size_t>(shownPage_)]->willShow();
    }
}

void PrintWindow::UpdatePreview()
{
    if (!dialog_) {
        return;
    }
    std::vector<JobOption> options = dialog_->JobOptions();
    options.emplace_back("number-up", numberUp_->currentData().toString().toStdString());
    const std::string range = range_->text().trimmed().toStdString();
    if (rangePages_->isChecked() && IsValidPageRange(range)) {
        options.emplace_back("page-ranges", range);
    }
    preview_->SetJobOptions(options, dialog_->Host().ppdFile());
}

void PrintWindow::ChooseStandardOption(QComboBox* list, const char* option)
{
    if (!dialog_) {
        return;
    }
    const std::string choice = list->currentData().toString().toStdString();
    if (!dialog_->Host().willChangePPDOptionKeyValue(option, choice.c_str())) {
        Complain(Text("The printer cannot take \"%1\" now.").arg(list->currentText()));
    }
    ShowStandardOptions();
    // The panel on show draws the choice at once, as when it is shown again.
    const int panels = static_cast<int>(dialog_->Panels().size());
    if (shownPage_ >= 0 && shownPage_ < panels) {
        dialog_->Panels()[static_cast<std::size_t>(shownPage_)]->willShow();
    }
}

void PrintWindow::ShowQueueState(const std::string& queue)
{
    const QueueDescription description = queue.empty() ? QueueDescription() : setup_.describeQueue(queue);
    QStringList lines;
    if (!description.location.empty()) {
        lines << Text("Location: %1").arg(Q(description.location));
    }
    QString warning;
    if (!description.accepting) {
        warning = Text("This printer does not accept jobs now.");
    } else if (description.stopped) {
        warning = Text("This printer is paused: jobs wait until it is resumed.");
    }
    if (!warning.isEmpty()) {
        if (!description.message.empty()) {
            warning += " " + Q(description.message);
        }
        lines << warning;
    }
    printerState_->setText(lines.join("\n"));
    printerState_->setProperty("warning", !warning.isEmpty());
    printerState_->setStyleSheet(warning.isEmpty() ? QString() : QStringLiteral("color: #b00020; font-weight: bold"));
    form_->setRowVisible(printerState_, !lines.isEmpty());
}

std::filesystem::path DefaultLastPrinterFile()
{
    return platform::DefaultPrintSettingsFolder().parent_path() / "last-printer";
}

std::string ReadLastPrinter(const std::filesystem::path& file)
{
    if (file.empty()) {
        return {};
    }
    std::ifstream in(file);
    std::string queue;
    std::getline(in, queue);
    return queue;
}

void WriteLastPrinter(const std::filesystem::path& file, const std::string& queue)
{
    if (file.empty() || queue.empty()) {
        return;
    }
    // Written whole or not at all: a half-written name would pick no printer.
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    const std::filesystem::path temporary = file.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << queue << "\n";
        if (!out.flush()) {
            std::filesystem::remove(temporary, ignored);
            return;
        }
    }
    std::filesystem::rename(temporary, file, ignored);
}

}  // namespace zlk::host::gui
