// The converted PDF: opening it, deciding whether it must be re-rendered
// (copies thinned, pages turned, pages rasterised), re-rendering it, and
// copying the result into the job stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <cups/cups.h>

#include "common/fd.h"

class QPDF;

namespace zlk::filter {

struct PDFDocInfo {
    PDFDocInfo();
    ~PDFDocInfo();
    PDFDocInfo(const PDFDocInfo&) = delete;
    PDFDocInfo& operator=(const PDFDocInfo&) = delete;

    // The file's bytes, mapped while the document reads them: qpdf seeks
    // and reads a file through stdio a few bytes at a time, a system call
    // each; from memory that costs nothing. Declared first, freed last.
    std::shared_ptr<const char> bytes;
    std::unique_ptr<QPDF> document;  // the opened PDF, or none
    std::string path;  // file the document was opened from
    char keywordPrefix[8] = {};  // "ZLK": prefixed to option names looked up here
    int32_t pageCount = 0;
    int32_t lastPage = 0;  // last 1-based page to re-render
    int32_t pageStep = 1;  // distance between re-rendered pages
    int32_t rotation = 0;  // degrees, raised in steps of 180
    int32_t rasterMode = 0;  // nonzero: pages become 300 dpi images
};

// Resets info and, with a non-empty path, opens the PDF and counts its pages.
// A document that does not open is reported on standard error and leaves
// pageCount 0 and document empty.
void pdfDocInfo_init(const char* path, PDFDocInfo& info);

// Whether the opened document can go to the printer byte for byte: it
// starts with "%PDF-", qpdf read it without repairing anything, and every
// page has a media box, its own or inherited.
bool IsSoundPDF(const PDFDocInfo& info);

// Writes the document as qpdf read it, every page without a media box given
// a Letter one (what renderers show), into a new unnamed temporary file held
// by out, and reopens info from there (by out.path()). False, with nothing
// left, when that fails or the result is still not sound.
bool RewriteDamagedPDF(PDFDocInfo& info, common::UnnamedTempFile& out);

// Runs the four checks on the job options (the spooler's option string) and
// answers whether the document must be re-rendered. contentType is the
// document's original MIME type (CONTENT_TYPE), may be null.
bool CheckIfNeedEdit(const char* jobOptions, const char* contentType, PDFDocInfo& info);

// The individual checks, each adjusting info and answering 1 when it asks
// for re-rendering, else 0. They stay int: the sample PPD tests (tests/data)
// count the choices that answer 1 through pointers of this type.
int checkNumPages(int numOptions, cups_option_t* options, const char* contentType, PDFDocInfo& info);
int checkMSIOrientation(int numOptions, cups_option_t* options, PDFDocInfo& info);
int checkTurnPage(int numOptions, cups_option_t* options, PDFDocInfo& info);
int checkRasterMode(int numOptions, cups_option_t* options, PDFDocInfo& info);

// Re-renders the chosen pages into a new unnamed temporary file (made in the
// spooler's folder, TMPDIR, and unlinked at once: common::NewUnnamedTempFile)
// that out then holds. Answers true on success; on failure answers false and
// leaves out empty. No file is named at any time, so a filter killed while
// rendering leaves nothing behind.
bool PreProcess(PDFDocInfo& info, common::UnnamedTempFile& out);

// The two re-rendering routines: add the chosen pages (1, 1 + pageStep, ...
// up to lastPage) to out. processPDF copies each page with its content
// untouched, wrapped in the turn when one is due; processImage makes each a
// 300 dpi image (strips of palette or RGB rows, see rasterstrips.h), the
// pages rendered side by side in child processes by the renderer module
// (rastermodule.h), their data kept in an unnamed temporary file until out
// is written. Answer 0, or -1 when a chosen page is missing, the job was
// cancelled or something could not be made (the benchmarks in bench/ test
// for 0).
int processPDF(PDFDocInfo& info, QPDF& out);
int processImage(PDFDocInfo& info, QPDF& out);

// A PDF transformation matrix [a b c d e f] and a box (origin, size).
struct PageMatrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    bool operator==(const PageMatrix&) const = default;
};
struct PageRect {
    double x = 0, y = 0, width = 0, height = 0;
};

// The matrix that applies info.rotation to content drawn in rect. A half
// turn is made about the rectangle's centre so that content stays on the
// page whatever the box's origin.
PageMatrix setContextCTM(const PDFDocInfo& info, const PageRect& rect);

// Pages rendered to bitmaps so far in this process; each image page must be
// rendered exactly once.
long RasterPagesRendered();

// Copies the file byte for byte through the output writers to standard
// output and deletes it. Answers false when the file does not open.
bool WritePDFData(const char* path);

// The same for an unnamed temporary file: copies it from its first byte;
// the file goes when its owner closes it. False when it cannot be read.
bool WritePDFData(const common::UnnamedTempFile& file);

}  // namespace zlk::filter
