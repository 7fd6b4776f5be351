// A plug-in bundle: a folder holding
//   Info.json                       the information dictionary (a JSON object)
//   Resources/Localizable*.json     string tables, key to English text
//   Resources/Help/*.htm            the help book, in English
//   Resources/Help/<lang>/*.htm     its pages in another language (ja)
//   Resources/Layouts/*.json        window and panel layouts
// A resource exists when its file exists.
#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/printing/status.h"

namespace zlk::platform {

// What a lookup gives for a key that no table has.
inline constexpr char kNoTranslation[] = "no translation";
inline constexpr char kDefaultStringTable[] = "Localizable";
// The string table entry naming the language of the help pages that go with
// the table's texts ("en", "ja").
inline constexpr char kHelpLanguageKey[] = "Help Language";

class Bundle {
public:
    // Reads the information dictionary and every string table. Null with
    // fnfErr when the folder or its Info.json is missing, kDamagedDataErr
    // when Info.json is not a JSON object, ioErr when it cannot be read;
    // message (if given) says why. A string table that is not an object of
    // texts is left out and listed in damagedTables().
    static std::shared_ptr<const Bundle> Open(const std::filesystem::path& folder, OSStatus* status,
                                              std::string* message = nullptr);

    const std::filesystem::path& folder() const { return folder_; }
    const nlohmann::json& infoDictionary() const { return info_; }
    // A text entry of the information dictionary; empty when missing or
    // not text.
    std::string InfoString(std::string_view key) const;
    // "CFBundleVersion".
    std::string version() const { return InfoString("CFBundleVersion"); }

    // The text for key in the table (the file Resources/<table>.json);
    // fallback when the table or the key is missing.
    std::string LocalizedString(std::string_view key, std::string_view table = kDefaultStringTable,
                                std::string_view fallback = kNoTranslation) const;
    bool HasStringTable(std::string_view table) const;
    const std::vector<std::string>& damagedTables() const { return damagedTables_; }

    // Resources/<relative>; empty for a path that is absolute, empty or
    // climbs out with "..".
    std::filesystem::path ResourcePath(std::string_view relative) const;
    bool ResourceExists(std::string_view relative) const;

    std::filesystem::path HelpFolder() const { return folder_ / "Resources" / "Help"; }
    // Resources/Help/<page>, with the same rules as ResourcePath.
    std::filesystem::path HelpPagePath(std::string_view page) const;
    bool HelpPageExists(std::string_view page) const;
    // The page in the language of the string table's texts:
    // Resources/Help/<language>/<page>, where the table names the language;
    // the English page when it names none or the page has no translation.
    std::filesystem::path LocalizedHelpPagePath(std::string_view page, std::string_view table) const;

    // Resources/Layouts/<name>.json as a JSON object. fnfErr when missing,
    // kDamagedDataErr when not a JSON object, ioErr when unreadable,
    // paramErr for an unusable name; message, when given, says what is wrong.
    OSStatus LoadLayout(std::string_view name, nlohmann::json& layout, std::string* message = nullptr) const;

private:
    // Only Open makes bundles.
    struct Key {
        explicit Key() = default;
    };

public:
    explicit Bundle(Key) {}

private:
    std::filesystem::path folder_;
    nlohmann::json info_ = nlohmann::json::object();
    std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> tables_;
    std::vector<std::string> damagedTables_;
};

}  // namespace zlk::platform
