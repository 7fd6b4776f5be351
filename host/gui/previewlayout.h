// What the print preview shows, as plain data: the sheet, where each page
// goes on it, and the finishing marks; and the drawing of one sheet side
// from page images. Nothing here needs an event loop or a thread.
#pragma once

#include <cups/ppd.h>

#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QSizeF>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/documents.h"

namespace zlk::host::gui {

using PreviewOption = std::pair<std::string, std::string>;

enum class PreviewSides { OneSided, LongEdge, ShortEdge };
enum class PreviewBooklet { None, LeftBinding, RightBinding };

// Geometry is in points on the sheet as the reader holds the front side
// (origin top left, y down): a landscape sheet is wider than tall.
struct PreviewSettings {
    QSizeF sheet{595.28, 841.89};
    int columns = 1;  // pages per sheet side = columns * rows
    int rows = 1;
    bool upsideDown = false;  // reverse portrait or landscape
    PreviewSides sides = PreviewSides::OneSided;
    PreviewBooklet booklet = PreviewBooklet::None;
    int sheetsPerBooklet = 0;  // 0: one booklet of all pages
    std::vector<QLineF> staples;
    std::vector<QPointF> holes;  // centres
    double holeDiameter = 0;
    std::optional<PageRanges> pageRanges;  // nothing: every page

    bool operator==(const PreviewSettings&) const = default;
};

// The settings the job options ask for. pagePoints is the PPD's size of the
// chosen PageSize (width, length); booklet paper (ZLKSigSize) is looked up
// among the sizes the sample PPDs offer for it, else the page size is used.
PreviewSettings PreviewSettingsFrom(const std::vector<PreviewOption>& options, QSizeF pagePoints);
// The same with the page size taken from the PPD (the options' PageSize,
// else the PPD's marked or default size).
PreviewSettings PreviewSettingsFrom(const std::vector<PreviewOption>& options, ppd_file_t* ppd);

// One side of a sheet: the source page (0-based, -1 for none) in each cell,
// row by row from the top left.
struct PreviewSide {
    std::vector<int> cells;
    bool back = false;
};

struct PreviewSheet {
    PreviewSide front;
    std::optional<PreviewSide> back;
};

// Every sheet of the job, in the order the printer delivers them.
std::vector<PreviewSheet> Impose(const PreviewSettings& settings, int documentPages);

// Where cell index lies on the sheet, in points.
QRectF CellRect(const PreviewSettings& settings, int index);

// One side drawn with its long edge longSidePixels long: the pages from
// pages (by source page; a missing one shows as a blank page), the fold of a
// booklet, and the staples and holes (mirrored on the back, where they come
// through the paper).
QImage ComposeSide(const PreviewSettings& settings, const PreviewSide& side, const std::map<int, QImage>& pages,
                   int longSidePixels);

}  // namespace zlk::host::gui
