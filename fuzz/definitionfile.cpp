// The reader of constraint definition files, for the section the features
// panel reads.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "ppd/quickxppd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    zlk::ppd::XConstraintTable table = zlk::ppd::MakeXConstraintTable();
    zlk::ppd::CQuickXPPD reader(&table, std::string(zlk::ppd::kSectionPrintFeatureTiger));
    in >> reader;
    return 0;
}
