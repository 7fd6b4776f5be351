#include "platform/printing/printsettings.h"

#include <cups/cups.h>

#include <memory>

namespace zlk::platform {

namespace {

// The blanks that end a name or an unquoted value for cupsParseOptions.
bool IsOptionSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool NeedsQuotes(std::string_view value)
{
    if (value.empty()) {
        return true;
    }
    for (char c : value) {
        if (IsOptionSpace(c) || c == '"' || c == '\'' || c == '\\' || c == ',' || c == '{' || c == '}') {
            return true;
        }
    }
    return false;
}

bool IsOptionName(std::string_view key)
{
    if (key.empty()) {
        return false;
    }
    for (char c : key) {
        if (IsOptionSpace(c) || c == '=') {
            return false;
        }
    }
    return true;
}

struct OptionsDeleter {
    int count = 0;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

}  // namespace

void PMPrintSettings::Set(std::string_view key, std::string_view value, bool locked)
{
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        entries_.emplace(std::string(key), Entry{std::string(value), locked});
    } else {
        it->second.value.assign(value);
        it->second.locked = locked;
    }
}

const PMPrintSettings::Entry* PMPrintSettings::Find(std::string_view key) const
{
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

bool PMPrintSettings::Remove(std::string_view key)
{
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    return true;
}

OSStatus PMPrintSettingsSetValue(PMPrintSettings* settings, const char* key, const char* value, bool locked)
{
    if (settings == nullptr || key == nullptr || value == nullptr || *key == '\0') {
        return paramErr;
    }
    settings->Set(key, value, locked);
    return noErr;
}

namespace {

// Copies one field of the entry under key to out; out is left alone on an error.
template <class T>
OSStatus GetEntryField(const PMPrintSettings* settings, const char* key, T PMPrintSettings::Entry::*field, T* out)
{
    if (settings == nullptr || key == nullptr || out == nullptr) {
        return paramErr;
    }
    const PMPrintSettings::Entry* entry = settings->Find(key);
    if (entry == nullptr) {
        return kPMKeyNotFound;
    }
    *out = entry->*field;
    return noErr;
}

}  // namespace

OSStatus PMPrintSettingsGetValue(const PMPrintSettings* settings, const char* key, std::string* value)
{
    return GetEntryField(settings, key, &PMPrintSettings::Entry::value, value);
}

OSStatus PMPrintSettingsGetLocked(const PMPrintSettings* settings, const char* key, bool* locked)
{
    return GetEntryField(settings, key, &PMPrintSettings::Entry::locked, locked);
}

OSStatus PMPrintSettingsRemoveValue(PMPrintSettings* settings, const char* key)
{
    if (settings == nullptr || key == nullptr) {
        return paramErr;
    }
    return settings->Remove(key) ? noErr : kPMKeyNotFound;
}

std::string EncodeOptionValue(std::string_view value)
{
    if (!NeedsQuotes(value)) {
        return std::string(value);
    }
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    for (char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

OSStatus PMPrintSettingsToOptions(const PMPrintSettings* settings, std::string* options)
{
    if (settings == nullptr || options == nullptr) {
        return paramErr;
    }
    std::string out;
    for (const auto& [key, entry] : settings->entries()) {
        if (!IsOptionName(key)) {
            return paramErr;
        }
        if (!out.empty()) {
            out += ' ';
        }
        out += key;
        out += '=';
        out += EncodeOptionValue(entry.value);
    }
    *options = std::move(out);
    return noErr;
}

OSStatus PMPrintSettingsFromOptions(PMPrintSettings* settings, const char* options)
{
    if (settings == nullptr || options == nullptr) {
        return paramErr;
    }
    cups_option_t* parsed = nullptr;
    int count = cupsParseOptions(options, 0, &parsed);
    std::unique_ptr<cups_option_t, OptionsDeleter> owner(parsed, OptionsDeleter{count});
    for (int i = 0; i < count; ++i) {
        settings->Set(parsed[i].name, parsed[i].value, false);
    }
    return noErr;
}

}  // namespace zlk::platform
