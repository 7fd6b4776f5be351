// Loads a built dialog plug-in as a print dialog host does: dlopen of the
// module in its bundle, the one C entry, the bundle handed over; and a host
// over a PPD with the headless toolkit.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/printing/hostcallback.h"
#include "platform/printing/pde.h"
#include "platform/system/bundle.h"
#include "platform/widgets/controls.h"
#include "platform/widgets/headless.h"

namespace zlk::test {

class LoadedPlugin {
public:
    // bundleFolder holds Info.json and Resources; module is the .so path.
    LoadedPlugin(const std::filesystem::path& module, const std::filesystem::path& bundleFolder)
    {
        handle_ = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle_, nullptr) << dlerror();
        if (!handle_) {
            return;
        }
        auto entry = reinterpret_cast<platform::PDEPlugInEntry>(dlsym(handle_, platform::kPDEPlugInEntryName));
        EXPECT_NE(entry, nullptr);
        platform::OSStatus status = 0;
        std::string message;
        // A damaged bundle is handed over as nothing, as a host would.
        bundle_ = platform::Bundle::Open(bundleFolder, &status, &message);
        if (entry) {
            plugin_.reset(entry());
            EXPECT_TRUE(plugin_->initWithBundle(bundle_));
        }
    }
    ~LoadedPlugin()
    {
        plugin_.reset();
        if (handle_) {
            dlclose(handle_);
        }
    }
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    platform::PDEPlugIn* get() const { return plugin_.get(); }
    const platform::Bundle* bundle() const { return bundle_.get(); }

private:
    void* handle_ = nullptr;
    std::shared_ptr<const platform::Bundle> bundle_;
    std::unique_ptr<platform::PDEPlugIn> plugin_;
};

// A print dialog over one PPD: the host's objects and a headless toolkit.
struct Host {
    explicit Host(const std::filesystem::path& ppd, std::string queue = "features-queue")
    {
        platform::OSStatus status = 0;
        callback = platform::HostPDECallback::Open(ppd, std::move(queue), &status);
        EXPECT_TRUE(callback) << ppd << ": " << status;
        if (callback) {
            callback->SetWidgetToolkit(&toolkit);
        }
    }
    widgets::HeadlessToolkit toolkit;
    std::unique_ptr<platform::HostPDECallback> callback;
};

// A window's widget by tag, as a person finds it; a test failure when the
// window has none.
template <class T>
T* In(widgets::Window& window, int tag)
{
    T* widget = window.Content().Find<T>(tag);
    EXPECT_NE(widget, nullptr) << "tag " << tag;
    return widget;
}

// Clears the field and types the text into it.
inline void Type(widgets::Window& window, int tag, const std::string& text)
{
    auto* field = In<widgets::TextField>(window, tag);
    field->UserClear();
    field->UserType(text);
}

}  // namespace zlk::test
