// The system version word, the administrator check and the help book.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/printing/status.h"
#include "platform/system/bundle.h"
#include "platform/system/helpviewer.h"
#include "platform/system/identity.h"

namespace zlk::ppd {

using platform::OSStatus;

// A four-character selector code, 'sysv' and the like.
constexpr std::uint32_t FourCharCode(const char (&code)[5])
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// The version word 0x10nb made from a kernel release "major.minor.patch":
// 0x1000 + (((major * 16) + 4032) & 0xFF0) + (minor & 15), so 15.6.0 gives
// 0x10B6. Missing numbers count 0.
std::uint32_t VersionWordFromKernelRelease(std::string_view release);

// Answers 'sys1', 'sys2', 'sys3' or 'sysv' from the kernel of this machine;
// the word is made once and kept. 0, or -1 for a null out or another
// selector (which is reported on standard error).
int Gestalt_ALT(std::uint32_t selector, int* out);
// The same from the given kernel release, with nothing kept.
int Gestalt_ALT(std::uint32_t selector, int* out, std::string_view kernelRelease);

// Root, or a member of one of the spooler's system groups or of "admin".
bool IsUserAdmin();
// The same for the given user and group database; log receives the one
// message of a failed lookup.
bool IsUserAdmin(const platform::UserIdentity& user, const platform::GroupDirectory& groups,
                 const std::filesystem::path& cupsFilesConf, const std::function<void(const std::string&)>& log);

// Registers the bundle's help book (Resources/Help) under the name its
// information dictionary gives in "CFBundleHelpBookName". fnfErr without a
// bundle, else the viewer's status.
OSStatus RegisterMyHelpBook(const platform::Bundle* bundle, platform::HelpViewer& viewer);

// Opens path#anchor of the bundle's help book, whose name is the bundle's
// localized string for key. fnfErr without a bundle, paramErr when that
// name is empty, else the viewer's status.
OSStatus GotoHelpPage(const platform::Bundle* bundle, std::string_view path, std::string_view anchor,
                      std::string_view key, platform::HelpViewer& viewer,
                      std::string_view table = platform::kDefaultStringTable);

}  // namespace zlk::ppd
