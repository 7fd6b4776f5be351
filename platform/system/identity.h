// Who the user is and what the computer is called: the administrator
// check, the login name, the computer's names and the kernel release.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlk::platform {

// The real user of the process.
struct UserIdentity {
    uid_t uid = 0;
    std::string loginName;  // empty when the password database has no entry
    gid_t primaryGroup = 0;
};
UserIdentity CurrentUser();

// The real user's login name from the password database; empty if none.
std::string LoginName();

// The group database as the administrator check needs it.
class GroupDirectory {
public:
    virtual ~GroupDirectory() = default;
    // The id of the group with this name.
    virtual std::optional<gid_t> GroupId(const std::string& name) const = 0;
    // Every group the user belongs to, primary included.
    virtual std::vector<gid_t> GroupsOf(const std::string& loginName, gid_t primaryGroup) const = 0;
};

// getgrnam_r and getgrouplist.
class SystemGroupDirectory final : public GroupDirectory {
public:
    std::optional<gid_t> GroupId(const std::string& name) const override;
    std::vector<gid_t> GroupsOf(const std::string& loginName, gid_t primaryGroup) const override;
};

// $CUPS_SERVERROOT/cups-files.conf, /etc/cups/cups-files.conf when unset.
std::filesystem::path DefaultCupsFilesConf();

// The groups named on the SystemGroup lines of a cups-files.conf; the
// spooler's defaults (lpadmin, sys, root) when the file is missing or
// names none.
std::vector<std::string> CupsSystemGroups(const std::filesystem::path& cupsFilesConf);

// The group that makes its members administrators whatever CUPS says.
inline constexpr char kAdminGroup[] = "admin";

// An administrator is root, or a member (primary or supplementary) of one
// of the spooler's system groups or of the group "admin". False without a
// login name; failure (if given) then says which step failed.
bool IsUserAdmin(const UserIdentity& user, const GroupDirectory& groups, const std::filesystem::path& cupsFilesConf,
                 std::string* failure = nullptr);
// The same for the real user, the system's groups and the spooler's file.
bool IsUserAdmin();

// The network host name (gethostname); empty on failure.
std::string HostName();

// The value of PRETTY_HOSTNAME in a machine-info file (shell-style
// quoting: '...', "..." with \ escapes, \ outside quotes); empty when the
// file or the entry is missing.
std::string PrettyHostName(const std::filesystem::path& machineInfo);

// The user-visible computer name: the pretty host name, else hostName.
std::string ComputerName(const std::filesystem::path& machineInfo, std::string_view hostName);
// The same from /etc/machine-info and HostName().
std::string ComputerName();

// The kernel release (uname's release field, "6.1.0-18-amd64"); the
// version checks take it as a string so tests can pass their own.
std::string KernelRelease();

}  // namespace zlk::platform
