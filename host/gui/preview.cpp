#include "host/gui/preview.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <set>

#include "host/gui/texts.h"

namespace zlk::host::gui {

// The open document and its rendered pages, by page index.
struct PreviewEngine::Renderer {
    std::filesystem::path path;
    std::unique_ptr<poppler::document> document;
    std::map<int, QImage> pages;
    std::atomic<long> rendered{0};

    bool Open(const std::filesystem::path& file)
    {
        if (document && file == path) {
            return true;
        }
        path = file;
        pages.clear();
        document.reset();
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) {
            return false;  // poppler would only complain on standard error
        }
        document.reset(poppler::document::load_from_file(file.string()));
        if (document && document->is_locked()) {
            document.reset();
        }
        return document != nullptr;
    }

    // The page with its long side longSide pixels; null when poppler cannot.
    QImage Render(int index, int longSide)
    {
        std::unique_ptr<poppler::page> page(document->create_page(index));
        if (!page) {
            return {};
        }
        const poppler::rectf box = page->page_rect();
        const double longest = std::max(box.width(), box.height());
        if (longest <= 0) {
            return {};
        }
        const double dpi = longSide * 72.0 / longest;
        poppler::page_renderer renderer;
        renderer.set_image_format(poppler::image::format_argb32);
        renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
        const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
        if (!image.is_valid()) {
            return {};
        }
        ++rendered;
        // Pages are opaque: poppler paints the paper white first.
        return QImage(reinterpret_cast<const uchar*>(image.const_data()), image.width(), image.height(),
                      image.bytes_per_row(), QImage::Format_RGB32)
            .copy();
    }
};

PreviewEngine::PreviewEngine(Done done, int longSidePixels)
    : done_(std::move(done)),
      longSidePixels_(longSidePixels),
      renderer_(std::make_unique<Renderer>()),
      worker_([this] { Run(); })
{}

PreviewEngine::~PreviewEngine()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

std::uint64_t PreviewEngine::Request(const std::filesystem::path& document, const PreviewSettings& settings)
{
    std::uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = ++lastNumber_;
        pending_ = Job{number, document, settings};
    }
    wake_.notify_one();
    return number;
}

long PreviewEngine::PagesRendered() const { return renderer_->rendered.load(); }

void PreviewEngine::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_; });
        if (stop_) {
            return;
        }
        const Job job = std::move(*pending_);
        pending_.reset();
        lock.unlock();
        if (auto images = Work(job)) {
            done_(job.number, std::move(images));
        }
        lock.lock();
    }
}

bool PreviewEngine::Superseded() const
{
    std::lock_guard lock(mutex_);
    return stop_ || pending_.has_value();
}

std::shared_ptr<const PreviewImages> PreviewEngine::Work(const Job& job)
{
    auto images = std::make_shared<PreviewImages>();
    if (!renderer_->Open(job.document)) {
        images->problem = TextKey("The document cannot be shown.");
        return images;
    }
    images->documentPages = renderer_->document->pages();
    const std::vector<PreviewSheet> sheets = Impose(job.settings, images->documentPages);
    images->totalSheets = static_cast<int>(sheets.size());

    // The first sheets, as far as their pages stay few; at least one.
    std::vector<int> needed;
    std::set<int> seen;
    std::size_t shown = 0;
    std::size_t limit = 0;
    for (const PreviewSheet& sheet : sheets) {
        std::vector<int> more;
        for (const PreviewSide* side : {&sheet.front, sheet.back ? &*sheet.back : nullptr}) {
            for (int page : side ? side->cells : std::vector<int>{}) {
                if (page >= 0 && !seen.count(page) && std::find(more.begin(), more.end(), page) == more.end()) {
                    more.push_back(page);
                }
            }
        }
        if (shown == 0) {
            limit = std::max<std::size_t>(kPreviewPages, sheet.front.cells.size());
        } else if (needed.size() + more.size() > limit) {
            break;
        }
        needed.insert(needed.end(), more.begin(), more.end());
        seen.insert(more.begin(), more.end());
        ++shown;
    }

    for (int page : needed) {
        if (Superseded()) {
            return nullptr;  // what was rendered stays for the next request
        }
        if (!renderer_->pages.count(page)) {
            renderer_->pages[page] = renderer_->Render(page, longSidePixels_);
        }
    }
    for (std::size_t i = 0; i < shown; ++i) {
        if (Superseded()) {
            return nullptr;
        }
        PreviewImages::Sheet out;
        out.front = ComposeSide(job.settings, sheets[i].front, renderer_->pages, longSidePixels_);
        if (sheets[i].back) {
            out.back = ComposeSide(job.settings, *sheets[i].back, renderer_->pages, longSidePixels_);
        }
        images->sheets.push_back(std::move(out));
    }
    if (sheets.empty()) {
        images->problem = TextKey("No pages to print.");
    }
    return images;
}

// Paints the current sheet's sides next to each other, each scaled to fit.
class PreviewCanvas final : public QWidget {
public:
    explicit PreviewCanvas(QWidget* parent) : QWidget(parent) { setMinimumSize(160, 120); }
    void Show(QImage front, QImage back, QString message)
    {
        front_ = std::move(front);
        back_ = std::move(back);
        message_ = std::move(message);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Mid));
        if (front_.isNull()) {
            painter.setPen(palette().color(QPalette::BrightText));
            painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, message_);
            return;
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const int sides = back_.isNull() ? 1 : 2;
        const int margin = 8;
        const int caption = sides == 2 ? fontMetrics().height() + 2 : 0;
        // Next to each other or one above the other, whichever shows them larger.
        const QSize across((width() - margin * (sides + 1)) / sides, height() - 2 * margin - caption);
        const QSize down(width() - 2 * margin, (height() - margin * (sides + 1)) / sides - caption);
        const bool stacked = sides == 2 && front_.size().scaled(down, Qt::KeepAspectRatio).width() >
                                               front_.size().scaled(across, Qt::KeepAspectRatio).width();
        const QSize slot = stacked ? down : across;
        QPoint at(margin, margin);
        for (const auto& [image, title] : {std::pair{&front_, Text("Front")}, std::pair{&back_, Text("Back")}}) {
            if (image->isNull()) {
                continue;
            }
            const QSize size = image->size().scaled(slot, Qt::KeepAspectRatio);
            const QRect target(at.x() + (slot.width() - size.width()) / 2, at.y() + (slot.height() - size.height()) / 2,
                               size.width(), size.height());
            painter.fillRect(target.translated(2, 2), QColor(0, 0, 0, 60));  // shadow
            painter.drawImage(target, *image);
            painter.setPen(palette().color(QPalette::Dark));
            painter.drawRect(target.adjusted(0, 0, -1, -1));
            if (sides == 2) {
                painter.setPen(palette().color(QPalette::BrightText));
                painter.drawText(QRect(at.x(), target.bottom() + 2, slot.width(), caption),
                                 Qt::AlignHCenter | Qt::AlignTop, title);
            }
            (stacked ? at.ry() : at.rx()) += (stacked ? slot.height() + caption : slot.width()) + margin;
        }
    }

private:
    QImage front_;
    QImage back_;
    QString message_;
};

PreviewWidget::PreviewWidget(QWidget* parent) : QWidget(parent)
{
    canvas_ = new PreviewCanvas(this);
    previous_ = new QToolButton(this);
    previous_->setArrowType(Qt::LeftArrow);
    previous_->setAutoRaise(true);
    previous_->setToolTip(Text("Previous sheet"));
    next_ = new QToolButton(this);
    next_->setArrowType(Qt::RightArrow);
    next_->setAutoRaise(true);
    next_->setToolTip(Text("Next sheet"));
    counter_ = new QLabel(this);
    counter_->setAlignment(Qt::AlignCenter);
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(previous_);
    bar->addWidget(counter_);
    bar->addWidget(next_);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(canvas_, 1);
    layout->addLayout(bar);
    connect(previous_, &QToolButton::clicked, this, [this] { ShowSheet(current_ - 1); });
    connect(next_, &QToolButton::clicked, this, [this] { ShowSheet(current_ + 1); });
    // Results come on the worker thread; they are shown on this one.
    engine_ =
        std::make_unique<PreviewEngine>([this](std::uint64_t request, std::shared_ptr<const PreviewImages> images) {
            QMetaObject::invokeMethod(
                this, [this, request, images] { Receive(request, images); }, Qt::QueuedConnection);
        });
    ShowCurrent();
}

PreviewWidget::~PreviewWidget() { engine_.reset(); }

void PreviewWidget::SetDocument(const std::filesystem::path& pdf)
{
    if (document_ != pdf) {
        document_ = pdf;
        images_.reset();
        current_ = 0;
        ShowCurrent();
        Update();
    }
}

void PreviewWidget::SetSettings(const PreviewSettings& settings)
{
    if (settings_ != settings || requested_ == 0) {
        settings_ = settings;
        Update();
    }
}

void PreviewWidget::Update()
{
    if (document_) {
        requested_ = engine_->Request(*document_, settings_);
    }
}

void PreviewWidget::Receive(std::uint64_t request, std::shared_ptr<const PreviewImages> images)
{
    if (request != requested_) {
        return;  // a later one is on its way
    }
    shown_ = request;
    images_ = std::move(images);
    current_ = std::clamp(current_, 0, std::max(0, SheetCount() - 1));
    ShowCurrent();
    if (updated_) {
        updated_();
    }
}

int PreviewWidget::SheetCount() const { return images_ ? static_cast<int>(images_->sheets.size()) : 0; }
int PreviewWidget::TotalSheets() const { return images_ ? images_->totalSheets : 0; }

void PreviewWidget::ShowSheet(int index)
{
    if (index >= 0 && index < SheetCount() && index != current_) {
        current_ = index;
        ShowCurrent();
    }
}

QImage PreviewWidget::Front() const { return SheetCount() ? images_->sheets[current_].front : QImage(); }
QImage PreviewWidget::Back() const { return SheetCount() ? images_->sheets[current_].back : QImage(); }

QString PreviewWidget::Problem() const
{
    return images_ && !images_->problem.empty() ? Text(images_->problem.c_str()) : QString();
}

void PreviewWidget::ShowCurrent()
{
    const int count = SheetCount();
    const QString waiting =
        document_ ? Text("Preparing the preview...") : Text("Choose a document to print, or drop PDF files here.");
    canvas_->Show(Front(), Back(), images_ ? Problem() : waiting);
    counter_->setText(count ? Text("Sheet %1 of %2").arg(current_ + 1).arg(TotalSheets()) : QString());
    previous_->setEnabled(current_ > 0);
    next_->setEnabled(current_ + 1 < count);
    next_->setToolTip(current_ + 1 < count || count == TotalSheets() ? Text("Next sheet")
                                                                     : Text("The preview shows the first sheets only"));
}

}  // namespace zlk::host::gui
