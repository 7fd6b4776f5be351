#include "host/printdialog.h"

#include <algorithm>
#include <set>

#include "platform/printing/printsettings.h"

namespace zlk::host {

namespace {

// Last input the panels keep for the next dialog; it is not sent with a job.
bool IsLastInput(const std::string& key) { return key.find("Reference") != std::string::npos; }

// The key under which the panels keep their last input of a setting they
// write under key: "...PrintTypeTicketKey" and "...UserIDTextEditTicket"
// are kept as "...PrintTypeReference" and "...UserIDTextEditReference".
// Empty for a key of another form.
std::string LastInputKey(const std::string& key)
{
    if (key.rfind("com.zelko.", 0) != 0) {
        return {};
    }
    for (const std::string suffix : {"TicketKey", "Ticket"}) {
        if (key.size() > suffix.size() && key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return key.substr(0, key.size() - suffix.size()) + "Reference";
        }
    }
    return {};
}

}  // namespace

std::unique_ptr<PrintDialog> PrintDialog::Open(const Setup& setup, std::string* error)
{
    std::unique_ptr<PrintDialog> dialog(new PrintDialog());
    dialog->queue_ = setup.queue;
    platform::OSStatus status = 0;
    std::string why;
    dialog->host_ = platform::HostPDECallback::Open(setup.ppd, setup.queue, &status, &why);
    if (!dialog->host_) {
        if (error) {
            *error = why;
        }
        return nullptr;
    }
    dialog->host_->SetWidgetToolkit(setup.toolkit);
    if (!setup.settingsFolder.empty() && !setup.queue.empty()) {
        dialog->store_ = std::make_unique<platform::PrintSettingsStore>(setup.settingsFolder);
        const platform::StoreResult loaded = dialog->store_->Load(setup.queue, *dialog->host_->printSettings());
        if (!loaded.ok() && loaded.status != platform::fnfErr) {
            dialog->notices_.push_back("the stored print settings were not used: " + loaded.message);
        }
    }
    for (const auto& [name, value] : setup.initial) {
        if (ppdFindOption(dialog->host_->ppdFile(), name.c_str())) {
            if (!dialog->host_->willChangePPDOptionKeyValue(name.c_str(), value.c_str())) {
                dialog->notices_.push_back("the printer has no choice \"" + value + "\" for " + name);
            }
        } else {
            platform::PMPrintSettingsSetValue(dialog->host_->printSettings(), name.c_str(), value.c_str(), false);
            // The panels start from their last input (the key's "Reference"
            // twin), not from what they write: a setting given for the job
            // is where they start too.
            if (const std::string lastInput = LastInputKey(name); !lastInput.empty()) {
                platform::PMPrintSettingsSetValue(dialog->host_->printSettings(), lastInput.c_str(), value.c_str(),
                                                  false);
            }
        }
    }
    for (const PluginBundle& bundle : FindPluginBundles(setup.pluginFolders)) {
        std::string problem;
        std::unique_ptr<LoadedPlugIn> plugin = LoadedPlugIn::Load(bundle, &problem);
        if (!plugin) {
            dialog->notices_.push_back(problem);
            ++dialog->damagedPlugIns_;
            continue;
        }
        for (auto& panel : plugin->get()->PDEPanelsForType(platform::kPrintDialogPDEType, dialog->host_.get())) {
            const auto& kinds = setup.panelKinds;
            if (kinds.empty() || std::find(kinds.begin(), kinds.end(), panel->panelKind()) != kinds.end()) {
                dialog->panels_.push_back(std::move(panel));
            }
        }
        const std::vector<std::string> problems = plugin->get()->bundleProblems();
        dialog->notices_.insert(dialog->notices_.end(), problems.begin(), problems.end());
        dialog->damagedPlugIns_ += problems.empty() ? 0 : 1;
        dialog->plugins_.push_back(std::move(plugin));
    }
    return dialog;
}

PrintDialog::~PrintDialog()
{
    panels_.clear();
    plugins_.clear();
}

bool PrintDialog::Restore()
{
    bool restored = true;
    for (auto& panel : panels_) {
        platform::PDEError error;
        // Asked before anything else, as the protocol says: this is when a
        // panel reads what it needs beside the PPD (the features panel its
        // constraint definition file). This host shows no PPD options of its
        // own, so it has none to leave out for the panels.
        panel->supportedPPDOptionKeys();
        panel->panelView();
        if (!panel->restoreValuesAndReturnError(&error)) {
            // A damaged bundle may have lost the panel's name with its texts.
            const std::string name = panel->panelName();
            notices_.push_back((name.empty() ? panel->panelKind() : name) + ": " + error.message);
            restored = false;
        }
        panel->willShow();
    }
    return restored;
}

bool PrintDialog::Print()
{
    return std::all_of(panels_.begin(), panels_.end(), [](auto& panel) { return panel->shouldPrint(); });
}

bool PrintDialog::SaveValues()
{
    for (auto& panel : panels_) {
        platform::PDEError error;
        if (!panel->saveValuesAndReturnError(&error)) {
            notices_.push_back(panel->panelName() + ": " + error.message);
            return false;
        }
    }
    return true;
}

bool PrintDialog::Save() { return SaveValues() && StoreSettings().ok(); }

bool PrintDialog::IsPPDDefault(const JobOption& option) const
{
    const ppd_option_t* ppdOption = ppdFindOption(host_->ppdFile(), option.first.c_str());
    return ppdOption && option.second == ppdOption->defchoice;
}

platform::StoreResult PrintDialog::StoreSettings() const
{
    if (!store_) {
        return {};
    }
    return store_->Save(queue_, *host_->printSettings());
}

std::vector<JobOption> PrintDialog::JobOptions() const
{
    std::vector<JobOption> options;
    ppd_file_t* ppd = host_->ppdFile();
    // The PPD's own arrays, not libcups's option iterator: looking up a
    // mark resets that iterator, and a PPD that lists an option in two
    // groups then never ends. Each keyword is taken once.
    std::set<std::string> seen;
    auto take = [&](const ppd_option_t& option) {
        if (!seen.insert(option.keyword).second) {
            return;
        }
        if (const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, option.keyword)) {
            // A custom choice goes with its value (Custom.612x792), which
            // the mark alone has lost.
            const std::string custom = host_->CustomValue(option.keyword);
            options.emplace_back(option.keyword, custom.empty() ? marked->choice : custom);
        }
    };
    for (int g = 0; ppd && g < ppd->num_groups; ++g) {
        const ppd_group_t& group = ppd->groups[g];
        for (int o = 0; o < group.num_options; ++o) {
            take(group.options[o]);
        }
        for (int sub = 0; sub < group.num_subgroups; ++sub) {
            for (int o = 0; o < group.subgroups[sub].num_options; ++o) {
                take(group.subgroups[sub].options[o]);
            }
        }
    }
    for (const auto& [key, entry] : host_->printSettings()->entries()) {
        if (!IsLastInput(key)) {
            options.emplace_back(key, entry.value);
        }
    }
    std::sort(options.begin(), options.end());
    return options;
}

}  // namespace zlk::host
