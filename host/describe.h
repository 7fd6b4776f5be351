// What a print dialog shows, as JSON: each panel and each window with
// every control it holds (tag, kind, what it sets, title, state, value).
#pragma once

#include <string>

#include "host/printdialog.h"
#include "platform/widgets/headless.h"

namespace zlk::host {

// {"printer": ..., "panels": [{"name", "kind", "controls": [...],
//  "summary": [{"title", "value"}]}],
//  "windows": [{"title", "controls": [...]}]}; a control is
// {"tag", "kind", "name", "title", "enabled", "visible"} and, by kind,
// "text", "state", "value" (with "min", "max"), or "items" ({"key",
// "title", "enabled"}) with "selected".
std::string DescribeDialog(const PrintDialog& dialog, const widgets::HeadlessToolkit& toolkit,
                           const std::string& printer);

}  // namespace zlk::host
