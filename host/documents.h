// The documents of a job, checked before any panel is shown: a missing
// document or a page range that selects nothing is told at once, not after
// the panels and the accounting prompt ran or as an empty job later.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zlk::host {

// First and last page of each range, as CUPS's page-ranges takes them
// ("1-3,5"; spaces allowed around numbers); nothing when the text is not one.
using PageRanges = std::vector<std::pair<long, long>>;
std::optional<PageRanges> ParsePageRanges(const std::string& text);

// The number of pages of a PDF; nothing for a file that is not one (other
// formats are the scheduler's to count).
std::optional<int> PDFPageCount(const std::filesystem::path& file);

// Why the documents cannot be printed with this page range (empty: no
// range), or an empty text when they can.
std::string CheckDocuments(const std::vector<std::filesystem::path>& files, const std::string& pageRanges);

}  // namespace zlk::host
