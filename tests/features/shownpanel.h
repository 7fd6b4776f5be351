// The features panel as a print dialog shows it: the plug-in loaded with
// dlopen, the panel offered for a sample PPD, restored and shown, and the
// helpers a test uses to act on it as a person would.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/printing/printsettings.h"
#include "platform/widgets/controls.h"
#include "plugin.h"

namespace zlk::test {

namespace fs = std::filesystem;

inline const fs::path kBundle = ZLK_FEATURES_BUNDLE;
inline const fs::path kModule = kBundle / "ZLKFeaturesPDE.so";
inline const fs::path kSamples = ZLK_SAMPLE_PPD_DIR;

inline fs::path Sample(const std::string& model) { return kSamples / ("zelko-mfp-" + model + ".ppd"); }

inline std::vector<std::unique_ptr<platform::PDEPanel>>
PanelsFor(const LoadedPlugin& plugin, Host& host, const std::string& type = platform::kPrintDialogPDEType)
{
    return plugin.get()->PDEPanelsForType(type, host.callback.get());
}

// A copy of a sample PPD in folder with one text replaced.
inline fs::path EditedSample(const fs::path& folder, const std::string& model, const std::string& from,
                             const std::string& to)
{
    std::ifstream in(Sample(model));
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    const auto at = content.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        content.replace(at, from.size(), to);
    }
    const fs::path edited = folder / ("zelko-mfp-" + model + ".ppd");
    std::ofstream(edited) << content;
    return edited;
}

inline constexpr char kTicketPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";

// The panel shown for a printer: offered, keys claimed, built. Ticket
// values given beforehand are there when the panel first restores.
struct ShownPanel {
    // marks: PPD choices the host has marked before the panel is shown.
    explicit ShownPanel(const fs::path& ppd, const std::map<std::string, std::string>& ticket = {},
                        const std::map<std::string, std::string>& marks = {})
        : host(ppd)
    {
        for (const auto& [name, value] : ticket) {
            SetTicket(name, value);
        }
        for (const auto& [option, choice] : marks) {
            // The answer counts conflicts; a test may mark past them.
            ppdMarkOption(host.callback->ppdFile(), option.c_str(), choice.c_str());
        }
        auto panels = PanelsFor(plugin, host);
        EXPECT_EQ(panels.size(), 1u) << ppd;
        if (panels.empty()) {
            return;
        }
        panel = std::move(panels.front());
        keys = panel->supportedPPDOptionKeys();
        EXPECT_NE(panel->panelView(), nullptr);
        platform::PDEError error;
        EXPECT_TRUE(panel->restoreValuesAndReturnError(&error)) << error.message;
        panel->willShow();
    }
    widgets::PopUp* GroupList() const { return panel->panelView()->Find<widgets::PopUp>(2); }
    // The titles of the visible labels and check boxes of each page.
    std::map<std::string, std::vector<std::string>> Pages() const
    {
        std::map<std::string, std::vector<std::string>> pages;
        widgets::PopUp* groups = GroupList();
        auto* box = panel->panelView()->Find<widgets::GroupBox>(3);
        for (int i = 0; i < groups->ItemCount(); ++i) {
            EXPECT_TRUE(groups->UserSelect(i));
            std::vector<std::string>& titles = pages[groups->Item(i).title];
            for (std::size_t c = 0; c < box->ChildCount(); ++c) {
                const widgets::Widget& child = box->ChildAt(c);
                if (!child.IsHidden() && !child.As<widgets::PopUp>()) {
                    titles.push_back(child.Title());
                }
            }
        }
        groups->UserSelect(0);
        return pages;
    }
    void SetTicket(const std::string& name, const std::string& value)
    {
        platform::PMPrintSettingsSetValue(host.callback->printSettings(), (kTicketPrefix + name).c_str(), value.c_str(),
                                          false);
    }
    std::string Ticket(const std::string& name) const
    {
        std::string value;
        platform::PMPrintSettingsGetValue(host.callback->printSettings(), (kTicketPrefix + name).c_str(), &value);
        return value;
    }
    std::string Marked(const char* keyword) const
    {
        const ppd_choice_t* choice = ppdFindMarkedChoice(host.callback->ppdFile(), keyword);
        return choice ? choice->choice : "";
    }
    // The list in the row titled with the option's text.
    widgets::PopUp* ListOf(const char* keyword) const
    {
        const std::string title = OptionTitle(keyword) + ":";
        auto* box = panel->panelView()->Find<widgets::GroupBox>(3);
        const widgets::Widget* label = nullptr;
        for (std::size_t c = 0; c < box->ChildCount() && !label; ++c) {
            if (box->ChildAt(c).Title() == title && box->ChildAt(c).As<widgets::Label>()) {
                label = &box->ChildAt(c);
            }
        }
        if (label) {
            ShowPageOf(label);
        }
        for (std::size_t c = 0; label && c < box->ChildCount(); ++c) {
            auto* list = box->ChildAt(c).As<widgets::PopUp>();
            if (list && !list->IsHidden() && list->Frame().y == label->Frame().y) {
                return list;
            }
        }
        ADD_FAILURE() << "no list for " << keyword;
        return nullptr;
    }
    // Shows the page of the widget, as a person would before using it.
    void ShowPageOf(const widgets::Widget* widget) const
    {
        widgets::PopUp* groups = GroupList();
        for (int i = 0; i < groups->ItemCount() && widget->IsHidden(); ++i) {
            groups->UserSelect(i);
        }
    }
    // Chooses the choice in the option's list as a person would.
    bool Choose(const char* keyword, const char* choice) const
    {
        widgets::PopUp* list = ListOf(keyword);
        return list && list->UserSelect(list->IndexOfKey(choice));
    }
    bool ItemEnabled(const char* keyword, const char* choice) const
    {
        widgets::PopUp* list = ListOf(keyword);
        return list && list->IsItemEnabled(list->IndexOfKey(choice));
    }
    // The job's options as the spooler hands them to the filter: the marked
    // PPD choices and the ticket entries.
    std::string JobOptions() const
    {
        std::string options;
        ppd_file_t* ppd = host.callback->ppdFile();
        for (int g = 0; g < ppd->num_groups; ++g) {
            for (int o = 0; o < ppd->groups[g].num_options; ++o) {
                if (const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, ppd->groups[g].options[o].keyword)) {
                    options += std::string(ppd->groups[g].options[o].keyword) + "=" + marked->choice + " ";
                }
            }
        }
        for (const auto& [key, entry] : host.callback->printSettings()->entries()) {
            options += key + "='" + entry.value + "' ";
        }
        return options;
    }
    // The check box titled with the option's text, its page shown.
    widgets::CheckBox* SwitchOf(const char* keyword) const
    {
        const std::string title = OptionTitle(keyword);
        widgets::CheckBox* found = nullptr;
        panel->panelView()->ForEachDescendant([&](widgets::Widget& widget) {
            if (!found && widget.Title() == title) {
                found = widget.As<widgets::CheckBox>();
            }
        });
        if (found) {
            ShowPageOf(found);
        }
        EXPECT_NE(found, nullptr) << keyword;
        return found;
    }
    // The window titles of the modal runs so far.
    std::vector<std::string> WindowsOpened() const
    {
        std::vector<std::string> titles;
        for (const auto& run : host.toolkit.ModalRuns()) {
            titles.push_back(run.title);
        }
        return titles;
    }
    std::string Text(const char* key) const { return plugin.bundle()->LocalizedString(key, "Localizable01"); }
    std::string OptionTitle(const char* keyword) const
    {
        ppd_option_t* option = ppdFindOption(host.callback->ppdFile(), keyword);
        return option ? option->text : "";
    }
    std::vector<std::string> GroupTitles() const
    {
        std::vector<std::string> titles;
        for (const auto& item : GroupList()->Items()) {
            titles.push_back(item.title);
        }
        return titles;
    }

    LoadedPlugin plugin{kModule, kBundle};
    Host host;
    std::unique_ptr<platform::PDEPanel> panel;
    std::vector<std::string> keys;
};

}  // namespace zlk::test
