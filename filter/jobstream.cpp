#include "filter/jobstream.h"

namespace zlk::filter {

// The header, ticket and trailer writers are not built yet; until they are
// the stream carries the PDF alone.

int OutputXPJLCommand(const char* const*, const printoptions&, const DocumentNames&) { return 1; }

int OutputPrintTicketCommand(const char* const*, const printoptions&, const DocumentNames&) { return 1; }

int OutputXPJLTrailer(const char* const*, const printoptions&) { return 1; }

}  // namespace zlk::filter
