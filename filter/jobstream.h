// The printer job stream around the PDF: PJL header with job attributes,
// the XML job ticket, and the PJL trailer.
#pragma once

#include "filter/encoding.h"
#include "filter/options.h"

namespace zlk::filter {

int OutputXPJLCommand(const char* const* argv, const printoptions& options, const DocumentNames& names);
int OutputPrintTicketCommand(const char* const* argv, const printoptions& options,
                             const DocumentNames& names);
int OutputXPJLTrailer(const char* const* argv, const printoptions& options);

}  // namespace zlk::filter
