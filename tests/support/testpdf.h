// Builds small PDFs for tests: each page carries the text "Page N" so a test
// can tell which pages a re-rendered document kept.
#pragma once

#include <string>
#include <vector>

namespace zlk::test {

struct PageSpec {
    double width = 612;
    double height = 792;
    int rotate = 0;  // the page's /Rotate entry
};

// Writes a PDF with one page per entry; page i shows "Page i+1" near its
// lower left corner and a filled square at (36, 36).
void WriteTestPdf(const std::string& path, const std::vector<PageSpec>& pages);
void WriteTestPdf(const std::string& path, int pageCount);

// Page texts of a PDF as poppler extracts them, one entry per page.
std::vector<std::string> PdfPageTexts(const std::string& path);

// How a page written by WriteTestPdf came out: where poppler draws its
// marks (the square and the text), and what qpdf finds the page made of.
struct PageLook {
    bool markedAsWritten = false;  // in the lower left quarter only
    bool markedTurned = false;  // in the upper right quarter only: turned by 180 degrees
    bool text = false;  // poppler finds text on it
    bool image = false;  // an image among its resources, its forms' included
};
std::vector<PageLook> LookAtPages(const std::string& path);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

// A fresh directory under the system temp folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace zlk::test
