// Small POSIX helpers shared by the system services (not installed).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/printing/status.h"

namespace zlk::platform::detail {

// Reads a whole file of at most maxBytes. noErr, fnfErr when it does not
// exist, ioErr otherwise (message says why); kDamagedDataErr when larger.
// followLinks false refuses a symbolic link in the last component.
OSStatus ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out, std::string& message,
                       bool followLinks = false);

// "<what>: <strerror(errno)>".
std::string ErrnoMessage(std::string_view what);

struct PasswordEntry {
    std::string name;
    std::string home;
    gid_t primaryGroup = 0;
};
// The password database's entry for uid; nullopt when it has none.
std::optional<PasswordEntry> LookUpPasswordEntry(uid_t uid);

}  // namespace zlk::platform::detail
