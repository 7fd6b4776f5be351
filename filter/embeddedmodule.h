// Modules the filter carries inside itself as data (the raster renderer, the
// password sealer): each brings libraries that only some jobs need, so it is
// loaded when a job first needs it, and it is always the copy built with the
// filter, wherever the filter was copied.
#pragma once

#include <string>

namespace zlk::filter {

// Loads the module whose bytes are [begin, end) and answers its entry point
// named entry, or null with the reason in why. The module stays loaded for
// the rest of the process: the libraries behind it keep global state.
void* LoadEmbeddedModule(const char* name, const unsigned char* begin, const unsigned char* end, const char* entry,
                         std::string& why);

}  // namespace zlk::filter
