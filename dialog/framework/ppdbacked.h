// What every control bound to a PPD option shares, whatever kind of control
// it is: the pop-up list, the check box and the text field (and the
// panel-specific controls derived from them).
#pragma once

#include <cups/ppd.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialog/framework/basecontrol.h"
#include "dialog/framework/printpanel.h"
#include "platform/widgets/widget.h"
#include "ppd/quickxppd.h"

namespace zlk::framework {

// The choice list of an option with the conflict flags of the panel's
// extended-constraint table; empty without the option.
std::vector<ppd::UIListEntry> PPDChoiceList(const BasePrintPanel* panel, ppd_file_t* ppd, const std::string& key);
// Asks the host, through the panel's callback, to mark the choice; false
// when there is no host or it refuses.
bool AskHostToMark(const BasePrintPanel* panel, const std::string& option, const std::string& choice);

// What a PPD-backed control reads from its option.
struct PPDOptionRead {
    std::vector<ppd::UIListEntry> choiceList;
    ppd_option_t* option = nullptr;  // the host's; null without the option
    std::vector<PDEChoice> choices;
    std::string title;  // the option's translated text; empty without one
    std::optional<std::string> defaultChoice;  // the default choice keyword
};
PPDOptionRead ReadPPDOption(const BasePrintPanel* panel, ppd_file_t* ppd, const std::string& key);

// A control kind bound to the PPD option kPPDMainKey. It promises one way
// of reading the option (the choice list ctrlPPDInfoArrayRef with conflict
// flags, m_ptPPDOptions and m_paPPDChoices, the title and the default) and
// one way of changing it: asking the host, which may refuse. The PPD is
// the host's: the control never marks it itself. A template over the kind
// it extends, so that each kind keeps its own widget behaviour and the
// panels' own controls reach these fields by name.
template <class Kind>
class PPDBacked : public Kind {
public:
    const std::vector<ppd::UIListEntry>& GetChoiceList() const { return ctrlPPDInfoArrayRef; }

protected:
    // The kind's own creation arguments follow the widget and the keyword.
    template <class... KindArgs>
    PPDBacked(widgets::Widget* widget, std::string ppdKey, KindArgs&&... kindArgs)
        : Kind(widget, std::forward<KindArgs>(kindArgs)...),
          kPPDMainKey(std::move(ppdKey))
    {
        // Hosts name the widget by the option it sets.
        if (widget) {
            widget->SetName(kPPDMainKey);
        }
    }

    // The PPD the control works on: its panel's, else the host's.
    ppd_file_t* PanelPPD() const { return PPDOf(this->ctrlParentPanelPtr); }
    // Refreshes the choice list and its conflict flags from the PPD's marks.
    void RebuildChoiceList(ppd_file_t* ppd)
    {
        ctrlPPDInfoArrayRef = PPDChoiceList(this->ctrlParentPanelPtr, ppd, kPPDMainKey);
    }
    // Reads the option into the choice list, m_ptPPDOptions and
    // m_paPPDChoices; the title and the default are the caller's to place.
    PPDOptionRead ReadOption(ppd_file_t* ppd)
    {
        PPDOptionRead read = ReadPPDOption(this->ctrlParentPanelPtr, ppd, kPPDMainKey);
        ctrlPPDInfoArrayRef = std::move(read.choiceList);
        this->m_ptPPDOptions = read.option;
        this->m_paPPDChoices = std::move(read.choices);
        return read;
    }
    // The option's keyword as the PPD spells it (the lookup ignores case),
    // kPPDMainKey before the option was read.
    std::string OptionKeyword() const { return this->m_ptPPDOptions ? this->m_ptPPDOptions->keyword : kPPDMainKey; }
    bool AskHostToMark(const std::string& option, const std::string& choice) const
    {
        return framework::AskHostToMark(this->ctrlParentPanelPtr, option, choice);
    }
    // For run-time laid-out kinds, whose one widget stands for the whole
    // option: each choice's flag is applied to the widget in turn, so the
    // flag of the option's last choice decides whether it is enabled.
    void EnableByLastChoiceFlag()
    {
        for (const auto& entry : ctrlPPDInfoArrayRef) {
            if (this->ControlPtr) {
                this->ControlPtr->SetEnabled(entry[3] != ppd::kConflictTrue);
            }
        }
    }

    std::string kPPDMainKey;
    std::vector<ppd::UIListEntry> ctrlPPDInfoArrayRef;
};

}  // namespace zlk::framework
