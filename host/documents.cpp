#include "host/documents.h"

#include <qpdf/QPDF.hh>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <exception>

#include "host/jobsubmit.h"

namespace zlk::host {

std::optional<PageRanges> ParsePageRanges(const std::string& text)
{
    PageRanges ranges;
    std::size_t at = 0;
    auto skipSpace = [&] {
        while (at < text.size() && text[at] == ' ') {
            ++at;
        }
    };
    auto number = [&](long& value) {
        skipSpace();
        const std::size_t start = at;
        value = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - start < 9) {
            value = value * 10 + (text[at++] - '0');
        }
        return at > start && (at == text.size() || !std::isdigit(static_cast<unsigned char>(text[at])));
    };
    do {
        long first = 0;
        if (!number(first) || first < 1) {
            return std::nullopt;
        }
        long last = first;
        skipSpace();
        if (at < text.size() && text[at] == '-') {
            ++at;
            if (!number(last) || last < first) {
                return std::nullopt;
            }
        }
        ranges.emplace_back(first, last);
        skipSpace();
    } while (at < text.size() && text[at++] == ',');
    if (at != text.size() || text.empty() || text.back() == ',') {
        return std::nullopt;
    }
    return ranges;
}

std::optional<int> PDFPageCount(const std::filesystem::path& file)
{
    if (DocumentFormat(file) != "application/pdf") {
        return std::nullopt;
    }
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(file.c_str());
        return static_cast<int>(pdf.getAllPages().size());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string CheckDocuments(const std::vector<std::filesystem::path>& files, const std::string& pageRanges)
{
    for (const std::filesystem::path& file : files) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error) || access(file.c_str(), R_OK) != 0) {
            return "the document \"" + file.string() + "\" cannot be read";
        }
    }
    if (pageRanges.empty()) {
        return {};
    }
    const std::optional<PageRanges> ranges = ParsePageRanges(pageRanges);
    if (!ranges) {
        return "the page range \"" + pageRanges + "\" is not valid; give pages and ranges such as 1-3,5";
    }
    long first = ranges->front().first;
    for (const auto& range : *ranges) {
        first = std::min(first, range.first);
    }
    // Each document is printed with the range: one that has none of its
    // pages would print nothing.
    for (const std::filesystem::path& file : files) {
        if (const std::optional<int> pages = PDFPageCount(file); pages && *pages < first) {
            return "the page range \"" + pageRanges + "\" selects no page of \"" + file.string() + "\", which has " +
                   std::to_string(*pages) + (*pages == 1 ? " page" : " pages");
        }
    }
    return {};
}

}  // namespace zlk::host
