// The job stream inspector on any bytes, with the development printer key
// so that the blobs are opened too.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/inspect/inspect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::optional<zlk::inspect::PrinterKey> key = [] {
        std::string error;
        return zlk::inspect::PrinterKey::Load(ZLK_FUZZ_PRINTER_KEY, error);
    }();
    const zlk::inspect::Inspection inspection =
        zlk::inspect::Inspect(std::string_view(reinterpret_cast<const char*>(data), size), key ? &*key : nullptr);
    if (inspection.valid)
        zlk::inspect::Report(inspection, "fuzz");
    return 0;
}
