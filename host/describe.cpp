#include "host/describe.h"

#include <nlohmann/json.hpp>

#include "common/utf8.h"
#include "platform/widgets/controls.h"

namespace zlk::host {

namespace {

using nlohmann::json;

// Text as JSON takes it: invalid UTF-8 is shown with its bad bytes replaced.
std::string Printable(const std::string& text)
{
    if (common::IsValidUtf8(text)) {
        return text;
    }
    std::string out;
    for (char c : text) {
        out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    }
    return out;
}

json Control(const widgets::Widget& widget)
{
    json control = {{"tag", widget.Tag()},
                    {"kind", widgets::KindName(widget.GetKind())},
                    {"name", Printable(widget.Name())},
                    {"title", Printable(widget.Title())},
                    {"enabled", widget.IsEnabled()},
                    {"visible", widget.IsShown()}};
    if (const auto* field = widget.As<widgets::TextField>()) {
        // A masked field's text is a person's secret.
        control["text"] =
            field->IsSecure() ? std::string(field->Text().empty() ? "" : "(hidden)") : Printable(field->Text());
    } else if (const auto* list = widget.As<widgets::PopUp>()) {
        json items = json::array();
        for (const widgets::PopUpItem& item : list->Items()) {
            items.push_back(
                {{"key", Printable(item.key)}, {"title", Printable(item.title)}, {"enabled", item.enabled}});
        }
        control["items"] = items;
        control["selected"] = list->SelectedIndex();
    } else if (const auto* box = widget.As<widgets::CheckBox>()) {
        control["state"] = box->State();
    } else if (const auto* radio = widget.As<widgets::RadioButton>()) {
        control["state"] = radio->State();
    } else if (const auto* stepper = widget.As<widgets::Stepper>()) {
        control["value"] = stepper->Value();
        control["min"] = stepper->Min();
        control["max"] = stepper->Max();
    }
    return control;
}

json Controls(const widgets::Widget& root)
{
    json controls = json::array();
    root.ForEachDescendant([&](widgets::Widget& widget) {
        if (widget.Tag() != 0 || !widget.Name().empty()) {
            controls.push_back(Control(widget));
        }
    });
    return controls;
}

}  // namespace

std::string DescribeDialog(const PrintDialog& dialog, const widgets::HeadlessToolkit& toolkit,
                           const std::string& printer)
{
    json description = {{"printer", Printable(printer)}, {"panels", json::array()}, {"windows", json::array()}};
    for (const auto& panel : dialog.Panels()) {
        widgets::View* view = panel->panelView();
        json summary = json::array();
        const platform::PDESummary said = panel->summaryInfo();
        for (const std::string& title : said.displayOrder) {
            const auto value = said.values.find(title);
            summary.push_back(
                {{"title", Printable(title)}, {"value", Printable(value == said.values.end() ? "" : value->second)}});
        }
        description["panels"].push_back({{"name", Printable(panel->panelName())},
                                         {"kind", panel->panelKind()},
                                         {"controls", view ? Controls(*view) : json::array()},
                                         {"summary", summary}});
    }
    for (const widgets::Window* window : toolkit.Windows()) {
        description["windows"].push_back(
            {{"title", Printable(window->Title())}, {"controls", Controls(window->Content())}});
    }
    return description.dump(2) + "\n";
}

}  // namespace zlk::host
