// The bundle layout loader. The input is a bundle: a layout, then, after a
// zero byte, Info.json, then, after another, the string table. The layout
// goes straight into a view and a window of the headless toolkit, and
// through Bundle::Open and Bundle::LoadLayout as the dialogs load a panel.
// A refused layout builds nothing; an accepted one leaves no tag twice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/tempfolder.h"
#include "platform/system/bundle.h"
#include "platform/widgets/headless.h"
#include "platform/widgets/layout.h"

namespace {

namespace widgets = zlk::widgets;
using zlk::platform::Bundle;

bool TagsUnique(const widgets::Widget& root)
{
    std::set<int> seen;
    bool unique = true;
    root.ForEachDescendant([&](widgets::Widget& widget) {
        if (widget.Tag() != 0 && !seen.insert(widget.Tag()).second)
            unique = false;
    });
    return unique;
}

// Into a view and a window that already hold a widget of tag 1.
void Load(widgets::Toolkit& toolkit, std::string_view json, const widgets::Localizer& localize)
{
    auto view = toolkit.CreateView();
    view->Add(toolkit.CreateButton(1, "kept", {}));
    const widgets::LayoutStatus intoView = widgets::LoadLayout(*view, json, localize);
    if (intoView ? !TagsUnique(*view) : view->ChildCount() != 1 || intoView.error.empty())
        std::abort();

    const widgets::Rect frame{1, 2, 3, 4};
    auto window = toolkit.CreateWindow("kept", frame);
    window->Content().Add(toolkit.CreateButton(1, "kept", {}));
    const widgets::LayoutStatus intoWindow = widgets::LoadWindowLayout(*window, json, localize);
    if (intoWindow ? !TagsUnique(window->Content())
                   : window->Content().ChildCount() != 1 || window->Title() != "kept" || window->Frame() != frame ||
                         window->DefaultButton() || window->CancelButton() || !window->KeyOrder().empty())
        std::abort();
}

bool IsObject(std::string_view text) { return nlohmann::json::parse(text, nullptr, false).is_object(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const zlk::fuzz::TempFolder folder;
    std::vector<std::string_view> parts;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (std::size_t zero; parts.size() < 2 && (zero = rest.find('\0')) != rest.npos; rest.remove_prefix(zero + 1))
        parts.push_back(rest.substr(0, zero));
    parts.push_back(rest);
    const std::string_view layout = parts[0];

    folder.Write("B.plugin/Resources/Layouts/Panel.json", layout);
    const char* const files[] = {"B.plugin/Info.json", "B.plugin/Resources/Localizable.json"};
    for (std::size_t i = 0; i < 2; ++i) {
        if (parts.size() > i + 1)
            folder.Write(files[i], parts[i + 1]);
        else
            folder.Remove(files[i]);
    }

    zlk::platform::OSStatus status = zlk::platform::noErr;
    const auto bundle = Bundle::Open(folder.path() / "B.plugin", &status);
    if (!bundle != (status != zlk::platform::noErr) || (parts.size() < 2 && status != zlk::platform::fnfErr) ||
        (parts.size() > 1 && !IsObject(parts[1]) && status != zlk::platform::kDamagedDataErr))
        std::abort();

    widgets::HeadlessToolkit toolkit;
    widgets::Localizer localize;
    if (bundle) {
        if (parts.size() > 2 && !IsObject(parts[2]) && bundle->HasStringTable(zlk::platform::kDefaultStringTable))
            std::abort();  // a damaged string table was taken
        for (const auto& [key, value] : bundle->infoDictionary().items())
            if (bundle->InfoString(key) != (value.is_string() ? value.get<std::string>() : ""))
                std::abort();
        localize = [&bundle](const std::string& key) { return bundle->LocalizedString(key); };
        nlohmann::json loaded;
        if (bundle->LoadLayout("Panel", loaded) == zlk::platform::noErr) {
            if (!loaded.is_object())
                std::abort();
            Load(toolkit, loaded.dump(), localize);
        }
    }
    Load(toolkit, layout, localize);
    return 0;
}
