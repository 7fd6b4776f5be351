#include "ppd/ticket.h"

#include <cstring>
#include <string_view>

#include "common/utf8.h"
#include "ppd/textcodec.h"

namespace zlk::ppd {

namespace {

constexpr std::string_view kFullwidthBrokenBar = "\xEF\xBF\xA4";  // U+FFE4

}  // namespace

OSStatus SetValueToSettingsWithTicketKeyAndLock(const char* value, platform::PMPrintSettings* settings, const char* key,
                                                bool locked)
{
    if (value == nullptr || settings == nullptr || key == nullptr) {
        return platform::paramErr;
    }
    const std::string_view source(value);
    if (!common::IsValidUtf8(source)) {
        return platform::memFullErr;
    }
    std::string text;
    text.reserve(source.size());
    for (std::size_t at = 0; at < source.size();) {
        if (source.substr(at).starts_with(kFullwidthBrokenBar)) {
            text += '|';
            at += kFullwidthBrokenBar.size();
        } else {
            text += source[at++];
        }
    }
    return platform::PMPrintSettingsSetValue(settings, key, text.c_str(), locked);
}

bool SetCStringToTicket(platform::PMPrintSettings* settings, const char* value, const char* key, bool locked)
{
    if (value == nullptr) {
        return false;
    }
    constexpr std::size_t kBufferSize = 256;
    std::string_view text(value);
    const char* stored = (text.size() < kBufferSize && common::IsValidUtf8(text)) ? value : "";
    return SetValueToSettingsWithTicketKeyAndLock(stored, settings, key, locked) == platform::noErr;
}

int SetPrinterString(const platform::PMPrintSession* session, std::string* out)
{
    if (out == nullptr) {
        return 1;
    }
    const platform::PMPrinter* printer = nullptr;
    if (platform::PMSessionGetCurrentPrinter(session, &printer) != platform::noErr || printer == nullptr) {
        return 1;
    }
    std::string id;
    if (platform::PMPrinterGetID(printer, &id) != platform::noErr) {
        return 1;
    }
    out->append(id);
    return 0;
}

bool CreateKeyWithCurrentPrinter(const char* key, const char* prefix, std::string* out)
{
    if (key == nullptr || prefix == nullptr || out == nullptr) {
        return false;
    }
    out->append(prefix);
    out->append(key);
    return true;
}

}  // namespace zlk::ppd
