#include "ppd/textutil.h"

#include <algorithm>
#include <cstdlib>

#include "ppd/textcodec.h"

namespace zlk::ppd {

std::string itoa(int value, std::size_t size)
{
    std::string digits;
    // Filled from the right like the buffer it stands for, so only the
    // lowest size - 1 digits fit.
    while (value > 0 && size > 1 && digits.size() < size - 1) {
        digits.insert(digits.begin(), static_cast<char>('0' + value % 10));
        value /= 10;
    }
    return digits;
}

void numstrtochar(std::string& text)
{
    if (text.empty() || text[0] != '/') {
        return;
    }
    std::string bytes;
    std::size_t in = 0;
    while (in < text.size() && text[in] == '/') {
        ++in;
        long number = 0;
        for (; in < text.size() && text[in] >= '0' && text[in] <= '9'; ++in) {
            if (number < 256) {
                number = number * 10 + (text[in] - '0');
            }
        }
        while (in < text.size() && text[in] != '/') {
            ++in;
        }
        if (number <= 0 || number >= 256) {
            break;  // a zero byte ends the text
        }
        bytes += static_cast<char>(number);
    }
    text = std::move(bytes);
}

int GetStringLength(std::u16string_view text)
{
    int width = 0;
    for (char16_t unit : text) {
        width += unit < 0x80 ? 1 : 2;
    }
    return width;
}

int GetUTF8StringLength(const char* utf8)
{
    if (utf8 == nullptr) {
        return 0;
    }
    std::optional<std::u16string> units = Utf8ToUtf16(utf8);
    if (!units) {
        return 0;
    }
    int width = 0;
    for (char16_t unit : *units) {
        width += unit < 0x100 ? 1 : 2;
    }
    return width;
}

int RemoveAllSpaces(std::u16string_view text, std::u16string& out)
{
    out.clear();
    for (char16_t unit : text) {
        if (unit != u' ') {
            out += unit;
        }
    }
    return static_cast<int>(out.size());
}

bool IsAllSpace(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit == u' ' || unit == u'\u3000'; });
}

int GetStringPointCount(std::u16string_view text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), u'.'));
}

int GetStringPointIndex(std::u16string_view text)
{
    const std::size_t at = text.find(u'.');
    return static_cast<int>(at == std::u16string_view::npos ? text.size() : at) + 1;
}

int GetIntegerLength(int value) { return static_cast<int>(std::to_string(value).size()); }

std::string ConvertIntToFloatStr(int tenths, std::size_t size)
{
    std::string text = std::to_string(tenths);
    if (text.size() == 1) {
        text.insert(0, "0.");
    } else {
        text.insert(text.size() - 1, ".");
    }
    if (size == 0) {
        return std::string();
    }
    text.resize(std::min(text.size(), size - 1));
    return text;
}

int numCompare(long long a, long long b) { return a < b ? -1 : a > b ? 1 : 0; }

int numCompare(std::string_view a, std::string_view b)
{
    const std::string left(a), right(b);
    return numCompare(std::atoll(left.c_str()), std::atoll(right.c_str()));
}

std::string NSStringCreateWithCFString(std::string_view text) { return Utf8Prefix(text, 255); }

std::string GetAppResourceName(const char* value, int part)
{
    if (value == nullptr || (part != 0 && part != 1)) {
        return std::string();
    }
    std::string_view view(value);
    const std::size_t dash = view.find('-');
    std::string_view piece;
    if (dash == std::string_view::npos) {
        piece = part == 0 ? view : std::string_view();
    } else {
        piece = part == 0 ? view.substr(0, dash) : view.substr(dash + 1);
    }
    return Utf8Prefix(piece, 254);
}

std::string GetAppFullResourceName(std::string_view name, int mode, std::string_view prefix0, std::string_view prefix1)
{
    std::string full;
    if (mode == 0) {
        full = prefix0;
    } else if (mode == 1) {
        full = prefix1;
    }
    full += name;
    return full;
}

}  // namespace zlk::ppd
