// The print settings ticket: string values under string keys, each with a
// lock flag. The host owns one per dialog and lends it to the panels; the
// spooler receives it as the job's option string.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/printing/status.h"

namespace zlk::platform {

class PMPrintSettings {
public:
    struct Entry {
        std::string value;
        // The platform's lock bit: recorded and reported, never enforced
        // here. Writers decide whether a locked entry may change.
        bool locked = false;

        bool operator==(const Entry&) const = default;
    };
    using Entries = std::map<std::string, Entry, std::less<>>;

    // All entries, ordered by key.
    const Entries& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    void Set(std::string_view key, std::string_view value, bool locked);
    const Entry* Find(std::string_view key) const;
    bool Remove(std::string_view key);
    void Clear() { entries_.clear(); }

    bool operator==(const PMPrintSettings&) const = default;

private:
    Entries entries_;
};

// Stores value under key with the lock flag, replacing an earlier entry
// (value and flag). 0, or paramErr when an argument is null or the key is
// empty.
OSStatus PMPrintSettingsSetValue(PMPrintSettings* settings, const char* key, const char* value, bool locked);

// Copies the value stored under key. 0; kPMKeyNotFound when the key has no
// value (value untouched); paramErr for null arguments.
OSStatus PMPrintSettingsGetValue(const PMPrintSettings* settings, const char* key, std::string* value);

// The lock flag of the entry under key; the same statuses as GetValue.
OSStatus PMPrintSettingsGetLocked(const PMPrintSettings* settings, const char* key, bool* locked);

// Removes the entry under key. 0; kPMKeyNotFound; paramErr.
OSStatus PMPrintSettingsRemoveValue(PMPrintSettings* settings, const char* key);

// Writes every entry as the spooler's job option string: name=value pairs
// separated by single spaces, in key order. A value holding blanks, quotes,
// backslashes, commas or braces, and an empty value, is written in double
// quotes with " and \ escaped, which is how cupsParseOptions reads it back.
// Lock flags do not travel. paramErr (out untouched) when a key cannot be an
// option name: empty, or holding a blank or "=". Note that the spooler
// compares option names without regard to case, so keys that differ only in
// case meet as one option.
OSStatus PMPrintSettingsToOptions(const PMPrintSettings* settings, std::string* options);

// Reads a job option string with cupsParseOptions and stores every option
// unlocked, replacing entries of the same key. paramErr for null arguments.
OSStatus PMPrintSettingsFromOptions(PMPrintSettings* settings, const char* options);

// One option value in the form PMPrintSettingsToOptions writes.
std::string EncodeOptionValue(std::string_view value);

}  // namespace zlk::platform
