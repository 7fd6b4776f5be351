// The page format: the paper the dialog lays out for, taken from the PPD's
// marked page size.
#pragma once

#include <cups/ppd.h>

#include <string>

#include "platform/printing/status.h"

namespace zlk::platform {

// Points. top/left is the upper left corner, y grows downwards.
struct PMRect {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    double width() const { return right - left; }
    double height() const { return bottom - top; }
    bool operator==(const PMRect&) const = default;
};

class PMPageFormat {
public:
    // US Letter without margins, the paper when a PPD names none.
    PMPageFormat() = default;

    // The paper of the PPD's marked PageSize choice (for Custom, the size
    // it was marked with); without a mark, the PageSize default choice;
    // without that, US Letter. A null PPD gives US Letter.
    static PMPageFormat FromPPD(ppd_file_t* ppd);

    // Paper in the PPD's terms: width and length of the sheet, and the
    // imageable area's edges measured from its lower left corner.
    void SetPaper(std::string name, double width, double length, double left, double bottom, double right, double top);

    const std::string& paperName() const { return name_; }
    double paperWidth() const { return width_; }
    double paperLength() const { return length_; }
    // Imageable area edges from the lower left corner of the sheet.
    double imageableLeft() const { return left_; }
    double imageableBottom() const { return bottom_; }
    double imageableRight() const { return right_; }
    double imageableTop() const { return top_; }

private:
    std::string name_ = "Letter";
    double width_ = 612;
    double length_ = 792;
    double left_ = 0;
    double bottom_ = 0;
    double right_ = 612;
    double top_ = 792;
};

// The whole sheet, unscaled and unrotated, relative to the imageable area:
// the imageable area's upper left corner is the origin, so the paper's own
// corner has zero or negative coordinates; width and height are the
// sheet's. paramErr for null arguments.
OSStatus PMGetUnadjustedPaperRect(const PMPageFormat* pageFormat, PMRect* paperRect);

// The imageable area in the same coordinates: (0, 0) to its width and
// height. paramErr for null arguments.
OSStatus PMGetUnadjustedPageRect(const PMPageFormat* pageFormat, PMRect* pageRect);

}  // namespace zlk::platform
