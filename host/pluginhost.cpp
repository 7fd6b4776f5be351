#include "host/pluginhost.h"

#include <dlfcn.h>

#include <algorithm>
#include <set>
#include <system_error>

namespace zlk::host {

std::vector<std::filesystem::path> PluginFolders(const char* pluginPath, const std::filesystem::path& installFolder)
{
    std::vector<std::filesystem::path> folders;
    const std::string_view path = pluginPath ? pluginPath : "";
    std::size_t from = 0;
    while (from <= path.size() && !path.empty()) {
        const std::size_t colon = path.find(':', from);
        const std::string_view entry = path.substr(from, colon == std::string_view::npos ? path.npos : colon - from);
        if (!entry.empty()) {
            folders.emplace_back(entry);
        }
        if (colon == std::string_view::npos) {
            break;
        }
        from = colon + 1;
    }
    if (folders.empty()) {
        folders.push_back(installFolder);
    }
    return folders;
}

std::vector<PluginBundle> FindPluginBundles(const std::vector<std::filesystem::path>& folders)
{
    std::vector<PluginBundle> bundles;
    std::set<std::string> seen;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        std::vector<std::filesystem::path> entries;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            entries.push_back(entry.path());
        }
        std::sort(entries.begin(), entries.end());
        for (const std::filesystem::path& entry : entries) {
            if (entry.extension() != ".plugin") {
                continue;
            }
            // A damaged bundle is kept, so that loading it says what is wrong.
            const std::string name = entry.stem().string();
            const std::filesystem::path module = entry / (name + ".so");
            if (seen.count(name) || !std::filesystem::is_directory(entry, error)) {
                continue;
            }
            seen.insert(name);
            bundles.push_back({name, entry, module});
        }
    }
    std::sort(bundles.begin(), bundles.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return bundles;
}

std::unique_ptr<LoadedPlugIn> LoadedPlugIn::Load(const PluginBundle& bundle, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = "the plug-in bundle " + bundle.folder.string() + " is damaged: " + why;
        }
        return nullptr;
    };
    std::unique_ptr<LoadedPlugIn> loaded(new LoadedPlugIn());
    loaded->name_ = bundle.name;
    platform::OSStatus status = 0;
    std::string message;
    loaded->bundle_ = platform::Bundle::Open(bundle.folder, &status, &message);
    if (!loaded->bundle_) {
        return fail(message);
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(bundle.module, ec)) {
        return fail("it has no module " + bundle.module.filename().string());
    }
    // RTLD_LOCAL: each plug-in keeps its own copies of the shared code.
    loaded->handle_ = dlopen(bundle.module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loaded->handle_) {
        const char* reason = dlerror();
        return fail(std::string("its module cannot be loaded: ") + (reason ? reason : "unknown reason"));
    }
    auto entry = reinterpret_cast<platform::PDEPlugInEntry>(dlsym(loaded->handle_, platform::kPDEPlugInEntryName));
    if (!entry) {
        return fail("its module has no plug-in entry");
    }
    loaded->plugin_.reset(entry());
    if (!loaded->plugin_ || !loaded->plugin_->initWithBundle(loaded->bundle_)) {
        return fail("the plug-in did not start");
    }
    return loaded;
}

LoadedPlugIn::~LoadedPlugIn()
{
    plugin_.reset();
    bundle_.reset();
    if (handle_) {
        dlclose(handle_);
    }
}

}  // namespace zlk::host
