#include "platform/system/identity.h"

#include <grp.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/system/fileutil.h"

namespace zlk::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trim(std::string_view text)
{
    while (!text.empty() && (IsBlank(text.front()) || text.front() == '\n')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// Parses an environment-style file (KEY=VALUE lines with shell quoting)
// and answers the last value given for key.
std::string ShellStyleValue(const std::string& text, std::string_view wanted)
{
    enum class State { PreKey, Comment, Key, PreValue, Value, Single, Double };
    State state = State::PreKey;
    std::string key;
    std::string value;
    std::size_t keep = 0;  // value length without trailing unquoted blanks
    std::string result;

    auto finish = [&] {
        if (Trim(key) == wanted) {
            value.resize(keep);
            result = value;
        }
        key.clear();
        value.clear();
        keep = 0;
        state = State::PreKey;
    };

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (state) {
        case State::PreKey:
            if (c == '#' || c == ';') {
                state = State::Comment;
            } else if (!IsBlank(c) && c != '\n') {
                key.assign(1, c);
                state = State::Key;
            }
            break;
        case State::Comment:
            if (c == '\n') {
                state = State::PreKey;
            }
            break;
        case State::Key:
            if (c == '=') {
                state = State::PreValue;
            } else if (c == '\n') {
                key.clear();
                state = State::PreKey;
            } else {
                key += c;
            }
            break;
        case State::PreValue:
            if (IsBlank(c)) {
                break;
            }
            state = State::Value;
            [[fallthrough]];
        case State::Value:
            if (c == '\n') {
                finish();
            } else if (c == '\\') {
                if (i + 1 < text.size()) {
                    ++i;
                    if (text[i] != '\n') {
                        value += text[i];
                        keep = value.size();
                    }
                }
            } else if (c == '\'') {
                state = State::Single;
            } else if (c == '"') {
                state = State::Double;
            } else {
                value += c;
                if (!IsBlank(c)) {
                    keep = value.size();
                }
            }
            break;
        case State::Single:
            if (c == '\'') {
                state = State::Value;
            } else {
                value += c;
                keep = value.size();
            }
            break;
        case State::Double:
            if (c == '"') {
                state = State::Value;
            } else if (c == '\\' && i + 1 < text.size()) {
                const char next = text[++i];
                if (next == '"' || next == '\\' || next == '`' || next == '$') {
                    value += next;
                } else if (next != '\n') {
                    value += c;
                    value += next;
                }
                keep = value.size();
            } else {
                value += c;
                keep = value.size();
            }
            break;
        }
    }
    if (state == State::Value || state == State::PreValue || state == State::Single || state == State::Double) {
        finish();
    }
    return result;
}

}  // namespace

UserIdentity CurrentUser()
{
    UserIdentity user;
    user.uid = ::getuid();
    user.primaryGroup = ::getgid();
    if (auto entry = detail::LookUpPasswordEntry(user.uid)) {
        user.loginName = entry->name;
        user.primaryGroup = entry->primaryGroup;
    }
    return user;
}

std::string LoginName()
{
    auto entry = detail::LookUpPasswordEntry(::getuid());
    return entry ? entry->name : std::string();
}

std::optional<gid_t> SystemGroupDirectory::GroupId(const std::string& name) const
{
    long hint = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    for (;;) {
        struct group entry {};
        struct group* found = nullptr;
        int error = ::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 22)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr) {
            return std::nullopt;
        }
        return found->gr_gid;
    }
}

std::vector<gid_t> SystemGroupDirectory::GroupsOf(const std::string& loginName, gid_t primaryGroup) const
{
    std::vector<gid_t> groups(32);
    for (int attempt = 0; attempt < 8; ++attempt) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(loginName.c_str(), primaryGroup, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return groups;
        }
        // count now says how many there are.
        groups.resize(static_cast<std::size_t>(std::max(count, static_cast<int>(groups.size()) * 2)));
    }
    return {primaryGroup};
}

std::filesystem::path DefaultCupsFilesConf()
{
    const char* root = std::getenv("CUPS_SERVERROOT");
    return std::filesystem::path(root != nullptr && *root != '\0' ? root : "/etc/cups") / "cups-files.conf";
}

std::vector<std::string> CupsSystemGroups(const std::filesystem::path& cupsFilesConf)
{
    std::vector<std::string> groups;
    std::ifstream in(cupsFilesConf);
    std::string line;
    while (in && std::getline(in, line)) {
        if (auto hash = line.find('#'); hash != std::string::npos) {
            line.resize(hash);
        }
        std::istringstream words(line);
        std::string directive;
        if (!(words >> directive) || !EqualsIgnoringCase(directive, "SystemGroup")) {
            continue;
        }
        std::string word;
        while (words >> word) {
            std::string name;
            for (char c : word) {
                if (c == ',') {
                    if (!name.empty()) {
                        groups.push_back(name);
                    }
                    name.clear();
                } else if (c != '"' && c != '\'') {
                    name += c;
                }
            }
            if (!name.empty()) {
                groups.push_back(name);
            }
        }
    }
    if (groups.empty()) {
        groups = {"lpadmin", "sys", "root"};
    }
    return groups;
}

bool IsUserAdmin(const UserIdentity& user, const GroupDirectory& groups, const std::filesystem::path& cupsFilesConf,
                 std::string* failure)
{
    if (user.uid == 0) {
        return true;
    }
    if (user.loginName.empty()) {
        if (failure != nullptr) {
            *failure = "no password entry for user " + std::to_string(user.uid);
        }
        return false;
    }
    std::vector<std::string> names = CupsSystemGroups(cupsFilesConf);
    names.emplace_back(kAdminGroup);
    std::vector<gid_t> memberOf = groups.GroupsOf(user.loginName, user.primaryGroup);
    memberOf.push_back(user.primaryGroup);
    for (const std::string& name : names) {
        std::optional<gid_t> id = groups.GroupId(name);
        if (id && std::find(memberOf.begin(), memberOf.end(), *id) != memberOf.end()) {
            return true;
        }
    }
    return false;
}

bool IsUserAdmin() { return IsUserAdmin(CurrentUser(), SystemGroupDirectory(), DefaultCupsFilesConf()); }

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

std::string PrettyHostName(const std::filesystem::path& machineInfo)
{
    std::string text;
    std::string message;
    // machine-info is a few lines; anything huge is not one.
    if (detail::ReadWholeFile(machineInfo, 1u << 20, text, message, true) != noErr) {
        return {};
    }
    return ShellStyleValue(text, "PRETTY_HOSTNAME");
}

std::string ComputerName(const std::filesystem::path& machineInfo, std::string_view hostName)
{
    std::string pretty = PrettyHostName(machineInfo);
    return pretty.empty() ? std::string(hostName) : pretty;
}

std::string ComputerName() { return ComputerName("/etc/machine-info", HostName()); }

std::string KernelRelease()
{
    struct utsname names {};
    if (::uname(&names) != 0) {
        return {};
    }
    return names.release;
}

}  // namespace zlk::platform
