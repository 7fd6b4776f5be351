// A job that is already one of this driver's job streams: a desktop with
// the driver printing through a print server with the driver. The server's
// scheduler types it by its start (data/mime/zelko.types) and the filter
// sends it on unchanged, so it prints once, as the desktop made it.
#pragma once

#include <string_view>

namespace zlk::filter {

// The type the scheduler gives such a job (CONTENT_TYPE).
inline constexpr char kJobStreamType[] = "application/vnd.zelko-job";

// Whether bytes begin as this filter's job streams do.
bool IsJobStream(std::string_view head);

// Copies the job (argument 6, else standard input) to standard output
// unchanged when it is a job stream; false, having said why, when it is not
// or cannot be copied whole.
bool PassJobStreamThrough(int argc, const char* const* argv);

}  // namespace zlk::filter
