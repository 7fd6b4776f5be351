// Argument 5 as the spooler hands it over: the ticket and option readers,
// and the strip of the orientation option before the converter sees it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <strings.h>

#include "filter/options.h"
#include "filter/pipeline.h"

namespace {

// Every option but orientation-requested, as the converter's parser reads them.
std::map<std::string, std::string> OtherOptions(const char* text)
{
    const zlk::filter::JobOptions options(text);
    std::map<std::string, std::string> kept;
    for (int i = 0; i < options.count(); ++i)
        if (strcasecmp(options.options()[i].name, "orientation-requested") != 0)
            kept[options.options()[i].name] = options.options()[i].value;
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An argument ends at its first zero byte.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* argv[] = {"ZLKPrintFilter", "1", "alice", "title", "1", text.c_str(), nullptr};
    zlk::filter::printoptions record{};
    zlk::filter::DocumentNames names{};
    zlk::filter::GetPrintOptions(argv, ZLK_FUZZ_PPD, record, names);

    std::string rewritten;
    if (zlk::filter::RewriteOrientation(text.c_str(), rewritten) == 1 &&
        OtherOptions(text.c_str()) != OtherOptions(rewritten.c_str()))
        std::abort();  // another option reached the converter changed
    return 0;
}
