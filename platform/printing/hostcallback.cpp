#include "platform/printing/hostcallback.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

namespace zlk::platform {

namespace {

constexpr std::string_view kCustomPrefix = "Custom.";

// A number followed by nothing but the rest; nullopt when none starts here.
std::optional<double> ParseNumber(std::string_view& text)
{
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() || !std::isfinite(value)) {
        return std::nullopt;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// Points per unit for the unit names the spooler understands in custom
// sizes; nullopt for anything else.
std::optional<double> PointsPerUnit(std::string_view unit)
{
    auto is = [&](std::string_view name) {
        if (unit.size() != name.size()) {
            return false;
        }
        for (std::size_t i = 0; i < unit.size(); ++i) {
            char c = unit[i];
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            if (c != name[i]) {
                return false;
            }
        }
        return true;
    };
    if (unit.empty() || is("pt"))
        return 1.0;
    if (is("in"))
        return 72.0;
    if (is("ft"))
        return 864.0;
    if (is("cm"))
        return 72.0 / 2.54;
    if (is("mm"))
        return 72.0 / 25.4;
    if (is("m"))
        return 72.0 / 0.0254;
    return std::nullopt;
}

bool WithinLimit(double value, double minimum, double maximum)
{
    return value >= minimum && (maximum <= 0 || value <= maximum);
}

bool AcceptsCustomPageSize(const ppd_file_t* ppd, std::string_view size)
{
    std::optional<double> width = ParseNumber(size);
    if (!width || size.empty() || size.front() != 'x') {
        return false;
    }
    size.remove_prefix(1);
    std::optional<double> length = ParseNumber(size);
    std::optional<double> scale = PointsPerUnit(size);
    if (!length || !scale) {
        return false;
    }
    const double w = *width * *scale;
    const double l = *length * *scale;
    return w > 0 && l > 0 && WithinLimit(w, ppd->custom_min[0], ppd->custom_max[0]) &&
           WithinLimit(l, ppd->custom_min[1], ppd->custom_max[1]);
}

bool WithinLength(std::string_view value, int minimum, int maximum)
{
    return minimum >= 0 && maximum >= minimum && value.size() >= static_cast<std::size_t>(minimum) &&
           value.size() <= static_cast<std::size_t>(maximum);
}

double RealLimit(ppd_cptype_t type, const ppd_cplimit_t& limit)
{
    switch (type) {
    case PPD_CUSTOM_POINTS: return limit.custom_points;
    case PPD_CUSTOM_CURVE: return limit.custom_curve;
    case PPD_CUSTOM_INVCURVE: return limit.custom_invcurve;
    default: return limit.custom_real;
    }
}

// The value of a "Custom." choice checked against the option's first
// custom parameter, the one the spooler fills from this form.
bool AcceptsCustomParam(ppd_coption_t* custom, std::string_view value)
{
    ppd_cparam_t* param = ppdFirstCustomParam(custom);
    if (param == nullptr) {
        return false;
    }
    switch (param->type) {
    case PPD_CUSTOM_INT: {
        long number = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        return ec == std::errc() && end == value.data() + value.size() && number >= param->minimum.custom_int &&
               number <= param->maximum.custom_int;
    }
    case PPD_CUSTOM_POINTS:
    case PPD_CUSTOM_REAL:
    case PPD_CUSTOM_CURVE:
    case PPD_CUSTOM_INVCURVE: {
        std::optional<double> number = ParseNumber(value);
        // Only lengths carry a unit; the other kinds are bare numbers.
        std::optional<double> scale = PointsPerUnit(value);
        if (param->type != PPD_CUSTOM_POINTS && !value.empty()) {
            scale.reset();
        }
        if (!number || !scale) {
            return false;
        }
        const double v = *number * *scale;
        return v >= RealLimit(param->type, param->minimum) && v <= RealLimit(param->type, param->maximum);
    }
    case PPD_CUSTOM_PASSCODE:
        for (char c : value) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
        return WithinLength(value, param->minimum.custom_passcode, param->maximum.custom_passcode);
    case PPD_CUSTOM_PASSWORD:
        return WithinLength(value, param->minimum.custom_password, param->maximum.custom_password);
    case PPD_CUSTOM_STRING: return WithinLength(value, param->minimum.custom_string, param->maximum.custom_string);
    default: return false;
    }
}

bool IsCustomValue(const char* choice) { return strncasecmp(choice, kCustomPrefix.data(), kCustomPrefix.size()) == 0; }

// The option has this choice keyword (compared as libcups compares).
bool HasChoice(const ppd_option_t* option, const char* choice)
{
    for (int i = 0; i < option->num_choices; ++i) {
        if (strcasecmp(option->choices[i].choice, choice) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool AcceptsCustomChoice(ppd_file_t* ppd, const char* option, const char* ppdChoice)
{
    if (ppd == nullptr || option == nullptr || ppdChoice == nullptr) {
        return false;
    }
    std::string_view choice(ppdChoice);
    if (!IsCustomValue(ppdChoice) || choice.size() == kCustomPrefix.size()) {
        return false;
    }
    ppd_option_t* opt = ppdFindOption(ppd, option);
    ppd_coption_t* custom = ppdFindCustomOption(ppd, option);
    if (opt == nullptr || custom == nullptr || ppdFindChoice(opt, "Custom") == nullptr) {
        return false;
    }
    std::string_view value = choice.substr(kCustomPrefix.size());
    if (std::strcmp(opt->keyword, "PageSize") == 0) {
        return ppd->variable_sizes != 0 && AcceptsCustomPageSize(ppd, value);
    }
    return AcceptsCustomParam(custom, value);
}

HostPDECallback::HostPDECallback(common::PPDHandle ppd, std::string queue, PMPrintSettings settings)
    : ppd_(std::move(ppd)),
      session_(std::move(queue)),
      settings_(std::move(settings)),
      pageFormat_(PMPageFormat::FromPPD(ppd_.get()))
{}

namespace {
// The lines between *OpenUI and *CloseUI that give a choice.
int ChoiceLines(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    int count = 0;
    bool inOption = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("*OpenUI") || line.starts_with("*JCLOpenUI")) {
            inOption = true;
        } else if (line.starts_with("*CloseUI") || line.starts_with("*JCLCloseUI")) {
            inOption = false;
        } else if (inOption && line.starts_with('*') && !line.starts_with("*%") && !line.starts_with("*Default") &&
                   !line.starts_with("*OrderDependency") && !line.starts_with("*?")) {
            ++count;
        }
    }
    return count;
}
}  // namespace

std::unique_ptr<HostPDECallback> HostPDECallback::Open(const std::filesystem::path& ppdPath, std::string queue,
                                                       OSStatus* status, std::string* message)
{
    auto fail = [&](OSStatus code, const std::string& why) {
        if (status != nullptr) {
            *status = code;
        }
        if (message != nullptr) {
            *message = "the PPD " + ppdPath.string() + " " + why;
        }
        return nullptr;
    };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(ppdPath, ec)) {
        return fail(fnfErr, std::filesystem::exists(ppdPath, ec) ? "is not a regular file" : "does not exist");
    }
    const std::uintmax_t size = std::filesystem::file_size(ppdPath, ec);
    if (ec || size > kMaxPPDBytes) {
        return fail(kDamagedDataErr, "is larger than " + std::to_string(kMaxPPDBytes) + " bytes");
    }
    // Counted before libcups reads them: it grows its arrays a choice at a
    // time, which some allocators make quadratic.
    if (const int lines = ChoiceLines(ppdPath); lines > kMaxPPDChoices) {
        return fail(kDamagedDataErr, "has " + std::to_string(lines) + " choices; at most " +
                                         std::to_string(kMaxPPDChoices) + " are supported");
    }
    common::PPDHandle ppd(ppdOpenFile(ppdPath.c_str()));
    if (!ppd) {
        return fail(kDamagedDataErr, std::string("cannot be read: ") + ppdErrorString(ppdLastError(nullptr)));
    }
    int choices = 0;
    for (ppd_option_t* option = ppdFirstOption(ppd.get()); option != nullptr; option = ppdNextOption(ppd.get())) {
        choices += option->num_choices;
    }
    if (choices > kMaxPPDChoices) {
        return fail(kDamagedDataErr, "has " + std::to_string(choices) + " choices; at most " +
                                         std::to_string(kMaxPPDChoices) + " are supported");
    }
    ppdMarkDefaults(ppd.get());
    if (status != nullptr) {
        *status = noErr;
    }
    return std::make_unique<HostPDECallback>(std::move(ppd), std::move(queue));
}

bool HostPDECallback::willChangePPDOptionKeyValue(const char* option, const char* ppdChoice)
{
    if (!ppd_ || option == nullptr || ppdChoice == nullptr) {
        return false;
    }
    ppd_option_t* opt = ppdFindOption(ppd_.get(), option);
    if (opt == nullptr) {
        return false;
    }
    // libcups reads every "Custom." value as the custom choice, so such a
    // value is judged by the custom rules alone.
    const bool acceptable =
        IsCustomValue(ppdChoice) ? AcceptsCustomChoice(ppd_.get(), option, ppdChoice) : HasChoice(opt, ppdChoice);
    if (!acceptable) {
        return false;
    }
    ppdMarkOption(ppd_.get(), option, ppdChoice);
    const bool pageSize = std::strcmp(opt->keyword, "PageSize") == 0;
    if (IsCustomValue(ppdChoice)) {
        customValues_[opt->keyword] = ppdChoice;
    } else {
        customValues_.erase(opt->keyword);
    }
    if (pageSize && IsCustomValue(ppdChoice)) {
        // Where the panels read a custom paper's size (Custom.WxH, points).
        PMPrintSettingsSetValue(&settings_, "com.apple.print.PageToPaperMappingMediaName", ppdChoice, false);
    }
    if (pageSize || std::strcmp(opt->keyword, "PageRegion") == 0) {
        pageFormat_ = PMPageFormat::FromPPD(ppd_.get());
    }
    return true;
}

std::string HostPDECallback::CustomValue(const std::string& option) const
{
    const auto found = customValues_.find(option);
    if (found == customValues_.end()) {
        return {};
    }
    const ppd_choice_t* marked = ppdFindMarkedChoice(ppd_.get(), option.c_str());
    return marked && std::strcmp(marked->choice, "Custom") == 0 ? found->second : std::string();
}

}  // namespace zlk::platform
