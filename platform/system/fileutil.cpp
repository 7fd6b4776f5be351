#include "platform/system/fileutil.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/fd.h"
#include "common/regularfile.h"

namespace zlk::platform::detail {

std::string ErrnoMessage(std::string_view what)
{
    std::string message(what);
    message += ": ";
    message += std::strerror(errno);
    return message;
}

OSStatus ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out, std::string& message,
                       bool followLinks)
{
    switch (common::ReadRegularFile(path.string(), maxBytes, out, &message, followLinks)) {
    case common::FileRead::ok: return noErr;
    case common::FileRead::missing: message.clear(); return fnfErr;
    case common::FileRead::tooLarge: return kDamagedDataErr;
    case common::FileRead::notRegular:
    case common::FileRead::failed: break;
    }
    return ioErr;
}

std::optional<PasswordEntry> LookUpPasswordEntry(uid_t uid)
{
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr) {
            return std::nullopt;
        }
        return PasswordEntry{found->pw_name != nullptr ? found->pw_name : "",
                             found->pw_dir != nullptr ? found->pw_dir : "", found->pw_gid};
    }
}

}  // namespace zlk::platform::detail
