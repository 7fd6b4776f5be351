// The reader of stored print settings, on a settings file made from the
// input. What it accepts is a format 1 file and survives a Save and a Load
// unchanged; what it refuses is reported as damaged and moved aside, never
// left where the next Save would overwrite it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/tempfolder.h"
#include "platform/system/storedsettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const zlk::fuzz::TempFolder folder;
    using zlk::platform::PMPrintSettings;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zlk::platform::PrintSettingsStore store(folder.path());
    const std::filesystem::path file = store.PathFor("queue");
    folder.Write(file.filename(), text);

    PMPrintSettings settings;
    const zlk::platform::StoreResult loaded = store.Load("queue", settings);
    if (loaded.ok()) {
        const auto document = nlohmann::json::parse(text, nullptr, false);
        PMPrintSettings again;
        if (!document.is_object() || document.value("format", nlohmann::json()) != 1 ||
            !store.Save("queue", settings).ok() || !store.Load("queue", again).ok() || again != settings)
            std::abort();
    } else if (loaded.status != zlk::platform::kDamagedDataErr || !settings.empty() || loaded.movedAside.empty() ||
               std::filesystem::exists(file) || !std::filesystem::exists(loaded.movedAside)) {
        std::abort();
    } else {
        folder.Remove(loaded.movedAside.filename());
    }
    return 0;
}
