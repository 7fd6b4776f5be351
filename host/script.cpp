#include "host/script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>

#include "common/utf8.h"
#include "platform/widgets/controls.h"

namespace zlk::host {

namespace {

// The names the plug-ins give a window's buttons and a panel's page list.
constexpr char kPageListName[] = "pages";

const std::vector<std::string> kVerbs = {"choose", "check",  "uncheck", "type",   "step",  "press",
                                         "ok",     "cancel", "restore", "answer", "print", "show"};

std::string Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 's' ? ' ' : next == 't' ? '\t' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The first word and the rest.
std::pair<std::string_view, std::string_view> Word(std::string_view text)
{
    text = Trim(text);
    const auto space = text.find_first_of(" \t");
    if (space == std::string_view::npos) {
        return {text, {}};
    }
    return {text.substr(0, space), Trim(text.substr(space + 1))};
}

std::optional<int> Number(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::vector<ScriptStep>> ParseScript(std::string_view text, std::string* error)
{
    std::vector<ScriptStep> steps;
    int number = 0;
    auto refuse = [&](const std::string& why) {
        if (error) {
            *error = "line " + std::to_string(number) + ": " + why;
        }
        return std::nullopt;
    };
    std::size_t from = 0;
    while (from <= text.size()) {
        const auto end = text.find('\n', from);
        std::string_view line = text.substr(from, end == std::string_view::npos ? text.npos : end - from);
        from = end == std::string_view::npos ? text.size() + 1 : end + 1;
        // A carriage return ends a line written on another system; anywhere
        // else it is a control character like the others.
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        ++number;
        if (!common::IsValidUtf8(line)) {
            return refuse("the text is not UTF-8");
        }
        if (std::any_of(line.begin(), line.end(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return (byte < 0x20 && c != '\t') || byte == 0x7F;
            })) {
            return refuse("a control character");
        }
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        auto [verb, rest] = Word(trimmed);
        ScriptStep step;
        step.line = number;
        step.verb = std::string(verb);
        if (std::find(kVerbs.begin(), kVerbs.end(), step.verb) == kVerbs.end()) {
            return refuse("\"" + step.verb + "\" is not an action");
        }
        const bool bare = step.verb == "ok" || step.verb == "cancel" || step.verb == "restore" || step.verb == "print";
        if (bare) {
            if (!rest.empty()) {
                return refuse(step.verb + " takes nothing after it");
            }
        } else if (step.verb == "answer") {
            const auto n = Number(rest);
            if (!n || *n < 1) {
                return refuse("answer needs a button number from 1");
            }
            step.value = std::string(rest);
        } else {
            auto [control, value] = Word(rest);
            if (control.empty()) {
                return refuse(step.verb + " needs a control");
            }
            step.control = std::string(control);
            step.value = Unescape(value);
            const bool needsValue = step.verb == "choose" || step.verb == "step";
            if (needsValue && step.value.empty()) {
                return refuse(step.verb + " needs a value after the control");
            }
            if (step.verb == "step" && !Number(step.value)) {
                return refuse("step needs a whole number");
            }
            if ((step.verb == "check" || step.verb == "uncheck" || step.verb == "press" || step.verb == "show") &&
                !value.empty()) {
                return refuse(step.verb + " takes only a control");
            }
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

ScriptRunner::ScriptRunner(widgets::HeadlessToolkit& toolkit, PrintDialog& dialog, std::vector<ScriptStep> steps)
    : toolkit_(toolkit),
      dialog_(dialog),
      steps_(std::move(steps))
{
    toolkit_.SetModalFallback([this](widgets::Window& window) { RunIn(&window); });
}

ScriptRunner::~ScriptRunner() { toolkit_.SetModalFallback({}); }

bool ScriptRunner::Fail(const ScriptStep& step, const std::string& why)
{
    if (error_.empty()) {
        error_ = "line " + std::to_string(step.line) + ": " + why;
    }
    return false;
}

bool ScriptRunner::RunPanelSteps()
{
    RunIn(nullptr);
    printing_ = true;
    return error_.empty();
}

void ScriptRunner::RunIn(widgets::Window* window)
{
    while (error_.empty() && next_ < steps_.size()) {
        const ScriptStep& step = steps_[next_];
        if (step.verb == "print") {
            if (window) {
                break;  // the window is left to be cancelled
            }
            ++next_;
            return;
        }
        ++next_;
        Do(step, window);
        if (window && !window->IsOpen()) {
            return;
        }
    }
    if (window && window->IsOpen()) {
        // Nobody answers this window: it is cancelled.
        cancelled_.push_back(window->Title());
        if (!window->UserPressEscape()) {
            window->Close();
        }
    }
}

namespace {

// A panel's name in scripts: the last part of its kind without "Kind".
std::string PanelShortName(platform::PDEPanel& panel)
{
    std::string kind = panel.panelKind();
    kind = kind.substr(kind.rfind('.') + 1);
    if (kind.size() > 4 && kind.compare(kind.size() - 4, 4, "Kind") == 0) {
        kind.resize(kind.size() - 4);
    }
    return kind;
}

}  // namespace

platform::PDEPanel* ScriptRunner::FindPanel(const std::string& name) const
{
    for (const auto& panel : dialog_.Panels()) {
        const std::string shortName = PanelShortName(*panel);
        if (shortName.size() == name.size() &&
            std::equal(name.begin(), name.end(), shortName.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            })) {
            return panel.get();
        }
    }
    return nullptr;
}

widgets::Widget* ScriptRunner::Find(const std::string& qualified, widgets::Window* window, std::string* problem,
                                    const std::function<bool(const widgets::Widget&)>& fits)
{
    // PANEL/CONTROL names a control of one panel where the same tag or name
    // is in several.
    std::string control = qualified;
    platform::PDEPanel* only = nullptr;
    if (const auto slash = qualified.find('/'); !window && slash != std::string::npos && slash > 0) {
        only = FindPanel(qualified.substr(0, slash));
        if (!only) {
            *problem = "no panel named \"" + qualified.substr(0, slash) + "\"";
            return nullptr;
        }
        control = qualified.substr(slash + 1);
    }
    const std::optional<int> tag = Number(control);
    auto matches = [&](const widgets::Widget& widget) { return tag ? widget.Tag() == *tag : widget.Name() == control; };
    auto search = [&](const widgets::Widget& root) {
        widgets::Widget* found = nullptr;
        root.ForEachDescendant([&](widgets::Widget& widget) {
            // A shown widget wins over a hidden one of the same name.
            if (matches(widget) && (!found || (!found->IsShown() && widget.IsShown()))) {
                found = &widget;
            }
        });
        return found;
    };
    if (window) {
        widgets::Widget* found = search(window->Content());
        if (!found && !tag && (control == "ok" || control == "cancel")) {
            const std::optional<int> button = control == "ok" ? window->DefaultButton() : window->CancelButton();
            found = button ? window->FindWidget(*button) : nullptr;
        }
        return found;
    }
    widgets::Widget* found = nullptr;
    widgets::View* foundIn = nullptr;
    widgets::Widget* unfit = nullptr;
    widgets::View* unfitIn = nullptr;
    std::vector<std::string> places;
    for (const auto& panel : dialog_.Panels()) {
        widgets::View* view = panel->panelView();
        if (!view || (only && panel.get() != only)) {
            continue;
        }
        widgets::Widget* here = search(*view);
        if (!here) {
            continue;
        }
        // Where several panels have it, the one that takes the action; where
        // none does, the first, to say what it is.
        if (only || fits(*here)) {
            places.push_back(PanelShortName(*panel) + "/" + control);
            if (!found) {
                found = here;
                foundIn = view;
            }
        } else if (!unfit) {
            unfit = here;
            unfitIn = view;
        }
    }
    if (places.size() > 1) {
        std::string list;
        for (const std::string& place : places) {
            list += (list.empty() ? "" : ", ") + place;
        }
        *problem = "\"" + control + "\" is in more than one panel; name one of " + list;
        return nullptr;
    }
    if (!found) {
        found = unfit;
        foundIn = unfitIn;
    }
    if (!found) {
        return nullptr;
    }
    // Show the page the control is on, as a person would.
    widgets::PopUp* pages = nullptr;
    foundIn->ForEachDescendant([&](widgets::Widget& widget) {
        if (!pages && widget.Name() == kPageListName) {
            pages = widget.As<widgets::PopUp>();
        }
    });
    for (int i = 0; pages && !found->IsShown() && i < pages->ItemCount(); ++i) {
        pages->UserSelect(i);
    }
    return found;
}

bool ScriptRunner::Do(const ScriptStep& step, widgets::Window* window)
{
    if (step.verb == "answer") {
        toolkit_.ScriptAlert(*Number(step.value) - 1);
        return true;
    }
    if (step.verb == "show") {
        // The panel shown again, as when a person comes back to it.
        platform::PDEPanel* panel = window ? nullptr : FindPanel(step.control);
        if (!panel) {
            return Fail(step,
                        window ? "show needs the panels, not a window" : "no panel named \"" + step.control + "\"");
        }
        // The panels left for it keep what they were given, as in the desktop
        // dialog, so that it sees their choices.
        for (const auto& other : dialog_.Panels()) {
            platform::PDEError error;
            if (other.get() != panel && !other->saveValuesAndReturnError(&error)) {
                return Fail(step, other->panelName() + " keeps its window: " + error.message);
            }
        }
        panel->willShow();
        return true;
    }
    const std::string control = step.control.empty() ? step.verb : step.control;
    if ((step.verb == "ok" || step.verb == "cancel" || step.verb == "restore") && !window) {
        return Fail(step, step.verb + " needs an open window");
    }
    // What the action can be done to.
    const std::function<bool(const widgets::Widget&)> fits = [&step](const widgets::Widget& widget) {
        if (step.verb == "choose") {
            return widget.As<widgets::PopUp>() != nullptr;
        }
        if (step.verb == "check" || step.verb == "uncheck") {
            return widget.As<widgets::CheckBox>() != nullptr;
        }
        if (step.verb == "type") {
            return widget.As<widgets::TextField>() != nullptr;
        }
        if (step.verb == "step") {
            return widget.As<widgets::Stepper>() != nullptr;
        }
        return widget.As<widgets::Button>() != nullptr || widget.As<widgets::RadioButton>() != nullptr;
    };
    std::string problem;
    widgets::Widget* widget = Find(control, window, &problem, fits);
    if (!problem.empty()) {
        return Fail(step, problem);
    }
    if (!widget) {
        return Fail(step, "no control named \"" + control + "\"" + (window ? " in \"" + window->Title() + "\"" : ""));
    }
    if (!widget->IsReachable()) {
        return Fail(step, "\"" + control + "\" cannot be used now (hidden or disabled)");
    }
    if (step.verb == "choose") {
        auto* list = widget->As<widgets::PopUp>();
        if (!list) {
            return Fail(step, "\"" + control + "\" is not a list");
        }
        int index = step.value.front() == '#' ? Number(std::string_view(step.value).substr(1)).value_or(0) - 1
                                              : list->IndexOfKey(step.value);
        if (index < 0 && step.value.front() != '#') {
            index = list->IndexOfTitle(step.value);
        }
        if (index < 0 || index >= list->ItemCount()) {
            return Fail(step, "\"" + control + "\" has no item \"" + step.value + "\"");
        }
        if (!list->IsItemEnabled(index)) {
            return Fail(step, "the item \"" + step.value + "\" of \"" + control + "\" cannot be chosen");
        }
        list->UserSelect(index);
        return true;
    }
    if (step.verb == "check" || step.verb == "uncheck") {
        auto* box = widget->As<widgets::CheckBox>();
        if (!box) {
            return Fail(step, "\"" + control + "\" is not a check box");
        }
        if (box->IsOn() != (step.verb == "check")) {
            box->UserClick();
        }
        return true;
    }
    if (step.verb == "type") {
        auto* field = widget->As<widgets::TextField>();
        if (!field) {
            return Fail(step, "\"" + control + "\" is not a text field");
        }
        if (step.value.size() > widgets::TextField::kMaxFieldBytes) {
            return Fail(step, "\"" + control + "\" holds at most " +
                                  std::to_string(widgets::TextField::kMaxFieldBytes) + " bytes of text");
        }
        field->UserClear();
        field->UserType(step.value);
        field->UserPressReturn();
        return true;
    }
    if (step.verb == "step") {
        auto* stepper = widget->As<widgets::Stepper>();
        if (!stepper) {
            return Fail(step, "\"" + control + "\" is not a stepper");
        }
        stepper->UserSetValue(*Number(step.value));
        return true;
    }
    // press, ok, cancel, restore
    if (auto* button = widget->As<widgets::Button>()) {
        button->UserClick();
    } else if (auto* radio = widget->As<widgets::RadioButton>()) {
        radio->UserClick();
    } else {
        return Fail(step, "\"" + control + "\" is not a button");
    }
    return true;
}

}  // namespace zlk::host
