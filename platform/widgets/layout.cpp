#include "platform/widgets/layout.h"

#include <climits>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/jsonnesting.h"
#include "common/regularfile.h"

namespace zlk::widgets {

namespace {

using Json = nlohmann::json;
using WidgetList = std::vector<std::unique_ptr<Widget>>;

const std::initializer_list<const char*> kCommonMembers = {"kind", "tag", "title", "frame", "enabled", "hidden"};

Widget* FindIn(const WidgetList& widgets, int tag)
{
    for (const auto& w : widgets) {
        if (w->Tag() == tag) {
            return w.get();
        }
        if (Widget* found = w->FindWidget(tag)) {
            return found;
        }
    }
    return nullptr;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Builds widgets from layout entries; the first error found is kept and
// stops the building.
class Builder {
public:
    Builder(Toolkit& toolkit, const Localizer& localize, std::set<int> takenTags)
        : toolkit_(toolkit),
          localize_(localize),
          tags_(std::move(takenTags))
    {}

    const std::string& Error() const { return error_; }

    bool BuildList(const Json& list, const std::string& where, WidgetList& out)
    {
        if (!list.is_array()) {
            return Fail(where, "must be an array of widgets");
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            auto widget = BuildEntry(list[i], where + "[" + std::to_string(i) + "]");
            if (!widget) {
                return false;
            }
            out.push_back(std::move(widget));
        }
        return true;
    }

    bool Fail(const std::string& where, const std::string& what)
    {
        if (error_.empty()) {
            error_ = where + ": " + what;
        }
        return false;
    }

    bool CheckMembers(const Json& object, const std::string& where, std::initializer_list<const char*> allowed,
                      std::initializer_list<const char*> more = {})
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const std::string& name = it.key();
            if (name.starts_with("_")) {
                continue;
            }
            bool known = false;
            for (const auto& list : {allowed, more}) {
                for (const char* candidate : list) {
                    known = known || name == candidate;
                }
            }
            if (!known) {
                return Fail(where, "unknown member " + Quoted(name));
            }
        }
        return true;
    }

    // Leaves out unchanged when the member is absent and not required.
    bool GetInt(const Json& object, const char* name, const std::string& where, int& out, bool required = false)
    {
        const auto it = object.find(name);
        if (it == object.end()) {
            return !required || Fail(where, std::string("missing ") + Quoted(name));
        }
        if (!it->is_number_integer() || (it->is_number_unsigned() && it->get<unsigned long long>() > INT_MAX) ||
            (!it->is_number_unsigned() && (it->get<long long>() < INT_MIN || it->get<long long>() > INT_MAX))) {
            return Fail(where, Quoted(name) + " must be a 32-bit integer");
        }
        out = static_cast<int>(it->get<long long>());
        return true;
    }

    bool GetBool(const Json& object, const char* name, const std::string& where, bool& out)
    {
        const auto it = object.find(name);
        if (it == object.end()) {
            return true;
        }
        if (!it->is_boolean()) {
            return Fail(where, Quoted(name) + " must be true or false");
        }
        out = it->get<bool>();
        return true;
    }

    bool GetString(const Json& object, const char* name, const std::string& where, std::string& out)
    {
        const auto it = object.find(name);
        if (it == object.end()) {
            return true;
        }
        if (!it->is_string()) {
            return Fail(where, Quoted(name) + " must be a string");
        }
        out = it->get<std::string>();
        return true;
    }

    bool GetTitle(const Json& object, const std::string& where, std::string& out)
    {
        std::string key;
        if (!GetString(object, "title", where, key)) {
            return false;
        }
        out = Localize(key);
        return true;
    }

    bool GetFrame(const Json& object, const std::string& where, Rect& out, bool required)
    {
        const auto it = object.find("frame");
        if (it == object.end()) {
            return !required || Fail(where, "missing \"frame\"");
        }
        const char* bad = "\"frame\" must be [x, y, width, height]: four integers, width and height not negative";
        if (!it->is_array() || it->size() != 4) {
            return Fail(where, bad);
        }
        int values[4] = {};
        for (std::size_t i = 0; i < 4; ++i) {
            const Json& v = (*it)[i];
            if (!v.is_number_integer() || v.get<long long>() < INT_MIN || v.get<long long>() > INT_MAX ||
                (v.is_number_unsigned() && v.get<unsigned long long>() > INT_MAX)) {
                return Fail(where, bad);
            }
            values[i] = static_cast<int>(v.get<long long>());
        }
        if (values[2] < 0 || values[3] < 0) {
            return Fail(where, bad);
        }
        out = {values[0], values[1], values[2], values[3]};
        return true;
    }

    bool ClaimTag(int tag, const std::string& where)
    {
        if (tag != 0 && !tags_.insert(tag).second) {
            return Fail(where, "tag " + std::to_string(tag) + " is used twice");
        }
        return true;
    }

    std::string Localize(const std::string& key) const
    {
        if (key.empty() || !localize_) {
            return key;
        }
        return localize_(key);
    }

    std::unique_ptr<Widget> BuildEntry(const Json& entry, const std::string& where);

private:
    // The members every widget entry has.
    struct Common {
        std::string kind;
        int tag = 0;
        std::string title;
        Rect frame;
        bool enabled = true;
        bool hidden = false;
    };

    bool ReadCommon(const Json& entry, const std::string& where, Common& common, bool frameRequired = true)
    {
        return GetInt(entry, "tag", where, common.tag, true) && ClaimTag(common.tag, where) &&
               GetTitle(entry, where, common.title) && GetFrame(entry, where, common.frame, frameRequired) &&
               GetBool(entry, "enabled", where, common.enabled) && GetBool(entry, "hidden", where, common.hidden);
    }

    static void ApplyCommon(Widget& widget, const Common& common)
    {
        widget.SetTitle(common.title);
        widget.SetEnabled(common.enabled);
        widget.SetHidden(common.hidden);
    }

    bool AddChildren(View& view, const Json& entry, const std::string& where)
    {
        const auto it = entry.find("children");
        if (it == entry.end()) {
            return true;
        }
        WidgetList children;
        if (!BuildList(*it, where + ".children", children)) {
            return false;
        }
        for (auto& child : children) {
            view.Add(std::move(child));
        }
        return true;
    }

    // Calls add(element, at) for each element of an array member, at naming
    // the element in messages; stops at the first element that fails.
    template <class Add>
    bool EachElement(const Json& array, const std::string& where, const char* member, Add add)
    {
        for (std::size_t i = 0; i < array.size(); ++i) {
            const std::string at = where + "." + member + "[" + std::to_string(i) + "]";
            if (!Count(at) || !add(array[i], at)) {
                return false;
            }
        }
        return true;
    }

    // Widgets, pages, cells and items together.
    bool Count(const std::string& where)
    {
        return ++built_ <= kMaxLayoutWidgets ||
               Fail(where, "damaged layout: more than " + std::to_string(kMaxLayoutWidgets) + " widgets and items");
    }

    bool IsObject(const Json& element, const std::string& at, const char* otherwise)
    {
        return element.is_object() || Fail(at, otherwise);
    }

    // Selects the entry's "selected" index in a list widget, or keeps the
    // given one when the member is absent.
    template <class ListWidget>
    bool ReadSelection(const Json& entry, const std::string& where, ListWidget& widget, int selected,
                       const char* otherwise)
    {
        return GetInt(entry, "selected", where, selected) && (widget.Select(selected) || Fail(where, otherwise));
    }

    std::unique_ptr<Widget> BuildTabView(const Json& entry, const std::string& where, const Common& common);
    std::unique_ptr<Widget> BuildRadioGroup(const Json& entry, const std::string& where, const Common& common);
    std::unique_ptr<Widget> BuildPopUp(const Json& entry, const std::string& where, const Common& common);
    std::unique_ptr<Widget> BuildStepper(const Json& entry, const std::string& where, const Common& common);

    Toolkit& toolkit_;
    const Localizer& localize_;
    std::set<int> tags_;
    std::string error_;
    std::size_t built_ = 0;
};

std::unique_ptr<Widget> Builder::BuildEntry(const Json& entry, const std::string& where)
{
    if (!entry.is_object()) {
        Fail(where, "a widget must be an object");
        return nullptr;
    }
    Common common;
    const auto kind = entry.find("kind");
    if (kind == entry.end() || !kind->is_string()) {
        Fail(where, "missing \"kind\"");
        return nullptr;
    }
    if (!Count(where)) {
        return nullptr;
    }
    common.kind = kind->get<std::string>();
    const std::string& k = common.kind;
    const std::string at = where + " (" + k + ")";

    std::unique_ptr<Widget> built;
    if (k == "view" || k == "groupbox") {
        if (!CheckMembers(entry, at, kCommonMembers, {"children"}) || !ReadCommon(entry, at, common)) {
            return nullptr;
        }
        std::unique_ptr<View> view;
        if (k == "view") {
            view = toolkit_.CreateView(common.tag, common.frame);
        } else {
            view = toolkit_.CreateGroupBox(common.tag, common.title, common.frame);
        }
        if (!AddChildren(*view, entry, where)) {
            return nullptr;
        }
        built = std::move(view);
    } else if (k == "button" || k == "label") {
        if (!CheckMembers(entry, at, kCommonMembers) || !ReadCommon(entry, at, common)) {
            return nullptr;
        }
        if (k == "button") {
            built = toolkit_.CreateButton(common.tag, common.title, common.frame);
        } else {
            built = toolkit_.CreateLabel(common.tag, common.title, common.frame);
        }
    } else if (k == "checkbox") {
        int state = kStateOff;
        bool allowsMixed = false;
        if (!CheckMembers(entry, at, kCommonMembers, {"state", "allowsMixed"}) || !ReadCommon(entry, at, common) ||
            !GetInt(entry, "state", at, state) || !GetBool(entry, "allowsMixed", at, allowsMixed)) {
            return nullptr;
        }
        if (state < kStateMixed || state > kStateOn || (state == kStateMixed && !allowsMixed)) {
            Fail(at, "\"state\" must be 0, 1, or -1 with \"allowsMixed\"");
            return nullptr;
        }
        auto box = toolkit_.CreateCheckBox(common.tag, common.title, common.frame);
        box->SetAllowsMixed(allowsMixed);
        box->SetState(state);
        built = std::move(box);
    } else if (k == "radio") {
        int state = kStateOff;
        if (!CheckMembers(entry, at, kCommonMembers, {"state"}) || !ReadCommon(entry, at, common) ||
            !GetInt(entry, "state", at, state)) {
            return nullptr;
        }
        if (state != kStateOff && state != kStateOn) {
            Fail(at, "\"state\" must be 0 or 1");
            return nullptr;
        }
        auto radio = toolkit_.CreateRadioButton(common.tag, common.title, common.frame);
        radio->SetState(state);
        built = std::move(radio);
    } else if (k == "textfield") {
        std::string text;
        bool editable = true;
        bool secure = false;
        if (!CheckMembers(entry, at, kCommonMembers, {"text", "editable", "secure"}) ||
            !ReadCommon(entry, at, common) || !GetString(entry, "text", at, text) ||
            !GetBool(entry, "editable", at, editable) || !GetBool(entry, "secure", at, secure)) {
            return nullptr;
        }
        auto field = toolkit_.CreateTextField(common.tag, common.frame);
        field->SetText(std::move(text));
        field->SetEditable(editable);
        field->SetSecure(secure);
        built = std::move(field);
    } else if (k == "tabview") {
        if (!CheckMembers(entry, at, kCommonMembers, {"pages", "selected"}) || !ReadCommon(entry, at, common)) {
            return nullptr;
        }
        built = BuildTabView(entry, where, common);
    } else if (k == "radiogroup") {
        if (!CheckMembers(entry, at, kCommonMembers, {"cells", "selected"}) || !ReadCommon(entry, at, common)) {
            return nullptr;
        }
        built = BuildRadioGroup(entry, where, common);
    } else if (k == "popup") {
        if (!CheckMembers(entry, at, kCommonMembers, {"items", "selected"}) || !ReadCommon(entry, at, common)) {
            return nullptr;
        }
        built = BuildPopUp(entry, at, common);
    } else if (k == "stepper") {
        if (!CheckMembers(entry, at, kCommonMembers, {"min", "max", "increment", "value"}) ||
            !ReadCommon(entry, at, common)) {
            return nullptr;
        }
        built = BuildStepper(entry, at, common);
    } else {
        Fail(where, "unknown kind " + Quoted(k));
        return nullptr;
    }
    if (built) {
        ApplyCommon(*built, common);
    }
    return built;
}

std::unique_ptr<Widget> Builder::BuildTabView(const Json& entry, const std::string& where, const Common& common)
{
    auto tabs = toolkit_.CreateTabView(common.tag, common.frame);
    const Json empty = Json::array();
    const auto found = entry.find("pages");
    const Json& pages = found != entry.end() ? *found : empty;
    if (!pages.is_array()) {
        Fail(where, "\"pages\" must be an array");
        return nullptr;
    }
    const bool built = EachElement(pages, where, "pages", [&](const Json& page, const std::string& at) {
        Common pageCommon;
        if (!IsObject(page, at, "a page must be an object") ||
            !CheckMembers(page, at, {"tag", "title", "enabled", "hidden", "children"}) ||
            !ReadCommon(page, at, pageCommon, false)) {
            return false;
        }
        TabPage& added = tabs->AddPage(pageCommon.title, pageCommon.tag);
        ApplyCommon(added, pageCommon);
        return AddChildren(added, page, at);
    });
    int selected = tabs->SelectedIndex();
    if (!built || !GetInt(entry, "selected", where, selected)) {
        return nullptr;
    }
    // No page to select is fine while there are no pages.
    if (selected < 0 || !tabs->Select(selected)) {
        if (tabs->PageCount() > 0 || selected != -1) {
            Fail(where, "\"selected\" must name a page");
            return nullptr;
        }
    }
    return tabs;
}

std::unique_ptr<Widget> Builder::BuildRadioGroup(const Json& entry, const std::string& where, const Common& common)
{
    auto group = toolkit_.CreateRadioGroup(common.tag, common.frame);
    const auto cells = entry.find("cells");
    if (cells == entry.end() || !cells->is_array() || cells->empty()) {
        Fail(where, "\"cells\" must be a non-empty array");
        return nullptr;
    }
    const bool built = EachElement(*cells, where, "cells", [&](const Json& cell, const std::string& at) {
        Common cellCommon;
        if (!IsObject(cell, at, "a cell must be an object") ||
            !CheckMembers(cell, at, {"tag", "title", "frame", "enabled", "hidden"}) ||
            !ReadCommon(cell, at, cellCommon)) {
            return false;
        }
        RadioButton& added = group->AddCell(cellCommon.tag, cellCommon.title, cellCommon.frame);
        ApplyCommon(added, cellCommon);
        return true;
    });
    if (!built || !ReadSelection(entry, where, *group, -1, "\"selected\" must be -1 or name a cell")) {
        return nullptr;
    }
    return group;
}

std::unique_ptr<Widget> Builder::BuildPopUp(const Json& entry, const std::string& where, const Common& common)
{
    auto popup = toolkit_.CreatePopUp(common.tag, common.frame);
    const auto items = entry.find("items");
    if (items != entry.end()) {
        if (!items->is_array()) {
            Fail(where, "\"items\" must be an array");
            return nullptr;
        }
        const bool built = EachElement(*items, where, "items", [&](const Json& item, const std::string& at) {
            if (item.is_string()) {
                popup->AddItem(Localize(item.get<std::string>()));
                return true;
            }
            std::string title;
            std::string key;
            bool enabled = true;
            if (!IsObject(item, at, "an item must be a title key or an object") ||
                !CheckMembers(item, at, {"title", "key", "enabled"}) || !GetTitle(item, at, title) ||
                !GetString(item, "key", at, key) || !GetBool(item, "enabled", at, enabled)) {
                return false;
            }
            popup->AddItem(std::move(title), std::move(key), enabled);
            return true;
        });
        if (!built) {
            return nullptr;
        }
    }
    if (!ReadSelection(entry, where, *popup, popup->SelectedIndex(), "\"selected\" must be -1 or name an item")) {
        return nullptr;
    }
    return popup;
}

std::unique_ptr<Widget> Builder::BuildStepper(const Json& entry, const std::string& where, const Common& common)
{
    int min = 0;
    int max = 100;
    int increment = 1;
    if (!GetInt(entry, "min", where, min) || !GetInt(entry, "max", where, max) ||
        !GetInt(entry, "increment", where, increment)) {
        return nullptr;
    }
    int value = min;
    if (!GetInt(entry, "value", where, value)) {
        return nullptr;
    }
    if (min > max) {
        Fail(where, "\"min\" is above \"max\"");
        return nullptr;
    }
    if (increment < 1) {
        Fail(where, "\"increment\" must be 1 or more");
        return nullptr;
    }
    if (value < min || value > max) {
        Fail(where, "\"value\" lies outside \"min\"..\"max\"");
        return nullptr;
    }
    auto stepper = toolkit_.CreateStepper(common.tag, common.frame, min, max, increment);
    stepper->SetValue(value);
    return stepper;
}

std::set<int> TagsIn(const Widget& root)
{
    std::set<int> tags;
    root.ForEachDescendant([&](Widget& w) {
        if (w.Tag() != 0) {
            tags.insert(w.Tag());
        }
    });
    return tags;
}

// The widget list of a view layout: the document itself or its "widgets".
const Json* WidgetsOf(const Json& doc, Builder& builder, std::initializer_list<const char*> members)
{
    static const Json kNone = Json::array();
    if (doc.is_array()) {
        return &doc;
    }
    if (!doc.is_object()) {
        builder.Fail("layout", "must be an array of widgets or an object");
        return nullptr;
    }
    if (!builder.CheckMembers(doc, "layout", members)) {
        return nullptr;
    }
    const auto it = doc.find("widgets");
    return it != doc.end() ? &*it : &kNone;
}

LayoutStatus Failed(std::string error) { return {false, std::move(error)}; }

bool ReadFile(const std::string& path, std::string& text)
{
    return common::ReadRegularFile(path, kMaxLayoutBytes, text) == common::FileRead::ok;
}

// Loads the layout file at path with load; an error names the file.
template <class Target>
LayoutStatus LoadFile(Target& target, const std::string& path, const Localizer& localize,
                      LayoutStatus (*load)(Target&, std::string_view, const Localizer&))
{
    std::string text;
    if (!ReadFile(path, text)) {
        return Failed("cannot read layout " + path);
    }
    LayoutStatus status = load(target, text, localize);
    if (!status) {
        status.error = path + ": " + status.error;
    }
    return status;
}

// Runs load on the parsed layout; a parse error, or any other exception,
// becomes the status here, so none leaves the loader.
template <class Load>
LayoutStatus WithParsed(std::string_view json, Load load)
{
    // Bounded before parsing: the builder and the JSON library walk a
    // layout recursively, and each widget costs the toolkit memory.
    if (json.size() > kMaxLayoutBytes) {
        return Failed("damaged layout: larger than " + std::to_string(kMaxLayoutBytes) + " bytes");
    }
    if (common::JsonNestingDepth(json) > kMaxLayoutNesting) {
        return Failed("damaged layout: nested deeper than " + std::to_string(kMaxLayoutNesting) + " levels");
    }
    try {
        return load(Json::parse(json));
    } catch (const Json::exception& e) {
        return Failed(std::string("layout is not valid JSON: ") + e.what());
    } catch (const std::exception& e) {
        return Failed(std::string("layout: ") + e.what());
    }
}

}  // namespace

LayoutStatus LoadLayout(View& into, std::string_view json, const Localizer& localize)
{
    return WithParsed(json, [&](const Json& doc) -> LayoutStatus {
        Builder builder(into.GetToolkit(), localize, TagsIn(into));
        WidgetList widgets;
        const Json* list = WidgetsOf(doc, builder, {"widgets"});
        if (list == nullptr || !builder.BuildList(*list, "widgets", widgets)) {
            return Failed(builder.Error());
        }
        for (auto& widget : widgets) {
            into.Add(std::move(widget));
        }
        return {};
    });
}

LayoutStatus LoadWindowLayout(Window& window, std::string_view json, const Localizer& localize)
{
    return WithParsed(json, [&](const Json& doc) -> LayoutStatus {
        Builder builder(window.GetToolkit(), localize, TagsIn(window.Content()));
        if (!doc.is_object()) {
            return Failed("layout: a window layout must be an object");
        }
        const Json* list =
            WidgetsOf(doc, builder, {"title", "frame", "defaultButton", "cancelButton", "keyOrder", "widgets"});
        WidgetList widgets;
        std::string title = window.Title();
        Rect frame = window.Frame();
        std::optional<int> buttons[2];
        std::vector<int> keyOrder;
        if (list == nullptr || !builder.BuildList(*list, "widgets", widgets) ||
            (doc.contains("title") && !builder.GetTitle(doc, "layout", title)) ||
            !builder.GetFrame(doc, "layout", frame, false)) {
            return Failed(builder.Error());
        }
        const char* buttonNames[2] = {"defaultButton", "cancelButton"};
        for (int i = 0; i < 2; ++i) {
            if (!doc.contains(buttonNames[i])) {
                continue;
            }
            int tag = 0;
            if (!builder.GetInt(doc, buttonNames[i], "layout", tag)) {
                return Failed(builder.Error());
            }
            Widget* button = FindIn(widgets, tag);
            button = button != nullptr ? button : window.FindWidget(tag);
            if (button == nullptr || button->GetKind() != Kind::Button) {
                return Failed("layout: \"" + std::string(buttonNames[i]) + "\" names no button");
            }
            buttons[i] = tag;
        }
        if (const auto order = doc.find("keyOrder"); order != doc.end()) {
            if (!order->is_array()) {
                return Failed("layout: \"keyOrder\" must be an array of tags");
            }
            for (const Json& tag : *order) {
                if (!tag.is_number_integer() || tag.get<long long>() < INT_MIN || tag.get<long long>() > INT_MAX) {
                    return Failed("layout: \"keyOrder\" must be an array of tags");
                }
                const int value = static_cast<int>(tag.get<long long>());
                if (FindIn(widgets, value) == nullptr && window.FindWidget(value) == nullptr) {
                    return Failed("layout: \"keyOrder\" names tag " + std::to_string(value) + ", which no widget has");
                }
                keyOrder.push_back(value);
            }
        }
        for (auto& widget : widgets) {
            window.Content().Add(std::move(widget));
        }
        window.SetTitle(std::move(title));
        window.SetFrame(frame);
        if (buttons[0]) {
            window.SetDefaultButton(buttons[0]);
        }
        if (buttons[1]) {
            window.SetCancelButton(buttons[1]);
        }
        if (!keyOrder.empty()) {
            window.SetKeyOrder(std::move(keyOrder));
        }
        return {};
    });
}

LayoutStatus LoadLayoutFile(View& into, const std::string& path, const Localizer& localize)
{
    return LoadFile(into, path, localize, LoadLayout);
}

LayoutStatus LoadWindowLayoutFile(Window& window, const std::string& path, const Localizer& localize)
{
    return LoadFile(window, path, localize, LoadWindowLayout);
}

}  // namespace zlk::widgets
