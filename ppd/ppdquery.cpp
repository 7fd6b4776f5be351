#include "ppd/ppdquery.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/utf8.h"

namespace zlk::ppd {

namespace {

// The digits among the first count bytes, concatenated and read as one
// decimal number (none → 0); saturates instead of overflowing.
int DigitsValue(std::string_view text, std::size_t count)
{
    long long value = 0;
    for (std::size_t i = 0; i < text.size() && i < count; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            if (value > INT_MAX) {
                value = INT_MAX;
            }
        }
    }
    return static_cast<int>(value);
}

int ChoiceIndex(const ppd_option_t* option, const char* keyword)
{
    for (int i = 0; i < option->num_choices; ++i) {
        if (std::strcmp(option->choices[i].choice, keyword) == 0) {
            return i;
        }
    }
    return -1;
}

}  // namespace

ppd_attr_t* ppdFindAttr_ALT(ppd_file_t* ppd, const char* name, const char* /*spec*/)
{
    if (ppd == nullptr || name == nullptr || ppd->num_attrs <= 0 || ppd->sorted_attrs == nullptr) {
        return nullptr;
    }
    const std::size_t length = std::strlen(name);
    for (auto* attr = static_cast<ppd_attr_t*>(cupsArrayFirst(ppd->sorted_attrs)); attr != nullptr;
         attr = static_cast<ppd_attr_t*>(cupsArrayNext(ppd->sorted_attrs))) {
        if (std::strncmp(attr->name, name, length) == 0) {
            return attr;
        }
    }
    return nullptr;
}

bool CheckPPDKeyIsExist(ppd_file_t* ppd, const char* keyword)
{
    return ppd != nullptr && keyword != nullptr && ppdFindOption(ppd, keyword) != nullptr;
}

bool CDFKeyExist(ppd_file_t* ppd, const char* key)
{
    if (key == nullptr) {
        return false;
    }
    return ppdFindAttr_ALT(ppd, Utf8Prefix(key, 19).c_str()) != nullptr;
}

bool CheckIfPPDKeywordSupported(ppd_file_t* ppd, const char* attrName, const char* prefix)
{
    if (prefix == nullptr) {
        return false;
    }
    const ppd_attr_t* attr = ppdFindAttr_ALT(ppd, attrName);
    return attr != nullptr && attr->value != nullptr && std::string_view(attr->value).starts_with(prefix);
}

void GetCFStringEncodingFromPPD(ppd_file_t* ppd, TextEncoding* encoding)
{
    if (encoding == nullptr) {
        return;
    }
    *encoding = kTextEncodingMacRoman;
    if (ppd == nullptr) {
        return;
    }
    const ppd_attr_t* attr = ppdFindAttr(ppd, "LanguageEncoding", nullptr);
    if (attr == nullptr || attr->value == nullptr) {
        return;
    }
    const std::string_view value(attr->value);
    if (value == "ISOLatin1") {
        *encoding = kTextEncodingISOLatin1;
    } else if (value == "WindowsANSI") {
        *encoding = kTextEncodingWindowsLatin1;
    } else if (value == "JIS83-RKSJ") {
        *encoding = kTextEncodingMacJapanese;
    } else if (value == "UTF-8" || value == "UTF8") {
        *encoding = kTextEncodingUTF8;
    }
}

std::optional<std::string> PPDTextToUTF8(ppd_file_t* ppd, const char* text)
{
    if (text == nullptr) {
        return std::nullopt;
    }
    if (common::IsValidUtf8(text)) {
        return std::string(text);
    }
    TextEncoding encoding = kTextEncodingMacRoman;
    GetCFStringEncodingFromPPD(ppd, &encoding);
    return ConvertToUtf8(text, encoding);
}

int GetUIDefaultFromPPD(ppd_file_t* ppd, const char* keyword, std::optional<std::string>& value)
{
    value.reset();
    if (ppd != nullptr && keyword != nullptr) {
        if (const ppd_option_t* option = ppdFindOption(ppd, keyword)) {
            value = std::string(option->defchoice);
        }
    }
    return 0;
}

int GetUITitleFromPPD(ppd_file_t* ppd, const char* keyword, std::optional<std::string>& title)
{
    title.reset();
    if (ppd != nullptr && keyword != nullptr) {
        if (const ppd_option_t* option = ppdFindOption(ppd, keyword)) {
            title = PPDTextToUTF8(ppd, option->text);
        }
    }
    return 0;
}

int GetValueFromPPD(ppd_file_t* ppd, const char* keyword, std::span<const std::string_view> strings)
{
    if (ppd == nullptr || keyword == nullptr) {
        return -1;
    }
    const ppd_option_t* option = ppdFindOption(ppd, keyword);
    if (option == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (strings[i] == option->defchoice) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int GetIndexOfMarkedOptionWithKey(ppd_option_t* option, ppd_file_t* ppd, const char* keyword)
{
    if (option == nullptr) {
        return -1;
    }
    if (ppd != nullptr && keyword != nullptr) {
        if (const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, keyword)) {
            if (int index = ChoiceIndex(option, marked->choice); index >= 0) {
                return index;
            }
        }
    }
    return ChoiceIndex(option, option->defchoice);
}

std::optional<std::vector<PDEChoice>> ArrayFromPPDOption(ppd_option_t* option)
{
    if (option == nullptr) {
        return std::nullopt;
    }
    std::vector<PDEChoice> choices;
    choices.reserve(static_cast<std::size_t>(std::max(option->num_choices, 0)));
    for (int i = 0; i < option->num_choices; ++i) {
        choices.emplace_back(&option->choices[i]);
    }
    return choices;
}

void FixPPDKeywordAccordingToType(ppd_file_t* /*ppd*/, std::string_view keyword, std::string& out)
{
    out.assign(keyword);
}

int GetPWMiniIntValueFromPPD(ppd_file_t* ppd, const char* keyword)
{
    if (ppd == nullptr || keyword == nullptr) {
        return -1;
    }
    const ppd_option_t* option = ppdFindOption(ppd, keyword);
    if (option == nullptr) {
        return -1;
    }
    return DigitsValue(option->defchoice, 255);
}

int GetAttrPWMiniIntValueFromPPD(ppd_file_t* ppd, const char* attrName)
{
    const ppd_attr_t* attr = ppdFindAttr_ALT(ppd, attrName);
    if (attr == nullptr || attr->value == nullptr || attr->value[0] == '\0') {
        return -1;
    }
    // At each position try a signed number (blanks before it allowed, as
    // the C library reads numbers); otherwise move one byte on.
    for (const char* p = attr->value; *p != '\0'; ++p) {
        char* end = nullptr;
        const long value = std::strtol(p, &end, 10);
        if (end != p) {
            return static_cast<int>(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
        }
    }
    return -1;
}

int GetMBMaxNumberFromPPD(ppd_file_t* ppd, const char* attrName)
{
    const ppd_attr_t* attr = ppdFindAttr_ALT(ppd, attrName);
    if (attr == nullptr || attr->value == nullptr) {
        return 0;
    }
    // The count is read from the value in the PPD's encoding, in a 256-byte
    // buffer: a value that does not fit or convert leaves it empty. A value
    // that is not UTF-8 is still in the file's encoding, as libcups leaves
    // attribute values unconverted.
    std::optional<std::string> encoded;
    if (common::IsValidUtf8(attr->value)) {
        TextEncoding encoding = kTextEncodingMacRoman;
        GetCFStringEncodingFromPPD(ppd, &encoding);
        encoded = ConvertFromUtf8(attr->value, encoding);
    } else {
        encoded = std::string(attr->value);
    }
    if (!encoded || encoded->size() > 255) {
        return 0;
    }
    return DigitsValue(*encoded, 3);
}

}  // namespace zlk::ppd
