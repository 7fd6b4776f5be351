// Documents for the benchmarks: pages that look like ordinary office output
// (a shared font, lines of text, rules and a filled box).
#pragma once

#include <string>

namespace zlk::bench {

void WriteOfficePdf(const std::string& path, int pageCount);

}  // namespace zlk::bench
