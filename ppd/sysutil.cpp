#include "ppd/sysutil.h"

#include <syslog.h>

#include <cstdio>

namespace zlk::ppd {

namespace {

constexpr std::uint32_t kVersionNotRead = 0xFFFFFFFF;

// Reads the digits at text[at], moving past them and one following ".".
unsigned ReadNumber(std::string_view text, std::size_t& at)
{
    unsigned value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + static_cast<unsigned>(text[at] - '0');
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
    }
    return value;
}

int SelectorValue(std::uint32_t word, std::uint32_t selector, int* out)
{
    if (out == nullptr) {
        return -1;
    }
    if (selector == FourCharCode("sys1")) {
        *out = static_cast<int>(10 * ((word >> 12) & 15) + ((word >> 8) & 15));
    } else if (selector == FourCharCode("sys2")) {
        *out = static_cast<int>((word >> 4) & 15);
    } else if (selector == FourCharCode("sys3")) {
        *out = static_cast<int>(word & 15);
    } else if (selector == FourCharCode("sysv")) {
        *out = static_cast<int>(word);
    } else {
        std::fprintf(stderr, "Gestalt_ALT : selector '%x' not supported.\n", static_cast<unsigned>(selector));
        return -1;
    }
    return 0;
}

void SystemLog(const std::string& message) { syslog(LOG_ERR, "%s", message.c_str()); }

}  // namespace

std::uint32_t VersionWordFromKernelRelease(std::string_view release)
{
    std::size_t at = 0;
    const unsigned major = ReadNumber(release, at);
    const unsigned minor = ReadNumber(release, at);
    return 0x1000 + (((major * 16) + 4032) & 0xFF0) + (minor & 15);
}

int Gestalt_ALT(std::uint32_t selector, int* out)
{
    // Main thread only, so no lock.
    static std::uint32_t word = kVersionNotRead;
    if (word == kVersionNotRead) {
        word = VersionWordFromKernelRelease(platform::KernelRelease());
    }
    return SelectorValue(word, selector, out);
}

int Gestalt_ALT(std::uint32_t selector, int* out, std::string_view kernelRelease)
{
    return SelectorValue(VersionWordFromKernelRelease(kernelRelease), selector, out);
}

bool IsUserAdmin()
{
    return IsUserAdmin(platform::CurrentUser(), platform::SystemGroupDirectory(), platform::DefaultCupsFilesConf(),
                       SystemLog);
}

bool IsUserAdmin(const platform::UserIdentity& user, const platform::GroupDirectory& groups,
                 const std::filesystem::path& cupsFilesConf, const std::function<void(const std::string&)>& log)
{
    std::string failure;
    const bool admin = platform::IsUserAdmin(user, groups, cupsFilesConf, &failure);
    if (!admin && !failure.empty() && log) {
        log("UtilityService - group lookup failed.");
    }
    return admin;
}

OSStatus RegisterMyHelpBook(const platform::Bundle* bundle, platform::HelpViewer& viewer)
{
    if (bundle == nullptr) {
        return platform::fnfErr;
    }
    return viewer.RegisterHelpBook(bundle->InfoString("CFBundleHelpBookName"), bundle->HelpFolder());
}

OSStatus GotoHelpPage(const platform::Bundle* bundle, std::string_view path, std::string_view anchor,
                      std::string_view key, platform::HelpViewer& viewer, std::string_view table)
{
    if (bundle == nullptr) {
        return platform::fnfErr;
    }
    // Entries that are not text never reach the table, so a missing book
    // name shows as the fallback text, an empty one as "".
    const std::string book = bundle->LocalizedString(key, table);
    if (book.empty()) {
        return platform::paramErr;
    }
    return viewer.OpenHelpPage({book, bundle->HelpPagePath(path), std::string(anchor)});
}

}  // namespace zlk::ppd
