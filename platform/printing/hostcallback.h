// The print dialog host's callback object: owns the PPD of the current
// printer, the session, the print settings and the page format, and marks
// PPD choices for the panels.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/ppdfile.h"
#include "platform/printing/pde.h"

namespace zlk::platform {

class HostPDECallback final : public PDEPlugInCallback {
public:
    // Takes the PPD (its current marks are kept) and prints to queue.
    HostPDECallback(common::PPDHandle ppd, std::string queue, PMPrintSettings settings = {});

    // Opens the PPD file and marks its defaults. Null with fnfErr when the
    // file is missing or not a regular file, kDamagedDataErr when libcups
    // cannot read it or it holds more than a print dialog can show (see
    // kMaxPPDBytes and kMaxPPDChoices); message, when given, says which.
    static std::unique_ptr<HostPDECallback> Open(const std::filesystem::path& ppdPath, std::string queue,
                                                 OSStatus* status, std::string* message = nullptr);

    // The largest PPD file, and the most choices of all its options
    // together, that the dialogs take. The largest PPDs in use are a few
    // megabytes with some thousands of choices; every choice costs the
    // dialog kilobytes.
    static constexpr std::uintmax_t kMaxPPDBytes = 16u << 20;
    static constexpr int kMaxPPDChoices = 20000;

    ppd_file_t* ppdFile() override { return ppd_.get(); }
    PMPrintSession* printSession() override { return &session_; }
    PMPrintSettings* printSettings() override { return &settings_; }
    PMPageFormat* pageFormat() override { return &pageFormat_; }

    // Accepts and marks the choice when the option and the choice exist,
    // or when the choice is "Custom.<value>" and the option accepts custom
    // values. A custom page size must read WxH with an optional unit (pt,
    // in, ft, cm, mm, m) and lie within the PPD's custom size limits.
    // Marking a page size refreshes the page format.
    bool willChangePPDOptionKeyValue(const char* option, const char* ppdChoice) override;
    // The "Custom.<value>" last accepted for an option whose marked choice
    // is its custom one (libcups keeps only the mark); empty otherwise.
    std::string CustomValue(const std::string& option) const;

    widgets::Toolkit* widgetToolkit() override { return toolkit_; }
    // The toolkit lent to the panels; it must outlive them.
    void SetWidgetToolkit(widgets::Toolkit* toolkit) { toolkit_ = toolkit; }

    // The system clock, or the fixed time set (a host that replays a
    // dialog, and tests).
    std::chrono::system_clock::time_point currentTime() override
    {
        return fixedTime_ ? *fixedTime_ : std::chrono::system_clock::now();
    }
    void SetCurrentTime(std::optional<std::chrono::system_clock::time_point> at) { fixedTime_ = at; }

private:
    common::PPDHandle ppd_;
    PMPrintSession session_;
    PMPrintSettings settings_;
    PMPageFormat pageFormat_;
    widgets::Toolkit* toolkit_ = nullptr;
    std::optional<std::chrono::system_clock::time_point> fixedTime_;
    std::map<std::string, std::string> customValues_;  // option keyword to "Custom.<value>"
};

// Whether "Custom.<value>" is acceptable for option of ppd (the checks of
// willChangePPDOptionKeyValue for custom values, without marking).
bool AcceptsCustomChoice(ppd_file_t* ppd, const char* option, const char* ppdChoice);

}  // namespace zlk::platform
