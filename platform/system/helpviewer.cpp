#include "platform/system/helpviewer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <system_error>

namespace zlk::platform {

namespace {

OSStatus CheckBook(const std::string& bookName, const std::filesystem::path& helpFolder)
{
    std::error_code ec;
    if (bookName.empty()) {
        return paramErr;
    }
    return std::filesystem::is_directory(helpFolder, ec) ? noErr : fnfErr;
}

OSStatus CheckRequest(const HelpRequest& request)
{
    std::error_code ec;
    if (request.bookName.empty() || request.page.empty()) {
        return paramErr;
    }
    return std::filesystem::is_regular_file(request.page, ec) ? noErr : fnfErr;
}

void AppendEncoded(std::string& out, std::string_view text, bool keepSlash)
{
    static const char hex[] = "0123456789ABCDEF";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
                           b == '_' || b == '.' || b == '~' || (keepSlash && b == '/');
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
}

// The program found on PATH, looked up before forking so that the child
// only calls exec.
std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

}  // namespace

std::string HelpPageURL(const HelpRequest& request)
{
    std::string url = "file://";
    AppendEncoded(url, request.page.string(), true);
    if (!request.anchor.empty()) {
        url += '#';
        AppendEncoded(url, request.anchor, false);
    }
    return url;
}

OSStatus DesktopHelpViewer::RegisterHelpBook(const std::string& bookName, const std::filesystem::path& helpFolder)
{
    // A browser needs no index of books; only check that it is there.
    return CheckBook(bookName, helpFolder);
}

OSStatus DesktopHelpViewer::OpenHelpPage(const HelpRequest& request)
{
    if (OSStatus status = CheckRequest(request); status != noErr) {
        return status;
    }
    const std::string program = FindProgram("xdg-open");
    if (program.empty()) {
        return ioErr;
    }
    const std::string url = HelpPageURL(request);
    const char* argv[] = {program.c_str(), url.c_str(), nullptr};

    // Fork twice so the browser is nobody's child here and leaves no zombie.
    pid_t child = ::fork();
    if (child < 0) {
        return ioErr;
    }
    if (child == 0) {
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return ioErr;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? noErr : ioErr;
}

OSStatus RecordingHelpViewer::RegisterHelpBook(const std::string& bookName, const std::filesystem::path& helpFolder)
{
    OSStatus status = CheckBook(bookName, helpFolder);
    if (status == noErr) {
        books_.push_back({bookName, helpFolder});
    }
    return status;
}

OSStatus RecordingHelpViewer::OpenHelpPage(const HelpRequest& request)
{
    OSStatus status = CheckRequest(request);
    if (status == noErr) {
        requests_.push_back(request);
    }
    return status;
}

}  // namespace zlk::platform
