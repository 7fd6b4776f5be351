// Features panel speed as a print dialog host meets it: the plug-in module
// loaded once, then per printer the panel offered, its keys claimed, its view
// built and its values restored; and, on a built panel, the summary and the
// step before printing. Runs over the sample PPD with the most options and
// over a generated PPD whose one group holds many options.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/printing/hostcallback.h"
#include "platform/printing/pde.h"
#include "platform/system/bundle.h"
#include "platform/widgets/controls.h"
#include "platform/widgets/headless.h"

namespace {

namespace fs = std::filesystem;
using namespace zlk;

const fs::path kBundle = ZLK_FEATURES_BUNDLE;
const fs::path kModule = kBundle / "ZLKFeaturesPDE.so";
const fs::path kSamples = ZLK_SAMPLE_PPD_DIR;
// Its features mode keeps the generated group clear of the fixed groups.
const fs::path kGeneratedBase = kSamples / "zelko-mfp-m2500.ppd";
constexpr int kGeneratedOptions = 500;
// The group selector of the panel layout: its items are the pages built.
constexpr int kGroupListTag = 2;

// The plug-in as a host keeps it: module loaded, entry called, bundle given.
class Plugin {
public:
    Plugin(const fs::path& module, const fs::path& bundleFolder)
    {
        handle_ = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            error_ = dlerror();
            return;
        }
        auto entry = reinterpret_cast<platform::PDEPlugInEntry>(dlsym(handle_, platform::kPDEPlugInEntryName));
        platform::OSStatus status = 0;
        auto bundle = platform::Bundle::Open(bundleFolder, &status, &error_);
        if (!entry || !bundle) {
            error_ = "no entry or no bundle: " + error_;
            return;
        }
        plugin_.reset(entry());
        if (!plugin_->initWithBundle(std::move(bundle))) {
            error_ = "initWithBundle refused";
            plugin_.reset();
        }
    }
    ~Plugin()
    {
        // The plug-in's code lives in the module: it goes first.
        plugin_.reset();
        if (handle_) {
            dlclose(handle_);
        }
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    platform::PDEPlugIn* get() const { return plugin_.get(); }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::unique_ptr<platform::PDEPlugIn> plugin_;
    std::string error_;
};

// The host's side of one dialog: the PPD opened and a headless toolkit.
struct Host {
    explicit Host(const fs::path& ppd)
    {
        platform::OSStatus status = 0;
        callback = platform::HostPDECallback::Open(ppd, "bench-queue", &status);
        if (callback) {
            callback->SetWidgetToolkit(&toolkit);
        }
    }
    widgets::HeadlessToolkit toolkit;
    std::unique_ptr<platform::HostPDECallback> callback;
};

// What the dialog does when it opens for a printer. Empty message: success.
std::string ShowPanel(platform::PDEPlugIn& plugin, Host& host, std::unique_ptr<platform::PDEPanel>& panel)
{
    auto panels = plugin.PDEPanelsForType(platform::kPrintDialogPDEType, host.callback.get());
    if (panels.size() != 1) {
        return "panel not offered";
    }
    panel = std::move(panels.front());
    benchmark::DoNotOptimize(panel->supportedPPDOptionKeys());
    if (!panel->panelView()) {
        return "no panel view";
    }
    platform::PDEError error;
    if (!panel->restoreValuesAndReturnError(&error)) {
        return "restore failed: " + error.message;
    }
    return {};
}

// Host made and torn down outside the clock: only the panel's work counts.
void BM_BuildAndRestore(benchmark::State& state, const Plugin* plugin, fs::path ppd)
{
    int pages = 0;
    for (auto _ : state) {
        auto host = std::make_unique<Host>(ppd);
        if (!host->callback) {
            state.SkipWithError(("cannot open " + ppd.string()).c_str());
            break;
        }
        std::unique_ptr<platform::PDEPanel> panel;
        const auto start = std::chrono::steady_clock::now();
        const std::string failure = ShowPanel(*plugin->get(), *host, panel);
        const auto stop = std::chrono::steady_clock::now();
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        const auto* groups = panel->panelView()->Find<widgets::PopUp>(kGroupListTag);
        pages = groups ? groups->ItemCount() : 0;
        panel.reset();
        host.reset();
    }
    // Shows that the run built what it should.
    state.counters["pages"] = pages;
}

void BM_SummaryAndPrint(benchmark::State& state, const Plugin* plugin, fs::path ppd)
{
    Host host(ppd);
    std::unique_ptr<platform::PDEPanel> panel;
    const std::string failure = host.callback ? ShowPanel(*plugin->get(), host, panel) : "cannot open PPD";
    if (!failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    for (auto _ : state) {
        const platform::PDESummary summary = panel->summaryInfo();
        benchmark::DoNotOptimize(summary.values.size());
        if (!panel->shouldPrint()) {
            state.SkipWithError("shouldPrint refused");
            break;
        }
    }
    panel.reset();
}

int CountOptions(const fs::path& ppd)
{
    std::ifstream in(ppd);
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        count += line.starts_with("*OpenUI ") ? 1 : 0;
    }
    return count;
}

fs::path LargestSample()
{
    fs::path largest;
    int most = -1;
    for (const auto& entry : fs::directory_iterator(kSamples)) {
        if (entry.path().extension() == ".ppd") {
            if (const int count = CountOptions(entry.path()); count > most) {
                most = count;
                largest = entry.path();
            }
        }
    }
    return largest;
}

std::string GeneratedKeyword(int i)
{
    char keyword[32];
    std::snprintf(keyword, sizeof keyword, "ZLKBenchOption%03d", i);
    return keyword;
}

// The base PPD with one more group of pick-one options.
bool WriteGeneratedPPD(const fs::path& out)
{
    std::ifstream base(kGeneratedBase, std::ios::binary);
    std::ofstream ppd(out, std::ios::binary);
    ppd << base.rdbuf() << "*%\n*OpenGroup: Bench/Bench Options\n";
    for (int i = 1; i <= kGeneratedOptions; ++i) {
        const std::string k = GeneratedKeyword(i);
        ppd << "*OpenUI *" << k << "/Bench Option " << i << ": PickOne\n"
            << "*OrderDependency: 50 AnySetup *" << k << "\n"
            << "*Default" << k << ": Off\n"
            << "*" << k << " Off/Off: \"\"\n"
            << "*" << k << " Low/Low: \"\"\n"
            << "*" << k << " High/High: \"\"\n"
            << "*CloseUI: *" << k << "\n";
    }
    ppd << "*CloseGroup: Bench\n";
    return static_cast<bool>(ppd);
}

// A copy of the bundle whose support list also names the generated
// keywords, so that the panel places every generated option.
bool WriteGeneratedBundle(const fs::path& out, std::string& why)
{
    std::error_code ec;
    fs::copy(kBundle, out, fs::copy_options::recursive, ec);
    if (ec) {
        why = "copying the bundle: " + ec.message();
        return false;
    }
    nlohmann::json info;
    {
        std::ifstream in(out / "Info.json");
        info = nlohmann::json::parse(in, nullptr, false);
    }
    if (!info.is_object() || !info["PMPPDKeysSupported"].is_array()) {
        why = "the bundle's Info.json has no support list";
        return false;
    }
    for (int i = 1; i <= kGeneratedOptions; ++i) {
        info["PMPPDKeysSupported"].push_back(GeneratedKeyword(i));
    }
    std::ofstream(out / "Info.json") << info.dump(2);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    char pattern[] = "/tmp/zlk-features-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path scratch = pattern;
    int rc = 0;
    {
        const fs::path largest = LargestSample();
        const fs::path generatedPPD = scratch / "generated.ppd";
        const fs::path generatedBundle = scratch / "ZLKFeaturesPDE.plugin";
        std::string why;
        if (largest.empty() || !WriteGeneratedPPD(generatedPPD) || !WriteGeneratedBundle(generatedBundle, why)) {
            std::fprintf(stderr, "features_bench: cannot prepare the PPDs: %s\n", why.c_str());
            rc = 1;
        }
        const Plugin plugin(kModule, kBundle);
        const Plugin generatedPlugin(kModule, generatedBundle);
        for (const Plugin* p : {&plugin, &generatedPlugin}) {
            if (rc == 0 && !p->get()) {
                std::fprintf(stderr, "features_bench: plug-in not loaded: %s\n", p->error().c_str());
                rc = 1;
            }
        }
        if (rc == 0) {
            const std::string sample = largest.stem().string();
            const std::string generated = "generated-" + std::to_string(kGeneratedOptions);
            const struct {
                std::string name;
                const Plugin* plugin;
                fs::path ppd;
            } cases[] = {{sample, &plugin, largest}, {generated, &generatedPlugin, generatedPPD}};
            for (const auto& c : cases) {
                benchmark::RegisterBenchmark(("BM_BuildAndRestore/" + c.name).c_str(), BM_BuildAndRestore, c.plugin,
                                             c.ppd)
                    ->UseManualTime()
                    ->Repetitions(10)
                    ->ReportAggregatesOnly(true)
                    ->Unit(benchmark::kMillisecond);
            }
            for (const auto& c : cases) {
                benchmark::RegisterBenchmark(("BM_SummaryAndPrint/" + c.name).c_str(), BM_SummaryAndPrint, c.plugin,
                                             c.ppd)
                    ->Repetitions(10)
                    ->ReportAggregatesOnly(true)
                    ->Unit(benchmark::kMicrosecond);
            }
            benchmark::RunSpecifiedBenchmarks();
        }
    }
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return rc;
}
