// The print dialog's side of the plug-in protocol: finding the plug-in
// bundles, loading their modules and keeping them loaded while their
// panels live.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/printing/pde.h"
#include "platform/system/bundle.h"

namespace zlk::host {

// Where installed bundles live.
inline constexpr char kInstalledPluginFolder[] = ZLK_INSTALLED_PLUGIN_DIR;

// A plug-in bundle on disk: <Name>.plugin holding <Name>.so and Info.json.
struct PluginBundle {
    std::string name;
    std::filesystem::path folder;
    std::filesystem::path module;
};

// The folders to search: those of pluginPath (colon-separated, empty
// entries skipped) when it is set and not empty, else the install folder.
std::vector<std::filesystem::path> PluginFolders(const char* pluginPath,
                                                 const std::filesystem::path& installFolder = kInstalledPluginFolder);

// The <Name>.plugin folders in the folders, each name once (the first
// folder wins), in name order; folders that do not exist are skipped. A
// damaged bundle is listed too: loading it says what is wrong.
std::vector<PluginBundle> FindPluginBundles(const std::vector<std::filesystem::path>& folders);

// A loaded plug-in module and its principal object; the module is closed
// only after the object is gone. Panels must go before it.
class LoadedPlugIn {
public:
    // Null with a message naming the bundle and what is wrong with it when
    // its folder, module or entry is unusable.
    static std::unique_ptr<LoadedPlugIn> Load(const PluginBundle& bundle, std::string* error);
    ~LoadedPlugIn();
    LoadedPlugIn(const LoadedPlugIn&) = delete;
    LoadedPlugIn& operator=(const LoadedPlugIn&) = delete;

    platform::PDEPlugIn* get() const { return plugin_.get(); }
    const std::string& name() const { return name_; }

private:
    LoadedPlugIn() = default;
    void* handle_ = nullptr;
    std::string name_;
    std::shared_ptr<const platform::Bundle> bundle_;
    std::unique_ptr<platform::PDEPlugIn> plugin_;
};

}  // namespace zlk::host
