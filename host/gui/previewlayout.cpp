#include "host/gui/previewlayout.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace zlk::host::gui {

namespace {

constexpr double kMm = 72.0 / 25.4;

// Finisher geometry, roughly as the printers place them.
constexpr double kStapleLength = 12 * kMm;
constexpr double kStapleInset = 7 * kMm;  // from the edge to the staple's middle
constexpr double kCornerInset = 10 * kMm;  // from both edges to a corner staple's middle
constexpr double kHoleInset = 11 * kMm;  // from the edge to the hole centres
constexpr double kHoleDiameter = 6 * kMm;
constexpr double kCoilInset = 6 * kMm;
constexpr double kCoilPitch = 8.47 * kMm;  // three holes an inch
constexpr double kCoilDiameter = 4 * kMm;
constexpr double kHoleEndMargin = 10 * kMm;  // holes keep this far from the corners

using SizeNamed = std::function<std::optional<QSizeF>(const std::string&)>;

class Options {
public:
    explicit Options(const std::vector<PreviewOption>& options) : options_(options) {}
    // The last value given for name, as CUPS reads repeated options.
    std::optional<std::string> Get(const std::string& name) const
    {
        for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
            if (it->first == name) {
                return it->second;
            }
        }
        return std::nullopt;
    }
    std::string Text(const std::string& name) const { return Get(name).value_or(""); }
    int Number(const std::string& name) const { return std::atoi(Text(name).c_str()); }

private:
    const std::vector<PreviewOption>& options_;
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::optional<QSizeF> KnownBookletPaper(const std::string& name)
{
    // The ZLKSigSize choices of the sample PPDs; "LT" and "DL" are short names.
    static const std::map<std::string, QSizeF> kSizes = {
        {"A3", {841.89, 1190.55}}, {"A4", {595.28, 841.89}}, {"B4", {728.5, 1031.81}}, {"Letter", {612, 792}},
        {"LT", {612, 792}},        {"Tabloid", {792, 1224}}, {"DL", {792, 1224}},
    };
    const auto it = kSizes.find(name);
    return it == kSizes.end() ? std::nullopt : std::optional<QSizeF>(it->second);
}

QSizeF Landscape(QSizeF size) { return size.width() >= size.height() ? size : size.transposed(); }

void AddStaples(PreviewSettings& s, const std::string& choice)
{
    const double w = s.sheet.width(), h = s.sheet.height(), c = kCornerInset, a = kStapleLength / (2 * std::sqrt(2.0));
    const double half = kStapleLength / 2;
    auto along = [&](bool vertical, double fixed) {
        for (double f : {0.25, 0.75}) {
            const double m = (vertical ? h : w) * f;
            s.staples.push_back(vertical ? QLineF(fixed, m - half, fixed, m + half)
                                         : QLineF(m - half, fixed, m + half, fixed));
        }
    };
    // Corner staples lie across the corner.
    if (choice == "UpperLeftSinglePort") {
        s.staples.emplace_back(c - a, c + a, c + a, c - a);
    } else if (choice == "UpperRightSinglePort") {
        s.staples.emplace_back(w - c - a, c - a, w - c + a, c + a);
    } else if (choice == "BottomLeftSinglePort") {
        s.staples.emplace_back(c - a, h - c - a, c + a, h - c + a);
    } else if (choice == "BottomRightSinglePort") {
        s.staples.emplace_back(w - c - a, h - c + a, w - c + a, h - c - a);
    } else if (choice == "LeftDoublePort") {
        along(true, kStapleInset);
    } else if (choice == "RightDoublePort") {
        along(true, w - kStapleInset);
    } else if (choice == "TopDoublePort") {
        along(false, kStapleInset);
    } else if (choice == "BottomDoublePort") {
        along(false, h - kStapleInset);
    }
}

void AddHoles(PreviewSettings& s, const std::string& edge, const std::string& count)
{
    const bool vertical = edge == "Left" || edge == "Right";
    if (!vertical && edge != "Top" && edge != "Bottom") {
        return;
    }
    const double length = vertical ? s.sheet.height() : s.sheet.width();
    const double usable = std::max(0.0, length - 2 * kHoleEndMargin);
    std::vector<double> offsets;  // from the edge's middle
    double inset = kHoleInset;
    s.holeDiameter = kHoleDiameter;
    if (count == "CoilPunch") {
        inset = kCoilInset;
        s.holeDiameter = kCoilDiameter;
        const int n = static_cast<int>(usable / kCoilPitch) + 1;
        for (int i = 0; i < n; ++i) {
            offsets.push_back((i - (n - 1) / 2.0) * kCoilPitch);
        }
    } else if (count == "3Holes") {
        offsets = {-108 * kMm, 0, 108 * kMm};
        s.holeDiameter = 8 * kMm;
    } else if (count == "4Holes") {
        offsets = {-120 * kMm, -40 * kMm, 40 * kMm, 120 * kMm};
    } else {
        offsets = {-40 * kMm, 40 * kMm};  // 2Holes, and what the ticket writes for any other count
    }
    // Short edges (postcards) take the pattern pressed together.
    const double span = offsets.back() - offsets.front();
    const double squeeze = span > usable && span > 0 ? usable / span : 1.0;
    const double fixed =
        edge == "Left" || edge == "Top" ? inset : (vertical ? s.sheet.width() : s.sheet.height()) - inset;
    for (double offset : offsets) {
        const double at = length / 2 + offset * squeeze;
        s.holes.push_back(vertical ? QPointF(fixed, at) : QPointF(at, fixed));
    }
}

// Pages per sheet as a grid on a sheet taller than wide.
std::optional<std::pair<int, int>> PortraitGrid(int pagesPerSheet)
{
    switch (pagesPerSheet) {
    case 1: return std::pair{1, 1};
    case 2: return std::pair{1, 2};
    case 4: return std::pair{2, 2};
    case 6: return std::pair{2, 3};
    case 9: return std::pair{3, 3};
    case 16: return std::pair{4, 4};
    default: return std::nullopt;
    }
}

PreviewSettings Build(const std::vector<PreviewOption>& jobOptions, QSizeF pagePoints, const SizeNamed& sizeNamed)
{
    const Options options(jobOptions);
    PreviewSettings s;
    if (pagePoints.width() <= 0 || pagePoints.height() <= 0) {
        pagePoints = s.sheet;
    }
    const std::string signature = options.Text("ZLKSignature");
    const bool booklet = !signature.empty() && signature != "None";
    if (booklet) {
        // Two pages side by side on the sheet, folded between them.
        QSizeF paper = pagePoints;
        const std::string sigSize = options.Text("ZLKSigSize");
        if (!sigSize.empty() && sigSize != "None") {
            paper = sizeNamed(sigSize).value_or(pagePoints);
        }
        s.sheet = Landscape(paper);
        s.columns = 2;
        s.rows = 1;
        s.booklet = StartsWith(signature, "Right") ? PreviewBooklet::RightBinding : PreviewBooklet::LeftBinding;
        // The sheets turn over their short edge, like a book's pages.
        s.sides = PreviewSides::ShortEdge;
        s.sheetsPerBooklet = std::max(0, options.Number("ZLKSigVol"));
        if (EndsWith(signature, "CenterStaple")) {
            const double x = s.sheet.width() / 2, half = kStapleLength / 2;
            for (double f : {0.25, 0.75}) {
                s.staples.emplace_back(x, s.sheet.height() * f - half, x, s.sheet.height() * f + half);
            }
        }
    } else {
        const int orientation = options.Number("orientation-requested");
        const bool landscape = orientation == 4 || orientation == 5;
        s.upsideDown = orientation == 5 || orientation == 6;
        const int numberUp = options.Number("number-up");
        // The converter lays 2 and 6 pages across the sheet, turned: they
        // read with the sheet held the other way round.
        const bool turned = numberUp == 2 || numberUp == 6;
        s.sheet = landscape != turned ? pagePoints.transposed() : pagePoints;
        std::pair<int, int> grid{1, 1};
        if (const auto up = PortraitGrid(numberUp); up && *up != grid) {
            grid = *up;
            if (s.sheet.width() > s.sheet.height()) {
                std::swap(grid.first, grid.second);
            }
        } else {
            // The plug-ins' layout keys, which the filter also reads.
            const int columns = options.Number("com.apple.print.PrintSettings.PMLayoutColumns..n.");
            const int rows = options.Number("com.apple.print.PrintSettings.PMLayoutRows..n.");
            if (columns >= 1 && columns <= 4 && rows >= 1 && rows <= 4) {
                grid = {columns, rows};
            }
        }
        s.columns = grid.first;
        s.rows = grid.second;
        std::string duplex = options.Text("Duplex");
        if (duplex.empty()) {
            const std::string sides = options.Text("sides");
            duplex = sides == "two-sided-long-edge"    ? "DuplexNoTumble"
                     : sides == "two-sided-short-edge" ? "DuplexTumble"
                                                       : "";
        }
        s.sides = duplex == "DuplexNoTumble" ? PreviewSides::LongEdge
                  : duplex == "DuplexTumble" ? PreviewSides::ShortEdge
                                             : PreviewSides::OneSided;
    }
    AddStaples(s, options.Text("ZLKStaple"));
    AddHoles(s, options.Text("ZLKPunch"), options.Text("ZLKNumPunchHoles"));
    if (const auto ranges = options.Get("page-ranges")) {
        s.pageRanges = ParsePageRanges(*ranges);
    }
    return s;
}

// The source pages the job prints, in order.
std::vector<int> SelectedPages(const PreviewSettings& s, int documentPages)
{
    std::vector<int> pages;
    for (int i = 0; i < documentPages; ++i) {
        const long page = i + 1;
        const bool chosen = !s.pageRanges || std::any_of(s.pageRanges->begin(), s.pageRanges->end(),
                                                         [&](auto& r) { return page >= r.first && page <= r.second; });
        if (chosen) {
            pages.push_back(i);
        }
    }
    return pages;
}

void ImposeBooklets(const PreviewSettings& s, const std::vector<int>& pages, std::vector<PreviewSheet>& sheets)
{
    const std::size_t chunk = s.sheetsPerBooklet > 0 ? static_cast<std::size_t>(s.sheetsPerBooklet) * 4 : pages.size();
    for (std::size_t start = 0; start < pages.size(); start += chunk) {
        const std::size_t count = std::min(chunk, pages.size() - start);
        const int padded = static_cast<int>((count + 3) / 4 * 4);
        auto page = [&](int k) {
            return k < static_cast<int>(count) ? pages[start + static_cast<std::size_t>(k)] : -1;
        };
        for (int i = 0; i < padded / 4; ++i) {
            // The outer pair on the front, the inner pair on the back.
            std::pair front{page(padded - 1 - 2 * i), page(2 * i)};
            std::pair back{page(2 * i + 1), page(padded - 2 - 2 * i)};
            if (s.booklet == PreviewBooklet::RightBinding) {
                std::swap(front.first, front.second);
                std::swap(back.first, back.second);
            }
            sheets.push_back(
                {PreviewSide{{front.first, front.second}, false}, PreviewSide{{back.first, back.second}, true}});
        }
    }
}

void ImposeUp(const PreviewSettings& s, const std::vector<int>& pages, std::vector<PreviewSheet>& sheets)
{
    const std::size_t perSide = static_cast<std::size_t>(s.columns * s.rows);
    const bool twoSided = s.sides != PreviewSides::OneSided;
    std::size_t next = 0;
    auto side = [&](bool back) {
        PreviewSide result{{}, back};
        for (std::size_t i = 0; i < perSide; ++i, ++next) {
            result.cells.push_back(next < pages.size() ? pages[next] : -1);
        }
        return result;
    };
    while (next < pages.size()) {
        PreviewSheet sheet{side(false), std::nullopt};
        if (twoSided) {
            sheet.back = side(true);
        }
        sheets.push_back(std::move(sheet));
    }
}

// Where the page fits in its cell: as large as it goes, centred.
QRectF Fit(QSizeF page, const QRectF& cell)
{
    if (page.isEmpty()) {
        return cell;
    }
    const QSizeF size = page.scaled(cell.size(), Qt::KeepAspectRatio);
    return QRectF(cell.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

}  // namespace

PreviewSettings PreviewSettingsFrom(const std::vector<PreviewOption>& options, QSizeF pagePoints)
{
    return Build(options, pagePoints, KnownBookletPaper);
}

PreviewSettings PreviewSettingsFrom(const std::vector<PreviewOption>& options, ppd_file_t* ppd)
{
    auto sizeOf = [ppd](const std::string& name) -> std::optional<QSizeF> {
        ppd_size_t* size = ppd ? ppdPageSize(ppd, name.c_str()) : nullptr;
        return size ? std::optional<QSizeF>(QSizeF(size->width, size->length)) : std::nullopt;
    };
    std::optional<QSizeF> page;
    if (const auto name = Options(options).Get("PageSize")) {
        page = sizeOf(*name);
    }
    if (!page && ppd) {
        if (ppd_size_t* marked = ppdPageSize(ppd, nullptr)) {
            page = QSizeF(marked->width, marked->length);
        } else if (ppd_option_t* option = ppdFindOption(ppd, "PageSize")) {
            page = sizeOf(option->defchoice);
        }
    }
    return Build(options, page.value_or(QSizeF()), [&](const std::string& name) {
        // The PPD's own sizes first; "LT" and "DL" are only known by their short names.
        const auto size = sizeOf(name);
        return size ? size : KnownBookletPaper(name);
    });
}

std::vector<PreviewSheet> Impose(const PreviewSettings& settings, int documentPages)
{
    std::vector<PreviewSheet> sheets;
    const std::vector<int> pages = SelectedPages(settings, documentPages);
    if (settings.booklet != PreviewBooklet::None) {
        ImposeBooklets(settings, pages, sheets);
    } else if (settings.columns >= 1 && settings.rows >= 1) {
        ImposeUp(settings, pages, sheets);
    }
    return sheets;
}

QRectF CellRect(const PreviewSettings& settings, int index)
{
    const int columns = std::max(1, settings.columns), rows = std::max(1, settings.rows);
    const double w = settings.sheet.width() / columns, h = settings.sheet.height() / rows;
    return QRectF((index % columns) * w, (index / columns) * h, w, h);
}

QImage ComposeSide(const PreviewSettings& settings, const PreviewSide& side, const std::map<int, QImage>& pages,
                   int longSidePixels)
{
    const QSizeF sheet = settings.sheet;
    const double longest = std::max(sheet.width(), sheet.height());
    if (longest <= 0 || longSidePixels <= 0) {
        return {};
    }
    const double scale = longSidePixels / longest;
    QImage image(std::max(1, static_cast<int>(std::lround(sheet.width() * scale))),
                 std::max(1, static_cast<int>(std::lround(sheet.height() * scale))), QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);

    const bool booklet = settings.booklet != PreviewBooklet::None;
    const double gap = std::min(settings.sheet.width(), settings.sheet.height()) * 0.01;
    for (std::size_t i = 0; i < side.cells.size(); ++i) {
        const int source = side.cells[i];
        if (source < 0) {
            continue;
        }
        const QRectF cell = CellRect(settings, static_cast<int>(i)).adjusted(gap, gap, -gap, -gap);
        const auto found = pages.find(source);
        const QImage* page = found == pages.end() || found->second.isNull() ? nullptr : &found->second;
        const QRectF target = page ? Fit(page->size(), cell) : cell;
        if (page) {
            painter.save();
            if (settings.upsideDown) {
                // Reverse orientations print the page turned half round.
                painter.translate(target.center());
                painter.rotate(180);
                painter.translate(-target.center());
            }
            painter.drawImage(target, *page);
            painter.restore();
        } else {
            painter.fillRect(target, QColor(0xe4, 0xe4, 0xe4));  // not rendered (yet)
        }
        if (booklet || settings.columns * settings.rows > 1) {
            painter.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 0));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(target);
        }
    }
    if (booklet) {
        QPen fold(QColor(0x70, 0x70, 0x70), 0, Qt::DashLine);
        painter.setPen(fold);
        painter.drawLine(QPointF(sheet.width() / 2, 0), QPointF(sheet.width() / 2, sheet.height()));
    }

    // Marks go through the paper: the back shows them turned over the way
    // the sheet turns, across its long edge or its short one.
    const bool portrait = sheet.width() <= sheet.height();
    const bool mirrorX = side.back && (settings.sides == PreviewSides::LongEdge) == portrait;
    const bool mirrorY = side.back && !mirrorX;
    auto place = [&](QPointF p) {
        return QPointF(mirrorX ? sheet.width() - p.x() : p.x(), mirrorY ? sheet.height() - p.y() : p.y());
    };
    // Marks are drawn larger than life where the sheet is small, so that
    // they stay visible when the widget shrinks the image further.
    const double onePixel = 1 / scale;
    const double stapleWidth = std::max(2 * kMm, 7 * onePixel);
    for (const QLineF& staple : settings.staples) {
        QLineF line(place(staple.p1()), place(staple.p2()));
        const QPointF middle = line.center();
        line.setLength(std::max(line.length(), 36 * onePixel));
        line.translate(middle - line.center());
        painter.setPen(QPen(Qt::white, stapleWidth + 3 * onePixel, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(line);
        painter.setPen(QPen(QColor(0x20, 0x20, 0x20), stapleWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(line);
    }
    double radius = std::max(settings.holeDiameter / 2, 9 * onePixel);
    for (std::size_t i = 1; i < settings.holes.size(); ++i) {
        // Coil holes stay apart.
        radius = std::min(radius, 0.4 * QLineF(settings.holes[i - 1], settings.holes[i]).length());
    }
    painter.setPen(QPen(Qt::white, 2 * onePixel));
    painter.setBrush(QColor(0x30, 0x30, 0x30));
    for (const QPointF& hole : settings.holes) {
        painter.drawEllipse(place(hole), radius, radius);
    }
    return image;
}

}  // namespace zlk::host::gui
