// The script parser of zlk-print: a step it accepts is one of the actions
// with what that action takes, and carries no control character but the
// tab \t writes (values reach text fields and, from there, the ticket and
// the PJL header); text that is not UTF-8 is refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "host/script.h"

namespace {

// Well-formed UTF-8 by the table of valid byte sequences, not by the
// product's own decoder.
bool WellFormed(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        auto at = [&](std::size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
        const unsigned lead = at(0);
        unsigned low = 0x80, high = 0xBF;
        std::size_t n = 1;
        if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        } else if (lead >= 0x80) {
            return false;
        }
        if (n > 1 && (at(1) < low || at(1) > high))
            return false;
        for (std::size_t k = 2; k < n; ++k)
            if (at(k) < 0x80 || at(k) > 0xBF)
                return false;
        i += n;
    }
    return true;
}

bool HasControl(std::string_view text, bool tabAllowed)
{
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && !(tabAllowed && c == '\t')) || byte == 0x7F)
            return true;
    }
    return false;
}

// A whole number of at least least, written plainly.
bool IsNumber(const std::string& text, long long least)
{
    const std::size_t digits = text.starts_with('-') ? 1 : 0;
    if (text.size() == digits || text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    return std::strtoll(text.c_str(), nullptr, 10) >= least;
}

enum class Takes { nothing, control, controlAndText, controlAndItem, controlAndNumber, buttonNumber };

const std::map<std::string, Takes> kActions = {{"choose", Takes::controlAndItem},
                                               {"check", Takes::control},
                                               {"uncheck", Takes::control},
                                               {"type", Takes::controlAndText},
                                               {"step", Takes::controlAndNumber},
                                               {"press", Takes::control},
                                               {"ok", Takes::nothing},
                                               {"cancel", Takes::nothing},
                                               {"restore", Takes::nothing},
                                               {"answer", Takes::buttonNumber},
                                               {"show", Takes::control},
                                               {"print", Takes::nothing}};

bool Fits(const zlk::host::ScriptStep& step)
{
    const auto action = kActions.find(step.verb);
    if (action == kActions.end() || HasControl(step.control, false) || HasControl(step.value, true) ||
        step.control.find_first_of(" \t") != std::string::npos)
        return false;
    const bool control = !step.control.empty();
    switch (action->second) {
    case Takes::nothing: return !control && step.value.empty();
    case Takes::control: return control && step.value.empty();
    case Takes::controlAndText: return control;
    case Takes::controlAndItem: return control && !step.value.empty();
    case Takes::controlAndNumber: return control && IsNumber(step.value, std::numeric_limits<int>::min());
    case Takes::buttonNumber: return !control && IsNumber(step.value, 1);
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto steps = zlk::host::ParseScript(text, nullptr);
    if (!steps)
        return 0;
    if (!WellFormed(text))
        std::abort();  // text that is not UTF-8 was accepted
    int line = 0;
    for (const auto& step : *steps) {
        if (step.line <= line || !Fits(step))
            std::abort();
        line = step.line;
    }
    return 0;
}
