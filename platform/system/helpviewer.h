// The help viewer: opens a page of a plug-in's help book. The GUI host
// hands pages to the desktop (xdg-open); the headless host and the tests
// record what was asked.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/printing/status.h"

namespace zlk::platform {

struct HelpRequest {
    std::string bookName;
    std::filesystem::path page;  // absolute path of the .htm file
    std::string anchor;  // may be empty

    bool operator==(const HelpRequest&) const = default;
};

// "file://<page>#<anchor>", the page's path percent-encoded where a URL
// needs it.
std::string HelpPageURL(const HelpRequest& request);

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Makes a help book known under its name. fnfErr when the folder does
    // not exist, paramErr for an empty name.
    virtual OSStatus RegisterHelpBook(const std::string& bookName, const std::filesystem::path& helpFolder) = 0;
    // Shows the page. fnfErr when it does not exist, paramErr for an empty
    // book name or page path, ioErr when the viewer cannot be started.
    virtual OSStatus OpenHelpPage(const HelpRequest& request) = 0;
};

// Starts xdg-open on the page's URL, detached: the dialog does not wait for
// the browser.
class DesktopHelpViewer final : public HelpViewer {
public:
    OSStatus RegisterHelpBook(const std::string& bookName, const std::filesystem::path& helpFolder) override;
    OSStatus OpenHelpPage(const HelpRequest& request) override;
};

// Remembers every registration and request and shows nothing.
class RecordingHelpViewer final : public HelpViewer {
public:
    struct Book {
        std::string name;
        std::filesystem::path folder;
        bool operator==(const Book&) const = default;
    };

    OSStatus RegisterHelpBook(const std::string& bookName, const std::filesystem::path& helpFolder) override;
    OSStatus OpenHelpPage(const HelpRequest& request) override;

    const std::vector<Book>& books() const { return books_; }
    const std::vector<HelpRequest>& requests() const { return requests_; }

private:
    std::vector<Book> books_;
    std::vector<HelpRequest> requests_;
};

}  // namespace zlk::platform
