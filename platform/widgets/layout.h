// Builds widgets from a JSON layout (the bundle's Resources/Layouts/*.json).
//
// A view layout is an array of widget entries, or an object {"widgets": [...]}.
// A window layout is an object {"title": key, "frame": [x, y, w, h],
// "defaultButton": tag, "cancelButton": tag, "keyOrder": [tags], "widgets": [...]},
// every member optional.
//
// Every entry has "kind" and "tag"; all but tab pages have "frame" [x, y, w, h]
// (integers, width and height not negative). Optional everywhere: "title"
// (a localization key), "enabled", "hidden". By kind:
//   view, groupbox   "children": [entries]
//   tabview          "pages": [{"tag", "title", "enabled", "hidden", "children"}], "selected"
//   button, label    -
//   checkbox         "state" (0, 1, -1), "allowsMixed"
//   radio            "state"
//   radiogroup       "cells": [{"tag", "title", "frame", "enabled", "hidden"}], "selected"
//   popup            "items": [key | {"title": key, "key": text, "enabled": bool}], "selected"
//   stepper          "min", "max", "increment", "value"
//   textfield        "text" (literal), "editable", "secure"
// Unknown members are errors, except those whose name begins with "_".
// Non-zero tags must be unique in the layout and in the target view.
//
// Nothing is built unless the whole layout is valid. A layout larger than
// kMaxLayoutBytes, nested deeper than kMaxLayoutNesting arrays and objects, or
// with more than kMaxLayoutWidgets widgets is refused as damaged: ours are a
// few kilobytes, six levels and some dozens of widgets.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/widgets/toolkit.h"
#include "platform/widgets/widget.h"

namespace zlk::widgets {

inline constexpr std::size_t kMaxLayoutBytes = 1u << 20;
inline constexpr std::size_t kMaxLayoutNesting = 64;
inline constexpr std::size_t kMaxLayoutWidgets = 2000;

// Localization key to display text. Null: the keys are shown as they are.
using Localizer = std::function<std::string(const std::string& key)>;

struct LayoutStatus {
    bool ok = true;
    std::string error;  // where and what, e.g. "widgets[2].children[0]: unknown kind \"slider\""
    explicit operator bool() const { return ok; }
};

// Appends the layout's widgets to the view.
LayoutStatus LoadLayout(View& into, std::string_view json, const Localizer& localize);
// Appends the widgets to the window's content and applies the window's settings.
LayoutStatus LoadWindowLayout(Window& window, std::string_view json, const Localizer& localize);
LayoutStatus LoadLayoutFile(View& into, const std::string& path, const Localizer& localize);
LayoutStatus LoadWindowLayoutFile(Window& window, const std::string& path, const Localizer& localize);

}  // namespace zlk::widgets
