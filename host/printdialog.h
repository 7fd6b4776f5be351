// One print dialog over a queue: the host's print objects for the queue's
// PPD, the panels of every plug-in found, the queue's stored print
// settings, and the job options the panels' choices come to.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/pluginhost.h"
#include "platform/printing/hostcallback.h"
#include "platform/system/storedsettings.h"
#include "platform/widgets/toolkit.h"

namespace zlk::host {

using JobOption = std::pair<std::string, std::string>;

class PrintDialog {
public:
    struct Setup {
        std::string queue;
        std::filesystem::path ppd;
        // -o NAME=VALUE as lp takes them: a PPD option's choice is marked,
        // anything else starts the print settings.
        std::vector<JobOption> initial;
        std::filesystem::path settingsFolder;
        std::vector<std::filesystem::path> pluginFolders;
        widgets::Toolkit* toolkit = nullptr;
        // When not empty, only panels of these kinds are kept: a host that
        // asks for some choices only (at print time, for a job already
        // sent) shows no others.
        std::vector<std::string> panelKinds;
    };

    // Null with a message when the PPD cannot be read. A plug-in that
    // cannot be loaded, or a damaged settings file (moved aside), is only
    // reported in notices.
    static std::unique_ptr<PrintDialog> Open(const Setup& setup, std::string* error);
    ~PrintDialog();
    PrintDialog(const PrintDialog&) = delete;
    PrintDialog& operator=(const PrintDialog&) = delete;

    // The host's order: every panel is asked for the PPD keys it handles,
    // restores its values, then is shown. Once per dialog.
    bool Restore();
    // Every panel in turn; false as soon as one stops the print.
    bool Print();
    // Every panel takes what its controls show, as when it is left; false
    // as soon as one refuses (its reason in the notices).
    bool SaveValues();
    // The same, then the settings are stored for the queue.
    bool Save();
    // The options of the job: the marked PPD choices and the ticket entries
    // (the panels' last input stays on this computer), sorted by name.
    std::vector<JobOption> JobOptions() const;
    // Whether the option is a PPD option at its default choice.
    bool IsPPDDefault(const JobOption& option) const;
    // Stores the print settings for the queue.
    platform::StoreResult StoreSettings() const;

    const std::vector<std::unique_ptr<platform::PDEPanel>>& Panels() const { return panels_; }
    platform::HostPDECallback& Host() { return *host_; }
    const std::vector<std::string>& Notices() const { return notices_; }
    // The plug-in bundles found that could not be loaded (each in the notices).
    std::size_t DamagedPlugIns() const { return damagedPlugIns_; }

private:
    PrintDialog() = default;
    std::string queue_;
    std::unique_ptr<platform::PrintSettingsStore> store_;
    // Declared in this order so that panels go before their plug-ins, and
    // both before the host objects they were lent.
    std::unique_ptr<platform::HostPDECallback> host_;
    std::vector<std::unique_ptr<LoadedPlugIn>> plugins_;
    std::vector<std::unique_ptr<platform::PDEPanel>> panels_;
    std::vector<std::string> notices_;
    std::size_t damagedPlugIns_ = 0;
};

}  // namespace zlk::host
