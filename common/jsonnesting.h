// A bound on the nesting of JSON text, checked before it is parsed: the
// parser copes with any depth, but serializing, comparing or walking a value
// recurses once per level, and a small file nested a hundred thousand deep
// overflows the stack.
#pragma once

#include <cstddef>
#include <string_view>

namespace zlk::common {

// The deepest nesting of arrays and objects in text (0 for a scalar), not
// counting brackets inside strings. Text that is not JSON gets some number;
// the parser refuses it afterwards.
std::size_t JsonNestingDepth(std::string_view text);

}  // namespace zlk::common
