// The queue defaults tool's encoding of a value for lpadmin -o: any UTF-8
// text without control characters, read back as lpadmin reads the argument
// (cupsParseOptions) and decoded as the filter decodes option values, is
// one option of that name holding the text; and lpadmin's request carries
// that value as one text, not as a collection or a boolean.
#include <cups/cups.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "filter/options.h"
#include "tools/queuedefaults/queuedefaults.h"

namespace {

// A name of the form the tool sets: libcups files a short unknown name such
// as "x-default" under the job's attributes, not the printer's.
constexpr char kName[] = "com.zelko.jt.printsettings.pdf.ww.JobAccountingUserNameTicketKey-default";

struct ParsedOptions {
    explicit ParsedOptions(const std::string& text) { count = cupsParseOptions(text.c_str(), 0, &options); }
    ~ParsedOptions() { cupsFreeOptions(count, options); }
    ParsedOptions(const ParsedOptions&) = delete;
    ParsedOptions& operator=(const ParsedOptions&) = delete;

    int count = 0;
    cups_option_t* options = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!zlk::common::IsValidUtf8(text) ||
        std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return 0;
    const ParsedOptions parsed(std::string(kName) + "=" + zlk::queuedefaults::OptionValue(text));
    if (parsed.count != 1 || std::strcmp(parsed.options[0].name, kName) != 0)
        std::abort();
    std::vector<char> value(parsed.options[0].value,
                            parsed.options[0].value + std::strlen(parsed.options[0].value) + 1);
    zlk::filter::numstrtochar(value.data(), value.size());
    if (text != value.data())
        std::abort();

    const std::unique_ptr<ipp_t, decltype(&ippDelete)> request(ippNew(), ippDelete);
    cupsEncodeOptions2(request.get(), parsed.count, parsed.options, IPP_TAG_PRINTER);
    ipp_attribute_t* attribute = ippFindAttribute(request.get(), kName, IPP_TAG_ZERO);
    const char* held = attribute && ippGetCount(attribute) == 1 ? ippGetString(attribute, 0, nullptr) : nullptr;
    if (!held || std::strcmp(held, parsed.options[0].value) != 0)
        std::abort();
    return 0;
}
