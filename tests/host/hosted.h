// A print dialog as zlk-print runs one: the plug-ins of the build loaded
// from their bundles over a PPD, every panel restored and shown by the host
// library, then a script played on the panels and their windows. Tests
// look at what the host would describe and what it would send.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/describe.h"
#include "host/printdialog.h"
#include "host/script.h"
#include "platform/widgets/headless.h"
#include "testpdf.h"

namespace zlk::test {

inline std::string SamplePPDPath(const std::string& model)
{
    return std::string(ZLK_SAMPLE_PPD_DIR) + "/zelko-mfp-" + model + ".ppd";
}

// A copy of a PPD with each line that starts with a key of edits replaced
// by its value (an empty value drops the line).
inline std::string EditedPPD(const TempDir& dir, const std::string& from,
                             const std::vector<std::pair<std::string, std::string>>& edits)
{
    std::ifstream in(from);
    static int copies = 0;
    const std::string path = dir.file("edited-" + std::to_string(++copies) + ".ppd");
    std::ofstream out(path);
    for (std::string line; std::getline(in, line);) {
        bool replaced = false;
        for (const auto& [start, with] : edits) {
            if (!replaced && line.rfind(start, 0) == 0) {
                replaced = true;
                if (!with.empty()) {
                    out << with << '\n';
                }
            }
        }
        if (!replaced) {
            out << line << '\n';
        }
    }
    return path;
}

class HostedDialog {
public:
    HostedDialog(const std::string& ppd, std::vector<host::JobOption> initial = {}, const std::string& script = "",
                 const std::filesystem::path& plugins = ZLK_PLUGIN_BUILD_DIR)
    {
        host::PrintDialog::Setup setup;
        setup.queue = "office";
        setup.ppd = ppd;
        setup.initial = std::move(initial);
        setup.settingsFolder = std::filesystem::path(dir.path()) / "settings";
        setup.pluginFolders = {plugins};
        setup.toolkit = &toolkit;
        dialog = host::PrintDialog::Open(setup, &error);
        if (!dialog) {
            ADD_FAILURE() << error;
            return;
        }
        dialog->Restore();
        const auto steps = host::ParseScript(script, &error);
        if (!steps) {
            ADD_FAILURE() << error;
            return;
        }
        runner = std::make_unique<host::ScriptRunner>(toolkit, *dialog, *steps);
        if (!runner->RunPanelSteps()) {
            error = runner->Error();
        }
    }

    // The first control of that tag or name, panels before windows; null
    // when there is none.
    nlohmann::json Control(const std::string& tagOrName) const
    {
        const nlohmann::json description =
            nlohmann::json::parse(host::DescribeDialog(*dialog, toolkit, "printer"), nullptr, false);
        for (const char* part : {"panels", "windows"}) {
            for (const auto& shown : description[part]) {
                for (const auto& control : shown["controls"]) {
                    if (std::to_string(control["tag"].get<int>()) == tagOrName || control["name"] == tagOrName) {
                        return control;
                    }
                }
            }
        }
        return nullptr;
    }

    // Whether an item of a list can be chosen; null when there is no such item.
    std::optional<bool> ItemEnabled(const std::string& list, const std::string& key) const
    {
        const nlohmann::json control = Control(list);
        for (const auto& item : control.value("items", nlohmann::json::array())) {
            if (item["key"] == key) {
                return item["enabled"].get<bool>();
            }
        }
        return std::nullopt;
    }

    // What the job would carry once every panel agreed to print.
    std::map<std::string, std::string> JobOptions()
    {
        EXPECT_TRUE(dialog->Print());
        const std::vector<host::JobOption> options = dialog->JobOptions();
        return {options.begin(), options.end()};
    }

    TempDir dir;
    widgets::HeadlessToolkit toolkit;
    std::unique_ptr<host::PrintDialog> dialog;
    std::unique_ptr<host::ScriptRunner> runner;
    std::string error;  // why the dialog or the script failed
};

}  // namespace zlk::test
