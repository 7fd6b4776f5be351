#include "platform/printing/pageformat.h"

namespace zlk::platform {

namespace {

ppd_size_t* PaperOfPPD(ppd_file_t* ppd)
{
    // ppdPageSize(ppd, nullptr) answers the marked size, including a
    // custom size with the dimensions it was marked with.
    if (ppd_size_t* marked = ppdPageSize(ppd, nullptr)) {
        return marked;
    }
    ppd_option_t* option = ppdFindOption(ppd, "PageSize");
    if (option != nullptr && option->defchoice[0] != '\0') {
        return ppdPageSize(ppd, option->defchoice);
    }
    return nullptr;
}

}  // namespace

PMPageFormat PMPageFormat::FromPPD(ppd_file_t* ppd)
{
    PMPageFormat format;
    if (ppd == nullptr) {
        return format;
    }
    const ppd_size_t* size = PaperOfPPD(ppd);
    if (size != nullptr && size->width > 0 && size->length > 0) {
        format.SetPaper(size->name, size->width, size->length, size->left, size->bottom, size->right, size->top);
    }
    return format;
}

void PMPageFormat::SetPaper(std::string name, double width, double length, double left, double bottom, double right,
                            double top)
{
    name_ = std::move(name);
    width_ = width;
    length_ = length;
    left_ = left;
    bottom_ = bottom;
    right_ = right;
    top_ = top;
}

OSStatus PMGetUnadjustedPaperRect(const PMPageFormat* pageFormat, PMRect* paperRect)
{
    if (pageFormat == nullptr || paperRect == nullptr) {
        return paramErr;
    }
    // The imageable top edge lies imageableTop above the sheet's bottom.
    const double originY = pageFormat->imageableTop();
    const double originX = pageFormat->imageableLeft();
    paperRect->top = originY - pageFormat->paperLength();
    paperRect->left = -originX;
    paperRect->bottom = originY;
    paperRect->right = pageFormat->paperWidth() - originX;
    return noErr;
}

OSStatus PMGetUnadjustedPageRect(const PMPageFormat* pageFormat, PMRect* pageRect)
{
    if (pageFormat == nullptr || pageRect == nullptr) {
        return paramErr;
    }
    pageRect->top = 0;
    pageRect->left = 0;
    pageRect->bottom = pageFormat->imageableTop() - pageFormat->imageableBottom();
    pageRect->right = pageFormat->imageableRight() - pageFormat->imageableLeft();
    return noErr;
}

}  // namespace zlk::platform
