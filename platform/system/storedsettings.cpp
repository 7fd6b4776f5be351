#include "platform/system/storedsettings.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

#include "common/fd.h"
#include "common/utf8.h"
#include "platform/system/fileutil.h"

namespace zlk::platform {

namespace {

using nlohmann::json;

constexpr int kFormat = 1;
constexpr std::size_t kMaxStem = 160;
// Far beyond any real ticket; a bigger file is not ours.
constexpr std::size_t kMaxFileBytes = 16u << 20;

const char kHex[] = "0123456789ABCDEF";

bool KeepsItsByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '+' || c == '@';
}

std::uint64_t Fnv1a(std::string_view text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string HexOf(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

bool BytesOfHex(std::string_view hex, std::string& out)
{
    if (hex.size() % 2 != 0) {
        return false;
    }
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = digit(hex[i]);
        int low = digit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out += static_cast<char>((high << 4) | low);
    }
    return true;
}

// Values are text, but nothing stops a writer from storing other bytes;
// those are kept as hexadecimal so that nothing is lost.
json EntryToJson(const PMPrintSettings::Entry& entry)
{
    json out = json::object();
    if (common::IsValidUtf8(entry.value)) {
        out["value"] = entry.value;
    } else {
        out["hex"] = HexOf(entry.value);
    }
    out["locked"] = entry.locked;
    return out;
}

// The settings of a parsed file, or an explanation of what is wrong.
bool SettingsFromJson(const json& document, PMPrintSettings& settings, std::string& why)
{
    if (!document.is_object()) {
        why = "not a JSON object";
        return false;
    }
    auto format = document.find("format");
    if (format == document.end() || !format->is_number_integer() || format->get<long long>() != kFormat) {
        why = "missing or unknown \"format\"";
        return false;
    }
    auto entries = document.find("entries");
    if (entries == document.end() || !entries->is_object()) {
        why = "missing \"entries\" object";
        return false;
    }
    for (const auto& [key, entry] : entries->items()) {
        if (key.empty() || !entry.is_object()) {
            why = "entry \"" + key + "\" is not an object";
            return false;
        }
        auto locked = entry.find("locked");
        auto value = entry.find("value");
        auto hex = entry.find("hex");
        if (locked == entry.end() || !locked->is_boolean()) {
            why = "entry \"" + key + "\" has no \"locked\" flag";
            return false;
        }
        std::string text;
        if (value != entry.end() && value->is_string() && hex == entry.end()) {
            text = value->get<std::string>();
        } else if (hex != entry.end() && hex->is_string() && value == entry.end()) {
            if (!BytesOfHex(hex->get<std::string>(), text)) {
                why = "entry \"" + key + "\" has a bad \"hex\" value";
                return false;
            }
        } else {
            why = "entry \"" + key + "\" has no text value";
            return false;
        }
        settings.Set(key, text, locked->get<bool>());
    }
    return true;
}

std::string UtcStamp()
{
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// Moves the damaged file aside under a name not yet taken. Answers the new
// path, empty on failure.
std::filesystem::path MoveAside(const std::filesystem::path& path)
{
    const std::string base = path.string() + ".damaged-" + UtcStamp();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string target = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            return target;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return {};
        }
        // A file system without no-replace renames: link, then unlink.
        if (::link(path.c_str(), target.c_str()) == 0) {
            ::unlink(path.c_str());
            return target;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

// Creates the missing folders of path, each with mode 0700.
bool MakeFolders(const std::filesystem::path& path, std::string& message)
{
    std::filesystem::path partial;
    for (const auto& part : path) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            message = detail::ErrnoMessage("cannot create " + partial.string());
            return false;
        }
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        message = path.string() + " is not a folder";
        return false;
    }
    return true;
}

StoreResult Failure(OSStatus status, std::string message)
{
    StoreResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::filesystem::path DefaultPrintSettingsFolder(std::string_view xdgConfigHome, std::string_view home)
{
    std::filesystem::path config;
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/') {
        config = xdgConfigHome;
    } else {
        std::string homeFolder(home);
        if (homeFolder.empty()) {
            if (auto entry = detail::LookUpPasswordEntry(::getuid())) {
                homeFolder = entry->home;
            }
        }
        config = std::filesystem::path(homeFolder) / ".config";
    }
    return config / "zelko" / "printsettings";
}

std::filesystem::path DefaultPrintSettingsFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    return DefaultPrintSettingsFolder(xdg != nullptr ? xdg : "", home != nullptr ? home : "");
}

std::string QueueFileStem(std::string_view queue)
{
    std::string stem;
    for (char c : queue) {
        const auto b = static_cast<unsigned char>(c);
        if (KeepsItsByte(b)) {
            stem += c;
        } else {
            stem += '%';
            stem += kHex[b >> 4];
            stem += kHex[b & 15];
        }
    }
    if (stem.size() > kMaxStem) {
        std::uint64_t hash = Fnv1a(queue);
        std::string suffix = "~";
        for (int shift = 60; shift >= 0; shift -= 4) {
            suffix += kHex[(hash >> shift) & 15];
        }
        std::size_t keep = kMaxStem - suffix.size();
        // Never cut through a %XX escape.
        std::size_t percent = stem.rfind('%', keep - 1);
        if (percent != std::string::npos && percent + 3 > keep) {
            keep = percent;
        }
        stem.resize(keep);
        stem += suffix;
    }
    return stem;
}

PrintSettingsStore::PrintSettingsStore(std::filesystem::path folder, BeforeRename beforeRename)
    : folder_(std::move(folder)),
      beforeRename_(std::move(beforeRename))
{}

std::filesystem::path PrintSettingsStore::PathFor(std::string_view queue) const
{
    std::string stem = QueueFileStem(queue);
    if (stem.empty()) {
        return {};
    }
    return folder_ / (stem + ".json");
}

StoreResult PrintSettingsStore::Load(std::string_view queue, PMPrintSettings& settings) const
{
    settings.Clear();
    try {
        const std::filesystem::path path = PathFor(queue);
        if (path.empty()) {
            return Failure(paramErr, "empty queue name");
        }
        std::string text;
        std::string message;
        OSStatus status = detail::ReadWholeFile(path, kMaxFileBytes, text, message);
        if (status == fnfErr) {
            return Failure(fnfErr, {});
        }
        std::string why = message;
        if (status == noErr) {
            json document = json::parse(text, nullptr, false);
            if (document.is_discarded()) {
                why = "not JSON";
            } else {
                PMPrintSettings loaded;
                if (SettingsFromJson(document, loaded, why)) {
                    settings = std::move(loaded);
                    return {};
                }
            }
        } else if (status != kDamagedDataErr) {
            return Failure(status, message);
        }
        StoreResult result = Failure(kDamagedDataErr, {});
        result.movedAside = MoveAside(path);
        result.message = "stored print settings " + path.string() + " are damaged (" + why + ")";
        result.message +=
            result.movedAside.empty() ? "; could not move them aside" : "; kept as " + result.movedAside.string();
        return result;
    } catch (const std::bad_alloc&) {
        settings.Clear();
        return Failure(memFullErr, "out of memory");
    } catch (const std::exception& e) {
        settings.Clear();
        return Failure(ioErr, e.what());
    }
}

StoreResult PrintSettingsStore::Save(std::string_view queue, const PMPrintSettings& settings) const
{
    try {
        const std::filesystem::path path = PathFor(queue);
        if (path.empty()) {
            return Failure(paramErr, "empty queue name");
        }
        json entries = json::object();
        for (const auto& [key, entry] : settings.entries()) {
            if (!common::IsValidUtf8(key)) {
                return Failure(paramErr, "a print settings key is not UTF-8 text");
            }
            entries[key] = EntryToJson(entry);
        }
        json document = {{"format", kFormat}, {"entries", std::move(entries)}};
        const std::string text = document.dump(2) + "\n";

        std::string message;
        if (!MakeFolders(folder_, message)) {
            return Failure(ioErr, message);
        }
        std::string pattern = path.string() + ".tmp-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        common::UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
        if (!fd) {
            return Failure(ioErr, detail::ErrnoMessage("cannot create a file in " + folder_.string()));
        }
        common::TempFile temporary(name.data());
        if (::fchmod(fd.get(), 0600) != 0 || !common::WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0) {
            return Failure(ioErr, detail::ErrnoMessage("cannot write " + temporary.path()));
        }
        if (!fd.close()) {
            return Failure(ioErr, detail::ErrnoMessage("cannot write " + temporary.path()));
        }
        if (beforeRename_ && !beforeRename_(temporary.path())) {
            return Failure(ioErr, "write of " + path.string() + " abandoned");
        }
        if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
            return Failure(ioErr, detail::ErrnoMessage("cannot replace " + path.string()));
        }
        temporary.Release();
        // The rename itself must reach the disk too.
        common::UniqueFd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder) {
            ::fsync(folder.get());
        }
        return {};
    } catch (const std::bad_alloc&) {
        return Failure(memFullErr, "out of memory");
    } catch (const std::exception& e) {
        return Failure(ioErr, e.what());
    }
}

}  // namespace zlk::platform
