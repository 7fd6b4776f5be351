#include "platform/system/bundle.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "common/jsonnesting.h"
#include "platform/system/fileutil.h"

namespace zlk::platform {

namespace {

using nlohmann::json;

// Bundle data are small; anything bigger is not ours.
constexpr std::size_t kMaxDataFile = 8u << 20;

// Layouts are a few kilobytes.
constexpr std::size_t kMaxLayoutFile = 1u << 20;
// Ours nest six deep; the JSON library recurses once per level.
constexpr std::size_t kMaxNesting = 64;

// Reads a JSON object. noErr, fnfErr, ioErr or kDamagedDataErr.
OSStatus ReadObject(const std::filesystem::path& path, json& out, std::string& message,
                    std::size_t maxBytes = kMaxDataFile)
{
    std::string text;
    OSStatus status = detail::ReadWholeFile(path, maxBytes, text, message, true);
    if (status != noErr) {
        return status;
    }
    if (common::JsonNestingDepth(text) > kMaxNesting) {
        message = path.string() + " is nested deeper than " + std::to_string(kMaxNesting) + " levels";
        return kDamagedDataErr;
    }
    json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        message = path.string() + " is not a JSON object";
        return kDamagedDataErr;
    }
    out = std::move(parsed);
    return noErr;
}

// A relative path that stays below its base.
bool IsContained(const std::filesystem::path& relative)
{
    if (relative.empty() || relative.is_absolute() || relative.has_root_name()) {
        return false;
    }
    for (const auto& part : relative) {
        if (part == "..") {
            return false;
        }
    }
    return true;
}

}  // namespace

std::shared_ptr<const Bundle> Bundle::Open(const std::filesystem::path& folder, OSStatus* status, std::string* message)
{
    OSStatus result = noErr;
    std::string why;
    std::shared_ptr<Bundle> bundle;
    try {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) {
            result = fnfErr;
            why = folder.string() + " is not a bundle folder";
        } else {
            bundle = std::make_shared<Bundle>(Key{});
            bundle->folder_ = folder;
            result = ReadObject(folder / "Info.json", bundle->info_, why);
            if (result == fnfErr) {
                why = folder.string() + " has no Info.json";
            }
        }
        if (result == noErr && !std::filesystem::is_directory(folder / "Resources", ec)) {
            // Its panels have neither text nor layout without it.
            result = fnfErr;
            why = folder.string() + " has no Resources folder";
        }
        if (result == noErr) {
            const std::filesystem::path resources = folder / "Resources";
            std::vector<std::filesystem::path> files;
            for (std::filesystem::directory_iterator it(resources, ec), end; !ec && it != end; it.increment(ec)) {
                const std::string name = it->path().filename().string();
                if (name.starts_with(kDefaultStringTable) && name.ends_with(".json")) {
                    files.push_back(it->path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                const std::string table = file.stem().string();
                json object;
                std::string ignored;
                if (ReadObject(file, object, ignored) != noErr) {
                    bundle->damagedTables_.push_back(table);
                    continue;
                }
                auto& strings = bundle->tables_[table];
                for (const auto& [key, value] : object.items()) {
                    if (value.is_string()) {
                        strings.emplace(key, value.get<std::string>());
                    }
                }
            }
        }
    } catch (const std::bad_alloc&) {
        result = memFullErr;
        why = "out of memory";
    } catch (const std::exception& e) {
        result = ioErr;
        why = e.what();
    }
    if (status != nullptr) {
        *status = result;
    }
    if (message != nullptr) {
        *message = result == noErr ? std::string() : why;
    }
    if (result != noErr) {
        return nullptr;
    }
    return bundle;
}

std::string Bundle::InfoString(std::string_view key) const
{
    auto it = info_.find(key);
    return it != info_.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string Bundle::LocalizedString(std::string_view key, std::string_view table, std::string_view fallback) const
{
    auto strings = tables_.find(table);
    if (strings != tables_.end()) {
        auto text = strings->second.find(key);
        if (text != strings->second.end()) {
            return text->second;
        }
    }
    return std::string(fallback);
}

bool Bundle::HasStringTable(std::string_view table) const { return tables_.find(table) != tables_.end(); }

std::filesystem::path Bundle::ResourcePath(std::string_view relative) const
{
    std::filesystem::path path(relative);
    return IsContained(path) ? folder_ / "Resources" / path : std::filesystem::path();
}

bool Bundle::ResourceExists(std::string_view relative) const
{
    std::filesystem::path path = ResourcePath(relative);
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::filesystem::path Bundle::HelpPagePath(std::string_view page) const
{
    std::filesystem::path path(page);
    return IsContained(path) ? HelpFolder() / path : std::filesystem::path();
}

bool Bundle::HelpPageExists(std::string_view page) const
{
    std::filesystem::path path = HelpPagePath(page);
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::filesystem::path Bundle::LocalizedHelpPagePath(std::string_view page, std::string_view table) const
{
    const std::filesystem::path english = HelpPagePath(page);
    const std::string language = LocalizedString(kHelpLanguageKey, table, "");
    // A single folder name: the table must not lead out of the help book.
    if (english.empty() || language.empty() || language.find('/') != std::string::npos || !IsContained(language)) {
        return english;
    }
    const std::filesystem::path translated = HelpFolder() / language / page;
    std::error_code ec;
    return std::filesystem::is_regular_file(translated, ec) ? translated : english;
}

OSStatus Bundle::LoadLayout(std::string_view name, json& layout, std::string* message) const
{
    std::string why;
    OSStatus status = noErr;
    try {
        std::filesystem::path file(std::string(name) + ".json");
        if (name.empty() || name.find('/') != std::string_view::npos || !IsContained(file)) {
            status = paramErr;
            why = "\"" + std::string(name) + "\" is not a layout name";
        } else {
            const std::filesystem::path path = folder_ / "Resources" / "Layouts" / file;
            status = ReadObject(path, layout, why, kMaxLayoutFile);
            if (status == fnfErr) {
                why = path.string() + " is missing";
            }
        }
    } catch (const std::bad_alloc&) {
        status = memFullErr;
        why = "out of memory";
    } catch (const std::exception& e) {
        status = ioErr;
        why = e.what();
    }
    if (message != nullptr) {
        *message = std::move(why);
    }
    return status;
}

}  // namespace zlk::platform
