// The controls of the features panel: the group selector, the PPD lists and
// check boxes with the panel's three rules (save to mailbox, special pages,
// watermark), the cover, separator, eject, trimmer and offset stacking
// lists, the booklet margin switch and the setup buttons.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dialog/features/featuretables.h"
#include "dialog/framework/controls.h"

namespace zlk::features {

using framework::AccessInfo;
using framework::BaseControl;
using framework::CheckBoxIniData;
using framework::ConstraintInfo;
using framework::OrderArray;
using framework::PopupIniData;
using framework::PPDCtrlPositionData;
using framework::SummaryDictionary;

class PrintFeaturesPDE;

// Which of the panel's rules hold for a keyword right now.
struct PanelRules {
    bool mailbox = false;  // disabled while saving to a mailbox
    bool mailboxRestore = false;  // disabled and shown at the default, likewise
    bool specialPage = false;  // disabled and at the default while special pages exist
    bool watermark = false;  // disabled and at the default while a watermark is set
    bool AnyRestore() const { return mailboxRestore || specialPage || watermark; }
    bool AnyDisable() const { return mailbox || AnyRestore(); }
};
// No rule holds without a features panel.
PanelRules RulesFor(const framework::BasePrintPanel* panel, std::string_view keyword);

// The ticket values another panel of the print dialog writes: lists of PPD
// choice names, separated by commas or white space.
std::vector<std::string> ReadChoiceNameList(const framework::BasePrintPanel* panel, const char* key);

// The page sizes, media types and media colours another panel lists in the
// ticket; a choice is refused when the extended constraints tie it to any.
struct TicketMedia {
    explicit TicketMedia(const framework::BasePrintPanel* panel);
    // key: "option:choice" of the choice asked about.
    bool Refuses(const ppd::XConstraintTable* table, const std::string& key, ppd_file_t* ppd) const;
    std::vector<std::string> pageSizes;
    std::vector<std::string> mediaTypes;
    std::vector<std::string> mediaColors;
};

// Where a run-time control goes: its row in the page, its page number (the
// group number) and the group box holding every PPD control.
struct RowPlace {
    widgets::GroupBox* groupBox = nullptr;
    int index = 0;
    int group = 0;
    PPDCtrlPositionData position;
};

// A PPD list or check box under the panel's rules: while a rule restores
// the default, the control's value is the default.
template <class Base>
class PanelRuled : public Base {
public:
    using Base::Base;
    bool GetValueToPreset() override
    {
        const bool read = Base::GetValueToPreset();
        if (Rules().AnyRestore()) {
            this->SetControlValueToDefault();
        }
        return read;
    }

protected:
    PanelRules Rules() const { return RulesFor(this->ctrlParentPanelPtr, this->kPPDMainKey); }
    // Takes the widget's value unless skipWidget; under a restore rule the
    // default is taken first, so a skipped widget leaves the default.
    void TakeValueUnderRules(bool skipWidget)
    {
        if (Rules().AnyRestore()) {
            this->SetControlValueToDefault();
        }
        if (!skipWidget) {
            Base::SetValueFromUIToControl();
        }
    }
};

// The group selector: one item per group title; choosing a group shows that
// group's controls and hides all others. It is never hidden itself and
// gives no summary.
class PFGroupList : public framework::PopupControl {
public:
    explicit PFGroupList(widgets::Widget* widget);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int DoControlHideConstrain() override;
    void PPDCtrlShow() override {}
    void PPDCtrlHide() override {}
    int GetSummaryText(SummaryDictionary&, OrderArray&) override { return 0; }
    // The list always shows a group: a value of no group (none stored yet)
    // shows the first, not an empty panel.
    void ShowValue(std::int32_t value) override;
};

// The base of every PPD list of the panel. The host is asked to mark the
// chosen choice when the ticket is written, and only when the user changed
// it since the last write: true when the host accepted.
class PFBasePPDPopupListExt : public framework::PPDPopupControlExt {
public:
    PFBasePPDPopupListExt(const RowPlace& place, ControlID tag, std::string ppdKey, const ConstraintInfo* constraint,
                          const AccessInfo* access, int totalLength, int titleLength, BaseControl* title);
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;

protected:
    bool MarkChangedChoice();
    BaseControl* title_;  // the row's title control, owned by the panel
};

// Every pick-one PPD option: its items are disabled by the extended
// constraints against the media lists of the ticket and by the interposer,
// and the whole list by the panel's rules.
class PFList : public PanelRuled<PFBasePPDPopupListExt> {
public:
    using PanelRuled::PanelRuled;
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    void SetValueFromUIToControl() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;

protected:
    void DisableWithTitle();
};

class PFCoverList : public PFList {
public:
    PFCoverList(const RowPlace& place, ControlID ctrlTag, std::string ppdKey, int totalLength, int titleLength,
                BaseControl* title);
    ControlID controlTag;
};

// The separator list: a choice other than the first opens the separator
// window; its ticket key is written with each accepted mark.
class PFListExt : public PFCoverList {
public:
    PFListExt(const RowPlace& place, std::string ppdKey, int totalLength, int titleLength, BaseControl* title,
              framework::PopupWinInPanel* separatorWindow);
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
    bool UIEventHandler() override;

private:
    framework::PopupWinInPanel* separatorWindow_;
};

// The cover media type list: enabled only while a cover, back cover or
// separator list stands at "MSI".
class PFCoverTypeList : public PFList {
public:
    PFCoverTypeList(const RowPlace& place, std::string ppdKey, int totalLength, int titleLength, BaseControl* title);
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    bool GetValueToPreset() override;
    bool isDisabledAndRestoreDefault() const;

    std::vector<ControlID> ctrlBringConsArray;

private:
    // Asks the host to mark the default choice.
    void RestoreDefault();
};

// A list whose choice also travels as ticket text: the eject options, the
// trimmer selection and the offset stacking lists.
class PFTicketList : public PFList {
public:
    using PFList::PFList;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
};
class PFEjectOptionsListCtrl : public PFTicketList {
public:
    using PFTicketList::PFTicketList;
};
class KPFTRIMMERLISTCTRL : public PFTicketList {
public:
    using PFTicketList::PFTicketList;
};
// The fourth and fifth choices open the offset per page and per copy windows.
class PFOffsetStackingListCtrl : public PFTicketList {
public:
    PFOffsetStackingListCtrl(const RowPlace& place, std::string ppdKey, int totalLength, int titleLength,
                             BaseControl* title, framework::PopupWinInPanel* pagesWindow,
                             framework::PopupWinInPanel* unitsWindow);
    bool UIEventHandler() override;
    // The window the current value opens; null for the first three choices.
    framework::PopupWinInPanel* WindowForValue() const;

private:
    framework::PopupWinInPanel* pagesWindow_;
    framework::PopupWinInPanel* unitsWindow_;
};

// Every boolean PPD option of the panel.
class PFCheckBox : public PanelRuled<framework::PPDCheckBoxExt> {
public:
    PFCheckBox(const RowPlace& place, ControlID tag, std::string ppdKey, const ConstraintInfo* constraint,
               const AccessInfo* access);
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    void SetValueFromUIToControl() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;

protected:
    bool MarkChangedChoice();
};

// The tab margin, number in sequence and trimmer switches: their ticket key
// is written with each accepted mark.
class PFCheckBoxExt : public PFCheckBox {
public:
    using PFCheckBox::PFCheckBox;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
};

// The booklet margin switch: no PPD option; 0 or 1 in the ticket, forced to
// 0 while another control holds it disabled.
class PFNonPPDCheckBox : public framework::CheckBox {
public:
    PFNonPPDCheckBox(const RowPlace& place, ControlID ctrlTag, const CheckBoxIniData* IniData,
                     const ConstraintInfo* constraint, const AccessInfo* access);
    // The same on a widget of a window's layout.
    PFNonPPDCheckBox(widgets::Widget* widget, ControlID ctrlTag, const CheckBoxIniData* IniData,
                     const ConstraintInfo* constraint, const AccessInfo* access);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool GetValueToPreset() override;
    bool ToGetSummaryText() const { return ctrlConstrainCount <= 0 && ctrlHideCount < 1; }
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;

    ControlID controlTag;
};

// A button in a page row that opens one of the panel's windows.
class PFSetupButton : public framework::BaseButton {
public:
    // The button's widget is made in the row; a null window does nothing.
    PFSetupButton(const RowPlace& place, ControlID tag, std::string titleKey, framework::PopupWinInPanel* window);
    void RequestControlAction(widgets::Widget* sender) override;

protected:
    virtual framework::PopupWinInPanel* WindowToOpen() const { return window_; }
    framework::PopupWinInPanel* window_;
};
class PFSepSetupButton : public PFSetupButton {
public:
    using PFSetupButton::PFSetupButton;
};
class PFTabSetupButton : public PFSetupButton {
public:
    using PFSetupButton::PFSetupButton;
};
class PFBookletSetupButton : public PFSetupButton {
public:
    using PFSetupButton::PFSetupButton;
};
class PFNumInSeqButton : public PFSetupButton {
public:
    using PFSetupButton::PFSetupButton;
};
// Opens the window of the offset stacking list's current value.
class PFOffsetStackingButton : public PFSetupButton {
public:
    PFOffsetStackingButton(const RowPlace& place, std::string titleKey, const PFOffsetStackingListCtrl* list);

protected:
    framework::PopupWinInPanel* WindowToOpen() const override;

private:
    const PFOffsetStackingListCtrl* list_;
};

// The buttons of the panel's windows are the framework's: OK validates and
// commits, Cancel restores (resetting its cancel-default list when a
// control refuses), Restore default shows every default.
using PFWndOKButton = framework::WindowOKButton;
using PFWndCancelButton = framework::WindowCancelButton;
using PFWndRestoreDefaultButton = framework::WindowDefaultButton;

// A help button of the panel's windows: opens its page of the plug-in's
// help, or the page of the printer's layout type when the plain page is
// missing ("Margins.htm" becomes "Margins_Type01.htm").
class PHelpButton : public framework::BaseButton {
public:
    // CreateControl:withHelpName:
    PHelpButton(widgets::Widget* widget, std::string withHelpName);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void RequestControlAction(widgets::Widget* sender) override;
    const std::string& HelpFileName() const { return helpfilename; }

private:
    std::string helpfilename;
};

// The fixed controls' constraint records and ticket keys.
extern const ConstraintInfo kSeparatorListConstraint;
extern const ConstraintInfo kTabMarginSwitchConstraint;
extern const ConstraintInfo kNumInSequenceSwitchConstraint;
extern const ConstraintInfo kTrimmerSwitchConstraint;
extern const ConstraintInfo kTrimmerListConstraint;
extern const ConstraintInfo kOffsetStackingListConstraint;
extern const ConstraintInfo kBookletSelectionConstraint;
extern const ConstraintInfo kBookletMarginSwitchConstraint;
extern const AccessInfo kSeparatorListAccess;
extern const AccessInfo kTabMarginSwitchAccess;
extern const AccessInfo kNumInSequenceSwitchAccess;
extern const AccessInfo kTrimmerSwitchAccess;
extern const AccessInfo kTrimmerListAccess;
extern const AccessInfo kOffsetStackingListAccess;
extern const AccessInfo kEjectOptionsListAccess;
extern const AccessInfo kBookletMarginSwitchAccess;
extern const CheckBoxIniData kBookletMarginSwitchIniData;

}  // namespace zlk::features
